#include "toolkit/SqlPagedModel.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <climits>

namespace {

QList<QVariant> currentRow(const QSqlQuery& query, int columns)
{
    QList<QVariant> values;
    values.reserve(columns);
    for (int c = 0; c < columns; ++c)
        values.append(query.value(c));
    return values;
}

int indexOfName(const QStringList& names, const QString& name)
{
    const int exact = names.indexOf(name);
    if (exact >= 0)
        return exact;
    for (int i = 0; i < names.size(); ++i) {
        if (names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

template <typename T>
const T* findIgnoringCase(const QHash<QString, T>& hash, const QString& key)
{
    auto it = hash.constFind(key);
    if (it != hash.constEnd())
        return &it.value();
    for (it = hash.constBegin(); it != hash.constEnd(); ++it) {
        if (it.key().compare(key, Qt::CaseInsensitive) == 0)
            return &it.value();
    }
    return nullptr;
}

// A trailing semicolon would end the statement inside the wrapping sub-select.
QString bareStatement(const QString& sql)
{
    QString s = sql.trimmed();
    while (s.endsWith(QLatin1Char(';')))
        s = s.left(s.size() - 1).trimmed();
    return s;
}

QString noStatementText()
{
    return QStringLiteral("Es ist keine Abfrage geöffnet.");
}

} // namespace

SqlPagedModel::SqlPagedModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

bool SqlPagedModel::setQuery(const QSqlDatabase& db, const QString& sql, qint64 rowCount)
{
    const bool wasOpen = m_open;
    beginResetModel();
    forgetRows();
    m_lastError.clear();
    m_db = db;
    m_sql = bareStatement(sql);
    m_fields.clear();

    bool ok = !m_sql.isEmpty();
    if (!ok)
        m_lastError = QStringLiteral("Die Abfrage ist leer.");
    if (ok) {
        // LIMIT 0 lets the engine check the statement and name its fields without reading rows.
        QSqlQuery probe(m_db);
        probe.setForwardOnly(true);
        ok = probe.exec(selectText() + QStringLiteral(" LIMIT 0"));
        if (!ok) {
            m_lastError = probe.lastError().text();
        } else {
            const QSqlRecord record = probe.record();
            for (int i = 0; i < record.count(); ++i)
                m_fields << record.fieldName(i);
        }
    }
    const bool countLater = rowCount == kCountLater && !m_holdAll;
    // Rows held in full are counted as they are read; counting them first would run the statement twice.
    if (ok && rowCount < 0 && !m_holdAll && !countLater) {
        QSqlQuery count(m_db);
        count.setForwardOnly(true);
        ok = count.exec(QStringLiteral("SELECT COUNT(*) FROM (%1)").arg(m_sql)) && count.next();
        if (ok)
            rowCount = count.value(0).toLongLong();
        else
            m_lastError = count.lastError().text();
    }
    if (ok) {
        m_rowCount = qMax<qint64>(0, rowCount);
        m_open = true;
        rebuildColumnSettings();
        if (countLater) {
            m_countKnown = false;
            if (m_reader) {
                m_rowCount = 0;
                requestPage(0);
            } else {
                ok = loadPage(0);
                m_rowCount = ok ? m_pages.value(0).size() : 0;
            }
        }
        if (m_holdAll) {
            ok = loadAllRows();
            // Rows held are the truth; a count handed in may be stale.
            qint64 held = 0;
            for (const auto& page : std::as_const(m_pages))
                held += page.size();
            m_rowCount = held;
        }
    }
    if (!ok)
        forgetRows();
    endResetModel();

    if (ok)
        Q_EMIT openChanged(true);
    else if (wasOpen)
        Q_EMIT openChanged(false);
    return ok;
}

void SqlPagedModel::setRowCount(qint64 rows)
{
    rows = qMax<qint64>(0, rows);
    if (!m_open || m_holdAll)
        return;
    m_countKnown = true;
    if (rows == m_rowCount)
        return;
    const int first = int(qMin<qint64>(qMin(rows, m_rowCount), INT_MAX));
    const int last = int(qMin<qint64>(qMax(rows, m_rowCount), INT_MAX)) - 1;
    if (rows > m_rowCount) {
        beginInsertRows(QModelIndex(), first, last);
        m_rowCount = rows;
        endInsertRows();
    } else {
        beginRemoveRows(QModelIndex(), first, last);
        m_rowCount = rows;
        endRemoveRows();
    }
}

void SqlPagedModel::setRows(const QString& sql, const QString& orderBy, const QStringList& fields, QList<QList<QVariant>> rows)
{
    beginResetModel();
    forgetRows();
    m_lastError.clear();
    m_sql = bareStatement(sql);
    m_orderBy = orderBy;
    m_fields = fields;
    m_open = true;
    m_holdAll = true;
    rebuildColumnSettings();
    m_rowCount = rows.size();
    m_fetchedRows = rows.size();
    for (int page = 0; page * kPageRows < rows.size(); ++page) {
        m_pages.insert(page, rows.mid(page * kPageRows, kPageRows));
        m_pageOrder.append(page);
    }
    endResetModel();
    Q_EMIT openChanged(true);
}

void SqlPagedModel::close()
{
    const bool wasOpen = m_open;
    beginResetModel();
    forgetRows();
    m_sql.clear();
    m_columnFormatters.clear();
    m_columnAlignments.clear();
    endResetModel();
    if (wasOpen)
        Q_EMIT openChanged(false);
}

void SqlPagedModel::deliverPage(quint64 token, int page, QList<QList<QVariant>> rows)
{
    if (token != m_token || !m_open || m_holdAll)
        return;
    if (m_pendingPage == page)
        m_pendingPage = -1;
    const int count = int(rows.size());
    storePage(page, std::move(rows));
    // The first page of a list not yet counted brings its first rows.
    if (!m_countKnown && page == 0 && count > m_rowCount) {
        beginInsertRows(QModelIndex(), int(m_rowCount), count - 1);
        m_rowCount = count;
        endInsertRows();
    }
    const int first = page * kPageRows;
    const int last = int(qMin<qint64>(m_rowCount, qint64(first) + count)) - 1;
    if (last >= first && columnCount() > 0)
        Q_EMIT dataChanged(index(first, 0), index(last, columnCount() - 1));
}

void SqlPagedModel::forgetRows()
{
    ++m_token;
    m_pendingPage = -1;
    m_countKnown = true;
    clearPages();
    m_open = false;
    m_fields = m_closedFields;
    m_orderBy.clear();
    m_rowCount = 0;
    m_fetchedRows = 0;
}

bool SqlPagedModel::setOrderBy(const QString& orderBy)
{
    if (!m_open) {
        m_lastError = noStatementText();
        return false;
    }
    const QString order = orderBy.trimmed();
    if (!order.isEmpty()) {
        QSqlQuery probe(m_db);
        probe.setForwardOnly(true);
        if (!probe.exec(QStringLiteral("SELECT * FROM (%1) ORDER BY %2 LIMIT 0").arg(m_sql, order))) {
            m_lastError = probe.lastError().text();
            return false;
        }
    }

    // Same rows and columns in another order: the header keeps its moved and hidden sections.
    Q_EMIT layoutAboutToBeChanged();
    const QString oldOrder = m_orderBy;
    m_orderBy = order;
    ++m_token;
    m_pendingPage = -1;
    clearPages();
    bool ok = true;
    if (m_holdAll && !loadAllRows()) {
        m_orderBy = oldOrder;
        clearPages();
        loadAllRows();
        ok = false;
    }
    Q_EMIT layoutChanged();
    return ok;
}

void SqlPagedModel::setHoldAllRows(bool on)
{
    if (m_holdAll == on)
        return;
    if (!m_open) {
        m_holdAll = on;
        return;
    }
    Q_EMIT layoutAboutToBeChanged();
    m_holdAll = on;
    if (on) {
        loadAllRows();
    } else {
        trimCache();
    }
    Q_EMIT layoutChanged();
}

void SqlPagedModel::setFieldsWhileClosed(const QStringList& fields)
{
    m_closedFields = fields;
    if (m_open)
        return;
    beginResetModel();
    m_fields = fields;
    endResetModel();
}

int SqlPagedModel::fieldIndex(const QString& field) const
{
    return indexOfName(m_fields, field);
}

QVariant SqlPagedModel::value(int row, int column) const
{
    if (column < 0 || column >= m_fields.size())
        return {};
    const QList<QVariant>* values = rowAt(row);
    if (!values || column >= values->size())
        return {};
    return values->at(column);
}

QVariant SqlPagedModel::value(int row, const QString& field) const
{
    return value(row, fieldIndex(field));
}

void SqlPagedModel::setFormatter(const QString& field, std::function<QString(const QVariant&)> formatter)
{
    RowFormatter byRow;
    if (formatter)
        byRow = [formatter = std::move(formatter)](const QVariant& v, int) { return formatter(v); };
    setRowFormatter(field, std::move(byRow));
}

void SqlPagedModel::setRowFormatter(const QString& field, RowFormatter formatter)
{
    if (formatter)
        m_formatters.insert(field, std::move(formatter));
    else
        m_formatters.remove(field);
    rebuildColumnSettings();
    if (rowCount() > 0 && columnCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
}

void SqlPagedModel::setAlignment(const QString& field, Qt::Alignment alignment)
{
    auto it = m_alignments.constFind(field);
    if (it != m_alignments.constEnd() && it.value() == alignment)
        return;
    m_alignments.insert(field, alignment);
    rebuildColumnSettings();
    if (rowCount() > 0 && columnCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::TextAlignmentRole});
}

int SqlPagedModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_open)
        return 0;
    return int(qMin<qint64>(m_rowCount, INT_MAX));
}

int SqlPagedModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return int(m_fields.size());
}

QVariant SqlPagedModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole: {
        const QList<QVariant>* values = shownRow(index.row());
        const QVariant v = values && column < values->size() ? values->at(column) : QVariant();
        if (v.isNull())
            return QString();
        const auto& formatter = m_columnFormatters.value(column);
        return formatter ? formatter(v, index.row()) : v.toString();
    }
    case Qt::EditRole: {
        const QList<QVariant>* values = shownRow(index.row());
        return values && column < values->size() ? values->at(column) : QVariant();
    }
    case Qt::TextAlignmentRole: {
        const int alignment = m_columnAlignments.value(column);
        return alignment ? QVariant(alignment) : QVariant();
    }
    default:
        return {};
    }
}

QVariant SqlPagedModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < m_fields.size() ? QVariant(m_fields.at(section)) : QVariant();
    return section + 1;
}

const QList<QVariant>* SqlPagedModel::rowAt(int row) const
{
    if (!m_open || row < 0 || row >= m_rowCount)
        return nullptr;
    const int page = row / kPageRows;
    auto it = m_pages.constFind(page);
    if (it == m_pages.constEnd()) {
        if (m_holdAll || !loadPage(page))
            return nullptr;
        it = m_pages.constFind(page);
    } else if (!m_holdAll && m_pageOrder.constLast() != page) {
        m_pageOrder.removeOne(page);
        m_pageOrder.append(page);
    }
    const QList<QList<QVariant>>& rows = it.value();
    const int inPage = row % kPageRows;
    return inPage < rows.size() ? &rows.at(inPage) : nullptr;
}

const QList<QVariant>* SqlPagedModel::shownRow(int row) const
{
    if (!m_reader || m_holdAll)
        return rowAt(row);
    if (!m_open || row < 0 || row >= m_rowCount)
        return nullptr;
    const int page = row / kPageRows;
    if (!m_pages.contains(page)) {
        requestPage(page);
        return nullptr;
    }
    return rowAt(row);
}

void SqlPagedModel::requestPage(int page) const
{
    // One page at a time, the last one asked for: a view that scrolls on wants only where it is.
    if (m_pendingPage == page)
        return;
    m_pendingPage = page;
    m_reader(m_token, page, pageSql(page));
}

QString SqlPagedModel::pageSql(int page) const
{
    // Concatenated, not arg()-chained: the statement itself may hold "%1" in a LIKE pattern.
    return selectText() + QStringLiteral(" LIMIT ") + QString::number(kPageRows) + QStringLiteral(" OFFSET ")
        + QString::number(qint64(page) * kPageRows);
}

void SqlPagedModel::storePage(int page, QList<QList<QVariant>> rows) const
{
    m_fetchedRows += rows.size();
    m_pages.insert(page, std::move(rows));
    m_pageOrder.removeOne(page);
    m_pageOrder.append(page);
    trimCache();
}

bool SqlPagedModel::loadPage(int page) const
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    const QString sql = pageSql(page);
    if (!query.exec(sql)) {
        m_lastError = query.lastError().text();
        return false;
    }
    const int columns = int(m_fields.size());
    QList<QList<QVariant>> rows;
    rows.reserve(kPageRows);
    while (query.next()) {
        rows.append(currentRow(query, columns));
    }
    storePage(page, std::move(rows));
    return true;
}

bool SqlPagedModel::loadAllRows() const
{
    clearPages();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(selectText())) {
        m_lastError = query.lastError().text();
        return false;
    }
    const int columns = int(m_fields.size());
    QList<QList<QVariant>> rows;
    int page = 0;
    while (query.next()) {
        rows.append(currentRow(query, columns));
        ++m_fetchedRows;
        if (rows.size() == kPageRows) {
            m_pages.insert(page, std::move(rows));
            m_pageOrder.append(page++);
            rows = {};
        }
    }
    if (!rows.isEmpty()) {
        m_pages.insert(page, std::move(rows));
        m_pageOrder.append(page);
    }
    return true;
}

QString SqlPagedModel::selectText() const
{
    QString sql = QStringLiteral("SELECT * FROM (%1)").arg(m_sql);
    if (!m_orderBy.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + m_orderBy;
    return sql;
}

void SqlPagedModel::clearPages() const
{
    m_pages.clear();
    m_pageOrder.clear();
}

void SqlPagedModel::trimCache() const
{
    if (m_holdAll)
        return;
    while (m_pageOrder.size() > kCachedPages)
        m_pages.remove(m_pageOrder.takeFirst());
}

void SqlPagedModel::rebuildColumnSettings()
{
    m_columnFormatters.clear();
    m_columnAlignments.clear();
    m_columnFormatters.resize(m_fields.size());
    m_columnAlignments.resize(m_fields.size());
    for (int c = 0; c < m_fields.size(); ++c) {
        if (const auto* formatter = findIgnoringCase(m_formatters, m_fields.at(c)))
            m_columnFormatters[c] = *formatter;
        if (const auto* alignment = findIgnoringCase(m_alignments, m_fields.at(c)))
            m_columnAlignments[c] = int(*alignment);
    }
}
