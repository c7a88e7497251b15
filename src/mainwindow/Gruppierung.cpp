#include "mainwindow/Gruppierung.h"

#include "database/RuboEngine.h"
#include "database/SqlText.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// The tree lists its texts in the language's order. Only identical texts tie in it, so the rows of
// one node stay together. The grouping stays by bytes: grouping all calls in the collation measured
// slower than sorting the groups afterwards.
QString orderList(const QStringList& terms)
{
    QStringList collated;
    for (const QString& t : terms)
        collated << SqlInLanguageOrder(t);
    return collated.join(QStringLiteral(", "));
}

Gruppierung plain(const char* text, QStringList columns, const char* pictures, bool blankAfterSelect = false)
{
    Gruppierung g;
    g.text = QString::fromUtf8(text);
    g.levels = int(columns.size());
    const QString list = columns.join(QStringLiteral(", "));
    g.selectPiece = QStringLiteral("SELECT ") + list + (blankAfterSelect ? QStringLiteral(", ") : QStringLiteral(","));
    g.groupPiece = QStringLiteral(" GROUP BY ") + list;
    g.orderPiece = QStringLiteral(" ORDER BY ") + orderList(columns);
    while (columns.size() < 4)
        columns << QString();
    g.columns = columns;
    g.pictureList = QString::fromLatin1(pictures);
    return g;
}

} // namespace

const QList<Gruppierung>& Gruppierungen()
{
    static const QList<Gruppierung> list = [] {
        QList<Gruppierung> l;
        l << plain("Ziele", {"Ziel", "Nebenstelle"}, "imglDestination");
        l << plain("Kostenstellen & Nebenstellen", {"Kostenstelle", "Nebenstelle", "Zone"}, "imglKostenstellen", true);
        l << plain("Kostenstellen & Zonen", {"Kostenstelle", "Zone", "Nebenstelle"}, "imglKostenzone");
        l << plain("Zonen", {"Zone", "Ziel", "Nebenstelle"}, "imglZone");
        Gruppierung ia;
        ia.text = QStringLiteral("Inland - Ausland");
        ia.levels = 4;
        ia.columns = QStringList{"InlandAusland", "Zone", "Ziel", "Nebenstelle"};
        ia.pictureList = QStringLiteral("imglInlandAusland");
        l << ia;
        l << plain("Nebenstellen", {"Nebenstelle", "Zone", "Ziel"}, "imglNebenstelle");
        l << plain("Filialen & Nebenstellen", {"FilialeID", "Nebenstelle", "Zone"}, "imglFilialen");
        l << plain("Filialen & Kostenstellen", {"FilialeID", "Kostenstelle", "Zone", "Nebenstelle"}, "imglFilialeKosten", true);
        return l;
    }();
    return list;
}

const Gruppierung* FindGruppierung(const QString& text)
{
    for (const Gruppierung& g : Gruppierungen())
        if (g.text == text)
            return &g;
    return nullptr;
}

QString TreeQuerySql(const Gruppierung& g, const QString& filterWhere)
{
    if (g.isInlandAusland()) {
        return QStringLiteral("SELECT 'Inland' AS InlandAusland, Zone, Ziel, Nebenstelle") + QStringLiteral(" FROM EGN")
            + QStringLiteral(" WHERE IAS = 'I'") + filterWhere + QStringLiteral(" UNION")
            + QStringLiteral(" SELECT 'Ausland' AS InlandAusland, Zone, Ziel, Nebenstelle") + QStringLiteral(" FROM EGN")
            + QStringLiteral(" WHERE IAS = 'A'") + filterWhere + QStringLiteral(" UNION")
            + QStringLiteral(" SELECT 'Sonst' AS InlandAusland, Zone, Ziel, Nebenstelle") + QStringLiteral(" FROM EGN")
            + QStringLiteral(" WHERE IAS = 'S'") + filterWhere
            + QStringLiteral(" GROUP BY InlandAusland, Zone, Ziel, Nebenstelle") + QStringLiteral(" ORDER BY ")
            + orderList({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    }
    return g.selectPiece + QStringLiteral("Count(*) AS CntAnrufe, Sum(Betrag) AS SumBetrag, Sum(Sekunden) AS SumSekunden")
        + QStringLiteral(" FROM EGN") + QStringLiteral(" WHERE 1=1 ") + filterWhere + g.groupPiece + g.orderPiece;
}

GruppeTree::GruppeTree()
{
    m_textStart.push_back(0);
    addNode(-1, 0, "Anrufe", 6);
    m_row.push_back(0);
    m_childStart.assign(2, 0);
}

void GruppeTree::addNode(int parent, int level, const char* text, int bytes)
{
    m_parent.push_back(parent);
    m_level.push_back(quint8(level));
    if (bytes > 0)
        m_texts.append(text, bytes);
    m_textStart.push_back(quint32(m_texts.size()));
}

QString GruppeTree::text(int node) const
{
    const quint32 start = m_textStart[size_t(node)];
    return QString::fromUtf8(m_texts.constData() + start, int(m_textStart[size_t(node) + 1] - start));
}

QStringList GruppeTree::path(int node) const
{
    QStringList texts;
    for (int n = node; n > 0; n = parent(n))
        texts.prepend(text(n));
    return texts;
}

size_t GruppeTree::bytesHeld() const
{
    return m_parent.capacity() * sizeof(qint32) + m_row.capacity() * sizeof(qint32)
        + m_childStart.capacity() * sizeof(qint32) + m_children.capacity() * sizeof(qint32)
        + m_textStart.capacity() * sizeof(quint32) + m_level.capacity() + size_t(m_texts.capacity());
}

void GruppeTree::linkChildren(const std::function<bool(int, int)>& proceed)
{
    // A counting sort by parent: the nodes come in the query's order, so each parent's children
    // stay in it. Every row that adds nodes adds one of the deepest level; they count the rows.
    const size_t n = m_parent.size();
    const int deepest = n > 1 ? *std::max_element(m_level.begin(), m_level.end()) : 0;
    m_childStart.assign(n + 1, 0);
    for (size_t i = 1; i < n; ++i)
        ++m_childStart[size_t(m_parent[i]) + 1];
    for (size_t i = 1; i <= n; ++i)
        m_childStart[i] += m_childStart[i - 1];
    m_children.assign(n > 0 ? n - 1 : 0, 0);
    m_row.assign(n, 0);
    std::vector<qint32> filled(n, 0);
    int rows = 0;
    for (size_t i = 1; i < n; ++i) {
        const size_t p = size_t(m_parent[i]);
        m_row[i] = filled[p]++;
        m_children[size_t(m_childStart[p] + m_row[i])] = qint32(i);
        if (m_level[i] == deepest && (++rows & 1023) == 0 && proceed && !proceed(rows, m_rows)) {
            m_cancelled = true;
            return;
        }
    }
    m_parent.shrink_to_fit();
    m_level.shrink_to_fit();
    m_textStart.shrink_to_fit();
    m_texts.squeeze();
}

GruppeTree ReadGruppeTree(RuboDatabase& db, const Gruppierung& g, const QString& filterWhere,
                          const std::function<bool(int done, int total)>& proceed)
{
    // The texts are compared as bytes with the previous row's, so that a row costs only the nodes
    // it adds; a node's parent is the last node one level up.
    GruppeTree tree;
    const int levels = qMax(g.levels, 0);
    RuboStatement stmt(db, TreeQuerySql(g, filterWhere));
    sqlite3_stmt* st = stmt.get();
    std::vector<std::string> current(static_cast<size_t>(levels));
    std::vector<int> path(static_cast<size_t>(levels) + 1, 0);
    bool first = true;
    while (stmt.step()) {
        if (proceed && tree.m_rows > 0 && (tree.m_rows & 1023) == 0 && !proceed(tree.m_rows, 0)) {
            tree.m_cancelled = true;
            return tree;
        }
        ++tree.m_rows;
        int differs = first ? 0 : levels;
        for (int k = first ? levels : 0; k < levels; ++k) {
            const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, k));
            const size_t n = size_t(sqlite3_column_bytes(st, k));
            if (n != current[size_t(k)].size() || (n > 0 && std::memcmp(p, current[size_t(k)].data(), n) != 0)) {
                differs = k;
                break;
            }
        }
        for (int k = differs; k < levels; ++k) {
            const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, k));
            const int n = sqlite3_column_bytes(st, k);
            if (p)
                current[size_t(k)].assign(p, size_t(n));
            else
                current[size_t(k)].clear();
            path[size_t(k) + 1] = tree.nodeCount();
            tree.addNode(path[size_t(k)], k + 1, p, n);
        }
        first = false;
    }
    tree.linkChildren(proceed);
    return tree;
}

QString ValueCondition(const QString& column, const QString& nodeText)
{
    // The tree shows an absent and an empty value as one node with an empty text; select both.
    if (nodeText.isEmpty())
        return QStringLiteral(" IS NULL OR ") + column + QStringLiteral(" = ''");
    return QStringLiteral(" = ") + SqlQuoted(nodeText);
}

void AddLevelCondition(QString& nodeCondition, QString& sumColumns, int level, const QString& nodeText,
                       const QString& c1, const QString& c2, const QString& c3, const QString& c4)
{
    const QString c[5] = {QString(), c1, c2, c3, c4};
    if (level == 0) {
        if (sumColumns.isEmpty() && !c1.isEmpty())
            sumColumns = QLatin1Char(',') + c1;
        return;
    }
    if (level > 4 || c[level].isEmpty())
        return;
    nodeCondition += QStringLiteral(" AND (") + c[level] + ValueCondition(c[level], nodeText) + QLatin1Char(')');
    if (level < 4 && sumColumns.isEmpty() && !c[level + 1].isEmpty())
        sumColumns = QLatin1Char(',') + c[level + 1];
    sumColumns = QLatin1Char(',') + c[level] + sumColumns;
}

namespace {

void addInlandAuslandLevel(QString& condition, QString& sumColumns, int level, const QString& text)
{
    static const char* const next[] = {"IAS", "Zone", "Ziel", "Nebenstelle", nullptr};
    static const char* const own[] = {nullptr, "IAS", "Zone", "Ziel", "Nebenstelle"};
    if (level == 1) {
        const char* ias = text == QLatin1String("Inland") ? "I" : text == QLatin1String("Ausland") ? "A" : "S";
        condition += QStringLiteral(" AND IAS = '") + QLatin1String(ias) + QLatin1Char('\'');
    } else if (level >= 2 && level <= 4) {
        const QString column = QString::fromLatin1(own[level]);
        condition += QStringLiteral(" AND (") + column + ValueCondition(column, text) + QLatin1Char(')');
    }
    if (level <= 3 && sumColumns.isEmpty())
        sumColumns = QLatin1Char(',') + QLatin1String(next[level]);
    if (level >= 1 && level <= 4)
        sumColumns = QLatin1Char(',') + QLatin1String(own[level]) + sumColumns;
}

} // namespace

NodeSelection SelectNode(const Gruppierung& g, const QStringList& pathTexts)
{
    NodeSelection s;
    for (int level = int(pathTexts.size()); level >= 0; --level) {
        const QString text = level > 0 ? pathTexts.at(level - 1) : QString();
        if (g.isInlandAusland())
            addInlandAuslandLevel(s.nodeCondition, s.sumColumns, level, text);
        else
            AddLevelCondition(s.nodeCondition, s.sumColumns, level, text, g.columns.value(0), g.columns.value(1),
                              g.columns.value(2), g.columns.value(3));
    }
    if (!s.sumColumns.isEmpty())
        s.sumColumns.remove(0, 1);
    return s;
}

QString DetailSql(const QString& currentWhere)
{
    return QStringLiteral("SELECT * FROM EGN WHERE (1=1)") + currentWhere;
}

QString TotalsSql(const QString& currentWhere)
{
    // The count rides along, so the detail list need not scan the calls a second time to count them.
    return QStringLiteral("SELECT SUM(Sekunden), SUM(Betrag), SUM(BetragEuro), SUM(Rabatt), SUM(RabattEuro), COUNT(*) "
                          "FROM EGN WHERE (1=1)")
        + currentWhere;
}

Totals ReadTotals(RuboDatabase& db, const QString& currentWhere)
{
    enum Column { Sekunden, Betrag, BetragEuro, Rabatt, RabattEuro, Anzahl };
    Totals t;
    RuboStatement stmt(db, TotalsSql(currentWhere));
    if (stmt.step()) {
        t.Sekunden = stmt.column(Sekunden).toLongLong();
        t.Betrag = stmt.column(Betrag).toDouble();
        t.BetragEuro = stmt.column(BetragEuro).toDouble();
        t.Rabatt = stmt.column(Rabatt).toDouble();
        t.RabattEuro = stmt.column(RabattEuro).toDouble();
        t.Anzahl = stmt.column(Anzahl).toLongLong();
    }
    return t;
}

QString GroupSql(const QString& sumColumns, const QString& currentWhere)
{
    QString sql = QStringLiteral("SELECT ") + sumColumns;
    if (!sumColumns.isEmpty())
        sql += QLatin1Char(',');
    sql += QStringLiteral("SUM(Sekunden) AS SumSekunden, SUM(Betrag) AS SumBetrag, SUM(BetragEuro) AS SumEuro, COUNT(*) AS Anzahl, "
                          "SUM(Rabatt) AS SumRabatt, SUM(RabattEuro) AS SumRabattEuro FROM EGN WHERE (1=1)");
    sql += currentWhere;
    if (!sumColumns.isEmpty())
        sql += QStringLiteral(" GROUP BY ") + sumColumns;
    return sql;
}
