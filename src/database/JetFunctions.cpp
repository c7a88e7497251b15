#include "database/JetFunctions.h"

#include "database/Conversions.h"
#include "database/RuboError.h"

#include <QChar>
#include <QDate>
#include <QString>

#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// The texts Jet gives for these failures; they reach the user inside the caller's message.
const char kTypeMismatch[] = "Datentypen in Kriterienausdruck unverträglich.";
const char kOverflow[] = "Numerischer Überlauf.";
const char kInvalidPattern[] = "Ungültige Musterzeichenfolge.";
const char kBadEscape[] = "Das ESCAPE-Zeichen muss genau ein Zeichen sein.";

// ---------------------------------------------------------------------------------------------
// Text helpers

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::pair<const char*, const char*> trimmed(const char* begin, const char* end)
{
    while (begin < end && isBlank(*begin))
        ++begin;
    while (end > begin && isBlank(end[-1]))
        --end;
    return {begin, end};
}

// Decodes UTF-8 leniently: a broken sequence becomes U+FFFD instead of ending the text.
void decodeUtf8(const unsigned char* s, int n, std::u32string& out)
{
    out.clear();
    out.reserve(size_t(n));
    int i = 0;
    while (i < n) {
        unsigned char c = s[i];
        char32_t cp;
        int extra;
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (i + extra >= n) {
            out.push_back(0xFFFD);
            break;
        }
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += extra + 1;
    }
}

void decodeUtf16(QStringView s, std::u32string& out)
{
    out.clear();
    out.reserve(size_t(s.size()));
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            out.push_back(QChar::surrogateToUcs4(c, s[i + 1]));
            ++i;
        } else {
            out.push_back(c.unicode());
        }
    }
}

// Simple case folding keeps one character one character: Ä matches ä, ß stays ß.
char32_t fold(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

// ---------------------------------------------------------------------------------------------
// Jet LIKE

struct Token
{
    enum Kind : std::uint8_t { Literal, AnyOne, Digit, Set, Star };
    Kind kind;
    bool negated = false;
    char32_t ch = 0;          // Literal: the folded character
    std::uint32_t first = 0;  // Set: its ranges in CompiledPattern::ranges
    std::uint32_t count = 0;
};

struct CompiledPattern
{
    std::vector<Token> tokens;
    std::vector<std::pair<char32_t, char32_t>> ranges;
    bool valid = true;
    char32_t escape = 0;
    bool hasEscape = false;
};

void compilePattern(const std::u32string& p, bool hasEscape, char32_t escape, CompiledPattern& out)
{
    out.tokens.clear();
    out.ranges.clear();
    out.valid = true;
    out.hasEscape = hasEscape;
    out.escape = escape;
    const size_t n = p.size();
    size_t i = 0;
    auto literal = [&out](char32_t c) {
        Token t{Token::Literal};
        t.ch = fold(c);
        out.tokens.push_back(t);
    };
    while (i < n) {
        const char32_t c = p[i];
        if (hasEscape && c == escape) {
            if (i + 1 >= n) {
                out.valid = false;
                return;
            }
            literal(p[i + 1]);
            i += 2;
            continue;
        }
        switch (c) {
        case '*':
            // A run of stars is one star; keeps the matcher's restart point unique.
            if (out.tokens.empty() || out.tokens.back().kind != Token::Star)
                out.tokens.push_back(Token{Token::Star});
            ++i;
            break;
        case '?':
            out.tokens.push_back(Token{Token::AnyOne});
            ++i;
            break;
        case '#':
            out.tokens.push_back(Token{Token::Digit});
            ++i;
            break;
        case '[': {
            size_t j = i + 1;
            bool negated = false;
            if (j < n && p[j] == '!' && !(j + 1 < n && p[j + 1] == ']')) {
                negated = true;
                ++j;
            }
            std::vector<char32_t> members;   // characters of the set, escapes resolved
            std::vector<bool> escaped;
            bool closed = false;
            while (j < n) {
                char32_t m = p[j];
                if (hasEscape && m == escape) {
                    if (j + 1 >= n)
                        break;
                    members.push_back(p[j + 1]);
                    escaped.push_back(true);
                    j += 2;
                    continue;
                }
                if (m == ']') {
                    closed = true;
                    ++j;
                    break;
                }
                members.push_back(m);
                escaped.push_back(false);
                ++j;
            }
            if (!closed) {
                out.valid = false;
                return;
            }
            i = j;
            if (members.empty())
                break;   // "[]" stands for the empty text and matches nothing in its place
            Token t{Token::Set};
            t.negated = negated;
            t.first = std::uint32_t(out.ranges.size());
            for (size_t k = 0; k < members.size(); ++k) {
                const bool isRange = k + 2 < members.size() && members[k + 1] == '-'
                                     && !escaped[k + 1];
                if (isRange) {
                    const char32_t lo = fold(members[k]);
                    const char32_t hi = fold(members[k + 2]);
                    if (hi < lo) {
                        out.valid = false;
                        return;
                    }
                    out.ranges.emplace_back(lo, hi);
                    k += 2;
                } else {
                    const char32_t f = fold(members[k]);
                    out.ranges.emplace_back(f, f);
                }
            }
            t.count = std::uint32_t(out.ranges.size()) - t.first;
            out.tokens.push_back(t);
            break;
        }
        default:
            literal(c);
            ++i;
            break;
        }
    }
}

bool matchOne(const CompiledPattern& p, const Token& t, char32_t c)
{
    switch (t.kind) {
    case Token::Literal:
        return t.ch == c;
    case Token::AnyOne:
        return true;
    case Token::Digit:
        return c >= '0' && c <= '9';
    case Token::Set: {
        bool in = false;
        for (std::uint32_t k = t.first; k < t.first + t.count; ++k) {
            if (c >= p.ranges[k].first && c <= p.ranges[k].second) {
                in = true;
                break;
            }
        }
        return in != t.negated;
    }
    case Token::Star:
        break;
    }
    return false;
}

// Every token but the star takes exactly one character, so going back to the last star is
// enough: the work is bounded by text length times pattern length, never exponential.
bool matchCompiled(const CompiledPattern& p, const std::u32string& text)
{
    if (!p.valid)
        return false;
    const size_t n = text.size();
    const size_t m = p.tokens.size();
    constexpr size_t none = size_t(-1);
    size_t t = 0, k = 0, starK = none, starT = 0;
    while (t < n) {
        if (k < m && p.tokens[k].kind == Token::Star) {
            starK = ++k;
            starT = t;
            continue;
        }
        if (k < m && matchOne(p, p.tokens[k], fold(text[t]))) {
            ++k;
            ++t;
            continue;
        }
        if (starK != none) {
            k = starK;
            t = ++starT;
            continue;
        }
        return false;
    }
    while (k < m && p.tokens[k].kind == Token::Star)
        ++k;
    return k == m;
}

void deletePattern(void* p)
{
    delete static_cast<CompiledPattern*>(p);
}

// like(pattern, text[, escape]): SQLite's own argument order for "text LIKE pattern".
void sqlLike(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            return;   // NULL result
    }
    thread_local std::u32string buffer;
    bool hasEscape = false;
    char32_t escape = 0;
    if (argc == 3) {
        decodeUtf8(sqlite3_value_text(argv[2]), sqlite3_value_bytes(argv[2]), buffer);
        if (buffer.size() != 1) {
            sqlite3_result_error(ctx, kBadEscape, -1);
            return;
        }
        hasEscape = true;
        escape = buffer[0];
    }

    // The pattern is nearly always a constant of the statement: compile it once per statement.
    const auto* compiled = static_cast<const CompiledPattern*>(sqlite3_get_auxdata(ctx, 0));
    std::unique_ptr<CompiledPattern> fresh;
    if (!compiled || compiled->hasEscape != hasEscape || compiled->escape != escape) {
        decodeUtf8(sqlite3_value_text(argv[0]), sqlite3_value_bytes(argv[0]), buffer);
        fresh = std::make_unique<CompiledPattern>();
        compilePattern(buffer, hasEscape, escape, *fresh);
        compiled = fresh.get();
    }
    if (!compiled->valid) {
        sqlite3_result_error(ctx, kInvalidPattern, -1);
    } else {
        decodeUtf8(sqlite3_value_text(argv[1]), sqlite3_value_bytes(argv[1]), buffer);
        sqlite3_result_int(ctx, matchCompiled(*compiled, buffer) ? 1 : 0);
    }
    // Last, because SQLite may free the data at once (it keeps it only for constant patterns).
    if (fresh)
        sqlite3_set_auxdata(ctx, 0, fresh.release(), deletePattern);
}

// ---------------------------------------------------------------------------------------------
// Dates

const qint64 kJulianDayOfZero = QDate(1899, 12, 30).toJulianDay();

// Reads 1..maxDigits digits; false when there is none.
bool readNumber(const char*& s, const char* end, int maxDigits, int& value)
{
    int digits = 0;
    value = 0;
    while (s < end && *s >= '0' && *s <= '9' && digits < maxDigits) {
        value = value * 10 + (*s - '0');
        ++s;
        ++digits;
    }
    return digits > 0 && !(s < end && *s >= '0' && *s <= '9');
}

bool readTime(const char*& s, const char* end, int& seconds)
{
    int h, n, sec = 0;
    if (!readNumber(s, end, 2, h) || s >= end || *s != ':')
        return false;
    ++s;
    if (!readNumber(s, end, 2, n))
        return false;
    if (s < end && *s == ':') {
        ++s;
        if (!readNumber(s, end, 2, sec))
            return false;
    }
    if (h > 23 || n > 59 || sec > 59)
        return false;
    seconds = h * 3600 + n * 60 + sec;
    return true;
}

// "dd.mm.yyyy", "dd.mm.yyyy hh:nn[:ss]" or "hh:nn[:ss]", blanks around allowed.
bool parseDateText(const char* begin, const char* end, double& serial)
{
    auto [s, e] = trimmed(begin, end);
    const char* probe = s;
    int first;
    if (!readNumber(probe, e, 2, first))
        return false;
    if (probe < e && *probe == ':') {
        int seconds;
        if (!readTime(s, e, seconds) || s != e)
            return false;
        serial = SerialFromDayAndSecond(0, seconds);
        return true;
    }
    int d, m, y;
    if (!readNumber(s, e, 2, d) || s >= e || *s != '.')
        return false;
    ++s;
    if (!readNumber(s, e, 2, m) || s >= e || *s != '.')
        return false;
    ++s;
    const char* yearStart = s;
    if (!readNumber(s, e, 4, y) || s - yearStart != 4)
        return false;
    const QDate date(y, m, d);
    if (y < 100 || !date.isValid())
        return false;
    int seconds = 0;
    if (s < e) {
        if (!isBlank(*s))
            return false;
        while (s < e && isBlank(*s))
            ++s;
        if (!readTime(s, e, seconds) || s != e)
            return false;
    }
    serial = SerialFromDayAndSecond(date.toJulianDay() - kJulianDayOfZero, seconds);
    return true;
}

// Any value that CDate accepts, as a serial; sets the SQL error itself when it fails.
// Returns false also for NULL, without an error.
bool serialArgument(sqlite3_context* ctx, sqlite3_value* v, double& serial)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return false;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        serial = sqlite3_value_double(v);
        if (!std::isfinite(serial)) {
            sqlite3_result_error(ctx, kOverflow, -1);
            return false;
        }
        return true;
    case SQLITE_TEXT: {
        const char* s = reinterpret_cast<const char*>(sqlite3_value_text(v));
        if (s && parseDateText(s, s + sqlite3_value_bytes(v), serial))
            return true;
        break;
    }
    default:
        break;
    }
    sqlite3_result_error(ctx, kTypeMismatch, -1);
    return false;
}

void sqlCDate(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double serial;
    if (serialArgument(ctx, argv[0], serial))
        sqlite3_result_double(ctx, serial);
}

// DateValue keeps the day of a serial, TimeValue its time of day.
void serialPart(sqlite3_context* ctx, sqlite3_value* argument, bool datePart)
{
    double serial;
    if (!serialArgument(ctx, argument, serial))
        return;
    qint64 days;
    int seconds;
    if (!SplitSerial(serial, days, seconds)) {
        sqlite3_result_error(ctx, kOverflow, -1);
        return;
    }
    sqlite3_result_double(ctx, datePart ? double(days) : SerialFromDayAndSecond(0, seconds));
}

void sqlDateValue(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    serialPart(ctx, argv[0], true);
}

void sqlTimeValue(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    serialPart(ctx, argv[0], false);
}

// ---------------------------------------------------------------------------------------------
// CLng

// A plain decimal number: sign, digits, one "." or "," as decimal separator, an exponent.
bool parseNumberText(const char* begin, const char* end, double& value)
{
    auto [s, e] = trimmed(begin, end);
    char buf[64];
    size_t len = 0;
    const char* p = s;
    if (p < e && (*p == '+' || *p == '-'))
        buf[len++] = *p++;
    int mantissaDigits = 0;
    bool separator = false;
    while (p < e && len < sizeof buf - 8) {
        if (*p >= '0' && *p <= '9') {
            buf[len++] = *p;
            ++mantissaDigits;
        } else if ((*p == '.' || *p == ',') && !separator) {
            separator = true;
            buf[len++] = '.';
        } else {
            break;
        }
        ++p;
    }
    if (mantissaDigits == 0)
        return false;
    if (p < e && (*p == 'e' || *p == 'E')) {
        buf[len++] = 'e';
        ++p;
        if (p < e && (*p == '+' || *p == '-'))
            buf[len++] = *p++;
        int expDigits = 0;
        while (p < e && *p >= '0' && *p <= '9' && len < sizeof buf - 1) {
            buf[len++] = *p++;
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    if (p != e)
        return false;
    const char* first = buf[0] == '+' ? buf + 1 : buf;
    // from_chars does not depend on the process locale, unlike strtod.
    const auto result = std::from_chars(first, buf + len, value);
    return result.ec == std::errc() && result.ptr == buf + len && std::isfinite(value);
}

void sqlCLng(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_value* v = argv[0];
    double value;
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return;
    case SQLITE_INTEGER: {
        const sqlite3_int64 i = sqlite3_value_int64(v);
        if (i < INT32_MIN || i > INT32_MAX)
            sqlite3_result_error(ctx, kOverflow, -1);
        else
            sqlite3_result_int(ctx, int(i));
        return;
    }
    case SQLITE_FLOAT:
        value = sqlite3_value_double(v);
        break;
    case SQLITE_TEXT: {
        const char* s = reinterpret_cast<const char*>(sqlite3_value_text(v));
        if (!s || !parseNumberText(s, s + sqlite3_value_bytes(v), value)) {
            sqlite3_result_error(ctx, kTypeMismatch, -1);
            return;
        }
        break;
    }
    default:
        sqlite3_result_error(ctx, kTypeMismatch, -1);
        return;
    }
    if (!std::isfinite(value)) {
        sqlite3_result_error(ctx, kOverflow, -1);
        return;
    }
    // Jet rounds a half to the even neighbour: CLng(2.5) = 2, CLng(3.5) = 4.
    const double r = RoundHalfEven(value);
    if (r < double(INT32_MIN) || r > double(INT32_MAX)) {
        sqlite3_result_error(ctx, kOverflow, -1);
        return;
    }
    sqlite3_result_int(ctx, int(r));
}

void registerFunction(sqlite3* db, const char* name, int nArg,
                      void (*fn)(sqlite3_context*, int, sqlite3_value**))
{
    int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
#ifdef SQLITE_INNOCUOUS
    flags |= SQLITE_INNOCUOUS;   // pure functions: usable in CHECK constraints and views
#endif
    const int rc = sqlite3_create_function_v2(db, name, nArg, flags, nullptr, fn, nullptr,
                                              nullptr, nullptr);
    if (rc != SQLITE_OK) {
        throw RuboError(QStringLiteral("Die SQL-Funktion %1 kann nicht angelegt werden: %2")
                            .arg(QString::fromLatin1(name),
                                 QString::fromUtf8(sqlite3_errmsg(db))));
    }
}

} // namespace

void RegisterJetFunctions(sqlite3* db)
{
    if (!db)
        throw RuboError(QStringLiteral("Die Datenbank ist nicht geöffnet."));
    registerFunction(db, "DateValue", 1, sqlDateValue);
    registerFunction(db, "TimeValue", 1, sqlTimeValue);
    registerFunction(db, "CDate", 1, sqlCDate);
    registerFunction(db, "CLng", 1, sqlCLng);
    // Replaces SQLite's LIKE, which knows only "%" and "_" and folds ASCII only.
    registerFunction(db, "like", 2, sqlLike);
    registerFunction(db, "like", 3, sqlLike);
}

bool JetLike(QStringView text, QStringView pattern)
{
    std::u32string p, t;
    decodeUtf16(pattern, p);
    CompiledPattern compiled;
    compilePattern(p, false, 0, compiled);
    decodeUtf16(text, t);
    return matchCompiled(compiled, t);
}

bool JetLikePatternValid(QStringView pattern)
{
    std::u32string p;
    decodeUtf16(pattern, p);
    CompiledPattern compiled;
    compilePattern(p, false, 0, compiled);
    return compiled.valid;
}
