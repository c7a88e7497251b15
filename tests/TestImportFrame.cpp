#include "database/Egn.h"
#include "import/CallSource.h"
#include "import/ImportDriver.h"
#include "import/ImportFrame.h"
#include "support/RecordingUi.h"
#include "support/TestDb.h"

#include <QTest>
#include <new>
#include <stdexcept>

namespace {

// A source of `calls` calls that fails in the way it is told at the call numbered `failAt`.
class ScriptedSource : public CallSource
{
public:
    enum class Failure { None, Runtime, BadAlloc, Unknown };

    ScriptedSource(int calls, Failure failure = Failure::None, int failAt = 0)
        : m_calls(calls), m_failure(failure), m_failAt(failAt)
    {
    }

    void prepare(QString& stage) override { stage = QStringLiteral("open calls"); }
    Step next(int callsRead, QString& stage) override
    {
        stage = QStringLiteral("next calls");
        return callsRead < m_calls ? Step::Call : Step::End;
    }
    void fill(TEGN& egn) override
    {
        ++m_filled;
        if (m_filled == m_failAt) {
            switch (m_failure) {
            case Failure::Runtime:
                throw std::runtime_error("Quelle kaputt");
            case Failure::BadAlloc:
                throw std::bad_alloc();
            case Failure::Unknown:
                throw 42;
            case Failure::None:
                break;
            }
        }
        egn.ANummer = QStringLiteral("0316471011");
        egn.Zone = QStringLiteral("Ortszone");
        egn.Betrag = 1;
    }
    void close() noexcept override { ++closed; }
    QString failurePlace(int callsRead, const QString& stage) const override
    {
        return QStringLiteral("|%1|%2").arg(callsRead).arg(stage);
    }

    int closed = 0;

private:
    int m_calls;
    Failure m_failure;
    int m_failAt;
    int m_filled = 0;
};

} // namespace

class TestImportFrame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void storesCallsAndTheirCount();
    void anyExceptionRollsTheFileBack_data();
    void anyExceptionRollsTheFileBack();
    void countIsStoredWithTheCalls();
};

void TestImportFrame::storesCallsAndTheirCount()
{
    TestDb t;
    RecordingUi ui;
    ScriptedSource source(250);
    const ImportResult r = ImportCalls(t.dm(), source, "/daten/a.mdb", "/daten/archiv.zip");
    QCOMPARE(r.count, 250);
    QVERIFY(r.complete);
    QVERIFY(ui.messages.isEmpty());
    QCOMPARE(source.closed, 1);
    QCOMPARE(t.scalar("SELECT DateiName || '|' || OriginalName || '|' || AnzahlEGN FROM GeladeneDateien").toString(),
             QStringLiteral("/daten/a.mdb|/daten/archiv.zip|250"));
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN WHERE DateiID = 1 AND GZ = 'GZ' AND FilialeID = 'x'").toInt(), 250);
    QCOMPARE(ui.statusTexts.mid(0, 2), (QStringList{"100", "200"}));
    QVERIFY(!t.db().inTransaction());
}

void TestImportFrame::anyExceptionRollsTheFileBack_data()
{
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("text");
    QTest::newRow("standard exception") << int(ScriptedSource::Failure::Runtime) << "Quelle kaputt";
    QTest::newRow("out of memory") << int(ScriptedSource::Failure::BadAlloc) << "std::bad_alloc";
    QTest::newRow("something else") << int(ScriptedSource::Failure::Unknown) << "Unbekannter Fehler.";
}

void TestImportFrame::anyExceptionRollsTheFileBack()
{
    QFETCH(int, failure);
    QFETCH(QString, text);
    TestDb t;
    RecordingUi ui;
    ScriptedSource bad(5, ScriptedSource::Failure(failure), 3);
    const ImportResult r = ImportCalls(t.dm(), bad, "/daten/a.mdb", QString());
    QCOMPARE(r.count, 0);
    QVERIFY(!r.complete);
    QCOMPARE(ui.messages, QStringList{"Daten können wegen eines Fehlers nicht geladen werden.\n" + text + "|3|extraxt EGN"});
    QCOMPARE(bad.closed, 1);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 0);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM GeladeneDateien").toInt(), 0);
    // The zone the rolled-back calls added is gone, and the list does not remember it.
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM Zonenrabatte").toInt(), 0);
    QVERIFY(!t.db().inTransaction());

    // No transaction is left open: the same file loads next time.
    ui.clear();
    ScriptedSource good(2);
    QCOMPARE(ImportCalls(t.dm(), good, "/daten/a.mdb", QString()).count, 2);
    QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join('|')));
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM Zonenrabatte").toInt(), 1);
}

void TestImportFrame::countIsStoredWithTheCalls()
{
    // When the count cannot be stored, the calls must not stay either: a file registered with
    // the count 0 could never be loaded again.
    TestDb t;
    RecordingUi ui;
    t.db().execute("CREATE TRIGGER nocount BEFORE UPDATE OF AnzahlEGN ON GeladeneDateien "
                   "BEGIN SELECT RAISE(ABORT, 'Anzahl gesperrt'); END");
    ScriptedSource source(3);
    QCOMPARE(ImportCalls(t.dm(), source, "/daten/a.mdb", QString()).count, 0);
    QCOMPARE(ui.messages, QStringList{"Daten können wegen eines Fehlers nicht geladen werden.\nAnzahl gesperrt"
                                      "|3|call GeladeneDateiSetAnzahlEGN"});
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 0);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM GeladeneDateien").toInt(), 0);
}

QTEST_GUILESS_MAIN(TestImportFrame)
#include "TestImportFrame.moc"
