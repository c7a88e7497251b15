#include "referencedata/untEditorParts.h"

#include "database/Messages.h"
#include "mainwindow/untScale.h"
#include "referencedata/RecordTable.h"
#include "toolkit/EditGrid.h"

#include <QHeaderView>

namespace {

EditGrid* createGrid(QWidget* parent, RecordTable* table, const QList<int>& designWidths)
{
    auto* grid = new EditGrid(parent);
    grid->setModel(table);
    for (int column = 0; column < designWidths.size() && column < table->columnCount(); ++column)
        grid->setColumnWidth(column, DesignPx(designWidths.at(column)));
    grid->horizontalHeader()->setStretchLastSection(designWidths.size() < table->columnCount());
    return grid;
}

} // namespace

EditGrid* CreateEditGrid(QWidget* parent, RecordTable* table, const QList<int>& designWidths)
{
    EditGrid* grid = createGrid(parent, table, designWidths);
    for (int column = 0; column < table->columnCount(); ++column) {
        const int width = table->fieldWidth(table->fields().at(column));
        if (width > 0)
            grid->setMaxLength(column, width);
    }
    grid->confirmDelete = [](const QString& question) { return AskYesNo(question); };
    return grid;
}

EditGrid* CreateListGrid(QWidget* parent, RecordTable* table, const QList<int>& designWidths, bool multiSelection)
{
    table->setReadOnly(true);
    EditGrid* grid = createGrid(parent, table, designWidths);
    grid->setReadOnly(true, multiSelection);
    return grid;
}

bool FinishGridEditing(EditGrid* grid)
{
    grid->commitOpenEditor();
    return !grid->isEditing() || grid->postRecord();
}
