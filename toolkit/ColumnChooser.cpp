#include "toolkit/ColumnChooser.h"

#include "toolkit/DataGrid.h"

#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

ColumnChooser::ColumnChooser(DataGrid* grid)
    : QDialog(grid, Qt::Tool)
    , m_grid(grid)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Spalten auswählen"));
    auto* layout = new QVBoxLayout(this);
    m_list = new QListWidget(this);
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
