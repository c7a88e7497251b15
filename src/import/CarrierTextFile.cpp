#include "import/CarrierTextFile.h"

#include "database/RuboError.h"

#include <cstring>

namespace {

constexpr qsizetype kBlock = 1 << 16;

// Windows-1252 0x80..0x9F; the five undefined bytes keep their Latin-1 value.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Validates UTF-8 across block boundaries: `pending` continuation bytes are still expected.
struct Utf8Scan
{
    int pending = 0;
    uchar lowest = 0x80, highest = 0xBF;   // range of the next continuation byte
    bool valid = true;

    void feed(const uchar* p, qsizetype n)
    {
        for (qsizetype i = 0; i < n && valid; ++i) {
            // Carrier files are mostly ASCII: pass over eight such bytes at a time.
            if (pending == 0) {
                while (i + 8 <= n) {
                    quint64 word;
                    memcpy(&word, p + i, 8);
                    if (word & 0x8080808080808080ull)
                        break;
                    i += 8;
                }
                if (i >= n)
                    break;
            }
            const uchar c = p[i];
            if (pending > 0) {
                if (c < lowest || c > highest) {
                    valid = false;
                    return;
                }
                lowest = 0x80;
                highest = 0xBF;
                --pending;
            } else if (c < 0x80) {
                continue;
            } else if (c >= 0xC2 && c <= 0xDF) {
                pending = 1;
            } else if (c >= 0xE0 && c <= 0xEF) {
                pending = 2;
                if (c == 0xE0)
                    lowest = 0xA0;
                else if (c == 0xED)
                    highest = 0x9F;
            } else if (c >= 0xF0 && c <= 0xF4) {
                pending = 3;
                if (c == 0xF0)
                    lowest = 0x90;
                else if (c == 0xF4)
                    highest = 0x8F;
            } else {
                valid = false;
            }
        }
    }
};

} // namespace

void CarrierTextFile::open(const QString& path)
{
    close();
    m_path = path;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        throw RuboError(QStringLiteral("Kann Datei ") + path + QStringLiteral(" nicht öffnen."));
    m_utf8 = scanIsUtf8();
    if (!m_file.seek(0))
        throw RuboError(QStringLiteral("Kann Datei ") + path + QStringLiteral(" nicht öffnen."));
    m_decoder = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    m_buffer.clear();
    m_pos = 0;
    m_eof = false;
    if (m_utf8 && fillBuffer() && m_buffer.startsWith("\xEF\xBB\xBF"))
        m_pos = 3;
}

void CarrierTextFile::close()
{
    if (m_file.isOpen())
        m_file.close();
    m_buffer.clear();
    m_pos = 0;
    m_eof = true;
}

bool CarrierTextFile::scanIsUtf8()
{
    Utf8Scan scan;
    QByteArray block(kBlock, Qt::Uninitialized);
    for (;;) {
        const qint64 n = m_file.read(block.data(), kBlock);
        if (n < 0)
            throw RuboError(QStringLiteral("Lesefehler in Datei %1: %2").arg(m_path, m_file.errorString()));
        if (n == 0)
            break;
        scan.feed(reinterpret_cast<const uchar*>(block.constData()), n);
        if (!scan.valid)
            return false;
    }
    return scan.pending == 0;
}

bool CarrierTextFile::fillBuffer()
{
    if (m_eof)
        return false;
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    const qsizetype old = m_buffer.size();
    m_buffer.resize(old + kBlock);
    const qint64 n = m_file.read(m_buffer.data() + old, kBlock);
    if (n < 0)
        throw RuboError(QStringLiteral("Lesefehler in Datei %1: %2").arg(m_path, m_file.errorString()));
    m_buffer.resize(old + n);
    if (n == 0)
        m_eof = true;
    return n > 0;
}

void CarrierTextFile::decode(const char* data, qsizetype size, QString& line)
{
    if (memchr(data, 0, size_t(size)))
        throw RuboError(QStringLiteral("Die Datei %1 ist keine Textdatei.").arg(m_path));
    line.resize(size);   // UTF-8 never needs more UTF-16 units than bytes
    QChar* out = line.data();
    if (m_utf8) {
        QChar* end = m_decoder.appendToBuffer(out, QByteArrayView(data, size));
        line.resize(end - out);
        return;
    }
    for (qsizetype i = 0; i < size; ++i) {
        const uchar c = uchar(data[i]);
        out[i] = (c >= 0x80 && c < 0xA0) ? QChar(kCp1252High[c - 0x80]) : QChar(c);
    }
}

bool CarrierTextFile::readLine(QString& line)
{
    qsizetype searchFrom = m_pos;
    for (;;) {
        const qsizetype nl = m_buffer.indexOf('\n', searchFrom);
        if (nl >= 0) {
            if (nl - m_pos > kMaxLineBytes)
                break;
            decode(m_buffer.constData() + m_pos, nl - m_pos, line);
            m_pos = nl + 1;
            return true;
        }
        if (m_buffer.size() - m_pos > kMaxLineBytes)
            break;
        const qsizetype scanned = m_buffer.size() - m_pos;
        if (!fillBuffer()) {
            if (m_pos >= m_buffer.size())
                return false;
            // The last line has no line feed.
            decode(m_buffer.constData() + m_pos, m_buffer.size() - m_pos, line);
            m_pos = m_buffer.size();
            return true;
        }
        searchFrom = m_pos + scanned;
    }
    throw RuboError(QStringLiteral("Die Datei %1 enthält eine Zeile mit mehr als %2 Zeichen; sie ist keine Datei mit Einzelgesprächsnachweisen.")
                        .arg(m_path)
                        .arg(kMaxLineBytes));
}
