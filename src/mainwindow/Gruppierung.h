#pragma once

#include <QString>
#include <QStringList>

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
