#pragma once

#include "database/dmlMain.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A fresh internal database in a temporary folder, installed as dmMain while it lives.
class TestDb
{
public:
    TestDb();
    ~TestDb();

    TdmMain& dm() { return *m_dm; }
    RuboDatabase& db() { return m_dm->RuboDB(); }
    ReferenceLists& lists() { return m_dm->referenceLists(); }
    QString dir() const { return m_dir.path(); }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    // Writes a file into the temporary folder and returns its path.
    QString writeFile(const QString& name, const QByteArray& content) const;
    // The single value of a query, for assertions.
    QVariant scalar(const QString& sql);
    // The first column of every row of a query, as texts read from the database are.
    QStringList column(const QString& sql);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TdmMain> m_dm;
    TdmMain* m_previous = nullptr;
};
