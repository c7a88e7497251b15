#include "database/NumberMask.h"
#include "database/RuboEngine.h"
#include "filter/FilterClause.h"
#include "filter/WhereText.h"
#include "import/ImportDriver.h"
#include "mainwindow/Gruppierung.h"
#include "output/CsvExport.h"
#include "output/WorkbookExport.h"
#include "support/TestDb.h"
#include "support/WorkbookReader.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

namespace {

NumberMask mask(int digits, const QStringList& prefixes = {}, const QStringList& kostenstellen = {})
{
    NumberMask m;
    m.digits = digits;
    m.keptPrefixes = prefixes;
    m.keptKostenstellen = kostenstellen;
    return m;
}

QSettings settings()
{
    return QSettings(QString::fromLatin1(kSettingsOrganisation), QString::fromLatin1(kSettingsApplication));
}

// The database file and its journals, as they lie on disk.
QByteArray databaseFingerprint(const QString& file)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-journal")}) {
        QFile f(file + suffix);
        hash.addData(suffix.toLatin1());
        if (f.open(QIODevice::ReadOnly))
            hash.addData(f.readAll());
    }
    return hash.result();
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestNumberMask : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { settings().clear(); }

    void shortens_data()
    {
        QTest::addColumn<int>("digits");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("kostenstelle");
        QTest::addColumn<QString>("shown");
        QTest::newRow("long") << 3 << "06641234567" << "" << "06641234xxx";
        QTest::newRow("nine") << 9 << "06641234567" << "" << "06xxxxxxxxx";
        QTest::newRow("as many digits as shortened") << 3 << "112" << "" << "xxx";
        QTest::newRow("fewer digits") << 3 << "12" << "" << "xx";
        QTest::newRow("empty") << 3 << "" << "" << "";
        QTest::newRow("no digit") << 3 << "anonym" << "" << "anonym";
        QTest::newRow("separators stay") << 3 << "0664/123 45 67" << "" << "0664/123 4x xx";
        QTest::newRow("plus sign") << 4 << "+43 1 234" << "" << "+43 x xxx";
        QTest::newRow("trailing blanks") << 3 << "0664123  " << "" << "0664xxx  ";
        QTest::newRow("off") << 0 << "06641234567" << "" << "06641234567";
        QTest::newRow("value-added service") << 3 << "09001234567" << "" << "09001234567";
        QTest::newRow("service with blanks") << 3 << "0900 123 456" << "" << "0900 123 456";
        QTest::newRow("prefix inside") << 3 << "06640900123" << "" << "06640900xxx";
        QTest::newRow("exempt cost centre") << 3 << "06641234567" << " service " << "06641234567";
        QTest::newRow("other cost centre") << 3 << "06641234567" << "GF-100" << "06641234xxx";
    }
    void shortens()
    {
        QFETCH(int, digits);
        QFETCH(QString, number);
        QFETCH(QString, kostenstelle);
        QFETCH(QString, shown);
        QCOMPARE(mask(digits, NumberMask::defaultPrefixes(), {"SERVICE"}).apply(number, kostenstelle), shown);
    }

    // What the options dialog stored comes back; what a hand or an older version left is read safely.
    void settingsKeepWhatWasSaved()
    {
        NumberMask fresh = LoadNumberMask();
        QCOMPARE(fresh.digits, 0);
        QCOMPARE(fresh.keptPrefixes, NumberMask::defaultPrefixes());
        QVERIFY(fresh.keptKostenstellen.isEmpty());
        QCOMPARE(fresh.note(), QString());

        SaveNumberMask(mask(4, {}, {"K 7", "Service"}));
        NumberMask read = LoadNumberMask();
        QCOMPARE(read.digits, 4);
        QVERIFY(read.keptPrefixes.isEmpty());   // emptied by the user: no defaults creep back
        QCOMPARE(read.keptKostenstellen, QStringList({"K 7", "Service"}));
        QCOMPARE(read.note(), QStringLiteral("Zielnummern um 4 Stellen gekürzt"));

        for (const auto& [stored, digits] : {std::pair{"zwölf", 0}, {"12", 9}, {"-3", 0}, {"", 0}}) {
            settings().setValue("Datenschutz/ZielnummernKuerzen", QString::fromUtf8(stored));
            QCOMPARE(LoadNumberMask().digits, digits);
        }
        // Written by hand, the file's "0810, 0900" is a list to QSettings.
        QFile conf(settings().fileName());
        QVERIFY(conf.open(QIODevice::WriteOnly | QIODevice::Truncate));
        conf.write("[Datenschutz]\nZielnummernKuerzen=2\nVolleNummernPraefixe=0810, 0900\nVolleNummernKostenstellen=Service\n");
        conf.close();
        QCOMPARE(LoadNumberMask().keptPrefixes, QStringList({"0810", "0900"}));
        QCOMPARE(LoadNumberMask().keptKostenstellen, QStringList{"Service"});

        QCOMPARE(NumberMask::parseList(" 0900; 0901,,0900 ,\t0930 "), QStringList({"0900", "0901", "0930"}));
    }

    // A filter on a full number must not print it in a report's header.
    void whereTextShortensTheComparedNumbers()
    {
        FilterFields f;
        f.BNummer = QStringLiteral("06641234567");
        f.ANummer = QStringLiteral("0732778899");
        const QString sql = QStringLiteral("SELECT * FROM EGN WHERE (1=1) ") + BuildFilterClause(f) + QStringLiteral(" ORDER BY Zone");
        const NumberMask on = mask(3, NumberMask::defaultPrefixes());
        QCOMPARE(WhereText(sql, on).simplified(), QStringLiteral("ANummer wie '0732778899' und BNummer wie '06641234xxx'"));
        QCOMPARE(WhereText(sql, NumberMask()), WhereText(sql));

        f.BNummer = QStringLiteral("O'Brien 12%");
        QVERIFY(WhereText(QStringLiteral("WHERE (1=1) ") + BuildFilterClause(f), on).contains("BNummer wie 'O''Brien xx%'"));
        f.BNummer = QStringLiteral("0900123%");
        QVERIFY(WhereText(QStringLiteral("WHERE (1=1) ") + BuildFilterClause(f), on).contains("'0900123%'"));
        QCOMPARE(WhereText(QStringLiteral("WHERE BNummer = '555' AND bnummer LIKE '06641%'"), on).simplified(),
                 QStringLiteral("BNummer = 'xxx' und bnummer wie '06xxx%'"));
    }

    // Both exports write no full number of a shortened call, and the calls stay as they were.
    void exportsShowNoFullNumber()
    {
        TestDb t;
        QVERIFY(ImportFile(t.dm(), QStringLiteral(RUBO_SOURCE_DIR "/Data/Anrufe_2003_01.edi")).whole());
        t.db().execute(QStringLiteral("UPDATE EGN SET Kostenstelle = 'Service' WHERE ID = (SELECT MIN(ID) FROM EGN)"));
        const NumberMask on = mask(3, NumberMask::defaultPrefixes(), {"service"});

        QStringList full, kept, shown;
        RuboStatement calls(t.db(), QStringLiteral("SELECT BNummer, Kostenstelle FROM EGN ORDER BY ID"));
        while (calls.step()) {
            const QString number = calls.column(0).toString();
            const QString masked = on.apply(number, calls.column(1).toString());
            (masked == number ? kept : full) << number;
            shown << masked;
        }
        QVERIFY(full.size() > 100);
        QVERIFY(kept.size() >= 2);   // the service line's call and the 0810 numbers
        QVERIFY(std::any_of(kept.begin(), kept.end(), [](const QString& n) { return n.startsWith("0810"); }));

        const QByteArray before = databaseFingerprint(t.dm().databaseFile());
        const QString sql = DetailSql(QString()) + QStringLiteral(" ORDER BY ID");
        ExportCallsCsv(t.db(), sql, t.path("anrufe.csv"), QLatin1Char(';'), {}, on);
        const QByteArray csv = fileBytes(t.path("anrufe.csv"));
        for (const QString& number : full)
            QVERIFY2(!csv.contains(";\"" + number.toUtf8() + "\";"), qPrintable(number));
        for (const QString& number : kept)
            QVERIFY2(csv.contains(";\"" + number.toUtf8() + "\";"), qPrintable(number));
        QVERIFY(csv.contains(";\"06646665210\";"));   // the service line's
        QVERIFY(csv.contains(";\"004166892xxx\";"));

        const QList<WorkbookColumn> columns = {{"Zone"}, {"BNummer"}};
        ExportWorkbook(t.db(), sql, {}, columns, QStringLiteral("EGN"), t.path("anrufe.xlsx"), {}, on);
        const Sheet sheet = readBack(t.path("anrufe.xlsx")).value(0);
        QCOMPARE(sheet.rows.size(), shown.size() + 1);
        for (int row = 0; row < shown.size(); ++row)
            QCOMPARE(sheet.text(row + 1, 1), shown.at(row));
        QCOMPARE(databaseFingerprint(t.dm().databaseFile()), before);

        // Off, the same export writes every number in full.
        ExportCallsCsv(t.db(), sql, t.path("voll.csv"), QLatin1Char(';'), {}, NumberMask());
        const QByteArray plain = fileBytes(t.path("voll.csv"));
        QVERIFY(plain.contains(";\"" + full.first().toUtf8() + "\";"));
        QCOMPARE(plain.size(), csv.size());
    }
};

QTEST_GUILESS_MAIN(TestNumberMask)
#include "TestNumberMask.moc"
