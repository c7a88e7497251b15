#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <QWidget>
#include <functional>

class QDialog;
class QTableView;
class QSettings;
class GroupingPanel;
class GridHeader;

// A read-only result of an SQL query that fetches its rows in pages as the view asks for them, so
// a million rows cost the memory of a few screens. With "hold all rows" on, every row is read
// at once (needed before the grid may sort or group).
class SqlPagedModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kPageRows = 256;
    static constexpr int kCachedPages = 16;

    explicit SqlPagedModel(QObject* parent = nullptr);

    // Runs the statement on the connection; `rowCount` < 0 lets the model count the rows itself.
    // Returns false and keeps lastError() when the engine refuses the statement; the model is then
    // closed. A new statement starts unordered: call setOrderBy() after it.
    // Emits openChanged(true) on every statement opened.
    bool setQuery(const QSqlDatabase& db, const QString& sql, qint64 rowCount = -1);
    void close();   // no statement, no rows; emits openChanged(false) if it was open
    bool isOpen() const { return m_open; }
    QString sql() const { return m_sql; }
    QString lastError() const { return m_lastError; }

    // "col1 ASC, col2 DESC", or empty for the order of the statement. Refused (false, lastError())
    // while no statement is open or when the engine rejects the ordering; the old order then stays.
    bool setOrderBy(const QString& orderBy);
    QString orderBy() const { return m_orderBy; }
    void setHoldAllRows(bool on);
    bool holdAllRows() const { return m_holdAll; }

    QStringList fieldNames() const { return m_fields; }
    int fieldIndex(const QString& field) const;   // exact name first, then ignoring case; -1 if none
    QVariant value(int row, int column) const;
    QVariant value(int row, const QString& field) const;
    // Formats a field's display text; fields without a formatter show QVariant::toString().
    // A null value always shows as empty text. Both settings outlive setQuery().
    void setFormatter(const QString& field, std::function<QString(const QVariant&)> formatter);
    void setAlignment(const QString& field, Qt::Alignment alignment);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // For tests and diagnostics: pages held in memory, rows read from the engine since setQuery().
    int cachedPageCount() const { return int(m_pages.size()); }
    qint64 fetchedRowCount() const { return m_fetchedRows; }

Q_SIGNALS:
    void openChanged(bool open);

private:
    const QList<QVariant>* rowAt(int row) const;
    bool loadPage(int page) const;
    bool loadAllRows() const;
    QString selectText() const;
    void clearPages() const;
    void forgetRows();   // closed, no fields, no rows; keeps the statement and the last error
    void trimCache() const;
    void rebuildColumnSettings();

    QSqlDatabase m_db;
    QString m_sql;
    QString m_orderBy;
    mutable QString m_lastError;
    bool m_open = false;
    bool m_holdAll = false;
    qint64 m_rowCount = 0;
    QStringList m_fields;
    QHash<QString, std::function<QString(const QVariant&)>> m_formatters;
    QHash<QString, Qt::Alignment> m_alignments;
    // The two settings above resolved per column of the open statement.
    QVector<std::function<QString(const QVariant&)>> m_columnFormatters;
    QVector<int> m_columnAlignments;   // 0: none set
    mutable QHash<int, QList<QList<QVariant>>> m_pages;
    mutable QList<int> m_pageOrder;   // least recently used first
    mutable qint64 m_fetchedRows = 0;
};

struct GridColumn
{
    QString field;
    QString caption;     // empty: the field name
    int width = -1;      // -1: the toolkit's default width
    bool visible = true;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;   // handed to the model's cells
};

// A read-only data grid over an SqlPagedModel: whole-row selection, movable and resizable
// columns, per-column visibility, sort state per column (the owner decides whether sorting is
// allowed), coloured header, an optional grouping panel above the header, and a layout stored
// in QSettings.
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
    SqlPagedModel* model() const { return m_model; }
    QTableView* view() const { return m_view; }

    void setColumnVisible(const QString& field, bool visible);
    bool isColumnVisible(const QString& field) const;
    int columnWidth(const QString& field) const;
    QString columnCaption(const QString& field) const;

    SortOrder sortOrder(const QString& field) const;
    void setSortOrder(const QString& field, SortOrder order);
    // "field ASC, field DESC" of the sorted columns in the order they were sorted.
    QString orderByText() const;
    QStringList sortedFields() const { return m_sortSequence; }
    void clearSort();

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

    // Stores and restores per column position, visibility, width and sort, and the panel's
    // visibility, under the settings group `key`. Restoring only sets the sort state: the owner
    // decides whether to hand orderByText() to the model.
    void saveLayout(QSettings& settings, const QString& key) const;
    void restoreLayout(QSettings& settings, const QString& key);

    int currentRow() const;
    QList<int> selectedRows() const;   // ascending

    // "Spalten auswählen": a small tool window with a check box per column; not modal.
    void showColumnChooser();
    void closeColumnChooser();
    bool isColumnChooserVisible() const;

Q_SIGNALS:
    // A header click on a column: the owner sets its sort order and decides.
    void columnClicked(const QString& field);
    void rowDoubleClicked(int row);
    void groupingChanged(const QStringList& fields);
    void columnChooserClosed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyColumns();
    int sectionOf(const QString& field) const;
    int columnIndex(const QString& field) const;
    void updateSortIndicator();
    void updateGroupingPanel();
    void takeOrderFromHeader();
    void onSectionClicked(int section);
    bool canGroup(const QString& field) const;
    void groupField(const QString& field);
    void startHeaderDrag();
    QString fieldOfSection(int section) const;
    void refreshColumnChooser();

    friend class GridHeader;

    QPointer<QDialog> m_columnChooser;
    QTableView* m_view = nullptr;
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
    QPoint m_pressPos;
};
