// Our conversions against an independent runtime of the same conventions: the file beside
// tests/reference/ConversionReference.pas holds what Free Pascal's SysUtils gives under German
// settings for some ten thousand inputs; every line is compared here. Regenerate it with
// tests/reference/make.sh; this test needs only the checked-in file.

#include "database/Conversions.h"
#include "database/JetFunctions.h"
#include "database/RuboError.h"

#include <QFile>
#include <QHash>
#include <QLocale>
#include <QTest>

#include <sqlite3.h>

#include <cstring>
#include <limits>

namespace {

const char kReferenceFile[] = RUBO_SOURCE_DIR "/tests/reference/ConversionReference.txt";

bool fromBits(const QString& hex, double& value)
{
    bool ok = false;
    const quint64 bits = hex.toULongLong(&ok, 16);
    if (!ok || hex.size() != 16)
        return false;
    std::memcpy(&value, &bits, sizeof value);
    return true;
}

QString bitsOf(double value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return QStringLiteral("%1 (%2)").arg(bits, 16, 16, QLatin1Char('0')).arg(value, 0, 'g', 17).toUpper();
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

class TestConversionReference : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void reference_data();
    void reference();

private:
    // Empty when our result matches the line, else what we gave.
    QString check(const QString& kind, const QStringList& f);
    QString checkPicture(const QStringList& f);
    QString checkNumber(const QStringList& f);
    QString checkEncodeDate(const QStringList& f);
    QString checkDateAndTime(const QStringList& f);
    QString checkZeroOnFailure(const QStringList& f, double (*parse)(const QString&));
    QString checkDateTimeText(const QStringList& f);
    QString checkRound(const QStringList& f);

    QHash<QString, QList<QStringList>> m_lines;
    qsizetype m_total = 0;
    sqlite3* m_db = nullptr;
};

void TestConversionReference::initTestCase()
{
    QFile file(QString::fromUtf8(kReferenceFile));
    QVERIFY2(file.open(QIODevice::ReadOnly), kReferenceFile);
    while (!file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine());
        line = StripLineEnd(line);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QStringList fields = line.split(QLatin1Char('\t'));
        const QString kind = fields.takeFirst();
        m_lines[kind].append(fields);
        ++m_total;
    }
    qInfo("%lld reference lines", qlonglong(m_total));
    // A truncated or emptied file must not pass as "nothing differs".
    QVERIFY2(m_total >= 9000, qPrintable(QStringLiteral("only %1 lines").arg(m_total)));

    QCOMPARE(sqlite3_open(":memory:", &m_db), SQLITE_OK);
    RegisterJetFunctions(m_db);
}

void TestConversionReference::cleanupTestCase()
{
    sqlite3_close(m_db);
}

void TestConversionReference::reference_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("fields");
    QTest::addColumn<int>("minimum");   // lines of this kind the file must hold

    QTest::newRow("number pictures") << "fmt" << 3 << 2000;
    QTest::newRow("number pictures, 15 digits") << "fmt15" << 3 << 100;
    QTest::newRow("number texts") << "num" << 2 << 700;
    QTest::newRow("encoded dates") << "enc" << 4 << 2000;
    QTest::newRow("date and time") << "dt" << 8 << 2000;
    QTest::newRow("short date texts") << "sdate" << 2 << 400;
    QTest::newRow("time texts") << "stime" << 2 << 400;
    QTest::newRow("date and time texts") << "sdt" << 2 << 500;
    QTest::newRow("rounding") << "round" << 2 << 400;
}

void TestConversionReference::reference()
{
    QFETCH(QString, kind);
    QFETCH(int, fields);
    QFETCH(int, minimum);

    const QList<QStringList> lines = m_lines.value(kind);
    QVERIFY2(lines.size() >= minimum, qPrintable(QStringLiteral("%1 lines").arg(lines.size())));
    QStringList mismatches;
    for (const QStringList& f : lines) {
        QString problem;
        if (f.size() < fields) {
            problem = QStringLiteral("malformed line");
        } else {
            try {
                problem = check(kind, f);
            } catch (const RuboError& e) {
                problem = QStringLiteral("raised \"%1\"").arg(e.message());
            }
        }
        if (!problem.isEmpty())
            mismatches << kind + QLatin1Char('\t') + f.join(QLatin1Char('\t')) + QStringLiteral("\n    we give: ") + problem;
    }
    for (const QString& m : mismatches.mid(0, 12))
        qWarning("%s", qPrintable(m));
    QVERIFY2(mismatches.isEmpty(),
             qPrintable(QStringLiteral("%1 of %2 lines differ").arg(mismatches.size()).arg(lines.size())));
}

QString TestConversionReference::check(const QString& kind, const QStringList& f)
{
    if (kind == QLatin1String("fmt") || kind == QLatin1String("fmt15"))
        return checkPicture(f);
    if (kind == QLatin1String("num"))
        return checkNumber(f);
    if (kind == QLatin1String("enc"))
        return checkEncodeDate(f);
    if (kind == QLatin1String("dt"))
        return checkDateAndTime(f);
    if (kind == QLatin1String("sdate"))
        return checkZeroOnFailure(f, ParseShortDate);
    if (kind == QLatin1String("stime"))
        return checkZeroOnFailure(f, ParseTime);
    if (kind == QLatin1String("sdt"))
        return checkDateTimeText(f);
    if (kind == QLatin1String("round"))
        return checkRound(f);
    return QStringLiteral("unknown kind");
}

// picture, value, text
QString TestConversionReference::checkPicture(const QStringList& f)
{
    double value = 0;
    if (!fromBits(f[1], value))
        return QStringLiteral("malformed value");
    QString text = FormatPicture(value, f[0]);
    // The named formats are what the windows and reports call.
    if (text == f[2]) {
        if (f[0] == QLatin1String("#,##0.00"))
            text = FormatAmount(value);
        else if (f[0] == QLatin1String("#,##0.0000"))
            text = FormatEuro(value);
        else if (f[0] == QLatin1String("####0.00#"))
            text = FormatPercent(value);
    }
    return text == f[2] ? QString() : text + QStringLiteral("  for ") + bitsOf(value);
}

// text, value or ERR
QString TestConversionReference::checkNumber(const QStringList& f)
{
    double value = -99;
    const bool ok = TryParseNumber(f[0], value);
    if (f[1] == QLatin1String("ERR")) {
        if (ok)
            return bitsOf(value);
        QString message;
        try {
            ParseNumber(f[0]);
        } catch (const RuboError& e) {
            message = e.message();
        }
        const QString expected = QStringLiteral("Nichtkonvertierbarer Zahlenwert (") + f[0] + QLatin1Char(')');
        return message == expected ? QString() : QStringLiteral("the message \"%1\"").arg(message);
    }
    double expected = 0;
    if (!fromBits(f[1], expected))
        return QStringLiteral("malformed value");
    if (!ok)
        return QStringLiteral("ERR");
    return sameBits(value, expected) ? QString() : bitsOf(value);
}

// y, m, d, serial or ERR, dd.mm.yyyy
QString TestConversionReference::checkEncodeDate(const QStringList& f)
{
    const int y = f[0].toInt(), m = f[1].toInt(), d = f[2].toInt();
    double serial = -99;
    const bool ok = TryEncodeDate(y, m, d, serial);
    if (f[3] == QLatin1String("ERR"))
        return ok ? bitsOf(serial) : QString();
    double expected = 0;
    if (!fromBits(f[3], expected) || f.size() < 5)
        return QStringLiteral("malformed value");
    if (!ok)
        return QStringLiteral("ERR");
    if (!sameBits(serial, expected))
        return bitsOf(serial);
    if (!sameBits(DateToSerial(QDate(y, m, d)), expected))
        return QStringLiteral("DateToSerial ") + bitsOf(DateToSerial(QDate(y, m, d)));
    const QString text = FormatSerialDate(expected);
    return text == f[4] ? QString() : text;
}

// y, m, d, h, n, s, serial, dd.mm.yyyy hh:nn:ss
QString TestConversionReference::checkDateAndTime(const QStringList& f)
{
    const int y = f[0].toInt(), m = f[1].toInt(), d = f[2].toInt();
    const int h = f[3].toInt(), n = f[4].toInt(), s = f[5].toInt();
    double expected = 0;
    if (!fromBits(f[6], expected))
        return QStringLiteral("malformed value");
    const QString& text = f[7];

    const double composed = ComposeDateTime(EncodeDate(y, m, d), EncodeTime(h, n, s));
    if (!sameBits(composed, expected))
        return QStringLiteral("composed ") + bitsOf(composed);
    const QDateTime moment(QDate(y, m, d), QTime(h, n, s), Qt::UTC);
    if (!sameBits(DateTimeToSerial(moment), expected))
        return QStringLiteral("DateTimeToSerial ") + bitsOf(DateTimeToSerial(moment));
    if (FormatSerialDateTime(expected) != text)
        return QStringLiteral("formatted ") + FormatSerialDateTime(expected);
    if (FormatSerialDate(expected) != text.left(10) || FormatSerialTime(expected) != text.mid(11))
        return QStringLiteral("date and time apart ") + FormatSerialDate(expected) + QLatin1Char(' ')
            + FormatSerialTime(expected);
    if (SerialToDateTime(expected) != moment)
        return QStringLiteral("SerialToDateTime ") + SerialToDateTime(expected).toString(Qt::ISODate);
    qint64 days = 0;
    int second = -1;
    if (!SplitSerial(expected, days, second) || !sameBits(SerialFromDayAndSecond(days, second), expected))
        return QStringLiteral("split into day %1 second %2").arg(days).arg(second);
    // The road from the call export back through the ".csv" import.
    const double parsed = ParseDateTime(text);
    return sameBits(parsed, expected) ? QString() : QStringLiteral("parsed back ") + bitsOf(parsed);
}

// text, serial or ERR: ParseShortDate and ParseTime give 0 on failure
QString TestConversionReference::checkZeroOnFailure(const QStringList& f, double (*parse)(const QString&))
{
    const double serial = parse(f[0]);
    double expected = 0;
    if (f[1] != QLatin1String("ERR") && !fromBits(f[1], expected))
        return QStringLiteral("malformed value");
    return sameBits(serial, expected) ? QString() : bitsOf(serial);
}

// text, serial or ERR (ParseDateTime raises)
QString TestConversionReference::checkDateTimeText(const QStringList& f)
{
    if (f[1] == QLatin1String("ERR")) {
        try {
            return bitsOf(ParseDateTime(f[0]));
        } catch (const RuboError&) {
            return QString();
        }
    }
    double expected = 0;
    if (!fromBits(f[1], expected))
        return QStringLiteral("malformed value");
    const double serial = ParseDateTime(f[0]);
    return sameBits(serial, expected) ? QString() : bitsOf(serial);
}

// value, whole number (Round)
QString TestConversionReference::checkRound(const QStringList& f)
{
    double value = 0;
    bool ok = false;
    const qint64 whole = f[1].toLongLong(&ok);
    if (!fromBits(f[0], value) || !ok)
        return QStringLiteral("malformed value");
    const bool fits = whole >= std::numeric_limits<qint32>::min() && whole <= std::numeric_limits<qint32>::max();

    // The database reader gives 0 when the value has no 32-bit whole number.
    const int variant = VariantToInt(value);
    if (variant != (fits ? whole : 0))
        return QStringLiteral("VariantToInt %1").arg(variant);

    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT CLng(?)", -1, &stmt, nullptr) != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(m_db));
    sqlite3_bind_double(stmt, 1, value);
    const int rc = sqlite3_step(stmt);
    const qint64 clng = sqlite3_column_int64(stmt, 0);
    const QString error = QString::fromUtf8(sqlite3_errmsg(m_db));
    sqlite3_finalize(stmt);
    if (fits && (rc != SQLITE_ROW || clng != whole))
        return QStringLiteral("CLng %1 %2").arg(clng).arg(error);
    if (!fits && rc != SQLITE_ERROR)
        return QStringLiteral("CLng %1 instead of an overflow").arg(clng);
    return QString();
}

QTEST_GUILESS_MAIN(TestConversionReference)
#include "TestConversionReference.moc"
