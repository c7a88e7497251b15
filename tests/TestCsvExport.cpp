#include "database/Conversions.h"
#include "database/RuboEngine.h"
#include "import/ImportDriver.h"
#include "mainwindow/Gruppierung.h"
#include "output/CsvExport.h"
#include "output/ExportText.h"
#include "support/RecordingUi.h"
#include "support/TestDb.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <limits>

#include <sys/resource.h>

namespace {

const QStringList kCallColumns = {"ANummer", "Nebenstelle", "BNummer", "Betrag", "Sekunden", "BeginZeit", "ZoneCode", "Zone",
                                  "Ziel", "Kostenstelle", "BetragEuro", "IAS", "FilialeID", "GZ", "Rabatt", "RabattEuro"};
const QByteArray kCallsHeader = "ANummer;Nebenstelle;BNummer;Betrag;Sekunden;BeginZeit;ZoneCode;Zone;Ziel;Kostenstelle;Euro;IAS;"
                                "FilialeID;GZ;Rabatt;RabattEuro";
const QByteArray kSumsHeader = "Anzahl;SumSekunden;SumBetrag;SumEuro;FilialeID;Kostenstelle;Nebenstelle;Zone;IAS;Ziel;SumRabatt;"
                               "SumRabattEuro";

// One call with the named columns set; the others stay null.
void addCall(TestDb& t, const QVariantMap& values)
{
    QStringList marks(values.size(), QStringLiteral("?"));
    RuboStatement insert(t.db(), QStringLiteral("INSERT INTO EGN (%1) VALUES (%2)").arg(values.keys().join(','), marks.join(',')));
    int i = 1;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        insert.bind(i++, it.value());
    insert.step();
}

// A line of values as the export writes it, in bytes already encoded.
QByteArray line(const QList<QByteArray>& values, const QByteArray& separator = ";")
{
    QList<QByteArray> quoted;
    for (const QByteArray& v : values)
        quoted << '"' + v + '"';
    return quoted.join(separator) + "\r\n";
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QString ordered(const QString& sql, const char* orderBy)
{
    return sql + QStringLiteral(" ORDER BY ") + QLatin1String(orderBy);
}

double moment(int y, int mo, int d, int h, int mi, int s)
{
    return ComposeDateTime(EncodeDate(y, mo, d), EncodeTime(h, mi, s));
}

} // namespace

class TestCsvExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void separatorEdits_data();
    void separatorEdits();
    void separatorsInForce_data();
    void separatorsInForce();
    void refusedSeparators();
    void replaceExtension_data();
    void replaceExtension();
    void fixedTextIsPrintf();
    void dateTextIsFormatSerialDateTime();
    void callsExactBytes();
    void sumsExactBytes();
    void windows1252OrUtf8();
    void wholeFileOrNothing();
    void roundTripThroughTheImport();
};

void TestCsvExport::separatorEdits_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<bool>("selectAll");
    QTest::newRow("tab code") << "#9" << "#9" << 4 << false;
    QTest::newRow("semicolon code") << "#59" << "#59" << 4 << false;
    QTest::newRow("highest code") << "#255" << "#255" << 4 << false;
    QTest::newRow("code too large") << "#300" << "#" << 4 << true;
    QTest::newRow("256") << "#256" << "#" << 4 << true;
    QTest::newRow("letter") << "#x" << "#" << 4 << true;
    QTest::newRow("digit then letter") << "#2x" << "#" << 4 << true;
    QTest::newRow("two hashes") << "##" << "#" << 4 << true;
    QTest::newRow("lone hash") << "#" << "#" << 4 << false;
    QTest::newRow("pasted long code") << "#1234" << "#123" << 4 << false;
    QTest::newRow("single char") << ";" << ";" << 1 << false;
    QTest::newRow("cut to first") << "ab" << "a" << 1 << false;
    QTest::newRow("hash later") << "a#9" << "a" << 1 << false;
    QTest::newRow("empty") << "" << "" << 1 << false;
}

void TestCsvExport::separatorEdits()
{
    QFETCH(QString, typed);
    const SeparatorEdit edit = SeparatorOnChange(typed);
    QTEST(edit.text, "text");
    QTEST(edit.maxLength, "maxLength");
    QTEST(edit.selectAll, "selectAll");
}

void TestCsvExport::separatorsInForce_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QChar>("separator");
    QTest::newRow("tab") << "#9" << QChar(9);
    QTest::newRow("semicolon code") << "#59" << QChar(';');
    QTest::newRow("leading zeros") << "#044" << QChar(',');
    QTest::newRow("too large") << "#300" << QChar(';');
    QTest::newRow("no number") << "#x" << QChar(';');
    QTest::newRow("two hashes") << "##" << QChar(';');
    QTest::newRow("lone hash") << "#" << QChar('#');
    QTest::newRow("plain") << "|" << QChar('|');
    QTest::newRow("first char") << ",;" << QChar(',');
    // Codes are Windows-1252 bytes, as the files are written in it.
    QTest::newRow("euro by code") << "#128" << QChar(0x20AC);
    QTest::newRow("unused code") << "#129" << QChar(0x81);
    QTest::newRow("latin-1 code") << "#167" << QChar(0xA7);
    QTest::newRow("NUL by code") << "#0" << QChar(0);
    QTest::newRow("empty") << "" << QChar(0);
}

void TestCsvExport::separatorsInForce()
{
    QFETCH(QString, field);
    QTEST(SeparatorInForce(field), "separator");
}

void TestCsvExport::refusedSeparators()
{
    const QString refused = QStringLiteral("Dieses Trennzeichen kann nicht verwendet werden: Zeilenende, Anführungszeichen und "
                                           "das Zeichen 0 würden die Datei unlesbar machen.");
    for (const QString& field : {QStringLiteral("#0"), QStringLiteral("#10"), QStringLiteral("#13"), QStringLiteral("#34"),
                                 QStringLiteral("\""), QString()})
        QCOMPARE(SeparatorProblem(SeparatorInForce(field)), refused);
    for (const QChar c : {QChar(';'), QChar(9), QChar('#'), QChar(' '), QChar(0x20AC), QChar(0x141), QChar(11)})
        QCOMPARE(SeparatorProblem(c), QString());
    QVERIFY(!SeparatorProblem(QChar(0xD83D)).isEmpty());

    // The export refuses them too, before any file is made.
    TestDb t;
    const QString path = t.path("export.csv");
    try {
        ExportCallsCsv(t.db(), DetailSql(QString()), path, QChar('"'));
        QFAIL("a quote as separator was written");
    } catch (const RuboError& e) {
        QCOMPARE(e.message(), refused);
    }
    QVERIFY(!QFile::exists(path));
}

void TestCsvExport::replaceExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("result");
    QTest::newRow("none") << "export" << "export.csv";
    QTest::newRow("other") << "export.xls" << "export.csv";
    QTest::newRow("same") << "export.csv" << "export.csv";
    QTest::newRow("dotted folder") << "a.b/c" << "a.b/c.csv";
    QTest::newRow("dotted folder backslash") << "a.b\\c" << "a.b\\c.csv";
    QTest::newRow("windows path") << "C:\\Daten\\liste.txt" << "C:\\Daten\\liste.csv";
    QTest::newRow("last dot only") << "/tmp/x.tar.gz" << "/tmp/x.tar.csv";
    QTest::newRow("trailing dot") << "export." << "export.csv";
}

void TestCsvExport::replaceExtension()
{
    QFETCH(QString, name);
    QTEST(ReplaceExtension(name, QStringLiteral(".csv")), "result");
}

void TestCsvExport::fixedTextIsPrintf()
{
    QList<double> values = {0.0, -0.0, 0.125, 0.375, -0.125, 2.675, 1.005, 0.005, -0.005, 0.00005, 1.5, 0.109,
                            1e9, -1e9, 1e9 + 0.125, 1e13 + 0.5, 99999999999999.99, 1e14, 1e17, 1e18, 1e300, -1e300,
                            1e-300, 5e-324, -5e-324, 0.49999999999999994, 0.5, 2.5, 3.5, -2.5, 9.995, 9.9995,
                            std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN(), 4503599627370495.5, 9007199254740993.0};
    // Exact halves at every scale, and their neighbours one step away.
    for (int k = -4000; k <= 4000; ++k) {
        const double eighths = k / 8.0;
        values << eighths << eighths / 128 << eighths / 2048 << std::nextafter(eighths / 200, 1.0)
               << std::nextafter(eighths / 200, -1.0);
    }
    QRandomGenerator random(4711);
    for (int i = 0; i < 200000; ++i) {
        const double v = (random.generateDouble() * 2 - 1) * std::pow(10.0, random.bounded(-8, 19));
        values << v << std::round(v * 100) / 100 << std::round(v * 10000) / 10000 + 0.00005;
    }
    char ours[kFixedTextCapacity];
    char theirs[kFixedTextCapacity];
    for (qsizetype i = 0; i < values.size(); ++i) {
        const double v = values[i];
        // The export's two and four decimals for every value, every other count for some.
        for (int decimals = 0; decimals <= 9; ++decimals) {
            if (decimals != 2 && decimals != 4 && i % 7 != 0)
                continue;
            const int n = WriteFixedText(v, decimals, ours);
            std::snprintf(theirs, sizeof theirs, "%.*f", decimals, v);
            if (QByteArray(ours, n) != QByteArray(theirs))
                QFAIL(qPrintable(QStringLiteral("%1 with %2 decimals: %3 instead of %4")
                                     .arg(v, 0, 'g', 17).arg(decimals).arg(QLatin1String(ours, n), QLatin1String(theirs))));
        }
    }
}

void TestCsvExport::dateTextIsFormatSerialDateTime()
{
    QList<double> serials = {0, -0.0, 0.5, -0.5, -1.25, 1.0 / 86400 / 2, 0.99999, 0.999999999, -0.999999999, 37636.573, 2958465.99999,
                             2958466, 3e6, 1e12, 2e12, -693593, -693593.5, -693594, -1e7, -1e13,
                             std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
    for (qint64 day = -693600; day <= 2958470; day += 37)
        serials << double(day) << day + 0.25 << day - 0.75;
    QRandomGenerator random(1899);
    for (int i = 0; i < 100000; ++i) {
        const double day = random.bounded(-700000, 3000000);
        const int second = random.bounded(86400);
        serials << day + (second + 0.5) / 86400.0 << day + second / 86400.0 << ComposeDateTime(day, second / 86400.0);
    }
    char ours[kDateTimeTextLength];
    for (const double serial : serials) {
        const int n = WriteSerialDateTimeText(serial, ours);
        const QString expected = FormatSerialDateTime(serial);
        if (QLatin1String(ours, n) != expected)
            QFAIL(qPrintable(QStringLiteral("%1: %2 instead of %3").arg(serial, 0, 'g', 17).arg(QLatin1String(ours, n), expected)));
    }
}

void TestCsvExport::callsExactBytes()
{
    TestDb t;
    const QString path = t.path("anrufe.csv");
    // No calls: the header alone.
    CsvExportResult r = ExportCallsCsv(t.db(), DetailSql(QString()), path, QChar(';'));
    QCOMPARE(r.rows, 0);
    QCOMPARE(fileBytes(path), kCallsHeader + "\r\n");

    addCall(t, {{"ANummer", "0316471011"}, {"Nebenstelle", "11"}, {"BNummer", "06641234567"}, {"Betrag", 1.5}, {"Sekunden", 61},
                {"BeginZeit", moment(2003, 1, 15, 13, 45, 1)}, {"ZoneCode", 5}, {"Zone", "Mobilnetz"}, {"Ziel", "Hotel \"Sacher\" Wien"},
                {"Kostenstelle", "KST 1   "}, {"BetragEuro", 0.109}, {"IAS", "I"}, {"FilialeID", "01"}, {"GZ", "FZ"},
                {"RabattEuro", 0.0}});
    addCall(t, {{"ID", 2}});
    addCall(t, {{"ANummer", "\"\""}, {"Betrag", -0.125}, {"BeginZeit", moment(1899, 12, 29, 6, 0, 0)}, {"BetragEuro", 1e9},
                {"Rabatt", -2.675}, {"Zone", "Fest;netz"}});
    const QByteArray first = line({"0316471011", "11", "06641234567", "1.50", "61", "15.01.2003 13:45:01", "5", "Mobilnetz",
                                   "Hotel \"\"Sacher\"\" Wien", "KST 1", "0.1090", "I", "01", "FZ", "", "0.0000"});
    const QByteArray empty = line({"", "", "", "", "", "30.12.1899 00:00:00", "", "", "", "", "", "", "", "", "", ""});
    const QByteArray third = line({"\"\"\"\"", "", "", "-0.12", "", "29.12.1899 06:00:00", "", "Fest;netz", "", "", "1000000000.0000",
                                   "", "", "", "-2.67", ""});
    r = ExportCallsCsv(t.db(), ordered(DetailSql(QString()), "ID"), path, QChar(';'));
    QCOMPARE(r.rows, 3);
    QCOMPARE(r.encoding, ExportEncoding::Windows1252);
    QVERIFY(!r.cancelled);
    QCOMPARE(fileBytes(path), kCallsHeader + "\r\n" + first + empty + third);

    // A tab, as "#9" gives it: in the header and between the values.
    r = ExportCallsCsv(t.db(), ordered(DetailSql(QStringLiteral(" AND ID = 1")), "ID"), path, SeparatorInForce("#9"));
    QCOMPARE(r.rows, 1);
    QCOMPARE(fileBytes(path), QByteArray(kCallsHeader).replace(';', '\t') + "\r\n" + QByteArray(first).replace("\";\"", "\"\t\""));

    // A column the query lacks is an error, not a line of empty values.
    try {
        ExportCallsCsv(t.db(), QStringLiteral("SELECT ANummer FROM EGN"), path, QChar(';'));
        QFAIL("exported without the call's columns");
    } catch (const ExportOpenError&) {
        QFAIL("told as a file that cannot be opened");
    } catch (const RuboError& e) {
        QCOMPARE(e.message(), QStringLiteral("Ein Fehler ist aufgetreten.\nFeld Nebenstelle nicht gefunden."));
    }
}

void TestCsvExport::sumsExactBytes()
{
    TestDb t;
    // Zone A: no discount at all (a null sum); zone B: a discount of 0.
    addCall(t, {{"Zone", "A"}, {"Sekunden", 60}, {"Betrag", 1.0}, {"BetragEuro", 0.07}, {"IAS", "I"}});
    addCall(t, {{"Zone", "A"}, {"Sekunden", 30}, {"Betrag", 0.5}, {"BetragEuro", 0.0363}, {"IAS", "I"}});
    addCall(t, {{"Zone", "B"}, {"Sekunden", 5}, {"Betrag", 0.0}, {"BetragEuro", 0.0}, {"Rabatt", 0.0}, {"RabattEuro", 0.0}, {"IAS", "A"}});
    const QString path = t.path("summen.csv");

    CsvExportResult r = ExportSumsCsv(t.db(), ordered(GroupSql("Zone", QString()), "Zone"), path, QChar(';'));
    QCOMPARE(r.rows, 2);
    QCOMPARE(fileBytes(path), kSumsHeader + "\r\n" + line({"2", "90", "1.50", "0.1063", "", "", "", "A", "", "", "", ""})
                                  + line({"1", "5", "0.00", "0.0000", "", "", "", "B", "", "", "0.00", "0.0000"}));

    // The key columns are found whatever their spelling.
    r = ExportSumsCsv(t.db(), ordered(GroupSql("ias, zone", QString()), "Zone"), path, QChar('|'));
    QCOMPARE(fileBytes(path), QByteArray(kSumsHeader).replace(';', '|') + "\r\n"
                                  + line({"2", "90", "1.50", "0.1063", "", "", "", "A", "I", "", "", ""}, "|")
                                  + line({"1", "5", "0.00", "0.0000", "", "", "", "B", "A", "", "0.00", "0.0000"}, "|"));

    // No key columns: one line of totals; with no calls, a count of 0 and null sums.
    r = ExportSumsCsv(t.db(), GroupSql(QString(), QString()), path, QChar(';'));
    QCOMPARE(fileBytes(path), kSumsHeader + "\r\n" + line({"3", "95", "1.50", "0.1063", "", "", "", "", "", "", "0.00", "0.0000"}));
    r = ExportSumsCsv(t.db(), GroupSql(QString(), QStringLiteral(" AND Zone = 'C'")), path, QChar(';'));
    QCOMPARE(r.rows, 1);
    QCOMPARE(fileBytes(path), kSumsHeader + "\r\n" + line({"0", "", "", "", "", "", "", "", "", "", "", ""}));
}

void TestCsvExport::windows1252OrUtf8()
{
    TestDb t;
    addCall(t, {{"ID", 1}, {"Zone", "Wien Süd"}, {"Ziel", "€ 5 – Œuvre"}, {"BNummer", QString(QChar(0x81))}});
    const QString path = t.path("export.csv");
    CsvExportResult r = ExportCallsCsv(t.db(), DetailSql(QString()), path, QChar(';'));
    QCOMPARE(r.encoding, ExportEncoding::Windows1252);
    QByteArray bytes = fileBytes(path);
    QVERIFY2(bytes.contains("\"Wien S\xFC" "d\";\"\x80 5 \x96 \x8Cuvre\""), bytes.constData());
    QVERIFY(bytes.contains(";\"\x81\";"));
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(DecodeCarrierText(bytes).contains(QStringLiteral("\"Wien Süd\";\"€ 5 – Œuvre\"")));

    // The euro sign as separator is its Windows-1252 byte.
    r = ExportCallsCsv(t.db(), DetailSql(QString()), path, SeparatorInForce("#128"));
    QCOMPARE(r.encoding, ExportEncoding::Windows1252);
    QVERIFY(fileBytes(path).startsWith("ANummer\x80Nebenstelle\x80"));

    // One character the code page lacks, in the last call: the whole file again in UTF-8.
    addCall(t, {{"ID", 2}, {"Ziel", "Łódź"}});
    r = ExportCallsCsv(t.db(), ordered(DetailSql(QString()), "ID"), path, QChar(';'));
    QCOMPARE(r.encoding, ExportEncoding::Utf8WithBom);
    QCOMPARE(r.rows, 2);
    bytes = fileBytes(path);
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF" + kCallsHeader + "\r\n"));
    QVERIFY(bytes.contains("\"Wien S\xC3\xBC" "d\";\"\xE2\x82\xAC 5 \xE2\x80\x93 \xC5\x92uvre\""));
    QVERIFY(bytes.contains("\"\xC5\x81\xC3\xB3" "d\xC5\xBA\""));
    QCOMPARE(bytes.count("\r\n"), 3);
    QVERIFY(!bytes.contains('?'));
    const QString text = DecodeCarrierText(bytes);
    QVERIFY(text.contains(QStringLiteral("\"Wien Süd\"")) && text.contains(QStringLiteral("\"Łódź\"")));

    // Windows-1252 bytes that happen to form UTF-8 would be read back as other text: UTF-8 then too.
    t.db().execute("DELETE FROM EGN");
    addCall(t, {{"Ziel", "MÃ¼nchen"}});
    r = ExportCallsCsv(t.db(), DetailSql(QString()), path, QChar(';'));
    QCOMPARE(r.encoding, ExportEncoding::Utf8WithBom);
    QVERIFY(DecodeCarrierText(fileBytes(path)).contains(QStringLiteral("\"MÃ¼nchen\"")));
    // With a Windows-1252 separator above 0x7F the file can never pass for UTF-8.
    r = ExportCallsCsv(t.db(), DetailSql(QString()), path, QChar(0xA7));
    QCOMPARE(r.encoding, ExportEncoding::Windows1252);
    QVERIFY(DecodeCarrierText(fileBytes(path)).contains(QStringLiteral("\"MÃ¼nchen\"")));
    // A separator the code page lacks: UTF-8 from the start.
    r = ExportCallsCsv(t.db(), DetailSql(QString()), path, QChar(0x141));
    QCOMPARE(r.encoding, ExportEncoding::Utf8WithBom);
    QVERIFY(fileBytes(path).startsWith("\xEF\xBB\xBF" "ANummer\xC5\x81Nebenstelle"));
}

void TestCsvExport::wholeFileOrNothing()
{
    TestDb t;
    t.db().execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2500) "
                   "INSERT INTO EGN (ID, Zone, Betrag) SELECT i, 'Zone ' || i, i / 100.0 FROM n");
    QDir dir(t.dir());
    const QString target = t.path("alt.csv");
    const QByteArray old = "the export of yesterday\r\n";
    t.writeFile("alt.csv", old);
    const QStringList before = dir.entryList(QDir::Files | QDir::Hidden);
    const QString prefix = QStringLiteral("Ein Fehler ist aufgetreten.\n");

    // An SQL error before the first row, and one at the 1501st row after 1500 were written.
    const QStringList failing = {DetailSql(QStringLiteral(" AND NichtDa = 1")),
                                 ordered(DetailSql(QStringLiteral(" AND abs(CASE WHEN ID > 1500 THEN -9223372036854775807 - 1 ELSE 1 END) > 0")), "ID")};
    for (const QString& sql : failing) {
        for (const QString& path : {target, t.path("neu.csv")}) {
            try {
                ExportCallsCsv(t.db(), sql, path, QChar(';'));
                QFAIL("a failing query was exported");
            } catch (const ExportOpenError&) {
                QFAIL("told as a file that cannot be opened");
            } catch (const RuboError& e) {
                QVERIFY2(e.message().startsWith(prefix) && e.message().size() > prefix.size(), qPrintable(e.message()));
            }
            QCOMPARE(fileBytes(target), old);
            QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), before);
        }
    }
    try {
        ExportSumsCsv(t.db(), QStringLiteral("SELECT Zone FROM EGN"), target, QChar(';'));
        QFAIL("sums without their sums were exported");
    } catch (const RuboError& e) {
        QCOMPARE(e.message(), prefix + QStringLiteral("Feld Anzahl nicht gefunden."));
    }

    // Cancelled at the second question: nothing changes, nothing appears.
    for (const QString& path : {target, t.path("neu.csv")}) {
        QList<qint64> asked;
        const CsvExportResult r = ExportCallsCsv(t.db(), DetailSql(QString()), path, QChar(';'), [&](qint64 rows) {
            asked << rows;
            return rows < 2000;
        });
        QVERIFY(r.cancelled);
        QCOMPARE(asked, QList<qint64>({1000, 2000}));
        QCOMPARE(fileBytes(target), old);
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), before);
    }
    // Cancelled while written again in UTF-8: the same.
    addCall(t, {{"ID", 3000}, {"Ziel", "Łódź"}});
    QList<qint64> asked;
    CsvExportResult r = ExportCallsCsv(t.db(), ordered(DetailSql(QString()), "ID"), target, QChar(';'), [&](qint64 rows) {
        asked << rows;
        return asked.size() < 4;
    });
    QVERIFY(r.cancelled);
    QCOMPARE(asked, QList<qint64>({1000, 2000, 1000, 2000}));
    QCOMPARE(fileBytes(target), old);
    QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), before);

    // Asked as it goes, the whole file replaces the old one.
    asked.clear();
    r = ExportCallsCsv(t.db(), ordered(DetailSql(QString()), "ID"), target, QChar(';'), [&](qint64 rows) {
        asked << rows;
        return true;
    });
    QCOMPARE(r.rows, 2501);
    QCOMPARE(r.encoding, ExportEncoding::Utf8WithBom);
    QCOMPARE(asked, QList<qint64>({1000, 2000, 1000, 2000}));
    QCOMPARE(fileBytes(target).count("\r\n"), 2502);
    QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), before);

    // A full disk, as a limit on the size of this process's files: the write fails half-way.
    {
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit small{100000, limit.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
        QString message;
        try {
            ExportCallsCsv(t.db(), DetailSql(QString()), target, QChar(';'));
        } catch (const RuboError& e) {
            message = e.message();
        }
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, previous);
        QCOMPARE(message, prefix + QStringLiteral("Die Datei wird für den Datenträger zu groß."));
        QCOMPARE(fileBytes(target).count("\r\n"), 2502);
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), before);
    }

    // A folder that is not there: the temporary file cannot be made.
    const QString missing = t.path("fehlt/export.csv");
    try {
        ExportCallsCsv(t.db(), DetailSql(QString()), missing, QChar(';'));
        QFAIL("written into a missing folder");
    } catch (const ExportOpenError& e) {
        QCOMPARE(e.message(), QStringLiteral("Kann Datei nicht zum schreiben öffnen.\nDatei=") + missing);
    }
    try {
        ExportSumsCsv(t.db(), GroupSql(QString(), QString()), missing, QChar(';'));
        QFAIL("written into a missing folder");
    } catch (const ExportOpenError& e) {
        QCOMPARE(e.message(), QStringLiteral("Kann Datei nicht zum schreiben öffnen.\nDatei=") + missing);
    }
}

void TestCsvExport::roundTripThroughTheImport()
{
    // Travel: ANummer, Nebenstelle (as a whole number), BNummer, Betrag (to its two decimals),
    // Sekunden, BeginZeit (to the second), ZoneCode, Zone, Ziel and GZ. Kostenstelle, BetragEuro,
    // IAS, FilialeID, Rabatt and RabattEuro are derived again by the import from its own reference
    // data, EndeZeit from the start and duration; DateiID, UniqueCallID, RabattProz and the
    // Nebenstelle1..6 columns are not exported. A null number comes back as 0, an empty GZ as the
    // business-time class, a null start as 30.12.1899 00:00:00.
    TestDb source;
    addCall(source, {{"ANummer", "0316\"47\"1011"}, {"Nebenstelle", "11"}, {"BNummer", "0664;1234567"}, {"Betrag", -1.25},
                     {"Sekunden", 61}, {"BeginZeit", moment(2003, 1, 15, 13, 45, 1)}, {"ZoneCode", 5}, {"Zone", "Wien Süd"},
                     {"Ziel", "Hotel \"Sacher\" Wien"}, {"GZ", "FZ"}, {"Kostenstelle", "K1"}, {"BetragEuro", -0.0908}});
    addCall(source, {{"ANummer", "0316471012"}, {"Nebenstelle", "7"}, {"BNummer", "0048421234567"}, {"Betrag", 12.005},
                     {"Sekunden", 3600}, {"BeginZeit", moment(2003, 12, 31, 23, 59, 59)}, {"ZoneCode", 44}, {"Zone", "Ausland; Polen"},
                     {"Ziel", "Łódź, \"Piotrkowska\"; ul. 5"}, {"GZ", "GZ"}});
    addCall(source, {{"ANummer", "0316471013"}, {"Betrag", 0.0}, {"Zone", " führend"}, {"Ziel", "x\"; \"y"}, {"GZ", "FZ"},
                     {"BeginZeit", moment(2003, 6, 1, 0, 0, 0)}});
    addCall(source, {{"ANummer", "a\"\"b"}, {"Betrag", 1e6 + 0.994}, {"Zone", "€-Zone"}, {"Ziel", "\""}, {"GZ", "GZ"}});
    const QString path = source.path("rundreise.csv");
    const CsvExportResult r = ExportCallsCsv(source.db(), ordered(DetailSql(QString()), "ID"), path, QChar(';'));
    QCOMPARE(r.encoding, ExportEncoding::Utf8WithBom);

    TestDb target;
    RecordingUi ui;
    const ImportResult imported = ImportFile(target.dm(), path);
    QVERIFY2(imported.whole() && ui.messages.isEmpty() && ui.questions.isEmpty(), qPrintable(ui.messages.join('|') + ui.questions.join('|')));
    QCOMPARE(imported.count, 4);

    const auto travelling = [](TestDb& t) {
        QList<QStringList> calls;
        RuboStatement s(t.db(), QStringLiteral("SELECT ANummer, Nebenstelle, BNummer, Betrag, Sekunden, BeginZeit, ZoneCode, Zone, "
                                               "Ziel, GZ FROM EGN ORDER BY ID"));
        while (s.step()) {
            QStringList c;
            c << VariantToText(s.column(0)) << QString::number(VariantToInt(s.column(1))) << VariantToText(s.column(2))
              << QString::asprintf("%.2f", VariantToFloat(s.column(3))) << QString::number(VariantToInt(s.column(4)))
              << FormatSerialDateTime(VariantToFloat(s.column(5))) << QString::number(VariantToInt(s.column(6)))
              << VariantToText(s.column(7)) << VariantToText(s.column(8)) << VariantToText(s.column(9));
            calls << c;
        }
        return calls;
    };
    const QList<QStringList> sent = travelling(source);
    const QList<QStringList> received = travelling(target);
    QCOMPARE(received.size(), sent.size());
    for (int i = 0; i < sent.size(); ++i)
        QCOMPARE(received[i], sent[i]);

    // A value holding quote, semicolon, quote: the reader takes the three for a field boundary
    // before it splits, and the value comes back with a comma.
    addCall(source, {{"ANummer", "0316471014"}, {"Betrag", 1.0}, {"Ziel", "a\";\"b"}, {"GZ", "GZ"}});
    const QString second = source.path("rundreise2.csv");
    ExportCallsCsv(source.db(), DetailSql(QStringLiteral(" AND ANummer = '0316471014'")), second, QChar(';'));
    QCOMPARE(ImportFile(target.dm(), second).count, 1);
    QCOMPARE(target.scalar("SELECT Ziel FROM EGN WHERE ANummer = '0316471014'").toString(), QStringLiteral("a\";\"b"));
}

QTEST_GUILESS_MAIN(TestCsvExport)
#include "TestCsvExport.moc"
