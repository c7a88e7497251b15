#include "database/Conversions.h"

#include "database/RuboError.h"

#include <QLocale>
#include <QMetaType>
#include <QTime>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr qint64 kSerialEpochJulianDay = 2415019;   // QDate(1899, 12, 30).toJulianDay()
constexpr double kSecondsPerDay = 86400.0;
// 01.01.0001 and 31.12.9999: a serial whose day lies outside is clamped before formatting.
constexpr qint64 kMinSerialDay = -693593;
constexpr qint64 kMaxSerialDay = 2958465;

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

bool isValidDate(int year, int month, int day)
{
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1
        && day <= daysInMonth(year, month);
}

// Days since 30.12.1899 of a valid Gregorian date; no QDate so that the import's hot path stays lean.
qint64 serialDays(int year, int month, int day)
{
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * unsigned(month > 2 ? month - 3 : month + 9) + 2) / 5 + unsigned(day) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const qint64 daysSince1970 = qint64(era) * 146097 + qint64(doe) - 719468;
    return daysSince1970 + 25569;
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString dateText(int year, int month, int day)
{
    return QStringLiteral("%1.%2.%3").arg(twoDigits(day), twoDigits(month))
        .arg(year, 4, 10, QLatin1Char('0'));
}

QString timeText(int hour, int minute, int second)
{
    return QStringLiteral("%1:%2:%3").arg(twoDigits(hour), twoDigits(minute), twoDigits(second));
}

[[noreturn]] void throwInvalidDate(int year, int month, int day)
{
    throw RuboError(QStringLiteral("'%1' ist kein gültiges Datum").arg(dateText(year, month, day)));
}

[[noreturn]] void throwInvalidTime(int hour, int minute, int second)
{
    throw RuboError(QStringLiteral("'%1' ist keine gültige Uhrzeit").arg(timeText(hour, minute, second)));
}

// For display. The day is clamped, not the serial: the times of 01.01.0001 lie below -693593.0.
// Not a number shows as 30.12.1899 00:00:00.
void splitSerialForDisplay(double serial, QDate& date, int& secondOfDay)
{
    qint64 days = 0;
    int seconds = 0;
    if (!SplitSerial(serial, days, seconds) && !std::isnan(serial))
        days = serial < 0 ? kMinSerialDay - 1 : kMaxSerialDay + 1;
    if (days < kMinSerialDay) {
        days = kMinSerialDay;
        seconds = 0;
    } else if (days > kMaxSerialDay) {
        days = kMaxSerialDay;
        seconds = 86399;
    }
    date = QDate::fromJulianDay(kSerialEpochJulianDay + days);
    secondOfDay = seconds;
}

bool isDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

bool isBlank(QChar c)
{
    return c.unicode() <= ' ';
}

QStringView trimmedView(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// Reads up to maxDigits digits at pos; false when there is none.
bool scanNumber(QStringView text, qsizetype& pos, int maxDigits, int& value, int& digits)
{
    value = 0;
    digits = 0;
    while (pos < text.size() && digits < maxDigits && isDigit(text[pos])) {
        value = value * 10 + (text[pos].unicode() - '0');
        ++digits;
        ++pos;
    }
    return digits > 0;
}

bool scanChar(QStringView text, qsizetype& pos, char c)
{
    if (pos < text.size() && text[pos] == QLatin1Char(c)) {
        ++pos;
        return true;
    }
    return false;
}

// Two-digit years fall into the hundred years that begin 50 years before the current year.
int windowedYear(int twoDigitYear)
{
    const int currentYear = QDate::currentDate().year();
    int year = currentYear / 100 * 100 + twoDigitYear;
    if (year < currentYear - 50)
        year += 100;
    else if (year >= currentYear + 50)
        year -= 100;
    return year;
}

// "d.m.yy", "d.m.yyyy", or "d.m" (current year) when yearRequired is false.
bool scanDate(QStringView text, qsizetype& pos, bool yearRequired, double& serial)
{
    int day, month, year, digits;
    if (!scanNumber(text, pos, 2, day, digits) || !scanChar(text, pos, '.')
        || !scanNumber(text, pos, 2, month, digits))
        return false;
    if (scanChar(text, pos, '.')) {
        if (!scanNumber(text, pos, 4, year, digits))
            return false;
        if (digits <= 2)
            year = windowedYear(year);
        else if (digits == 3)
            return false;
    } else if (yearRequired) {
        return false;
    } else {
        year = QDate::currentDate().year();
    }
    return TryEncodeDate(year, month, day, serial);
}

// "h", "h:n" or "h:n:s", optionally followed by AM or PM.
bool scanTime(QStringView text, qsizetype& pos, bool allowAmPm, double& serial)
{
    int hour, minute = 0, second = 0, digits;
    if (!scanNumber(text, pos, 4, hour, digits))
        return false;
    if (scanChar(text, pos, ':')) {
        if (!scanNumber(text, pos, 4, minute, digits))
            return false;
        if (scanChar(text, pos, ':') && !scanNumber(text, pos, 4, second, digits))
            return false;
    }
    if (allowAmPm) {
        qsizetype p = pos;
        while (p < text.size() && text[p] == QLatin1Char(' '))
            ++p;
        const QStringView rest = text.mid(p, 2);
        const bool am = rest.compare(QLatin1String("AM"), Qt::CaseInsensitive) == 0;
        const bool pm = rest.compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0;
        if (am || pm) {
            // A twelve-hour clock has no hour 0: "0:30 PM" is no time, as the runtime has it.
            if (hour == 0 || hour > 12)
                return false;
            if (hour == 12)
                hour = 0;
            if (pm)
                hour += 12;
            pos = p + 2;
        }
    }
    return TryEncodeTime(hour, minute, second, serial);
}

// The digits of a fixed-position field; "missing or not a number" counts as 0.
int compactField(QStringView text, qsizetype from, qsizetype length)
{
    if (from >= text.size())
        return 0;
    const QStringView part = text.mid(from, length);
    int value = 0;
    for (QChar c : part) {
        if (!isDigit(c))
            return 0;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

// Strict number syntax: [blanks][sign]digits[sep digits][exponent][blanks] with sep "." or ",",
// at least one digit, at most one separator. Thousands separators are refused on purpose: the
// carrier never writes them, and "1.234" would otherwise be ambiguous.
bool scanNumberText(QStringView text, QChar separator, char* buffer, qsizetype capacity, qsizetype& length)
{
    text = trimmedView(text);
    qsizetype pos = 0;
    length = 0;
    auto put = [&](char c) {
        if (length >= capacity)
            return false;
        buffer[length++] = c;
        return true;
    };
    if (pos < text.size() && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-'))) {
        if (text[pos] == QLatin1Char('-') && !put('-'))
            return false;
        ++pos;
    }
    int mantissaDigits = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        if (!put(char(text[pos].unicode())))
            return false;
        ++mantissaDigits;
        ++pos;
    }
    if (pos < text.size() && text[pos] == separator) {
        if (!put('.'))
            return false;
        ++pos;
        while (pos < text.size() && isDigit(text[pos])) {
            if (!put(char(text[pos].unicode())))
                return false;
            ++mantissaDigits;
            ++pos;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (pos < text.size() && (text[pos] == QLatin1Char('e') || text[pos] == QLatin1Char('E'))) {
        if (!put('e'))
            return false;
        ++pos;
        if (pos < text.size() && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-'))) {
            if (!put(char(text[pos].unicode())))
                return false;
            ++pos;
        }
        int exponentDigits = 0;
        while (pos < text.size() && isDigit(text[pos])) {
            if (!put(char(text[pos].unicode())))
                return false;
            ++exponentDigits;
            ++pos;
        }
        if (exponentDigits == 0)
            return false;
    }
    return pos == text.size();
}

bool convertNumberText(const char* begin, const char* end, double& value)
{
    double result = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, result);
    if (ec != std::errc() || ptr != end || !std::isfinite(result))
        return false;
    value = result;
    return true;
}

bool tryParseWithSeparator(QStringView text, QChar separator, double& value)
{
    char buffer[128];
    qsizetype length = 0;
    if (scanNumberText(text, separator, buffer, sizeof buffer, length))
        return convertNumberText(buffer, buffer + length, value);
    if (text.size() < qsizetype(sizeof buffer))
        return false;
    // Absurdly long but possibly valid texts (many zeros) take the slow road.
    std::string big(size_t(text.size()) + 2, '\0');
    if (!scanNumberText(text, separator, big.data(), qsizetype(big.size()), length))
        return false;
    return convertNumberText(big.data(), big.data() + length, value);
}

} // namespace

const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int Cp1252Byte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c)
            return 0x80 + i;
    return -1;
}

// ---------------------------------------------------------------------------------------------
// Dates and times

bool TryEncodeDate(int year, int month, int day, double& serial)
{
    if (!isValidDate(year, month, day))
        return false;
    serial = double(serialDays(year, month, day));
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, double& serial)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    serial = (hour * 3600 + minute * 60 + second) / kSecondsPerDay;
    return true;
}

double EncodeDate(int year, int month, int day)
{
    double serial = 0;
    if (!TryEncodeDate(year, month, day, serial))
        throwInvalidDate(year, month, day);
    return serial;
}

double EncodeTime(int hour, int minute, int second)
{
    double serial = 0;
    if (!TryEncodeTime(hour, minute, second, serial))
        throwInvalidTime(hour, minute, second);
    return serial;
}

double ComposeDateTime(double date, double time)
{
    const double day = std::trunc(date);
    const double fraction = std::fabs(time - std::trunc(time));
    return day < 0 ? day - fraction : day + fraction;
}

bool SplitSerial(double serial, qint64& days, int& secondOfDay)
{
    if (!std::isfinite(serial) || std::fabs(serial) > 1e12)
        return false;
    // The day is the serial cut towards zero, not its floor: the fraction is the time of day
    // whatever the sign.
    const double whole = std::trunc(serial);
    qint64 seconds = std::llround(std::fabs(serial - whole) * kSecondsPerDay);
    days = qint64(whole);
    if (seconds >= 86400) {   // rounded up to the next midnight, which lies later in either case
        seconds -= 86400;
        ++days;
    }
    secondOfDay = int(seconds);
    return true;
}

double SerialFromDayAndSecond(qint64 days, int secondOfDay)
{
    // One division per value, so the same moment always gives the very same double.
    return ComposeDateTime(double(days), secondOfDay / kSecondsPerDay);
}

double DateToSerial(const QDate& date)
{
    if (!date.isValid())
        return 0;
    return double(date.toJulianDay() - kSerialEpochJulianDay);
}

double DateTimeToSerial(const QDateTime& dateTime)
{
    if (!dateTime.isValid())
        return 0;
    return ComposeDateTime(DateToSerial(dateTime.date()),
                           dateTime.time().msecsSinceStartOfDay() / (kSecondsPerDay * 1000.0));
}

QDateTime SerialToDateTime(double serial)
{
    QDate date;
    int second = 0;
    splitSerialForDisplay(serial, date, second);
    return QDateTime(date, QTime(0, 0).addSecs(second), Qt::UTC);
}

QString FormatSerialDate(double serial)
{
    QDate date;
    int second = 0;
    splitSerialForDisplay(serial, date, second);
    return dateText(date.year(), date.month(), date.day());
}

QString FormatSerialDayDate(double serial)
{
    QDate date;
    int second = 0;
    splitSerialForDisplay(serial, date, second);
    // Qt writes the German short names with a point ("Mo."), which reads badly before the comma.
    QString day = QLocale().dayName(date.dayOfWeek(), QLocale::ShortFormat);
    if (day.endsWith(QLatin1Char('.')))
        day.chop(1);
    return day + QLatin1String(", ") + dateText(date.year(), date.month(), date.day());
}

QString FormatSerialTime(double serial)
{
    QDate date;
    int second = 0;
    splitSerialForDisplay(serial, date, second);
    return timeText(second / 3600, second / 60 % 60, second % 60);
}

QString FormatSerialDateTime(double serial)
{
    QDate date;
    int second = 0;
    splitSerialForDisplay(serial, date, second);
    return dateText(date.year(), date.month(), date.day()) + QLatin1Char(' ')
        + timeText(second / 3600, second / 60 % 60, second % 60);
}

double NowSerial()
{
    return DateTimeToSerial(QDateTime::currentDateTime());
}

QString SecondsToText(qint64 seconds, qint64* hours, int* minutes, int* secs)
{
    const qint64 h = seconds / 3600;
    const int m = int(seconds % 3600 / 60);
    const int s = int(seconds % 60);
    if (hours)
        *hours = h;
    if (minutes)
        *minutes = m;
    if (secs)
        *secs = s;
    // A negative duration (a clock error of the carrier) reads "-00:00:05", not "00:00:-5".
    const QString text = QStringLiteral("%1:%2:%3")
                             .arg(qAbs(h), 2, 10, QLatin1Char('0'))
                             .arg(qAbs(m), 2, 10, QLatin1Char('0'))
                             .arg(qAbs(s), 2, 10, QLatin1Char('0'));
    return seconds < 0 ? QLatin1Char('-') + text : text;
}

// ---------------------------------------------------------------------------------------------
// Display pictures

QString FormatPicture(double value, const QString& picture)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");

    // Read the picture: text before the first and after the last placeholder is kept as it stands,
    // and so is text in single or double quotes, which may hold "#", "0", "," and "." itself.
    QString prefix, body, pending, pendingBody;
    QChar quote;
    for (const QChar c : picture) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                (body.isEmpty() ? prefix : pending) += c;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('#') || c == QLatin1Char('0') || c == QLatin1Char(',') || c == QLatin1Char('.')) {
            // Plain text between placeholders counts as a digit place, as it always did.
            body += pendingBody;
            body += c;
            pending.clear();
            pendingBody.clear();
        } else if (body.isEmpty()) {
            prefix += c;
        } else {
            pending += c;
            pendingBody += c;
        }
    }
    const QString suffix = pending;
    if (body.isEmpty())
        return prefix;
    bool grouping = false, inFraction = false, zeroSeen = false;
    int minInteger = 0, maxDecimals = 0, minDecimals = 0;
    for (const QChar c : std::as_const(body)) {
        if (c == QLatin1Char('.')) {
            inFraction = true;
        } else if (c == QLatin1Char(',')) {
            if (!inFraction)
                grouping = true;
        } else if (!inFraction) {
            if (c == QLatin1Char('0'))
                zeroSeen = true;
            if (zeroSeen)
                ++minInteger;
        } else {
            ++maxDecimals;
            if (c == QLatin1Char('0'))
                minDecimals = maxDecimals;
        }
    }

    // Round the 15 significant decimal digits that a double holds, half away from zero, so that
    // an amount shown as 1,005 rounds to 1,01 and not to the binary neighbour's 1,00.
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
    std::string digits;
    digits.reserve(48);
    for (const char* p = buffer; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    const char* e = std::strchr(buffer, 'e');
    int point = (e ? std::atoi(e + 1) : 0) + 1;   // digits before the decimal point
    if (std::fabs(value) == 0)
        point = 1;
    if (point < 0) {
        digits.insert(0, size_t(-point), '0');
        point = 0;
    }
    if (point > int(digits.size()))
        digits.append(size_t(point) - digits.size(), '0');
    const size_t keep = size_t(point + maxDecimals);
    if (keep < digits.size()) {
        const bool roundUp = digits[keep] >= '5';
        digits.resize(keep);
        if (roundUp) {
            qsizetype i = qsizetype(keep) - 1;
            while (i >= 0 && digits[size_t(i)] == '9')
                digits[size_t(i--)] = '0';
            if (i >= 0) {
                ++digits[size_t(i)];
            } else {
                digits.insert(digits.begin(), '1');
                ++point;
            }
        }
    } else {
        digits.append(keep - digits.size(), '0');
    }

    std::string integer = digits.substr(0, size_t(point));
    std::string fraction = digits.substr(size_t(point));
    const size_t firstNonZero = integer.find_first_not_of('0');
    integer.erase(0, firstNonZero == std::string::npos ? integer.size() : firstNonZero);
    if (int(integer.size()) < minInteger)
        integer.insert(0, size_t(minInteger) - integer.size(), '0');
    while (int(fraction.size()) > minDecimals && fraction.back() == '0')
        fraction.pop_back();
    const bool isZero = integer.find_first_not_of('0') == std::string::npos
        && fraction.find_first_not_of('0') == std::string::npos;

    const QLocale locale;
    QString result = prefix;
    if (value < 0 && !isZero)
        result += QLatin1Char('-');
    const QString groupSeparator = locale.groupSeparator();
    for (size_t i = 0; i < integer.size(); ++i) {
        if (grouping && i > 0 && (integer.size() - i) % 3 == 0)
            result += groupSeparator;
        result += QLatin1Char(integer[i]);
    }
    if (!fraction.empty()) {
        result += locale.decimalPoint();
        result += QLatin1String(fraction.data(), qsizetype(fraction.size()));
    }
    result += suffix;
    return result;
}

QString FormatAmount(double value)
{
    return FormatPicture(value, QStringLiteral("#,##0.00"));
}

QString FormatEuro(double value)
{
    return FormatPicture(value, QStringLiteral("#,##0.0000"));
}

QString FormatPercent(double value)
{
    return FormatPicture(value, QStringLiteral("####0.00#"));
}

// ---------------------------------------------------------------------------------------------
// Parsing

bool TryParseNumber(QStringView text, double& value)
{
    return tryParseWithSeparator(text, QLatin1Char('.'), value)
        || tryParseWithSeparator(text, QLatin1Char(','), value);
}

double ParseNumber(QStringView text)
{
    double value = 0;
    if (!TryParseNumber(text, value))
        throw RuboError(QStringLiteral("Nichtkonvertierbarer Zahlenwert (").append(text).append(QLatin1Char(')')));
    return value;
}

double ParseNumber(const QString& text)
{
    return ParseNumber(QStringView(text));
}

bool TryParseInt32(QStringView text, qint32& value)
{
    text = trimmedView(text);
    const qint32 parsed = ParseIntOrZero(text);
    // ParseIntOrZero answers 0 for anything it cannot read: only a written zero is one.
    if (parsed == 0) {
        qsizetype pos = 0;
        if (pos < text.size() && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-')))
            ++pos;
        if (pos == text.size())
            return false;
        for (; pos < text.size(); ++pos)
            if (text[pos] != QLatin1Char('0'))
                return false;
    }
    value = parsed;
    return true;
}

qint32 ParseIntOrZero(QStringView text)
{
    // Blanks around the number are padding of fixed-width fields, not a different value.
    text = trimmedView(text);
    qsizetype pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-'))) {
        negative = text[pos] == QLatin1Char('-');
        ++pos;
    }
    if (pos == text.size())
        return 0;
    qint64 value = 0;
    for (; pos < text.size(); ++pos) {
        if (!isDigit(text[pos]))
            return 0;
        value = value * 10 + (text[pos].unicode() - '0');
        if (value > qint64(std::numeric_limits<qint32>::max()) + 1)
            return 0;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return 0;
    return qint32(value);
}

namespace {

// The serial of a text that the scanner reads whole, else 0.
double scanWhole(const QString& text, bool (*scan)(QStringView, qsizetype&, bool, double&), bool option)
{
    const QStringView view = trimmedView(text);
    qsizetype pos = 0;
    double serial = 0;
    if (!scan(view, pos, option, serial) || pos != view.size())
        return 0;
    return serial;
}

} // namespace

double ParseShortDate(const QString& text)
{
    return scanWhole(text, scanDate, false);   // the year may be left out
}

bool TryParseShortDate(const QString& text, double& serial)
{
    const QStringView view = trimmedView(text);
    qsizetype pos = 0;
    double value = 0;
    if (!scanDate(view, pos, false, value) || pos != view.size())
        return false;
    serial = value;
    return true;
}

double ParseTime(const QString& text)
{
    return scanWhole(text, scanTime, true);   // "am"/"pm" allowed
}

double ParseDateTime(const QString& text)
{
    const QStringView view = trimmedView(text);

    // The form the call export writes, whatever the regional settings are.
    qsizetype pos = 0;
    double date = 0;
    if (scanDate(view, pos, true, date)) {
        if (pos == view.size())
            return date;
        if (view[pos] == QLatin1Char(' ')) {
            while (pos < view.size() && view[pos] == QLatin1Char(' '))
                ++pos;
            double time = 0;
            if (scanTime(view, pos, false, time) && pos == view.size())
                return ComposeDateTime(date, time);
        }
    }

    // The user's short date and time, for files written on this machine by other programs.
    const QLocale locale;
    const QString dateTimeFormat = locale.dateTimeFormat(QLocale::ShortFormat);
    const QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
    auto fixYear = [](const QString& format, QDate d) {
        // Qt puts "yy" into the 1900s; the window of the two-digit years applies here too.
        if (format.contains(QLatin1String("yy")) && !format.contains(QLatin1String("yyyy")))
            return QDate(windowedYear(d.year() % 100), d.month(), d.day());
        return d;
    };
    const QString trimmed = view.toString();
    const QDateTime dt = locale.toDateTime(trimmed, dateTimeFormat);
    if (dt.isValid()) {
        const QDate d = fixYear(dateTimeFormat, dt.date());
        if (d.isValid())
            return ComposeDateTime(DateToSerial(d), dt.time().msecsSinceStartOfDay() / (kSecondsPerDay * 1000.0));
    }
    const QDate d0 = locale.toDate(trimmed, dateFormat);
    if (d0.isValid()) {
        const QDate d = fixYear(dateFormat, d0);
        if (d.isValid())
            return DateToSerial(d);
    }
    throw RuboError(QStringLiteral("'%1' ist kein gültiges Datum und Uhrzeit").arg(text));
}

double ParseCompactDateTime(QStringView dateText, QStringView timeText)
{
    int year = 0;
    qsizetype rest = 0;
    bool lengthOk = true;
    if (dateText.size() == 8) {
        year = compactField(dateText, 0, 4);
        rest = 4;
    } else if (dateText.size() == 6) {
        year = compactField(dateText, 0, 2);
        year += year >= 50 ? 1900 : 2000;
        rest = 2;
    } else {
        lengthOk = false;
    }
    double date = 0, time = 0;
    if (!lengthOk
        || !TryEncodeDate(year, compactField(dateText, rest, 2), compactField(dateText, rest + 2, 2), date)
        || !TryEncodeTime(compactField(timeText, 0, 2), compactField(timeText, 2, 2),
                          compactField(timeText, 4, 2), time)) {
        throw RuboError(QStringLiteral("Ungültiges Datum oder Uhrzeit: ")
                            .append(dateText).append(QLatin1Char(' ')).append(timeText));
    }
    return ComposeDateTime(date, time);
}

double ParseDateLenient(const QString& text, int defaultYear, int defaultMonth, int defaultDay,
                        QString* output)
{
    const QDate today = QDate::currentDate();
    int year = defaultYear > 0 ? defaultYear : today.year();
    int month = defaultMonth > 0 ? defaultMonth : today.month();
    int day = defaultDay > 0 ? defaultDay : today.day();

    const QStringView view = trimmedView(text);
    qsizetype pos = 0;
    auto skipNonDigits = [&] {
        while (pos < view.size() && !isDigit(view[pos]))
            ++pos;
    };
    int value = 0, digits = 0;
    if (!view.isEmpty() && isDigit(view[0])) {
        scanNumber(view, pos, 2, day, digits);
        skipNonDigits();
        if (scanNumber(view, pos, 2, value, digits))
            month = value;
        skipNonDigits();
        // The year takes every digit that follows, leading zeros included ("0002003" is 2003).
        // Beyond 9999 the value stops growing, so that a long run cannot overflow.
        int yearValue = 0, yearDigits = 0;
        for (; pos < view.size() && isDigit(view[pos]); ++pos, ++yearDigits) {
            if (yearValue <= 9999)
                yearValue = yearValue * 10 + (view[pos].unicode() - '0');
        }
        if (yearDigits > 0)
            year = yearDigits < 3 ? (yearValue >= 50 ? 1900 + yearValue : 2000 + yearValue) : yearValue;
    }

    double serial = 0;
    if (!TryEncodeDate(year, month, day, serial))
        serial = EncodeDate(1900, 1, 1);
    if (output)
        *output = FormatSerialDate(serial);
    return serial;
}

double ParseTimeLenient(const QString& text, QString* output, const QTime& now)
{
    int hour = now.hour();
    int minute = now.minute();
    int second = 0;

    const QStringView view = trimmedView(text);
    qsizetype pos = 0;
    auto skipNonDigits = [&] {
        while (pos < view.size() && !isDigit(view[pos]))
            ++pos;
    };
    int value = 0, digits = 0;
    if (!view.isEmpty() && isDigit(view[0])) {
        scanNumber(view, pos, 2, hour, digits);
        skipNonDigits();
        if (scanNumber(view, pos, 2, value, digits))
            minute = value;
        skipNonDigits();
        if (scanNumber(view, pos, 2, value, digits))
            second = value;
    }

    double serial = 0;
    if (!TryEncodeTime(hour, minute, second, serial))
        serial = 0;
    if (output)
        *output = FormatSerialTime(serial);
    return serial;
}

// ---------------------------------------------------------------------------------------------
// Database values

QString TrimmedText(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && isBlank(text[end - 1]))
        --end;
    return end == text.size() ? text : text.left(end);
}

QString VariantToText(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        // Whole numbers in plain decimal (a REAL column holding an extension), never "1e+06".
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15)
            return QString::number(qint64(d));
        return QString::number(d, 'g', 15);
    }
    case QMetaType::QDate:
        return FormatSerialDate(DateToSerial(value.toDate()));
    case QMetaType::QDateTime: {
        const double serial = DateTimeToSerial(value.toDateTime());
        return serial == std::trunc(serial) ? FormatSerialDate(serial) : FormatSerialDateTime(serial);
    }
    default:
        return TrimmedText(value.toString());
    }
}

double RoundHalfEven(double value)
{
    double r = std::floor(value);
    const double diff = value - r;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0))
        r += 1.0;
    return r;
}

int VariantToInt(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return 0;
    auto fits = [](double d) {
        return std::isfinite(d) && d >= std::numeric_limits<int>::min() - 0.5
            && d < std::numeric_limits<int>::max() + 0.5;
    };
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = RoundHalfEven(value.toDouble());
        return fits(d) ? int(d) : 0;
    }
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString();
        const QStringView view = trimmedView(text);
        if (view.isEmpty())
            return 0;
        const qint32 whole = ParseIntOrZero(view);
        if (whole != 0)
            return whole;
        double d = 0;
        if (!TryParseNumber(view, d))
            return 0;
        d = RoundHalfEven(d);
        return fits(d) ? int(d) : 0;
    }
    default: {
        bool ok = false;
        const qlonglong n = value.toLongLong(&ok);
        if (!ok || n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
            return 0;
        return int(n);
    }
    }
}

double VariantToFloat(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return 0;
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        double d = 0;
        return TryParseNumber(value.toString(), d) ? d : 0;
    }
    case QMetaType::QDate:
        return DateToSerial(value.toDate());
    case QMetaType::QDateTime:
        return DateTimeToSerial(value.toDateTime());
    default: {
        bool ok = false;
        const double d = value.toDouble(&ok);
        return ok && std::isfinite(d) ? d : 0;
    }
    }
}

// ---------------------------------------------------------------------------------------------
// Lines

QStringView StripLineEnd(QStringView line)
{
    for (int i = 0; i < 2 && !line.isEmpty(); ++i) {
        const QChar c = line.back();
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            break;
        line.chop(1);
    }
    return line;
}

QString StripLineEnd(const QString& line)
{
    const qsizetype length = StripLineEnd(QStringView(line)).size();
    return length == line.size() ? line : line.left(length);
}

int SplitAtChar(QStringView line, QChar separator, QList<QStringView>& fields)
{
    fields.clear();
    if (line.isEmpty())
        return 1;
    qsizetype start = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == separator) {
            fields.append(line.mid(start, i - start));
            start = i + 1;
        }
    }
    if (start < line.size())
        fields.append(line.mid(start));
    return 0;
}

int SplitAtChar(const QString& line, QChar separator, QStringList& fields)
{
    QList<QStringView> views;
    const int result = SplitAtChar(QStringView(line), separator, views);
    fields.clear();
    fields.reserve(views.size());
    for (QStringView v : views)
        fields.append(v.toString());
    return result;
}

namespace {

// Turns quote-separator-quote into quote-comma-quote where the first quote closes a value, so a
// value that itself holds the sequence (a destination 'a";"b', written as "a"";""b") stays whole.
void replaceQuotedSeparators(QString& text, const QString& separator)
{
    const qsizetype n = text.size();
    bool inQuote = false;
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] != QLatin1Char('"'))
            continue;
        if (!inQuote) {
            inQuote = true;
        } else if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
            ++i;   // a doubled quote inside the value
        } else {
            inQuote = false;
            const qsizetype after = i + 1;
            if (QStringView(text).mid(after).startsWith(separator) && after + separator.size() < n
                && text[after + separator.size()] == QLatin1Char('"')) {
                text.replace(after, separator.size(), QStringLiteral(","));
                i = after;   // the comma; the next quote opens the following value
            }
        }
    }
}

} // namespace

int SplitCommaText(const QString& line, const QString& separator, QStringList& fields)
{
    fields.clear();
    QString text = line;
    if (!separator.isEmpty() && separator != QLatin1String(",")) {
        const QString quoted = QLatin1Char('"') + separator + QLatin1Char('"');
        if (text.contains(quoted))
            replaceQuotedSeparators(text, separator);
        else
            text.replace(separator, QStringLiteral(","));
    }

    const qsizetype n = text.size();
    qsizetype pos = 0;
    auto skipBlanks = [&] {
        while (pos < n && isBlank(text[pos]))
            ++pos;
    };
    skipBlanks();
    while (pos < n) {
        QString item;
        if (text[pos] == QLatin1Char('"')) {
            ++pos;
            // Runs to the closing quote; "" inside is one quote. An unclosed quote takes the rest.
            while (pos < n) {
                if (text[pos] == QLatin1Char('"')) {
                    if (pos + 1 < n && text[pos + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                item += text[pos++];
            }
        } else {
            const qsizetype start = pos;
            while (pos < n && !isBlank(text[pos]) && text[pos] != QLatin1Char(','))
                ++pos;
            item = text.mid(start, pos - start);
        }
        fields.append(item);
        skipBlanks();
        if (pos < n && text[pos] == QLatin1Char(',')) {
            ++pos;
            skipBlanks();
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Carrier text

bool IsValidUtf8(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int length;
        char32_t code;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07;
        } else {
            return false;   // continuation byte without a lead, or C0/C1/F5.. overlong leads
        }
        if (i + length > n)
            return false;
        for (int k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF
            || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

QString DecodeCarrierText(const QByteArray& bytes)
{
    if (IsValidUtf8(bytes)) {
        if (bytes.startsWith("\xEF\xBB\xBF"))
            return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
        return QString::fromUtf8(bytes);
    }
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        out[i] = Cp1252Char(c);
    }
    return text;
}
