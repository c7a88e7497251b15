#include "toolkit/DataGrid.h"

#include "toolkit/ColumnChooser.h"
#include "toolkit/GridHeader.h"
#include "toolkit/GridView.h"
#include "toolkit/GroupedRows.h"
#include "toolkit/GroupingPanel.h"
#include "toolkit/SqlPagedModel.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QMouseEvent>
#include <QSettings>
#include <QSet>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

constexpr int kMaxStoredWidth = 10000;

QString sortText(DataGrid::SortOrder order)
{
    switch (order) {
    case DataGrid::SortOrder::Ascending:
        return QStringLiteral("ASC");
    case DataGrid::SortOrder::Descending:
        return QStringLiteral("DESC");
    case DataGrid::SortOrder::None:
        break;
    }
    return QStringLiteral("NONE");
}

bool readBool(const QVariant& v, bool fallback)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    const QString s = v.toString().trimmed().toLower();
    if (s == QLatin1String("true") || s == QLatin1String("1"))
        return true;
    if (s == QLatin1String("false") || s == QLatin1String("0"))
        return false;
    return fallback;
}

} // namespace

DataGrid::DataGrid(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_groupingPanel = new GroupingPanel(this);
    m_groupingPanel->setAcceptField([this](const QString& field) { return columnIndex(field) >= 0; });
    m_groupingPanel->hide();
    connect(m_groupingPanel, &GroupingPanel::fieldDropped, this, &DataGrid::groupField);
    // A double click on a grouped column's box takes it out of the grouping again.
    connect(m_groupingPanel, &GroupingPanel::captionDoubleClicked, this, [this](int index) {
        if (index >= 0 && index < m_grouped.size())
            ungroupField(m_grouped.at(index));
    });
    layout->addWidget(m_groupingPanel);

    m_view = new GridView(this);
    m_header = new GridHeader(this, m_view);
    m_view->setHorizontalHeader(m_header);
    m_rows = new GroupedRows(this);
    m_view->setRows(m_rows);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { Q_EMIT currentRecordChanged(currentRecord()); });
    connect(m_rows, &QAbstractItemModel::modelAboutToBeReset, this, &DataGrid::rememberSelection);
    // Connected after the view's own handlers, so the header has rebuilt its sections.
    connect(m_rows, &QAbstractItemModel::modelReset, this, [this] {
        applyColumns();
        restoreSelection();
        Q_EMIT currentRecordChanged(currentRecord());
    });
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setSortingEnabled(false);
    m_view->setWordWrap(false);
    m_view->setCornerButtonEnabled(false);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setMinimumSectionSize(1);
    m_view->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    layout->addWidget(m_view);

    m_header->setSectionsMovable(true);
    m_header->setSectionsClickable(true);
    m_header->setHighlightSections(false);
    m_header->setSortIndicatorShown(false);
    m_header->setStretchLastSection(false);
    m_header->setSectionResizeMode(QHeaderView::Interactive);
    m_header->setDefaultSectionSize(kDefaultColumnWidth);
    m_header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_header->viewport()->installEventFilter(this);
    m_header->viewport()->setAcceptDrops(true);
    m_view->viewport()->installEventFilter(this);
    m_view->viewport()->setAcceptDrops(true);
    m_groupingPanel->setHeaderFont(m_header->font());

    connect(m_header, &QHeaderView::sectionClicked, this, &DataGrid::onSectionClicked);
    connect(m_header, &QHeaderView::sectionMoved, this, [this] {
        if (!m_applying)
            takeOrderFromHeader();
    });
    connect(m_header, &QHeaderView::sectionResized, this, [this](int section, int, int newSize) {
        if (m_applying || newSize <= 0 || m_header->isSectionHidden(section))
            return;
        const int i = columnIndex(fieldOfSection(section));
        if (i >= 0)
            m_columns[i].width = newSize;
    });
    connect(m_view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        const int record = index.isValid() ? m_rows->recordOfRow(index.row()) : -1;
        if (record >= 0)
            Q_EMIT rowDoubleClicked(record);
    });
}

DataGrid::~DataGrid()
{
    if (m_columnChooser)
        delete m_columnChooser.data();
    if (!m_layoutKey.isEmpty()) {
        QSettings settings(m_layoutOrganisation, m_layoutApplication);
        saveLayout(settings, m_layoutKey);
    }
}

QTableView* DataGrid::view() const
{
    return m_view;
}

void DataGrid::keepLayoutIn(const QString& organisation, const QString& application, const QString& key)
{
    m_layoutOrganisation = organisation;
    m_layoutApplication = application;
    m_layoutKey = key;
    QSettings settings(organisation, application);
    restoreLayout(settings, key);
}

void DataGrid::setColumns(const QList<GridColumn>& columns)
{
    m_columns.clear();
    QStringList fields;
    for (const GridColumn& column : columns) {
        if (!column.field.isEmpty() && columnIndex(column.field) < 0) {
            m_columns.append(column);
            fields << column.field;
        }
    }
    if (m_model)
        m_model->setFieldsWhileClosed(fields);
    m_sort.clear();
    m_sortSequence.clear();
    const bool wasGrouped = !m_grouped.isEmpty();
    m_grouped.clear();
    applyColumns();
    updateSortIndicator();
    updateGroupingPanel();
    refreshColumnChooser();
    if (wasGrouped)
        Q_EMIT groupingChanged(m_grouped);
}

SqlPagedModel* DataGrid::model() const
{
    return m_model;
}

void DataGrid::setModel(SqlPagedModel* model)
{
    if (m_model == model)
        return;
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (model) {
        // A list not yet opened shows its columns without rows, not a blank area.
        QStringList fields;
        for (const GridColumn& column : std::as_const(m_columns))
            fields << column.field;
        model->setFieldsWhileClosed(fields);
    }
    m_rows->setSource(model);
    applyColumns();
}

void DataGrid::setColumnVisible(const QString& field, bool visible)
{
    const int i = columnIndex(field);
    if (i < 0)
        return;
    m_columns[i].visible = visible;
    applyColumns();
    refreshColumnChooser();
}

bool DataGrid::isColumnVisible(const QString& field) const
{
    const int i = columnIndex(field);
    return i >= 0 && m_columns.at(i).visible;
}

int DataGrid::columnWidth(const QString& field) const
{
    const int i = columnIndex(field);
    if (i < 0)
        return -1;
    return m_columns.at(i).width < 0 ? m_defaultColumnWidth : m_columns.at(i).width;
}

QString DataGrid::columnCaption(const QString& field) const
{
    const int i = columnIndex(field);
    if (i < 0)
        return {};
    const GridColumn& column = m_columns.at(i);
    return column.caption.isEmpty() ? column.field : column.caption;
}

DataGrid::SortOrder DataGrid::sortOrder(const QString& field) const
{
    const int i = columnIndex(field);
    return i < 0 ? SortOrder::None : m_sort.value(m_columns.at(i).field, SortOrder::None);
}

void DataGrid::setSortOrder(const QString& field, SortOrder order)
{
    const int i = columnIndex(field);
    if (i < 0)
        return;
    const QString name = m_columns.at(i).field;
    if (order == SortOrder::None) {
        m_sort.remove(name);
        m_sortSequence.removeAll(name);
    } else {
        m_sort.insert(name, order);
        if (!m_sortSequence.contains(name))
            m_sortSequence.append(name);
    }
    updateSortIndicator();
}

QList<QPair<QString, Qt::SortOrder>> DataGrid::orderKeys() const
{
    QList<QPair<QString, Qt::SortOrder>> keys;
    for (const QString& field : m_grouped)
        keys.append({field, m_sort.value(field) == SortOrder::Descending ? Qt::DescendingOrder : Qt::AscendingOrder});
    for (const auto& key : sortKeys()) {
        if (!m_grouped.contains(key.first))
            keys.append(key);
    }
    return keys;
}

QList<QPair<QString, Qt::SortOrder>> DataGrid::sortKeys() const
{
    QList<QPair<QString, Qt::SortOrder>> keys;
    for (const QString& field : m_sortSequence)
        keys.append({field, m_sort.value(field) == SortOrder::Descending ? Qt::DescendingOrder : Qt::AscendingOrder});
    return keys;
}

void DataGrid::sortByClick(const QString& field, bool addColumn)
{
    const SortOrder before = sortOrder(field);
    if (!addColumn) {
        for (const QString& other : sortedFields())
            if (other.compare(field, Qt::CaseInsensitive) != 0)
                setSortOrder(other, SortOrder::None);
    }
    setSortOrder(field, before == SortOrder::Ascending ? SortOrder::Descending : SortOrder::Ascending);
}

void DataGrid::clearSort()
{
    m_sort.clear();
    m_sortSequence.clear();
    updateSortIndicator();
}

void DataGrid::setHeaderColors(const QColor& background, const QColor& text)
{
    if (background.isValid() && text.isValid()) {
        m_headerBackground = background;
        m_headerText = text;
        const QColor line = background.darker(140);
        m_header->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: %1; color: %2;"
                                               " border: none; border-right: 1px solid %3;"
                                               " border-bottom: 1px solid %3; padding: 0px 4px; }")
                                    .arg(background.name(), text.name(), line.name()));
    } else {
        m_headerBackground = QColor();
        m_headerText = QColor();
        m_header->setStyleSheet(QString());
    }
    m_header->viewport()->update();
}

void DataGrid::setGroupingPanelVisible(bool visible)
{
    m_groupingPanel->setVisible(visible);
}

bool DataGrid::isGroupingPanelVisible() const
{
    return !m_groupingPanel->isHidden();
}

void DataGrid::setGroupingPanelHint(const QString& hint)
{
    m_groupingPanel->setHint(hint);
}

QString DataGrid::groupingPanelHint() const
{
    return m_groupingPanel->hint();
}

void DataGrid::setGroupingPanelColor(const QColor& color)
{
    m_groupingPanel->setColor(color);
}

QColor DataGrid::groupingPanelColor() const
{
    return m_groupingPanel->color();
}

QWidget* DataGrid::groupingPanel() const
{
    return m_groupingPanel;
}

void DataGrid::setGroupedFields(const QStringList& fields)
{
    QStringList grouped;
    for (const QString& field : fields) {
        const int i = columnIndex(field);
        if (i >= 0 && !grouped.contains(m_columns.at(i).field))
            grouped << m_columns.at(i).field;
    }
    if (grouped == m_grouped)
        return;
    m_grouped = grouped;
    updateGroupingPanel();
    Q_EMIT groupingChanged(m_grouped);
}

void DataGrid::setAllGroupsExpanded(bool expanded)
{
    m_rows->setAllExpanded(expanded);
}

std::unique_ptr<QMimeData> DataGrid::fieldMimeData(const QString& field) const
{
    auto mime = std::make_unique<QMimeData>();
    mime->setData(GroupingPanel::fieldMimeType(), field.toUtf8());
    mime->setText(field);
    return mime;
}

void DataGrid::saveLayout(QSettings& settings, const QString& key) const
{
    settings.beginGroup(key);
    settings.remove(QString());   // drop what an older layout stored beside
    settings.setValue(QStringLiteral("LayoutVersion"), 1);
    settings.setValue(QStringLiteral("GroupingPanel"), isGroupingPanelVisible());
    settings.beginWriteArray(QStringLiteral("Columns"), int(m_columns.size()));
    for (int i = 0; i < m_columns.size(); ++i) {
        const GridColumn& column = m_columns.at(i);
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("Field"), column.field);
        settings.setValue(QStringLiteral("Visible"), column.visible);
        settings.setValue(QStringLiteral("Width"), column.width);
        settings.setValue(QStringLiteral("Sort"), sortText(m_sort.value(column.field, SortOrder::None)));
        settings.setValue(QStringLiteral("SortIndex"), int(m_sortSequence.indexOf(column.field)));
        settings.setValue(QStringLiteral("GroupIndex"), int(m_grouped.indexOf(column.field)));
    }
    settings.endArray();
    settings.endGroup();
}

void DataGrid::restoreLayout(QSettings& settings, const QString& key)
{
    settings.beginGroup(key);
    setGroupingPanelVisible(readBool(settings.value(QStringLiteral("GroupingPanel")), isGroupingPanelVisible()));

    bool sizeOk = false;
    const int stored = settings.value(QStringLiteral("Columns/size")).toInt(&sizeOk);
    if (!sizeOk || stored <= 0) {
        settings.endGroup();
        return;
    }
    // A damaged size must not make us walk millions of empty entries.
    const int count = qMin(stored, int(m_columns.size()) * 4 + 64);

    struct SortEntry { QString field; SortOrder order; int index; int position; };
    QList<GridColumn> ordered;
    QSet<QString> taken;
    QList<SortEntry> sorts;
    QList<SortEntry> groups;
    settings.beginReadArray(QStringLiteral("Columns"));
    for (int n = 0; n < count; ++n) {
        settings.setArrayIndex(n);
        const int i = columnIndex(settings.value(QStringLiteral("Field")).toString());
        if (i < 0 || taken.contains(m_columns.at(i).field))
            continue;
        GridColumn column = m_columns.at(i);
        taken.insert(column.field);
        column.visible = readBool(settings.value(QStringLiteral("Visible")), column.visible);
        bool widthOk = false;
        const int width = settings.value(QStringLiteral("Width")).toInt(&widthOk);
        if (widthOk && (width == -1 || (width > 0 && width <= kMaxStoredWidth)))
            column.width = width;
        const QString sort = settings.value(QStringLiteral("Sort")).toString().trimmed().toUpper();
        const SortOrder order = sort == QLatin1String("ASC")    ? SortOrder::Ascending
                                : sort == QLatin1String("DESC") ? SortOrder::Descending
                                                                : SortOrder::None;
        if (order != SortOrder::None) {
            bool indexOk = false;
            int index = settings.value(QStringLiteral("SortIndex")).toInt(&indexOk);
            if (!indexOk || index < 0)
                index = INT_MAX;
            sorts.append({column.field, order, index, int(ordered.size())});
        }
        bool groupOk = false;
        const int groupIndex = settings.value(QStringLiteral("GroupIndex")).toInt(&groupOk);
        if (groupOk && groupIndex >= 0)
            groups.append({column.field, SortOrder::None, groupIndex, int(ordered.size())});
        ordered.append(column);
    }
    settings.endArray();
    settings.endGroup();

    // Columns the stored layout does not know yet keep their place relative to each other.
    for (const GridColumn& column : std::as_const(m_columns)) {
        if (!taken.contains(column.field))
            ordered.append(column);
    }
    m_columns = ordered;

    const auto byIndex = [](const SortEntry& a, const SortEntry& b) {
        return a.index != b.index ? a.index < b.index : a.position < b.position;
    };
    std::stable_sort(sorts.begin(), sorts.end(), byIndex);
    std::stable_sort(groups.begin(), groups.end(), byIndex);
    m_grouped.clear();
    for (const SortEntry& entry : std::as_const(groups))
        m_grouped.append(entry.field);
    m_sort.clear();
    m_sortSequence.clear();
    for (const SortEntry& entry : std::as_const(sorts)) {
        m_sort.insert(entry.field, entry.order);
        m_sortSequence.append(entry.field);
    }
    applyColumns();
    updateSortIndicator();
    updateGroupingPanel();
    refreshColumnChooser();
}

QList<int> DataGrid::selectedRecords() const
{
    QList<int> records;
    const QItemSelectionModel* selection = m_view->selectionModel();
    if (!selection)
        return records;
    QSet<int> seen;
    for (const QItemSelectionRange& range : selection->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const int record = m_rows->recordOfRow(row);
            if (record >= 0 && !seen.contains(record)) {
                seen.insert(record);
                records.append(record);
            }
        }
    }
    std::sort(records.begin(), records.end());
    return records;
}

QVariantList DataGrid::selectedKeys() const
{
    QVariantList keys;
    if (!m_model || m_keyField.isEmpty())
        return keys;
    for (int record : selectedRecords())
        keys.append(m_model->value(record, m_keyField));
    return keys;
}

QVariant DataGrid::currentKey() const
{
    const int record = currentRecord();
    return m_model && record >= 0 && !m_keyField.isEmpty() ? m_model->value(record, m_keyField) : QVariant();
}

void DataGrid::rememberSelection()
{
    m_rememberedCurrent.clear();
    m_rememberedSelection.clear();
    if (!m_model || m_keyField.isEmpty())
        return;
    // Reading the keys of a large selection in a paged list would read the list whole.
    const QItemSelectionModel* selection = m_view->selectionModel();
    qint64 selected = 0;
    for (const QItemSelectionRange& range : selection->selection())
        selected += range.height();
    if (!m_model->holdAllRows() && selected > SqlPagedModel::kPageRows)
        return;
    m_rememberedCurrent = currentKey();
    m_rememberedSelection = selectedKeys();
}

void DataGrid::restoreSelection()
{
    const QVariant current = m_rememberedCurrent;
    const QVariantList selected = m_rememberedSelection;
    m_rememberedCurrent.clear();
    m_rememberedSelection.clear();
    // Only a list held whole can be searched for the keys.
    if (!m_model || !m_model->holdAllRows() || (current.isNull() && selected.isEmpty()))
        return;
    const int keyColumn = m_model->fieldIndex(m_keyField);
    if (keyColumn < 0)
        return;
    QHash<QString, int> recordOfKey;
    for (int record = 0; record < m_model->rowCount(); ++record)
        recordOfKey.insert(m_model->value(record, keyColumn).toString(), record);
    const int currentRecordNow = current.isNull() ? -1 : recordOfKey.value(current.toString(), -1);
    if (currentRecordNow >= 0)
        m_rows->expandToRecord(currentRecordNow);

    QItemSelection selection;
    const int lastColumn = m_rows->columnCount() - 1;
    for (const QVariant& key : selected) {
        const int row = m_rows->rowOfRecord(recordOfKey.value(key.toString(), -1));
        if (row >= 0)
            selection.select(m_rows->index(row, 0), m_rows->index(row, lastColumn));
    }
    QItemSelectionModel* model = m_view->selectionModel();
    const int currentRow = m_rows->rowOfRecord(currentRecordNow);
    if (currentRow >= 0) {
        const QModelIndex index = m_rows->index(currentRow, qMax(0, m_header->logicalIndex(0)));
        model->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        m_view->scrollTo(index);
    }
    model->select(selection, QItemSelectionModel::ClearAndSelect);
}

int DataGrid::recordCount() const
{
    return m_model ? m_model->rowCount() : 0;
}

int DataGrid::currentRecord() const
{
    const QModelIndex current = m_view->currentIndex();
    return current.isValid() ? m_rows->recordOfRow(current.row()) : -1;
}

void DataGrid::setCurrentRecord(int record)
{
    if (!m_model || record < 0 || record >= m_model->rowCount())
        return;
    m_rows->expandToRecord(record);
    const int row = m_rows->rowOfRecord(record);
    if (row < 0)
        return;
    int column = 0;
    while (column < m_rows->columnCount() && m_header->isSectionHidden(m_header->logicalIndex(column)))
        ++column;
    const QModelIndex index = m_rows->index(row, m_header->logicalIndex(qMin(column, m_rows->columnCount() - 1)));
    m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_view->scrollTo(index);
}

QVariant DataGrid::recordValue(int record, const QString& field) const
{
    return m_model ? m_model->value(record, field) : QVariant();
}

QString DataGrid::recordText(int record, const QString& field) const
{
    if (!m_model)
        return {};
    const int column = m_model->fieldIndex(field);
    return column < 0 ? QString() : m_model->data(m_model->index(record, column), Qt::DisplayRole).toString();
}

void DataGrid::setDefaultColumnWidth(int width)
{
    m_defaultColumnWidth = qMax(1, width);
    m_header->setDefaultSectionSize(m_defaultColumnWidth);
    applyColumns();
}

void DataGrid::showColumnChooser()
{
    if (!m_columnChooser) {
        auto* chooser = new ColumnChooser(this);
        connect(chooser, &QDialog::finished, this, [this] { Q_EMIT columnChooserClosed(); });
        m_columnChooser = chooser;
    }
    m_columnChooser->show();
    m_columnChooser->raise();
    m_columnChooser->activateWindow();
}

void DataGrid::closeColumnChooser()
{
    if (m_columnChooser && m_columnChooser->isVisible())
        m_columnChooser->close();
}

bool DataGrid::isColumnChooserVisible() const
{
    return m_columnChooser && m_columnChooser->isVisible();
}

bool DataGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view->viewport() || watched == m_header->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            dropOnGrid(watched, event);
            return true;
        default:
            break;
        }
    }
    if (watched != m_header->viewport())
        return QWidget::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        m_pressedSection = -1;
        if (mouse->button() != Qt::LeftButton)
            break;
        const QPoint pos = mouse->position().toPoint();
        const int section = m_header->logicalIndexAt(pos);
        if (section < 0)
            break;
        // A press on a section's edge starts a resize, which must not turn into grouping.
        const int margin = m_header->style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, m_header);
        const int left = m_header->sectionViewportPosition(section);
        const int right = left + m_header->sectionSize(section);
        if (pos.x() - left > margin && right - pos.x() > margin) {
            m_pressedSection = section;
            m_pressPos = pos;
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_pressedSection < 0 || !(mouse->buttons() & Qt::LeftButton))
            break;
        // Leaving the header upwards carries the column towards the grouping panel, leaving it
        // either way while the chooser is open carries it there to be hidden.
        const QPoint pos = mouse->position().toPoint();
        const bool towardsPanel = pos.y() < 0 && isGroupingPanelVisible() && canGroup(fieldOfSection(m_pressedSection));
        const bool outOfHeader = pos.y() < 0 || pos.y() >= m_header->viewport()->height();
        if ((towardsPanel || (outOfHeader && isColumnChooserVisible()))
            && (pos - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
            startHeaderDrag();
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        m_pressedSection = -1;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void DataGrid::applyColumns()
{
    if (!m_model || m_model->columnCount() == 0)
        return;
    m_applying = true;
    const int count = m_model->columnCount();
    QVector<bool> mapped(count, false);
    int visual = 0;
    for (const GridColumn& column : std::as_const(m_columns)) {
        const int logical = m_model->fieldIndex(column.field);
        if (logical < 0 || mapped.at(logical))
            continue;
        mapped[logical] = true;
        m_model->setAlignment(m_model->fieldNames().at(logical), column.alignment);
        const int from = m_header->visualIndex(logical);
        if (from != visual)
            m_header->moveSection(from, visual);
        ++visual;
        m_header->setSectionHidden(logical, false);
        m_header->resizeSection(logical, column.width < 0 ? m_defaultColumnWidth : column.width);
        // A grouped column is shown in the grouping panel instead of the header.
        m_header->setSectionHidden(logical, !column.visible || m_grouped.contains(column.field));
    }
    for (int logical = 0; logical < count; ++logical) {
        if (!mapped.at(logical))
            m_header->setSectionHidden(logical, true);
    }
    m_applying = false;
    m_header->viewport()->update();
}

int DataGrid::sectionOf(const QString& field) const
{
    if (!m_model)
        return -1;
    const int i = columnIndex(field);
    return i < 0 ? -1 : m_model->fieldIndex(m_columns.at(i).field);
}

int DataGrid::columnIndex(const QString& field) const
{
    if (field.isEmpty())
        return -1;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i).field == field)
            return i;
    }
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i).field.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString DataGrid::fieldOfSection(int section) const
{
    if (!m_model || section < 0 || section >= m_model->columnCount())
        return {};
    // The first grid column that claims the model field owns the section (see applyColumns).
    for (const GridColumn& column : m_columns) {
        if (m_model->fieldIndex(column.field) == section)
            return column.field;
    }
    return {};
}

void DataGrid::updateSortIndicator()
{
    m_header->viewport()->update();
}

void DataGrid::updateGroupingPanel()
{
    QStringList captions;
    for (const QString& field : std::as_const(m_grouped))
        captions << columnCaption(field);
    m_groupingPanel->setHeaderFont(m_header->font());
    m_groupingPanel->setFields(m_grouped, captions);
    m_rows->setGroupFields(m_grouped, captions);
    applyColumns();
}

void DataGrid::takeOrderFromHeader()
{
    if (!m_model)
        return;
    // Only the columns the model shows have a header position; the others keep their slots.
    QList<int> slots;
    QList<QPair<int, GridColumn>> shown;
    for (int i = 0; i < m_columns.size(); ++i) {
        const int logical = sectionOf(m_columns.at(i).field);
        if (logical >= 0 && fieldOfSection(logical) == m_columns.at(i).field) {
            slots << i;
            shown.append({m_header->visualIndex(logical), m_columns.at(i)});
        }
    }
    std::stable_sort(shown.begin(), shown.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (int n = 0; n < slots.size(); ++n)
        m_columns[slots.at(n)] = shown.at(n).second;
    refreshColumnChooser();
}

void DataGrid::onSectionClicked(int section)
{
    if (m_ignoreHeaderClick)
        return;
    QString field = fieldOfSection(section);
    if (field.isEmpty() && m_model && section >= 0 && section < m_model->columnCount())
        field = m_model->fieldNames().at(section);
    if (!field.isEmpty())
        Q_EMIT columnClicked(field);
}

bool DataGrid::canGroup(const QString& field) const
{
    const int i = columnIndex(field);
    return i >= 0 && !m_grouped.contains(m_columns.at(i).field);
}

void DataGrid::groupField(const QString& field, int position)
{
    const int i = columnIndex(field);
    if (i < 0)
        return;
    const QString name = m_columns.at(i).field;
    QStringList grouped = m_grouped;
    const int from = grouped.indexOf(name);
    if (from >= 0) {
        grouped.removeAt(from);
        if (position > from)
            --position;
    }
    grouped.insert(qBound(0, position, int(grouped.size())), name);
    if (grouped == m_grouped)
        return;
    m_grouped = grouped;
    updateGroupingPanel();
    Q_EMIT groupingChanged(m_grouped);
}

void DataGrid::ungroupField(const QString& field)
{
    const int i = columnIndex(field);
    if (i < 0 || !m_grouped.contains(m_columns.at(i).field))
        return;
    m_grouped.removeAll(m_columns.at(i).field);
    updateGroupingPanel();
    Q_EMIT groupingChanged(m_grouped);
}

void DataGrid::dropOnGrid(QObject* target, QEvent* event)
{
    auto* drop = static_cast<QDropEvent*>(event);
    const QMimeData* mime = drop->mimeData();
    const QString field = mime && mime->hasFormat(GroupingPanel::fieldMimeType())
                              ? QString::fromUtf8(mime->data(GroupingPanel::fieldMimeType()))
                              : QString();
    const int i = columnIndex(field);
    // A grouped column dragged back ungroups; a hidden one dragged from the chooser is shown.
    const bool grouped = i >= 0 && m_grouped.contains(m_columns.at(i).field);
    const bool hidden = i >= 0 && !m_columns.at(i).visible;
    if (!grouped && !hidden) {
        drop->ignore();
        return;
    }
    drop->acceptProposedAction();
    if (event->type() != QEvent::Drop)
        return;
    if (grouped)
        ungroupField(field);
    if (hidden) {
        setColumnVisible(field, true);
        // Shown where it was dropped on the header.
        const int section = target == m_header->viewport() ? m_header->logicalIndexAt(drop->position().toPoint()) : -1;
        const QString at = fieldOfSection(section);
        const int from = columnIndex(field);
        const int to = columnIndex(at);
        if (to >= 0 && from >= 0 && from != to) {
            const GridColumn column = m_columns.takeAt(from);
            m_columns.insert(columnIndex(at), column);
            applyColumns();
            refreshColumnChooser();
        }
    }
}

void DataGrid::startHeaderDrag()
{
    const QString field = fieldOfSection(m_pressedSection);
    QWidget* viewport = m_header->viewport();
    const QPoint pressPos = m_pressPos;
    const QPoint globalPress = viewport->mapToGlobal(pressPos);

    // Bring the header's own section move back to its start, so the release after the drag
    // moves no column.
    QMouseEvent back(QEvent::MouseMove, pressPos, globalPress, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &back);

    auto* drag = new QDrag(this);
    drag->setMimeData(fieldMimeData(field).release());
    const int left = m_header->sectionViewportPosition(m_pressedSection);
    const QRect sectionRect(left, 0, m_header->sectionSize(m_pressedSection), m_header->height());
    drag->setPixmap(viewport->grab(sectionRect));
    drag->setHotSpot(pressPos - sectionRect.topLeft());
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);

    // The drag swallowed the release; hand the header one so it leaves its move state, and do
    // not take it for a click.
    m_ignoreHeaderClick = true;
    QMouseEvent release(QEvent::MouseButtonRelease, pressPos, globalPress, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &release);
    m_ignoreHeaderClick = false;
    m_pressedSection = -1;
}

void DataGrid::refreshColumnChooser()
{
    if (m_columnChooser)
        m_columnChooser->refresh();
}
