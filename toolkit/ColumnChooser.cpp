#include "toolkit/ColumnChooser.h"

#include "toolkit/DataGrid.h"
#include "toolkit/GroupingPanel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The chooser's list: a shown column dragged here from the header is hidden, an entry dragged
// onto the header is shown there.
class ChooserList : public QListWidget
{
public:
    ChooserList(DataGrid* grid, QWidget* parent) : QListWidget(parent), m_grid(grid)
    {
        setDragEnabled(true);
        setAcceptDrops(true);
        setDragDropMode(QAbstractItemView::DragDrop);
        setDefaultDropAction(Qt::MoveAction);
    }

protected:
    QStringList mimeTypes() const override { return {GroupingPanel::fieldMimeType()}; }
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override
    {
        if (items.isEmpty())
            return nullptr;
        const QString field = items.first()->data(Qt::UserRole).toString();
        return m_grid->fieldMimeData(field).release();
    }
    void dragEnterEvent(QDragEnterEvent* event) override { accept(event); }
    void dragMoveEvent(QDragMoveEvent* event) override { accept(event); }
    void dropEvent(QDropEvent* event) override
    {
        const QString field = shownField(event->mimeData());
        if (field.isEmpty()) {
            event->ignore();
            return;
        }
        event->acceptProposedAction();
        m_grid->setColumnVisible(field, false);
    }

private:
    QString shownField(const QMimeData* mime) const
    {
        if (!mime || !mime->hasFormat(GroupingPanel::fieldMimeType()))
            return {};
        const QString field = QString::fromUtf8(mime->data(GroupingPanel::fieldMimeType()));
        return m_grid->isColumnVisible(field) ? field : QString();
    }
    void accept(QDragMoveEvent* event)
    {
        if (shownField(event->mimeData()).isEmpty())
            event->ignore();
        else
            event->acceptProposedAction();
    }

    DataGrid* m_grid;
};

} // namespace

ColumnChooser::ColumnChooser(DataGrid* grid)
    : QDialog(grid, Qt::Tool)
    , m_grid(grid)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Spalten auswählen"));
    auto* layout = new QVBoxLayout(this);
    m_list = new ChooserList(grid, this);
    m_list->setObjectName(QStringLiteral("columnList"));
    layout->addWidget(m_list);
    auto* close = new QPushButton(QStringLiteral("Schließen"), this);
    layout->addWidget(close);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const QString field = item->data(Qt::UserRole).toString();
        const bool visible = item->checkState() == Qt::Checked;
        if (m_grid->isColumnVisible(field) != visible)
            m_grid->setColumnVisible(field, visible);
    });
    refresh();
    resize(220, 360);
}

void ColumnChooser::refresh()
{
    const QList<GridColumn>& columns = m_grid->columns();
    const QSignalBlocker blocker(m_list);
    // Update in place when only check states changed: this runs inside the list's own
    // itemChanged, and clearing would delete the item being handled.
    bool sameFields = m_list->count() == columns.size();
    for (int i = 0; sameFields && i < columns.size(); ++i)
        sameFields = m_list->item(i)->data(Qt::UserRole).toString() == columns.at(i).field;
    if (sameFields) {
        for (int i = 0; i < columns.size(); ++i)
            m_list->item(i)->setCheckState(columns.at(i).visible ? Qt::Checked : Qt::Unchecked);
        return;
    }
    m_list->clear();
    for (const GridColumn& column : columns) {
        auto* item = new QListWidgetItem(column.caption.isEmpty() ? column.field : column.caption, m_list);
        item->setData(Qt::UserRole, column.field);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(column.visible ? Qt::Checked : Qt::Unchecked);
    }
}
