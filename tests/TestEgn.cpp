#include "database/Conversions.h"
#include "database/Egn.h"
#include "support/RecordingUi.h"
#include "database/ReferenceLists.h"
#include "database/Schema.h"
#include "support/TestDb.h"

#include <QDate>
#include <QTest>
#include <QTime>
#include <cmath>
#include <limits>

namespace {

double serial(const QString& text)
{
    const QDate date = QDate::fromString(text.left(10), QStringLiteral("dd.MM.yyyy"));
    const QTime time = QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss"));
    Q_ASSERT(date.isValid() && time.isValid());
    return QDate(1899, 12, 30).daysTo(date) + time.msecsSinceStartOfDay() / 86400000.0;
}

void exec(RuboDatabase& db, const QString& sql, const QVariantList& values)
{
    RuboStatement s(db, sql);
    for (int i = 0; i < values.size(); ++i)
        s.bind(i + 1, values.at(i));
    s.step();
}

void addFiliale(RuboDatabase& db, const QString& kurz, const QString& aNummer)
{
    exec(db, "INSERT INTO Filialen (Kurz, Name, ANummer) VALUES (?, ?, ?)", {kurz, kurz, aNummer});
}

void addKostenstelle(RuboDatabase& db, const QString& filiale, const QString& nst, const QString& von,
                     const QString& bis, const QString& ks)
{
    exec(db, "INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) VALUES (?, ?, ?, ?, ?)",
         {filiale, nst, serial(von), serial(bis), ks});
}

void addZone(RuboDatabase& db, const QString& zone, const QString& gz, double rabatt, const QString& ias)
{
    exec(db, "INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES (?, ?, ?, ?)", {zone, gz, rabatt, ias});
}

TEGN call(const QString& aNummer, qint32 nebenstelle = 0)
{
    TEGN egn;
    egn.ANummer = aNummer;
    egn.Nebenstelle = nebenstelle;
    egn.BeginZeit = serial("15.06.2004 10:00:00");
    egn.Sekunden = 60;
    egn.Betrag = 1;
    egn.Zone = QStringLiteral("Regionalzone");
    return egn;
}

TEGN fullCall()
{
    TEGN e;
    e.ANummer = QStringLiteral("0316123");
    e.Nebenstelle = 123;
    e.BNummer = QStringLiteral("002251234567");
    e.Betrag = 1.5;
    e.BetragEuro = 0.109;
    e.BeginZeit = serial("31.12.2003 23:59:00");
    e.Sekunden = 90;
    e.EndeZeit = e.BeginZeit + 90 / 86400.0;
    e.ZoneCode = 45;
    e.Zone = QStringLiteral("Côte d'Ivoire");
    e.Ziel = QStringLiteral("Abidjan");
    e.Kostenstelle = QStringLiteral("K-1");
    e.IAS = QStringLiteral("A");
    e.DateiID = 3;
    e.FilialeID = QStringLiteral("G");
    e.GZ = QStringLiteral("FZ");
    e.UniqueCallID = QStringLiteral("UC-0001");
    e.Rabatt = 1.2;
    e.RabattEuro = 0.08;
    e.RabattProz = 12.3f;
    return e;
}

} // namespace

class TestEgn : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resetLeavesNothingOfThePreviousCall();
    void amounts_data();
    void amounts();
    void amountsOutOfMeasureAreRefused_data();
    void amountsOutOfMeasureAreRefused();
    void domesticForeignClass_data();
    void domesticForeignClass();
    void extensionFromCallingNumber_data();
    void extensionFromCallingNumber();
    void costCentreFollowsDerivedBranchAndExtension();
    void endTimeAndBusinessTimeClass();
    void newZoneDuringImport();
    void appendStoresEveryColumn();
    void appendRaisesDatabaseErrors_data();
    void appendRaisesDatabaseErrors();
    void appendKeepsTheSchemaLimits();
};

void TestEgn::resetLeavesNothingOfThePreviousCall()
{
    RecordingUi ui;
    TestDb t;
    addFiliale(t.db(), "G", "0316");
    TEGN egn = fullCall();
    egn.Derive(t.lists());   // so that texts shared with the reference lists are in the record too
    egn.Reset();

    for (const QString* s : {&egn.ANummer, &egn.BNummer, &egn.Zone, &egn.Ziel, &egn.Kostenstelle, &egn.IAS,
                             &egn.FilialeID, &egn.GZ, &egn.UniqueCallID})
        QVERIFY(s->isEmpty());
    const double numbers[] = {egn.Betrag, egn.BetragEuro, egn.BeginZeit, egn.EndeZeit, egn.Rabatt, egn.RabattEuro,
                              egn.RabattProz, double(egn.Nebenstelle), double(egn.Sekunden), double(egn.ZoneCode),
                              double(egn.DateiID)};
    for (double n : numbers)
        QCOMPARE(n, 0.0);
    // The list entry the branch came from is untouched.
    QCOMPARE(t.lists().FilialeAt(0)->Kurz, QStringLiteral("G"));
}

void TestEgn::amounts_data()
{
    QTest::addColumn<double>("betrag");
    QTest::addColumn<double>("betragEuro");
    QTest::addColumn<double>("discount");   // below 0: no entry for the zone
    QTest::addColumn<double>("wantBetrag");
    QTest::addColumn<double>("wantBetragEuro");
    QTest::addColumn<double>("wantRabatt");
    QTest::addColumn<double>("wantRabattEuro");

    QTest::newRow("no discount entry") << 12.5 << 0.0 << -1.0 << 12.5 << 12.5 << 12.5 << 12.5;
    QTest::newRow("10 percent") << 12.5 << 0.0 << 10.0 << 12.5 << 12.5 << 11.25 << 11.25;
    QTest::newRow("Euro only") << 0.0 << 2.0 << -1.0 << 27.5206 << 2.0 << 27.5206 << 2.0;
    QTest::newRow("both delivered") << 100.0 << 7.3 << 50.0 << 100.0 << 7.3 << 50.0 << 3.65;
    QTest::newRow("discount 0") << 10.0 << 0.0 << 0.0 << 10.0 << 10.0 << 10.0 << 10.0;
    QTest::newRow("negative discount is none") << 10.0 << 0.0 << -0.0001 << 10.0 << 10.0 << 10.0 << 10.0;
    QTest::newRow("credit") << -5.0 << 0.0 << 10.0 << -5.0 << -5.0 << -4.5 << -4.5;
    QTest::newRow("nothing delivered") << 0.0 << 0.0 << 10.0 << 0.0 << 0.0 << 0.0 << 0.0;
    // The percentage is single precision, the arithmetic double.
    const double p = double(12.3f);
    QTest::newRow("percent as float") << 100.0 << 0.0 << 12.3 << 100.0 << 100.0 << 100 - 100 * p * 0.01
                                      << 100 - 100 * p * 0.01;
}

namespace {

// A call with both amounts into the zone "Fernzone", whose discount entry exists unless below 0.
TEGN callInFernzone(TestDb& t, double betrag, double betragEuro, double discount)
{
    if (discount > -1)
        addZone(t.db(), "Fernzone", "GZ", discount, "");
    TEGN egn = call("0999");
    egn.Zone = QStringLiteral("Fernzone");
    egn.Betrag = betrag;
    egn.BetragEuro = betragEuro;
    return egn;
}

} // namespace

void TestEgn::amounts()
{
    QFETCH(double, betrag);
    QFETCH(double, betragEuro);
    QFETCH(double, discount);
    QFETCH(double, wantBetrag);
    QFETCH(double, wantBetragEuro);
    QFETCH(double, wantRabatt);
    QFETCH(double, wantRabattEuro);

    RecordingUi ui;
    TestDb t;
    TEGN egn = callInFernzone(t, betrag, betragEuro, discount);
    egn.Derive(t.lists());

    QCOMPARE(egn.Betrag, wantBetrag);
    QCOMPARE(egn.BetragEuro, wantBetragEuro);
    QCOMPARE(egn.Rabatt, wantRabatt);
    QCOMPARE(egn.RabattEuro, wantRabattEuro);
    QCOMPARE(egn.RabattProz, discount > -1 ? float(discount) : 0.0f);
}

void TestEgn::amountsOutOfMeasureAreRefused_data()
{
    QTest::addColumn<double>("betrag");
    QTest::addColumn<double>("betragEuro");
    QTest::addColumn<double>("discount");
    QTest::addColumn<QString>("shown");   // empty: accepted
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("1e308 in a discounted zone") << 1e308 << 0.0 << 10.0 << "1e+308";
    QTest::newRow("infinite") << inf << 0.0 << -1.0 << "inf";
    QTest::newRow("minus infinite Euro") << 0.0 << -inf << -1.0 << "-inf";
    QTest::newRow("not a number") << std::nan("") << 0.0 << -1.0 << "nan";
    QTest::newRow("beyond a billion") << 1e9 + 1 << 0.0 << -1.0 << "1000000001";
    QTest::newRow("a billion") << 1e9 << 0.0 << 10.0 << "";
    QTest::newRow("credit of a billion") << -1e9 << 0.0 << -1.0 << "";
    // Beyond a float: the percentage is read as infinite.
    QTest::newRow("discount out of all measure") << 5.0 << 0.0 << 1e300 << "-inf";
}

void TestEgn::amountsOutOfMeasureAreRefused()
{
    QFETCH(double, betrag);
    QFETCH(double, betragEuro);
    QFETCH(double, discount);
    QFETCH(QString, shown);
    RecordingUi ui;
    TestDb t;
    TEGN egn = callInFernzone(t, betrag, betragEuro, discount);
    try {
        egn.Derive(t.lists());
        QVERIFY2(shown.isEmpty(), "accepted");
        QVERIFY(std::isfinite(egn.Rabatt) && std::isfinite(egn.RabattEuro));
    } catch (const RuboError& e) {
        QCOMPARE(e.message(), "Nichtkonvertierbarer Zahlenwert (" + shown + ")");
    }
}

void TestEgn::domesticForeignClass_data()
{
    QTest::addColumn<int>("zoneCode");
    QTest::addColumn<QString>("entryIas");   // "-": no zone entry
    QTest::addColumn<QString>("expected");

    const QList<QPair<int, const char*>> byCode = {{1, "I"},   {10, "I"},  {11, "S"},  {39, "S"},     {40, "A"},
                                                   {150, "A"}, {151, "S"}, {0, ""},    {-3, ""},      {32767, "S"}};
    for (const auto& c : byCode)
        QTest::addRow("code %d", c.first) << c.first << "-" << c.second;
    QTest::newRow("entry decides") << 5 << "A" << "A";
    QTest::newRow("entry decides without code") << 0 << "S" << "S";
    QTest::newRow("empty entry leaves it to the code") << 45 << "" << "A";
}

void TestEgn::domesticForeignClass()
{
    QFETCH(int, zoneCode);
    QFETCH(QString, entryIas);
    QFETCH(QString, expected);

    RecordingUi ui;
    TestDb t;
    if (entryIas != QLatin1String("-"))
        addZone(t.db(), "Regionalzone", "GZ", 0, entryIas);
    TEGN egn = call("0999");
    egn.ZoneCode = zoneCode;
    egn.Derive(t.lists());
    QCOMPARE(egn.IAS, expected);
}

void TestEgn::extensionFromCallingNumber_data()
{
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("delivered");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("filiale");

    QTest::newRow("star: extension from the number") << "012345*" << "0123456789" << 0 << 6789 << "F";
    QTest::newRow("no star: as delivered") << "012345" << "0123456789" << 17 << 17 << "F";
    QTest::newRow("star: leading zeros fall away") << "012345*" << "0123450042" << 0 << 42 << "F";
    QTest::newRow("star: rest 0") << "012345*" << "0123450" << 17 << 0 << "F";
    QTest::newRow("star: nothing after the prefix") << "012345*" << "012345" << 17 << 17 << "F";
    QTest::newRow("star: letters in the rest") << "012345*" << "01234567a" << 17 << 17 << "F";
    QTest::newRow("star: a sign is no digit") << "012345*" << "012345-5" << 17 << 17 << "F";
    QTest::newRow("star: too large for 32 bits") << "012345*" << "01234599999999999" << 17 << 17 << "F";
    QTest::newRow("star: largest 32-bit number") << "012345*" << "0123452147483647" << 17 << 2147483647 << "F";
    QTest::newRow("no branch") << "0999" << "0123456789" << 5 << 5 << "x";
}

void TestEgn::extensionFromCallingNumber()
{
    QFETCH(QString, branch);
    QFETCH(QString, number);
    QFETCH(int, delivered);
    QFETCH(int, expected);
    QFETCH(QString, filiale);

    RecordingUi ui;
    TestDb t;
    addFiliale(t.db(), "F", branch);
    TEGN egn = call(number, delivered);
    egn.Derive(t.lists());
    QCOMPARE(egn.Nebenstelle, expected);
    QCOMPARE(egn.FilialeID, filiale);
}

void TestEgn::costCentreFollowsDerivedBranchAndExtension()
{
    RecordingUi ui;
    TestDb t;
    addFiliale(t.db(), "F", "012345*");
    addKostenstelle(t.db(), "F", "6789", "01.01.2004 00:00:00", "31.12.2004 00:00:00", "K6789");
    addKostenstelle(t.db(), "F", "", "01.01.2004 00:00:00", "31.12.2004 00:00:00", "KF");
    addKostenstelle(t.db(), "x", "", "01.01.2004 00:00:00", "31.12.2004 00:00:00", "OHNE");

    TEGN egn = call("0123456789");
    egn.Derive(t.lists());
    QCOMPARE(egn.Kostenstelle, QStringLiteral("K6789"));

    egn = call("0123451");
    egn.Derive(t.lists());
    QCOMPARE(egn.Kostenstelle, QStringLiteral("KF"));

    egn = call("0999", 6789);
    egn.Derive(t.lists());
    QCOMPARE(egn.FilialeID, QStringLiteral("x"));
    QCOMPARE(egn.Kostenstelle, QStringLiteral("OHNE"));

    egn = call("0123456789");
    egn.BeginZeit = serial("31.12.2004 10:00:00");
    egn.Derive(t.lists());
    QCOMPARE(egn.Kostenstelle, QStringLiteral("x"));
}

void TestEgn::endTimeAndBusinessTimeClass()
{
    RecordingUi ui;
    TestDb t;
    TEGN egn = call("0999");
    egn.BeginZeit = serial("31.12.2003 23:59:00");
    egn.Sekunden = 90;
    egn.Derive(t.lists());
    QCOMPARE(egn.EndeZeit, serial("01.01.2004 00:00:30"));
    QCOMPARE(egn.GZ, QStringLiteral("GZ"));

    egn = call("0999");
    egn.GZ = QStringLiteral("FZ");
    egn.Derive(t.lists());
    QCOMPARE(egn.GZ, QStringLiteral("FZ"));
    QCOMPARE(egn.EndeZeit, egn.BeginZeit + 60 / 86400.0);

    // Before 30.12.1899 the clock still runs forwards, also across midnight into 30.12.1899.
    const QList<QPair<const char*, const char*>> early = {{"28.12.1899 06:00:00", "28.12.1899 06:01:30"},
                                                         {"29.12.1899 23:59:00", "30.12.1899 00:00:30"},
                                                         {"01.01.0001 00:00:00", "01.01.0001 00:01:30"}};
    for (const auto& [begin, end] : early) {
        egn = call("0999");
        egn.BeginZeit = ParseDateTime(QString::fromLatin1(begin));
        egn.Sekunden = 90;
        egn.Derive(t.lists());
        QCOMPARE(FormatSerialDateTime(egn.EndeZeit), QString::fromLatin1(end));
    }
}

void TestEgn::newZoneDuringImport()
{
    RecordingUi ui;
    TestDb t;
    t.db().startTransaction();

    TEGN egn = call("0999");
    egn.Zone = QStringLiteral("Mobilnetz");
    egn.ZoneCode = 45;
    egn.Betrag = 100;
    egn.Derive(t.lists());
    QCOMPARE(egn.RabattProz, 0.0f);
    QCOMPARE(egn.IAS, QStringLiteral("A"));
    QCOMPARE(egn.Rabatt, 100.0);
    QCOMPARE(t.scalar("SELECT Zone || '/' || GZ || '/' || RabattProz || '/' || IAS FROM Zonenrabatte").toString(),
             QStringLiteral("Mobilnetz/GZ/0.0/"));

    // The next call finds the added zone in the list, without a second row.
    TEGN second = call("0999");
    second.Zone = egn.Zone;
    second.Betrag = 100;
    second.Derive(t.lists());
    QCOMPARE(second.RabattProz, 0.0f);
    QCOMPARE(second.IAS, QString());
    QCOMPARE(second.Rabatt, 100.0);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM Zonenrabatte").toInt(), 1);

    t.db().rollback();
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM Zonenrabatte").toInt(), 0);
    QVERIFY(ui.messages.isEmpty());
}

void TestEgn::appendStoresEveryColumn()
{
    TestDb t;
    TblEGN tbl(t.db());
    tbl.open();
    QVERIFY(tbl.isOpen());
    const TEGN e = fullCall();
    QString stage;
    tbl.Append(e, stage);
    QCOMPARE(stage, QStringLiteral("post EGN"));

    TEGN blank;
    blank.Nebenstelle = -7;
    tbl.Append(blank, stage);
    tbl.close();
    QVERIFY(!tbl.isOpen());

    const QVariantList expected = {1, e.ANummer, "123", "text", e.BNummer, e.Betrag, e.BeginZeit, e.Sekunden,
                                   e.ZoneCode, e.Zone, e.Ziel, e.Kostenstelle, e.IAS, e.BetragEuro, e.EndeZeit,
                                   e.DateiID, e.FilialeID, e.GZ, e.UniqueCallID, e.Rabatt, e.RabattEuro,
                                   double(12.3f), 1};
    RuboStatement s(t.db(), QStringLiteral(
        "SELECT ID, ANummer, Nebenstelle, typeof(Nebenstelle), BNummer, Betrag, BeginZeit, Sekunden, ZoneCode, Zone, "
        "Ziel, Kostenstelle, IAS, BetragEuro, EndeZeit, DateiID, FilialeID, GZ, UniqueCallID, Rabatt, RabattEuro, "
        "RabattProz, Nebenstelle1 IS NULL AND Nebenstelle6 IS NULL FROM EGN ORDER BY ID"));
    QVERIFY(s.step());
    for (int c = 0; c < expected.size(); ++c) {
        const QVariant want = expected.at(c);
        if (want.typeId() == QMetaType::Double)
            QCOMPARE(s.column(c).toDouble(), want.toDouble());   // bit-exact enough to tell 12.3f from 12.3
        else
            QCOMPARE(s.column(c).toString(), want.toString());
    }

    // An empty record: texts stored as "" (never NULL), the negative extension as its text.
    QVERIFY(s.step());
    QCOMPARE(s.column(2).toString(), QStringLiteral("-7"));
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN WHERE ID = 2 AND ANummer = '' AND BNummer = '' AND Zone = '' "
                      "AND Ziel = '' AND Kostenstelle = '' AND IAS = '' AND FilialeID = '' AND GZ = '' "
                      "AND UniqueCallID = '' AND Betrag = 0 AND RabattProz = 0")
                 .toInt(),
             1);
}

void TestEgn::appendRaisesDatabaseErrors_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("ANummer of 25 characters") << "ANummer";
    QTest::newRow("Zone of 51 characters") << "Zone";
    QTest::newRow("ZoneCode beyond 16 bits") << "ZoneCode";
}

void TestEgn::appendRaisesDatabaseErrors()
{
    QFETCH(QString, field);
    TestDb t;
    TblEGN tbl(t.db());
    QString stage;
    QVERIFY_THROWS_EXCEPTION(RuboError, tbl.Append(fullCall(), stage));
    QCOMPARE(stage, QStringLiteral("append EGN"));

    tbl.open();
    TEGN bad = fullCall();
    if (field == QLatin1String("ANummer"))
        bad.ANummer = QString(25, QLatin1Char('1'));
    else if (field == QLatin1String("Zone"))
        bad.Zone = QString(51, QLatin1Char('Z'));
    else
        bad.ZoneCode = 32768;
    try {
        tbl.Append(bad, stage);
        QFAIL("the database must refuse the call");
    } catch (const RuboError& e) {
        QVERIFY2(e.message().contains(field), qPrintable(e.message()));
    }
    QCOMPARE(stage, QStringLiteral("post EGN"));
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 0);

    // The statement is still usable for the next call.
    tbl.Append(fullCall(), stage);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 1);
}

void TestEgn::appendKeepsTheSchemaLimits()
{
    // The import checks the limits itself while the engine skips its CHECKs; both must agree on
    // every column, to the character, and give the same message.
    TestDb t;
    const auto engineError = [&t](const char* column, const QVariant& value) {
        RuboStatement insert(t.db(), QStringLiteral("INSERT INTO EGN (%1) VALUES (?)").arg(QLatin1String(column)));
        insert.bind(1, value);
        try {
            insert.step();
        } catch (const RuboError& e) {
            return e.message();
        }
        return QString();
    };
    const auto appendError = [&t](const TEGN& egn) {
        TblEGN tbl(t.db());
        tbl.open();
        QString stage;
        try {
            tbl.Append(egn, stage);
        } catch (const RuboError& e) {
            return e.message();
        }
        return QString();
    };
    const RuboTableDef* egnTable = FindRuboTableDef("EGN");
    for (const TblEGN::Field field : TblEGN::kTextFields) {
        const char* name = TblEGN::fieldName(field);
        const int width = egnTable->column(QLatin1String(name))->width;
        for (const int length : {width, width + 1}) {
            // Umlauts count as one character each, though they take two bytes.
            const QString text(length, QChar(0xE4));
            TEGN egn = fullCall();
            QString* target = nullptr;
            switch (field) {
            case TblEGN::Field::ANummer: target = &egn.ANummer; break;
            case TblEGN::Field::BNummer: target = &egn.BNummer; break;
            case TblEGN::Field::Zone: target = &egn.Zone; break;
            case TblEGN::Field::Ziel: target = &egn.Ziel; break;
            case TblEGN::Field::Kostenstelle: target = &egn.Kostenstelle; break;
            case TblEGN::Field::IAS: target = &egn.IAS; break;
            case TblEGN::Field::FilialeID: target = &egn.FilialeID; break;
            case TblEGN::Field::GZ: target = &egn.GZ; break;
            case TblEGN::Field::UniqueCallID: target = &egn.UniqueCallID; break;
            default: break;
            }
            QVariant stored = text;
            if (target) {
                *target = text;
            } else {   // Nebenstelle: only the lowest number has more than ten characters
                egn.Nebenstelle = length > width ? std::numeric_limits<qint32>::min() : std::numeric_limits<qint32>::max();
                stored = QString::number(egn.Nebenstelle);
            }
            const QString expected = engineError(name, stored);
            QCOMPARE(expected.isEmpty(), length == width);
            QCOMPARE(appendError(egn), expected);
        }
    }
    for (const int value : {32767, 32768, -32768, -32769}) {
        TEGN zone = fullCall();
        zone.ZoneCode = value;
        QCOMPARE(appendError(zone), engineError("ZoneCode", value));
        TEGN file = fullCall();
        file.DateiID = value;
        QCOMPARE(appendError(file), engineError("DateiID", value));
    }
    QCOMPARE(engineError("ZoneCode", 32768), QStringLiteral("CHECK constraint failed: ZoneCode BETWEEN -32768 AND 32767"));
}

QTEST_GUILESS_MAIN(TestEgn)
#include "TestEgn.moc"
