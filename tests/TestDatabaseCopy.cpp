#include "output/DatabaseCopy.h"
#include "support/OtherProgram.h"
#include "support/TestDb.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>

#include <cerrno>
#include <unistd.h>

namespace {

const char* const kTables[] = {"EGN", "GeladeneDateien", "Filialen", "Kostenstellen", "Zonenrabatte"};

// Every row of a table, each as one line of its values.
QStringList dump(RuboDatabase& db, const char* table)
{
    QStringList rows;
    RuboStatement stmt(db, QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(QLatin1String(table)));
    while (stmt.step()) {
        QStringList values;
        for (int c = 0; c < stmt.columnCount(); ++c) {
            const QVariant v = stmt.column(c);
            values << (v.isNull() ? QStringLiteral("NULL") : QString::fromLatin1(v.typeName()) + ':' + v.toString());
        }
        rows << values.join('|');
    }
    return rows;
}

void fill(TestDb& t, int generatedCalls)
{
    TdmMain& dm = t.dm();
    const int datei = dm.GeladeneDateiAdd(t.path("Rechnung 2003-01.csv"), QString());
    RuboStatement insert(t.db(), "INSERT INTO EGN (ANummer, Nebenstelle, BNummer, BeginZeit, Sekunden, Betrag, Zone, Ziel, "
                                 "Kostenstelle, DateiID, FilialeID, RabattProz) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const QVariantList calls[] = {
        {"0316471011", "11", "06641234567", 37636.573, 61, 0.35, "Mobilnetz", "Łódź", "KST 1", datei, "GRZ", 10.0},
        {"0316471012", "12", "0049301234", 37637.25, 3600, 12.5, "Österreich", QVariant(), QVariant(), datei, "GRZ", QVariant()},
    };
    for (const QVariantList& call : calls) {
        insert.reset();
        for (int i = 0; i < call.size(); ++i)
            insert.bind(i + 1, call[i]);
        insert.step();
    }
    if (generatedCalls > 0)
        t.db().execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                      "INSERT INTO EGN (ANummer, BNummer, BeginZeit, Sekunden, Zone, Ziel, DateiID) "
                                      "SELECT '0316' || i, '0664' || (i * 7), 37600 + i / 1000.0, i % 3600, "
                                      "'Zone ' || (i % 50), 'Ziel ' || hex(randomblob(20)), %2 FROM n")
                           .arg(generatedCalls)
                           .arg(datei));
    dm.GeladeneDateiSetAnzahlEGN(datei, 2 + generatedCalls);
    t.db().execute("INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('GRZ', 'Graz', '0316*'), ('WIE', 'Wien', '01*')");
    t.db().execute("INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) "
                   "VALUES ('GRZ', '11', 37622, 37986, 'KST 1'), ('GRZ', '12', 37622, NULL, 'Küche')");
    t.db().execute("INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES ('Mobilnetz', 'FZ', 10, 'I')");
}

QByteArray contentOf(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Opens a copy as the program opens its database and compares it table by table.
void verifyCopy(TestDb& t, const QString& copy)
{
    TdmMain opened(copy);
    QVERIFY(opened.open());
    for (const char* table : kTables)
        QCOMPARE(dump(opened.RuboDB(), table), dump(t.db(), table));
}

int stopEveryTime(void*)
{
    return 1;
}

int interruptOnce(void* db)
{
    sqlite3_interrupt(static_cast<sqlite3*>(db));
    return 0;
}

} // namespace

class TestDatabaseCopy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void completesTheTargetName_data();
    void completesTheTargetName();
    void refusesTheDatabasesOwnFiles();
    void copiesCallsAndReferenceData();
    void copiesTheCommittedStateWhileOthersWork();
    void failureLeavesTheTargetAsItWas();
};

void TestDatabaseCopy::completesTheTargetName_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bare name") << "backup" << "/daten/backup.mdb";
    QTest::newRow("own extension kept") << "backup.bak" << "/daten/backup.bak";
    QTest::newRow("blanks around") << "  backup  " << "/daten/backup.mdb";
    QTest::newRow("trailing dot") << "backup." << "/daten/backup.mdb";
    QTest::newRow("dot only in the folder") << "alt.2003/backup" << "/daten/alt.2003/backup.mdb";
    QTest::newRow("relative folder") << "../sicherung/./backup" << "/sicherung/backup.mdb";
    QTest::newRow("absolute") << "/mnt/usb/RuboTool" << "/mnt/usb/RuboTool.mdb";
    QTest::newRow("hidden name") << ".sicherung" << "/daten/.sicherung";
    QTest::newRow("blank") << "   " << "";
}

void TestDatabaseCopy::completesTheTargetName()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(CompleteCopyTarget(text, "/daten/"), expected);
}

void TestDatabaseCopy::refusesTheDatabasesOwnFiles()
{
    TestDb t;
    const QString db = t.path("RuboTool.mdb");
    QVERIFY(QDir().mkpath(t.path("andere")));
    QCOMPARE(::symlink(qPrintable(db), qPrintable(t.path("verweis.mdb"))), 0);
    QCOMPARE(::link(qPrintable(db), qPrintable(t.path("zweiter Name.mdb"))), 0);
    QCOMPARE(::symlink(qPrintable(t.dir()), qPrintable(t.path("andere/ordner"))), 0);
    t.writeFile("RuboTool.mdb-journal", "");
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(t.path("andere")));

    struct Case
    {
        QString target;
        bool refused;
    };
    const Case cases[] = {
        {db, true},
        {t.path("RUBOTOOL.mdb"), true},
        {"../RuboTool.mdb", true},
        {t.path("./andere/../RuboTool.mdb"), true},
        {t.path("verweis.mdb"), true},
        {t.path("zweiter Name.mdb"), true},
        {"ordner/RuboTool.mdb", true},
        {db + "-journal", true},
        {"ordner/rubotool.mdb-JOURNAL", true},
        {db + "-wal", true},       // not there now, but the engine may make it at any moment
        {"ordner/RuboTool.mdb-shm", true},
        {t.path("RuboTool.bak"), false},
        {t.path("RuboTool.mdb.bak"), false},
        {t.path("andere/RuboTool.mdb"), false},
        {"RuboTool.mdb", false},   // in the working folder, not the database's
    };
    for (const Case& c : cases)
        QVERIFY2(IsOwnDatabaseFile(c.target, db) == c.refused, qPrintable(c.target));
    QVERIFY(QDir::setCurrent(before));

    // The copy itself refuses, so that no caller can replace the open file under its connections.
    fill(t, 0);
    const QByteArray content = contentOf(db);
    QCOMPARE(CopyDatabaseFile(t.db(), t.path("verweis.mdb")), EINVAL);
    QCOMPARE(CopyDatabaseFile(t.db(), t.path("RUBOTOOL.MDB")), EINVAL);
    QCOMPARE(contentOf(db), content);
    QVERIFY(QFileInfo(t.path("verweis.mdb")).isSymLink());
    QCOMPARE(t.scalar("SELECT count(*) FROM EGN").toInt(), 2);
}

void TestDatabaseCopy::copiesCallsAndReferenceData()
{
    TestDb t;
    fill(t, 60000);
    const QString db = t.path("RuboTool.mdb");
    const QByteArray sourceHash = QCryptographicHash::hash(contentOf(db), QCryptographicHash::Sha256);
    QVERIFY(QFileInfo(db).size() > 256 * 16384);   // more than one step of the copy

    const QString target = CompleteCopyTarget("Sicherung", t.dir());
    QCOMPARE(target, t.path("Sicherung.mdb"));
    QCOMPARE(CopyDatabaseFile(t.db(), target), 0);
    verifyCopy(t, target);
    QCOMPARE(filesIn(t.dir()), QStringList({"RuboTool.mdb", "Sicherung.mdb"}));
    QCOMPARE(QCryptographicHash::hash(contentOf(db), QCryptographicHash::Sha256), sourceHash);

    // The copy is a database of its own: what is done to it does not reach the original.
    {
        TdmMain copy(target);
        QVERIFY(copy.open());
        QCOMPARE(copy.DeleteAllCalls(), 60002);
    }
    QCOMPARE(t.scalar("SELECT count(*) FROM EGN").toInt(), 60002);
}

void TestDatabaseCopy::copiesTheCommittedStateWhileOthersWork()
{
    TestDb t;
    fill(t, 20000);
    const QString db = t.path("RuboTool.mdb");
    // The window's grid has a statement open on the copying connection itself.
    RuboStatement grid(t.db(), "SELECT ID FROM EGN ORDER BY ID");
    QVERIFY(grid.step());
    // Another program reads, a third has written without committing.
    OtherProgram reader(db);
    sqlite3_stmt* reading = nullptr;
    QCOMPARE(sqlite3_prepare_v2(reader.db, "SELECT ID FROM EGN", -1, &reading, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_step(reading), SQLITE_ROW);
    OtherProgram writer(db);
    QCOMPARE(writer.exec("BEGIN; INSERT INTO EGN (Zone) VALUES ('noch nicht'); DELETE FROM Filialen"), SQLITE_OK);

    const QString target = t.path("Sicherung.mdb");
    QCOMPARE(CopyDatabaseFile(t.db(), target), 0);
    verifyCopy(t, target);
    {
        TdmMain copy(target);
        QVERIFY(copy.open());
        QCOMPARE(copy.tableCounts().value(0).second, qint64(20002));
        QCOMPARE(copy.tableCounts().value(2).second, qint64(2));
    }

    // Everyone carries on: the grid reads on, the writer commits.
    QVERIFY(grid.step());
    grid.reset();
    QCOMPARE(sqlite3_column_int(reading, 0), 1);
    sqlite3_finalize(reading);
    QCOMPARE(writer.exec("COMMIT"), SQLITE_OK);
    QCOMPARE(t.scalar("SELECT count(*) FROM EGN").toInt(), 20003);
}

void TestDatabaseCopy::failureLeavesTheTargetAsItWas()
{
    TestDb t;
    fill(t, 0);
    const QString db = t.path("RuboTool.mdb");

    // A folder that does not exist: the system's "No such file or directory".
    const QString nowhere = t.path("fehlt/Sicherung.mdb");
    QCOMPARE(CopyDatabaseFile(t.db(), nowhere), 2);
    QCOMPARE(CopyFailedMessage(db, nowhere, 2),
             "Das Kopieren hat nicht funktioniert.\nCopyFile " + db + " auf " + nowhere + "\nFehler:2");
    QVERIFY(!QFileInfo::exists(t.path("fehlt")));

    QVERIFY(QDir().mkpath(t.path("Sicherungen")));
    const QString target = t.path("Sicherungen/Sicherung.mdb");
    t.writeFile("Sicherungen/Sicherung.mdb", "die alte Sicherung");

    // A worker's cancel, which stops the engine through its progress handler.
    sqlite3_progress_handler(t.db().handle(), 1000, stopEveryTime, nullptr);
    QCOMPARE(CopyDatabaseFile(t.db(), target), -1);
    sqlite3_progress_handler(t.db().handle(), 0, nullptr, nullptr);
    QCOMPARE(contentOf(target), QByteArray("die alte Sicherung"));
    QCOMPARE(filesIn(t.path("Sicherungen")), QStringList{"Sicherung.mdb"});

    // sqlite3_interrupt, which a cancel calls from another thread, raised here at a known moment
    // of the copy: while the engine runs for it.
    sqlite3_progress_handler(t.db().handle(), 1000, interruptOnce, t.db().handle());
    const int interrupted = CopyDatabaseFile(t.db(), target);
    sqlite3_progress_handler(t.db().handle(), 0, nullptr, nullptr);
    QCOMPARE(interrupted, -1);
    QCOMPARE(contentOf(target), QByteArray("die alte Sicherung"));
    QCOMPARE(filesIn(t.path("Sicherungen")), QStringList{"Sicherung.mdb"});

    // A connection in the middle of its own write has nothing whole to copy.
    t.db().startTransaction();
    t.db().execute("DELETE FROM EGN");
    QCOMPARE(CopyDatabaseFile(t.db(), target), SQLITE_BUSY);
    t.db().rollback();
    QCOMPARE(contentOf(target), QByteArray("die alte Sicherung"));
    QCOMPARE(filesIn(t.path("Sicherungen")), QStringList{"Sicherung.mdb"});

    // Only a copy that succeeds replaces it.
    QCOMPARE(CopyDatabaseFile(t.db(), target), 0);
    verifyCopy(t, target);
    QCOMPARE(filesIn(t.path("Sicherungen")), QStringList{"Sicherung.mdb"});
}

QTEST_GUILESS_MAIN(TestDatabaseCopy)
#include "TestDatabaseCopy.moc"
