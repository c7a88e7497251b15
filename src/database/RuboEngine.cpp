#include "database/RuboEngine.h"

#include "database/JetFunctions.h"
#include "database/LanguageOrder.h"
#include "database/SqlText.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <sqlite3.h>

#include <atomic>

namespace {

QString sqliteMessage(sqlite3* db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("Keine Datenbankverbindung.");
}

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

} // namespace

RuboDatabase::RuboDatabase(QString connectionName) : m_connectionName(std::move(connectionName))
{
    // Two objects on one Qt connection name would close each other's connection.
    static std::atomic<int> serial{0};
    if (QSqlDatabase::contains(m_connectionName))
        m_connectionName += QStringLiteral("#%1").arg(++serial);
    else
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
}

RuboDatabase::~RuboDatabase()
{
    disconnect();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void RuboDatabase::connect(const QString& fileName, bool createIfMissing)
{
    disconnect();
    if (!createIfMissing && !QFileInfo::exists(fileName))
        throw RuboError(QStringLiteral("Die Datei %1 existiert nicht.").arg(fileName));
    {
        QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
            ? QSqlDatabase::database(m_connectionName, false)
            : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.close();
        db.setDatabaseName(fileName);
        if (!db.open())
            throw RuboError(db.lastError().text());
        QVariant h = db.driver()->handle();
        sqlite3* handle = nullptr;
        if (h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0)
            handle = *static_cast<sqlite3* const*>(h.data());
        if (!handle) {
            db.close();
            throw RuboError(QStringLiteral("Der SQLite-Treiber liefert keine Verbindung."));
        }
        m_handle = handle;
    }
    m_fileName = fileName;
    try {
        // On the driver's own handle, so the grid's models (through qtDatabase()) sort alike.
        RegisterJetFunctions(m_handle);
        RegisterLanguageOrder(m_handle);
        sqlite3_busy_timeout(m_handle, m_busyTimeoutMs);
        // A file that is not a database is only noticed on the first read.
        execute(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    } catch (...) {
        disconnect();
        throw;
    }
}

void RuboDatabase::disconnect()
{
    m_handle = nullptr;
    m_inTransaction = false;
    m_savepoints = 0;
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
}

QSqlDatabase RuboDatabase::qtDatabase() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

void RuboDatabase::check(int rc) const
{
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
        throw RuboError(errorText(rc));
}

QString RuboDatabase::errorText(int rc) const
{
    const QString engine = sqliteMessage(m_handle);
    switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("Die Datenbank ist gesperrt, weil ein anderes Programm gerade in sie schreibt. "
                              "Sie wurde auch nach %1 Sekunden nicht frei; bitte später noch einmal versuchen. (%2)")
            .arg(m_busyTimeoutMs / 1000.0, 0, 'g', 3)
            .arg(engine);
    case SQLITE_FULL:
        return QStringLiteral("Auf dem Datenträger ist kein Platz mehr frei. (%1)").arg(engine);
    default:
        return engine;
    }
}

void RuboDatabase::setBusyTimeout(int milliseconds)
{
    m_busyTimeoutMs = milliseconds;
    if (m_handle)
        sqlite3_busy_timeout(m_handle, milliseconds);
}

void RuboDatabase::startTransaction()
{
    if (m_inTransaction)
        throw RuboError(QStringLiteral("Es ist bereits eine Transaktion offen."));
    // IMMEDIATE takes the write lock at once, so a busy database is waited for here; a deferred
    // transaction would fail without waiting when its first write meets another writer.
    execute(QStringLiteral("BEGIN IMMEDIATE"));
    m_inTransaction = true;
}

void RuboDatabase::commit()
{
    execute(QStringLiteral("COMMIT"));
    m_inTransaction = false;
    m_savepoints = 0;
}

void RuboDatabase::rollback()
{
    m_inTransaction = false;
    m_savepoints = 0;
    if (!m_handle)
        return;
    // SQLite may already have rolled back on its own (e.g. after a full disk).
    if (!sqlite3_get_autocommit(m_handle))
        execute(QStringLiteral("ROLLBACK"));
}

int RuboDatabase::execute(const QString& sql)
{
    if (!m_handle)
        throw RuboError(QStringLiteral("Keine Datenbankverbindung."));
    RuboStatement stmt(*this, sql);
    while (stmt.step()) {
    }
    return sqlite3_changes(m_handle);
}

// ---------------------------------------------------------------------------------------------

RuboTransaction::RuboTransaction(RuboDatabase& db) : m_db(db)
{
    if (!db.inTransaction()) {
        db.startTransaction();
        return;
    }
    m_savepoint = ++db.m_savepoints;
    try {
        db.execute(QStringLiteral("SAVEPOINT rubo_%1").arg(m_savepoint));
    } catch (...) {
        --db.m_savepoints;
        throw;
    }
}

RuboTransaction::~RuboTransaction()
{
    if (!m_done)
        rollback();
}

void RuboTransaction::commit()
{
    if (m_done)
        throw RuboError(QStringLiteral("Die Transaktion ist bereits beendet."));
    if (m_savepoint > 0) {
        m_db.execute(QStringLiteral("RELEASE rubo_%1").arg(m_savepoint));
        m_db.m_savepoints = m_savepoint - 1;
    } else {
        m_db.commit();
    }
    m_done = true;
}

void RuboTransaction::rollback() noexcept
{
    if (m_done)
        return;
    m_done = true;
    try {
        if (m_savepoint > 0) {
            // An outer rollback (or the engine after a full disk) may have ended it already.
            if (m_db.inTransaction() && m_db.m_savepoints >= m_savepoint) {
                m_db.execute(QStringLiteral("ROLLBACK TO rubo_%1").arg(m_savepoint));
                m_db.execute(QStringLiteral("RELEASE rubo_%1").arg(m_savepoint));
                m_db.m_savepoints = m_savepoint - 1;
            }
        } else {
            m_db.rollback();
        }
    } catch (...) {
        // Swallowed: nothing more can be undone; the engine has ended the transaction itself.
    }
}

// ---------------------------------------------------------------------------------------------

RuboStatement::RuboStatement(RuboDatabase& db, const QString& sql) : m_db(&db)
{
    if (!db.handle())
        throw RuboError(QStringLiteral("Keine Datenbankverbindung."));
    const QByteArray utf8 = sql.toUtf8();
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db.handle(), utf8.constData(), utf8.size(), &m_stmt, &tail);
    if (rc != SQLITE_OK) {
        QString msg = db.errorText(rc);
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        throw RuboError(msg);
    }
    if (!m_stmt)
        throw RuboError(QStringLiteral("Leere SQL-Anweisung."));
}

RuboStatement::~RuboStatement()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
}

RuboStatement::RuboStatement(RuboStatement&& other) noexcept : m_db(other.m_db), m_stmt(other.m_stmt)
{
    other.m_stmt = nullptr;
}

RuboStatement& RuboStatement::operator=(RuboStatement&& other) noexcept
{
    if (this != &other) {
        if (m_stmt)
            sqlite3_finalize(m_stmt);
        m_db = other.m_db;
        m_stmt = other.m_stmt;
        other.m_stmt = nullptr;
    }
    return *this;
}

void RuboStatement::bind(int index, const QVariant& value)
{
    if (value.isNull() || !value.isValid()) {
        bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        bindInt(index, value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        bindDouble(index, value.toDouble());
        break;
    default:
        bindText(index, value.toString());
    }
}

void RuboStatement::bindText(int index, QStringView text)
{
    // A null pointer would bind NULL; an empty text must stay an empty text.
    static const char16_t empty[1] = {0};
    const void* data = text.utf16() ? static_cast<const void*>(text.utf16()) : static_cast<const void*>(empty);
    m_db->check(sqlite3_bind_text16(m_stmt, index, data, int(text.size() * 2), SQLITE_TRANSIENT));
}

void RuboStatement::bindDouble(int index, double value)
{
    m_db->check(sqlite3_bind_double(m_stmt, index, value));
}

void RuboStatement::bindInt(int index, qint64 value)
{
    m_db->check(sqlite3_bind_int64(m_stmt, index, value));
}

void RuboStatement::bindNull(int index)
{
    m_db->check(sqlite3_bind_null(m_stmt, index));
}

bool RuboStatement::step()
{
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    QString msg = m_db->errorText(rc);
    sqlite3_reset(m_stmt);
    throw RuboError(msg);
}

void RuboStatement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int RuboStatement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QString RuboStatement::columnName(int index) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, index));
}

QVariant RuboStatement::column(int index) const
{
    switch (sqlite3_column_type(m_stmt, index)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_stmt, index)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, index));
    case SQLITE_TEXT:
        return QVariant(QString(reinterpret_cast<const QChar*>(sqlite3_column_text16(m_stmt, index)),
                                sqlite3_column_bytes16(m_stmt, index) / 2));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(m_stmt, index)),
                                   sqlite3_column_bytes(m_stmt, index)));
    default:
        return QVariant();
    }
}

QString OrderedSql(RuboDatabase& db, const QString& sql, const QList<QPair<QString, Qt::SortOrder>>& orderKeys,
                   QString* orderBy)
{
    QString terms;
    if (!orderKeys.isEmpty()) {
        QStringList fields;
        {
            RuboStatement named(db, sql);
            for (int c = 0; c < named.columnCount(); ++c)
                fields << named.columnName(c);
        }
        QList<QPair<QString, Qt::SortOrder>> own;
        for (const auto& key : orderKeys)
            if (fields.contains(key.first, Qt::CaseInsensitive))
                own.append(key);
        terms = SqlOrderBy(own);
    }
    if (orderBy)
        *orderBy = terms;
    return terms.isEmpty() ? sql : QStringLiteral("SELECT * FROM (") + sql + QStringLiteral(") ORDER BY ") + terms;
}

RuboRows ReadAllRows(RuboDatabase& db, const QString& sql, const QList<QPair<QString, Qt::SortOrder>>& orderKeys)
{
    RuboRows result;
    RuboStatement stmt(db, OrderedSql(db, sql, orderKeys, &result.orderBy));
    const int columns = stmt.columnCount();
    for (int c = 0; c < columns; ++c)
        result.fields << stmt.columnName(c);
    while (stmt.step()) {
        QList<QVariant> row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c)
            row.append(stmt.column(c));
        result.rows.append(std::move(row));
    }
    return result;
}

// ---------------------------------------------------------------------------------------------

RuboQuery::RuboQuery(RuboDatabase& db) : m_db(db) {}

void RuboQuery::setSql(const QString& sql)
{
    close();
    m_sql = sql;
}

void RuboQuery::addSql(const QString& line)
{
    close();
    if (!m_sql.isEmpty())
        m_sql += QLatin1Char('\n');
    m_sql += line;
}

void RuboQuery::clearSql()
{
    close();
    m_sql.clear();
    m_params.clear();
}

void RuboQuery::setParam(const QString& name, const QVariant& value)
{
    m_params.insert(name, value);
}

// Jet names its parameters as bare identifiers; SQLite wants ":name". Quoted texts are left alone.
QString RuboQuery::translatedSql() const
{
    if (m_params.isEmpty())
        return m_sql;
    QString out;
    out.reserve(m_sql.size() + 16);
    const int n = int(m_sql.size());
    int i = 0;
    while (i < n) {
        const QChar c = m_sql.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            int j = i + 1;
            while (j < n && m_sql.at(j) != c)
                ++j;
            out += QStringView(m_sql).mid(i, qMin(j + 1, n) - i);
            i = j + 1;
        } else if (isIdentChar(c) && (i == 0 || !isIdentChar(m_sql.at(i - 1)))) {
            int j = i;
            while (j < n && isIdentChar(m_sql.at(j)))
                ++j;
            const QString word = m_sql.mid(i, j - i);
            if (m_params.contains(word) && (i == 0 || m_sql.at(i - 1) != QLatin1Char(':')))
                out += QLatin1Char(':');
            out += word;
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

void RuboQuery::prepare()
{
    m_stmt = RuboStatement(m_db, translatedSql());
    for (auto it = m_params.cbegin(); it != m_params.cend(); ++it) {
        int index = sqlite3_bind_parameter_index(m_stmt.get(), (QLatin1Char(':') + it.key()).toUtf8().constData());
        if (index > 0)
            m_stmt.bind(index, it.value());
    }
}

void RuboQuery::open()
{
    close();
    prepare();
    m_names.clear();
    for (int i = 0; i < m_stmt.columnCount(); ++i)
        m_names << m_stmt.columnName(i);
    m_open = true;
    next();
}

void RuboQuery::close()
{
    m_stmt = RuboStatement();
    m_open = false;
    m_eof = true;
    m_row.clear();
    m_recordCount = -1;
}

void RuboQuery::first()
{
    if (!m_open)
        throw RuboError(QStringLiteral("Die Abfrage ist nicht geöffnet."));
    m_stmt.reset();
    prepare();
    next();
}

void RuboQuery::next()
{
    if (!m_open)
        throw RuboError(QStringLiteral("Die Abfrage ist nicht geöffnet."));
    m_row.clear();
    m_eof = !m_stmt.step();
    if (!m_eof) {
        const int count = m_stmt.columnCount();
        m_row.reserve(count);
        for (int i = 0; i < count; ++i)
            m_row << m_stmt.column(i);
    }
}

int RuboQuery::execute()
{
    close();
    prepare();
    while (m_stmt.step()) {
    }
    m_stmt = RuboStatement();
    return sqlite3_changes(m_db.handle());
}

int RuboQuery::fieldCount() const
{
    return int(m_names.size());
}

QString RuboQuery::fieldName(int index) const
{
    return m_names.value(index);
}

int RuboQuery::fieldIndex(const QString& name) const
{
    for (int i = 0; i < m_names.size(); ++i)
        if (m_names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant RuboQuery::field(int index) const
{
    if (m_eof || index < 0 || index >= m_row.size())
        throw RuboError(QStringLiteral("Kein aktueller Datensatz."));
    return m_row.at(index);
}

QVariant RuboQuery::field(const QString& name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw RuboError(QStringLiteral("Feld %1 nicht gefunden.").arg(name));
    return field(index);
}

int RuboQuery::recordCount()
{
    if (!m_open)
        throw RuboError(QStringLiteral("Die Abfrage ist nicht geöffnet."));
    if (m_recordCount < 0) {
        RuboStatement count(m_db, QStringLiteral("SELECT COUNT(*) FROM (") + translatedSql() + QLatin1Char(')'));
        for (auto it = m_params.cbegin(); it != m_params.cend(); ++it) {
            int index = sqlite3_bind_parameter_index(count.get(), (QLatin1Char(':') + it.key()).toUtf8().constData());
            if (index > 0)
                count.bind(index, it.value());
        }
        m_recordCount = count.step() ? count.column(0).toInt() : 0;
    }
    return m_recordCount;
}

// ---------------------------------------------------------------------------------------------

namespace {
constexpr int kChunkRows = 256;
}

RuboTable::RuboTable(RuboDatabase& db, QString tableName) : m_db(db), m_table(std::move(tableName)) {}

QString RuboTable::whereClause() const
{
    if (m_filtered && !m_filter.trimmed().isEmpty())
        return QStringLiteral(" AND (") + m_filter + QLatin1Char(')');
    return QString();
}

void RuboTable::requireOpen() const
{
    if (!m_open)
        throw RuboError(QStringLiteral("Die Tabelle %1 ist nicht geöffnet.").arg(m_table));
}

void RuboTable::open()
{
    close();
    RuboStatement info(m_db, QStringLiteral("SELECT name FROM pragma_table_info(?)"));
    info.bindText(1, m_table);
    m_columns.clear();
    while (info.step())
        m_columns << info.column(0).toString();
    if (m_columns.isEmpty())
        throw RuboError(QStringLiteral("Die Tabelle %1 existiert nicht.").arg(m_table));
    m_open = true;
    first();
}

void RuboTable::close()
{
    m_statements.clear();
    m_open = false;
    m_eof = true;
    m_chunk.clear();
    m_pos = 0;
    m_mode = Mode::Browse;
    m_pending.clear();
}

RuboStatement& RuboTable::statement(const QString& sql)
{
    auto it = m_statements.find(sql);
    if (it == m_statements.end())
        it = m_statements.emplace(sql, RuboStatement(m_db, sql)).first;
    it->second.reset();
    return it->second;
}

void RuboTable::loadChunk()
{
    // Joined, not filled in with arg(): a "%1" inside the filter's values must stay as it is.
    RuboStatement& stmt = statement(QStringLiteral("SELECT rowid, * FROM ") + SqlIdentifier(m_table) + QStringLiteral(" WHERE rowid > ?")
                                    + whereClause() + QStringLiteral(" ORDER BY rowid LIMIT ") + QString::number(kChunkRows));
    stmt.bindInt(1, m_lastRowid);
    m_chunk.clear();
    while (stmt.step()) {
        QList<QVariant> row;
        const int count = stmt.columnCount();
        row.reserve(count);
        for (int i = 0; i < count; ++i)
            row << stmt.column(i);
        m_chunk << row;
    }
    m_chunkWasLast = m_chunk.size() < kChunkRows;
    m_pos = 0;
    m_eof = m_chunk.isEmpty();
    if (!m_eof)
        m_lastRowid = m_chunk.last().first().toLongLong();
}

void RuboTable::first()
{
    requireOpen();
    m_lastRowid = std::numeric_limits<qint64>::min();
    m_mode = Mode::Browse;
    loadChunk();
}

void RuboTable::next()
{
    requireOpen();
    if (m_eof)
        return;
    if (m_mode != Mode::Browse)
        cancel();
    ++m_pos;
    if (m_pos >= m_chunk.size()) {
        if (m_chunkWasLast)
            m_eof = true;
        else
            loadChunk();
    }
}

int RuboTable::recordCount()
{
    requireOpen();
    RuboStatement stmt(m_db, QStringLiteral("SELECT COUNT(*) FROM ") + SqlIdentifier(m_table) + QStringLiteral(" WHERE 1=1")
                                 + whereClause());
    return stmt.step() ? stmt.column(0).toInt() : 0;
}

QVariant RuboTable::field(const QString& name) const
{
    requireOpen();
    if (m_eof)
        throw RuboError(QStringLiteral("Kein aktueller Datensatz."));
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return m_chunk.at(m_pos).at(i + 1);
    throw RuboError(QStringLiteral("Feld %1 nicht gefunden.").arg(name));
}

void RuboTable::append()
{
    requireOpen();
    m_mode = Mode::Insert;
    m_pending.clear();
}

void RuboTable::edit()
{
    requireOpen();
    if (m_eof)
        throw RuboError(QStringLiteral("Kein aktueller Datensatz."));
    m_mode = Mode::Edit;
    m_pending.clear();
}

void RuboTable::setField(const QString& name, const QVariant& value)
{
    if (m_mode == Mode::Browse)
        throw RuboError(QStringLiteral("Der Datensatz ist nicht im Bearbeitungsmodus."));
    for (const QString& column : std::as_const(m_columns)) {
        if (column.compare(name, Qt::CaseInsensitive) == 0) {
            m_pending.append({column, value});
            return;
        }
    }
    throw RuboError(QStringLiteral("Feld %1 nicht gefunden.").arg(name));
}

void RuboTable::post()
{
    requireOpen();
    if (m_mode == Mode::Browse)
        return;
    QStringList names;
    for (const auto& p : std::as_const(m_pending))
        names << SqlIdentifier(p.first);
    const QString table = SqlIdentifier(m_table);
    QString sql;
    if (m_mode == Mode::Insert) {
        sql = names.isEmpty() ? QStringLiteral("INSERT INTO ") + table + QStringLiteral(" DEFAULT VALUES")
                              : QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") + names.join(QLatin1Char(','))
                + QStringLiteral(") VALUES (") + QStringList(names.size(), QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
    } else {
        if (names.isEmpty()) {
            m_mode = Mode::Browse;
            return;
        }
        sql = QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + names.join(QStringLiteral("=?,"))
            + QStringLiteral("=? WHERE rowid=?");
    }
    // Prepared once per table and set of columns: an editor or a recalculation posts row after row.
    RuboStatement& stmt = statement(sql);
    int index = 1;
    for (const auto& p : std::as_const(m_pending))
        stmt.bind(index++, p.second);
    if (m_mode == Mode::Edit)
        stmt.bindInt(index, m_chunk.at(m_pos).first().toLongLong());
    stmt.step();
    if (m_mode == Mode::Edit) {
        // Keep the row as read in step with what was written.
        for (const auto& p : std::as_const(m_pending))
            m_chunk[m_pos][m_columns.indexOf(p.first) + 1] = p.second;
    }
    m_mode = Mode::Browse;
    m_pending.clear();
}

void RuboTable::cancel()
{
    m_mode = Mode::Browse;
    m_pending.clear();
}

void RuboTable::remove()
{
    requireOpen();
    if (m_eof)
        throw RuboError(QStringLiteral("Kein aktueller Datensatz."));
    RuboStatement& stmt = statement(QStringLiteral("DELETE FROM ") + SqlIdentifier(m_table) + QStringLiteral(" WHERE rowid=?"));
    stmt.bindInt(1, m_chunk.at(m_pos).first().toLongLong());
    stmt.step();
    m_chunk.removeAt(m_pos);
    if (m_pos >= m_chunk.size()) {
        if (m_chunkWasLast)
            m_eof = true;
        else
            loadChunk();
    }
}

void RuboTable::refresh()
{
    requireOpen();
    const qint64 current = m_eof ? std::numeric_limits<qint64>::max() : m_chunk.at(m_pos).first().toLongLong();
    m_lastRowid = current - 1;
    loadChunk();
}
