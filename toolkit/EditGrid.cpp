#include "toolkit/EditGrid.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaProperty>
#include <QStyledItemDelegate>

class EditGridDelegate : public QStyledItemDelegate
{
public:
    explicit EditGridDelegate(EditGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        const int column = index.column();
        const int maxLength = m_grid->m_maxLengths.value(column, 0);
        QWidget* editor = nullptr;
        QLineEdit* line = nullptr;
        if (m_grid->m_pickLists.contains(column)) {
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->addItems(m_grid->m_pickLists.value(column));
            line = combo->lineEdit();
            editor = combo;
        } else {
            line = new QLineEdit(parent);
            editor = line;
        }
        if (maxLength > 0)
            line->setMaxLength(maxLength);
        line->setFrame(false);
        m_grid->editorOpened(editor);
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const QString text = index.data(Qt::EditRole).toString();
        if (auto* combo = qobject_cast<QComboBox*>(editor))
            combo->setEditText(text);
        else if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setText(text);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        QString text;
        if (auto* combo = qobject_cast<QComboBox*>(editor))
            text = combo->currentText();
        else if (auto* line = qobject_cast<QLineEdit*>(editor))
            text = line->text();
        model->setData(index, text, Qt::EditRole);
    }

private:
    EditGrid* m_grid;
};

EditGrid::EditGrid(QWidget* parent) : QTableView(parent)
{
    setItemDelegate(new EditGridDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed
                    | QAbstractItemView::SelectedClicked);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setDefaultSectionSize(18);
    verticalHeader()->setMinimumWidth(14);
    setAlternatingRowColors(false);
    setWordWrap(false);
}

void EditGrid::setModel(QAbstractItemModel* model)
{
    QTableView::setModel(model);
    m_selectionCount = 0;
    if (!model)
        return;
    const QMetaObject* meta = model->metaObject();
    const int property = meta->indexOfProperty("editing");
    if (property >= 0 && meta->property(property).hasNotifySignal()) {
        const QMetaMethod notify = meta->property(property).notifySignal();
        const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSignal("stateChanged()"));
        connect(model, notify, this, slot);
    }
    // The view would post on every change of the current row by itself; the grid does it, so
    // that a refused post can bring the row back without being asked twice.
    disconnect(selectionModel(), SIGNAL(currentRowChanged(QModelIndex, QModelIndex)), model, SLOT(submit()));
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const int count = int(selectedRows().size());
        if (count != m_selectionCount) {
            m_selectionCount = count;
            Q_EMIT selectionCountChanged(count);
        }
    });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        m_selectionCount = 0;
        Q_EMIT stateChanged();
    });
}

void EditGrid::setPickList(int column, const QStringList& items)
{
    m_pickLists.insert(column, items);
}

void EditGrid::setMaxLength(int column, int length)
{
    m_maxLengths.insert(column, length);
}

void EditGrid::setReadOnly(bool readOnly, bool multiple)
{
    m_readOnly = readOnly;
    if (readOnly) {
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setSelectionMode(multiple ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    }
}

void EditGrid::setHeaderColor(const QColor& background, const QColor& text)
{
    m_headerBackground = background;
    if (background.isValid())
        horizontalHeader()->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: %1; color: %2; "
                                                         "border: 0px; border-right: 1px solid palette(mid); "
                                                         "border-bottom: 1px solid palette(mid); padding: 2px 4px; }")
                                              .arg(background.name(), text.name()));
    else
        horizontalHeader()->setStyleSheet(QString());
}

int EditGrid::currentRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void EditGrid::setCurrentRow(int row)
{
    if (!model() || row < 0 || row >= model()->rowCount())
        return;
    const int column = qMax(0, currentIndex().column());
    const QModelIndex target = model()->index(row, column);
    setCurrentIndex(target);
    scrollTo(target);
}

QList<int> EditGrid::selectedRows() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool EditGrid::isEditing() const
{
    return model() && model()->property("editing").toBool();
}

void EditGrid::first()
{
    setCurrentRow(0);
}

void EditGrid::prior()
{
    setCurrentRow(qMax(0, currentRow() - 1));
}

void EditGrid::next()
{
    if (model())
        setCurrentRow(qMin(model()->rowCount() - 1, currentRow() + 1));
}

void EditGrid::last()
{
    if (model())
        setCurrentRow(model()->rowCount() - 1);
}

void EditGrid::commitOpenEditor()
{
    if (QWidget* editor = m_openEditor) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

bool EditGrid::insertRecord()
{
    if (m_readOnly || !model())
        return false;
    commitOpenEditor();
    const int row = currentRow() < 0 ? model()->rowCount() : currentRow();
    if (!model()->insertRows(row, 1))
        return false;
    m_restoring = true;
    setCurrentRow(row);
    m_restoring = false;
    edit(currentIndex());
    Q_EMIT stateChanged();
    return true;
}

bool EditGrid::deleteRecord()
{
    const int row = currentRow();
    if (m_readOnly || !model() || row < 0)
        return false;
    if (confirmDelete && !confirmDelete(QStringLiteral("Datensatz löschen?")))
        return false;
    if (QWidget* editor = m_openEditor)
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    const bool removed = model()->removeRows(row, 1);
    Q_EMIT stateChanged();
    return removed;
}

void EditGrid::editRecord()
{
    const int row = currentRow();
    if (m_readOnly || !model() || row < 0)
        return;
    bool started = false;
    QMetaObject::invokeMethod(model(), "edit", Q_RETURN_ARG(bool, started), Q_ARG(int, row));
    if (started)
        edit(currentIndex());
    Q_EMIT stateChanged();
}

bool EditGrid::postRecord()
{
    if (!model())
        return false;
    commitOpenEditor();
    const bool posted = model()->submit();
    Q_EMIT stateChanged();
    return posted;
}

void EditGrid::cancelRecord()
{
    if (!model())
        return;
    if (QWidget* editor = m_openEditor)
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    model()->revert();
    Q_EMIT stateChanged();
}

void EditGrid::refreshRecords()
{
    if (!model() || (isEditing() && !postRecord()))
        return;
    const int row = currentRow();
    QMetaObject::invokeMethod(model(), "refresh");
    setCurrentRow(qMin(row, model()->rowCount() - 1));
    Q_EMIT stateChanged();
}

void EditGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    const int editRow = model() ? model()->property("editRow").toInt() : -1;
    if (!m_restoring && previous.isValid() && current.row() != previous.row() && isEditing() && editRow == previous.row()) {
        if (!model()->submit()) {
            // The row stays where the user can mend it.
            m_restoring = true;
            setCurrentIndex(previous);
            m_restoring = false;
        }
    }
    Q_EMIT currentRowChanged(currentRow());
    Q_EMIT stateChanged();
}

void EditGrid::keyPressEvent(QKeyEvent* event)
{
    if (!m_readOnly && state() != QAbstractItemView::EditingState) {
        if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
            insertRecord();
            return;
        }
        if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
            deleteRecord();
            return;
        }
        if (event->key() == Qt::Key_Escape && isEditing()) {
            cancelRecord();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void EditGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (hint == QAbstractItemDelegate::SubmitModelCache || hint == QAbstractItemDelegate::RevertModelCache)
        hint = QAbstractItemDelegate::NoHint;
    if (editor == m_openEditor)
        m_openEditor = nullptr;
    QTableView::closeEditor(editor, hint);
    Q_EMIT stateChanged();
}
