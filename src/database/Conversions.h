#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>

// Dates and times are one double: whole days since 30.12.1899 plus the fraction of the day.
double EncodeDate(int year, int month, int day);              // throws RuboError on an impossible date
double EncodeTime(int hour, int minute, int second);          // throws RuboError on an impossible time
bool TryEncodeDate(int year, int month, int day, double& serial);
bool TryEncodeTime(int hour, int minute, int second, double& serial);
// The one rule for the sign of the time of day: before 30.12.1899 the fraction is subtracted, so
// that it always counts forwards from midnight (29.12.1899 06:00:00 is -1.25, not -0.75).
double ComposeDateTime(double date, double time);
// A serial's calendar day (days since 30.12.1899) and its second of that day, rounded to the
// whole second; false for a value that is no number or lies far beyond any date.
bool SplitSerial(double serial, qint64& days, int& secondOfDay);
double SerialFromDayAndSecond(qint64 days, int secondOfDay);
double DateToSerial(const QDate& date);
double DateTimeToSerial(const QDateTime& dateTime);
// Rounded to the whole second; the wall-clock value as Qt::UTC, so that no daylight-saving gap
// of the local zone can move or invalidate a stored time.
QDateTime SerialToDateTime(double serial);
QString FormatSerialDate(double serial);                       // "dd.mm.yyyy"
QString FormatSerialDayDate(double serial);                    // "ddd, dd.mm.yyyy", the user's day names
QString FormatSerialTime(double serial);                       // "hh:nn:ss"
QString FormatSerialDateTime(double serial);                   // "dd.mm.yyyy hh:nn:ss"
double NowSerial();

// Durations: "%2.2d:%2.2d:%2.2d" with unlimited hours.
QString SecondsToText(qint64 seconds, qint64* hours = nullptr, int* minutes = nullptr, int* secs = nullptr);

// Display pictures: "#" optional digit, "0" required digit, "," thousands grouping, "." decimal
// separator; the separators are the user's (QLocale()).
QString FormatPicture(double value, const QString& picture);
QString FormatAmount(double value);   // "#,##0.00"
QString FormatEuro(double value);     // "#,##0.0000"
QString FormatPercent(double value);  // "####0.00#"

// Throws RuboError "Nichtkonvertierbarer Zahlenwert (" + text + ")".
double ParseNumber(const QString& text);
// Like ParseNumber for a field of a carrier line; avoids a copy on the import's hot path.
double ParseNumber(QStringView text);
// ParseNumber without the error: false (value untouched) when the text is no number.
bool TryParseNumber(QStringView text, double& value);
// Whole number, 0 when the text is no whole number (the carrier's extension, duration, zone code).
qint32 ParseIntOrZero(QStringView text);
// A signed whole number of 32 bits between optional blanks; false (value untouched) otherwise.
bool TryParseInt32(QStringView text, qint32& value);

double ParseShortDate(const QString& text);   // 0 on any failure
// ParseShortDate that tells an unreadable text from 30.12.1899: false (serial untouched).
bool TryParseShortDate(const QString& text, double& serial);
double ParseTime(const QString& text);        // 0 on any failure
double ParseDateTime(const QString& text);    // throws RuboError on failure
// Carrier format: date "yyyymmdd" or "yymmdd", time "hhnnss"; throws RuboError on an impossible
// date or time and on a date text of another length than 8 or 6.
double ParseCompactDateTime(QStringView dateText, QStringView timeText);
double ParseDateLenient(const QString& text, int defaultYear, int defaultMonth, int defaultDay,
                        QString* output = nullptr);
// Missing hour and minute come from `now`; the filter dialog passes the clock's time.
double ParseTimeLenient(const QString& text, QString* output = nullptr, const QTime& now = QTime::currentTime());

// Halves go to the even neighbour (2.5 gives 2, 3.5 gives 4), as the runtime's Round and Jet's
// CLng do; VariantToInt and CLng share it.
double RoundHalfEven(double value);

QString VariantToText(const QVariant& value);
int VariantToInt(const QVariant& value);
double VariantToFloat(const QVariant& value);
QString TrimmedText(const QString& text);   // trailing blanks removed

QString StripLineEnd(const QString& line);
QStringView StripLineEnd(QStringView line);
// Returns 1 for an empty line (no fields), else 0. No quoting, no trimming, no empty last field.
int SplitAtChar(const QString& line, QChar separator, QStringList& fields);
int SplitAtChar(QStringView line, QChar separator, QList<QStringView>& fields);
// Comma-text splitting with quotes; always returns 0.
int SplitCommaText(const QString& line, const QString& separator, QStringList& fields);

// Windows-1252 for 0x80..0x9F; its five undefined codes keep their Latin-1 value, so that nothing
// is lost and an export writes the byte that was read.
extern const char16_t kCp1252High[32];
inline QChar Cp1252Char(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? QChar(kCp1252High[byte - 0x80]) : QChar(byte);
}
// The Windows-1252 byte of a character, -1 when the code page lacks it.
int Cp1252Byte(char32_t c);

// Carrier files: valid UTF-8 (a BOM skipped) is read as UTF-8, anything else as Windows-1252.
QString DecodeCarrierText(const QByteArray& bytes);
bool IsValidUtf8(const QByteArray& bytes);
