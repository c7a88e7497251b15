// Times the call export of every stored call against the sqlite3 shell writing the same sixteen
// columns in its csv mode to a file, each the best of --runs runs on a warm page cache, and the
// peak memory before and after, which must not grow with the calls; and the same export with the
// dialled numbers shortened.
//
//   bench_export [--dir DIR] [--calls N] [--runs R]
//
// DIR holds RuboTool.mdb (as bench_import --keep DIR leaves it); without it, or when it has no
// database, one with N calls (default 1,000,000) is built first.

#include "bench/EdiGenerator.h"
#include "database/RuboEngine.h"
#include "database/RuboError.h"
#include "database/dmlMain.h"
#include "mainwindow/Gruppierung.h"
#include "output/CsvExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

#include <sys/resource.h>

namespace {

void print(const char* key, const QString& value)
{
    PrintFigure(key, value, 30);
}

QString seconds(double s)
{
    return SecondsText(s);
}

qint64 maxRssKb()
{
    rusage usage{};
    return getrusage(RUSAGE_SELF, &usage) == 0 ? qint64(usage.ru_maxrss) : -1;
}

// The sixteen columns the export writes, in its order.
const char* const kShellSql = "SELECT ANummer, Nebenstelle, BNummer, Betrag, Sekunden, BeginZeit, ZoneCode, Zone, Ziel, "
                              "Kostenstelle, BetragEuro, IAS, FilialeID, GZ, Rabatt, RabattEuro FROM EGN";

double shellSeconds(const QString& db, const QString& out)
{
    QProcess p;
    p.setStandardOutputFile(out);
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-csv"), db, QLatin1String(kShellSql)});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "bench_export: sqlite3 failed: %s\n", p.readAllStandardError().constData());
        return -1;
    }
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString dirPath;
    qint64 calls = 1000000;
    int runs = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (ReadDatabaseOption(args, i, dirPath, calls))
            continue;
        if (args[i] == QLatin1String("--runs") && hasValue)
            runs = qMax(1, args[++i].toInt());
        else {
            std::fprintf(stderr, "bench_export: unknown or incomplete option %s\n", qPrintable(args[i]));
            return 2;
        }
    }
    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty()) {
        std::fprintf(stderr, "bench_export: the sqlite3 shell is needed as the baseline\n");
        return 2;
    }

    QTemporaryDir temp;
    const QString mdb = BenchDatabase(dirPath, temp.path(), calls, "bench_export", 30);
    if (mdb.isEmpty())
        return 1;
    const QDir dir(QFileInfo(mdb).absolutePath());

    TdmMain dm(mdb);
    dmMain = &dm;
    BenchUi quiet;
    if (!dm.open()) {
        std::fprintf(stderr, "bench_export: %s\n", qPrintable(quiet.messages.join(QLatin1Char('\n'))));
        return 1;
    }
    const QString ours = dir.absoluteFilePath(QStringLiteral("bench_export.csv"));
    const QString theirs = dir.absoluteFilePath(QStringLiteral("bench_export_sqlite3.csv"));
    qint64 rows = 0;
    qint64 exported = 0;
    double ourBest = 0;
    double shellBest = 0;
    double maskedBest = 0;
    NumberMask masked;   // three digits shortened, the default prefixes whole
    masked.digits = 3;
    masked.keptPrefixes = NumberMask::defaultPrefixes();
    const qint64 rssBefore = maxRssKb();
    try {
        RuboStatement count(dm.RuboDB(), QStringLiteral("SELECT COUNT(*) FROM EGN"));
        rows = count.step() ? count.column(0).toLongLong() : 0;
        shellSeconds(mdb, theirs);   // both then read from a warm page cache
        for (int run = 0; run < runs; ++run) {
            const double shell = shellSeconds(mdb, theirs);
            if (shell < 0)
                return 1;
            QElapsedTimer t;
            t.start();
            const CsvExportResult r = ExportCallsCsv(dm.RuboDB(), DetailSql(QString()), ours, QLatin1Char(';'));
            const double own = t.nsecsElapsed() / 1e9;
            exported = r.rows;
            ourBest = run == 0 ? own : qMin(ourBest, own);
            t.restart();
            ExportCallsCsv(dm.RuboDB(), DetailSql(QString()), ours, QLatin1Char(';'), {}, masked);
            const double shortened = t.nsecsElapsed() / 1e9;
            maskedBest = run == 0 ? shortened : qMin(maskedBest, shortened);
            shellBest = run == 0 ? shell : qMin(shellBest, shell);
        }
    } catch (const RuboError& e) {
        std::fprintf(stderr, "bench_export: %s\n", qPrintable(e.message()));
        return 1;
    }
    const qint64 rssAfter = maxRssKb();

    print("calls in database:", QString::number(rows));
    print("calls exported:", QString::number(exported));
    print("export (ours) s:", seconds(ourBest) + QStringLiteral("  ") + QString::number(QFileInfo(ours).size()) + QStringLiteral(" bytes"));
    print("sqlite3 -csv to file s:", seconds(shellBest) + QStringLiteral("  ") + QString::number(QFileInfo(theirs).size()) + QStringLiteral(" bytes"));
    print("ratio ours/sqlite3:", QString::number(ourBest / shellBest, 'f', 2) + QStringLiteral(" (target <= 1.5)"));
    print("export, numbers shortened s:", seconds(maskedBest));
    print("ratio shortened/ours:", QString::number(maskedBest / ourBest, 'f', 2));
    print("peak RSS before export KiB:", QString::number(rssBefore));
    print("peak RSS after export KiB:", QString::number(rssAfter));
    QFile::remove(ours);
    QFile::remove(theirs);
    dmMain = nullptr;
    if (!quiet.messages.isEmpty())
        std::fprintf(stderr, "bench_export: messages shown: %s\n", qPrintable(quiet.messages.join(QLatin1Char('|'))));
    return exported == rows && quiet.messages.isEmpty() ? 0 : 1;
}
