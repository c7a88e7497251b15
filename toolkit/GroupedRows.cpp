#include "toolkit/GroupedRows.h"

#include "toolkit/SqlPagedModel.h"

#include <QSet>

namespace {

bool isEmptyValue(const QVariant& v)
{
    return v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
}

// An absent and an empty text land in one group, as they look the same; all else must be equal
// exactly, texts to the character.
bool sameKey(const QVariant& a, const QVariant& b)
{
    const bool emptyA = isEmptyValue(a);
    const bool emptyB = isEmptyValue(b);
    if (emptyA || emptyB)
        return emptyA && emptyB;
    if (a.typeId() == QMetaType::QString && b.typeId() == QMetaType::QString)
        return a.toString() == b.toString();
    return a == b;
}

QString countText(int count)
{
    return count == 1 ? QStringLiteral("1 Eintrag") : QString::number(count) + QStringLiteral(" Einträge");
}

} // namespace

GroupedRows::GroupedRows(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void GroupedRows::setSource(SqlPagedModel* source)
{
    if (m_source == source)
        return;
    beginResetModel();
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (source) {
        // A new statement and a new order both change which rows exist here.
        connect(source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
        connect(source, &QAbstractItemModel::modelReset, this, [this] {
            buildGroups();
            endResetModel();
        });
        connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] { beginResetModel(); });
        connect(source, &QAbstractItemModel::layoutChanged, this, [this] {
            buildGroups();
            endResetModel();
        });
        // Rows announced later (a count that arrives after the first page) change the groups too.
        for (auto about : {&QAbstractItemModel::rowsAboutToBeInserted, &QAbstractItemModel::rowsAboutToBeRemoved})
            connect(source, about, this, [this] { beginResetModel(); });
        for (auto done : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(source, done, this, [this] {
                buildGroups();
                endResetModel();
            });
        connect(source, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                    if (rowCount() > 0 && columnCount() > 0)
                        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), roles);
                });
        connect(source, &QAbstractItemModel::headerDataChanged, this, &QAbstractItemModel::headerDataChanged);
    }
    buildGroups();
    endResetModel();
}

void GroupedRows::setGroupFields(const QStringList& fields, const QStringList& captions)
{
    if (fields == m_fields && captions == m_captions)
        return;
    m_fields = fields;
    m_captions = captions;
    rebuild();
}

void GroupedRows::rebuild()
{
    beginResetModel();
    buildGroups();
    endResetModel();
}

void GroupedRows::buildGroups()
{
    // Groups the user opened stay open when the records are ordered anew or read again.
    QSet<QString> expandedPaths;
    if (m_builtFields == m_fields) {
        for (const Group& g : m_groups) {
            if (g.expanded)
                expandedPaths.insert(g.path);
        }
    }
    m_builtFields.clear();
    m_groups.clear();
    m_topGroups.clear();
    m_innermostGroupOfRecord.clear();
    m_parentOfGroup.clear();
    m_rows.clear();
    m_rowOfRecord.clear();
    if (!m_source || !m_source->isOpen() || !m_source->holdAllRows())
        return;

    QList<int> columns;
    QStringList names;
    for (int i = 0; i < m_fields.size(); ++i) {
        const int column = m_source->fieldIndex(m_fields.at(i));
        if (column < 0 || columns.contains(column))
            continue;
        columns << column;
        const QString caption = m_captions.value(i);
        names << (caption.isEmpty() ? m_fields.at(i) : caption);
    }
    const int levels = int(columns.size());
    const int records = m_source->rowCount();
    if (levels == 0 || records == 0)
        return;
    m_builtFields = m_fields;

    std::vector<int> open(static_cast<size_t>(levels), -1);
    std::vector<QVariant> keys(static_cast<size_t>(levels));
    std::vector<QString> valueTexts;
    const auto close = [&](int level, int end) {
        Group& g = m_groups[size_t(open[size_t(level)])];
        g.recordCount = end - g.firstRecord;
        g.caption = names.at(level) + QStringLiteral(": ") + valueTexts[size_t(open[size_t(level)])]
                    + QStringLiteral(" (") + countText(g.recordCount) + QLatin1Char(')');
    };
    m_innermostGroupOfRecord.resize(size_t(records));
    for (int r = 0; r < records; ++r) {
        int differs = r == 0 ? 0 : levels;
        for (int k = 0; k < levels && differs == levels; ++k) {
            if (!sameKey(m_source->value(r, columns.at(k)), keys[size_t(k)]))
                differs = k;
        }
        for (int k = differs; k < levels; ++k) {
            if (r > 0)
                close(k, r);
            const QModelIndex cell = m_source->index(r, columns.at(k));
            Group g;
            g.level = k;
            g.firstRecord = r;
            const int id = int(m_groups.size());
            const int parent = k == 0 ? -1 : open[size_t(k) - 1];
            m_groups.push_back(std::move(g));
            m_parentOfGroup.push_back(parent);
            const QString text = m_source->data(cell, Qt::DisplayRole).toString();
            valueTexts.push_back(text.isEmpty() ? QStringLiteral("(leer)") : text);
            Group& added = m_groups.back();
            added.path = (parent < 0 ? QString() : m_groups[size_t(parent)].path + QChar(0x1f)) + text;
            added.expanded = expandedPaths.contains(added.path);
            if (parent < 0)
                m_topGroups.push_back(id);
            else
                m_groups[size_t(parent)].children.push_back(id);
            open[size_t(k)] = id;
            keys[size_t(k)] = m_source->value(r, columns.at(k));
        }
        m_innermostGroupOfRecord[size_t(r)] = open[size_t(levels) - 1];
    }
    for (int k = 0; k < levels; ++k)
        close(k, records);

    for (int g : m_topGroups)
        appendShown(g, m_rows);
    indexRows();
}

void GroupedRows::appendShown(int group, std::vector<Row>& rows) const
{
    const Group& g = m_groups[size_t(group)];
    rows.push_back({group, -1});
    if (!g.expanded)
        return;
    if (!g.children.empty()) {
        for (int child : g.children)
            appendShown(child, rows);
        return;
    }
    for (int r = g.firstRecord; r < g.firstRecord + g.recordCount; ++r)
        rows.push_back({-1, r});
}

void GroupedRows::indexRows()
{
    m_rowOfRecord.assign(m_innermostGroupOfRecord.size(), -1);
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].record >= 0)
            m_rowOfRecord[size_t(m_rows[i].record)] = int(i);
    }
}

int GroupedRows::groupOfRow(int row) const
{
    if (!isGrouped() || row < 0 || row >= int(m_rows.size()))
        return -1;
    return m_rows[size_t(row)].group;
}

int GroupedRows::recordOfRow(int row) const
{
    if (row < 0 || row >= rowCount())
        return -1;
    return isGrouped() ? m_rows[size_t(row)].record : row;
}

int GroupedRows::rowOfRecord(int record) const
{
    if (!isGrouped())
        return record >= 0 && record < rowCount() ? record : -1;
    return record >= 0 && record < int(m_rowOfRecord.size()) ? m_rowOfRecord[size_t(record)] : -1;
}

bool GroupedRows::isGroupRow(int row) const
{
    return groupOfRow(row) >= 0;
}

bool GroupedRows::isExpanded(int row) const
{
    const int g = groupOfRow(row);
    return g >= 0 && m_groups[size_t(g)].expanded;
}

void GroupedRows::setExpanded(int row, bool expanded)
{
    const int g = groupOfRow(row);
    if (g < 0 || m_groups[size_t(g)].expanded == expanded)
        return;
    // Rows come and go below the group row only, so the view keeps its selection and scroll.
    m_groups[size_t(g)].expanded = true;
    std::vector<Row> below;
    appendShown(g, below);
    below.erase(below.begin());
    const int count = int(below.size());
    if (expanded) {
        if (count > 0)
            beginInsertRows(QModelIndex(), row + 1, row + count);
        m_rows.insert(m_rows.begin() + row + 1, below.begin(), below.end());
        indexRows();
        if (count > 0)
            endInsertRows();
    } else {
        m_groups[size_t(g)].expanded = false;
        if (count > 0)
            beginRemoveRows(QModelIndex(), row + 1, row + count);
        m_rows.erase(m_rows.begin() + row + 1, m_rows.begin() + row + 1 + count);
        indexRows();
        if (count > 0)
            endRemoveRows();
    }
    const QModelIndex cell = index(row, 0);
    Q_EMIT dataChanged(cell, index(row, qMax(0, columnCount() - 1)), {GroupExpandedRole});
}

void GroupedRows::expandToRecord(int record)
{
    if (!isGrouped() || record < 0 || record >= int(m_innermostGroupOfRecord.size()))
        return;
    std::vector<int> path;
    for (int g = m_innermostGroupOfRecord[size_t(record)]; g >= 0; g = m_parentOfGroup[size_t(g)])
        path.insert(path.begin(), g);
    for (int g : path) {
        if (m_groups[size_t(g)].expanded)
            continue;
        for (size_t row = 0; row < m_rows.size(); ++row) {
            if (m_rows[row].group == g) {
                setExpanded(int(row), true);
                break;
            }
        }
    }
}

void GroupedRows::setAllExpanded(bool expanded)
{
    if (!isGrouped())
        return;
    beginResetModel();
    for (Group& g : m_groups)
        g.expanded = expanded;
    m_rows.clear();
    for (int g : m_topGroups)
        appendShown(g, m_rows);
    indexRows();
    endResetModel();
}

int GroupedRows::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_source)
        return 0;
    return isGrouped() ? int(m_rows.size()) : m_source->rowCount();
}

int GroupedRows::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_source)
        return 0;
    return m_source->columnCount();
}

QVariant GroupedRows::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_source)
        return {};
    const int g = groupOfRow(index.row());
    if (g < 0) {
        if (role == IsGroupRole)
            return false;
        const int record = recordOfRow(index.row());
        return record < 0 ? QVariant() : m_source->data(m_source->index(record, index.column()), role);
    }
    const Group& group = m_groups[size_t(g)];
    switch (role) {
    case IsGroupRole:
        return true;
    case GroupCaptionRole:
        return group.caption;
    case GroupLevelRole:
        return group.level;
    case GroupExpandedRole:
        return group.expanded;
    default:
        return {};
    }
}

QVariant GroupedRows::headerData(int section, Qt::Orientation orientation, int role) const
{
    return m_source ? m_source->headerData(section, orientation, role) : QVariant();
}

SqlPagedModel* GroupedRows::source() const
{
    return m_source;
}
