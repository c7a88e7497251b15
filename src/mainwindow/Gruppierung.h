#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class RuboDatabase;

// The eight groupings of the tree, with their level columns and the pieces of the tree query.
struct Gruppierung
{
    QString text;          // as the grouping list shows it
    int levels = 0;        // tree levels below the root
    QStringList columns;   // c1..c4 (empty texts for unused levels); "InlandAusland" is computed
    QString selectPiece;
    QString groupPiece;
    QString orderPiece;
    QString pictureList;   // name of the picture list of its tree
    bool isInlandAusland() const { return text == QLatin1String("Inland - Ausland"); }
};

const QList<Gruppierung>& Gruppierungen();
const Gruppierung* FindGruppierung(const QString& text);

// The tree query for a grouping with the filter in force (a run of " AND ..." conditions).
QString TreeQuerySql(const Gruppierung& gruppierung, const QString& filterWhere);

// One node of the grouping tree below the root: its level (1 to the grouping's levels) and text.
// An absent and an empty value give the same empty text, and so the same node.
struct TreeNode
{
    int level = 0;
    QString text;
};

// The tree query's result as the nodes each row adds, in result order: row r adds
// nodes[rowStart[r]] up to nodes[rowStart[r + 1]], its parent being the last node one level up.
struct TreeNodes
{
    std::vector<TreeNode> nodes;
    std::vector<int> rowStart{0};   // one entry per row, then the end
    bool cancelled = false;         // `proceed` said stop; the nodes are then incomplete
    int rowCount() const { return int(rowStart.size()) - 1; }
};

// Runs the tree query on `db` and reads it whole. Uses nothing but its arguments, so a worker
// with a connection of its own may call it. `proceed`, when given, is asked every 1024 rows with
// the rows read so far; false stops the reading. Throws RuboError when the engine fails.
TreeNodes ReadTreeNodes(RuboDatabase& db, const Gruppierung& gruppierung, const QString& filterWhere,
                        const std::function<bool(int rowsRead)>& proceed = {});

// Condition for one tree level: the column and the node text. An empty node text stands for an
// absent or an empty value, as the tree shows both as one node.
QString ValueCondition(const QString& column, const QString& nodeText);

// Appends the condition of one level of the selected node's path (level 0 is the root) and
// extends the sums list's columns, for the seven groupings with plain columns.
void AddLevelCondition(QString& nodeCondition, QString& sumColumns, int level, const QString& nodeText,
                       const QString& c1, const QString& c2, const QString& c3, const QString& c4);

struct NodeSelection
{
    QString nodeCondition;   // " AND ..." conditions, the selected level first
    QString sumColumns;      // comma-separated, without the leading comma
};

// The condition and sums columns of a node, given the texts along its path from level 1 down
// (empty for the root).
NodeSelection SelectNode(const Gruppierung& gruppierung, const QStringList& pathTexts);

QString DetailSql(const QString& currentWhere);
QString TotalsSql(const QString& currentWhere);
QString GroupSql(const QString& sumColumns, const QString& currentWhere);

// The sums of the calls that a list shows; no calls give zero sums and a count of 0.
struct Totals
{
    qint64 Sekunden = 0;
    double Betrag = 0;
    double BetragEuro = 0;
    double Rabatt = 0;
    double RabattEuro = 0;
    qint64 Anzahl = 0;
};

// Runs TotalsSql on `db`; throws RuboError when the engine fails.
Totals ReadTotals(RuboDatabase& db, const QString& currentWhere);
