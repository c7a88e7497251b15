#include "database/RuboEngine.h"
#include "database/RuboError.h"
#include "import/Recalculation.h"
#include "support/RecordingUi.h"
#include "support/TestDb.h"

#include <QTest>

namespace {

constexpr double kCallTime = 37696.5;   // 15.03.2003 12:00

void exec(RuboDatabase& db, const QString& sql, const QVariantList& values = {})
{
    RuboStatement s(db, sql);
    for (int i = 0; i < values.size(); ++i)
        s.bind(i + 1, values.at(i));
    s.step();
}

// A call as an import left it, with derived values that a recalculation must replace and
// columns that it must leave as they are.
void addCall(RuboDatabase& db, const QString& aNummer, const QString& nebenstelle, const QString& zone = QStringLiteral("Mobil"),
             double betragEuro = 1.0)
{
    exec(db,
         "INSERT INTO EGN (ANummer, Nebenstelle, BNummer, BeginZeit, Sekunden, Betrag, ZoneCode, Zone, Ziel, Kostenstelle, "
         "Nebenstelle1, Nebenstelle2, Nebenstelle3, Nebenstelle4, Nebenstelle5, Nebenstelle6, IAS, BetragEuro, EndeZeit, "
         "DateiID, FilialeID, GZ, UniqueCallID, Rabatt, RabattEuro, RabattProz) "
         "VALUES (?, ?, '0664', ?, 60, 0, 61, ?, 'Ziel', 'alt', '9', '98', '987', '9876', '98765', '987654', 'S', ?, 1.5, 7, "
         "'alt', 'FZ', 'U1', 0, 0, 0)",
         {aNummer, nebenstelle, kCallTime, zone, betragEuro});
}

QVariant value(TestDb& t, const QString& column, int id)
{
    return t.scalar(QStringLiteral("SELECT %1 FROM EGN WHERE ID = %2").arg(column).arg(id));
}

// Calls 1..count, those whose number is in `failing` stored with an extension that is no number.
void addCalls(TestDb& t, int count, const QList<int>& failing)
{
    RuboTransaction transaction(t.db());
    for (int i = 1; i <= count; ++i)
        addCall(t.db(), QStringLiteral("0316999"), failing.contains(i) ? QStringLiteral("zwölf") : QString::number(i));
    transaction.commit();
}

} // namespace

class TestRecalculation : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void emptyTable()
    {
        RecordingUi ui;
        TestDb t;
        const RecalcOutcome outcome = RecalculateEGN(t.db(), t.lists());
        QCOMPARE(outcome.visited, 0);
        QCOMPARE(RecalcEndTexts(outcome), QStringList{QStringLiteral("0 Done.")});
    }

    void fieldsReadAndWritten()
    {
        RecordingUi ui;
        TestDb t;
        RuboDatabase& db = t.db();
        addCall(db, QStringLiteral("0316999"), QStringLiteral("0123"));
        addCall(db, QStringLiteral("0316471011"), QStringLiteral("5"), QStringLiteral("Neu'land"), 2.0);
        // Reference data that came after the import.
        exec(db, "INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('GRZ', 'Graz', '0316999')");
        exec(db, "INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('LB', 'Leibnitz', '0316471*')");
        exec(db, "INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) VALUES ('GRZ', '123', 37000, 38000, 'K-123')");
        exec(db, "INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES ('Mobil', 'FZ', 10, 'I')");
        t.lists().LoadFilialen();   // loaded before the change: the run must read them anew

        const RecalcOutcome outcome = RecalculateEGN(db, t.lists());
        QCOMPARE(outcome.visited, 2);
        QCOMPARE(outcome.failed, 0);
        QCOMPARE(RecalcEndTexts(outcome), QStringList{QStringLiteral("2 Done.")});

        QCOMPARE(value(t, "FilialeID", 1).toString(), QStringLiteral("GRZ"));
        QCOMPARE(value(t, "Nebenstelle", 1).toString(), QStringLiteral("123"));
        QCOMPARE(value(t, "Kostenstelle", 1).toString(), QStringLiteral("K-123"));
        QCOMPARE(value(t, "IAS", 1).toString(), QStringLiteral("I"));
        QCOMPARE(value(t, "BetragEuro", 1).toDouble(), 1.0);
        QCOMPARE(value(t, "Betrag", 1).toDouble(), 13.7603);
        QCOMPARE(value(t, "RabattProz", 1).toDouble(), 10.0);
        QCOMPARE(value(t, "RabattEuro", 1).toDouble(), 0.9);
        // The extension comes from the calling number of a branch ending in "*".
        QCOMPARE(value(t, "FilialeID", 2).toString(), QStringLiteral("LB"));
        QCOMPARE(value(t, "Nebenstelle", 2).toString(), QStringLiteral("11"));
        QCOMPARE(value(t, "Kostenstelle", 2).toString(), QStringLiteral("x"));
        // An unknown zone, apostrophe and all, is added; without a discount the amounts stay.
        QCOMPARE(t.scalar("SELECT count(*) FROM Zonenrabatte WHERE Zone = 'Neu''land' AND GZ = 'FZ'").toInt(), 1);
        QCOMPARE(value(t, "Rabatt", 2).toDouble(), value(t, "Betrag", 2).toDouble());
        QCOMPARE(value(t, "RabattEuro", 2).toDouble(), 2.0);
        QCOMPARE(value(t, "RabattProz", 2).toDouble(), 0.0);
        // Nothing else is written: not the business time, the end, the file, the prefixes.
        for (int id : {1, 2}) {
            QCOMPARE(value(t, "GZ", id).toString(), QStringLiteral("FZ"));
            QCOMPARE(value(t, "EndeZeit", id).toDouble(), 1.5);
            QCOMPARE(value(t, "DateiID", id).toInt(), 7);
            QCOMPARE(value(t, "UniqueCallID", id).toString(), QStringLiteral("U1"));
            QCOMPARE(value(t, "Nebenstelle1", id).toString() + value(t, "Nebenstelle6", id).toString(), QStringLiteral("9987654"));
            QCOMPARE(value(t, "Zone", id).toString().isEmpty(), false);
        }
        QVERIFY(ui.messages.isEmpty());

        // A zone's discount set to 0 gives the undiscounted amounts.
        exec(db, "UPDATE Zonenrabatte SET RabattProz = 0 WHERE Zone = 'Mobil'");
        RecalculateEGN(db, t.lists());
        QCOMPARE(value(t, "Rabatt", 1).toDouble(), value(t, "Betrag", 1).toDouble());
        QCOMPARE(value(t, "RabattEuro", 1).toDouble(), 1.0);
        QCOMPARE(value(t, "RabattProz", 1).toDouble(), 0.0);
    }

    void failingCalls_data()
    {
        QTest::addColumn<int>("calls");
        QTest::addColumn<QList<int>>("failing");
        QTest::addColumn<int>("visited");
        QTest::addColumn<int>("failed");
        QList<int> three{17, 500, 1000};
        QList<int> many;
        for (int i = 0; i < 25; ++i)
            many << 700 + 30 * i;   // the 20th is call 1270
        QTest::newRow("3 of 1000") << 1000 << three << 1000 << 3;
        QTest::newRow("25 of 2000 stop at the 20th") << 2000 << many << 1270 << 20;
    }
    void failingCalls()
    {
        QFETCH(int, calls);
        QFETCH(QList<int>, failing);
        QFETCH(int, visited);
        QFETCH(int, failed);
        RecordingUi ui;
        TestDb t;
        addCalls(t, calls, failing);
        QList<int> reported;
        const RecalcOutcome outcome = RecalculateEGN(t.db(), t.lists(), [&](int n, int total) {
            reported << n;
            return total == calls;
        });
        QCOMPARE(outcome.visited, visited);
        QCOMPARE(outcome.failed, failed);
        QCOMPARE(RecalcEndTexts(outcome),
                 (QStringList{QString::number(visited) + QStringLiteral(" Done."),
                              QStringLiteral("ABBRUCH: %1 Fehler, nur %2 bearbeitet.").arg(failed).arg(visited)}));
        QCOMPARE(reported.size(), visited / 20);
        QCOMPARE(reported.constFirst(), 20);
        QCOMPARE(reported.constLast(), visited / 20 * 20);
        // Failed calls and those after the stop are as they were, every other call is new.
        const int renewed = t.scalar("SELECT count(*) FROM EGN WHERE FilialeID = 'x'").toInt();
        QCOMPARE(renewed, visited - failed);
        QCOMPARE(t.scalar("SELECT max(ID) FROM EGN WHERE FilialeID = 'x'").toInt() <= visited, true);
        for (int id : failing)
            QCOMPARE(value(t, "FilialeID", id).toString(), QStringLiteral("alt"));
        QVERIFY(ui.messages.isEmpty());
    }

    void stopKeepsWhatWasDone()
    {
        RecordingUi ui;
        TestDb t;
        addCalls(t, 300, {});
        const RecalcOutcome outcome = RecalculateEGN(t.db(), t.lists(), [](int n, int) { return n < 60; });
        QCOMPARE(outcome.visited, 60);
        QVERIFY(outcome.stopped);
        QCOMPARE(RecalcEndTexts(outcome).constLast(), QStringLiteral("ABBRUCH: 0 Fehler, nur 60 bearbeitet."));
        QCOMPARE(t.scalar("SELECT count(*) FROM EGN WHERE FilialeID = 'x'").toInt(), 60);
        QCOMPARE(t.scalar("SELECT max(ID) FROM EGN WHERE FilialeID = 'x'").toInt(), 60);
        QVERIFY(!t.db().inTransaction());
    }

    void writeRefusedKeepsTheCall()
    {
        // The engine refuses the write of one call: that call fails, the others are written.
        RecordingUi ui;
        TestDb t;
        addCall(t.db(), QStringLiteral("0316999"), QStringLiteral("1"));
        addCall(t.db(), QStringLiteral("0316999"), QStringLiteral("2"));
        exec(t.db(), "INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('GRZ', 'Graz', '0316999')");
        exec(t.db(), "CREATE TEMP TRIGGER refuse BEFORE UPDATE ON EGN WHEN NEW.Nebenstelle = '2' "
                     "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END");
        const RecalcOutcome outcome = RecalculateEGN(t.db(), t.lists());
        QCOMPARE(outcome.failed, 1);
        QCOMPARE(value(t, "FilialeID", 1).toString(), QStringLiteral("GRZ"));
        QCOMPARE(value(t, "FilialeID", 2).toString(), QStringLiteral("alt"));
        QCOMPARE(value(t, "Kostenstelle", 2).toString(), QStringLiteral("alt"));
    }

    void lockedDatabaseChangesNothing()
    {
        RecordingUi ui;
        TestDb t;
        addCalls(t, 50, {});
        RuboDatabase other(QStringLiteral("other"));
        other.connect(t.dm().databaseFile(), false);
        other.startTransaction();
        t.db().setBusyTimeout(50);
        const RecalcOutcome outcome = RecalculateEGN(t.db(), t.lists());
        other.rollback();
        QVERIFY2(outcome.error.startsWith(QStringLiteral("Die Datenbank ist gesperrt")), qPrintable(outcome.error));
        QCOMPARE(outcome.visited, 0);
        QCOMPARE(RecalcEndTexts(outcome).constLast(), QStringLiteral("ABBRUCH: 0 Fehler, nur 0 bearbeitet."));
        QCOMPARE(t.scalar("SELECT count(*) FROM EGN WHERE FilialeID = 'alt'").toInt(), 50);
    }
};

QTEST_GUILESS_MAIN(TestRecalculation)
#include "TestRecalculation.moc"
