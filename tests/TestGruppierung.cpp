#include "database/RuboError.h"
#include "database/SqlText.h"
#include "mainwindow/Gruppierung.h"
#include "support/TestDb.h"

#include <QTest>

namespace {

// Eight calls. Zone 6 is absent and zone 7 empty; call 8 has no inland/abroad class. The amounts
// are sums of quarters, so that every total is exact.
void insertCalls(TestDb& t)
{
    t.db().execute(
        "INSERT INTO EGN (ID, Zone, Ziel, Nebenstelle, IAS, Sekunden, Betrag, BetragEuro, Rabatt, RabattEuro, GZ) VALUES "
        "(1, 'Mobilnetz', 'A1 Mobil', '11', 'I', 60, 1.5, 0.75, 1.5, 0.75, 'GZ'),"
        "(2, 'Mobilnetz', 'A1 Mobil', '12', 'I', 30, 2.25, 1.25, 2, 1, 'NZ'),"
        "(3, 'Mobilnetz', 'Magenta', '11', 'I', 3700, 1000, 500, 1000, 500, 'GZ'),"
        "(4, 'Deutschland', 'Köln', '11', 'A', 10, 1, 0.5, 1, 0.5, 'GZ'),"
        "(5, 'Côte d''Ivoire', 'Abidjan', '13', 'A', 20, 3, 1.5, 3, 1.5, 'NZ'),"
        "(6, NULL, 'x', '14', 'S', 1, 0, 0, 0, 0, 'NZ'),"
        "(7, '', 'x', '14', 'S', 1, 0, 0, 0, 0, 'NZ'),"
        "(8, 'Deutschland', 'Köln', '12', '', 5, 1, 0.5, 1, 0.5, 'GZ')");
}

QString text(const QVariant& v)
{
    return v.isNull() ? QStringLiteral("<null>") : v.toString();
}

// Every row of a statement, its columns joined by "|".
QStringList rowsOf(RuboDatabase& db, const QString& sql)
{
    QStringList rows;
    RuboStatement stmt(db, sql);
    while (stmt.step()) {
        QStringList fields;
        for (int i = 0; i < stmt.columnCount(); ++i)
            fields << text(stmt.column(i));
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

QList<int> callIds(RuboDatabase& db, const QString& sql)
{
    QList<int> ids;
    RuboStatement stmt(db, sql);
    int id = -1;
    for (int i = 0; i < stmt.columnCount(); ++i)
        if (stmt.columnName(i) == QLatin1String("ID"))
            id = i;
    while (stmt.step())
        ids << stmt.column(id).toInt();
    std::sort(ids.begin(), ids.end());
    return ids;
}

QString totalsText(const Totals& t)
{
    return QStringList{QString::number(t.Sekunden), QString::number(t.Betrag), QString::number(t.BetragEuro),
                       QString::number(t.Rabatt), QString::number(t.RabattEuro), QString::number(t.Anzahl)}
        .join(QLatin1Char('|'));
}

// The tree below its root as a view walks it, one dot per level. The walk also checks that each
// node knows its parent and its place, and that the nodes are numbered in the order walked.
QStringList nodeTexts(const GruppeTree& tree)
{
    QStringList out;
    int expected = 1;
    const std::function<void(int)> walk = [&](int node) {
        for (int r = 0; r < tree.childCount(node); ++r) {
            const int c = tree.child(node, r);
            if (c != expected++ || tree.parent(c) != node || tree.row(c) != r || tree.level(c) != tree.level(node) + 1)
                out << QStringLiteral("(badly linked)");
            out << QString(tree.level(c), QLatin1Char('.')) + tree.text(c);
            walk(c);
        }
    };
    walk(0);
    if (tree.text(0) != QLatin1String("Anrufe") || expected != tree.nodeCount())
        out << QStringLiteral("(root or count wrong)");
    return out;
}

} // namespace

class TestGruppierung : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void offersTheEightGroupingsInOrder();
    void treeNodesOfTheCalls_data();
    void treeNodesOfTheCalls();
    void treeReadingStopsWhenAsked();
    void treeListsTextsInGermanOrder_data();
    void treeListsTextsInGermanOrder();
    void nodeConditionsAndSumColumns_data();
    void nodeConditionsAndSumColumns();
    void listsOfANode_data();
    void listsOfANode();
    void sumsWithoutColumnsAndFailures();
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

void TestGruppierung::treeNodesOfTheCalls_data()
{
    QTest::addColumn<QString>("grouping");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("nodes");
    QTest::addColumn<int>("rows");

    // The absent and the empty zone are one node: the second of their rows adds nothing.
    QTest::newRow("Zonen") << "Zonen" << ""
                           << QStringList{".", "..x", "...14", ".Côte d'Ivoire", "..Abidjan", "...13", ".Deutschland", "..Köln",
                                          "...11", "...12", ".Mobilnetz", "..A1 Mobil", "...11", "...12", "..Magenta", "...11"}
                           << 8;
    QTest::newRow("Ziele") << "Ziele" << ""
                           << QStringList{".A1 Mobil", "..11", "..12", ".Abidjan", "..13", ".Köln", "..11", "..12", ".Magenta",
                                          "..11", ".x", "..14"}
                           << 7;
    // The call without a class is in no branch of this tree.
    QTest::newRow("Inland - Ausland")
        << "Inland - Ausland" << ""
        << QStringList{".Ausland", "..Côte d'Ivoire", "...Abidjan", "....13", "..Deutschland", "...Köln", "....11", ".Inland",
                       "..Mobilnetz", "...A1 Mobil", "....11", "....12", "...Magenta", "....11", ".Sonst", "..", "...x", "....14"}
        << 7;
    QTest::newRow("Kostenstellen & Zonen, no cost centres")
        << "Kostenstellen & Zonen" << " AND Zone = 'Deutschland'" << QStringList{".", "..Deutschland", "...11", "...12"}
        << 2;
    QTest::newRow("filtered") << "Zonen" << " AND Sekunden > 15"
                              << QStringList{".Côte d'Ivoire", "..Abidjan", "...13", ".Mobilnetz", "..A1 Mobil", "...11", "...12",
                                             "..Magenta", "...11"}
                              << 4;
    QTest::newRow("filter with a quoted apostrophe")
        << "Nebenstellen" << " AND Zone = " + SqlQuoted("Côte d'Ivoire") << QStringList{".13", "..Côte d'Ivoire", "...Abidjan"}
        << 1;
    QTest::newRow("nothing matches") << "Zonen" << " AND Sekunden < 0" << QStringList{} << 0;
}

void TestGruppierung::treeNodesOfTheCalls()
{
    QFETCH(QString, grouping);
    QFETCH(QString, filter);
    QFETCH(QStringList, nodes);
    QFETCH(int, rows);
    TestDb t;
    insertCalls(t);
    const GruppeTree tree = ReadGruppeTree(t.db(), *FindGruppierung(grouping), filter);
    QCOMPARE(nodeTexts(tree), nodes);
    QCOMPARE(tree.rowCount(), rows);
    QVERIFY(!tree.cancelled());
}

void TestGruppierung::treeReadingStopsWhenAsked()
{
    TestDb t;
    t.db().execute("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 3000) "
                   "INSERT INTO EGN (Zone, Ziel, Nebenstelle) SELECT 'Z', 'Ziel', CAST(n AS TEXT) FROM c");
    const Gruppierung& zonen = *FindGruppierung("Zonen");
    // Asked while reading (no total yet), then while linking, with the rows and their total.
    QStringList asked;
    const GruppeTree all = ReadGruppeTree(t.db(), zonen, QString(), [&](int done, int total) {
        asked << QStringLiteral("%1/%2").arg(done).arg(total);
        return true;
    });
    QCOMPARE(asked, (QStringList{"1024/0", "2048/0", "1024/3000", "2048/3000"}));
    QVERIFY(!all.cancelled());
    QCOMPARE(all.rowCount(), 3000);
    QCOMPARE(all.nodeCount(), 3003);
    QCOMPARE(all.path(3002), (QStringList{"Z", "Ziel", "999"}));

    for (const QString& stopAt : {QStringLiteral("2048/0"), QStringLiteral("1024/3000")}) {
        asked.clear();
        const GruppeTree part = ReadGruppeTree(t.db(), zonen, QString(), [&](int done, int total) {
            asked << QStringLiteral("%1/%2").arg(done).arg(total);
            return asked.last() != stopAt;
        });
        QCOMPARE(asked.last(), stopAt);
        QVERIFY(part.cancelled());
    }
}

void TestGruppierung::treeListsTextsInGermanOrder_data()
{
    QTest::addColumn<QString>("grouping");
    QTest::addColumn<QStringList>("nodes");

    // Umlauts sort as their letters, not after "z"; texts that differ only in case or in ß are
    // nodes of their own, side by side.
    QTest::newRow("Zonen") << "Zonen"
                           << QStringList{".Mobilnetz", "..x", "...11", ".Österreich", "..Arzt", "...13", "..Ärzte", "...12",
                                          "..Auto", "...12", "..Wien", "...11", ".Sonderrufnummern", "..0800", "...11",
                                          ".Strasse", "..x", "...11", ".Straße", "..x", "...11", ".wien", "..x", "...11",
                                          ".Wien", "..x", "...11", "...12"};
    QTest::newRow("Inland - Ausland")
        << "Inland - Ausland"
        << QStringList{".Ausland", "..Österreich", "...Arzt", "....13", "...Ärzte", "....12", "...Auto", "....12", "...Wien",
                       "....11", ".Inland", "..Mobilnetz", "...x", "....11", "..Strasse", "...x", "....11", "..Straße",
                       "...x", "....11", "..wien", "...x", "....11", "..Wien", "...x", "....11", "....12", ".Sonst",
                       "..Sonderrufnummern", "...0800", "....11"};
    QTest::newRow("Ziele") << "Ziele"
                           << QStringList{".0800", "..11", ".Arzt", "..13", ".Ärzte", "..12", ".Auto", "..12", ".Wien",
                                          "..11", ".x", "..11", "..12"};
}

void TestGruppierung::treeListsTextsInGermanOrder()
{
    QFETCH(QString, grouping);
    QFETCH(QStringList, nodes);
    TestDb t;
    t.db().execute("INSERT INTO EGN (Zone, Ziel, Nebenstelle, IAS) VALUES "
                   "('Sonderrufnummern', '0800', '11', 'S'), ('Österreich', 'Wien', '11', 'A'),"
                   "('Österreich', 'Ärzte', '12', 'A'), ('Österreich', 'Auto', '12', 'A'), ('Österreich', 'Arzt', '13', 'A'),"
                   "('wien', 'x', '11', 'I'), ('Wien', 'x', '12', 'I'), ('Wien', 'x', '11', 'I'), ('Straße', 'x', '11', 'I'),"
                   "('Strasse', 'x', '11', 'I'), ('Mobilnetz', 'x', '11', 'I'), ('Wien', 'x', '11', 'I')");
    const GruppeTree tree = ReadGruppeTree(t.db(), *FindGruppierung(grouping), QString());
    QCOMPARE(nodeTexts(tree), nodes);
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

void TestGruppierung::listsOfANode_data()
{
    QTest::addColumn<QString>("grouping");
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QList<int>>("calls");
    QTest::addColumn<QString>("totals");   // Sekunden|Betrag|BetragEuro|Rabatt|RabattEuro|Anzahl
    QTest::addColumn<QStringList>("sums");  // sums columns, then SumSekunden|SumBetrag|SumEuro|Anzahl|SumRabatt|SumRabattEuro

    // The sums list keeps the absent and the empty zone apart, though the tree shows one node.
    QTest::newRow("Zonen root") << "Zonen" << QStringList{} << "" << QList<int>{1, 2, 3, 4, 5, 6, 7, 8}
                                << "3827|1008.75|504.5|1008.5|504.25|8"
                                << QStringList{"<null>|1|0|0|1|0|0", "Côte d'Ivoire|20|3|1.5|1|3|1.5", "Deutschland|15|2|1|2|2|1",
                                               "Mobilnetz|3790|1003.75|502|3|1003.5|501.75", "|1|0|0|1|0|0"};
    QTest::newRow("zone") << "Zonen" << QStringList{"Mobilnetz"} << "" << QList<int>{1, 2, 3}
                          << "3790|1003.75|502|1003.5|501.75|3"
                          << QStringList{"Mobilnetz|A1 Mobil|90|3.75|2|2|3.5|1.75", "Mobilnetz|Magenta|3700|1000|500|1|1000|500"};
    QTest::newRow("extension") << "Zonen" << QStringList{"Mobilnetz", "A1 Mobil", "12"} << "" << QList<int>{2}
                               << "30|2.25|1.25|2|1|1" << QStringList{"Mobilnetz|A1 Mobil|12|30|2.25|1.25|1|2|1"};
    QTest::newRow("apostrophe in the zone") << "Zonen" << QStringList{"Côte d'Ivoire"} << "" << QList<int>{5}
                                            << "20|3|1.5|3|1.5|1" << QStringList{"Côte d'Ivoire|Abidjan|20|3|1.5|1|3|1.5"};
    QTest::newRow("zone without text") << "Zonen" << QStringList{""} << "" << QList<int>{6, 7} << "2|0|0|0|0|2"
                                       << QStringList{"<null>|x|1|0|0|1|0|0", "|x|1|0|0|1|0|0"};
    QTest::newRow("filter on a node") << "Zonen" << QStringList{"Mobilnetz"} << " AND GZ = 'GZ'" << QList<int>{1, 3}
                                      << "3760|1001.5|500.75|1001.5|500.75|2"
                                      << QStringList{"Mobilnetz|A1 Mobil|60|1.5|0.75|1|1.5|0.75",
                                                     "Mobilnetz|Magenta|3700|1000|500|1|1000|500"};
    QTest::newRow("nothing matches") << "Zonen" << QStringList{} << " AND Sekunden < 0" << QList<int>{} << "0|0|0|0|0|0"
                                     << QStringList{};
    // The root lists every call, also the one without a class.
    QTest::newRow("Inland - Ausland root") << "Inland - Ausland" << QStringList{} << "" << QList<int>{1, 2, 3, 4, 5, 6, 7, 8}
                                           << "3827|1008.75|504.5|1008.5|504.25|8"
                                           << QStringList{"A|30|4|2|2|4|2", "I|3790|1003.75|502|3|1003.5|501.75",
                                                          "S|2|0|0|2|0|0", "|5|1|0.5|1|1|0.5"};
    QTest::newRow("Sonst") << "Inland - Ausland" << QStringList{"Sonst"} << "" << QList<int>{6, 7} << "2|0|0|0|0|2"
                           << QStringList{"S|<null>|1|0|0|1|0|0", "S||1|0|0|1|0|0"};
    QTest::newRow("Ausland zone") << "Inland - Ausland" << QStringList{"Ausland", "Deutschland"} << "" << QList<int>{4}
                                  << "10|1|0.5|1|0.5|1" << QStringList{"A|Deutschland|Köln|10|1|0.5|1|1|0.5"};
}

void TestGruppierung::listsOfANode()
{
    QFETCH(QString, grouping);
    QFETCH(QStringList, path);
    QFETCH(QString, filter);
    QFETCH(QList<int>, calls);
    QFETCH(QString, totals);
    QFETCH(QStringList, sums);
    TestDb t;
    insertCalls(t);
    const NodeSelection s = SelectNode(*FindGruppierung(grouping), path);
    const QString currentWhere = s.nodeCondition + filter;

    QCOMPARE(callIds(t.db(), DetailSql(currentWhere)), calls);
    QCOMPARE(totalsText(ReadTotals(t.db(), currentWhere)), totals);
    QCOMPARE(rowsOf(t.db(), TotalsSql(currentWhere)).size(), 1);
    QStringList groups = rowsOf(t.db(), GroupSql(s.sumColumns, currentWhere));
    groups.sort();
    QCOMPARE(groups, sums);
}

void TestGruppierung::sumsWithoutColumnsAndFailures()
{
    TestDb t;
    insertCalls(t);
    // Without sums columns the sums list is one row of totals, even when no call matches.
    QCOMPARE(rowsOf(t.db(), GroupSql(QString(), QString())), QStringList{"3827|1008.75|504.5|8|1008.5|504.25"});
    QCOMPARE(rowsOf(t.db(), GroupSql(QString(), " AND Sekunden < 0")),
             QStringList{"<null>|<null>|<null>|0|<null>|<null>"});
    QCOMPARE(SqlQuoted("it's"), QStringLiteral("'it''s'"));

    // A condition the engine rejects is reported with the engine's words, for the window to show.
    for (int which = 0; which < 2; ++which) {
        QString message;
        try {
            if (which == 0)
                ReadGruppeTree(t.db(), *FindGruppierung("Ziele"), " AND Unbekannt = 1");
            else
                ReadTotals(t.db(), " AND Unbekannt = 1");
        } catch (const RuboError& e) {
            message = e.message();
        }
        QVERIFY2(message.contains("Unbekannt"), qPrintable(QString::number(which) + ": " + message));
    }
}

QTEST_GUILESS_MAIN(TestGruppierung)
#include "TestGruppierung.moc"
