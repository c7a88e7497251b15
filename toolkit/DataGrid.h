#pragma once

#include <QColor>
#include <QHash>
#include <QList>
#include <QPair>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include <memory>

class QMimeData;
class QSettings;
class QTableView;
class ColumnChooser;
class GridHeader;
class GridView;
class GroupedRows;
class GroupingPanel;
class SqlPagedModel;

struct GridColumn
{
    QString field;
    QString caption;     // empty: the field name
    int width = -1;      // -1: the toolkit's default width
    bool visible = true;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;   // handed to the model's cells
};

// A read-only data grid over an SqlPagedModel: whole-row selection of records keyed by a field,
// movable and resizable columns, per-column visibility, sort state per column, coloured header,
// a grouping panel above the header whose columns group the rows, and a layout stored in
// QSettings. The owner decides whether sorting and grouping are allowed and hands orderKeys() to
// the model: group rows need every record in memory, ordered by the grouped columns.
class DataGrid : public QWidget
{
    Q_OBJECT
public:
    enum class SortOrder { None, Ascending, Descending };
    static constexpr int kDefaultColumnWidth = 64;
    static constexpr int kRowHeight = 18;

    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    // The layout before anything was stored; also clears sort and grouping. columns() is the live
    // layout: in visual order, with the widths and visibility the user gave them.
    void setColumns(const QList<GridColumn>& columns);
    const QList<GridColumn>& columns() const { return m_columns; }
    void setModel(SqlPagedModel* model);
    SqlPagedModel* model() const;
    QTableView* view() const;
    GroupedRows* rows() const { return m_rows; }

    void setColumnVisible(const QString& field, bool visible);
    bool isColumnVisible(const QString& field) const;
    int columnWidth(const QString& field) const;
    QString columnCaption(const QString& field) const;

    SortOrder sortOrder(const QString& field) const;
    void setSortOrder(const QString& field, SortOrder order);
    // The sorted columns in the order they were sorted, for the owner to turn into an ordering.
    QList<QPair<QString, Qt::SortOrder>> sortKeys() const;
    // The order the model must deliver: the grouped columns first, then the sort keys.
    QList<QPair<QString, Qt::SortOrder>> orderKeys() const;
    QStringList sortedFields() const { return m_sortSequence; }
    void clearSort();
    // A header click's sort: ascending first, then turning; without `addColumn` the column
    // becomes the only sorted one.
    void sortByClick(const QString& field, bool addColumn);

    // An invalid colour on either side returns the header to the style's own colours.
    void setHeaderColors(const QColor& background, const QColor& text);
    QColor headerBackground() const { return m_headerBackground; }
    QColor headerText() const { return m_headerText; }

    void setGroupingPanelVisible(bool visible);
    bool isGroupingPanelVisible() const;
    void setGroupingPanelHint(const QString& hint);
    QString groupingPanelHint() const;
    void setGroupingPanelColor(const QColor& color);
    QColor groupingPanelColor() const;
    QWidget* groupingPanel() const;
    QStringList groupedFields() const { return m_grouped; }
    void setGroupedFields(const QStringList& fields);   // unknown or repeated fields are dropped
    void setAllGroupsExpanded(bool expanded);
    // What a header section carries when dragged towards the grouping panel: the field name in
    // GroupingPanel::fieldMimeType() and as plain text.
    std::unique_ptr<QMimeData> fieldMimeData(const QString& field) const;

    // Stores and restores per column position, visibility, width, sort and grouping, and the
    // panel's visibility, under the settings group `key`. Restoring only sets the sort and
    // grouping state: the owner decides whether to hand orderKeys() to the model.
    void saveLayout(QSettings& settings, const QString& key) const;
    void restoreLayout(QSettings& settings, const QString& key);
    // Restores the layout now and stores it again when the grid is destroyed.
    void keepLayoutIn(const QString& organisation, const QString& application, const QString& key);

    // The field that names a record; selection and current record follow it when the records
    // are ordered or grouped anew.
    void setKeyField(const QString& field) { m_keyField = field; }
    QString keyField() const { return m_keyField; }
    QVariantList selectedKeys() const;
    QList<int> selectedRecords() const;   // ascending

    // Records are the model's rows in the model's order, whatever group rows the grid shows
    // between them: the current record is what a navigator moves and a details dialog shows.
    int recordCount() const;
    int currentRecord() const;            // -1: none, or a group row is current
    QVariant currentKey() const;
    void setCurrentRecord(int record);    // selects it alone and scrolls to it
    QVariant recordValue(int record, const QString& field) const;   // as the model delivers it
    QString recordText(int record, const QString& field) const;     // as the grid shows it

    // The width of columns without one of their own (GridColumn::width -1).
    void setDefaultColumnWidth(int width);
    int defaultColumnWidth() const { return m_defaultColumnWidth; }

    // "Spalten auswählen" (see ColumnChooser); not modal.
    void showColumnChooser();
    void closeColumnChooser();
    bool isColumnChooserVisible() const;

Q_SIGNALS:
    // A header click on a column: the owner sets its sort order and decides.
    void columnClicked(const QString& field);
    void rowDoubleClicked(int row);
    void groupingChanged(const QStringList& fields);
    void columnChooserClosed();
    // The current record changed, also to -1 and when the model was reset.
    void currentRecordChanged(int record);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyColumns();
    void rememberSelection();
    void restoreSelection();
    void dropOnGrid(QObject* target, QEvent* event);
    int sectionOf(const QString& field) const;
    int columnIndex(const QString& field) const;
    void updateSortIndicator();
    void updateGroupingPanel();
    void takeOrderFromHeader();
    void onSectionClicked(int section);
    bool canGroup(const QString& field) const;
    void groupField(const QString& field, int position);
    void ungroupField(const QString& field);
    void startHeaderDrag();
    QString fieldOfSection(int section) const;
    void refreshColumnChooser();

    friend class GridHeader;

    QPointer<ColumnChooser> m_columnChooser;
    GridView* m_view = nullptr;
    GroupedRows* m_rows = nullptr;
    GridHeader* m_header = nullptr;
    GroupingPanel* m_groupingPanel = nullptr;
    QPointer<SqlPagedModel> m_model;
    QList<GridColumn> m_columns;
    QHash<QString, SortOrder> m_sort;
    QStringList m_sortSequence;
    QStringList m_grouped;
    QColor m_headerBackground;
    QColor m_headerText;
    bool m_applying = false;           // header signals caused by the grid itself
    bool m_ignoreHeaderClick = false;  // the release that ends a header drag is no click
    int m_pressedSection = -1;
    int m_defaultColumnWidth = kDefaultColumnWidth;
    QString m_keyField;
    QVariant m_rememberedCurrent;
    QVariantList m_rememberedSelection;
    QString m_layoutOrganisation, m_layoutApplication, m_layoutKey;
    QPoint m_pressPos;
};
