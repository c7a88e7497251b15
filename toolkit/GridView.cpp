#include "toolkit/GridView.h"

#include "toolkit/GroupedRows.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

GridView::GridView(QWidget* parent)
    : QTableView(parent)
{
}

void GridView::setRows(GroupedRows* rows)
{
    m_rows = rows;
    setModel(rows);
}

bool GridView::isGroupRow(int row) const
{
    return m_rows && m_rows->isGroupRow(row);
}

QRect GridView::expanderRect(int row) const
{
    const int level = m_rows->data(m_rows->index(row, 0), GroupedRows::GroupLevelRole).toInt();
    return QRect(level * kIndent, rowViewportPosition(row), kIndent, rowHeight(row));
}

void GridView::toggle(int row)
{
    m_rows->setExpanded(row, !m_rows->isExpanded(row));
}

void GridView::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    if (!m_rows || !m_rows->isGrouped())
        return;
    const int first = rowAt(0);
    if (first < 0)
        return;
    int last = rowAt(viewport()->height() - 1);
    if (last < 0)
        last = m_rows->rowCount() - 1;

    QPainter painter(viewport());
    const QItemSelectionModel* selection = selectionModel();
    for (int row = first; row <= last; ++row) {
        if (!isGroupRow(row))
            continue;
        const QModelIndex index = m_rows->index(row, 0);
        const QRect line(0, rowViewportPosition(row), viewport()->width(), rowHeight(row));
        const bool selected = selection && selection->isRowSelected(row, QModelIndex());
        painter.fillRect(line, selected ? palette().color(QPalette::Highlight) : palette().color(QPalette::AlternateBase).darker(104));
        painter.setPen(gridStyle() != Qt::NoPen ? palette().color(QPalette::Mid) : Qt::transparent);
        painter.drawLine(line.bottomLeft(), line.bottomRight());

        QStyleOption branch;
        branch.initFrom(this);
        branch.rect = expanderRect(row);
        branch.state = QStyle::State_Children | QStyle::State_Item;
        if (m_rows->isExpanded(row))
            branch.state |= QStyle::State_Open;
        style()->drawPrimitive(QStyle::PE_IndicatorBranch, &branch, &painter, this);

        painter.setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QRect text = line.adjusted(branch.rect.right() + 4, 0, -4, 0);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                         index.data(GroupedRows::GroupCaptionRole).toString());
    }
}

void GridView::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos.y());
    if (event->button() == Qt::LeftButton && isGroupRow(row) && expanderRect(row).contains(pos)) {
        toggle(row);
        return;
    }
    QTableView::mousePressEvent(event);
}

void GridView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int row = rowAt(event->position().toPoint().y());
    if (event->button() == Qt::LeftButton && isGroupRow(row)) {
        toggle(row);
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void GridView::keyPressEvent(QKeyEvent* event)
{
    const int row = currentIndex().row();
    if (isGroupRow(row)) {
        switch (event->key()) {
        case Qt::Key_Right:
        case Qt::Key_Plus:
            m_rows->setExpanded(row, true);
            return;
        case Qt::Key_Left:
        case Qt::Key_Minus:
            m_rows->setExpanded(row, false);
            return;
        default:
            break;
        }
    }
    QTableView::keyPressEvent(event);
}
