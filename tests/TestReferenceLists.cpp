#include "support/RecordingUi.h"
#include "database/ReferenceLists.h"
#include "support/TestDb.h"

#include <QDate>
#include <QTest>
#include <QTime>

namespace {

// "dd.MM.yyyy HH:mm:ss" as a day serial (days since 30.12.1899 plus the fraction of the day).
double serial(const QString& text)
{
    const QDate date = QDate::fromString(text.left(10), QStringLiteral("dd.MM.yyyy"));
    const QTime time = text.size() > 10 ? QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss")) : QTime(0, 0);
    Q_ASSERT(date.isValid() && time.isValid());
    return QDate(1899, 12, 30).daysTo(date) + time.msecsSinceStartOfDay() / 86400000.0;
}

void addFiliale(RuboDatabase& db, const QString& kurz, const QString& aNummer)
{
    RuboStatement s(db, QStringLiteral("INSERT INTO Filialen (Kurz, Name, ANummer) VALUES (?, ?, ?)"));
    s.bindText(1, kurz);
    s.bindText(2, QStringLiteral("Filiale ") + kurz);
    s.bindText(3, aNummer);
    s.step();
}

// "FilialeID|Nebenstelle|VonZeit|BisZeit|Kostenstelle"; an empty date is stored as NULL.
void addKostenstelle(RuboDatabase& db, const QString& row)
{
    const QStringList f = row.split(QLatin1Char('|'));
    Q_ASSERT(f.size() == 5);
    RuboStatement s(db, QStringLiteral("INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) "
                                       "VALUES (?, ?, ?, ?, ?)"));
    s.bindText(1, f[0]);
    s.bindText(2, f[1]);
    f[2].isEmpty() ? s.bindNull(3) : s.bindDouble(3, serial(f[2]));
    f[3].isEmpty() ? s.bindNull(4) : s.bindDouble(4, serial(f[3]));
    s.bindText(5, f[4]);
    s.step();
}

void addZone(RuboDatabase& db, const QString& zone, const QString& gz, double rabatt, const QString& ias)
{
    RuboStatement s(db, QStringLiteral("INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES (?, ?, ?, ?)"));
    s.bindText(1, zone);
    s.bindText(2, gz);
    s.bindDouble(3, rabatt);
    s.bindText(4, ias);
    s.step();
}

qint64 zoneRows(TestDb& t, const QString& zone, const QString& gz)
{
    RuboStatement s(t.db(), QStringLiteral("SELECT COUNT(*) FROM Zonenrabatte WHERE Zone = ? AND GZ = ?"));
    s.bindText(1, zone);
    s.bindText(2, gz);
    s.step();
    return s.column(0).toLongLong();
}

const QString kZoneInsert =
    QStringLiteral("insert into Zonenrabatte (Zone, GZ, RabattProz, IAS) values (Zone_, GZ_, RabattProz_, IAS_)");

} // namespace

class TestReferenceLists : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void branchLookup_data();
    void branchLookup();
    void branchListIsReadOnceUntilMarkedStale();
    void filialeAtFollowsSortedOrder();
    void costCentreLookup_data();
    void costCentreLookup();
    void costCentreWithoutValidityIsRefused_data();
    void costCentreWithoutValidityIsRefused();
    void zoneLookupTakesFirstExactEntry();
    void unknownZoneIsAddedOnce_data();
    void unknownZoneIsAddedOnce();
    void failedZoneInsertIsReportedAndLookupGoesOn();
    void addedZonesMatchAReload();
    void anyZoneDiscount_data();
    void anyZoneDiscount();
};

void TestReferenceLists::branchLookup_data()
{
    QTest::addColumn<QStringList>("branches");   // "Kurz|ANummer", in the order of the table
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("kurz");
    QTest::addColumn<QString>("rest");

    QTest::newRow("longest number wins") << QStringList{"G|0316", "GS|03161"} << "0316123" << true << "GS" << "";
    QTest::newRow("longest number wins, table order reversed")
        << QStringList{"GS|03161", "G|0316"} << "0316123" << true << "GS" << "";
    QTest::newRow("shorter number when the longer does not match")
        << QStringList{"G|0316", "GS|03161"} << "0316999" << true << "G" << "";
    QTest::newRow("star: the rest is handed back") << QStringList{"G|0316*"} << "031642" << true << "G" << "42";
    QTest::newRow("star: number equal to the prefix") << QStringList{"G|0316*"} << "0316" << true << "G" << "";
    QTest::newRow("star counts in the length") << QStringList{"B|0316", "A|03165*"} << "031655" << true << "A" << "5";
    QTest::newRow("star entry shorter than a plain one") << QStringList{"A|03*", "B|0316"} << "031655" << true << "B" << "";
    QTest::newRow("no match gives x") << QStringList{"G|0316", "S|0316*"} << "0317" << false << "x" << "";
    QTest::newRow("empty, blank and bare star never match")
        << QStringList{"L|", "B| ", "S|*"} << "0316" << false << "x" << "";
    QTest::newRow("comparison is case-sensitive") << QStringList{"W|ab"} << "AB1" << false << "x" << "";
    QTest::newRow("prefix must be at the start") << QStringList{"G|316"} << "0316" << false << "x" << "";
    QTest::newRow("rest is cut at 999 characters")
        << QStringList{"G|1*"} << QString(QStringLiteral("1") + QString(1200, QLatin1Char('2'))) << true << "G"
        << QString(999, QLatin1Char('2'));
}

void TestReferenceLists::branchLookup()
{
    QFETCH(QStringList, branches);
    QFETCH(QString, number);
    QFETCH(bool, found);
    QFETCH(QString, kurz);
    QFETCH(QString, rest);

    TestDb t;
    for (const QString& b : branches)
        addFiliale(t.db(), b.section(QLatin1Char('|'), 0, 0), b.section(QLatin1Char('|'), 1));

    QString gotKurz = QStringLiteral("stale"), gotName = QStringLiteral("stale"), gotRest = QStringLiteral("stale");
    QCOMPARE(t.lists().FindFiliale(number, gotKurz, gotName, &gotRest), found);
    QCOMPARE(gotKurz, kurz);
    QCOMPARE(gotName, found ? QStringLiteral("Filiale ") + kurz : QString());
    QCOMPARE(gotRest, rest);
}

void TestReferenceLists::branchListIsReadOnceUntilMarkedStale()
{
    TestDb t;
    addFiliale(t.db(), "G", "0316");
    QVERIFY(t.lists().LoadFilialen());
    QVERIFY(!t.lists().LoadFilialen());

    // A branch added behind the list's back is not seen until someone marks the list stale.
    addFiliale(t.db(), "W", "01");
    QString kurz, name;
    QVERIFY(!t.lists().FindFiliale(u"0123", kurz, name));
    QCOMPARE(t.lists().SetFilialenDirty(true), false);
    QCOMPARE(t.lists().SetFilialenDirty(true), true);
    QVERIFY(t.lists().FindFiliale(u"0123", kurz, name));
    QCOMPARE(kurz, QStringLiteral("W"));
    QVERIFY(!t.lists().LoadFilialen());
}

void TestReferenceLists::filialeAtFollowsSortedOrder()
{
    TestDb t;
    addFiliale(t.db(), "L1", "0");
    addFiliale(t.db(), "L3", "01*");
    addFiliale(t.db(), "L5", "01234");
    QVERIFY(t.lists().FilialeAt(0));
    QCOMPARE(t.lists().FilialeAt(0)->Kurz, QStringLiteral("L5"));
    QCOMPARE(t.lists().FilialeAt(0)->Prefix, QString());
    QCOMPARE(t.lists().FilialeAt(1)->Kurz, QStringLiteral("L3"));
    QCOMPARE(t.lists().FilialeAt(1)->ANummer, QStringLiteral("01*"));
    QCOMPARE(t.lists().FilialeAt(1)->Prefix, QStringLiteral("01"));
    QCOMPARE(t.lists().FilialeAt(2)->Kurz, QStringLiteral("L1"));
    QVERIFY(!t.lists().FilialeAt(3));
    QVERIFY(!t.lists().FilialeAt(-1));
}

void TestReferenceLists::costCentreLookup_data()
{
    QTest::addColumn<QStringList>("entries");   // "FilialeID|Nebenstelle|VonZeit|BisZeit|Kostenstelle"
    QTest::addColumn<QString>("filiale");
    QTest::addColumn<QString>("nebenstelle");
    QTest::addColumn<QString>("zeit");
    QTest::addColumn<QString>("expected");   // "x" means not found

    const QString von = QStringLiteral("01.01.2003 00:00:00");
    const QString bis = QStringLiteral("31.12.2003 00:00:00");
    const QString in = QStringLiteral("15.06.2003 12:00:00");
    const QStringList w1 = {"W1||" + von + "|" + bis + "|A", "W1|42|" + von + "|" + bis + "|B"};

    QTest::newRow("branch and extension first") << w1 << "W1" << "42" << in << "B";
    QTest::newRow("other extension: whole branch") << w1 << "W1" << "43" << in << "A";
    QTest::newRow("before the validity: x") << w1 << "W1" << "42" << "31.12.2002 23:59:59" << "x";
    QTest::newRow("validity starts inclusive") << w1 << "W1" << "43" << von << "A";
    QTest::newRow("validity ends inclusive") << w1 << "W1" << "42" << bis << "B";
    QTest::newRow("end at midnight misses that day's calls") << w1 << "W1" << "42" << "31.12.2003 10:00:00" << "x";
    QTest::newRow("other branch: x") << w1 << "W2" << "42" << in << "x";

    const QString always = QStringLiteral("|01.01.1990 00:00:00|31.12.9999 00:00:00|");
    QTest::newRow("whole branch before extension in any branch")
        << QStringList{"W1|" + always + "A", "|42" + always + "C"} << "W1" << "42" << in << "A";
    QTest::newRow("extension in any branch before everything")
        << QStringList{"|42" + always + "C", "|" + always + "ALLE"} << "W9" << "42" << in << "C";
    QTest::newRow("everything for the rest")
        << QStringList{"|42" + always + "C", "|" + always + "ALLE"} << "W9" << "43" << in << "ALLE";
    QTest::newRow("exact pair ends the walk")
        << QStringList{"W1|0" + always + "Z0", "W1|" + always + "A"} << "W1" << "0" << in << "Z0";
    QTest::newRow("exact pair ends the walk, table order reversed")
        << QStringList{"W1|" + always + "A", "W1|0" + always + "Z0"} << "W1" << "0" << in << "Z0";
    QTest::newRow("no branch: entries of x")
        << QStringList{"W1|" + always + "A", "x|" + always + "OHNE"} << "x" << "5" << in << "OHNE";
    QTest::newRow("no branch: entry for everything")
        << QStringList{"W1|" + always + "A", "|" + always + "ALLE"} << "x" << "5" << in << "ALLE";
    QTest::newRow("leading zeros never equal") << QStringList{"W2|042" + always + "N"} << "W2" << "42" << in << "x";
    QTest::newRow("single blanks mean every branch and extension")
        << QStringList{" | " + always + "LEER"} << "W5" << "77" << in << "LEER";
    QTest::newRow("sorted by extension as a number")
        << QStringList{"|100" + always + "N100", "|" + always + "ALLE", "|9" + always + "N9"} << "W1" << "100" << in
        << "N100";
}

void TestReferenceLists::costCentreLookup()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, filiale);
    QFETCH(QString, nebenstelle);
    QFETCH(QString, zeit);
    QFETCH(QString, expected);

    TestDb t;
    for (const QString& e : entries)
        addKostenstelle(t.db(), e);
    QString got = QStringLiteral("stale");
    QCOMPARE(t.lists().FindKostenstelle(filiale, nebenstelle, serial(zeit), got), expected != QLatin1String("x"));
    QCOMPARE(got, expected);
}

void TestReferenceLists::costCentreWithoutValidityIsRefused_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("VonZeit missing") << "W1|5||31.12.9999 00:00:00|K-17";
    QTest::newRow("BisZeit missing") << "W1|5|01.01.2000 00:00:00||K-17";
}

void TestReferenceLists::costCentreWithoutValidityIsRefused()
{
    QFETCH(QString, entry);
    TestDb t;
    addKostenstelle(t.db(), "W1||01.01.2000 00:00:00|31.12.9999 00:00:00|K-1");
    addKostenstelle(t.db(), entry);
    QString ks;
    try {
        t.lists().FindKostenstelle(u"W1", u"5", serial("01.06.2004 12:00:00"), ks);
        QFAIL("a missing validity date must be refused");
    } catch (const RuboError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("\"K-17\"")), qPrintable(e.message()));
    }
    // The list stays stale, so the next lookup meets the same error instead of a half list.
    QVERIFY_THROWS_EXCEPTION(RuboError, t.lists().LoadKostenstellen());
}

void TestReferenceLists::zoneLookupTakesFirstExactEntry()
{
    RecordingUi ui;
    TestDb t;
    addZone(t.db(), "Fernzone", "GZ", 10, "A");
    addZone(t.db(), "Fernzone", "FZ", 20, "");
    addZone(t.db(), "Fernzone", "GZ", 30, "I");

    float rabatt = -1;
    QString ias = QStringLiteral("stale");
    QVERIFY(t.lists().FindZonenrabatt(u"Fernzone", u"GZ", rabatt, ias));
    QCOMPARE(rabatt, 10.0f);
    QCOMPARE(ias, QStringLiteral("A"));
    QVERIFY(t.lists().FindZonenrabatt(u"Fernzone", u"FZ", rabatt, ias));
    QCOMPARE(rabatt, 20.0f);
    QCOMPARE(ias, QString());

    // Another spelling is another zone, and gets added.
    QVERIFY(!t.lists().FindZonenrabatt(u"fernzone", u"GZ", rabatt, ias));
    QCOMPARE(rabatt, 0.0f);
    QCOMPARE(ias, QString());
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM Zonenrabatte").toInt(), 4);
    QVERIFY(ui.messages.isEmpty());
}

void TestReferenceLists::unknownZoneIsAddedOnce_data()
{
    QTest::addColumn<QString>("zone");
    QTest::newRow("plain name") << "Mobilnetz";
    QTest::newRow("apostrophe") << "Côte d'Ivoire";
    QTest::newRow("empty zone") << "";
}

void TestReferenceLists::unknownZoneIsAddedOnce()
{
    QFETCH(QString, zone);
    RecordingUi ui;
    TestDb t;
    float rabatt = -1;
    QString ias;

    for (int call = 0; call < 3; ++call)
        QCOMPARE(t.lists().FindZonenrabatt(zone, u"FZ", rabatt, ias), call > 0);
    QCOMPARE(zoneRows(t, zone, "FZ"), qint64(1));
    QCOMPARE(rabatt, 0.0f);
    QCOMPARE(ias, QString());

    // Stored as texts and 0, not NULL, under the full name.
    QCOMPARE(t.scalar("SELECT typeof(Zone) || typeof(GZ) || typeof(IAS) FROM Zonenrabatte").toString(),
             QStringLiteral("texttexttext"));
    QCOMPARE(t.scalar("SELECT Zone FROM Zonenrabatte").toString(), zone);
    QCOMPARE(t.scalar("SELECT RabattProz FROM Zonenrabatte").toDouble(), 0.0);

    // The business-time class is part of the key.
    QVERIFY(!t.lists().FindZonenrabatt(zone, u"GZ", rabatt, ias));
    QVERIFY(t.lists().FindZonenrabatt(zone, u"GZ", rabatt, ias));
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM Zonenrabatte").toInt(), 2);
    QVERIFY(ui.messages.isEmpty());
}

void TestReferenceLists::failedZoneInsertIsReportedAndLookupGoesOn()
{
    RecordingUi ui;
    TestDb t;
    const QString tooLong(51, QLatin1Char('Z'));
    float rabatt = -1;
    QString ias = QStringLiteral("stale");
    QVERIFY(!t.lists().FindZonenrabatt(tooLong, u"GZ", rabatt, ias));
    QCOMPARE(rabatt, 0.0f);
    QCOMPARE(ias, QString());
    QCOMPARE(ui.messages.size(), 1);
    QCOMPARE(ui.messageKinds.at(0), RuboUi::MsgKind::Information);
    const QString& text = ui.messages.at(0);
    QVERIFY2(text.startsWith(QStringLiteral("Datenbankfehler beim Einfügen in Tabelle Zonenrabatte.\nMeldung: ")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("CHECK constraint failed")), qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral("\nStmt:") + kZoneInsert), qPrintable(text));
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM Zonenrabatte").toInt(), 0);

    // Other zones are still added.
    QVERIFY(!t.lists().FindZonenrabatt(u"Ortszone", u"GZ", rabatt, ias));
    QCOMPARE(zoneRows(t, "Ortszone", "GZ"), qint64(1));
    QCOMPARE(ui.messages.size(), 1);
}

void TestReferenceLists::addedZonesMatchAReload()
{
    RecordingUi ui;
    TestDb t;
    addZone(t.db(), "Fernzone", "GZ", 10, "A");
    addZone(t.db(), "Fernzone", "GZ", 30, "I");
    float rabatt = -1;
    QString ias;
    const QStringList zones{"Mobilnetz", "Côte d'Ivoire", "", "Fernzone", "fernzone", "Mobilnetz", "Ortszone"};
    for (const QString& zone : zones)
        t.lists().FindZonenrabatt(zone, u"FZ", rabatt, ias);
    QVERIFY(t.lists().FindZonenrabatt(u"Fernzone", u"GZ", rabatt, ias));
    QCOMPARE(rabatt, 10.0f);

    // The list is not read again for a new zone: a row written behind its back stays unseen.
    addZone(t.db(), "Nachgetragen", "GZ", 50, "A");
    QVERIFY(!t.lists().Zonenrabatte().Find(u"Nachgetragen", u"GZ", rabatt, ias));

    auto rows = [&] {
        QStringList r;
        for (const ZonenrabattEntry& e : t.lists().Zonenrabatte().entries())
            r << e.Zone + "|" + e.GZ + "|" + QString::number(e.RabattProz) + "|" + e.IAS;
        return r;
    };
    QStringList added = rows();
    added << "Nachgetragen|GZ|50|A";
    t.lists().SetZonenrabatteDirty();
    t.lists().LoadZonenrabatte();
    QCOMPARE(rows(), added);
    QCOMPARE(added.size(), 2 + 6 + 1);
    QVERIFY(t.lists().FindZonenrabatt(u"Fernzone", u"GZ", rabatt, ias));
    QCOMPARE(rabatt, 10.0f);
    QVERIFY(ui.messages.isEmpty());
}

void TestReferenceLists::anyZoneDiscount_data()
{
    QTest::addColumn<QList<double>>("discounts");
    QTest::addColumn<bool>("expected");
    QTest::newRow("no zones") << QList<double>{} << false;
    QTest::newRow("all zero") << QList<double>{0, 0} << false;
    QTest::newRow("negative only") << QList<double>{-5} << false;
    QTest::newRow("one small discount") << QList<double>{0, 0.25, 0} << true;
}

void TestReferenceLists::anyZoneDiscount()
{
    QFETCH(QList<double>, discounts);
    QFETCH(bool, expected);
    TestDb t;
    int n = 0;
    for (double d : discounts)
        addZone(t.db(), QStringLiteral("Zone %1").arg(++n), "GZ", d, "");
    QCOMPARE(t.lists().AnyZoneDiscount(), expected);
}

QTEST_GUILESS_MAIN(TestReferenceLists)
#include "TestReferenceLists.moc"
