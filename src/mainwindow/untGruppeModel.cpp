#include "mainwindow/untGruppeModel.h"

#include "mainwindow/Gruppierung.h"

TGruppeModel::TGruppeModel(QObject* parent) : QAbstractItemModel(parent) {}

TGruppeModel::~TGruppeModel() = default;

void TGruppeModel::setTree(std::shared_ptr<const GruppeTree> tree, QVector<QIcon> levelPictures)
{
    beginResetModel();
    m_tree = std::move(tree);
    m_pictures = std::move(levelPictures);
    endResetModel();
}

int TGruppeModel::nodeOf(const QModelIndex& index) const
{
    return m_tree && index.isValid() && index.model() == this ? int(index.internalId()) : -1;
}

QModelIndex TGruppeModel::indexOf(int node) const
{
    if (!m_tree || node < 0 || node >= m_tree->nodeCount())
        return {};
    return createIndex(m_tree->row(node), 0, quintptr(node));
}

QModelIndex TGruppeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!m_tree || column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 ? createIndex(0, 0, quintptr(0)) : QModelIndex();
    const int node = nodeOf(parent);
    if (node < 0 || row >= m_tree->childCount(node))
        return {};
    return createIndex(row, 0, quintptr(m_tree->child(node, row)));
}

QModelIndex TGruppeModel::parent(const QModelIndex& child) const
{
    const int node = nodeOf(child);
    return node > 0 ? indexOf(m_tree->parent(node)) : QModelIndex();
}

int TGruppeModel::rowCount(const QModelIndex& parent) const
{
    if (!m_tree)
        return 0;
    if (!parent.isValid())
        return 1;
    const int node = nodeOf(parent);
    return node < 0 ? 0 : m_tree->childCount(node);
}

int TGruppeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool TGruppeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant TGruppeModel::data(const QModelIndex& index, int role) const
{
    const int node = nodeOf(index);
    if (node < 0)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_tree->text(node);
    if (role == Qt::DecorationRole) {
        const int level = m_tree->level(node);
        return level < m_pictures.size() ? QVariant(m_pictures.at(level)) : QVariant();
    }
    return {};
}
