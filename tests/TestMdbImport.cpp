// Access databases through the import: files of both Jet versions written by the test writer,
// real files of the mdbtools project, damaged files and a reader that crashes or hangs.
#include "database/Conversions.h"
#include "import/ImportDriver.h"
#include "import/MdbCallSource.h"
#include "support/JetTestFile.h"
#include "support/RecordingUi.h"
#include "support/TestDb.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace JetTestFile;

namespace {

const QList<Column> kCallColumns = {{"ANumber", Type::Text},    {"Extension", Type::Text}, {"BNumber", Type::Text},
                                    {"amount", Type::Double},   {"Time", Type::DateTime},  {"Units", Type::Long},
                                    {"jurisdiction", Type::Long}, {"Zone", Type::Text},    {"Destination", Type::Text}};

QVariantList callRow(const QVariant& amount = 0.35, const QVariant& time = QDateTime(QDate(2003, 1, 15), QTime(13, 45, 1)),
                     const QVariant& extension = "11")
{
    return {"0316471011", extension, "06641234567", amount, time, 61, 5, "Österreich Mobilnetz", "Zürich"};
}

QString writeDb(TestDb& t, const QString& name, Version version, const QList<Table>& tables)
{
    const QString path = t.path(name);
    QString error;
    if (!write(path, version, tables, &error))
        qFatal("%s", qPrintable(error));
    return path;
}

QByteArray hashOf(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QString failure(const QString& error, const QString& stage)
{
    return QStringLiteral("Daten können wegen eines Fehlers nicht geladen werden.\n") + error + QLatin1Char('\n') + stage;
}

// Nothing of a refused file is left: no call, no registry row.
int storedRows(TestDb& t)
{
    return t.scalar("SELECT (SELECT COUNT(*) FROM EGN) + (SELECT COUNT(*) FROM GeladeneDateien)").toInt();
}

} // namespace

class TestMdbImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void importsTheCallsTable_data();
    void importsTheCallsTable();
    void refusesWhatIsNoCallsTable();
    void readsRealAccessFiles();
    void survivesDamagedFilesAndReaders();
};

void TestMdbImport::importsTheCallsTable_data()
{
    QTest::addColumn<Version>("version");
    QTest::newRow("Jet 3") << Version::Jet3;
    QTest::newRow("Jet 4") << Version::Jet4;
}

void TestMdbImport::importsTheCallsTable()
{
    QFETCH(Version, version);
    TestDb t;
    RecordingUi ui;
    // Columns are found by name in any order and case; others are passed over.
    QList<Column> columns = kCallColumns;
    std::reverse(columns.begin(), columns.end());
    columns[0].name = "DESTINATION";
    columns.insert(3, {"Bemerkung", Type::Text});
    QList<QVariantList> rows = {callRow(), callRow(12.4, 37636.75, "42   "), callRow(QVariant(), 1.5, "Zentrale"),
                                {QVariant(), QVariant(), QVariant(), QVariant(), 40000.0, QVariant(), QVariant(), QVariant(), QVariant()}};
    for (int i = 0; i < 250; ++i)
        rows << callRow(i / 100.0, 37700.0 + i / 1440.0);
    for (QVariantList& r : rows) {
        std::reverse(r.begin(), r.end());
        r.insert(3, "egal");
    }
    const QString path = writeDb(t, "cdr.mdb", version, {{"andere", {{"x", Type::Long}}, {{1}}}, {"calls", columns, rows}});
    const QByteArray before = hashOf(path);

    const ImportResult r = ImportFile(t.dm(), path);
    QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join('|')));
    QCOMPARE(r.count, 254);
    QVERIFY(r.whole());
    QCOMPARE(ui.panels[0], QStringLiteral("254 EGN's wurden geladen"));
    QCOMPARE(ui.statusTexts.mid(0, 2), QStringList({"100", "200"}));
    QCOMPARE(t.column("SELECT ANummer || '|' || Nebenstelle || '|' || BNummer || '|' || Betrag || '|' || Sekunden || '|' || "
                      "ZoneCode || '|' || Zone || '|' || Ziel || '|' || GZ || '|' || UniqueCallID FROM EGN WHERE ID <= 4 ORDER BY ID"),
             QStringList({"0316471011|11|06641234567|0.35|61|5|Österreich Mobilnetz|Zürich|GZ|",
                          // Amounts keep their cents; an extension padded with blanks is read, text is 0.
                          "0316471011|42|06641234567|12.4|61|5|Österreich Mobilnetz|Zürich|GZ|",
                          "0316471011|0|06641234567|0.0|61|5|Österreich Mobilnetz|Zürich|GZ|",
                          "|0||0.0|0|0|||GZ|"}));
    QCOMPARE(FormatSerialDateTime(t.scalar("SELECT BeginZeit FROM EGN WHERE ID = 1").toDouble()), QStringLiteral("15.01.2003 13:45:01"));
    QCOMPARE(t.column("SELECT BeginZeit FROM EGN WHERE ID IN (2, 3) ORDER BY ID"), QStringList({"37636.75", "1.5"}));
    QCOMPARE(t.scalar("SELECT ROUND(SUM(Betrag), 2) FROM EGN WHERE ID > 4").toDouble(), 311.25);
    QCOMPARE(t.scalar("SELECT DateiName || '|' || OriginalName || '|' || AnzahlEGN FROM GeladeneDateien").toString(), path + "||254");
    // The source stays as it was; loading it again is refused.
    QCOMPARE(hashOf(path), before);
    QCOMPARE(ImportFile(t.dm(), path).count, 0);
    QCOMPARE(ui.messages.last(), failure("Datei " + path + " wurde bereits geladen.", "add GeladeneDatei"));

    // An empty table registers the file with no calls.
    ui.clear();
    const QString empty = writeDb(t, "leer.MDB", version, {{"calls", kCallColumns, {}}});
    QCOMPARE(ImportFile(t.dm(), empty).count, 0);
    QVERIFY(ui.messages.isEmpty());
    QCOMPARE(ui.panels[0], QStringLiteral("0 EGN's wurden geladen"));
    QCOMPARE(t.scalar("SELECT AnzahlEGN FROM GeladeneDateien WHERE DateiID = 2").toString(), QStringLiteral("0"));

    // A null start rolls the whole file back.
    ui.clear();
    const QString noTime = writeDb(t, "ohnezeit.mdb", version, {{"calls", kCallColumns, {callRow(), callRow(1.0, QVariant())}}});
    QCOMPARE(ImportFile(t.dm(), noTime).count, 0);
    QCOMPARE(ui.messages, QStringList({failure("Die Spalte 'Time' ist in Zeile 2 der Tabelle 'calls' leer.", "extraxt EGN")}));
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM GeladeneDateien").toInt(), 2);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 254);
}

void TestMdbImport::refusesWhatIsNoCallsTable()
{
    TestDb t;
    RecordingUi ui;
    const QString text = t.writeFile("text.mdb", "Das ist keine Datenbank.\n");
    const QString noCalls = writeDb(t, "anderes.mdb", Version::Jet4, {{"Anrufe", kCallColumns, {callRow()}}});
    QList<Column> lacking = kCallColumns;
    lacking.removeAt(5);
    QVariantList row = callRow();
    row.removeAt(5);
    const QString noUnits = writeDb(t, "ohneunits.mdb", Version::Jet3, {{"calls", lacking, {row}}});
    for (const QString& path : {text, noCalls, noUnits, t.path("fehlt.mdb")})
        QCOMPARE(ImportFile(t.dm(), path).count, 0);
    QCOMPARE(ui.messages, QStringList({failure("Die Datei " + text + " ist keine Access-Datenbank.", "open calls"),
                                       failure("Die Datenbank " + noCalls + " enthält keine Tabelle 'calls'.", "open calls"),
                                       failure("In der Tabelle 'calls' fehlt die Spalte 'Units'.", "open calls"),
                                       failure("Kann Datei " + t.path("fehlt.mdb") + " nicht öffnen.", "open calls")}));
    QCOMPARE(storedRows(t), 0);
}

void TestMdbImport::readsRealAccessFiles()
{
    TestDb t;
    RecordingUi ui;
    for (const char* name : {"nwind.mdb", "DateTest.mdb"}) {
        const QString path = t.path(name);
        QVERIFY(QFile::copy(QStringLiteral(RUBO_TESTDATA_DIR "/mdb/") + name, path));
        QCOMPARE(ImportFile(t.dm(), path).count, 0);
        QCOMPARE(ui.messages.last(), failure("Die Datenbank " + path + " enthält keine Tabelle 'calls'.", "open calls"));
    }
    QCOMPARE(storedRows(t), 0);
    // The reader opens them: every row of a Jet 3 and a Jet 4 table (830 as mdb-export counts them),
    // dates as Access stores them.
    QProcess p;
    p.start(MdbCallSource::readerProgram(), {QStringLiteral(RUBO_TESTDATA_DIR "/mdb/nwind.mdb"), "Umsätze"});
    QVERIFY(p.waitForFinished());
    const QList<QByteArray> umsaetze = p.readAllStandardOutput().split('\n');
    QCOMPARE(umsaetze.first(), "COLUMNS\tOrderID\tCustomerID\tEmployeeID\tOrderDate\tRequiredDate\tShippedDate\tShipVia\tFreight\t"
                               "ShipName\tShipAddress\tShipCity\tShipRegion\tShipPostalCode\tShipCountry");
    QVERIFY(umsaetze.at(1).startsWith("ROW\tI10330\tSLILAS\tI3\tD34654\t"));
    QCOMPARE(umsaetze.at(umsaetze.size() - 2), "END\t830");
    p.start(MdbCallSource::readerProgram(), {QStringLiteral(RUBO_TESTDATA_DIR "/mdb/DateTest.mdb"), "datetest"});
    QVERIFY(p.waitForFinished());
    const QByteArray dates = p.readAllStandardOutput();
    QVERIFY2(dates.contains("ROW\tI2\tD2958101\tD2958101\tD2958101\tSYear 9999\tSYear 1999\n"), dates.constData());
    QVERIFY(dates.contains("ROW\tI6\tD44532\tD44532\tD44532\tSNew line\\r\\nin field\tSNo new line\n"));
    QVERIFY(dates.endsWith("END\t6\n"));
    QCOMPARE(p.exitCode(), 0);
}

void TestMdbImport::survivesDamagedFilesAndReaders()
{
    TestDb t;
    RecordingUi ui;
    QList<QVariantList> rows;
    for (int i = 0; i < 2000; ++i)
        rows << callRow(i, 37700.0 + i);
    const QString whole = writeDb(t, "ganz.mdb", Version::Jet4, {{"calls", kCallColumns, rows}});
    QFile f(whole);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QCOMPARE(bytes.size() % 4096, 0);
    // Cut inside a page, and cut at a page so that the last data pages are gone.
    const QString inside = t.writeFile("mitten.mdb", bytes.left(bytes.size() - 1000));
    const QString pages = t.writeFile("seiten.mdb", bytes.left(bytes.size() - 2 * 4096));
    const QString garbage = t.writeFile("muell.mdb", QByteArray(8192, '\xA5'));
    for (const QString& path : {inside, pages, garbage})
        QCOMPARE(ImportFile(t.dm(), path).count, 0);
    QCOMPARE(ui.messages.size(), 3);
    QCOMPARE(ui.messages.at(0), failure("Die Access-Datenbank " + inside + " ist beschädigt (die Dateigröße ist kein Vielfaches "
                                        "der Seitengröße).", "open calls"));
    QVERIFY2(ui.messages.at(1).startsWith(QStringLiteral("Daten können wegen eines Fehlers nicht geladen werden.\nDie Access-Datenbank ")
                                          + pages + " ist beschädigt ("), qPrintable(ui.messages.at(1)));
    QVERIFY2(ui.messages.at(1).endsWith("\nnext calls"), qPrintable(ui.messages.at(1)));
    QCOMPARE(ui.messages.at(2), failure("Die Datei " + garbage + " ist keine Access-Datenbank.", "open calls"));
    QCOMPARE(storedRows(t), 0);

    // A reader that crashes after some rows, and one that stops answering.
    ui.clear();
    const QString crash = t.writeFile("absturz.sh", "#!/bin/sh\nprintf 'COLUMNS\\tANumber\\tExtension\\tBNumber\\tamount\\tTime\\tUnits\\t"
                                                    "jurisdiction\\tZone\\tDestination\\n'\nprintf 'ROW\\tS1\\tS2\\tS3\\tN1\\tD2\\tI3\\tI4\\tSZ\\tSD\\n'\n"
                                                    "kill -SEGV $$\n");
    const QString hang = t.writeFile("haengt.sh", "#!/bin/sh\nexec sleep 30\n");
    QFile::setPermissions(crash, QFile::ReadOwner | QFile::ExeOwner);
    QFile::setPermissions(hang, QFile::ReadOwner | QFile::ExeOwner);
    MdbCallSource::setSilenceLimit(300);
    for (const QString& reader : {crash, hang}) {
        qputenv("RUBO_MDB_READER", reader.toLocal8Bit());
        QCOMPARE(ImportFile(t.dm(), whole).count, 0);
    }
    qunsetenv("RUBO_MDB_READER");
    MdbCallSource::setSilenceLimit(30000);
    QCOMPARE(ui.messages, QStringList({failure("Die Access-Datenbank " + whole + " ist beschädigt (das Lesen ist abgestürzt).", "next calls"),
                                       failure("Die Access-Datenbank " + whole + " ist beschädigt (das Lesen antwortet nicht mehr).",
                                               "open calls")}));
    QVERIFY(ui.processEventsCalls > 0);
    QCOMPARE(storedRows(t), 0);
    // The file itself was fine all along.
    QCOMPARE(ImportFile(t.dm(), whole).count, 2000);
}

QTEST_GUILESS_MAIN(TestMdbImport)
#include "TestMdbImport.moc"
