#include "database/Conversions.h"
#include "database/JetFunctions.h"
#include "database/RuboError.h"

#include <QLocale>
#include <QTest>

#include <sqlite3.h>

#include <cmath>
#include <functional>
#include <limits>

// Seconds of the day of a serial, to compare times without floating-point noise.
static int secondsOf(double serial)
{
    return int(std::llround((serial - std::floor(serial)) * 86400.0)) % 86400;
}

static QString errorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const RuboError& e) {
        return e.message();
    }
    return QString();
}

class TestConversions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void encodeDate_data();
    void encodeDate();
    void encodeTime_data();
    void encodeTime();
    void serialFormatting_data();
    void serialFormatting();
    void dateTimeRoundTrip();
    void dayDate();
    void timeOfDayBeforeEpoch_data();
    void timeOfDayBeforeEpoch();
    void everySecondSurvives_data();
    void everySecondSurvives();
    void secondsToText_data();
    void secondsToText();

    void formatPicture_data();
    void formatPicture();
    void namedFormats();

    void parseNumber_data();
    void parseNumber();
    void parseNumberView();
    void parseIntOrZero_data();
    void parseIntOrZero();

    void parseShortDate_data();
    void parseShortDate();
    void parseTime_data();
    void parseTime();
    void parseDateTime_data();
    void parseDateTime();
    void parseDateTimeLocaleShortFormat();
    void parseCompactDateTime_data();
    void parseCompactDateTime();
    void parseDateLenient_data();
    void parseDateLenient();
    void parseDateLenientToday();
    void parseTimeLenient_data();
    void parseTimeLenient();
    void parseTimeLenientCurrentTime();

    void variantReaders();
    void halvesRoundToEven_data();
    void halvesRoundToEven();

    void stripLineEnd_data();
    void stripLineEnd();
    void splitAtChar_data();
    void splitAtChar();
    void splitCommaText_data();
    void splitCommaText();

    void decodeCarrierText_data();
    void decodeCarrierText();
};

// ---------------------------------------------------------------------------------------------

void TestConversions::encodeDate_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("serial");

    QTest::newRow("epoch") << 1899 << 12 << 30 << true << 0.0;
    QTest::newRow("1.1.1900") << 1900 << 1 << 1 << true << 2.0;
    QTest::newRow("1900 is no leap year") << 1900 << 2 << 29 << false << 0.0;
    QTest::newRow("1.3.1900") << 1900 << 3 << 1 << true << 61.0;
    QTest::newRow("leap day 2000") << 2000 << 2 << 29 << true << 36585.0;
    QTest::newRow("leap day 2004") << 2004 << 2 << 29 << true << 38046.0;
    QTest::newRow("no leap day 2003") << 2003 << 2 << 29 << false << 0.0;
    QTest::newRow("15.1.2003") << 2003 << 1 << 15 << true << 37636.0;
    QTest::newRow("before epoch") << 100 << 1 << 1 << true << -657434.0;
    QTest::newRow("last day") << 9999 << 12 << 31 << true << 2958465.0;
    QTest::newRow("31 April") << 2003 << 4 << 31 << false << 0.0;
    QTest::newRow("day 32") << 2003 << 1 << 32 << false << 0.0;
    QTest::newRow("day 0") << 2003 << 1 << 0 << false << 0.0;
    QTest::newRow("month 0") << 2003 << 0 << 15 << false << 0.0;
    QTest::newRow("month 13") << 2003 << 13 << 15 << false << 0.0;
    QTest::newRow("year 0") << 0 << 1 << 1 << false << 0.0;
    QTest::newRow("year 10000") << 10000 << 1 << 1 << false << 0.0;
}

void TestConversions::encodeDate()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(bool, valid);
    QFETCH(double, serial);

    double tried = -1;
    QCOMPARE(TryEncodeDate(year, month, day, tried), valid);
    if (valid) {
        QCOMPARE(tried, serial);
        QCOMPARE(EncodeDate(year, month, day), serial);
        QCOMPARE(DateToSerial(QDate(year, month, day)), serial);
    } else {
        QVERIFY_THROWS_EXCEPTION(RuboError, EncodeDate(year, month, day));
    }
}

void TestConversions::encodeTime_data()
{
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("second");
    QTest::addColumn<QString>("error");

    QTest::newRow("midnight") << 0 << 0 << 0 << QString();
    QTest::newRow("last second") << 23 << 59 << 59 << QString();
    QTest::newRow("hour 24") << 24 << 0 << 0 << QStringLiteral("'24:00:00' ist keine gültige Uhrzeit");
    QTest::newRow("minute 60") << 12 << 60 << 0 << QStringLiteral("'12:60:00' ist keine gültige Uhrzeit");
    QTest::newRow("second 60") << 12 << 0 << 60 << QStringLiteral("'12:00:60' ist keine gültige Uhrzeit");
    QTest::newRow("negative") << -1 << 0 << 0 << QStringLiteral("'-1:00:00' ist keine gültige Uhrzeit");
}

void TestConversions::encodeTime()
{
    QFETCH(int, hour);
    QFETCH(int, minute);
    QFETCH(int, second);
    QFETCH(QString, error);

    double serial = -1;
    QCOMPARE(TryEncodeTime(hour, minute, second, serial), error.isEmpty());
    if (error.isEmpty())
        QCOMPARE(secondsOf(EncodeTime(hour, minute, second)), hour * 3600 + minute * 60 + second);
    else
        QCOMPARE(errorOf([&] { EncodeTime(hour, minute, second); }), error);
}

void TestConversions::serialFormatting_data()
{
    QTest::addColumn<double>("serial");
    QTest::addColumn<QString>("text");

    const double t134501 = (13 * 3600 + 45 * 60 + 1) / 86400.0;
    QTest::newRow("zero") << 0.0 << "30.12.1899 00:00:00";
    QTest::newRow("noon") << 37636.5 << "15.01.2003 12:00:00";
    QTest::newRow("13:45:01") << 37636 + t134501 << "15.01.2003 13:45:01";
    QTest::newRow("rounds up into next day") << 37636.999999 << "16.01.2003 00:00:00";
    QTest::newRow("0.6 seconds round up") << 37636 + 0.6 / 86400 << "15.01.2003 00:00:01";
    QTest::newRow("0.4 seconds round down") << 37636 + 0.4 / 86400 << "15.01.2003 00:00:00";
    QTest::newRow("before epoch keeps time of day") << -1.25 << "29.12.1899 06:00:00";
    QTest::newRow("leap day") << 38046.75 << "29.02.2004 18:00:00";
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "30.12.1899 00:00:00";
    QTest::newRow("huge is clamped") << 1e300 << "31.12.9999 23:59:59";
}

void TestConversions::serialFormatting()
{
    QFETCH(double, serial);
    QFETCH(QString, text);

    QCOMPARE(FormatSerialDateTime(serial), text);
    QCOMPARE(FormatSerialDate(serial), text.left(10));
    QCOMPARE(FormatSerialTime(serial), text.mid(11));
    QCOMPARE(SerialToDateTime(serial).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")), text);
}

void TestConversions::dayDate()
{
    // 15.01.2003 was a Wednesday; the day name follows the user's language, never the point.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(FormatSerialDayDate(37636.75), QStringLiteral("Mi, 15.01.2003"));
    QCOMPARE(FormatSerialDayDate(38046.0), QStringLiteral("So, 29.02.2004"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(FormatSerialDayDate(37636.75), QStringLiteral("Wed, 15.01.2003"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void TestConversions::dateTimeRoundTrip()
{
    const QDateTime start(QDate(2003, 1, 15), QTime(13, 45, 1));
    const double serial = DateTimeToSerial(start);
    QCOMPARE(FormatSerialDateTime(serial), QStringLiteral("15.01.2003 13:45:01"));
    const QDateTime back = SerialToDateTime(serial);
    QCOMPARE(back.date(), start.date());
    QCOMPARE(back.time(), start.time());

    // A wall-clock time inside the spring-forward gap of a European zone must survive unchanged.
    const QDateTime gap = SerialToDateTime(EncodeDate(2003, 3, 30) + EncodeTime(2, 30, 0));
    QVERIFY(gap.isValid());
    QCOMPARE(gap.time(), QTime(2, 30));

    QCOMPARE(DateTimeToSerial(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
    QCOMPARE(DateTimeToSerial(QDateTime()), 0.0);
    QVERIFY(std::fabs(NowSerial() - DateTimeToSerial(QDateTime::currentDateTime())) < 1.0 / 86400);
}

void TestConversions::timeOfDayBeforeEpoch_data()
{
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<double>("serial");

    const double second = 1 / 86400.0;
    QTest::newRow("29.12.1899 06:00:00") << QDateTime(QDate(1899, 12, 29), QTime(6, 0), Qt::UTC) << -1.25;
    QTest::newRow("29.12.1899 midnight") << QDateTime(QDate(1899, 12, 29), QTime(0, 0), Qt::UTC) << -1.0;
    QTest::newRow("29.12.1899 23:59:59") << QDateTime(QDate(1899, 12, 29), QTime(23, 59, 59), Qt::UTC)
                                         << -(1 + 86399 * second);
    QTest::newRow("28.12.1899 18:00:00") << QDateTime(QDate(1899, 12, 28), QTime(18, 0), Qt::UTC) << -2.75;
    QTest::newRow("30.12.1899 06:00:00") << QDateTime(QDate(1899, 12, 30), QTime(6, 0), Qt::UTC) << 0.25;
    QTest::newRow("31.12.1899 18:00:00") << QDateTime(QDate(1899, 12, 31), QTime(18, 0), Qt::UTC) << 1.75;
    QTest::newRow("01.01.0001 00:00:01") << QDateTime(QDate(1, 1, 1), QTime(0, 0, 1), Qt::UTC)
                                         << -(693593 + second);
    QTest::newRow("01.01.0001 12:00:00") << QDateTime(QDate(1, 1, 1), QTime(12, 0), Qt::UTC) << -693593.5;
    QTest::newRow("15.06.1850 12:00:00") << QDateTime(QDate(1850, 6, 15), QTime(12, 0), Qt::UTC)
                                         << -(DateToSerial(QDate(1899, 12, 30)) - DateToSerial(QDate(1850, 6, 15)) + 0.5);
}

// Every road into a serial and out of it agrees on the sign of the time before 30.12.1899: the
// call export writes the text, the ".csv" import reads it back.
void TestConversions::timeOfDayBeforeEpoch()
{
    QFETCH(QDateTime, moment);
    QFETCH(double, serial);

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString text = moment.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    QCOMPARE(FormatSerialDateTime(serial), text);
    QCOMPARE(FormatSerialDate(serial), text.left(10));
    QCOMPARE(FormatSerialTime(serial), text.mid(11));
    QCOMPARE(SerialToDateTime(serial), moment);

    QCOMPARE(ParseDateTime(text), serial);
    QCOMPARE(DateTimeToSerial(moment), serial);
    QCOMPARE(ComposeDateTime(ParseShortDate(text.left(10)), ParseTime(text.mid(11))), serial);
    QCOMPARE(ComposeDateTime(EncodeDate(moment.date().year(), moment.date().month(), moment.date().day()),
                             EncodeTime(moment.time().hour(), moment.time().minute(), moment.time().second())),
             serial);
    QCOMPARE(ParseCompactDateTime(moment.toString(QStringLiteral("yyyyMMdd")), moment.toString(QStringLiteral("HHmmss"))),
             serial);

    // Files written under settings with a four-digit year take the fallback road.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    const QString british = moment.toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    QCOMPARE(FormatSerialDateTime(ParseDateTime(british)), text.left(16) + QStringLiteral(":00"));
}

void TestConversions::everySecondSurvives_data()
{
    QTest::addColumn<qint64>("day");

    QTest::newRow("01.01.0001") << qint64(-693593);
    QTest::newRow("02.01.0001") << qint64(-693592);
    QTest::newRow("01.01.0100") << qint64(-657434);
    QTest::newRow("29.12.1899") << qint64(-1);
    QTest::newRow("30.12.1899") << qint64(0);
    QTest::newRow("31.12.1899") << qint64(1);
    QTest::newRow("29.02.2000") << qint64(36585);
    QTest::newRow("31.12.9999") << qint64(2958465);
}

// Every whole second of a day, including the lowest and the highest day, survives the serial and
// its text: serial -> day and second, and serial -> text -> serial.
void TestConversions::everySecondSurvives()
{
    QFETCH(qint64, day);

    const QDate date = QDate(1899, 12, 30).addDays(day);
    const QString dateText = date.toString(QStringLiteral("dd.MM.yyyy"));
    for (int second = 0; second < 86400; ++second) {
        const double serial = SerialFromDayAndSecond(day, second);
        qint64 d = 0;
        int s = 0;
        QVERIFY(SplitSerial(serial, d, s));
        if (d != day || s != second)
            QFAIL(qPrintable(QStringLiteral("second %1 came back as day %2 second %3").arg(second).arg(d).arg(s)));
        const QString text = FormatSerialDateTime(serial);
        const QString expected = dateText + QLatin1Char(' ') + QTime(0, 0).addSecs(second).toString(QStringLiteral("HH:mm:ss"));
        if (text != expected || ParseDateTime(text) != serial)
            QFAIL(qPrintable(QStringLiteral("%1 came back as %2").arg(expected, text)));
    }
    // A day spread over the whole range, each with a second of its own.
    for (qint64 d = -693593, k = 0; d <= 2958465; d += 7919, ++k) {
        const int second = int((k * 48271) % 86400);
        const double serial = SerialFromDayAndSecond(d, second);
        const QString text = FormatSerialDateTime(serial);
        QCOMPARE(ParseDateTime(text), serial);
        QCOMPARE(FormatSerialDateTime(ParseDateTime(text)), text);
    }
}

void TestConversions::secondsToText_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("hours");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("secs");

    QTest::newRow("zero") << qint64(0) << "00:00:00" << qint64(0) << 0 << 0;
    QTest::newRow("3725") << qint64(3725) << "01:02:05" << qint64(1) << 2 << 5;
    QTest::newRow("one day less a second") << qint64(86399) << "23:59:59" << qint64(23) << 59 << 59;
    QTest::newRow("hours unlimited") << qint64(360000) << "100:00:00" << qint64(100) << 0 << 0;
    QTest::newRow("negative") << qint64(-5) << "-00:00:05" << qint64(0) << 0 << -5;
}

void TestConversions::secondsToText()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QFETCH(qint64, hours);
    QFETCH(int, minutes);
    QFETCH(int, secs);

    qint64 h = -1;
    int m = -1, s = -1;
    QCOMPARE(SecondsToText(seconds, &h, &m, &s), text);
    QCOMPARE(h, hours);
    QCOMPARE(m, minutes);
    QCOMPARE(s, secs);
    QCOMPARE(SecondsToText(seconds), text);
}

// ---------------------------------------------------------------------------------------------

void TestConversions::formatPicture_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("text");

    const QString de = QStringLiteral("de_DE");
    const QString amount = QStringLiteral("#,##0.00");
    const QString euro = QStringLiteral("#,##0.0000");
    const QString percent = QStringLiteral("####0.00#");

    QTest::newRow("grouped") << de << 1234.5 << amount << "1.234,50";
    QTest::newRow("zero") << de << 0.0 << amount << "0,00";
    QTest::newRow("small") << de << 0.35 << amount << "0,35";
    QTest::newRow("negative") << de << -1234.5 << amount << "-1.234,50";
    QTest::newRow("millions") << de << 1234567.0 << amount << "1.234.567,00";
    QTest::newRow("half up") << de << 0.005 << amount << "0,01";
    QTest::newRow("1.005 as shown") << de << 1.005 << amount << "1,01";
    QTest::newRow("2.675 as shown") << de << 2.675 << amount << "2,68";
    QTest::newRow("negative half away") << de << -2.675 << amount << "-2,68";
    QTest::newRow("rounds to zero, no sign") << de << -0.004 << amount << "0,00";
    QTest::newRow("carry into new group") << de << 999.995 << amount << "1.000,00";
    QTest::newRow("huge") << de << 1e15 << amount << "1.000.000.000.000.000,00";
    QTest::newRow("euro") << de << 1234567.891 << euro << "1.234.567,8910";
    QTest::newRow("euro tiny") << de << 0.00005 << euro << "0,0001";
    QTest::newRow("euro of shillings") << de << 100 / 13.7603 << euro << "7,2673";
    QTest::newRow("percent two") << de << 12.5 << percent << "12,50";
    QTest::newRow("percent three") << de << 12.345 << percent << "12,345";
    QTest::newRow("percent rounds third") << de << 12.3456 << percent << "12,346";
    QTest::newRow("percent third rounds away") << de << 12.3004 << percent << "12,30";
    QTest::newRow("percent carry") << de << 99999.9996 << percent << "100000,00";
    QTest::newRow("percent no grouping") << de << 123456.5 << percent << "123456,50";
    QTest::newRow("###,##0.00") << de << 1234567.5 << "###,##0.00" << "1.234.567,50";
    QTest::newRow("##,##0.0000") << de << 12345.6789 << "##,##0.0000" << "12.345,6789";
    QTest::newRow("###0.00#") << de << 5.0 << "###0.00#" << "5,00";
    QTest::newRow("#######0.00") << de << 1234567.5 << "#######0.00" << "1234567,50";
    QTest::newRow("#######0.0000") << de << 0.12345 << "#######0.0000" << "0,1235";
    QTest::newRow("no decimals left") << de << 12.0 << "0.##" << "12";
    QTest::newRow("literal suffix") << de << 12.5 << "0.0 %" << "12,5 %";
    // The pictures of the printed reports: quoted text is kept, even when it holds "0" or ".".
    QTest::newRow("#0.00 ATS") << de << 1234.5 << "#0.00' ATS '" << "1234,50 ATS ";
    QTest::newRow("(#0.00 EUR)") << de << 0.125 << "'('#0.00' EUR)'" << "(0,13 EUR)";
    QTest::newRow("' ',#0.00 grouped") << de << 1234567.5 << "' ',#0.00' ATS '" << " 1.234.567,50 ATS ";
    QTest::newRow("'(',#0.00 grouped") << de << -1234.5 << "'(',#0.00' ATS)'" << "(-1.234,50 ATS)";
    QTest::newRow(",0") << de << 1234567.0 << ",0" << "1.234.567";
    QTest::newRow(",#0.0000' '") << de << 1234.5 << ",#0.0000' '" << "1.234,5000 ";
    QTest::newRow("quoted placeholders") << de << 7.0 << "0 '#0.00' \"x.0\"" << "7 #0.00 x.0";
    QTest::newRow("unclosed quote") << de << 7.0 << "0' Stk" << "7 Stk";
    QTest::newRow("english") << QStringLiteral("en_US") << 1234.5 << amount << "1,234.50";
    QTest::newRow("C locale") << QStringLiteral("C") << -1234.5 << amount << "-1,234.50";
    QTest::newRow("NaN") << de << std::numeric_limits<double>::quiet_NaN() << amount << "NAN";
}

void TestConversions::formatPicture()
{
    QFETCH(QString, locale);
    QFETCH(double, value);
    QFETCH(QString, picture);
    QFETCH(QString, text);

    QLocale::setDefault(QLocale(locale));
    QCOMPARE(FormatPicture(value, picture), text);
}

void TestConversions::namedFormats()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(FormatAmount(1234.5), QStringLiteral("1.234,50"));
    QCOMPARE(FormatEuro(-0.35), QStringLiteral("-0,3500"));
    QCOMPARE(FormatPercent(7.25), QStringLiteral("7,25"));
}

// ---------------------------------------------------------------------------------------------

void TestConversions::parseNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");

    QTest::newRow("point") << "12.5" << true << 12.5;
    QTest::newRow("comma") << "12,5" << true << 12.5;
    QTest::newRow("0.35") << "0.35" << true << 0.35;
    QTest::newRow("0,35") << "0,35" << true << 0.35;
    QTest::newRow("whole") << "42" << true << 42.0;
    QTest::newRow("minus") << "-3" << true << -3.0;
    QTest::newRow("plus") << "+7,25" << true << 7.25;
    QTest::newRow("leading zeros") << "0001" << true << 1.0;
    QTest::newRow("no integer digits") << ",5" << true << 0.5;
    QTest::newRow("no fraction digits") << "5." << true << 5.0;
    QTest::newRow("exponent") << "1.5E-2" << true << 0.015;
    QTest::newRow("surrounding blanks") << "  12,5  " << true << 12.5;
    QTest::newRow("thousands and decimals") << "1.234,5" << false << 0.0;
    QTest::newRow("english thousands") << "1,234.5" << false << 0.0;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("blank") << "   " << false << 0.0;
    QTest::newRow("sign only") << "-" << false << 0.0;
    QTest::newRow("separator only") << "." << false << 0.0;
    QTest::newRow("two signs") << "+-1" << false << 0.0;
    QTest::newRow("trailing letter") << "12a" << false << 0.0;
    QTest::newRow("inner blank") << "1 234" << false << 0.0;
    QTest::newRow("hex") << "0x10" << false << 0.0;
    QTest::newRow("nan") << "nan" << false << 0.0;
    QTest::newRow("inf") << "inf" << false << 0.0;
    QTest::newRow("exponent without digits") << "1e" << false << 0.0;
    QTest::newRow("overflow") << "1e999" << false << 0.0;
    QTest::newRow("arabic digits") << QString::fromUtf8("\u0661\u0662") << false << 0.0;
    QTest::newRow("very long") << QStringLiteral("0.") + QString(300, QLatin1Char('0')) + QStringLiteral("1e301")
                               << true << 1.0;
}

void TestConversions::parseNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(double, value);

    double tried = -99;
    QCOMPARE(TryParseNumber(text, tried), valid);
    if (valid) {
        QCOMPARE(tried, value);
        QCOMPARE(ParseNumber(text), value);
    } else {
        QCOMPARE(tried, -99.0);
        QCOMPARE(errorOf([&] { ParseNumber(text); }),
                 QStringLiteral("Nichtkonvertierbarer Zahlenwert (") + text + QLatin1Char(')'));
    }
}

void TestConversions::parseNumberView()
{
    // The view overload must stop at the end of its field, not at the end of the line.
    const QString line = QStringLiteral("0,35\t99");
    QCOMPARE(ParseNumber(QStringView(line).left(4)), 0.35);
    QCOMPARE(errorOf([&] { ParseNumber(QStringView(line).left(6)); }),
             QStringLiteral("Nichtkonvertierbarer Zahlenwert (0,35\t9)"));
    QCOMPARE(errorOf([] { ParseNumber(QStringLiteral("1.234,5")); }),
             QStringLiteral("Nichtkonvertierbarer Zahlenwert (1.234,5)"));
}

void TestConversions::parseIntOrZero_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");

    QTest::newRow("plain") << "42" << 42;
    QTest::newRow("leading zeros") << "00123" << 123;
    QTest::newRow("negative") << "-7" << -7;
    QTest::newRow("plus") << "+7" << 7;
    QTest::newRow("padding blanks") << " 42 " << 42;
    QTest::newRow("letter") << "12a" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("sign only") << "-" << 0;
    QTest::newRow("inner blank") << "4 2" << 0;
    QTest::newRow("decimal") << "12.0" << 0;
    QTest::newRow("max") << "2147483647" << 2147483647;
    QTest::newRow("min") << "-2147483648" << int(std::numeric_limits<qint32>::min());
    QTest::newRow("too big") << "2147483648" << 0;
    QTest::newRow("far too big") << "99999999999999999999" << 0;
}

void TestConversions::parseIntOrZero()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(ParseIntOrZero(text), value);
}

// ---------------------------------------------------------------------------------------------

void TestConversions::parseShortDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");   // invalid: the result is 0

    const int year = QDate::currentDate().year();
    const auto yy = [](int y) { return QStringLiteral("%1").arg(y % 100, 2, 10, QLatin1Char('0')); };

    QTest::newRow("four-digit year") << "15.01.2003" << QDate(2003, 1, 15);
    QTest::newRow("one-digit month") << "15.1.2003" << QDate(2003, 1, 15);
    QTest::newRow("blanks around") << " 15.01.2003 " << QDate(2003, 1, 15);
    QTest::newRow("without year") << "15.01" << QDate(year, 1, 15);
    QTest::newRow("oldest two-digit year") << "01.07." + yy(year - 50) << QDate(year - 50, 7, 1);
    QTest::newRow("newest two-digit year") << "01.07." + yy(year + 49) << QDate(year + 49, 7, 1);
    QTest::newRow("leap day") << "29.02.2004" << QDate(2004, 2, 29);
    QTest::newRow("no leap day") << "29.02.2003" << QDate();
    QTest::newRow("time after date") << "15.01.2003 08:00" << QDate();
    QTest::newRow("slashes") << "15/01/2003" << QDate();
    QTest::newRow("three-digit year") << "15.01.203" << QDate();
    QTest::newRow("day 32") << "32.01.2003" << QDate();
    QTest::newRow("separator without year") << "15.01." << QDate();
    QTest::newRow("empty") << "" << QDate();
    QTest::newRow("text") << "gestern" << QDate();
}

void TestConversions::parseShortDate()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QCOMPARE(ParseShortDate(text), date.isValid() ? DateToSerial(date) : 0.0);
}

void TestConversions::parseTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds");   // -1: the result is 0

    QTest::newRow("full") << "08:30:00" << 8 * 3600 + 30 * 60;
    QTest::newRow("hour only") << "8" << 8 * 3600;
    QTest::newRow("hour and minute") << "8:5" << 8 * 3600 + 5 * 60;
    QTest::newRow("duration") << "00:01:30" << 90;
    QTest::newRow("last second") << "23:59:59" << 86399;
    QTest::newRow("PM") << "1:30 PM" << 13 * 3600 + 30 * 60;
    QTest::newRow("12 AM is midnight") << "12:15 AM" << 15 * 60;
    QTest::newRow("12 pm is noon") << "12:15 pm" << 12 * 3600 + 15 * 60;
    QTest::newRow("13 PM") << "13:00 PM" << -1;
    QTest::newRow("0 AM") << "0:30 AM" << -1;
    QTest::newRow("0 PM") << "00:30 pm" << -1;
    QTest::newRow("hour 0 without AM/PM") << "0:30" << 30 * 60;
    QTest::newRow("hour 24") << "24:00:00" << -1;
    QTest::newRow("minute 60") << "12:60" << -1;
    QTest::newRow("second 60") << "12:00:60" << -1;
    QTest::newRow("dangling separator") << "8:" << -1;
    QTest::newRow("text") << "acht" << -1;
    QTest::newRow("empty") << "" << -1;
}

void TestConversions::parseTime()
{
    QFETCH(QString, text);
    QFETCH(int, seconds);
    const double serial = ParseTime(text);
    if (seconds < 0)
        QCOMPARE(serial, 0.0);
    else
        QCOMPARE(secondsOf(serial), seconds);
}

void TestConversions::parseDateTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");   // empty: raises the error

    QTest::newRow("export form") << "15.01.2003 13:45:01" << "15.01.2003 13:45:01";
    QTest::newRow("without seconds") << "15.01.2003 13:45" << "15.01.2003 13:45:00";
    QTest::newRow("date alone") << "15.01.2003" << "15.01.2003 00:00:00";
    QTest::newRow("short parts") << "1.2.2003 8:05:09" << "01.02.2003 08:05:09";
    QTest::newRow("blanks") << "  15.01.2003   13:45:01 " << "15.01.2003 13:45:01";
    QTest::newRow("leap day") << "29.02.2004 23:59:59" << "29.02.2004 23:59:59";
    QTest::newRow("day 32") << "32.01.2003 10:00:00" << "";
    QTest::newRow("hour 24") << "15.01.2003 24:00:00" << "";
    QTest::newRow("trailing text") << "15.01.2003 13:45:01 x" << "";
    QTest::newRow("text") << "abc" << "";
    QTest::newRow("empty") << "" << "";
}

void TestConversions::parseDateTime()
{
    QFETCH(QString, text);
    QFETCH(QString, result);

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    if (result.isEmpty()) {
        QCOMPARE(errorOf([&] { ParseDateTime(text); }),
                 QStringLiteral("'%1' ist kein gültiges Datum und Uhrzeit").arg(text));
    } else {
        QCOMPARE(FormatSerialDateTime(ParseDateTime(text)), result);
    }
}

void TestConversions::parseDateTimeLocaleShortFormat()
{
    // A file written under American settings: Qt alone would put "03" into 1903.
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    QLocale::setDefault(us);
    const QString text = us.toString(QDateTime(QDate(2003, 1, 15), QTime(13, 45)), QLocale::ShortFormat);
    QCOMPARE(FormatSerialDateTime(ParseDateTime(text)), QStringLiteral("15.01.2003 13:45:00"));
    // The export's own form is read under any settings.
    QCOMPARE(FormatSerialDateTime(ParseDateTime(QStringLiteral("15.01.2003 13:45:01"))),
             QStringLiteral("15.01.2003 13:45:01"));
}

void TestConversions::parseCompactDateTime_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("result");   // empty: raises the error

    QTest::newRow("eight digits") << "20030115" << "134501" << "15.01.2003 13:45:01";
    QTest::newRow("six digits") << "030115" << "080000" << "15.01.2003 08:00:00";
    QTest::newRow("99 is 1999") << "991231" << "000000" << "31.12.1999 00:00:00";
    QTest::newRow("49 is 2049") << "491231" << "000000" << "31.12.2049 00:00:00";
    QTest::newRow("50 is 1950") << "500101" << "235959" << "01.01.1950 23:59:59";
    QTest::newRow("leap day") << "20040229" << "120000" << "29.02.2004 12:00:00";
    QTest::newRow("short time") << "20030115" << "1345" << "15.01.2003 13:45:00";
    QTest::newRow("no time") << "20030115" << "" << "15.01.2003 00:00:00";
    QTest::newRow("month 13") << "20031315" << "246000" << "";
    QTest::newRow("month 0") << "20030015" << "000000" << "";
    QTest::newRow("30 February") << "20030230" << "000000" << "";
    QTest::newRow("no leap day") << "030229" << "000000" << "";
    QTest::newRow("hour 24") << "20030115" << "240000" << "";
    QTest::newRow("minute 60") << "20030115" << "126000" << "";
    QTest::newRow("letters in month") << "2003ab15" << "000000" << "";
    QTest::newRow("seven characters") << "2003011" << "120000" << "";
    QTest::newRow("nine characters") << "200301150" << "120000" << "";
    QTest::newRow("empty") << "" << "" << "";
}

void TestConversions::parseCompactDateTime()
{
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QString, result);

    if (result.isEmpty()) {
        QCOMPARE(errorOf([&] { ParseCompactDateTime(date, time); }),
                 QStringLiteral("Ungültiges Datum oder Uhrzeit: %1 %2").arg(date, time));
    } else {
        // Fields are views into the line; the parser must not look beyond them.
        const QString line = date + QLatin1Char('\t') + time + QStringLiteral("\t99");
        const QStringView view(line);
        QCOMPARE(FormatSerialDateTime(ParseCompactDateTime(view.left(date.size()),
                                                           view.mid(date.size() + 1, time.size()))),
                 result);
    }
}

void TestConversions::parseDateLenient_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<QString>("result");

    QTest::newRow("day and month") << "5.3" << 1900 << 1 << 1 << "05.03.1900";
    QTest::newRow("two-digit year 03") << "5.3.03" << 1900 << 1 << 1 << "05.03.2003";
    QTest::newRow("two-digit year 51") << "5.3.51" << 1900 << 1 << 1 << "05.03.1951";
    QTest::newRow("two-digit year 49") << "5.3.49" << 1900 << 1 << 1 << "05.03.2049";
    QTest::newRow("three-digit year") << "1.1.123" << 1900 << 1 << 1 << "01.01.0123";
    QTest::newRow("empty to-date") << "" << 9999 << 12 << 31 << "31.12.9999";
    QTest::newRow("day alone") << "5" << 9999 << 12 << 31 << "05.12.9999";
    QTest::newRow("30 February") << "30.2.2003" << 1900 << 1 << 1 << "01.01.1900";
    QTest::newRow("31 February by default") << "31.2" << 9999 << 12 << 31 << "01.01.1900";
    QTest::newRow("any separators") << "15-01 / 2003" << 1900 << 1 << 1 << "15.01.2003";
    QTest::newRow("blanks") << "  7.8.2004  " << 1900 << 1 << 1 << "07.08.2004";
    QTest::newRow("trailing separator") << "7.8." << 2004 << 1 << 1 << "07.08.2004";
    QTest::newRow("not a digit first") << "x5.3" << 1900 << 1 << 1 << "01.01.1900";
    QTest::newRow("text") << "heute" << 9999 << 12 << 31 << "31.12.9999";
    QTest::newRow("year 0000") << "1.1.0000" << 1900 << 1 << 1 << "01.01.1900";
    QTest::newRow("endless year") << "1.1.99999999999" << 1900 << 1 << 1 << "01.01.1900";
    QTest::newRow("year with leading zeros") << "5.3.0002003" << 1900 << 1 << 1 << "05.03.2003";
    QTest::newRow("year with many leading zeros") << "5.3.0000002003" << 1900 << 1 << 1 << "05.03.2003";
    QTest::newRow("three digits with zeros") << "5.3.003" << 1900 << 1 << 1 << "05.03.0003";
    QTest::newRow("leap day with zeros") << "29.2.00000002004" << 1900 << 1 << 1 << "29.02.2004";
    QTest::newRow("forty digits, a valid year") << "1.1." + QString(36, QLatin1Char('0')) + "2003"
                                                << 1900 << 1 << 1 << "01.01.2003";
    QTest::newRow("forty nines") << "1.1." + QString(40, QLatin1Char('9')) << 1900 << 1 << 1 << "01.01.1900";
    QTest::newRow("forty digits after a one") << "1.1.1" + QString(39, QLatin1Char('0'))
                                              << 9999 << 12 << 31 << "01.01.1900";
    QTest::newRow("year 10000") << "1.1.10000" << 1900 << 1 << 1 << "01.01.1900";
    QTest::newRow("year 9999") << "31.12.09999" << 1900 << 1 << 1 << "31.12.9999";
    QTest::newRow("zeros only") << "1.1.0000000000" << 1900 << 1 << 1 << "01.01.1900";
}

void TestConversions::parseDateLenient()
{
    QFETCH(QString, text);
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(QString, result);

    QString output;
    const double serial = ParseDateLenient(text, year, month, day, &output);
    QCOMPARE(output, result);
    QCOMPARE(FormatSerialDate(serial), result);
    QCOMPARE(serial, std::floor(serial));
}

void TestConversions::parseDateLenientToday()
{
    const QDate today = QDate::currentDate();
    QString output;
    const double serial = ParseDateLenient(QString(), -1, -1, -1, &output);
    if (QDate::currentDate() != today)
        QSKIP("midnight passed during the test");
    QCOMPARE(serial, DateToSerial(today));
    QCOMPARE(FormatSerialDate(ParseDateLenient(QStringLiteral("1"), 0, 0, 0)),
             QStringLiteral("01.%1.%2").arg(today.month(), 2, 10, QLatin1Char('0')).arg(today.year()));
}

void TestConversions::parseTimeLenient_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");

    QTest::newRow("hour and minute") << "8:5" << "08:05:00";
    QTest::newRow("all three") << "8:5:7" << "08:05:07";
    QTest::newRow("points") << "23.59.59" << "23:59:59";
    QTest::newRow("blanks") << " 12 30 " << "12:30:00";
    QTest::newRow("hour 25") << "25:00" << "00:00:00";
    QTest::newRow("minute 60") << "12:60" << "00:00:00";
    QTest::newRow("second 60") << "12:00:60" << "00:00:00";
}

void TestConversions::parseTimeLenient()
{
    QFETCH(QString, text);
    QFETCH(QString, result);

    QString output;
    const double serial = ParseTimeLenient(text, &output);
    QCOMPARE(output, result);
    QCOMPARE(FormatSerialTime(serial), result);
    QVERIFY(serial >= 0 && serial < 1);
}

void TestConversions::parseTimeLenientCurrentTime()
{
    // The current hour and minute stand in for what the text leaves out; seconds start at 0.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QTime before = QTime::currentTime();
        QString hourOnly, empty, text;
        ParseTimeLenient(QStringLiteral("8"), &hourOnly);
        ParseTimeLenient(QString(), &empty);
        ParseTimeLenient(QStringLiteral("Mittag"), &text);
        const QTime after = QTime::currentTime();
        if (before.minute() != after.minute())
            continue;
        QCOMPARE(hourOnly, QStringLiteral("08:%1:00").arg(before.minute(), 2, 10, QLatin1Char('0')));
        QCOMPARE(empty, before.toString(QStringLiteral("HH:mm")) + QStringLiteral(":00"));
        QCOMPARE(text, empty);
        return;
    }
    QFAIL("the minute kept changing");
}

// ---------------------------------------------------------------------------------------------

void TestConversions::variantReaders()
{
    const QVariant nullText{QMetaType(QMetaType::QString)};
    const QVariant nullInt{QMetaType(QMetaType::Int)};

    QCOMPARE(VariantToText(QVariant()), QString());
    QCOMPARE(VariantToText(nullText), QString());
    QCOMPARE(VariantToText(QStringLiteral("GZ  ")), QStringLiteral("GZ"));
    QCOMPARE(VariantToText(QStringLiteral(" ")), QString());   // a blank stored for "any" reads empty
    QCOMPARE(VariantToText(QStringLiteral("  a b")), QStringLiteral("  a b"));
    QCOMPARE(VariantToText(42), QStringLiteral("42"));
    QCOMPARE(VariantToText(qlonglong(6641234567LL)), QStringLiteral("6641234567"));
    QCOMPARE(VariantToText(5.0), QStringLiteral("5"));
    QCOMPARE(VariantToText(1e6), QStringLiteral("1000000"));
    QCOMPARE(VariantToText(12.5), QStringLiteral("12.5"));
    QCOMPARE(VariantToText(0.1 + 0.2), QStringLiteral("0.3"));

    QCOMPARE(VariantToInt(QVariant()), 0);
    QCOMPARE(VariantToInt(nullInt), 0);
    QCOMPARE(VariantToInt(QString()), 0);
    QCOMPARE(VariantToInt(QStringLiteral("42")), 42);
    QCOMPARE(VariantToInt(QStringLiteral(" 42 ")), 42);
    QCOMPARE(VariantToInt(QStringLiteral("12a")), 0);
    QCOMPARE(VariantToInt(QStringLiteral("12,7")), 13);
    QCOMPARE(VariantToInt(12.4), 12);
    QCOMPARE(VariantToInt(12.5), 12);
    QCOMPARE(VariantToInt(-12.5), -12);
    QCOMPARE(VariantToInt(1e12), 0);
    QCOMPARE(VariantToInt(qlonglong(1) << 40), 0);
    QCOMPARE(VariantToInt(qlonglong(-7)), -7);

    QCOMPARE(VariantToFloat(QVariant()), 0.0);
    QCOMPARE(VariantToFloat(nullInt), 0.0);
    QCOMPARE(VariantToFloat(QStringLiteral("0,35")), 0.35);
    QCOMPARE(VariantToFloat(QStringLiteral("1.5")), 1.5);
    QCOMPARE(VariantToFloat(QStringLiteral("x")), 0.0);
    QCOMPARE(VariantToFloat(12), 12.0);
    QCOMPARE(VariantToFloat(37636.5), 37636.5);
    QCOMPARE(VariantToFloat(QDate(2003, 1, 15)), 37636.0);

    QCOMPARE(TrimmedText(QString()), QString());
    QCOMPARE(TrimmedText(QStringLiteral("ID-1 \t ")), QStringLiteral("ID-1"));
    QCOMPARE(TrimmedText(QStringLiteral(" x")), QStringLiteral(" x"));
}

void TestConversions::halvesRoundToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("whole");

    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("1.5") << 1.5 << 2;
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("3.5") << 3.5 << 4;
    QTest::newRow("-0.5") << -0.5 << 0;
    QTest::newRow("-1.5") << -1.5 << -2;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("just below a half") << 2.4999999999999996 << 2;
    QTest::newRow("just above a half") << 2.5000000000000004 << 3;
    QTest::newRow("largest below a half") << 0.49999999999999994 << 0;
    QTest::newRow("half below the largest") << 2147483646.5 << 2147483646;
    QTest::newRow("half below the smallest") << -2147483647.5 << int(std::numeric_limits<qint32>::min());
    QTest::newRow("no half") << 7.25 << 7;
}

// The database reader and the SQL function CLng round halves alike, to the even neighbour.
void TestConversions::halvesRoundToEven()
{
    QFETCH(double, value);
    QFETCH(int, whole);

    QCOMPARE(RoundHalfEven(value), double(whole));
    QCOMPARE(VariantToInt(value), whole);
    QCOMPARE(VariantToInt(QString::number(value, 'g', 17).replace(QLatin1Char('.'), QLatin1Char(','))), whole);

    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(":memory:", &db), SQLITE_OK);
    RegisterJetFunctions(db);
    sqlite3_stmt* stmt = nullptr;
    QCOMPARE(sqlite3_prepare_v2(db, "SELECT CLng(?)", -1, &stmt, nullptr), SQLITE_OK);
    sqlite3_bind_double(stmt, 1, value);
    QCOMPARE(sqlite3_step(stmt), SQLITE_ROW);
    const int clng = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    QCOMPARE(clng, whole);
}

// ---------------------------------------------------------------------------------------------

void TestConversions::stripLineEnd_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("stripped");

    QTest::newRow("CR LF") << "abc\r\n" << "abc";
    QTest::newRow("LF") << "abc\n" << "abc";
    QTest::newRow("CR") << "abc\r" << "abc";
    QTest::newRow("at most two") << "abc\n\n\n" << "abc\n";
    QTest::newRow("none") << "abc" << "abc";
    QTest::newRow("only line end") << "\r\n" << "";
    QTest::newRow("tab stays") << "a\tb\t\n" << "a\tb\t";
    QTest::newRow("empty") << "" << "";
}

void TestConversions::stripLineEnd()
{
    QFETCH(QString, line);
    QFETCH(QString, stripped);
    QCOMPARE(StripLineEnd(line), stripped);
    QCOMPARE(StripLineEnd(QStringView(line)).toString(), stripped);
}

void TestConversions::splitAtChar_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("fields");

    QTest::newRow("empty field between") << "a\t\tb" << "\t" << 0 << QStringList{"a", "", "b"};
    QTest::newRow("no empty last field") << "a\tb\t" << "\t" << 0 << QStringList{"a", "b"};
    QTest::newRow("empty line") << "" << "\t" << 1 << QStringList{};
    QTest::newRow("leading separator") << "\ta" << "\t" << 0 << QStringList{"", "a"};
    QTest::newRow("separator alone") << "\t" << "\t" << 0 << QStringList{""};
    QTest::newRow("two at the end") << "a\t\t" << "\t" << 0 << QStringList{"a", ""};
    QTest::newRow("no trimming, no quoting") << " a \t\"b;c\"" << "\t" << 0 << QStringList{" a ", "\"b;c\""};
    QTest::newRow("semicolon") << "x;Wien, Mitte;5" << ";" << 0 << QStringList{"x", "Wien, Mitte", "5"};
    QTest::newRow("one field") << "280" << "\t" << 0 << QStringList{"280"};
}

void TestConversions::splitAtChar()
{
    QFETCH(QString, line);
    QFETCH(QString, separator);
    QFETCH(int, code);
    QFETCH(QStringList, fields);

    QStringList list{QStringLiteral("left over")};
    QCOMPARE(SplitAtChar(line, separator[0], list), code);
    QCOMPARE(list, fields);

    QList<QStringView> views{QStringView(u"left over")};
    QCOMPARE(SplitAtChar(QStringView(line), separator[0], views), code);
    QStringList viewTexts;
    for (QStringView v : views)
        viewTexts << v.toString();
    QCOMPARE(viewTexts, fields);
}

void TestConversions::splitCommaText_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QStringList>("fields");

    QTest::newRow("quoted fields") << "\"a\";\"b c\";\"d,e\"" << ";" << QStringList{"a", "b c", "d,e"};
    QTest::newRow("unquoted") << "1;2;3" << ";" << QStringList{"1", "2", "3"};
    QTest::newRow("blank ends a field") << "Wien Mitte;5" << ";" << QStringList{"Wien", "Mitte", "5"};
    QTest::newRow("decimal comma splits") << "0,35;1" << ";" << QStringList{"0", "35", "1"};
    QTest::newRow("empty field stays") << "a,,b" << "," << QStringList{"a", "", "b"};
    QTest::newRow("leading comma") << ",a" << "," << QStringList{"", "a"};
    QTest::newRow("no empty last field") << "a;b;" << ";" << QStringList{"a", "b"};
    QTest::newRow("doubled quote") << "\"say \"\"hi\"\"\";x" << ";" << QStringList{"say \"hi\"", "x"};
    QTest::newRow("empty quoted") << "\"\";\"x\"" << ";" << QStringList{"", "x"};
    QTest::newRow("separator in quotes inside a value")
        << "\"a\"\";\"\"b\";\"c\"" << ";" << QStringList{"a\";\"b", "c"};
    QTest::newRow("empty values around a quoted separator") << "\"\";\"\";\";\"" << ";" << QStringList{"", "", ";"};
    QTest::newRow("unclosed quote keeps the rest") << "\"abc" << ";" << QStringList{"abc"};
    QTest::newRow("line end is a blank") << "1;2\r\n" << ";" << QStringList{"1", "2"};
    QTest::newRow("tab separator") << "a\tb" << "\t" << QStringList{"a", "b"};
    QTest::newRow("blank line") << "   " << ";" << QStringList{};
    QTest::newRow("empty line") << "" << ";" << QStringList{};
    QTest::newRow("export line")
        << "\"0043662\";\"12\";\"0664123\";\"1.50\";\"60\";\"15.01.2003 13:45:01\";\"4\";\"Mobil\";"
           "\"A1\";\"KST 1\";\"0.1090\";\"I\";\"F1\";\"GZ\";\"1.50\";\"0.1090\"\r\n"
        << ";"
        << QStringList{"0043662", "12",    "0664123", "1.50", "60", "15.01.2003 13:45:01", "4",  "Mobil",
                       "A1",      "KST 1", "0.1090",  "I",    "F1", "GZ",                  "1.50", "0.1090"};
}

void TestConversions::splitCommaText()
{
    QFETCH(QString, line);
    QFETCH(QString, separator);
    QFETCH(QStringList, fields);

    QStringList list{QStringLiteral("left over")};
    QCOMPARE(SplitCommaText(line, separator, list), 0);
    QCOMPARE(list, fields);
}

// ---------------------------------------------------------------------------------------------

void TestConversions::decodeCarrierText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QString>("text");

    const QString oesterreich = QString::fromUtf8("\xC3\x96sterreich");
    QTest::newRow("UTF-8") << QByteArray("\xC3\x96sterreich") << true << oesterreich;
    QTest::newRow("1252") << QByteArray("\xD6sterreich") << false << oesterreich;
    QTest::newRow("BOM skipped") << QByteArray("\xEF\xBB\xBF\xC3\x96sterreich") << true << oesterreich;
    QTest::newRow("lone 0xD6") << QByteArray("\xD6") << false << QString::fromUtf8("\xC3\x96");
    QTest::newRow("ASCII") << QByteArray("280\tabc") << true << QStringLiteral("280\tabc");
    QTest::newRow("empty") << QByteArray() << true << QString();
    QTest::newRow("euro sign 1252") << QByteArray("\x80") << false << QString(QChar(0x20AC));
    QTest::newRow("euro sign UTF-8") << QByteArray("\xE2\x82\xAC") << true << QString(QChar(0x20AC));
    QTest::newRow("S caron") << QByteArray("\x8A") << false << QString(QChar(0x0160));
    QTest::newRow("Y diaeresis") << QByteArray("\x9F") << false << QString(QChar(0x0178));
    QTest::newRow("undefined 0x81 keeps its value") << QByteArray("\x81") << false << QString(QChar(0x81));
    QTest::newRow("undefined 0x9D keeps its value") << QByteArray("\x9D") << false << QString(QChar(0x9D));
    QTest::newRow("overlong NUL") << QByteArray("\xC0\x80") << false << QString::fromUtf8("\xC3\x80\xE2\x82\xAC");
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false
                               << QString::fromUtf8("\xC3\xAD\xC2\xA0\xE2\x82\xAC");
    QTest::newRow("truncated sequence") << QByteArray("\xE2\x82") << false
                                        << QString::fromUtf8("\xC3\xA2\xE2\x80\x9A");
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false
                                     << QString::fromUtf8("\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC");
    QTest::newRow("four-byte UTF-8") << QByteArray("\xF0\x9F\x98\x80") << true
                                     << QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("mixed is all 1252") << QByteArray("Gr\xC3\xBC\xDF") << false
                                       << QString::fromUtf8("Gr\xC3\x83\xC2\xBC\xC3\x9F");
}

void TestConversions::decodeCarrierText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, utf8);
    QFETCH(QString, text);

    QCOMPARE(IsValidUtf8(bytes), utf8);
    QCOMPARE(DecodeCarrierText(bytes), text);
}

QTEST_GUILESS_MAIN(TestConversions)
#include "TestConversions.moc"
