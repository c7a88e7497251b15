#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>
#include <functional>

class QTableView;
class QSettings;
class GroupingPanel;

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
    // Returns false and keeps lastError() when the engine refuses the statement.
    bool setQuery(const QSqlDatabase& db, const QString& sql, qint64 rowCount = -1);
    void close();   // no statement, no rows
    bool isOpen() const { return m_open; }
    QString sql() const { return m_sql; }
    QString lastError() const { return m_lastError; }

    // "col1 ASC, col2 DESC", or empty for the order of the statement.
    bool setOrderBy(const QString& orderBy);
    QString orderBy() const { return m_orderBy; }
    void setHoldAllRows(bool on);
    bool holdAllRows() const { return m_holdAll; }

    QStringList fieldNames() const { return m_fields; }
    int fieldIndex(const QString& field) const;
    QVariant value(int row, int column) const;
    QVariant value(int row, const QString& field) const;
    // Formats a field's display text; fields without a formatter show QVariant::toString().
    void setFormatter(const QString& field, std::function<QString(const QVariant&)> formatter);
    void setAlignment(const QString& field, Qt::Alignment alignment);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void openChanged(bool open);

private:
    const QList<QVariant>* rowAt(int row) const;
    bool loadPage(int page) const;

    QSqlDatabase m_db;
    QString m_sql;
    QString m_orderBy;
    QString m_lastError;
    bool m_open = false;
    bool m_holdAll = false;
    qint64 m_rowCount = 0;
    QStringList m_fields;
    QHash<QString, std::function<QString(const QVariant&)>> m_formatters;
    QHash<int, Qt::Alignment> m_alignments;
    mutable QHash<int, QList<QList<QVariant>>> m_pages;
    mutable QList<int> m_pageOrder;   // least recently used first
};

struct GridColumn
{
    QString field;
    QString caption;     // empty: the field name
    int width = -1;      // -1: the toolkit's default width
    bool visible = true;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
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

    explicit DataGrid(QWidget* parent = nullptr);

    void setColumns(const QList<GridColumn>& columns);   // the layout before anything was stored
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
    void clearSort();

    void setHeaderColors(const QColor& background, const QColor& text);
    QColor headerBackground() const { return m_headerBackground; }

    void setGroupingPanelVisible(bool visible);
    bool isGroupingPanelVisible() const;
    void setGroupingPanelHint(const QString& hint);
    QStringList groupedFields() const { return m_grouped; }

    // Stores and restores per column position, visibility, width and sort, and the panel's
    // visibility, under the settings group `key`.
    void saveLayout(QSettings& settings, const QString& key) const;
    void restoreLayout(QSettings& settings, const QString& key);

    int currentRow() const;

Q_SIGNALS:
    // A header click on a column: the owner sets its sort order and decides.
    void columnClicked(const QString& field);
    void rowDoubleClicked(int row);

private:
    void applyColumns();
    int sectionOf(const QString& field) const;

    QTableView* m_view = nullptr;
    GroupingPanel* m_groupingPanel = nullptr;
    SqlPagedModel* m_model = nullptr;
    QList<GridColumn> m_columns;
    QHash<QString, SortOrder> m_sort;
    QStringList m_sortSequence;
    QStringList m_grouped;
    QColor m_headerBackground;
    QColor m_headerText;
};
