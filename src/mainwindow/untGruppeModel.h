#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QVector>

#include <memory>

class GruppeTree;

// The grouping tree as the tree view shows it: one column, the nodes of a GruppeTree, each with
// its level's picture; the selected node shows the root's picture.
class TGruppeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit TGruppeModel(QObject* parent = nullptr);
    ~TGruppeModel() override;

    // Shows `tree` in place of the nodes shown so far; null shows an empty tree.
    void setTree(std::shared_ptr<const GruppeTree> tree, QVector<QIcon> levelPictures);
    const GruppeTree* tree() const { return m_tree.get(); }
    int nodeOf(const QModelIndex& index) const;   // -1 for none
    QModelIndex indexOf(int node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const GruppeTree> m_tree;
    QVector<QIcon> m_pictures;
};
