#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class RuboDatabase;

// A reference table held in full and edited row by row, as the editors' table components are:
// a row is put into edit (or a new one inserted), changed in a buffer and posted, which writes it
// at once. A check before a post or a delete may refuse it; a refused post leaves the row in
// edit. Rows are named by the engine's rowid, so two equal rows stay two rows.
//
// As an item model it speaks the protocol of editable grids: setData() edits, submit() posts,
// revert() cancels, insertRows() and removeRows() insert and delete one row, and the property
// `editing` tells whether a row waits to be posted.
class RecordTable : public QAbstractTableModel
{
    Q_OBJECT
    Q_PROPERTY(bool editing READ editing NOTIFY editingChanged)
    Q_PROPERTY(int editRow READ editRow NOTIFY editingChanged)
public:
    enum class State { Browse, Insert, Edit };

    // `fields` are the columns shown, in order; the table's definition gives their types.
    RecordTable(RuboDatabase& db, QString table, QStringList fields, QObject* parent = nullptr);

    // Sort terms of SQL (SqlOrderBy); empty: the order the rows were stored in.
    void setOrderBy(const QString& orderBy) { m_orderBy = orderBy; }
    // A condition of SQL whose values went through SqlQuoted; empty: every row.
    void setFilter(const QString& where) { m_filter = where; }
    QString filter() const { return m_filter; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool isReadOnly() const { return m_readOnly; }
    void setCaption(const QString& field, const QString& caption) { m_captions.insert(field, caption); }
    // The text a cell shows; without one a number shows in the user's notation.
    void setFormatter(const QString& field, std::function<QString(const QVariant&)> formatter);
    void setAlignment(const QString& field, Qt::Alignment alignment) { m_alignments.insert(field, alignment); }

    // Reads the rows; throws RuboError. Cancels a pending edit.
    void open();
    void close();
    bool isOpen() const { return m_open; }
    // Reads the rows again, keeping the current row's place by its rowid where it still exists.
    Q_INVOKABLE void refresh();

    int recordCount() const { return int(m_rows.size()); }
    const QStringList& fields() const { return m_fields; }
    int fieldIndex(const QString& field) const;   // -1 when the table shows no such field
    int fieldWidth(const QString& field) const;   // characters of a text column, 0 otherwise
    // What a row holds; for the row in edit its buffer.
    QVariant value(int row, const QString& field) const;
    qint64 rowId(int row) const;
    int rowOfId(qint64 rowId) const;   // -1 when no row has it

    State state() const { return m_state; }
    bool editing() const { return m_state != State::Browse; }
    int editRow() const { return m_editRow; }   // -1 while browsing

    // The row in edit: its values now and as they were stored (null for a new row).
    QVariant buffer(const QString& field) const;
    void setBuffer(const QString& field, const QVariant& value);
    QVariant oldValue(const QString& field) const;

    // Each posts a pending edit of another row first and answers false when that post is refused.
    Q_INVOKABLE bool edit(int row);
    bool insert(int row);   // an empty row before `row`; recordCount() appends
    // Puts the row into edit and changes one field; an empty text becomes null (no value).
    // A text that is no number for a numeric field is refused with a message.
    bool setValue(int row, const QString& field, const QVariant& value);
    // Writes the row in edit. False when the check refused it or the engine failed (its message
    // shown); the row stays in edit either way.
    bool post();
    void cancel();
    // Asks the check, then deletes the row; a failure of the engine is shown.
    bool remove(int row);

    // Asked before a row is written; may change the buffer. False refuses the post; the check
    // shows its own message.
    std::function<bool(RecordTable&)> beforePost;
    // Asked before a row is deleted; false keeps it.
    std::function<bool(RecordTable&, int row)> beforeDelete;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

public Q_SLOTS:
    bool submit() override;
    void revert() override;

Q_SIGNALS:
    void editingChanged(bool editing);

private:
    struct Row
    {
        qint64 rowId = 0;
        QList<QVariant> values;
    };
    bool isNumeric(int column) const;
    bool leaveOtherRow(int row);
    void setState(State state, int row);
    void emitRowChanged(int row);
    QList<Row> readRows() const;

    RuboDatabase& m_db;
    QString m_table;
    QStringList m_fields;
    QList<int> m_widths;     // per field: text width, 0 for none
    QList<bool> m_numeric;   // per field
    QString m_orderBy;
    QString m_filter;
    bool m_readOnly = false;
    bool m_open = false;
    QHash<QString, QString> m_captions;
    QHash<QString, std::function<QString(const QVariant&)>> m_formatters;
    QHash<QString, Qt::Alignment> m_alignments;
    QList<Row> m_rows;
    State m_state = State::Browse;
    int m_editRow = -1;
    QList<QVariant> m_buffer;
};
