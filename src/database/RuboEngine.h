#pragma once

#include "database/RuboError.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <map>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// The one connection to a database file, over Qt SQL's SQLite driver so that Qt's models can
// share it. Every failure is thrown as RuboError with the engine's message text.
class RuboDatabase
{
public:
    explicit RuboDatabase(QString connectionName);
    ~RuboDatabase();
    RuboDatabase(const RuboDatabase&) = delete;
    RuboDatabase& operator=(const RuboDatabase&) = delete;

    // Opens an existing file or creates it (createIfMissing); registers the Jet functions and the
    // collation DEUTSCH on the one handle that it and qtDatabase() share.
    void connect(const QString& fileName, bool createIfMissing);
    void disconnect();
    bool isConnected() const { return m_handle != nullptr; }
    QString fileName() const { return m_fileName; }

    // One level, as Jet had it. Commands use RuboTransaction, which also nests.
    void startTransaction();
    void commit();
    void rollback();
    bool inTransaction() const { return m_inTransaction; }

    // Runs one statement without result rows; returns the rows it changed.
    int execute(const QString& sql);

    sqlite3* handle() const { return m_handle; }
    QSqlDatabase qtDatabase() const;
    QString connectionName() const { return m_connectionName; }

    // Throws RuboError with sqlite3_errmsg when rc is not OK/ROW/DONE.
    void check(int rc) const;
    // The text of a failure: the engine's message, and for a lock or a full disk a German
    // sentence that names the cause.
    QString errorText(int rc) const;

    // How long a statement waits for another program's write lock before it fails.
    void setBusyTimeout(int milliseconds);
    int busyTimeout() const { return m_busyTimeoutMs; }

private:
    QString m_connectionName;
    QString m_fileName;
    sqlite3* m_handle = nullptr;
    bool m_inTransaction = false;
    int m_savepoints = 0;   // open RuboTransaction savepoints inside the transaction
    int m_busyTimeoutMs = 10000;

    friend class RuboTransaction;
};

// One write that must be whole: begins a transaction, or a savepoint inside one already open;
// commit() makes it stick, leaving the scope without commit() undoes it. Rollback on unwind never
// throws, so it is safe in a destructor run by an exception.
class RuboTransaction
{
public:
    explicit RuboTransaction(RuboDatabase& db);
    ~RuboTransaction();
    RuboTransaction(const RuboTransaction&) = delete;
    RuboTransaction& operator=(const RuboTransaction&) = delete;

    void commit();
    // Undoes now; afterwards the guard does nothing more.
    void rollback() noexcept;
    bool isNested() const { return m_savepoint > 0; }

private:
    RuboDatabase& m_db;
    int m_savepoint = 0;   // 0: the outermost transaction; else the number of its savepoint
    bool m_done = false;
};

// A prepared statement owned by one object; finalized on destruction.
class RuboStatement
{
public:
    RuboStatement() = default;
    RuboStatement(RuboDatabase& db, const QString& sql);
    ~RuboStatement();
    RuboStatement(RuboStatement&& other) noexcept;
    RuboStatement& operator=(RuboStatement&& other) noexcept;
    RuboStatement(const RuboStatement&) = delete;
    RuboStatement& operator=(const RuboStatement&) = delete;

    sqlite3_stmt* get() const { return m_stmt; }
    explicit operator bool() const { return m_stmt != nullptr; }

    void bind(int index, const QVariant& value);
    void bindText(int index, QStringView text);
    void bindDouble(int index, double value);
    void bindInt(int index, qint64 value);
    void bindNull(int index);
    bool step();               // true while a row is there; throws on failure
    void reset();
    int columnCount() const;
    QString columnName(int index) const;
    QVariant column(int index) const;

private:
    RuboDatabase* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
};

// A whole result in memory: what a worker reads for a list that the window then shows.
struct RuboRows
{
    QStringList fields;
    QList<QList<QVariant>> rows;
    QString orderBy;   // the ordering applied, empty for the statement's own
};
// `sql` sorted by those of `orderKeys` that its result has (in the language's order), and in
// `orderBy` the terms applied; keys of fields it lacks are passed over.
QString OrderedSql(RuboDatabase& db, const QString& sql, const QList<QPair<QString, Qt::SortOrder>>& orderKeys,
                   QString* orderBy = nullptr);
// The rows of `sql` sorted by those of `orderKeys` that its result has (in the language's
// order); keys of fields it lacks are passed over.
RuboRows ReadAllRows(RuboDatabase& db, const QString& sql, const QList<QPair<QString, Qt::SortOrder>>& orderKeys = {});

// A query in the Jet manner: SQL text with bare-identifier parameters (`Zone_`, `filID`), opened
// and walked row by row, fields read by name; an empty column reads as a null QVariant.
class RuboQuery
{
public:
    explicit RuboQuery(RuboDatabase& db);

    void setSql(const QString& sql);
    void addSql(const QString& line);   // appends a line, as Jet's SQL.Add did
    void clearSql();
    QString sql() const { return m_sql; }
    // Parameters are bare identifiers of the text; they are bound as values, never spliced in.
    void setParam(const QString& name, const QVariant& value);

    void open();
    void close();
    bool isOpen() const { return m_open; }
    bool eof() const { return m_eof; }
    void first();
    void next();
    // Runs a statement without rows; returns the rows it changed.
    int execute();

    int fieldCount() const;
    QString fieldName(int index) const;
    int fieldIndex(const QString& name) const;   // -1 when absent
    QVariant field(int index) const;
    QVariant field(const QString& name) const;   // throws when there is no such column
    // Rows of the whole result (counted by the engine, the cursor stays where it is).
    int recordCount();

private:
    void prepare();
    QString translatedSql() const;

    RuboDatabase& m_db;
    QString m_sql;
    QHash<QString, QVariant> m_params;
    RuboStatement m_stmt;
    QList<QVariant> m_row;
    QStringList m_names;
    bool m_open = false;
    bool m_eof = true;
    int m_recordCount = -1;
};

// A table component: all rows (or those matching its filter text), updatable row by row.
// Rows are read in chunks by rowid, so changing the table while walking it is safe.
class RuboTable
{
public:
    RuboTable(RuboDatabase& db, QString tableName);

    void setFilter(const QString& filter) { m_filter = filter; }
    QString filter() const { return m_filter; }
    void setFiltered(bool on) { m_filtered = on; }
    bool filtered() const { return m_filtered; }

    void open();
    void close();
    bool isOpen() const { return m_open; }
    void first();
    void next();
    bool eof() const { return m_eof; }
    int recordCount();

    QVariant field(const QString& name) const;
    void append();   // new row; unset columns stay empty
    void edit();     // change the current row
    void setField(const QString& name, const QVariant& value);
    void post();
    void cancel();
    void remove();   // deletes the current row and moves to the next
    void refresh();

private:
    enum class Mode { Browse, Insert, Edit };
    QString whereClause() const;
    RuboStatement& statement(const QString& sql);   // prepared once while the table is open
    void loadChunk();
    void requireOpen() const;

    RuboDatabase& m_db;
    QString m_table;
    QString m_filter;
    bool m_filtered = false;
    bool m_open = false;
    bool m_eof = true;
    QStringList m_columns;
    QList<QList<QVariant>> m_chunk;   // rowid first, then the columns
    int m_pos = 0;
    qint64 m_lastRowid = 0;
    bool m_chunkWasLast = false;
    Mode m_mode = Mode::Browse;
    QList<QPair<QString, QVariant>> m_pending;
    std::map<QString, RuboStatement> m_statements;
};
