#include "import/ImportDriver.h"
#include "support/RecordingUi.h"
#include "support/OtherProgram.h"
#include "support/TestDb.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

namespace {

const QString kTool = QStringLiteral(RUBO_BUILD_DIR "/cli/rubotool");
const QString kCrashingImport = QStringLiteral(RUBO_BUILD_DIR "/tests/rubo_crashing_import");

// A carrier file of `calls` calls with header and trailer.
void writeCalls(const QString& path, int calls)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QByteArray block = "100\tDRAVIK Telekom\tEinzelgespr\xC3\xA4" "chsnachweis\r\n";
    for (int i = 0; i < calls; ++i) {
        block += "280\t1\t0316471011\t" + QByteArray::number(10 + i % 50) + "\t0664" + QByteArray::number(1000000 + i)
            + "\t\t0,35\t61\t\t20030115\t134501\t5\t" + (i % 3 ? "Mobilnetz" : "\xC3\x96sterreich")
            + "\tGZ\tA1 Mobil\tC" + QByteArray::number(i) + "\r\n";
        if (block.size() > (1 << 20)) {
            f.write(block);
            block.clear();
        }
    }
    block += "900\t" + QByteArray::number(calls) + "\tEnde\r\n";
    f.write(block);
}

struct Stored
{
    qint64 calls = -1;
    qint64 files = -1;
    qint64 counted = -1;   // sum of AnzahlEGN
};

// What a fresh start of the program finds in the database.
Stored storedIn(const QString& db)
{
    RecordingUi ui;
    TdmMain dm(db);
    Stored s;
    if (!dm.open())
        return s;
    RuboStatement q(dm.RuboDB(), QStringLiteral("SELECT (SELECT COUNT(*) FROM EGN), COUNT(*), TOTAL(AnzahlEGN) FROM GeladeneDateien"));
    q.step();
    s.calls = q.column(0).toLongLong();
    s.files = q.column(1).toLongLong();
    s.counted = q.column(2).toLongLong();
    return s;
}

void createDatabase(const QString& db)
{
    RecordingUi ui;
    TdmMain dm(db);
    QVERIFY(dm.open());
}


} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedImportIsAllOrNothing();
    void powerLossBeforeTheCountOrCommitLeavesNothing_data();
    void powerLossBeforeTheCountOrCommitLeavesNothing();
    void fullDiskLeavesTheDatabaseUsable();
    void importWaitsForAnotherWriterThenNamesTheLock();
    void killedRecalculationLeavesEveryCallWhole();
};

void TestFaults::killedImportIsAllOrNothing()
{
    QTemporaryDir dir;
    const QString db = dir.filePath("RuboTool.mdb");
    const QString file = dir.filePath("gross.edi");
    constexpr int kCalls = 150000;
    writeCalls(file, kCalls);
    createDatabase(db);

    int cutOff = 0;
    for (const int delay : {20, 60, 120, 200, 300, 450, 700}) {
        QProcess p;
        p.start(kTool, {"--db", db, "import", file});
        QVERIFY(p.waitForStarted());
        QTest::qWait(delay);
        // The import may have ended before the kill.
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            QVERIFY(p.waitForFinished());
        }
        const Stored s = storedIn(db);
        QVERIFY2(s.calls >= 0, "the database no longer opens");
        if (s.files == 0) {
            QCOMPARE(s.calls, 0);
            ++cutOff;
        } else {
            QCOMPARE(s.files, 1);
            QCOMPARE(s.calls, kCalls);
            QCOMPARE(s.counted, kCalls);
            break;
        }
    }
    QVERIFY2(cutOff > 0, "no kill fell inside an import");
    qInfo("%d of the kills cut an import off", cutOff);

    QProcess p;
    p.start(kTool, {"--db", db, "import", file});
    QVERIFY(p.waitForFinished(60000));
    const Stored s = storedIn(db);
    QCOMPARE(s.calls, kCalls);
    QCOMPARE(s.counted, kCalls);
}

void TestFaults::powerLossBeforeTheCountOrCommitLeavesNothing_data()
{
    QTest::addColumn<QString>("statement");
    QTest::newRow("before the count") << "UPDATE GeladeneDateien";
    QTest::newRow("before the commit") << "COMMIT";
}

void TestFaults::powerLossBeforeTheCountOrCommitLeavesNothing()
{
    QFETCH(QString, statement);
    QTemporaryDir dir;
    const QString db = dir.filePath("RuboTool.mdb");
    const QString file = dir.filePath("Anrufe.edi");
    writeCalls(file, 500);
    createDatabase(db);

    QProcess p;
    p.start(kCrashingImport, {db, file, statement});
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.exitStatus(), QProcess::CrashExit);
    QVERIFY(QFileInfo(db + "-journal").size() > 0);

    const Stored s = storedIn(db);
    QCOMPARE(s.calls, 0);
    QCOMPARE(s.files, 0);

    // The same file loads again, whole.
    RecordingUi ui;
    TdmMain dm(db);
    QVERIFY(dm.open());
    const ImportResult result = ImportFile(dm, file);
    QCOMPARE(result.count, 500);
    QVERIFY(result.whole());
    QCOMPARE(storedIn(db).counted, 500);
}

void TestFaults::fullDiskLeavesTheDatabaseUsable()
{
    QTemporaryDir dir;
    const QString db = dir.filePath("RuboTool.mdb");
    const QString file = dir.filePath("gross.edi");
    writeCalls(file, 60000);
    createDatabase(db);

    // A file-size limit stands in for a full disk: writes beyond it fail as on a full one.
    QProcess p;
    p.start("bash", {"-c", "trap '' XFSZ; ulimit -f 2050; exec \"$0\" --db \"$1\" import \"$2\"", kTool, db, file});
    QVERIFY(p.waitForFinished(60000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 1);
    QVERIFY2(out.startsWith("Daten können wegen eines Fehlers nicht geladen werden.\n"), qPrintable(out));

    // Every later start opens it, with nothing of the file in it.
    const Stored s = storedIn(db);
    QCOMPARE(s.calls, 0);
    QCOMPARE(s.files, 0);
    p.start(kTool, {"--db", db, "import", file});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(storedIn(db).counted, 60000);
}

void TestFaults::importWaitsForAnotherWriterThenNamesTheLock()
{
    RecordingUi ui;
    TestDb t;
    t.db().setBusyTimeout(200);
    const QString file = t.path("Anrufe.edi");
    writeCalls(file, 10);
    {
        OtherProgram other(t.dm().databaseFile());
        QCOMPARE(other.exec("BEGIN IMMEDIATE"), SQLITE_OK);
        QCOMPARE(other.exec("INSERT INTO Filialen (Kurz) VALUES ('A')"), SQLITE_OK);
        const ImportResult result = ImportFile(t.dm(), file);
        QCOMPARE(result.count, 0);
        QVERIFY(!result.complete);
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages.at(0),
                 "Daten können wegen eines Fehlers nicht geladen werden.\n"
                 "Die Datenbank ist gesperrt, weil ein anderes Programm gerade in sie schreibt. Sie wurde auch nach 0.2 "
                 "Sekunden nicht frei; bitte später noch einmal versuchen. (database is locked)\n"
                 "Zeile:0\nInterner Status:start transaction RuboDB");
        other.exec("COMMIT");
    }
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM GeladeneDateien").toInt(), 0);
    QCOMPARE(ImportFile(t.dm(), file).count, 10);

    // Two imports started together both load their file.
    QTemporaryDir dir;
    const QString db = dir.filePath("RuboTool.mdb");
    createDatabase(db);
    QList<QProcess*> imports;
    for (int i = 0; i < 3; ++i) {
        const QString name = dir.filePath(QStringLiteral("Teil%1.edi").arg(i));
        writeCalls(name, 30000);
        auto* p = new QProcess(this);
        p->start(kTool, {"--db", db, "import", name});
        imports << p;
    }
    for (QProcess* p : std::as_const(imports)) {
        QVERIFY(p->waitForFinished(60000));
        QVERIFY2(p->exitCode() == 0, p->readAllStandardOutput().constData());
        delete p;
    }
    const Stored s = storedIn(db);
    QCOMPARE(s.files, 3);
    QCOMPARE(s.calls, 90000);
}

QTEST_GUILESS_MAIN(TestFaults)
#include "TestFaults.moc"

void TestFaults::killedRecalculationLeavesEveryCallWhole()
{
    QTemporaryDir dir;
    const QString db = dir.filePath("RuboTool.mdb");
    const QString file = dir.filePath("gross.edi");
    constexpr int kCalls = 150000;
    writeCalls(file, kCalls);
    QProcess p;
    p.start(kTool, {"--db", db, "--create", "import", file});
    QVERIFY(p.waitForFinished(120000));
    QCOMPARE(p.exitCode(), 0);
    {
        RecordingUi ui;
        TdmMain dm(db);
        QVERIFY(dm.open());
        dm.RuboDB().execute("INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('NEU', 'Neu', '0316471*')");
        dm.RuboDB().execute("UPDATE Zonenrabatte SET RabattProz = 50");
    }
    // A new call has its new branch and its new discount, an old one neither.
    const auto check = [&](qint64& renewed) {
        RecordingUi ui;
        TdmMain dm(db);
        QVERIFY2(dm.open(), "the database no longer opens");
        RuboStatement q(dm.RuboDB(), "SELECT count(*), total(FilialeID = 'NEU'), "
                                     "total((FilialeID = 'NEU') <> (RabattProz = 50 AND abs(RabattEuro - BetragEuro / 2) < 1e-9)), "
                                     "coalesce(max(CASE WHEN FilialeID = 'NEU' THEN ID END), 0), "
                                     "coalesce(min(CASE WHEN FilialeID <> 'NEU' THEN ID END), 1e18) FROM EGN");
        q.step();
        QCOMPARE(q.column(0).toLongLong(), qint64(kCalls));
        QCOMPARE(q.column(2).toLongLong(), 0);
        // Committed in the order of the table: the new calls come before the old ones.
        QVERIFY(q.column(3).toLongLong() < q.column(4).toDouble());
        renewed = q.column(1).toLongLong();
    };
    bool cutOff = false;
    for (const int delay : {150, 600, 1500}) {
        p.start(kTool, {"--db", db, "recalc"});
        QVERIFY(p.waitForStarted());
        QTest::qWait(delay);
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            QVERIFY(p.waitForFinished());
            cutOff = true;
        }
        qint64 renewed = -1;
        check(renewed);
        QVERIFY(renewed >= 0 && renewed <= kCalls);
    }
    QVERIFY2(cutOff, "every run ended before it was killed");
    // Run whole, every call is new.
    p.start(kTool, {"--db", db, "recalc"});
    QVERIFY(p.waitForFinished(120000));
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), QStringLiteral("150000 Done.\n"));
    QCOMPARE(p.exitCode(), 0);
    qint64 renewed = -1;
    check(renewed);
    QCOMPARE(renewed, qint64(kCalls));
}
