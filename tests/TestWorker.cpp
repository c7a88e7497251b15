#include "database/RuboEngine.h"
#include "database/Worker.h"
#include "database/Messages.h"
#include "support/RecordingUi.h"
#include "support/TestDb.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

namespace {

// Runs until it is interrupted: far more rows than any test waits for.
const char* const kEndless = "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c) SELECT count(*) FROM c";

// What a job saw of its own end, read on the test's thread after the worker is idle.
struct Seen
{
    std::atomic<bool> started{false};
    std::atomic<bool> interrupted{false};
};

// A job that delivers `text` after the endless statement, which it never reaches unless the
// engine lets it run to the end.
RuboWorker::Work endless(Seen& seen, QStringList& delivered, const QString& text)
{
    return [&seen, &delivered, text](RuboJob& job) {
        seen.started = true;
        try {
            RuboStatement stmt(job.db(), QString::fromLatin1(kEndless));
            stmt.step();
        } catch (const RuboError&) {
            seen.interrupted = !job.wanted();
            throw;
        }
        job.deliver([&delivered, text] { delivered << text; });
    };
}

} // namespace

class TestWorker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deliversOnTheOwnersThreadInOrder();
    void onlyTheNewestJobDelivers();
    void cancelAndDestructionStopTheStatement();
    void reportsFailuresButNotCancellations();
    void whatTheCoreShowsReachesTheOwnersInterface();
};

void TestWorker::deliversOnTheOwnersThreadInOrder()
{
    TestDb t;
    t.db().execute("INSERT INTO EGN (Zone) VALUES ('Zürich'), ('Zug'), ('Österreich'), ('Ägypten')");
    RuboWorker worker(t.dm().databaseFile());
    QSignalSpy finished(&worker, &RuboWorker::finished);
    QStringList delivered;
    QThread* jobThread = nullptr;
    bool onOwner = true;
    worker.run([&](RuboJob& job) {
        jobThread = QThread::currentThread();
        // The worker's own connection knows the language's order.
        const RuboRows rows = ReadAllRows(job.db(), "SELECT Zone FROM EGN ORDER BY Zone COLLATE DEUTSCH");
        for (const QList<QVariant>& row : rows.rows) {
            const QString zone = row.at(0).toString();
            job.deliver([&, zone] {
                onOwner = onOwner && QThread::currentThread() == this->thread();
                delivered << zone;
            });
        }
    });
    QVERIFY(worker.isBusy());
    worker.waitUntilIdle();
    QVERIFY(!worker.isBusy());
    QCOMPARE(delivered, (QStringList{"Ägypten", "Österreich", "Zug", "Zürich"}));
    QVERIFY(onOwner);
    QVERIFY(jobThread && jobThread != thread());
    QCOMPARE(finished.count(), 1);
}

void TestWorker::onlyTheNewestJobDelivers()
{
    TestDb t;
    RuboWorker worker(t.dm().databaseFile());
    QSignalSpy finished(&worker, &RuboWorker::finished);
    QStringList delivered, failures;
    Seen first;
    worker.run(endless(first, delivered, "first"), [&](const QString& m) { failures << m; });
    // Once the first is reading, a second job takes over: it interrupts the first statement.
    while (!first.started)
        QThread::msleep(1);
    worker.run([&](RuboJob& job) { job.deliver([&] { delivered << "second"; }); }, [&](const QString& m) { failures << m; });
    worker.waitUntilIdle();
    QVERIFY(first.interrupted);
    QCOMPARE(delivered, QStringList{"second"});
    QCOMPARE(failures, QStringList());
    QCOMPARE(finished.count(), 1);

    // Jobs replaced while they wait or just began deliver nothing either.
    Seen blocker, queued;
    worker.run(endless(blocker, delivered, "blocker"));
    worker.run(endless(queued, delivered, "queued"));
    worker.run([&](RuboJob& job) { job.deliver([&] { delivered << "third"; }); });
    worker.waitUntilIdle();
    QCOMPARE(delivered, (QStringList{"second", "third"}));
    QCOMPARE(finished.count(), 2);
}

void TestWorker::cancelAndDestructionStopTheStatement()
{
    TestDb t;
    QStringList delivered;
    Seen cancelled;
    {
        RuboWorker worker(t.dm().databaseFile());
        QSignalSpy finished(&worker, &RuboWorker::finished);
        worker.run(endless(cancelled, delivered, "cancelled"));
        while (!cancelled.started)
            QThread::msleep(1);
        worker.cancel();
        worker.waitUntilIdle();
        QVERIFY(cancelled.interrupted);
        QCOMPARE(finished.count(), 0);

        // The worker stays usable after an interruption.
        worker.run([&](RuboJob& job) { job.deliver([&] { delivered << "after"; }); });
        worker.waitUntilIdle();
        QCOMPARE(delivered, QStringList{"after"});
    }
    // Destroyed while it reads: the destructor stops the statement instead of waiting for it.
    Seen destroyed;
    {
        RuboWorker worker(t.dm().databaseFile());
        worker.run(endless(destroyed, delivered, "destroyed"));
        while (!destroyed.started)
            QThread::msleep(1);
    }
    QVERIFY(destroyed.interrupted);
    QCoreApplication::processEvents();
    QCOMPARE(delivered, QStringList{"after"});
}

void TestWorker::reportsFailuresButNotCancellations()
{
    TestDb t;
    RuboWorker worker(t.dm().databaseFile());
    QStringList failures;
    worker.run([](RuboJob& job) { ReadAllRows(job.db(), "SELECT Unbekannt FROM EGN"); },
               [&](const QString& m) { failures << m; });
    worker.waitUntilIdle();
    QCOMPARE(failures, QStringList{"no such column: Unbekannt"});

    // A file that went away is reported by the job that needs it, and the next job tries again.
    RuboWorker missing(t.path("fehlt.mdb"));
    missing.run([](RuboJob&) {}, [&](const QString& m) { failures << m; });
    missing.waitUntilIdle();
    QCOMPARE(failures.size(), 2);
    QVERIFY2(failures.last().contains("fehlt.mdb"), qPrintable(failures.last()));
    missing.run([](RuboJob&) {}, [&](const QString& m) { failures << m; });
    missing.waitUntilIdle();
    QCOMPARE(failures.size(), 3);
}

QTEST_GUILESS_MAIN(TestWorker)
void TestWorker::whatTheCoreShowsReachesTheOwnersInterface()
{
    // The core on a worker talks to the user as anywhere else; the window's thread shows it.
    RecordingUi ui;
    ui.answers << true;
    TestDb t;
    RuboWorker worker(t.dm().databaseFile());
    bool answer = false;
    worker.run([&](RuboJob&) {
        SetStatusText("Begin...");
        MessageOk("Datenbankfehler", RuboUi::MsgKind::Error);
        answer = AskYesNo("Weiter ?");
    });
    worker.waitUntilIdle();
    QCOMPARE(ui.statusTexts, QStringList{"Begin..."});
    QCOMPARE(ui.messages, QStringList{"Datenbankfehler"});
    QCOMPARE(ui.messageKinds, QList<RuboUi::MsgKind>{RuboUi::MsgKind::Error});
    QCOMPARE(ui.questions, QStringList{"Weiter ?"});
    QVERIFY(answer);
}

#include "TestWorker.moc"
