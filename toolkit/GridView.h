#pragma once

#include <QTableView>

class GroupedRows;

// The grid's table: group rows are drawn across the whole width, with an expander indented by
// their level; a click on the expander, a double click on the row, or the arrow keys open and
// close them.
class GridView : public QTableView
{
public:
    static constexpr int kIndent = 16;

    explicit GridView(QWidget* parent = nullptr);
    void setRows(GroupedRows* rows);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool isGroupRow(int row) const;
    QRect expanderRect(int row) const;
    void toggle(int row);

    GroupedRows* m_rows = nullptr;
};
