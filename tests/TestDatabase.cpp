#include "support/RecordingUi.h"
#include "database/Schema.h"
#include "database/SqlText.h"
#include "support/OtherProgram.h"
#include "support/TestDb.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>
#include <thread>

class TestDatabase : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void createsFiveTablesOnFirstOpen();
    void refusesFilesThatAreNoDatabase_data();
    void refusesFilesThatAreNoDatabase();
    void schemaKeepsJetWidths_data();
    void schemaKeepsJetWidths();
    void registryNumbersAndRefusesDuplicates();
    void registryPathWithApostrophe();
    void transactionsRollBackEverything();
    void transactionGuardNestsAndUndoesOnUnwind();
    void queryParametersAreBoundAsData();
    void quotedTextStaysData();
    void tableComponentAppendsEditsDeletesAndFilters();
    void cliCreatesOnlyWhenAskedAndFailsOnBadDatabase();
    void journalLeftByACrashIsRolledBackAtOpen();
    void waitsForAnotherWriterThenNamesTheLock();
};

void TestDatabase::createsFiveTablesOnFirstOpen()
{
    RecordingUi ui;
    TestDb t;
    const auto counts = t.dm().tableCounts();
    QCOMPARE(counts.size(), 5);
    QCOMPARE(counts.at(0).first, QStringLiteral("EGN"));
    QCOMPARE(counts.at(4).first, QStringLiteral("Zonenrabatte"));
    QCOMPARE(t.scalar("PRAGMA user_version").toInt(), kRuboSchemaVersion);
    QVERIFY(ui.messages.isEmpty());

    // ID of EGN and of Kostenstellen come from the database.
    t.db().execute("INSERT INTO EGN (ANummer) VALUES ('1')");
    t.db().execute("INSERT INTO EGN (ANummer) VALUES ('2')");
    QCOMPARE(t.scalar("SELECT MAX(ID) FROM EGN").toInt(), 2);
    t.db().execute("INSERT INTO Kostenstellen (Kostenstelle) VALUES ('K')");
    QCOMPARE(t.scalar("SELECT ID FROM Kostenstellen").toInt(), 1);

    // A second start opens the same file and finds what the first stored.
    TdmMain again(t.dm().databaseFile());
    QVERIFY(again.open());
    QCOMPARE(again.tableCounts().at(0).second, qint64(2));
}

void TestDatabase::refusesFilesThatAreNoDatabase_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("truncate");
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("text file") << QByteArray("Dies ist keine Datenbank.\nZweite Zeile\n") << false;
    QTest::newRow("truncated database") << QByteArray() << true;
    QTest::newRow("foreign sqlite database") << QByteArray("foreign") << false;
}

void TestDatabase::refusesFilesThatAreNoDatabase()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, truncate);
    QTemporaryDir dir;
    const QString file = dir.filePath("RuboTool.mdb");
    if (truncate || content == "foreign") {
        {
            TdmMain full(file);
            QVERIFY(full.open());
            if (content == "foreign") {
                full.RuboDB().execute("DROP TABLE Zonenrabatte");
            } else {
                full.RuboDB().execute("CREATE TABLE Filler (x)");
                full.RuboDB().execute("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n+1 FROM c WHERE n < 3000) "
                                      "INSERT INTO Filler SELECT hex(randomblob(100)) FROM c");
            }
        }
        if (truncate) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            content = f.read(f.size() / 2);
            f.resize(content.size());
        }
    } else {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QFile before(file);
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray bytesBefore = before.readAll();
    before.close();

    RecordingUi ui;
    TdmMain dm(file);
    QVERIFY(!dm.open());
    QCOMPARE(ui.messages.size(), 1);
    QVERIFY(ui.messages.first().startsWith(
        "Kann Datenbank nicht öffnet !\nDatenbank: " + file
        + "\nMöglicher Grund:\n  Die Datenbankkomponente DAO ist nicht installiert.\n"));
    QVERIFY(ui.messages.first().size() > 110);   // the engine's reason follows
    QCOMPARE(ui.messageKinds.first(), RuboUi::MsgKind::Information);

    QFile after(file);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), bytesBefore);
}

void TestDatabase::schemaKeepsJetWidths_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("ANummer of 24") << "INSERT INTO EGN (ANummer) VALUES ('" + QString(24, '1') + "')" << true;
    QTest::newRow("ANummer of 25") << "INSERT INTO EGN (ANummer) VALUES ('" + QString(25, '1') + "')" << false;
    QTest::newRow("umlauts count as characters") << "INSERT INTO EGN (FilialeID) VALUES ('ÖÄÜß')" << true;
    QTest::newRow("DateiID 32767") << "INSERT INTO EGN (DateiID) VALUES (32767)" << true;
    QTest::newRow("DateiID 40000") << "INSERT INTO EGN (DateiID) VALUES (40000)" << false;
    QTest::newRow("ZoneCode -32769") << "INSERT INTO EGN (ZoneCode) VALUES (-32769)" << false;
    QTest::newRow("ZoneCode text") << "INSERT INTO EGN (ZoneCode) VALUES ('abc')" << false;
    QTest::newRow("Nebenstelle of 11") << "INSERT INTO EGN (Nebenstelle) VALUES ('12345678901')" << false;
    QTest::newRow("Nebenstelle6 of 7") << "INSERT INTO EGN (Nebenstelle6) VALUES ('1234567')" << false;
    QTest::newRow("UniqueCallID of 36") << "INSERT INTO EGN (UniqueCallID) VALUES ('" + QString(36, 'x') + "')" << false;
    QTest::newRow("DateiName of 101") << "INSERT INTO GeladeneDateien (DateiID, DateiName) VALUES (1, '" + QString(101, 'x') + "')" << false;
    QTest::newRow("Kostenstelle of 20") << "INSERT INTO Kostenstellen (Kostenstelle) VALUES ('" + QString(20, 'k') + "')" << true;
    QTest::newRow("Zone of 51") << "INSERT INTO Zonenrabatte (Zone) VALUES ('" + QString(51, 'z') + "')" << false;
    QTest::newRow("null values") << "INSERT INTO EGN (ANummer, DateiID) VALUES (NULL, NULL)" << true;
}

void TestDatabase::schemaKeepsJetWidths()
{
    QFETCH(QString, sql);
    QFETCH(bool, accepted);
    TestDb t;
    bool ok = true;
    QString message;
    try {
        t.db().execute(sql);
    } catch (const RuboError& e) {
        ok = false;
        message = e.message();
    }
    QCOMPARE(ok, accepted);
    if (!accepted)
        QVERIFY2(message.contains("CHECK constraint failed"), qPrintable(message));
}

void TestDatabase::registryNumbersAndRefusesDuplicates()
{
    TestDb t;
    QCOMPARE(t.dm().GeladeneDateiAdd("/data/a.edi", ""), 1);
    QCOMPARE(t.dm().GeladeneDateiAdd("/data/a.edi", ""), -1);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM GeladeneDateien").toInt(), 1);
    // The same file under another path is another file.
    QCOMPARE(t.dm().GeladeneDateiAdd("/data/./a.edi", "/data/archiv.zip"), 2);
    QCOMPARE(t.scalar("SELECT OriginalName FROM GeladeneDateien WHERE DateiID = 2").toString(), QStringLiteral("/data/archiv.zip"));
    QCOMPARE(t.scalar("SELECT AnzahlEGN FROM GeladeneDateien WHERE DateiID = 2").toInt(), 0);

    t.db().execute("INSERT INTO GeladeneDateien (DateiID, DateiName) VALUES (7, 'x')");
    QCOMPARE(t.dm().GeladeneDateiAdd("/data/b.edi", ""), 8);

    QCOMPARE(t.dm().GeladeneDateiSetAnzahlEGN(8, 1234), 1);
    QCOMPARE(t.scalar("SELECT AnzahlEGN FROM GeladeneDateien WHERE DateiID = 8").toInt(), 1234);
    QCOMPARE(t.dm().GeladeneDateiSetAnzahlEGN(99, 1), 0);

    // After every file is deleted numbering starts again at 1.
    t.db().execute("DELETE FROM GeladeneDateien");
    QCOMPARE(t.dm().GeladeneDateiAdd("/data/c.edi", ""), 1);

    // A path longer than the column is refused by the database.
    QVERIFY_THROWS_EXCEPTION(RuboError, t.dm().GeladeneDateiAdd("/" + QString(120, 'p') + ".edi", ""));
}

void TestDatabase::registryPathWithApostrophe()
{
    TestDb t;
    const QString path = "/home/o'brien/Anrufe 'März'.edi";
    QCOMPARE(t.dm().GeladeneDateiAdd(path, ""), 1);
    QCOMPARE(t.scalar("SELECT DateiName FROM GeladeneDateien").toString(), path);
    QCOMPARE(t.dm().GeladeneDateiAdd(path, ""), -1);
    QCOMPARE(t.dm().GeladeneDateiAdd("/home/o'brien/other.edi", ""), 2);
}

void TestDatabase::transactionsRollBackEverything()
{
    TestDb t;
    t.db().execute("INSERT INTO EGN (ANummer) VALUES ('before')");
    t.db().startTransaction();
    QVERIFY(t.db().inTransaction());
    QCOMPARE(t.db().execute("INSERT INTO EGN (ANummer) VALUES ('a'), ('b')"), 2);
    t.dm().GeladeneDateiAdd("/x.edi", "");
    QVERIFY_THROWS_EXCEPTION(RuboError, t.db().startTransaction());   // one level only
    t.db().rollback();
    QVERIFY(!t.db().inTransaction());
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 1);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM GeladeneDateien").toInt(), 0);

    t.db().startTransaction();
    t.db().execute("INSERT INTO EGN (ANummer) VALUES ('c')");
    t.db().commit();
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 2);
    QCOMPARE(t.db().execute("DELETE FROM EGN"), 2);

    // Engine errors carry the engine's text.
    try {
        t.db().execute("SELECT * FROM NoSuchTable");
        QFAIL("no error");
    } catch (const RuboError& e) {
        QVERIFY(e.message().contains("no such table"));
    }
}

void TestDatabase::transactionGuardNestsAndUndoesOnUnwind()
{
    TestDb t;
    const auto calls = [&t] { return t.scalar("SELECT group_concat(ANummer, ',') FROM (SELECT ANummer FROM EGN ORDER BY ID)").toString(); };
    {
        RuboTransaction outer(t.db());
        QVERIFY(!outer.isNested() && t.db().inTransaction());
        t.db().execute("INSERT INTO EGN (ANummer) VALUES ('a')");
        {
            RuboTransaction inner(t.db());
            QVERIFY(inner.isNested());
            t.db().execute("INSERT INTO EGN (ANummer) VALUES ('b')");
            // Leaving without commit undoes the inner part only.
        }
        {
            RuboTransaction inner(t.db());
            t.db().execute("INSERT INTO EGN (ANummer) VALUES ('c')");
            inner.commit();
        }
        QCOMPARE(calls(), QStringLiteral("a,c"));
        outer.commit();
    }
    QVERIFY(!t.db().inTransaction());
    QCOMPARE(calls(), QStringLiteral("a,c"));

    // An exception unwinds every level; a committed inner part goes with its outer transaction.
    try {
        RuboTransaction outer(t.db());
        t.db().execute("INSERT INTO EGN (ANummer) VALUES ('d')");
        RuboTransaction inner(t.db());
        t.db().execute("INSERT INTO EGN (ANummer) VALUES ('e')");
        inner.commit();
        throw RuboError("abgebrochen");
    } catch (const RuboError&) {
    }
    QVERIFY(!t.db().inTransaction());
    QCOMPARE(calls(), QStringLiteral("a,c"));

    // A guard whose transaction the engine ended itself unwinds quietly, and the next one works.
    {
        RuboTransaction outer(t.db());
        RuboTransaction inner(t.db());
        t.db().execute("ROLLBACK");
    }
    QVERIFY(!t.db().inTransaction());
    RuboTransaction again(t.db());
    t.db().execute("INSERT INTO EGN (ANummer) VALUES ('f')");
    again.commit();
    QVERIFY_THROWS_EXCEPTION(RuboError, again.commit());
    QCOMPARE(calls(), QStringLiteral("a,c,f"));
}

void TestDatabase::quotedTextStaysData()
{
    // Whatever a value or a name holds, once quoted it reads back as itself and ends nothing.
    TestDb t;
    for (const QString& value : {QStringLiteral("Côte d'Ivoire"), QStringLiteral("''; DROP TABLE EGN; --"),
                                 QStringLiteral("Tarif %1"), QString()})
        QCOMPARE(t.scalar("SELECT " + SqlQuoted(value)).toString(), value);
    const QStringList names = {"Zone", "Größe", "Extra Feld", "a\"b", "1x", "select"};
    QStringList columns;
    for (const QString& name : names)
        columns << SqlIdentifier(name);
    t.db().execute("CREATE TABLE odd (" + columns.join(", ") + ")");
    t.db().execute("INSERT INTO odd VALUES (1, 2, 3, 4, 5, 6)");
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(t.scalar("SELECT " + SqlIdentifier(names.at(i)) + " FROM odd").toInt(), i + 1);
    QCOMPARE(SqlOrderBy({{"Zone", Qt::AscendingOrder}, {"Extra Feld", Qt::DescendingOrder}}),
             QStringLiteral("Zone COLLATE DEUTSCH ASC, \"Extra Feld\" COLLATE DEUTSCH DESC"));
    QCOMPARE(SqlOrderBy({}), QString());
}

void TestDatabase::queryParametersAreBoundAsData()
{
    TestDb t;
    RuboQuery insert(t.db());
    insert.setSql("insert into Zonenrabatte (Zone, GZ, RabattProz, IAS) values (Zone_, GZ_, RabattProz_, IAS_)");
    insert.setParam("Zone_", "Côte d'Ivoire");
    insert.setParam("GZ_", "GZ");
    insert.setParam("RabattProz_", 12.5);
    insert.setParam("IAS_", "");
    QCOMPARE(insert.execute(), 1);

    RuboQuery q(t.db());
    q.setSql("SELECT Zone, RabattProz, IAS, 'Zone_' AS Literal FROM Zonenrabatte WHERE Zone = Zone_");
    q.setParam("Zone_", "Côte d'Ivoire");
    q.open();
    QVERIFY(!q.eof());
    QCOMPARE(q.field("Zone").toString(), QStringLiteral("Côte d'Ivoire"));
    QCOMPARE(q.field("rabattproz").toDouble(), 12.5);
    QCOMPARE(q.field("Literal").toString(), QStringLiteral("Zone_"));   // quoted text is no parameter
    QCOMPARE(q.fieldCount(), 4);
    QCOMPARE(q.recordCount(), 1);
    q.next();
    QVERIFY(q.eof());
    q.close();

    t.db().execute("INSERT INTO Kostenstellen (FilialeID, Kostenstelle) VALUES ('W1', 'A'), ('W1', 'B'), ('G2', 'C')");
    RuboQuery count(t.db());
    count.setSql("SELECT Count(*) FROM Kostenstellen WHERE FilialeID = filID");
    count.setParam("filID", "W1");
    count.open();
    QCOMPARE(count.field(0).toInt(), 2);

    // An empty column reads as null.
    t.db().execute("INSERT INTO EGN (ANummer) VALUES ('1')");
    RuboQuery details(t.db());
    details.setSql("SELECT * FROM EGN");
    details.open();
    QVERIFY(details.field("Zone").isNull());
    QVERIFY_THROWS_EXCEPTION(RuboError, details.field("NoSuchColumn"));
}

void TestDatabase::tableComponentAppendsEditsDeletesAndFilters()
{
    TestDb t;
    RuboTable table(t.db(), "Filialen");
    table.open();
    QVERIFY(table.eof());
    t.db().startTransaction();
    for (int i = 0; i < 600; ++i) {   // more rows than one chunk
        table.append();
        table.setField("Kurz", QString::number(i % 3));
        table.setField("ANummer", "0316" + QString::number(i));
        table.post();
    }
    table.append();
    table.setField("Name", "ohne Kurz");
    table.post();
    t.db().commit();
    QVERIFY_THROWS_EXCEPTION(RuboError, table.setField("Kurz", "x"));   // not in edit mode
    table.close();

    table.setFilter("Kurz = '1'");
    table.setFiltered(true);
    table.open();
    QCOMPARE(table.recordCount(), 200);
    int visited = 0;
    t.db().startTransaction();
    for (table.first(); !table.eof(); table.next()) {
        table.edit();
        table.setField("Name", "eins");
        table.post();
        QCOMPARE(table.field("Name").toString(), QStringLiteral("eins"));
        ++visited;
    }
    t.db().commit();
    QCOMPARE(visited, 200);
    table.close();
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM Filialen WHERE Name = 'eins'").toInt(), 200);

    table.setFilter("Kurz = '2'");
    table.open();
    table.edit();
    table.setField("Name", "verworfen");
    table.cancel();
    while (!table.eof())
        table.remove();
    table.close();
    table.setFiltered(false);
    table.open();
    QCOMPARE(table.recordCount(), 401);

    // A filter value is SQL text, never a template: "%1" in it stays as written.
    t.db().execute("INSERT INTO Filialen (Kurz, Name) VALUES ('T', 'Tarif %1'), ('U', 'Tarif 256')");
    table.close();
    table.setFilter("Name = 'Tarif %1'");
    table.setFiltered(true);
    table.open();
    QVERIFY(!table.eof());
    QCOMPARE(table.field("Kurz").toString(), QStringLiteral("T"));
    QCOMPARE(table.recordCount(), 1);
    table.next();
    QVERIFY(table.eof());
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM Filialen WHERE Name = 'verworfen'").toInt(), 0);
    QVERIFY(t.scalar("SELECT Kurz FROM Filialen WHERE Name = 'ohne Kurz'").isNull());
}

void TestDatabase::cliCreatesOnlyWhenAskedAndFailsOnBadDatabase()
{
    const QString tool = QStringLiteral(RUBO_BUILD_DIR "/cli/rubotool");
    if (!QFile::exists(tool))
        QSKIP("rubotool not built");
    QTemporaryDir dir;
    QProcess p;
    // A mistyped name must not become a new, empty database.
    for (const QString& command : QStringList{"info", "import"}) {
        p.start(tool, {"--db", dir.filePath("RuboToll.mdb"), command, dir.filePath("a.edi")});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(p.readAllStandardError()),
                 "rubotool: Die Datenbank " + dir.filePath("RuboToll.mdb")
                     + " gibt es nicht. Mit --create wird sie neu angelegt.\n");
        QVERIFY(!QFile::exists(dir.filePath("RuboToll.mdb")));
    }
    p.start(tool, {"--db", dir.filePath("neu.mdb"), "--create", "info"});
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()),
             QStringLiteral("EGN: 0\nGeladeneDateien: 0\nFilialen: 0\nKostenstellen: 0\nZonenrabatte: 0\n"));
    p.start(tool, {"--db", dir.filePath("beispiel.mdb"), "sample-data"});
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(QFile::exists(dir.filePath("beispiel.mdb")));

    QFile bad(dir.filePath("text.mdb"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("kein SQLite\n");
    bad.close();
    p.start(tool, {"--db", dir.filePath("text.mdb"), "info"});
    QVERIFY(p.waitForFinished());
    QVERIFY(p.exitCode() != 0);
    QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains("kann nicht geöffnet werden"));
}

void TestDatabase::journalLeftByACrashIsRolledBackAtOpen()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("RuboTool.mdb");
    {
        TdmMain dm(file);
        QVERIFY(dm.open());
        dm.RuboDB().execute("INSERT INTO Filialen (Kurz, Name) VALUES ('W', 'Wien')");
    }
    // A write that was cut off: the calls have spilled into the file, the journal holds the
    // pages as they were, and the file has grown by part of a page, as on a full disk.
    const QString crashed = dir.filePath("Abgebrochen.mdb");
    {
        OtherProgram writer(file);
        QCOMPARE(writer.exec("PRAGMA cache_size = 2"), SQLITE_OK);
        QCOMPARE(writer.exec("BEGIN"), SQLITE_OK);
        QCOMPARE(writer.exec("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n+1 FROM c WHERE n < 20000) "
                             "INSERT INTO EGN (ANummer, Ziel) SELECT n, hex(randomblob(10)) FROM c"),
                 SQLITE_OK);
        QVERIFY(QFileInfo(file + "-journal").size() > 0);
        QVERIFY(QFile::copy(file, crashed));
        QVERIFY(QFile::copy(file + "-journal", crashed + "-journal"));
    }
    {
        QFile torn(crashed);
        QVERIFY(torn.open(QIODevice::Append));
        torn.write(QByteArray(1000, 'x'));
    }

    RecordingUi ui;
    TdmMain dm(crashed);
    QVERIFY(dm.open());
    QVERIFY(ui.messages.isEmpty());
    QVERIFY(!QFileInfo::exists(crashed + "-journal"));
    QCOMPARE(QFileInfo(crashed).size() % 16384, 0);
    QCOMPARE(dm.tableCounts().at(0).second, qint64(0));
    QCOMPARE(dm.tableCounts().at(2).second, qint64(1));
    dm.RuboDB().execute("INSERT INTO EGN (ANummer) VALUES ('1')");

    // Really damaged, with a journal beside it: refused with the one message.
    const QString damaged = dir.filePath("Kaputt.mdb");
    QVERIFY(QFile::copy(file, damaged));
    {
        QFile f(damaged);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek(2 * 16384));
        f.write(QByteArray(16384, '\xA5'));
        QFile journal(damaged + "-journal");
        QVERIFY(journal.open(QIODevice::WriteOnly));
        journal.write(QByteArray(512, '\0'));
    }
    TdmMain broken(damaged);
    QVERIFY(!broken.open());
    QCOMPARE(ui.messages.size(), 1);
    QVERIFY2(ui.messages.at(0).contains("Die Datenbankdatei ist unvollständig oder beschädigt."), qPrintable(ui.messages.at(0)));
}

void TestDatabase::waitsForAnotherWriterThenNamesTheLock()
{
    RecordingUi ui;
    TestDb t;
    t.db().setBusyTimeout(200);
    OtherProgram other(t.dm().databaseFile());
    QCOMPARE(other.exec("BEGIN IMMEDIATE"), SQLITE_OK);
    QCOMPARE(other.exec("INSERT INTO Filialen (Kurz) VALUES ('A')"), SQLITE_OK);
    try {
        RuboTransaction transaction(t.db());
        QFAIL("no lock met");
    } catch (const RuboError& e) {
        QVERIFY2(e.message().startsWith("Die Datenbank ist gesperrt, weil ein anderes Programm gerade in sie schreibt. "
                                        "Sie wurde auch nach 0.2 Sekunden nicht frei; bitte später noch einmal versuchen."),
                 qPrintable(e.message()));
    }
    QVERIFY(!t.db().inTransaction());

    // A lock that ends within the wait is waited for.
    t.db().setBusyTimeout(10000);
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        other.exec("COMMIT");
    });
    {
        RuboTransaction transaction(t.db());
        t.db().execute("INSERT INTO Filialen (Kurz) VALUES ('B')");
        transaction.commit();
    }
    release.join();
    QCOMPARE(t.scalar("SELECT group_concat(Kurz, '') FROM (SELECT Kurz FROM Filialen ORDER BY Kurz)").toString(), QStringLiteral("AB"));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "TestDatabase.moc"
