#pragma once

#include <QHeaderView>

class DataGrid;

// The grid's horizontal header: captions and the per-column sort state come from the grid, not
// from the model.
class GridHeader : public QHeaderView
{
public:
    GridHeader(DataGrid* grid, QWidget* parent);

protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;

private:
    DataGrid* m_grid;
};
