#include "database/SqlText.h"
#include "mainwindow/Gruppierung.h"

#include <QTest>

class TestGruppierung : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void offersTheEightGroupingsInOrder();
    void treeQueryTexts();
    void nodeConditionsAndSumColumns_data();
    void nodeConditionsAndSumColumns();
    void listQueries();
};

void TestGruppierung::offersTheEightGroupingsInOrder()
{
    QStringList texts;
    QList<int> levels;
    for (const Gruppierung& g : Gruppierungen()) {
        texts << g.text;
        levels << g.levels;
    }
    QCOMPARE(texts, (QStringList{"Ziele", "Kostenstellen & Nebenstellen", "Kostenstellen & Zonen", "Zonen", "Inland - Ausland",
                                 "Nebenstellen", "Filialen & Nebenstellen", "Filialen & Kostenstellen"}));
    QCOMPARE(levels, (QList<int>{2, 3, 3, 3, 4, 3, 3, 4}));
    QVERIFY(FindGruppierung("Zonen"));
    QVERIFY(!FindGruppierung("zonen"));
}

void TestGruppierung::treeQueryTexts()
{
    QCOMPARE(TreeQuerySql(*FindGruppierung("Nebenstellen"), QString()),
             QStringLiteral("SELECT Nebenstelle, Zone, Ziel,Count(*) AS CntAnrufe, Sum(Betrag) AS SumBetrag, Sum(Sekunden) AS SumSekunden"
                            " FROM EGN WHERE 1=1  GROUP BY Nebenstelle, Zone, Ziel ORDER BY Nebenstelle, Zone, Ziel"));
    QCOMPARE(TreeQuerySql(*FindGruppierung("Filialen & Kostenstellen"), " AND GZ LIKE 'GZ'"),
             QStringLiteral("SELECT FilialeID, Kostenstelle, Zone, Nebenstelle, Count(*) AS CntAnrufe, Sum(Betrag) AS SumBetrag, "
                            "Sum(Sekunden) AS SumSekunden FROM EGN WHERE 1=1  AND GZ LIKE 'GZ' GROUP BY FilialeID, Kostenstelle, "
                            "Zone, Nebenstelle ORDER BY FilialeID, Kostenstelle, Zone, Nebenstelle"));
    QCOMPARE(TreeQuerySql(*FindGruppierung("Inland - Ausland"), " AND X"),
             QStringLiteral("SELECT 'Inland' AS InlandAusland, Zone, Ziel, Nebenstelle FROM EGN WHERE IAS = 'I' AND X UNION"
                            " SELECT 'Ausland' AS InlandAusland, Zone, Ziel, Nebenstelle FROM EGN WHERE IAS = 'A' AND X UNION"
                            " SELECT 'Sonst' AS InlandAusland, Zone, Ziel, Nebenstelle FROM EGN WHERE IAS = 'S' AND X"
                            " GROUP BY InlandAusland, Zone, Ziel, Nebenstelle ORDER BY 1, 2, 3, 4"));
}

void TestGruppierung::nodeConditionsAndSumColumns_data()
{
    QTest::addColumn<QString>("grouping");
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QString>("sumColumns");

    QTest::newRow("Zonen root") << "Zonen" << QStringList{} << "" << "Zone";
    QTest::newRow("Zonen zone") << "Zonen" << QStringList{"Mobil"} << " AND (Zone = 'Mobil')" << "Zone,Ziel";
    QTest::newRow("Zonen extension")
        << "Zonen" << QStringList{"Mobil", "A1", "42"}
        << " AND (Nebenstelle = '42') AND (Ziel = 'A1') AND (Zone = 'Mobil')" << "Zone,Ziel,Nebenstelle";
    QTest::newRow("Zonen destination") << "Zonen" << QStringList{"Mobil", "A1"} << " AND (Ziel = 'A1') AND (Zone = 'Mobil')"
                                       << "Zone,Ziel,Nebenstelle";
    QTest::newRow("Ziele leaf") << "Ziele" << QStringList{"Wien", "7"} << " AND (Nebenstelle = '7') AND (Ziel = 'Wien')"
                                << "Ziel,Nebenstelle";
    QTest::newRow("Filialen & Kostenstellen level 3")
        << "Filialen & Kostenstellen" << QStringList{"GRZ", "K1", "Mobil"}
        << " AND (Zone = 'Mobil') AND (Kostenstelle = 'K1') AND (FilialeID = 'GRZ')" << "FilialeID,Kostenstelle,Zone,Nebenstelle";
    QTest::newRow("Filialen & Kostenstellen leaf")
        << "Filialen & Kostenstellen" << QStringList{"GRZ", "K1", "Mobil", "3"}
        << " AND (Nebenstelle = '3') AND (Zone = 'Mobil') AND (Kostenstelle = 'K1') AND (FilialeID = 'GRZ')"
        << "FilialeID,Kostenstelle,Zone,Nebenstelle";
    QTest::newRow("apostrophe is doubled") << "Zonen" << QStringList{"Côte d'Ivoire"} << " AND (Zone = 'Côte d''Ivoire')"
                                           << "Zone,Ziel";
    QTest::newRow("empty text selects absent and empty")
        << "Kostenstellen & Zonen" << QStringList{"K1", ""} << " AND (Zone IS NULL OR Zone = '') AND (Kostenstelle = 'K1')"
        << "Kostenstelle,Zone,Nebenstelle";
    QTest::newRow("Inland - Ausland root") << "Inland - Ausland" << QStringList{} << "" << "IAS";
    QTest::newRow("Inland") << "Inland - Ausland" << QStringList{"Inland"} << " AND IAS = 'I'" << "IAS,Zone";
    QTest::newRow("Ausland zone") << "Inland - Ausland" << QStringList{"Ausland", "Deutschland"}
                                  << " AND (Zone = 'Deutschland') AND IAS = 'A'" << "IAS,Zone,Ziel";
    QTest::newRow("other class is S") << "Inland - Ausland" << QStringList{"Sonst"} << " AND IAS = 'S'" << "IAS,Zone";
    QTest::newRow("Inland - Ausland leaf")
        << "Inland - Ausland" << QStringList{"Inland", "", "Graz", "11"}
        << " AND (Nebenstelle = '11') AND (Ziel = 'Graz') AND (Zone IS NULL OR Zone = '') AND IAS = 'I'"
        << "IAS,Zone,Ziel,Nebenstelle";
}

void TestGruppierung::nodeConditionsAndSumColumns()
{
    QFETCH(QString, grouping);
    QFETCH(QStringList, path);
    QFETCH(QString, condition);
    QFETCH(QString, sumColumns);
    const NodeSelection s = SelectNode(*FindGruppierung(grouping), path);
    QCOMPARE(s.nodeCondition, condition);
    QCOMPARE(s.sumColumns, sumColumns);
}

void TestGruppierung::listQueries()
{
    QCOMPARE(DetailSql(" AND (Zone = 'A')"), QStringLiteral("SELECT * FROM EGN WHERE (1=1) AND (Zone = 'A')"));
    QCOMPARE(TotalsSql(""), QStringLiteral("SELECT SUM(Sekunden), SUM(Betrag), SUM(BetragEuro), SUM(Rabatt), SUM(RabattEuro), COUNT(*) FROM EGN WHERE (1=1)"));
    QCOMPARE(GroupSql("Zone,Ziel", " AND X"),
             QStringLiteral("SELECT Zone,Ziel,SUM(Sekunden) AS SumSekunden, SUM(Betrag) AS SumBetrag, SUM(BetragEuro) AS SumEuro, "
                            "COUNT(*) AS Anzahl, SUM(Rabatt) AS SumRabatt, SUM(RabattEuro) AS SumRabattEuro FROM EGN WHERE (1=1) AND X"
                            " GROUP BY Zone,Ziel"));
    QVERIFY(!GroupSql("", "").contains("GROUP BY"));
    QVERIFY(GroupSql("", "").startsWith("SELECT SUM(Sekunden)"));
    QCOMPARE(SqlQuoted("it's"), QStringLiteral("'it''s'"));
}

QTEST_GUILESS_MAIN(TestGruppierung)
#include "TestGruppierung.moc"
