#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

// A read-only result of an SQL query that fetches its rows in pages as the view asks for them, so
// a million rows cost the memory of a few screens. With "hold all rows" on, every row is read
// at once (needed before the grid may sort or group).
class SqlPagedModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kPageRows = 256;
    static constexpr int kCachedPages = 16;
    // For setQuery(): the list opens with the rows of its first page, and setRowCount() brings
    // the rest once someone has counted them.
    static constexpr qint64 kCountLater = -2;

    explicit SqlPagedModel(QObject* parent = nullptr);

    // Runs the statement on the connection; `rowCount` < 0 lets the model count the rows itself.
    // Returns false and keeps lastError() when the engine refuses the statement; the model is then
    // closed. A new statement starts unordered: call setOrderBy() after it.
    // Emits openChanged(true) on every statement opened.
    bool setQuery(const QSqlDatabase& db, const QString& sql, qint64 rowCount = -1);
    // The number of rows, counted elsewhere, of a statement opened with kCountLater.
    void setRowCount(qint64 rows);

    // With a reader, the pages a view shows (and the first page of kCountLater) are read by it,
    // away from this thread, and handed back through deliverPage() with the token it was given;
    // a view shows their rows empty meanwhile. value() still reads a missing page at once.
    using PageReader = std::function<void(quint64 token, int page, const QString& pageSql)>;
    void setPageReader(PageReader reader) { m_reader = std::move(reader); }
    // A page of the statement that `token` names; pages of an older statement or order are dropped.
    void deliverPage(quint64 token, int page, QList<QList<QVariant>> rows);
    // Shows rows read elsewhere (on a worker's connection) as the result of `sql` in the order
    // `orderBy`, held in full. The connection of the last setQuery() stays for later pages;
    // without one, setOrderBy() refuses.
    void setRows(const QString& sql, const QString& orderBy, const QStringList& fields, QList<QList<QVariant>> rows);
    void close();   // no statement, no rows; emits openChanged(false) if it was open
    bool isOpen() const { return m_open; }
    QString sql() const { return m_sql; }
    QString lastError() const { return m_lastError; }

    // "col1 ASC, col2 DESC", or empty for the order of the statement. Refused (false, lastError())
    // while no statement is open or when the engine rejects the ordering; the old order then stays.
    bool setOrderBy(const QString& orderBy);
    QString orderBy() const { return m_orderBy; }
    // Switching it changes no row, but announces a new layout: what is grouped on top of the
    // rows depends on it.
    void setHoldAllRows(bool on);
    bool holdAllRows() const { return m_holdAll; }

    // The fields the model names while no statement is open, so that a view shows its columns
    // without rows.
    void setFieldsWhileClosed(const QStringList& fields);
    QStringList fieldNames() const { return m_fields; }
    int fieldIndex(const QString& field) const;   // exact name first, then ignoring case; -1 if none
    QVariant value(int row, int column) const;
    QVariant value(int row, const QString& field) const;
    // Formats a field's display text; fields without a formatter show QVariant::toString().
    // A null value always shows as empty text. Both settings outlive setQuery().
    void setFormatter(const QString& field, std::function<QString(const QVariant&)> formatter);
    // The same for a text that depends on other fields of the row: the formatter gets the row
    // and may read them with value(row, field).
    using RowFormatter = std::function<QString(const QVariant& value, int row)>;
    void setRowFormatter(const QString& field, RowFormatter formatter);
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
    const QList<QVariant>* shownRow(int row) const;   // asks the reader for a missing page
    void requestPage(int page) const;
    QString pageSql(int page) const;
    bool loadPage(int page) const;
    void storePage(int page, QList<QList<QVariant>> rows) const;
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
    QStringList m_closedFields;
    QHash<QString, RowFormatter> m_formatters;
    QHash<QString, Qt::Alignment> m_alignments;
    // The two settings above resolved per column of the open statement.
    QVector<RowFormatter> m_columnFormatters;
    QVector<int> m_columnAlignments;   // 0: none set
    mutable QHash<int, QList<QList<QVariant>>> m_pages;
    mutable QList<int> m_pageOrder;   // least recently used first
    mutable qint64 m_fetchedRows = 0;
    PageReader m_reader;
    quint64 m_token = 0;            // changes with every statement and order
    mutable int m_pendingPage = -1; // asked of the reader and not yet delivered
    bool m_countKnown = true;
};
