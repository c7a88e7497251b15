#include "support/TestDb.h"

#include "database/Conversions.h"


#include <QFile>
#include <QTest>

TestDb::TestDb() : m_previous(dmMain)
{
    m_dm = std::make_unique<TdmMain>(m_dir.filePath(QStringLiteral("RuboTool.mdb")));
    if (!m_dm->open())
        qFatal("test database cannot be opened");
    dmMain = m_dm.get();
}

TestDb::~TestDb()
{
    m_dm.reset();
    dmMain = m_previous;
}

QString TestDb::writeFile(const QString& name, const QByteArray& content) const
{
    const QString p = m_dir.filePath(name);
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write test file");
    f.write(content);
    return p;
}

QVariant TestDb::scalar(const QString& sql)
{
    RuboStatement stmt(db(), sql);
    return stmt.step() ? stmt.column(0) : QVariant();
}

QStringList TestDb::column(const QString& sql)
{
    QStringList out;
    RuboStatement stmt(db(), sql);
    while (stmt.step())
        out << VariantToText(stmt.column(0));
    return out;
}
