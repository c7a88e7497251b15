#include "referencedata/RecordTable.h"

#include "database/Conversions.h"
#include "database/Messages.h"
#include "database/RuboEngine.h"
#include "database/RuboError.h"
#include "database/Schema.h"
#include "database/SqlText.h"

#include <QLocale>

#include <cmath>

RecordTable::RecordTable(RuboDatabase& db, QString table, QStringList fields, QObject* parent)
    : QAbstractTableModel(parent), m_db(db), m_table(std::move(table)), m_fields(std::move(fields))
{
    const RuboTableDef* def = FindRuboTableDef(m_table);
    for (const QString& field : std::as_const(m_fields)) {
        const RuboColumn* column = def ? def->column(field) : nullptr;
        const bool text = !column || column->type == RuboColumn::Type::Text;
        m_widths.append(column && text ? column->width : 0);
        m_numeric.append(!text);
    }
}

void RecordTable::setFormatter(const QString& field, std::function<QString(const QVariant&)> formatter)
{
    m_formatters.insert(field, std::move(formatter));
}

QList<RecordTable::Row> RecordTable::readRows() const
{
    QStringList names;
    for (const QString& field : m_fields)
        names << SqlIdentifier(field);
    QString sql = QStringLiteral("SELECT rowid, ") + names.join(QStringLiteral(", ")) + QStringLiteral(" FROM ")
        + SqlIdentifier(m_table);
    if (!m_filter.isEmpty())
        sql += QStringLiteral(" WHERE ") + m_filter;
    sql += QStringLiteral(" ORDER BY ") + (m_orderBy.isEmpty() ? QStringLiteral("rowid") : m_orderBy + QStringLiteral(", rowid"));
    RuboStatement stmt(m_db, sql);
    QList<Row> rows;
    while (stmt.step()) {
        Row row;
        row.rowId = stmt.column(0).toLongLong();
        for (int i = 0; i < m_fields.size(); ++i)
            row.values.append(stmt.column(i + 1));
        rows.append(std::move(row));
    }
    return rows;
}

void RecordTable::open()
{
    QList<Row> rows = readRows();
    beginResetModel();
    m_rows = std::move(rows);
    m_open = true;
    m_editRow = -1;
    m_buffer.clear();
    const bool wasEditing = editing();
    m_state = State::Browse;
    endResetModel();
    if (wasEditing)
        Q_EMIT editingChanged(false);
}

void RecordTable::close()
{
    const bool wasEditing = editing();
    beginResetModel();
    m_rows.clear();
    m_open = false;
    m_state = State::Browse;
    m_editRow = -1;
    m_buffer.clear();
    endResetModel();
    if (wasEditing)
        Q_EMIT editingChanged(false);
}

void RecordTable::refresh()
{
    open();
}

int RecordTable::fieldIndex(const QString& field) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields.at(i).compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int RecordTable::fieldWidth(const QString& field) const
{
    const int column = fieldIndex(field);
    return column < 0 ? 0 : m_widths.at(column);
}

bool RecordTable::isNumeric(int column) const
{
    return m_numeric.at(column);
}

QVariant RecordTable::value(int row, const QString& field) const
{
    const int column = fieldIndex(field);
    if (column < 0 || row < 0 || row >= m_rows.size())
        return {};
    if (row == m_editRow)
        return m_buffer.at(column);
    return m_rows.at(row).values.at(column);
}

qint64 RecordTable::rowId(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).rowId : 0;
}

int RecordTable::rowOfId(qint64 rowId) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows.at(i).rowId == rowId)
            return i;
    return -1;
}

QVariant RecordTable::buffer(const QString& field) const
{
    const int column = fieldIndex(field);
    return editing() && column >= 0 ? m_buffer.at(column) : QVariant();
}

void RecordTable::setBuffer(const QString& field, const QVariant& value)
{
    const int column = fieldIndex(field);
    if (!editing() || column < 0)
        return;
    m_buffer[column] = value;
    const QModelIndex cell = index(m_editRow, column);
    Q_EMIT dataChanged(cell, cell);
}

QVariant RecordTable::oldValue(const QString& field) const
{
    const int column = fieldIndex(field);
    if (m_state != State::Edit || column < 0)
        return {};
    return m_rows.at(m_editRow).values.at(column);
}

void RecordTable::setState(State state, int row)
{
    const bool was = editing();
    m_state = state;
    m_editRow = state == State::Browse ? -1 : row;
    if (was != editing())
        Q_EMIT editingChanged(editing());
    if (row >= 0 && row < m_rows.size())
        Q_EMIT headerDataChanged(Qt::Vertical, row, row);
}

void RecordTable::emitRowChanged(int row)
{
    if (row >= 0 && row < m_rows.size())
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
}

bool RecordTable::leaveOtherRow(int row)
{
    if (!editing() || m_editRow == row)
        return true;
    return post();
}

bool RecordTable::edit(int row)
{
    if (m_readOnly || row < 0 || row >= m_rows.size() || !leaveOtherRow(row))
        return false;
    if (editing())
        return true;
    // The post above may have moved rows: a new row took its sorted place only at the next read.
    m_buffer = m_rows.at(row).values;
    setState(State::Edit, row);
    return true;
}

bool RecordTable::insert(int row)
{
    if (m_readOnly || !m_open || !leaveOtherRow(-1))
        return false;
    row = qBound(0, row, int(m_rows.size()));
    beginInsertRows(QModelIndex(), row, row);
    Row fresh;
    for (int i = 0; i < m_fields.size(); ++i)
        fresh.values.append(QVariant());
    m_rows.insert(row, fresh);
    m_buffer = fresh.values;
    endInsertRows();
    setState(State::Insert, row);
    return true;
}

bool RecordTable::setValue(int row, const QString& field, const QVariant& value)
{
    const int column = fieldIndex(field);
    if (column < 0 || !edit(row))
        return false;
    QVariant stored = value;
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        if (text.trimmed().isEmpty()) {
            stored = QVariant();
        } else if (isNumeric(column)) {
            double number = 0;
            if (!TryParseNumber(QStringView(text).trimmed(), number)) {
                MessageOk(QStringLiteral("'") + text + QStringLiteral("' ist kein gültiger Gleitkommawert."), RuboUi::MsgKind::Error);
                return false;
            }
            stored = number;
        }
    }
    setBuffer(m_fields.at(column), stored);
    return true;
}

bool RecordTable::post()
{
    if (!editing())
        return true;
    if (beforePost && !beforePost(*this))
        return false;
    QStringList names;
    for (const QString& field : std::as_const(m_fields))
        names << SqlIdentifier(field);
    const QString table = SqlIdentifier(m_table);
    const bool inserting = m_state == State::Insert;
    const QString sql = inserting
        ? QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") + names.join(QLatin1Char(',')) + QStringLiteral(") VALUES (")
            + QStringList(names.size(), QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')')
        : QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + names.join(QStringLiteral("=?,"))
            + QStringLiteral("=? WHERE rowid=?");
    try {
        RuboTransaction transaction(m_db);
        RuboStatement stmt(m_db, sql);
        int column = 1;
        for (const QVariant& v : std::as_const(m_buffer))
            stmt.bind(column++, v);
        if (!inserting)
            stmt.bindInt(column, m_rows.at(m_editRow).rowId);
        stmt.step();
        qint64 rowId = m_rows.at(m_editRow).rowId;
        if (inserting) {
            RuboStatement last(m_db, QStringLiteral("SELECT last_insert_rowid()"));
            last.step();
            rowId = last.column(0).toLongLong();
        }
        transaction.commit();
        Row& row = m_rows[m_editRow];
        row.rowId = rowId;
        row.values = m_buffer;
    } catch (const RuboError& e) {
        MessageOk(e.message(), RuboUi::MsgKind::Error);
        return false;
    }
    const int row = m_editRow;
    m_buffer.clear();
    setState(State::Browse, row);
    emitRowChanged(row);
    return true;
}

void RecordTable::cancel()
{
    if (!editing())
        return;
    const int row = m_editRow;
    const bool inserting = m_state == State::Insert;
    m_buffer.clear();
    setState(State::Browse, -1);
    if (inserting) {
        beginRemoveRows(QModelIndex(), row, row);
        m_rows.removeAt(row);
        endRemoveRows();
    } else {
        emitRowChanged(row);
        Q_EMIT headerDataChanged(Qt::Vertical, row, row);
    }
}

bool RecordTable::remove(int row)
{
    if (m_readOnly || row < 0 || row >= m_rows.size())
        return false;
    // A new row not yet written is only dropped.
    if (m_state == State::Insert && row == m_editRow) {
        cancel();
        return true;
    }
    if (editing() && row != m_editRow && !post())
        return false;
    if (beforeDelete && !beforeDelete(*this, row))
        return false;
    try {
        RuboTransaction transaction(m_db);
        RuboStatement stmt(m_db, QStringLiteral("DELETE FROM ") + SqlIdentifier(m_table) + QStringLiteral(" WHERE rowid=?"));
        stmt.bindInt(1, m_rows.at(row).rowId);
        stmt.step();
        transaction.commit();
    } catch (const RuboError& e) {
        MessageOk(e.message(), RuboUi::MsgKind::Error);
        return false;
    }
    if (editing())
        setState(State::Browse, -1);
    m_buffer.clear();
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.removeAt(row);
    endRemoveRows();
    return true;
}

int RecordTable::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RecordTable::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

QVariant RecordTable::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const QString& field = m_fields.at(index.column());
    const QVariant v = value(index.row(), field);
    switch (role) {
    case Qt::DisplayRole: {
        if (v.isNull())
            return QString();
        const auto formatter = m_formatters.constFind(field);
        if (formatter != m_formatters.constEnd())
            return (*formatter)(v);
        if (isNumeric(index.column()))
            return QLocale().toString(v.toDouble(), 'f', QLocale::FloatingPointShortest);
        return VariantToText(v);
    }
    case Qt::EditRole:
        if (v.isNull())
            return QString();
        if (isNumeric(index.column()))
            return QLocale().toString(v.toDouble(), 'f', QLocale::FloatingPointShortest);
        return VariantToText(v);
    case Qt::TextAlignmentRole: {
        const auto alignment = m_alignments.constFind(field);
        if (alignment != m_alignments.constEnd())
            return int(*alignment);
        return int((isNumeric(index.column()) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

bool RecordTable::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid())
        return false;
    // A cell left unchanged puts no row into edit.
    if (!editing() || m_editRow != index.row()) {
        if (data(index, Qt::EditRole) == value)
            return false;
    }
    return setValue(index.row(), m_fields.at(index.column()), value);
}

Qt::ItemFlags RecordTable::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!m_readOnly)
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant RecordTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_fields.size())
            return {};
        return m_captions.value(m_fields.at(section), m_fields.at(section));
    }
    // The row indicator: a new row, a row in edit.
    if (section == m_editRow)
        return m_state == State::Insert ? QStringLiteral("*") : QStringLiteral("I");
    return QString();
}

bool RecordTable::insertRows(int row, int count, const QModelIndex& parent)
{
    return !parent.isValid() && count == 1 && insert(row);
}

bool RecordTable::removeRows(int row, int count, const QModelIndex& parent)
{
    return !parent.isValid() && count == 1 && remove(row);
}

bool RecordTable::submit()
{
    return post();
}

void RecordTable::revert()
{
    cancel();
}
