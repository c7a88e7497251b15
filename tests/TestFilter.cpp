#include "filter/FilterClause.h"
#include "filter/WhereText.h"

#include <QTest>

Q_DECLARE_METATYPE(FilterFields)

namespace {

FilterFields with(const std::function<void(FilterFields&)>& fill)
{
    FilterFields f;
    fill(f);
    return f;
}

} // namespace

class TestFilter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void clause_data()
    {
        QTest::addColumn<FilterFields>("fields");
        QTest::addColumn<QString>("clause");
        QTest::newRow("all empty") << FilterFields{} << QString();
        QTest::newRow("the example of a month, an extension and a number")
            << with([](FilterFields& f) {
                   f.DatumVon = QStringLiteral("01.03.2003");
                   f.DatumBis = QStringLiteral("31.03.2003");
                   f.NebenstelleVon = QStringLiteral("100");
                   f.NebenstelleBis = QStringLiteral(">=");
                   f.ANummer = QStringLiteral("0664*");
               })
            << QStringLiteral(" AND DateValue(BeginZeit) >= CDate('01.03.2003') AND DateValue(BeginZeit) <= CDate('31.03.2003')"
                              " AND CLng(Nebenstelle) >= 100 AND ANummer LIKE '0664*'");
        QTest::newRow("bis alone is ignored") << with([](FilterFields& f) { f.DatumBis = QStringLiteral("31.03.2003"); }) << QString();
        QTest::newRow("operator <>") << with([](FilterFields& f) {
            f.DatumVon = QStringLiteral("01.03.2003");
            f.DatumBis = QStringLiteral("<>");
        }) << QStringLiteral(" AND DateValue(BeginZeit) <> CDate('01.03.2003')");
        QTest::newRow("!= and == and blanks around the bounds") << with([](FilterFields& f) {
            f.ZeitVon = QStringLiteral(" 08:00:00 ");
            f.ZeitBis = QStringLiteral(" != ");
            f.KostenstelleVon = QStringLiteral("A");
            f.KostenstelleBis = QStringLiteral("==");
        }) << QStringLiteral(" AND TimeValue(BeginZeit) <> CDate('08:00:00') AND Kostenstelle = 'A'");
        QTest::newRow("operator words are case- and blank-exact") << with([](FilterFields& f) {
            f.KostenstelleVon = QStringLiteral("A");
            f.KostenstelleBis = QStringLiteral("=>");
        }) << QStringLiteral(" AND Kostenstelle >= 'A' AND Kostenstelle <= '=>'");
        QTest::newRow("extension equality") << with([](FilterFields& f) { f.NebenstelleVon = QStringLiteral("100"); })
                                            << QStringLiteral(" AND CLng(Nebenstelle) = 100");
        QTest::newRow("extension range, signed") << with([](FilterFields& f) {
            f.NebenstelleVon = QStringLiteral("-5");
            f.NebenstelleBis = QStringLiteral("+0120");
        }) << QStringLiteral(" AND CLng(Nebenstelle) >= -5 AND CLng(Nebenstelle) <= 120");
        QTest::newRow("an extension that is no number adds nothing") << with([](FilterFields& f) {
            f.NebenstelleVon = QStringLiteral("1 OR 1=1");
            f.Zone = QStringLiteral("Mobil");
        }) << QStringLiteral(" AND Zone LIKE 'Mobil'");
        QTest::newRow("a bis that is no number drops the pair") << with([](FilterFields& f) {
            f.NebenstelleVon = QStringLiteral("100");
            f.NebenstelleBis = QStringLiteral("200) OR (1=1");
        }) << QString();
        QTest::newRow("an extension beyond 32 bits is no number") << with([](FilterFields& f) {
            f.NebenstelleVon = QStringLiteral("99999999999");
        }) << QString();
        QTest::newRow("cost centres as texts") << with([](FilterFields& f) {
            f.KostenstelleVon = QStringLiteral("A");
            f.KostenstelleBis = QStringLiteral("B");
        }) << QStringLiteral(" AND Kostenstelle >= 'A' AND Kostenstelle <= 'B'");
        QTest::newRow("patterns untrimmed, blanks only too") << with([](FilterFields& f) {
            f.ANummer = QStringLiteral(" 0664*");
            f.BNummer = QStringLiteral("   ");
        }) << QStringLiteral(" AND ANummer LIKE ' 0664*' AND BNummer LIKE '   '");
        QTest::newRow("apostrophes doubled everywhere") << with([](FilterFields& f) {
            f.Zone = QStringLiteral("Côte d'Ivoire");
            f.FilialeID = QStringLiteral("O'N");
            f.KostenstelleVon = QStringLiteral("it's");
            f.Ziel = QStringLiteral("'");
        }) << QStringLiteral(" AND Kostenstelle = 'it''s' AND Zone LIKE 'Côte d''Ivoire' AND Ziel LIKE ''''"
                             " AND FilialeID LIKE 'O''N'");
        QTest::newRow("order of every field") << with([](FilterFields& f) {
            f.DateiID = QStringLiteral("3");
            f.GZ = QStringLiteral("ÜZ");
            f.FilialeID = QStringLiteral("GRZ");
            f.Ziel = QStringLiteral("Wien*");
            f.Zone = QStringLiteral("Mobil");
            f.KostenstelleVon = QStringLiteral("K1");
            f.BNummer = QStringLiteral("01*");
            f.ANummer = QStringLiteral("0316*");
            f.NebenstelleVon = QStringLiteral("11");
            f.ZeitVon = QStringLiteral("08:00:00");
            f.DatumVon = QStringLiteral("01.03.2003");
        }) << QStringLiteral(" AND DateValue(BeginZeit) = CDate('01.03.2003') AND TimeValue(BeginZeit) = CDate('08:00:00')"
                             " AND CLng(Nebenstelle) = 11 AND ANummer LIKE '0316*' AND BNummer LIKE '01*'"
                             " AND Kostenstelle = 'K1' AND Zone LIKE 'Mobil' AND Ziel LIKE 'Wien*' AND FilialeID LIKE 'GRZ'"
                             " AND GZ LIKE 'ÜZ' AND DateiID = 3");
        QTest::newRow("file item") << with([](FilterFields& f) { f.DateiID = QStringLiteral("12 - calls.edi"); })
                                   << QStringLiteral(" AND DateiID = 12");
        QTest::newRow("file typed with blanks and sign") << with([](FilterFields& f) { f.DateiID = QStringLiteral("  +7x"); })
                                                         << QStringLiteral(" AND DateiID = 7");
        QTest::newRow("file 0, none, empty item") << with([](FilterFields& f) { f.DateiID = QStringLiteral("0 - x"); }) << QString();
        QTest::newRow("file unreadable") << with([](FilterFields& f) { f.DateiID = QStringLiteral("x 12"); }) << QString();
        QTest::newRow("file number too long") << with([](FilterFields& f) { f.DateiID = QStringLiteral("99999999999"); })
                                              << QString();
    }
    void clause()
    {
        QFETCH(FilterFields, fields);
        QFETCH(QString, clause);
        QCOMPARE(BuildFilterClause(fields), clause);
    }

    void nebenstelleProblems()
    {
        QCOMPARE(NebenstelleProblem(QStringLiteral("1 OR 1=1"), QString(), false),
                 QStringLiteral("Nebenstelle von: „1 OR 1=1“ ist keine ganze Zahl."));
        QCOMPARE(NebenstelleProblem(QStringLiteral("1"), QStringLiteral("zwei"), true),
                 QStringLiteral("Nebenstelle bis: „zwei“ ist keine ganze Zahl."));
        // Unused bounds and operator words are no problem; neither are signed numbers.
        QVERIFY(NebenstelleProblem(QString(), QStringLiteral("zwei"), true).isEmpty());
        QVERIFY(NebenstelleProblem(QStringLiteral(" -12 "), QStringLiteral("<="), true).isEmpty());
        QVERIFY(NebenstelleProblem(QStringLiteral("0"), QString(), false).isEmpty());
        QVERIFY(!NebenstelleProblem(QStringLiteral("1.5"), QString(), false).isEmpty());
        QVERIFY(!NebenstelleProblem(QStringLiteral("-"), QString(), false).isEmpty());
    }

    void completions_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("completed");
        QTest::newRow("day alone") << "DatumVon" << "5" << "05.03.2003";
        QTest::newRow("three groups of two") << "DatumVon" << "010203" << "01.02.2003";
        QTest::newRow("49 is 2049") << "DatumVon" << "1.1.49" << "01.01.2049";
        QTest::newRow("50 is 1950") << "DatumVon" << "1.1.50" << "01.01.1950";
        QTest::newRow("no such day") << "DatumVon" << "31.2.2003" << "01.01.1900";
        QTest::newRow("no digit first is today") << "DatumVon" << "x" << "14.03.2003";
        QTest::newRow("blanks only stay empty") << "DatumVon" << "   " << "";
        QTest::newRow("bis keeps an operator") << "DatumBis" << " <> " << "<>";
        QTest::newRow("bis completes a date") << "DatumBis" << "31.3" << "31.03.2003";
        QTest::newRow("bis empty") << "DatumBis" << "" << "";
        QTest::newRow("hour alone takes the minute") << "ZeitVon" << "8" << "08:27:00";
        QTest::newRow("hour and minute") << "ZeitVon" << "8.15" << "08:15:00";
        QTest::newRow("no such hour") << "ZeitVon" << "25" << "00:00:00";
        QTest::newRow("von keeps no operator") << "ZeitVon" << ">=" << "14:27:00";
        QTest::newRow("time bis operator") << "ZeitBis" << ">=" << ">=";
        QTest::newRow("time bis value") << "ZeitBis" << "17" << "17:27:00";
    }
    void completions()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, completed);
        const QDate today(2003, 3, 14);
        const QTime now(14, 27, 33);
        QString out;
        if (field == QLatin1String("DatumVon"))
            out = CompleteDateVon(typed, today);
        else if (field == QLatin1String("DatumBis"))
            out = CompleteDateBis(typed, today);
        else if (field == QLatin1String("ZeitVon"))
            out = CompleteTimeVon(typed, now);
        else
            out = CompleteTimeBis(typed, now);
        QCOMPARE(out, completed);
    }

    void whereText_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("text");
        QTest::newRow("call report with the example filter")
            << QStringLiteral("SELECT * FROM EGN WHERE (1=1) \r\n AND DateValue(BeginZeit) >= CDate('01.03.2003') AND ANummer LIKE '0664*'"
                              "\r\n ORDER BY Nebenstelle, Zone, Ziel")
            << QStringLiteral(" DateValueBeginZeit >= CDate'01.03.2003' und ANummer wie '0664*' ");
        QTest::newRow("sums report of a zone node")
            << QStringLiteral("SELECT Ziel, Count(*) AS Anzahl FROM EGN WHERE (1=1) AND (Zone = 'Mobil') AND GZ LIKE 'GZ' GROUP BY Ziel")
            << QStringLiteral(" Zone = 'Mobil' und GZ wie 'GZ' ");
        QTest::newRow("empty condition") << QStringLiteral("SELECT * FROM EGN WHERE (1=1) \r\n\r\n ORDER BY Nebenstelle")
                                         << QStringLiteral("alle Gespräche");
        QTest::newRow("no WHERE is taken from the start") << QStringLiteral("Zone LIKE 'A' AND x") << QStringLiteral("Zone wie 'A' und x");
        QTest::newRow("words inside values") << QStringLiteral("WHERE (1=1) AND (Zone = 'ENGLAND') AND Ziel LIKE 'CLIKE'")
                                             << QStringLiteral(" Zone = 'ENGLund' und Ziel wie 'Cwie'");
        QTest::newRow("functions lose their parentheses") << QStringLiteral("WHERE (1=1) AND CLng(Nebenstelle) = 100")
                                                          << QStringLiteral(" CLngNebenstelle = 100");
        QTest::newRow("four blanks become one") << QStringLiteral("WHERE (1=1) AND Zone    = 'A'") << QStringLiteral(" Zone = 'A'");
        QTest::newRow("BETWEEN") << QStringLiteral("WHERE a BETWEEN 1 AND 2") << QStringLiteral("a zwischen 1 und 2");
        QTest::newRow("doubled apostrophe stays doubled") << QStringLiteral("WHERE (1=1) AND Zone LIKE 'Côte d''Ivoire'")
                                                          << QStringLiteral(" Zone wie 'Côte d''Ivoire'");
        QTest::newRow("the character after WHERE is dropped") << QStringLiteral("WHEREx(1=1)") << QStringLiteral("alle Gespräche");
    }
    void whereText()
    {
        QFETCH(QString, sql);
        QFETCH(QString, text);
        QCOMPARE(WhereText(sql), text);
    }
};

QTEST_GUILESS_MAIN(TestFilter)
#include "TestFilter.moc"
