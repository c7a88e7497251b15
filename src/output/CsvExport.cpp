#include "output/CsvExport.h"

#include "database/Conversions.h"
#include "database/NumberMask.h"
#include "database/RuboEngine.h"
#include "output/DialledColumn.h"
#include "output/ExportText.h"
#include "output/FileReplace.h"

#include <QSaveFile>
#include <QStringList>

#include <sqlite3.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The buffer goes to the file once it holds this much: few, large writes.
constexpr qsizetype kFlushBytes = 256 * 1024;
constexpr qint64 kProceedEvery = 1000;

// 01.01.0001 and 31.12.9999, as the display clamps them; serial 25569 is 01.01.1970.
constexpr qint64 kMinSerialDay = -693593;
constexpr qint64 kMaxSerialDay = 2958465;
constexpr qint64 kSerialDayOf1970 = 25569;

const char* const kCallsHeader =
    "ANummer;Nebenstelle;BNummer;Betrag;Sekunden;BeginZeit;ZoneCode;Zone;Ziel;Kostenstelle;Euro;IAS;FilialeID;GZ;Rabatt;RabattEuro";
const char* const kSumsHeader =
    "Anzahl;SumSekunden;SumBetrag;SumEuro;FilialeID;Kostenstelle;Nebenstelle;Zone;IAS;Ziel;SumRabatt;SumRabattEuro";

// One character of UTF-8 at `s`; a byte that starts no valid sequence is U+FFFD of one byte, as
// Qt reads it.
int decodeUtf8(const unsigned char* s, const unsigned char* end, char32_t& c)
{
    const unsigned char b = s[0];
    int length;
    char32_t code;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        code = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        code = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        code = b & 0x07;
    } else {
        c = 0xFFFD;
        return 1;
    }
    if (end - s < length) {
        c = 0xFFFD;
        return 1;
    }
    for (int k = 1; k < length; ++k) {
        if ((s[k] & 0xC0) != 0x80) {
            c = 0xFFFD;
            return 1;
        }
        code = (code << 6) | (s[k] & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF
        || (code >= 0xD800 && code <= 0xDFFF)) {
        c = 0xFFFD;
        return 1;
    }
    c = code;
    return length;
}

char* encodeUtf8(char32_t c, char* p)
{
    if (c < 0x80) {
        *p++ = char(c);
    } else if (c < 0x800) {
        *p++ = char(0xC0 | (c >> 6));
        *p++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *p++ = char(0xE0 | (c >> 12));
        *p++ = char(0x80 | ((c >> 6) & 0x3F));
        *p++ = char(0x80 | (c & 0x3F));
    } else {
        *p++ = char(0xF0 | (c >> 18));
        *p++ = char(0x80 | ((c >> 12) & 0x3F));
        *p++ = char(0x80 | ((c >> 6) & 0x3F));
        *p++ = char(0x80 | (c & 0x3F));
    }
    return p;
}

char* writeDecimal(quint64 value, char* p)
{
    char digits[20];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0)
        *p++ = digits[--n];
    return p;
}

char* writeInt64(qint64 value, char* p)
{
    if (value < 0) {
        *p++ = '-';
        return writeDecimal(0 - quint64(value), p);
    }
    return writeDecimal(quint64(value), p);
}

char* twoDigits(int value, char* p)
{
    *p++ = char('0' + value / 10);
    *p++ = char('0' + value % 10);
    return p;
}

// How a column's value becomes text.
enum class Kind {
    Text,     // as VariantToText gives it
    Date,     // "dd.mm.yyyy hh:nn:ss"
    Fixed2,   // two decimals
    Fixed4,   // four decimals
    Absent,   // a key column the query does not have: always the empty value
    Dialled,  // a dialled number, shortened as the mask says
};

struct Field
{
    int column = -1;
    Kind kind = Kind::Text;
};

class ColumnNames
{
public:
    explicit ColumnNames(sqlite3_stmt* stmt)
    {
        const int n = sqlite3_column_count(stmt);
        for (int i = 0; i < n; ++i)
            m_names << QString::fromUtf8(sqlite3_column_name(stmt, i));
    }
    int find(const char* name) const
    {
        for (int i = 0; i < m_names.size(); ++i)
            if (m_names[i].compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
    Field required(const char* name, Kind kind) const
    {
        const int column = find(name);
        if (column < 0)
            throw RuboError(QStringLiteral("Feld %1 nicht gefunden.").arg(QLatin1String(name)));
        return {column, kind};
    }
    Field optional(const char* name, Kind kind) const
    {
        const int column = find(name);
        return column < 0 ? Field{-1, Kind::Absent} : Field{column, kind};
    }

private:
    QStringList m_names;
};

// How one pass over the result ended.
enum class PassEnd { Done, Cancelled, NeedsUtf8 };

// One pass of the export into one temporary file, in one encoding.
class CsvPass
{
public:
    // `kostenstelle` is the column of the call's cost centre, for the mask's exemptions; -1 if none.
    CsvPass(QSaveFile& file, bool utf8, QChar separator, const NumberMask& mask, int kostenstelle)
        : m_file(file), m_utf8(utf8), m_mask(mask), m_kostenstelle(kostenstelle)
    {
        m_buffer.resize(size_t(kFlushBytes) + 4096);
        if (utf8) {
            m_separatorLength = int(encodeUtf8(separator.unicode(), m_separator) - m_separator);
        } else {
            m_separator[0] = char(Cp1252Byte(separator.unicode()));
            m_separatorLength = 1;
            // A lone byte above 0x7F between quotes is never UTF-8: the import cannot mistake the file.
            m_readsAsUtf8 = separator.unicode() < 0x80;
        }
        if (utf8)
            appendRaw("\xEF\xBB\xBF", 3);
    }

    // The header's names as they are, separated by the separator, no quotes.
    void writeHeader(const char* header)
    {
        for (const char* p = header; *p; ++p) {
            if (*p == ';')
                appendRaw(m_separator, m_separatorLength);
            else
                appendRaw(p, 1);
        }
        endLine();
    }

    PassEnd run(sqlite3_stmt* stmt, RuboDatabase& db, const std::vector<Field>& fields, const ExportProceed& proceed,
                qint64& rows)
    {
        rows = 0;
        for (;;) {
            const int rc = sqlite3_step(stmt);
            if (rc == SQLITE_DONE)
                break;
            if (rc != SQLITE_ROW)
                throw RuboError(db.errorText(rc));
            for (const Field& f : fields)
                if (!writeField(stmt, f))
                    return PassEnd::NeedsUtf8;
            endLine();
            ++rows;
            if (rows % kProceedEvery == 0 && proceed && !proceed(rows))
                return PassEnd::Cancelled;
        }
        return PassEnd::Done;
    }

    // False when the whole file has to be written in UTF-8 instead.
    bool finish()
    {
        flush();
        return m_utf8 || !m_highBytes || !m_readsAsUtf8;
    }

private:
    // False: a character Windows-1252 lacks.
    bool writeField(sqlite3_stmt* stmt, const Field& f)
    {
        if (f.kind == Kind::Absent) {
            writeEmpty();
            return true;
        }
        const int type = sqlite3_column_type(stmt, f.column);
        switch (f.kind) {
        case Kind::Text:
            return writeText(stmt, f.column, type);
        case Kind::Date: {
            char* p = valueStart(kDateTimeTextLength);
            valueEnd(p + WriteSerialDateTimeText(number(stmt, f.column, type), p));
            return true;
        }
        case Kind::Fixed2:
        case Kind::Fixed4: {
            if (type == SQLITE_NULL) {
                writeEmpty();
                return true;
            }
            char* p = valueStart(kFixedTextCapacity);
            valueEnd(p + WriteFixedText(number(stmt, f.column, type), f.kind == Kind::Fixed2 ? 2 : 4, p));
            return true;
        }
        case Kind::Dialled: {
            if (type == SQLITE_NULL || !m_mask.isOn())
                return writeText(stmt, f.column, type);
            const QByteArray shown = ShortenedDialled(stmt, f.column, m_kostenstelle, m_mask);
            return writeUtf8(reinterpret_cast<const unsigned char*>(shown.constData()), shown.size());
        }
        case Kind::Absent:
            break;
        }
        return true;
    }


    // As VariantToText reads the value.
    bool writeText(sqlite3_stmt* stmt, int column, int type)
    {
        switch (type) {
        case SQLITE_NULL:
            writeEmpty();
            return true;
        case SQLITE_INTEGER: {
            char* p = valueStart(24);
            valueEnd(writeInt64(sqlite3_column_int64(stmt, column), p));
            return true;
        }
        case SQLITE_FLOAT: {
            const double d = sqlite3_column_double(stmt, column);
            // Whole numbers in plain decimal (a REAL column holding an extension), never "1e+06".
            if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15) {
                char* p = valueStart(24);
                valueEnd(writeInt64(qint64(d), p));
                return true;
            }
            const QByteArray text = QString::number(d, 'g', 15).toLatin1();
            return writeUtf8(reinterpret_cast<const unsigned char*>(text.constData()), text.size());
        }
        default:
            return writeUtf8(bytesOf(stmt, column, type), sqlite3_column_bytes(stmt, column));
        }
    }

    // A text as UTF-8 whatever the file's encoding; a blob as its bytes, which Qt reads as UTF-8.
    static const unsigned char* bytesOf(sqlite3_stmt* stmt, int column, int type)
    {
        if (type == SQLITE_TEXT)
            return sqlite3_column_text(stmt, column);
        return static_cast<const unsigned char*>(sqlite3_column_blob(stmt, column));
    }

    // The value as a number, as VariantToFloat reads it: a text that is no number is 0.
    static double number(sqlite3_stmt* stmt, int column, int type)
    {
        switch (type) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            return sqlite3_column_double(stmt, column);
        case SQLITE_NULL:
            return 0;
        default: {
            const auto* text = reinterpret_cast<const char*>(bytesOf(stmt, column, type));
            double d = 0;
            return TryParseNumber(QString::fromUtf8(text, sqlite3_column_bytes(stmt, column)), d) && std::isfinite(d) ? d : 0;
        }
        }
    }

    // A text from the engine, trailing blanks removed; false for a character Windows-1252 lacks.
    bool writeUtf8(const unsigned char* s, qsizetype n)
    {
        while (n > 0 && s[n - 1] <= ' ')
            --n;
        // Worst case: every byte a broken sequence, written as the three bytes of U+FFFD.
        char* p = valueStart(3 * n);
        char* const content = p;
        const unsigned char* const end = s + n;
        bool high = false;
        while (s < end) {
            const unsigned char b = *s;
            if (b < 0x80) {
                if (b == '"')
                    *p++ = '"';
                *p++ = char(b);
                ++s;
                continue;
            }
            char32_t c;
            s += decodeUtf8(s, end, c);
            if (m_utf8) {
                p = encodeUtf8(c, p);
            } else {
                const int byte = Cp1252Byte(c);
                if (byte < 0)
                    return false;
                *p++ = char(byte);
                high = true;
            }
        }
        if (high) {
            m_highBytes = true;
            // Text such as "Ã¼" is valid UTF-8 in Windows-1252 bytes, and the import would read it so.
            if (m_readsAsUtf8 && !IsValidUtf8(QByteArray::fromRawData(content, p - content)))
                m_readsAsUtf8 = false;
        }
        valueEnd(p);
        return true;
    }

    void writeEmpty() { valueEnd(valueStart(0)); }

    // Room for the separator, the opening quote, `contentBytes` and the closing quote.
    char* valueStart(qsizetype contentBytes)
    {
        char* p = reserve(contentBytes + m_separatorLength + 2);
        if (!m_lineStart) {
            std::memcpy(p, m_separator, size_t(m_separatorLength));
            p += m_separatorLength;
        }
        m_lineStart = false;
        *p++ = '"';
        return p;
    }

    void valueEnd(char* p)
    {
        *p++ = '"';
        m_used = p - m_buffer.data();
    }

    void endLine()
    {
        appendRaw("\r\n", 2);
        m_lineStart = true;
        if (m_used >= kFlushBytes)
            flush();
    }

    void appendRaw(const char* bytes, qsizetype n)
    {
        std::memcpy(reserve(n), bytes, size_t(n));
        m_used += n;
    }

    char* reserve(qsizetype n)
    {
        if (m_used + n > qsizetype(m_buffer.size())) {
            flush();
            if (n > qsizetype(m_buffer.size()))
                m_buffer.resize(size_t(n));   // one value larger than the buffer
        }
        return m_buffer.data() + m_used;
    }

    void flush()
    {
        if (m_used == 0)
            return;
        errno = 0;
        if (m_file.write(m_buffer.data(), m_used) != m_used)
            throw RuboError(errno ? SystemErrorText(errno) : m_file.errorString());
        m_used = 0;
    }

    QSaveFile& m_file;
    bool m_utf8;
    const NumberMask& m_mask;
    int m_kostenstelle;
    char m_separator[4] = {};
    int m_separatorLength = 1;
    std::vector<char> m_buffer;
    qsizetype m_used = 0;
    bool m_lineStart = true;
    bool m_highBytes = false;     // a byte above 0x7F was written (Windows-1252 only)
    bool m_readsAsUtf8 = false;   // every such byte so far also forms valid UTF-8
};

CsvExportResult exportCsv(RuboDatabase& db, const QString& sql, const QString& fileName, QChar separator,
                          const char* header, std::vector<Field> (*plan)(const ColumnNames&),
                          const ExportProceed& proceed, const NumberMask& mask)
{
    // The quoting rests on it: a refused separator would make the file unreadable.
    const QString problem = SeparatorProblem(separator);
    if (!problem.isEmpty())
        throw RuboError(problem);
    try {
        RuboStatement statement(db, sql);
        const ColumnNames names(statement.get());
        const std::vector<Field> fields = plan(names);
        CsvExportResult result;
        bool utf8 = Cp1252Byte(separator.unicode()) < 0;
        for (;;) {
            // A new temporary file each pass; the one of a pass given up is removed with it.
            QSaveFile file(fileName);
            if (!file.open(QIODevice::WriteOnly))
                throw ExportOpenError(QStringLiteral("Kann Datei nicht zum schreiben öffnen.\nDatei=") + fileName);
            CsvPass pass(file, utf8, separator, mask, names.find("Kostenstelle"));
            pass.writeHeader(header);
            const PassEnd end = pass.run(statement.get(), db, fields, proceed, result.rows);
            if (end == PassEnd::Cancelled) {
                result.cancelled = true;
                return result;
            }
            if (end == PassEnd::NeedsUtf8 || !pass.finish()) {
                sqlite3_reset(statement.get());
                utf8 = true;
                continue;
            }
            errno = 0;
            if (!file.commit())
                throw RuboError(errno ? SystemErrorText(errno) : file.errorString());
            result.encoding = utf8 ? ExportEncoding::Utf8WithBom : ExportEncoding::Windows1252;
            return result;
        }
    } catch (const ExportOpenError&) {
        throw;
    } catch (const RuboError& e) {
        throw RuboError(QStringLiteral("Ein Fehler ist aufgetreten.\n") + e.message());
    }
}

std::vector<Field> callsPlan(const ColumnNames& c)
{
    return {c.required("ANummer", Kind::Text),   c.required("Nebenstelle", Kind::Text),
            c.required("BNummer", Kind::Dialled), c.required("Betrag", Kind::Fixed2),
            c.required("Sekunden", Kind::Text),  c.required("BeginZeit", Kind::Date),
            c.required("ZoneCode", Kind::Text),  c.required("Zone", Kind::Text),
            c.required("Ziel", Kind::Text),      c.required("Kostenstelle", Kind::Text),
            c.required("BetragEuro", Kind::Fixed4), c.required("IAS", Kind::Text),
            c.required("FilialeID", Kind::Text), c.required("GZ", Kind::Text),
            c.required("Rabatt", Kind::Fixed2),  c.required("RabattEuro", Kind::Fixed4)};
}

std::vector<Field> sumsPlan(const ColumnNames& c)
{
    return {c.required("Anzahl", Kind::Text),     c.required("SumSekunden", Kind::Text),
            c.required("SumBetrag", Kind::Fixed2), c.required("SumEuro", Kind::Fixed4),
            c.optional("FilialeID", Kind::Text),  c.optional("Kostenstelle", Kind::Text),
            c.optional("Nebenstelle", Kind::Text), c.optional("Zone", Kind::Text),
            c.optional("IAS", Kind::Text),        c.optional("Ziel", Kind::Text),
            c.required("SumRabatt", Kind::Fixed2), c.required("SumRabattEuro", Kind::Fixed4)};
}

} // namespace

int WriteFixedText(double value, int decimals, char* out)
{
    static const quint64 kPow10[10] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
    // Beyond this the scaled value no longer fits 64 bits: printf itself, as rare as such amounts are.
    static const double kLimit[10] = {1e18, 1e17, 1e16, 1e15, 1e14, 1e13, 1e12, 1e11, 1e10, 1e9};
    if (decimals < 0 || decimals > 9 || !(std::fabs(value) < kLimit[decimals]))
        return std::snprintf(out, kFixedTextCapacity, "%.*f", qBound(0, decimals, 9), value);

    // The double exactly as m * 2^e, scaled by 10^decimals and rounded as printf does: to the
    // nearest, an exact half to the even neighbour.
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &exponent);
    const quint64 mantissa = quint64(std::ldexp(fraction, 53));
    const int e = exponent - 53;
    quint64 scaled;
    if (e >= 0) {
        scaled = (mantissa << e) * kPow10[decimals];
    } else {
        using Wide = unsigned __int128;
        const Wide product = Wide(mantissa) * kPow10[decimals];
        const int shift = -e;
        if (shift >= 128) {
            scaled = 0;   // below 2^-74 after scaling: far from any half
        } else {
            scaled = quint64(product >> shift);
            const Wide rest = product & ((Wide(1) << shift) - 1);
            const Wide half = Wide(1) << (shift - 1);
            if (rest > half || (rest == half && (scaled & 1)))
                ++scaled;
        }
    }
    char* p = out;
    if (std::signbit(value))
        *p++ = '-';
    p = writeDecimal(scaled / kPow10[decimals], p);
    if (decimals > 0) {
        *p++ = '.';
        quint64 rest = scaled % kPow10[decimals];
        for (int i = decimals - 1; i >= 0; --i) {
            p[i] = char('0' + rest % 10);
            rest /= 10;
        }
        p += decimals;
    }
    return int(p - out);
}

int WriteSerialDateTimeText(double serial, char* out)
{
    // The display's rules: the day is clamped, not the serial; not a number is 30.12.1899 00:00:00.
    qint64 days = 0;
    int second = 0;
    if (!SplitSerial(serial, days, second) && !std::isnan(serial))
        days = serial < 0 ? kMinSerialDay - 1 : kMaxSerialDay + 1;
    if (days < kMinSerialDay) {
        days = kMinSerialDay;
        second = 0;
    } else if (days > kMaxSerialDay) {
        days = kMaxSerialDay;
        second = 86399;
    }
    // The Gregorian calendar's day from a day count (days since 01.03.0000 in eras of 400 years).
    const qint64 z = days - kSerialDayOf1970 + 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    const int year = int(qint64(yoe) + era * 400 + (month <= 2 ? 1 : 0));

    char* p = out;
    p = twoDigits(day, p);
    *p++ = '.';
    p = twoDigits(month, p);
    *p++ = '.';
    p = twoDigits(year / 100, p);
    p = twoDigits(year % 100, p);
    *p++ = ' ';
    p = twoDigits(second / 3600, p);
    *p++ = ':';
    p = twoDigits(second / 60 % 60, p);
    *p++ = ':';
    p = twoDigits(second % 60, p);
    return int(p - out);
}

CsvExportResult ExportCallsCsv(RuboDatabase& db, const QString& detailSql, const QString& fileName, QChar separator,
                               const ExportProceed& proceed, const NumberMask& mask)
{
    return exportCsv(db, detailSql, fileName, separator, kCallsHeader, callsPlan, proceed, mask);
}

CsvExportResult ExportSumsCsv(RuboDatabase& db, const QString& sumsSql, const QString& fileName, QChar separator,
                              const ExportProceed& proceed)
{
    // The sums have no dialled number to shorten.
    return exportCsv(db, sumsSql, fileName, separator, kSumsHeader, sumsPlan, proceed, NumberMask());
}
