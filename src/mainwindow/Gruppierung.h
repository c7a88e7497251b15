#pragma once

#include <QByteArray>
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

// The nodes of a grouping tree, held flat so that a million of them cost some 30 bytes each:
// node 0 is the root "Anrufe", the others follow in the order of the tree query's rows, each
// after its parent. An absent and an empty value give the same empty text, and so the same node.
class GruppeTree
{
public:
    GruppeTree();

    int nodeCount() const { return int(m_parent.size()); }
    int rowCount() const { return m_rows; }   // rows of the tree query read
    bool cancelled() const { return m_cancelled; }
    int level(int node) const { return m_level[size_t(node)]; }
    int parent(int node) const { return m_parent[size_t(node)]; }   // -1 for the root
    int row(int node) const { return m_row[size_t(node)]; }         // place among its parent's children
    int childCount(int node) const { return m_childStart[size_t(node) + 1] - m_childStart[size_t(node)]; }
    int child(int node, int row) const { return m_children[size_t(m_childStart[size_t(node)] + row)]; }
    QString text(int node) const;
    // The texts from level 1 down to the node: what its condition is built from.
    QStringList path(int node) const;
    size_t bytesHeld() const;

private:
    friend GruppeTree ReadGruppeTree(RuboDatabase&, const Gruppierung&, const QString&,
                                     const std::function<bool(int, int)>&);
    void addNode(int parent, int level, const char* text, int bytes);
    void linkChildren(const std::function<bool(int, int)>& proceed);

    std::vector<qint32> m_parent;
    std::vector<qint32> m_row;
    std::vector<qint32> m_childStart;   // one entry per node, then the end; indexes m_children
    std::vector<qint32> m_children;     // every node's children in turn
    std::vector<quint32> m_textStart;   // one entry per node, then the end; indexes m_texts
    std::vector<quint8> m_level;
    QByteArray m_texts;                 // UTF-8, one after the other
    int m_rows = 0;
    bool m_cancelled = false;
};

// Runs the tree query on `db` and builds the tree. Uses nothing but its arguments, so a worker
// with a connection of its own may call it. `proceed`, when given, is asked every 1024 rows with
// the rows read so far and a total of 0, then, while the tree is linked, every 1024 rows with the
// rows linked and the total; false stops the work, and the tree is then incomplete and cancelled.
// Throws RuboError when the engine fails.
GruppeTree ReadGruppeTree(RuboDatabase& db, const Gruppierung& gruppierung, const QString& filterWhere,
                          const std::function<bool(int done, int total)>& proceed = {});

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
