#include "database/Conversions.h"
#include "output/WorkbookExport.h"
#include "support/TestDb.h"
#include "support/WorkbookReader.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

QStringList headerOf(const Sheet& s)
{
    QStringList h;
    for (const QJsonValue& c : s.rows.at(0).toArray())
        h << c.toObject().value("v").toString();
    return h;
}

// A row as the other reader sees it, one "type:value" per cell ("" for an empty one), the number
// format after "@" unless General: "s:Łódź", "n:3600", "n:0.35@#,##0.00", "d:2003-01-16 13:45:01@...".
// A number cell holding a whole number reads "n:5", any other "n:5.5".
QStringList cellsOf(const Sheet& s, int row)
{
    QStringList out;
    for (const QJsonValue& c : s.rows.at(row).toArray()) {
        if (c.isNull()) {
            out << QString();
            continue;
        }
        const QJsonObject o = c.toObject();
        const QVariant v = o.value("v").toVariant();
        QString text = v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 15) : v.toString();
        if (v.typeId() == QMetaType::Double && !text.contains('.') && !text.contains('e'))
            text += ".0";
        const QString format = o.value("f").toString();
        out << o.value("t").toString() + ':' + text + (format == "General" ? QString() : '@' + format);
    }
    return out;
}

QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray contentOf(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void insertNumbers(TestDb& t, int count)
{
    if (count == 0)
        return;
    t.db().execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                  "INSERT INTO EGN (Sekunden, Zone) SELECT i, 'Zone ' || i FROM n")
                       .arg(count));
}

const QList<WorkbookColumn> kNumberColumns = {{"Sekunden", "Sekunden"}, {"Zone", "Zone"}};

struct RowLimit
{
    explicit RowLimit(int rows) { SetWorkbookSheetRowsForTest(rows); }
    ~RowLimit() { SetWorkbookSheetRowsForTest(0); }
};

} // namespace

class TestWorkbookExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void callsReadBackByAnotherReader();
    void cellsAtExcelsLimits();
    void rowsContinueOnFurtherSheets_data();
    void rowsContinueOnFurtherSheets();
    void writtenWholeOrNotAtAll();
};

void TestWorkbookExport::callsReadBackByAnotherReader()
{
    TestDb t;
    RuboStatement insert(t.db(), "INSERT INTO EGN (ANummer, BeginZeit, Sekunden, Betrag, Zone, Ziel, Kostenstelle) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?)");
    struct Call
    {
        const char* aNummer;
        int day;
        int sekunden;
        double betrag;
        const char* zone;
        const char* ziel;
        const char* kostenstelle;
    };
    const Call calls[] = {
        {"0316471011", 15, 61, 0.35, "Österreich", "Łódź", "KST 1"},
        {"0316471012", 16, 3600, 1234.5, "Mobilnetz", "Hotel \"Sacher\"; Wien", nullptr},
        {"0316471013", 17, 5, 0, "=1+2", "  Grüße  ", "Zürich"},
    };
    for (const Call& c : calls) {
        insert.reset();
        insert.bindText(1, QString::fromUtf8(c.aNummer));
        insert.bindDouble(2, EncodeDate(2003, 1, c.day) + EncodeTime(13, 45, 1));
        insert.bindInt(3, c.sekunden);
        insert.bindDouble(4, c.betrag);
        insert.bindText(5, QString::fromUtf8(c.zone));
        insert.bindText(6, QString::fromUtf8(c.ziel));
        if (c.kostenstelle)
            insert.bindText(7, QString::fromUtf8(c.kostenstelle));
        else
            insert.bindNull(7);
        insert.step();
    }

    // Columns in the grid's order, not the query's; sorted by the grid's key.
    const QList<WorkbookColumn> columns = {
        {"Ziel", "Ziel"},
        {"BeginZeit", "Beginn", WorkbookColumn::Kind::DateTime},
        {"sekunden", ""},
        {"Betrag", "Betrag €", WorkbookColumn::Kind::Value, "#,##0.00"},
        {"Zone", "Zone"},
        {"Kostenstelle", "Kostenstelle"},
        {"ANummer", "A-Nummer"},
    };
    const QString file = t.path("Anrufe.xlsx");
    const WorkbookResult r = ExportWorkbook(t.db(), "SELECT * FROM EGN", {{"Sekunden", Qt::DescendingOrder}}, columns,
                                            "EGN", file);
    QCOMPARE(r.rows, qint64(3));
    QCOMPARE(r.sheets, 1);
    QVERIFY(!r.cancelled);

    const QList<Sheet> sheets = readBack(file);
    QCOMPARE(sheets.size(), 1);
    const Sheet& s = sheets[0];
    QCOMPARE(s.name, QString("EGN"));
    QCOMPARE(s.rows.size(), 4);
    QCOMPARE(headerOf(s), QStringList({"Ziel", "Beginn", "sekunden", "Betrag €", "Zone", "Kostenstelle", "A-Nummer"}));
    QVERIFY(s.cell(0, 0).toObject().value("bold").toBool());
    QCOMPARE(s.frozen, QString("A2"));   // the header stays in view

    // Sekunden descending. A number as the carrier writes it stays text, as does a text that
    // looks like a formula; no cost centre is an empty cell.
    const QString date = "@dd.mm.yyyy hh:mm:ss";
    QCOMPARE(cellsOf(s, 1), QStringList({"s:Hotel \"Sacher\"; Wien", "d:2003-01-16 13:45:01" + date, "n:3600",
                                         "n:1234.5@#,##0.00", "s:Mobilnetz", "", "s:0316471012"}));
    QCOMPARE(cellsOf(s, 2), QStringList({"s:Łódź", "d:2003-01-15 13:45:01" + date, "n:61", "n:0.35@#,##0.00",
                                         "s:Österreich", "s:KST 1", "s:0316471011"}));
    QCOMPARE(cellsOf(s, 3), QStringList({"s:  Grüße  ", "d:2003-01-17 13:45:01" + date, "n:5", "n:0@#,##0.00",
                                         "s:=1+2", "s:Zürich", "s:0316471013"}));

    // Widths follow the contents: the date fits, the long target is wider than the seconds.
    const double ziel = s.widths.value("A").toDouble();
    const double beginn = s.widths.value("B").toDouble();
    const double sekunden = s.widths.value("C").toDouble();
    QVERIFY2(beginn >= 19 && beginn <= 62, qPrintable(QString::number(beginn)));
    QVERIFY2(ziel > sekunden && ziel <= 62, qPrintable(QString::number(ziel)));
    QVERIFY(sekunden >= 8);
}

void TestWorkbookExport::cellsAtExcelsLimits()
{
    TestDb t;
    t.db().execute("CREATE TABLE Werte (Nr INTEGER, Wert, Datum)");
    t.db().execute("INSERT INTO Werte VALUES "
                   "(1, printf('%.40000c', 'x'), NULL), "           // longer than a cell holds
                   "(2, printf('%.32766c', 'y') || '😀', 16.5), "   // the pair would straddle the limit
                   "(3, CAST(x'41FF42' AS TEXT), 'kein Datum'), "   // bytes that are no UTF-8
                   "(4, 9e999, 61.25), "                            // infinity; 1 March 1900, 6:00
                   "(5, '', 37636 + 86399.0 / 86400), "                // empty text; the last second of a day
                   "(6, 9007199254740993, NULL), "
                   "(7, 'Zeile 1\nZeile 2\tTab', 2.0)");
    const QString file = t.path("Grenzen.xlsx");
    const QList<WorkbookColumn> columns = {{"Nr", "Nr"}, {"Wert", "Wert"}, {"Datum", "Datum", WorkbookColumn::Kind::DateTime}};
    const WorkbookResult r = ExportWorkbook(t.db(), "SELECT * FROM Werte", {{"Nr", Qt::AscendingOrder}}, columns,
                                            "Werte", file);
    QCOMPARE(r.rows, qint64(7));
    const Sheet s = readBack(file).value(0);
    QCOMPARE(s.rows.size(), 8);

    const QString date = "@dd.mm.yyyy hh:mm:ss";
    QCOMPARE(s.text(1, 1), QString(32767, 'x'));   // cut to what a cell holds
    QVERIFY(s.cell(1, 2).isNull());
    QCOMPARE(s.text(2, 1), QString(32766, 'y'));   // never inside a pair
    // Excel counts a 29 February 1900: a date before March is shifted so that it reads right.
    QCOMPARE(cellsOf(s, 2).value(2), "d:1900-01-15 12:00:00" + date);
    QCOMPARE(cellsOf(s, 3), QStringList({"n:3", "s:A\uFFFDB", "s:kein Datum" + date}));
    QCOMPARE(cellsOf(s, 4), QStringList({"n:4", "s:inf", "d:1900-03-01 06:00:00" + date}));
    QCOMPARE(cellsOf(s, 5), QStringList({"n:5", "", "d:2003-01-15 23:59:59" + date}));
    QCOMPARE(cellsOf(s, 6), QStringList({"n:6", "n:9007199254740992", ""}));   // a number cell holds a double
    QCOMPARE(cellsOf(s, 7), QStringList({"n:7", "s:Zeile 1\nZeile 2\tTab", "d:1900-01-01 00:00:00" + date}));
}

void TestWorkbookExport::rowsContinueOnFurtherSheets_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("sheets");
    const QString longName = QStringLiteral("Summen je Zone und Kostenstelle!");   // 32 characters
    QTest::newRow("no rows: the header alone") << 0 << "EGN" << QStringList{"EGN"};
    QTest::newRow("one sheet full") << 3 << "EGN" << QStringList{"EGN"};
    QTest::newRow("one row more") << 4 << "EGN" << QStringList{"EGN", "EGN (2)"};
    QTest::newRow("two sheets full") << 6 << "EGN" << QStringList{"EGN", "EGN (2)"};
    QTest::newRow("three sheets") << 8 << "EGN" << QStringList{"EGN", "EGN (2)", "EGN (3)"};
    QTest::newRow("names Excel refuses") << 4 << "Zone/Ziel: [*?]"
                                         << QStringList{"Zone_Ziel_ ____", "Zone_Ziel_ ____ (2)"};
    QTest::newRow("names too long") << 4 << longName
                                    << QStringList{longName.left(31), longName.left(27) + " (2)"};
}

void TestWorkbookExport::rowsContinueOnFurtherSheets()
{
    QFETCH(int, rows);
    QFETCH(QString, name);
    QFETCH(QStringList, sheets);
    TestDb t;
    insertNumbers(t, rows);
    RowLimit limit(4);   // the header and three rows
    const QString file = t.path("Viele.xlsx");
    const WorkbookResult r = ExportWorkbook(t.db(), "SELECT Sekunden, Zone FROM EGN", {{"Sekunden", Qt::AscendingOrder}},
                                            kNumberColumns, name, file);
    QCOMPARE(r.rows, qint64(rows));
    QCOMPARE(r.sheets, int(sheets.size()));

    const QList<Sheet> read = readBack(file);
    QStringList names;
    int next = 1;
    for (const Sheet& s : read) {
        names << s.name;
        QCOMPARE(headerOf(s), QStringList({"Sekunden", "Zone"}));
        QVERIFY(s.rows.size() <= 4);
        for (int row = 1; row < s.rows.size(); ++row, ++next) {
            QCOMPARE(s.value(row, 0).toInt(), next);
            QCOMPARE(s.text(row, 1), QString("Zone %1").arg(next));
        }
    }
    QCOMPARE(names, sheets);
    QCOMPARE(next - 1, rows);
}

void TestWorkbookExport::writtenWholeOrNotAtAll()
{
    TestDb t;
    insertNumbers(t, 2500);
    const QString folder = t.path("Ausgabe");
    QVERIFY(QDir().mkpath(folder));
    const QString file = folder + "/Anrufe.xlsx";
    const QString sql = "SELECT Sekunden, Zone FROM EGN";
    t.writeFile("Ausgabe/Anrufe.xlsx", "alt");

    // Cancelled at the first question: the old file stays, nothing is left beside it.
    QList<qint64> asked;
    WorkbookResult r = ExportWorkbook(t.db(), sql, {}, kNumberColumns, "EGN", file, [&](qint64 n) {
        asked << n;
        return false;
    });
    QVERIFY(r.cancelled);
    QCOMPARE(asked, QList<qint64>{1000});
    QCOMPARE(contentOf(file), QByteArray("alt"));
    QCOMPARE(filesIn(folder), QStringList{"Anrufe.xlsx"});

    // An engine failure in the middle of the rows: the message, and the old file.
    const QString failing = "SELECT Sekunden, CASE WHEN Sekunden > 1500 THEN abs(-9223372036854775807 - 1) ELSE Zone END "
                            "AS Zone FROM EGN";
    try {
        ExportWorkbook(t.db(), failing, {}, kNumberColumns, "EGN", file);
        QFAIL("no failure");
    } catch (const ExportOpenError&) {
        QFAIL("told as a file that cannot be opened");
    } catch (const RuboError& e) {
        QCOMPARE(e.message(), QString("Ein Fehler ist aufgetreten.\ninteger overflow"));
    }
    QCOMPARE(contentOf(file), QByteArray("alt"));
    QCOMPARE(filesIn(folder), QStringList{"Anrufe.xlsx"});

    // A field the query lacks is found before any file is touched.
    try {
        ExportWorkbook(t.db(), sql, {}, {{"Sekunden", ""}, {"Betrag", ""}}, "EGN", file);
        QFAIL("no failure");
    } catch (const RuboError& e) {
        QCOMPARE(e.message(), QString("Ein Fehler ist aufgetreten.\nDie Abfrage hat kein Feld Betrag."));
    }
    QCOMPARE(filesIn(folder), QStringList{"Anrufe.xlsx"});

    // Never over the database itself, in whatever letter case.
    const QString database = t.path("RUBOTOOL.MDB");
    const QByteArray before = contentOf(t.path("RuboTool.mdb"));
    try {
        ExportWorkbook(t.db(), sql, {}, kNumberColumns, "EGN", database);
        QFAIL("no failure");
    } catch (const RuboError& e) {
        QCOMPARE(e.message(), "Ein Fehler ist aufgetreten.\nDie Datei " + database
                                  + " ist die Datenbank des Programms; sie wird nicht überschrieben.");
    }
    QCOMPARE(contentOf(t.path("RuboTool.mdb")), before);
    QCOMPARE(t.scalar("SELECT count(*) FROM EGN").toInt(), 2500);

    // A folder that does not exist.
    const QString nowhere = t.path("fehlt/Anrufe.xlsx");
    try {
        ExportWorkbook(t.db(), sql, {}, kNumberColumns, "EGN", nowhere);
        QFAIL("no failure");
    } catch (const ExportOpenError& e) {
        QCOMPARE(e.message(), QString("Kann Datei nicht zum schreiben öffnen.\nDatei=") + nowhere);
    }
    QVERIFY(!QFileInfo::exists(t.path("fehlt")));

    // Asked every 1000 rows; a run to the end replaces the old file.
    asked.clear();
    r = ExportWorkbook(t.db(), sql, {}, kNumberColumns, "EGN", file, [&](qint64 n) {
        asked << n;
        return true;
    });
    QVERIFY(!r.cancelled);
    QCOMPARE(r.rows, qint64(2500));
    QCOMPARE(asked, (QList<qint64>{1000, 2000}));
    QCOMPARE(filesIn(folder), QStringList{"Anrufe.xlsx"});
    const QList<Sheet> read = readBack(file);
    QCOMPARE(read.size(), 1);
    QCOMPARE(read[0].rows.size(), 2501);
}

QTEST_GUILESS_MAIN(TestWorkbookExport)
#include "TestWorkbookExport.moc"
