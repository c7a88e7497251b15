#include "support/CliTool.h"

#include "database/RuboEngine.h"
#include "database/dmlMain.h"

#include <QFile>
#include <QProcess>

CliTool::CliTool()
{
    db = dir.filePath("RuboTool.mdb");
    run({"sample-data"});
    run({"import", QStringLiteral(RUBO_SOURCE_DIR "/Data/Anrufe_2003_01.edi")});
}

CliRun CliTool::run(const QStringList& args)
{
    QProcess p;
    p.setWorkingDirectory(dir.path());
    // The tool's own settings, not the user's: tests write them through settings().
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(RUBO_BUILD_DIR "/cli/rubotool"), QStringList{"--db", db} + args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QByteArray CliTool::read(const QString& name) const
{
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QVariant CliTool::scalar(const QString& sql)
{
    TdmMain dm(db);
    if (!dm.open())
        return {};
    RuboStatement s(dm.RuboDB(), sql);
    return s.step() ? s.column(0) : QVariant();
}
