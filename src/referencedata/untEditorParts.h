#pragma once

#include <QList>

class EditGrid;
class QWidget;
class RecordTable;

// The editable grid of a reference table: its fields as columns with these design widths, each
// text column limited to its width, deleting confirmed through the core's question.
EditGrid* CreateEditGrid(QWidget* parent, RecordTable* table, const QList<int>& designWidths);
// A read-only grid of whole rows.
EditGrid* CreateListGrid(QWidget* parent, RecordTable* table, const QList<int>& designWidths, bool multiSelection);

// Posts a row still in edit, as leaving it would; false when the post was refused.
bool FinishGridEditing(EditGrid* grid);
