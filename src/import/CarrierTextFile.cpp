#include "import/CarrierTextFile.h"

#include "database/Conversions.h"
#include "database/RuboError.h"

#include <QFileInfo>
#include <cstring>

namespace {

constexpr quint64 kOnes = 0x0101010101010101ull;
constexpr quint64 kHighBits = 0x8080808080808080ull;

quint64 load8(const char* p)
{
    quint64 word;
    memcpy(&word, p, 8);
    return word;
}

// Nonzero when one of the eight bytes of `word` equals `byte`.
quint64 hasByte(quint64 word, uchar byte)
{
    const quint64 x = word ^ (kOnes * byte);
    return (x - kOnes) & ~x & kHighBits;
}

// The first CR or LF at or after `from`, or `size` when there is none. Clears `ascii` when a
// byte before it is not ASCII. Carrier lines are mostly ASCII: eight bytes are looked at a time.
qsizetype findLineEnd(const char* p, qsizetype from, qsizetype size, bool& ascii)
{
    qsizetype i = from;
    quint64 seen = 0;
    while (i + 8 <= size) {
        const quint64 word = load8(p + i);
        if (hasByte(word, '\n') | hasByte(word, '\r'))
            break;
        seen |= word;
        i += 8;
    }
    if (seen & kHighBits)
        ascii = false;
    for (; i < size; ++i) {
        const uchar c = uchar(p[i]);
        if (c == '\n' || c == '\r')
            return i;
        if (c & 0x80)
            ascii = false;
    }
    return size;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no cut sequence.
bool isValidUtf8(const uchar* p, qsizetype n)
{
    qsizetype i = 0;
    while (i < n) {
        while (i + 8 <= n && !(load8(reinterpret_cast<const char*>(p + i)) & kHighBits))
            i += 8;
        if (i >= n)
            break;
        const uchar c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int more = 0;
        uchar lowest = 0x80, highest = 0xBF;   // range of the first continuation byte
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0)
                lowest = 0xA0;
            else if (c == 0xED)
                highest = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0)
                lowest = 0x90;
            else if (c == 0xF4)
                highest = 0x8F;
        } else {
            return false;
        }
        if (n - i - 1 < more)
            return false;
        for (int k = 1; k <= more; ++k) {
            const uchar d = p[i + k];
            if (d < lowest || d > highest)
                return false;
            lowest = 0x80;
            highest = 0xBF;
        }
        i += more + 1;
    }
    return true;
}

} // namespace

void CarrierTextFile::open(const QString& path)
{
    close();
    m_path = path;
    // A device or a FIFO never ends or blocks the open; a carrier file is always a plain file.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir())
        throwNotText();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        throw RuboError(QStringLiteral("Kann Datei ") + path + QStringLiteral(" nicht öffnen."));
    m_decoder = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    m_eof = false;
    m_unended = false;
    if (fillBuffer() && m_buffer.startsWith("\xEF\xBB\xBF"))
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

void CarrierTextFile::throwNotText() const
{
    throw RuboError(QStringLiteral("Die Datei %1 ist keine Textdatei.").arg(m_path));
}

// Appends one block; false at the end of the file. A NUL byte refuses the file as soon as its
// block arrives, so a binary or endless file costs one block, not a pass over all of it.
bool CarrierTextFile::fillBuffer()
{
    if (m_eof)
        return false;
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    const qsizetype old = m_buffer.size();
    m_buffer.resize(old + kBlockBytes);
    const qint64 n = m_file.read(m_buffer.data() + old, kBlockBytes);
    if (n < 0)
        throw RuboError(QStringLiteral("Lesefehler in Datei %1: %2").arg(m_path, m_file.errorString()));
    m_buffer.resize(old + n);
    if (n == 0) {
        m_eof = true;
        return false;
    }
    if (memchr(m_buffer.constData() + old, 0, size_t(n)))
        throwNotText();
    return true;
}

void CarrierTextFile::decode(const char* data, qsizetype size, bool ascii, QString& line)
{
    line.resize(size);   // UTF-8 never needs more UTF-16 units than bytes
    QChar* out = line.data();
    if (ascii || isValidUtf8(reinterpret_cast<const uchar*>(data), size)) {
        QChar* end = m_decoder.appendToBuffer(out, QByteArrayView(data, size));
        line.resize(end - out);
        return;
    }
    for (qsizetype i = 0; i < size; ++i) {
        const uchar c = uchar(data[i]);
        out[i] = Cp1252Char(c);
    }
}

bool CarrierTextFile::readLine(QString& line)
{
    qsizetype scanned = 0;   // bytes after m_pos known to hold no line end
    bool ascii = true;
    for (;;) {
        const char* data = m_buffer.constData();
        const qsizetype size = m_buffer.size();
        const qsizetype end = findLineEnd(data, m_pos + scanned, size, ascii);
        if (end - m_pos > kMaxLineBytes)
            throw RuboError(
                QStringLiteral("Die Datei %1 enthält eine Zeile mit mehr als %2 Zeichen; sie ist keine Datei mit Einzelgesprächsnachweisen.")
                    .arg(m_path)
                    .arg(kMaxLineBytes));
        if (end == size) {
            scanned = size - m_pos;
            if (fillBuffer())
                continue;
            if (scanned == 0)
                return false;
            // The last line has no line end.
            m_unended = true;
            decode(m_buffer.constData() + m_pos, scanned, ascii, line);
            m_pos = m_buffer.size();
            return true;
        }
        qsizetype next = end + 1;
        if (data[end] == '\r') {
            // Whether a LF or CR LF follows may be decided only by the next block.
            if (!m_eof && (next == size || (data[next] == '\r' && next + 1 == size))) {
                scanned = end - m_pos;
                fillBuffer();
                continue;
            }
            if (next < size && data[next] == '\n')
                next += 1;
            else if (next + 1 < size && data[next] == '\r' && data[next + 1] == '\n')
                next += 2;
        }
        decode(data + m_pos, end - m_pos, ascii, line);
        m_pos = next;
        return true;
    }
}
