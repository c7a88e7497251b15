#include "toolkit/GridHeader.h"

#include "toolkit/DataGrid.h"

#include <QStyleOptionHeader>

GridHeader::GridHeader(DataGrid* grid, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent)
    , m_grid(grid)
{
}

void GridHeader::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const
{
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    const QString field = m_grid->fieldOfSection(logicalIndex);
    if (field.isEmpty())
        return;
    option->text = m_grid->columnCaption(field);
    // With several sort columns each shows its place in the order, in front, where a narrow
    // column does not cut it off.
    const QStringList sorted = m_grid->sortedFields();
    if (sorted.size() > 1 && sorted.contains(field))
        option->text = QString::number(sorted.indexOf(field) + 1) + QStringLiteral(". ") + option->text;
    // QHeaderView draws ascending as SortDown; keep the look of a single-sorted header.
    switch (m_grid->sortOrder(field)) {
    case DataGrid::SortOrder::Ascending:
        option->sortIndicator = QStyleOptionHeader::SortDown;
        break;
    case DataGrid::SortOrder::Descending:
        option->sortIndicator = QStyleOptionHeader::SortUp;
        break;
    case DataGrid::SortOrder::None:
        option->sortIndicator = QStyleOptionHeader::None;
        break;
    }
}
