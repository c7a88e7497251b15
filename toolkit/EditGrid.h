#pragma once

#include <QColor>
#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QTableView>

#include <functional>

// A data grid for editing a table in place, row by row. It drives any table model through the
// item-model protocol: setData() puts a row into edit, submit() posts it, revert() cancels,
// insertRows() and removeRows() insert and delete one row. A model may announce a row waiting
// to be posted with a bool property `editing` (and its notify signal), and may offer an
// invokable refresh(). Leaving a row in edit posts it; a refused post brings the row back.
class EditGrid : public QTableView
{
    Q_OBJECT
public:
    explicit EditGrid(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;

    // A column whose cells are picked from a list; the list opens on request (F4, Alt+Down or
    // its button), not when the cell is entered. Other texts may be typed.
    void setPickList(int column, const QStringList& items);
    void setMaxLength(int column, int length);
    // No editing; rows are selected whole, several at once when `multiple`.
    void setReadOnly(bool readOnly, bool multiple = false);
    bool isReadOnly() const { return m_readOnly; }
    // An invalid colour returns the header to the style's own.
    void setHeaderColor(const QColor& background, const QColor& text = Qt::white);
    QColor headerColor() const { return m_headerBackground; }

    // Asked before a row is deleted, with "Datensatz löschen?"; without it the row goes at once.
    std::function<bool(const QString& question)> confirmDelete;

    int currentRow() const;
    void setCurrentRow(int row);
    QList<int> selectedRows() const;   // ascending
    bool isEditing() const;

    // What the navigators do.
    void first();
    void prior();
    void next();
    void last();
    bool insertRecord();
    bool deleteRecord();
    void editRecord();
    bool postRecord();
    void cancelRecord();
    void refreshRecords();

    // Hands an open cell editor's text to the model, so that a post sees what was typed.
    void commitOpenEditor();

Q_SIGNALS:
    // The current row or the editing state changed: navigators update their buttons.
    void stateChanged();
    // The number of selected rows changed.
    void selectionCountChanged(int count);
    void currentRowChanged(int row);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Ending a cell's edit neither posts nor cancels the row: the row decides when it is left.
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class EditGridDelegate;
    void editorOpened(QWidget* editor) { m_openEditor = editor; }

    QPointer<QWidget> m_openEditor;
    QHash<int, QStringList> m_pickLists;
    QHash<int, int> m_maxLengths;
    bool m_readOnly = false;
    bool m_restoring = false;
    int m_selectionCount = 0;
    QColor m_headerBackground;
};
