#pragma once

#include <QDialog>

class DataGrid;
class QListWidget;

// "Spalten auswählen": a small tool window beside a grid with a check box per column; not modal.
// It deletes itself when closed.
class ColumnChooser : public QDialog
{
    Q_OBJECT
public:
    explicit ColumnChooser(DataGrid* grid);

    // Follows the grid's columns: their order, captions and visibility.
    void refresh();

private:
    DataGrid* m_grid;
    QListWidget* m_list;
};
