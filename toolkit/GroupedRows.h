#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>

#include <vector>

class SqlPagedModel;

// What a grid shows of an SqlPagedModel: its records as they are, or, with group fields set and
// every record held in memory, a group row before each run of records with equal values, nested
// for several fields and expandable. The records must arrive ordered by the group fields; equal
// values are then adjacent. Without grouping a row is its record, so a million paged records
// cost nothing here.
class GroupedRows : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Role {
        IsGroupRole = Qt::UserRole + 1,   // bool: the row is a group row
        GroupCaptionRole,                 // "Zone: Wien (12 Einträge)"
        GroupLevelRole,                   // 0 for the outermost group
        GroupExpandedRole,                // bool
    };

    explicit GroupedRows(QObject* parent = nullptr);

    void setSource(SqlPagedModel* source);
    SqlPagedModel* source() const;

    // `captions` name the fields in the group rows; an empty caption shows the field name.
    void setGroupFields(const QStringList& fields, const QStringList& captions = {});
    QStringList groupFields() const { return m_fields; }
    // Grouped only while fields are set and the source holds all its records.
    bool isGrouped() const { return !m_groups.empty(); }

    int recordOfRow(int row) const;      // -1 for a group row or a row out of range
    int rowOfRecord(int record) const;   // -1 while the record is inside a collapsed group
    bool isGroupRow(int row) const;
    int groupCount() const { return int(m_groups.size()); }

    void setExpanded(int row, bool expanded);   // a group row; others are left alone
    bool isExpanded(int row) const;
    void expandToRecord(int record);             // opens every group around it
    void setAllExpanded(bool expanded);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Group
    {
        int level = 0;
        int firstRecord = 0;
        int recordCount = 0;
        QString caption;
        QString path;   // the values from the outermost group down, to find it again after a rebuild
        bool expanded = false;
        std::vector<int> children;   // groups one level down; empty at the innermost level
    };
    // A shown row: a group (group >= 0) or a record.
    struct Row
    {
        int group = -1;
        int record = -1;
    };

    void rebuild();
    void buildGroups();
    void appendShown(int group, std::vector<Row>& rows) const;
    void indexRows();
    int groupOfRow(int row) const;

    QPointer<SqlPagedModel> m_source;
    QStringList m_fields;
    QStringList m_captions;
    QStringList m_builtFields;   // the fields of the groups built last
    std::vector<Group> m_groups;
    std::vector<int> m_topGroups;
    std::vector<int> m_innermostGroupOfRecord;
    std::vector<int> m_parentOfGroup;
    std::vector<Row> m_rows;
    std::vector<int> m_rowOfRecord;
};
