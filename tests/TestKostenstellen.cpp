#include "database/Conversions.h"
#include "database/RuboEngine.h"
#include "import/ImportDriver.h"
#include "import/Recalculation.h"
#include "referencedata/Kostenstellen.h"
#include "support/RecordingUi.h"
#include "support/TestDb.h"

#include <QTest>

#include <limits>

namespace {

struct Row
{
    QString FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle;
    bool operator==(const Row& o) const
    {
        return FilialeID == o.FilialeID && Nebenstelle == o.Nebenstelle && VonZeit == o.VonZeit && BisZeit == o.BisZeit
            && Kostenstelle == o.Kostenstelle;
    }
};

char* toString(const Row& r)
{
    return qstrdup(QStringLiteral("[%1|%2|%3|%4|%5]").arg(r.FilialeID, r.Nebenstelle, r.VonZeit, r.BisZeit, r.Kostenstelle).toUtf8());
}

struct Fixture
{
    TestDb t;
    RecordingUi ui;

    // A stored assignment; the texts as the editor writes them (" " for none).
    qint64 add(const QString& filiale, const QString& nebenstelle, const QString& von, const QString& bis, const QString& ks)
    {
        RuboStatement s(t.db(), QStringLiteral("INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) "
                                               "VALUES (?1, ?2, ?3, ?4, ?5)"));
        s.bindText(1, filiale);
        s.bindText(2, nebenstelle);
        s.bindDouble(3, ParseDateLenient(von, 1900, 1, 1));
        s.bindDouble(4, ParseDateLenient(bis, 9999, 12, 31));
        s.bindText(5, ks);
        s.step();
        t.lists().SetKostenstellenDirty();
        return t.scalar(QStringLiteral("SELECT last_insert_rowid()")).toLongLong();
    }
    QList<Row> rows()
    {
        QList<Row> out;
        RuboStatement s(t.db(), QStringLiteral("SELECT FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle FROM Kostenstellen ORDER BY ID"));
        while (s.step())
            out << Row{s.column(0).toString(), s.column(1).toString(), FormatSerialDate(s.column(2).toDouble()),
                       FormatSerialDate(s.column(3).toDouble()), s.column(4).toString()};
        return out;
    }
    int count() { return t.scalar(QStringLiteral("SELECT count(*) FROM Kostenstellen")).toInt(); }
    KostenstellenErgebnis neu(const KostenstellenEingabe& e) { return KostenstellenNeu(t.db(), t.lists(), e); }
    KostenstellenErgebnis aendern(const QList<qint64>& ids, const KostenstellenEingabe& e)
    {
        return KostenstellenAendern(t.db(), t.lists(), ids, e);
    }
    // The engine refuses rows of one extension from now on, as a lock or a full disk would.
    void failAtExtension(const QString& nebenstelle)
    {
        t.db().execute(QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE INSERT ON Kostenstellen WHEN NEW.Nebenstelle = '%1' "
                                      "BEGIN SELECT RAISE(ABORT, 'database is locked'); END").arg(nebenstelle));
        t.db().execute(QStringLiteral("CREATE TEMP TRIGGER refuseUpdate BEFORE UPDATE ON Kostenstellen WHEN NEW.Nebenstelle = '%1' "
                                      "BEGIN SELECT RAISE(ABORT, 'database is locked'); END").arg(nebenstelle));
    }
};

KostenstellenEingabe input(const QString& filiale, const QString& neb, const QString& bis, const QString& von,
                           const QString& bisZeit, const QString& ks)
{
    return {filiale, neb, bis, von, bisZeit, ks};
}

const QString kConflict2003 = QStringLiteral("\nFiliale 'A' Nebenstelle '200' Gültig-Von '31.12.2003' Gültig Bis '31.12.9999' "
                                             "\nwurde bereits der Kostenstelle 'K1' Gültig-Von '01.01.2003' Gültig Bis "
                                             "'31.12.2003' zugewiesen.");

} // namespace

Q_DECLARE_METATYPE(KostenstellenFilterFelder)

class TestKostenstellen : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void newRowsOfOneExtensionOrARange()
    {
        Fixture f;
        // Leading zeros go; no question for a single extension.
        QCOMPARE(f.neu(input("A", "0123", "", "", "", "K1")), KostenstellenErgebnis::Gespeichert);
        QVERIFY(f.ui.questions.isEmpty());
        QCOMPARE(f.rows(), (QList<Row>{{"A", "123", "01.01.1900", "31.12.9999", "K1"}}));

        // A range asks, then stores one row per extension.
        f.ui.answers = {true};
        QCOMPARE(f.neu(input("B", "100", "105", "1.1.2003", "31.12.2003", " K2 ")), KostenstellenErgebnis::Gespeichert);
        QCOMPARE(f.ui.questions, QStringList{"Wollen Sie wirklich die Nebenstellen 100 bis 105 eingeben ?"});
        const QList<Row> all = f.rows();
        QCOMPARE(all.size(), 7);
        for (int i = 1; i <= 6; ++i)
            QCOMPARE(all.at(i), (Row{"B", QString::number(99 + i), "01.01.2003", "31.12.2003", "K2"}));

        // No: nothing is tested or written.
        f.ui.clear();
        f.ui.answers = {false};
        QCOMPARE(f.neu(input("B", "100", "105", "1.1.2003", "31.12.2003", "K2")), KostenstellenErgebnis::Abgelehnt);
        QVERIFY(f.ui.messages.isEmpty());
        QCOMPARE(f.count(), 7);

        // A range end below the start asks nothing and stores nothing; a text that is no number is
        // extension 0.
        f.ui.clear();
        QCOMPARE(f.neu(input("C", "50", "40", "", "", "K3")), KostenstellenErgebnis::Gespeichert);
        QCOMPARE(f.count(), 7);
        QCOMPARE(f.neu(input("C", "12a", "", "", "", "K4")), KostenstellenErgebnis::Gespeichert);
        QVERIFY(f.ui.questions.isEmpty());
        QCOMPARE(f.rows().at(7).Nebenstelle, QStringLiteral("0"));

        // "-" is stored as the branch text "-"; no branch is a single space.
        QCOMPARE(f.neu(input("-", "7", "", "", "", "K5")), KostenstellenErgebnis::Gespeichert);
        QCOMPARE(f.neu(input("", "8", "", "", "", "K5")), KostenstellenErgebnis::Gespeichert);
        QCOMPARE(f.rows().at(8).FilialeID, QStringLiteral("-"));
        QCOMPARE(f.rows().at(9).FilialeID, QStringLiteral(" "));
    }

    void rangeEndsAndBranchWideRows()
    {
        Fixture f;
        // The largest extension ends the range.
        f.ui.answers = {true};
        const qint32 top = std::numeric_limits<qint32>::max();
        QCOMPARE(f.neu(input("A", QString::number(top - 2), QString::number(top), "", "", "K")), KostenstellenErgebnis::Gespeichert);
        QCOMPARE(f.count(), 3);
        QCOMPARE(f.rows().last().Nebenstelle, QString::number(top));

        // Without an extension a range end means nothing: one row for the whole branch, no question.
        f.ui.clear();
        QCOMPARE(f.neu(input("W", "", "20", "", "31.12.2003", "KW")), KostenstellenErgebnis::Gespeichert);
        QVERIFY(f.ui.questions.isEmpty());
        QCOMPARE(f.count(), 4);
        QCOMPARE(f.rows().last(), (Row{"W", " ", "01.01.1900", "31.12.2003", "KW"}));

        // A second row of the whole branch that overlaps would leave the lookup's winner to chance.
        QCOMPARE(f.neu(input("W", "", "", "31.12.2003", "", "KX")), KostenstellenErgebnis::Abgelehnt);
        QCOMPARE(f.ui.messages.last(),
                 QStringLiteral("Eingabefehler\nFiliale 'W' Nebenstelle '' Gültig-Von '31.12.2003' Gültig Bis '31.12.9999' "
                                "\nwurde bereits der Kostenstelle 'KW' Gültig-Von '01.01.1900' Gültig Bis '31.12.2003' zugewiesen."));
        QCOMPARE(f.ui.messageKinds.last(), RuboUi::MsgKind::Error);
        // From the next day on it is free; another branch never collides.
        QCOMPARE(f.neu(input("W", "", "", "1.1.2004", "", "KX")), KostenstellenErgebnis::Gespeichert);
        QCOMPARE(f.neu(input("V", "", "", "1.1.2003", "", "KV")), KostenstellenErgebnis::Gespeichert);
        QCOMPARE(f.count(), 6);
    }

    void conflictsWithExistingAssignments()
    {
        Fixture f;
        f.add("A", "200", "01.01.2003", "31.12.2003", "K1");
        // The shared day counts.
        QCOMPARE(f.neu(input("A", "200", "", "31.12.2003", "", "K2")), KostenstellenErgebnis::Abgelehnt);
        QCOMPARE(f.ui.messages.last(), QStringLiteral("Eingabefehler") + kConflict2003);
        QCOMPARE(f.neu(input("A", "200", "", "1.1.2004", "", "K2")), KostenstellenErgebnis::Gespeichert);
        QCOMPARE(f.neu(input("B", "200", "", "31.12.2003", "", "K3")), KostenstellenErgebnis::Gespeichert);
        QCOMPARE(f.count(), 3);

        // A row of the whole branch blocks every overlapping extension of the branch.
        f.add("G", " ", "01.01.2003", "31.12.2003", "KG");
        QCOMPARE(f.neu(input("G", "17", "", "1.6.2003", "1.7.2003", "K")), KostenstellenErgebnis::Abgelehnt);
        QVERIFY(f.ui.messages.last().contains(QStringLiteral("der Kostenstelle 'KG'")));
        QCOMPARE(f.neu(input("G", "17", "", "1.1.2004", "", "K")), KostenstellenErgebnis::Gespeichert);
    }

    void theConflictListStopsAtNine_data()
    {
        QTest::addColumn<int>("conflicting");
        QTest::addColumn<bool>("more");
        QTest::newRow("nine") << 9 << false;
        QTest::newRow("twelve") << 12 << true;
    }
    void theConflictListStopsAtNine()
    {
        QFETCH(int, conflicting);
        QFETCH(bool, more);
        Fixture f;
        for (int n = 300; n < 300 + conflicting; ++n)
            f.add("A", QString::number(n), "01.01.2003", "31.12.2003", "K1");
        // No cost centre either: the question comes first, then every fault in one message.
        f.ui.answers = {true};
        QCOMPARE(f.neu(input("A", "300", "320", "1.6.2003", "", "")), KostenstellenErgebnis::Abgelehnt);
        QCOMPARE(f.ui.questions.size(), 1);
        const QString message = f.ui.messages.last();
        QVERIFY(message.startsWith(QStringLiteral("Eingabefehler\nKeine Kostenstelle eingegeben\nFiliale 'A' Nebenstelle '300'")));
        QCOMPARE(int(message.count(QStringLiteral("zugewiesen."))), 9);
        QCOMPARE(message.endsWith(QStringLiteral("\n... und noch mehr Zuordnungsfehler ...")), more);
        QCOMPARE(f.count(), conflicting);
    }

    void thePeriodOfANewRow()
    {
        Fixture f;
        // An end that still holds 0 (the field was not left) is the open end.
        QCOMPARE(f.neu(input("A", "1", "", "1.1.2003", "0", "K")), KostenstellenErgebnis::Gespeichert);
        QCOMPARE(f.rows().last().BisZeit, QStringLiteral("31.12.9999"));
        // A start after the end; an impossible end (01.01.1900 then).
        QCOMPARE(f.neu(input("A", "2", "", "1.1.2004", "31.12.2003", "K")), KostenstellenErgebnis::Abgelehnt);
        QCOMPARE(f.ui.messages.last(), QStringLiteral("Eingabefehler\nKein Zeitbereich eingegeben"));
        QCOMPARE(f.neu(input("A", "2", "", "1.1.2004", "31.2.2004", "K")), KostenstellenErgebnis::Abgelehnt);
        QCOMPARE(f.count(), 1);
    }

    void aFailureStoresNoneOfTheRange()
    {
        Fixture f;
        f.failAtExtension("103");
        f.ui.answers = {true};
        QCOMPARE(f.neu(input("A", "100", "105", "", "", "K")), KostenstellenErgebnis::Fehler);
        QCOMPARE(f.count(), 0);
        QVERIFY(f.ui.messages.last().contains(QStringLiteral("database is locked")));
        QCOMPARE(f.ui.messageKinds.last(), RuboUi::MsgKind::Information);
    }

    void changingRows()
    {
        Fixture f;
        const qint64 a = f.add("A", "10", "01.01.2003", "31.12.2003", "K1");
        const qint64 b = f.add("A", "11", "01.01.2003", "31.12.2003", "K1");
        const qint64 c = f.add("B", "12", "01.01.2003", "31.12.2003", "K1");

        // The extension is written as "&Neu" writes it, so that calls find it.
        QCOMPARE(f.aendern({a}, input("", " 0042", "", "", "", "")), KostenstellenErgebnis::Gespeichert);
        QCOMPARE(f.rows().at(0), (Row{"A", "42", "01.01.2003", "31.12.2003", "K1"}));

        // Only the fields filled in change, on every selected row; "-" removes the branch.
        QCOMPARE(f.aendern({c, b}, input("-", "", "", "", "", "K9")), KostenstellenErgebnis::Gespeichert);
        QCOMPARE(f.rows().at(1), (Row{" ", "11", "01.01.2003", "31.12.2003", "K9"}));
        QCOMPARE(f.rows().at(2), (Row{" ", "12", "01.01.2003", "31.12.2003", "K9"}));

        // An impossible end is 01.01.1900 and out of order: refused, nothing changed.
        f.ui.clear();
        QCOMPARE(f.aendern({a}, input("", "", "", "", "31.2.2004", "")), KostenstellenErgebnis::Abgelehnt);
        QCOMPARE(f.ui.messages, QStringList{"Eingabefehler\nKein Zeitbereich eingegeben"});
        QCOMPARE(f.rows().at(0).BisZeit, QStringLiteral("31.12.2003"));

        // Two rows given one extension would overlap each other.
        QCOMPARE(f.aendern({c, b}, input("", "77", "", "", "", "")), KostenstellenErgebnis::Abgelehnt);
        QVERIFY(f.ui.messages.last().contains(QStringLiteral("Nebenstelle '77'")));
        QCOMPARE(f.rows().at(1).Nebenstelle, QStringLiteral("11"));

        // A row that collides with one not being changed; the row itself is no collision.
        QCOMPARE(f.aendern({b}, input("A", "42", "", "", "", "")), KostenstellenErgebnis::Abgelehnt);
        QCOMPARE(f.aendern({a}, input("", "42", "", "1.2.2003", "", "")), KostenstellenErgebnis::Gespeichert);
        QCOMPARE(f.rows().at(0).VonZeit, QStringLiteral("01.02.2003"));
    }

    void aFailedChangeChangesNoRow()
    {
        Fixture f;
        const qint64 a = f.add("A", "1", "01.01.2003", "31.12.2003", "K1");
        const qint64 b = f.add("A", "2", "01.01.2003", "31.12.2003", "K1");
        const QList<Row> before = f.rows();
        // The first row written is the last selected; the second fails.
        f.t.db().execute(QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE UPDATE ON Kostenstellen WHEN OLD.ID = %1 "
                                        "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END").arg(a));
        QCOMPARE(f.aendern({b, a}, input("", "", "", "", "", "K2")), KostenstellenErgebnis::Fehler);
        QCOMPARE(f.rows(), before);
        QVERIFY(f.ui.messages.last().contains(QStringLiteral("disk I/O error")));
    }

    void deletingRows()
    {
        Fixture f;
        const qint64 a = f.add("A", "1", "01.01.2003", "31.12.2003", "K1");
        const qint64 b = f.add("A", "2", "01.01.2003", "31.12.2003", "K1");
        f.add("A", "3", "01.01.2003", "31.12.2003", "K1");
        QVERIFY(KostenstellenLoeschen(f.t.db(), f.t.lists(), {b, a}));
        QCOMPARE(f.count(), 1);
        QVERIFY(f.ui.messages.isEmpty());
        // The next check sees the list without them.
        QCOMPARE(f.neu(input("A", "1", "", "", "", "K")), KostenstellenErgebnis::Gespeichert);
    }

    void theFilterExpression_data()
    {
        QTest::addColumn<KostenstellenFilterFelder>("felder");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("tag");
        QTest::newRow("none") << KostenstellenFilterFelder{} << QString() << QString();
        QTest::newRow("all four") << KostenstellenFilterFelder{" 1* ", "5.3.03", "K?", "GRZ"}
                                  << QStringLiteral("Nebenstelle LIKE '1*' AND 37685 BETWEEN VonZeit AND BisZeit AND "
                                                    "Kostenstelle LIKE 'K?' AND FilialeID LIKE 'GRZ'")
                                  << QStringLiteral("05.03.2003");
        QTest::newRow("day of this year") << KostenstellenFilterFelder{"", "7.4", "", ""}
                                          << QStringLiteral("37718 BETWEEN VonZeit AND BisZeit") << QStringLiteral("07.04.2003");
        QTest::newRow("apostrophe of a branch") << KostenstellenFilterFelder{"", "", "", "O'N"}
                                                << QStringLiteral("FilialeID LIKE 'O''N'") << QString();
    }
    void theFilterExpression()
    {
        QFETCH(KostenstellenFilterFelder, felder);
        QFETCH(QString, expected);
        QFETCH(QString, tag);
        QCOMPARE(KostenstellenFilter(felder, QDate(2003, 10, 20)), expected);
        if (!tag.isEmpty())
            QCOMPARE(felder.Tag, tag);
    }

    void theFilterSelectsTheRowsOfTheDay()
    {
        Fixture f;
        f.add("O'N", "1", "01.01.2003", "04.03.2003", "K1");
        f.add("O'N", "1", "05.03.2003", "31.12.2003", "K2");
        f.add("GRZ", "2", "01.01.2003", "31.12.2003", "K3");
        KostenstellenFilterFelder felder{"", "5.3.2003", "", "O'N"};
        RuboStatement s(f.t.db(), QStringLiteral("SELECT Kostenstelle FROM Kostenstellen WHERE ") + KostenstellenFilter(felder));
        QStringList found;
        while (s.step())
            found << s.column(0).toString();
        QCOMPARE(found, QStringList{"K2"});
    }

    void aCostCentreTooLongForTheCalls()
    {
        Fixture f;
        QCOMPARE(f.neu(input("A", "1", "", "", "", "Vertrieb-Nord-1")), KostenstellenErgebnis::Gespeichert);
        QCOMPARE(f.ui.messages.last(),
                 QStringLiteral("Die Kostenstelle \u201EVertrieb-Nord-1\u201C hat mehr als 10 Zeichen. Ein Einzelgesprächsnachweis "
                                "nimmt nur 10 Zeichen auf: solange sie so bleibt, werden keine Dateien geladen und die "
                                "Einzelgesprächsnachweise nicht aktualisiert."));
        // The recalculation refuses to start and names the assignment; the calls stay as they were.
        const RecalcOutcome outcome = RecalculateEGN(f.t.db(), f.t.lists());
        QVERIFY(outcome.error.contains(QStringLiteral("\u201EVertrieb-Nord-1\u201C (Filiale \u201EA\u201C, Nebenstelle \u201E1\u201C")));
        QCOMPARE(outcome.visited, 0);
        // So does an import, which stores nothing.
        f.ui.clear();
        ImportFile(f.t.dm(), QStringLiteral(RUBO_SOURCE_DIR "/Data/Anrufe_2003_01.edi"));
        QCOMPARE(f.t.scalar(QStringLiteral("SELECT count(*) FROM GeladeneDateien")).toInt(), 0);
        QVERIFY(f.ui.messages.join(QString()).contains(QStringLiteral("Vertrieb-Nord-1")));
    }

    void branchListAndExitRule()
    {
        Fixture f;
        f.t.db().execute(QStringLiteral("INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('WIE', 'Wien', '01*'), "
                                        "('GRZ', 'Graz', '0316*'), ('WIE', 'Wien 2', '02*')"));
        f.t.lists().SetFilialenDirty();
        QCOMPARE(FilialKurzListe(f.t.lists()).size(), 2);
        for (const char* kept : {"", "-", "x", "WIE", "GRZ"})
            QVERIFY2(FilialFeldBleibt(f.t.lists(), QString::fromUtf8(kept)), kept);
        for (const char* gone : {"wie", "LNZ", "X", " WIE"})
            QVERIFY2(!FilialFeldBleibt(f.t.lists(), QString::fromUtf8(gone)), gone);
    }
};

QTEST_GUILESS_MAIN(TestKostenstellen)
#include "TestKostenstellen.moc"
