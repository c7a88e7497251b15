#include "database/Conversions.h"
#include "database/RuboEngine.h"
#include "referencedata/RecordTable.h"
#include "referencedata/ReferenceChecks.h"
#include "support/RecordingUi.h"
#include "support/TestDb.h"

#include <QAbstractItemModelTester>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString kTool = QStringLiteral(RUBO_BUILD_DIR "/cli/rubotool");

struct Fixture
{
    TestDb t;
    RecordingUi ui;

    QStringList column(const QString& sql) { return t.column(sql); }
};

// The branch table as its editor holds it, with the editor's checks.
struct Filialen : Fixture
{
    RecordTable table{t.db(), QStringLiteral("Filialen"), {QStringLiteral("ANummer"), QStringLiteral("Kurz"), QStringLiteral("Name")}};
    Filialen()
    {
        t.db().execute(QStringLiteral("INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('GRZ', 'Graz', '0316*'), ('WIE', 'Wien', '01*')"));
        table.beforePost = [this](RecordTable& r) {
            const QString refusal = FilialePostRefusal(t.db(), r);
            if (!refusal.isEmpty())
                ui.messageOk(refusal, RuboUi::MsgKind::Information);
            return refusal.isEmpty();
        };
        table.beforeDelete = [this](RecordTable& r, int row) {
            const QString refusal = FilialeDeleteRefusal(t.db(), VariantToText(r.value(row, QStringLiteral("Kurz"))));
            if (!refusal.isEmpty())
                ui.messageOk(refusal, RuboUi::MsgKind::Information);
            return refusal.isEmpty();
        };
        table.open();
    }
};

} // namespace

class TestRecordTable : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void editingRowByRow()
    {
        Filialen f;
        QAbstractItemModelTester tester(&f.table, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy editing(&f.table, &RecordTable::editingChanged);
        QCOMPARE(f.table.recordCount(), 2);

        // An edit stays in the buffer until it is posted.
        QVERIFY(f.table.setData(f.table.index(1, 2), QStringLiteral("Wien Mitte")));
        QCOMPARE(f.table.state(), RecordTable::State::Edit);
        QCOMPARE(f.table.data(f.table.index(1, 2)).toString(), QStringLiteral("Wien Mitte"));
        QCOMPARE(f.column("SELECT Name FROM Filialen WHERE Kurz = 'WIE'"), QStringList{"Wien"});
        QCOMPARE(f.table.headerData(1, Qt::Vertical).toString(), QStringLiteral("I"));
        QVERIFY(f.table.submit());
        QCOMPARE(f.column("SELECT Name FROM Filialen WHERE Kurz = 'WIE'"), QStringList{"Wien Mitte"});
        QCOMPARE(editing.size(), 2);

        // A cancelled edit leaves the row as stored; a cancelled new row goes.
        f.table.setValue(0, QStringLiteral("Name"), QStringLiteral("Gratz"));
        f.table.revert();
        QCOMPARE(f.table.value(0, QStringLiteral("Name")).toString(), QStringLiteral("Graz"));
        QVERIFY(f.table.insertRows(2, 1));
        QCOMPARE(f.table.recordCount(), 3);
        f.table.revert();
        QCOMPARE(f.table.recordCount(), 2);

        // Editing another row posts the first; an empty text has no value.
        f.table.setValue(0, QStringLiteral("Name"), QStringLiteral(""));
        f.table.setValue(1, QStringLiteral("Name"), QStringLiteral("Wien"));
        QCOMPARE(f.column("SELECT coalesce(Name, 'NULL') FROM Filialen ORDER BY rowid"), (QStringList{"NULL", "Wien Mitte"}));
        QVERIFY(f.table.post());

        // Two equal rows stay two rows: deleting one keeps the other.
        f.t.db().execute(QStringLiteral("INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('LNZ', 'Linz', '0732*'), ('LNZ', 'Linz', '0732*')"));
        f.table.refresh();
        QCOMPARE(f.table.recordCount(), 4);
        f.ui.answers = {};
        QVERIFY(f.table.removeRows(3, 1));
        QCOMPARE(f.column("SELECT Kurz FROM Filialen ORDER BY rowid"), (QStringList{"GRZ", "WIE", "LNZ"}));
    }

    void aNumberFieldTakesOnlyNumbers()
    {
        Fixture f;
        RecordTable table(f.t.db(), QStringLiteral("Zonenrabatte"),
                          {QStringLiteral("Zone"), QStringLiteral("GZ"), QStringLiteral("RabattProz"), QStringLiteral("IAS")});
        table.open();
        QVERIFY(table.insert(0));
        QVERIFY(table.setValue(0, QStringLiteral("RabattProz"), QStringLiteral("12,5")));
        QCOMPARE(table.buffer(QStringLiteral("RabattProz")).toDouble(), 12.5);
        QVERIFY(!table.setValue(0, QStringLiteral("RabattProz"), QStringLiteral("zwölf")));
        QCOMPARE(f.ui.messages, QStringList{"'zwölf' ist kein gültiger Gleitkommawert."});
        QCOMPARE(table.buffer(QStringLiteral("RabattProz")).toDouble(), 12.5);
        QCOMPARE(table.fieldWidth(QStringLiteral("Zone")), 50);
        QCOMPARE(table.fieldWidth(QStringLiteral("RabattProz")), 0);
    }

    void aRefusedOrFailedPostKeepsTheRowInEdit()
    {
        Filialen f;
        // A calling number without a short name; neither value: only the short-name message.
        QVERIFY(f.table.insert(2));
        f.table.setValue(2, QStringLiteral("ANummer"), QStringLiteral("0662*"));
        QVERIFY(!f.table.post());
        f.table.setValue(2, QStringLiteral("ANummer"), QStringLiteral(""));
        QVERIFY(!f.table.post());
        QCOMPARE(f.ui.messages, (QStringList{"Sie müßen eine Kurzbezeichnung eingeben.", "Sie müßen eine Kurzbezeichnung eingeben."}));
        f.table.setValue(2, QStringLiteral("Kurz"), QStringLiteral("SBG"));
        QVERIFY(!f.table.post());
        QCOMPARE(f.ui.messages.last(), QStringLiteral("Sie müßen eine ANummer eingeben."));
        QCOMPARE(f.table.state(), RecordTable::State::Insert);
        QCOMPARE(f.column("SELECT count(*) FROM Filialen"), QStringList{"2"});

        // A calling number of another branch would make a call's branch a matter of row order.
        f.table.setValue(2, QStringLiteral("ANummer"), QStringLiteral("01*"));
        QVERIFY(!f.table.post());
        QCOMPARE(f.ui.messages.last(), QStringLiteral("Die ANummer \u201E01*\u201C ist schon der Filiale \u201EWIE\u201C zugeordnet."));
        f.table.setValue(2, QStringLiteral("ANummer"), QStringLiteral("0662*"));
        QVERIFY(f.table.post());
        QCOMPARE(f.column("SELECT Kurz FROM Filialen ORDER BY rowid"), (QStringList{"GRZ", "WIE", "SBG"}));
        // The row itself is no duplicate of itself.
        f.table.setValue(2, QStringLiteral("Name"), QStringLiteral("Salzburg"));
        QVERIFY(f.table.post());

        // A failure of the engine is shown, and the row stays open for mending.
        f.ui.clear();
        f.table.setValue(2, QStringLiteral("Kurz"), QStringLiteral("SBG1"));
        f.table.setBuffer(QStringLiteral("Kurz"), QStringLiteral("SALZB"));   // wider than the column
        QVERIFY(!f.table.post());
        QCOMPARE(f.ui.messageKinds, QList<RuboUi::MsgKind>{RuboUi::MsgKind::Error});
        QVERIFY(f.table.editing());
        f.table.cancel();
        QCOMPARE(f.column("SELECT Kurz FROM Filialen ORDER BY rowid"), (QStringList{"GRZ", "WIE", "SBG"}));
    }

    void aBranchThatAssignmentsUseStays()
    {
        Filialen f;
        f.t.db().execute(QStringLiteral("INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) "
                                        "VALUES ('GRZ', '11', 0, 2958465, 'VK')"));
        QCOMPARE(KostenstellenDerFiliale(f.t.db(), QStringLiteral("GRZ")), 1);
        const QString inUse = QStringLiteral("In der Kostenstellenzuordnung sind noch Einträge  zu dieser Filiale enthalten.");
        // Neither deleted nor renamed; its other fields may change.
        QVERIFY(!f.table.remove(0));
        QCOMPARE(f.ui.messages.last(), inUse);
        f.table.setValue(0, QStringLiteral("Kurz"), QStringLiteral("GZ"));
        QVERIFY(!f.table.post());
        QCOMPARE(f.ui.messages.last(), inUse);
        f.table.setValue(0, QStringLiteral("Kurz"), QStringLiteral("GRZ"));
        f.table.setValue(0, QStringLiteral("Name"), QStringLiteral("Zentrale"));
        QVERIFY(f.table.post());
        // Without the assignment it goes.
        f.t.db().execute(QStringLiteral("DELETE FROM Kostenstellen"));
        QVERIFY(f.table.remove(0));
        QCOMPARE(f.column("SELECT Kurz FROM Filialen"), QStringList{"WIE"});
    }

    void zoneRows()
    {
        Fixture f;
        f.t.db().execute(QStringLiteral("INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES ('Wien', 'GZ', 10, 'I')"));
        RecordTable table(f.t.db(), QStringLiteral("Zonenrabatte"),
                          {QStringLiteral("Zone"), QStringLiteral("GZ"), QStringLiteral("RabattProz"), QStringLiteral("IAS")});
        table.beforePost = [&](RecordTable& r) {
            const QString refusal = ZonenrabattPostRefusal(f.t.db(), r);
            if (!refusal.isEmpty())
                f.ui.messageOk(refusal, RuboUi::MsgKind::Information);
            return refusal.isEmpty();
        };
        table.open();

        // An empty discount is 0; the key is zone and class.
        QVERIFY(table.insert(1));
        table.setValue(1, QStringLiteral("Zone"), QStringLiteral("Z1"));
        table.setValue(1, QStringLiteral("GZ"), QStringLiteral("GZ"));
        QVERIFY(table.post());
        QCOMPARE(f.column("SELECT RabattProz FROM Zonenrabatte WHERE Zone = 'Z1'"), QStringList{"0"});
        QCOMPARE(ZonenrabattCalcKey(QStringLiteral("Z1"), QStringLiteral("GZ")), QStringLiteral("Z1/GZ"));

        // A second row of a zone and class; more than 100 percent. A negative discount stays possible.
        QVERIFY(table.insert(2));
        table.setValue(2, QStringLiteral("Zone"), QStringLiteral("Wien"));
        table.setValue(2, QStringLiteral("GZ"), QStringLiteral("GZ"));
        QVERIFY(!table.post());
        QCOMPARE(f.ui.messages.last(), QStringLiteral("Die Zone \u201EWien\u201C hat schon eine Zeile für \u201EGZ\u201C."));
        table.setValue(2, QStringLiteral("GZ"), QStringLiteral("FZ"));
        table.setValue(2, QStringLiteral("RabattProz"), QStringLiteral("100,5"));
        QVERIFY(!table.post());
        QCOMPARE(f.ui.messages.last(), QStringLiteral("Ein Rabatt von mehr als 100 Prozent ist nicht möglich."));
        table.setValue(2, QStringLiteral("RabattProz"), QStringLiteral("-5"));
        QVERIFY(table.post());
        QCOMPARE(f.column("SELECT GZ || ' ' || RabattProz FROM Zonenrabatte WHERE Zone = 'Wien' ORDER BY rowid"),
                 (QStringList{"GZ 10.0", "FZ -5.0"}));
        // Its own row is no second row.
        table.setValue(0, QStringLiteral("RabattProz"), QStringLiteral("12"));
        QVERIFY(table.post());
    }

    void deletingALoadedFileIsWhole()
    {
        Fixture f;
        f.t.db().execute(QStringLiteral("INSERT INTO GeladeneDateien (DateiID, DateiName, OriginalName, AnzahlEGN) VALUES "
                                        "(1, 'a.edi', '', 2), (2, 'b.edi', '', 1)"));
        f.t.db().execute(QStringLiteral("INSERT INTO EGN (DateiID, BeginZeit) VALUES (1, 1), (1, 2), (2, 3)"));
        QCOMPARE(f.t.dm().DeleteGeladeneDatei(1), 2);
        QCOMPARE(f.column("SELECT DateiID FROM EGN"), QStringList{"2"});
        QCOMPARE(f.column("SELECT DateiID FROM GeladeneDateien"), QStringList{"2"});

        // When the calls cannot go, the registry row stays with them.
        f.t.db().execute(QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE DELETE ON EGN BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END"));
        QVERIFY_THROWS_EXCEPTION(RuboError, f.t.dm().DeleteGeladeneDatei(2));
        QCOMPARE(f.column("SELECT DateiID FROM GeladeneDateien"), QStringList{"2"});
        QCOMPARE(f.column("SELECT count(*) FROM EGN"), QStringList{"1"});
    }

    void theCommandLineListsAndDeletesFiles()
    {
        TestDb t;
        t.db().execute(QStringLiteral("INSERT INTO GeladeneDateien (DateiID, DateiName, OriginalName, AnzahlEGN) VALUES "
                                      "(1, '/d/EGN.edi', '/d/jan.zip', 2), (2, '/d/b.edi', '', 1)"));
        t.db().execute(QStringLiteral("INSERT INTO EGN (DateiID, BeginZeit) VALUES (1, 1), (1, 2), (2, 3)"));
        const QString db = t.dm().databaseFile();
        const auto run = [&](const QStringList& args, int& code) {
            QProcess p;
            p.start(kTool, QStringList{"--db", db} + args);
            p.waitForFinished(30000);
            code = p.exitCode();
            return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        };
        int code = -1;
        QCOMPARE(run({"files"}, code), QStringLiteral("DateiID\tAnzahlEGN\tDateiName\tOriginalName\n1\t2\t/d/EGN.edi\t/d/jan.zip\n"
                                                      "2\t1\t/d/b.edi\t\n"));
        QCOMPARE(code, 0);
        QCOMPARE(run({"delete-file", "1"}, code), QStringLiteral("Es wurden 2 Einträge gelöscht.\n"));
        QCOMPARE(code, 0);
        QVERIFY(run({"delete-file", "7"}, code).contains(QStringLiteral("DateiID 7 ist nicht geladen")));
        QCOMPARE(code, 1);
        QCOMPARE(t.scalar(QStringLiteral("SELECT count(*) FROM EGN")).toInt(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRecordTable)
#include "TestRecordTable.moc"
