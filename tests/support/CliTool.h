#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

struct CliRun
{
    int code = -1;
    QString out;
    QString err;
};

// rubotool over a database of its sample reference data and January's sample calls, in a
// folder of its own.
class CliTool
{
public:
    CliTool();
    CliRun run(const QStringList& args);
    QString file(const QString& name) const { return dir.filePath(name); }
    QByteArray read(const QString& name) const;
    // The first column of the first row of `sql` on the tool's database.
    QVariant scalar(const QString& sql);

    QTemporaryDir dir;
    QString db;
};
