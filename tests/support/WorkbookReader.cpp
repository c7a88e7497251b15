#include "support/WorkbookReader.h"

#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>

QList<Sheet> readBack(const QString& file)
{
    // The system's Python, which has the Debian package python3-openpyxl.
    QString python = QStandardPaths::findExecutable("python3", {"/usr/bin"});
    if (python.isEmpty())
        python = QStandardPaths::findExecutable("python3");
    QProcess p;
    p.start(python, {QStringLiteral(RUBO_SOURCE_DIR "/tests/tools/read-xlsx.py"), file});
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qFatal("read-xlsx.py failed (python3-openpyxl installed?): %s", p.readAllStandardError().constData());
    QList<Sheet> sheets;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        sheets.append({o.value("sheet").toString(), o.value("rows").toArray(), o.value("widths").toObject(),
                       o.value("frozen").toString()});
    }
    return sheets;
}

