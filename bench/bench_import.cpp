// Times the import of a generated ".edi" file against the sqlite3 shell's ".import" of the same
// call lines as plain tab-separated text, in one run on the same disk.
//
//   bench_import [--calls N] [--keep DIR] [--seed S] [--destinations D] [--short-dates] [--decimal-point]
//                [--sql STATEMENT]...   (statements run on the fresh database before the import)
//   bench_import --sizes 100000,1000000 [--keep DIR] ...   (one child process per size)

#include "bench/EdiGenerator.h"
#include "import/ImportDriver.h"
#include "database/RuboEngine.h"
#include "database/RuboError.h"
#include "database/dmlMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

namespace {

struct Args
{
    qint64 calls = 1000000;
    QList<qint64> sizes;
    QString keep;
    quint32 seed = EdiGenerator::kDefaultSeed;
    int destinations = EdiGenerator::kDefaultDestinations;
    bool shortDates = false;
    bool decimalPoint = false;
    QStringList sql;   // run on the fresh database before the import (indexes to weigh)
    QStringList passOn;
};

void print(const char* key, const QString& value)
{
    PrintFigure(key, value, 28);
}

QString seconds(double s)
{
    return SecondsText(s);
}

bool parse(const QStringList& argv, Args& a, QString& error)
{
    for (int i = 1; i < argv.size(); ++i) {
        const QString& o = argv[i];
        const bool hasValue = i + 1 < argv.size();
        if (o == QLatin1String("--calls") && hasValue) {
            a.calls = argv[++i].toLongLong();
        } else if (o == QLatin1String("--sizes") && hasValue) {
            for (const QString& s : argv[++i].split(QLatin1Char(','), Qt::SkipEmptyParts))
                a.sizes << s.toLongLong();
        } else if (o == QLatin1String("--keep") && hasValue) {
            a.keep = argv[++i];
        } else if (o == QLatin1String("--seed") && hasValue) {
            a.seed = argv[++i].toUInt();
            a.passOn << o << argv[i];
        } else if (o == QLatin1String("--destinations") && hasValue) {
            a.destinations = argv[++i].toInt();
            a.passOn << o << argv[i];
        } else if (o == QLatin1String("--short-dates")) {
            a.shortDates = true;
            a.passOn << o;
        } else if (o == QLatin1String("--decimal-point")) {
            a.decimalPoint = true;
            a.passOn << o;
        } else if (o == QLatin1String("--sql") && hasValue) {
            a.sql << argv[++i];
            a.passOn << o << argv[i];
        } else {
            error = QStringLiteral("unknown or incomplete option %1").arg(o);
            return false;
        }
    }
    if (a.calls <= 0 || a.calls > 30000000) {
        error = QStringLiteral("--calls must be between 1 and 30000000");
        return false;
    }
    return true;
}

// Peak memory must be read in a process that did nothing else, so each size gets its own.
int runSizes(const Args& a)
{
    for (int i = 0; i < a.sizes.size(); ++i) {
        QStringList args = a.passOn;
        args << QStringLiteral("--calls") << QString::number(a.sizes[i]);
        if (!a.keep.isEmpty() && i == a.sizes.size() - 1)
            args << QStringLiteral("--keep") << a.keep;
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), args);
        if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
            std::fprintf(stderr, "bench_import: run with %lld calls failed\n", a.sizes[i]);
            return 1;
        }
        if (i + 1 < a.sizes.size())
            std::printf("\n");
    }
    return 0;
}

// Only the call records, with LF line ends, as a user would hand them to the shell.
qint64 extractCalls(const QString& edi, const QString& tsv)
{
    QFile in(edi), out(tsv);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return -1;
    qint64 lines = 0;
    QByteArray buf;
    buf.reserve(1 << 20);
    char line[4096];
    for (;;) {
        const qint64 n = in.readLine(line, sizeof line);
        if (n <= 0)
            break;
        if (n >= 4 && std::memcmp(line, "280\t", 4) == 0) {
            qint64 len = n;
            while (len > 0 && (line[len - 1] == '\n' || line[len - 1] == '\r'))
                --len;
            buf.append(line, len);
            buf.append('\n');
            ++lines;
            if (buf.size() > (1 << 20)) {
                out.write(buf);
                buf.resize(0);
            }
        }
    }
    out.write(buf);
    return lines;
}

bool runSqlite(const QString& db, const QStringList& commands, QString* output = nullptr)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), QStringList{db} + commands);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3 failed: %s\n", p.readAllStandardError().constData());
        return false;
    }
    if (output)
        *output = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    return true;
}

QString pragma(RuboDatabase& db, const char* name)
{
    RuboStatement s(db, QStringLiteral("PRAGMA %1").arg(QLatin1String(name)));
    return s.step() ? s.column(0).toString() : QString();
}

int runOnce(const Args& a)
{
    QTemporaryDir temp;
    QString dirPath = temp.path();
    if (!a.keep.isEmpty()) {
        QDir().mkpath(a.keep);
        dirPath = QDir(a.keep).absolutePath();
        for (const char* f : {"RuboTool.mdb", "RuboTool.mdb-journal", "calls.edi", "calls280.tsv", "baseline.db"})
            QFile::remove(QDir(dirPath).filePath(QLatin1String(f)));
    }
    const QDir dir(dirPath);
    const QString edi = dir.filePath(QStringLiteral("calls.edi"));
    const QString tsv = dir.filePath(QStringLiteral("calls280.tsv"));
    const QString mdb = dir.filePath(TdmMain::defaultDatabaseName());
    const QString baseline = dir.filePath(QStringLiteral("baseline.db"));

    QElapsedTimer t;
    t.start();
    const EdiGenerator generator(a.seed, a.destinations);
    EdiGenerator::Options options;
    options.shortDates = a.shortDates;
    options.decimalPoint = a.decimalPoint;
    QString error;
    if (!generator.writeEdiFile(edi, a.calls, options, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const double generateSeconds = t.nsecsElapsed() / 1e9;

    BenchUi ui;
    TdmMain dm(mdb);
    if (!dm.open()) {
        std::fprintf(stderr, "%s\n", qPrintable(ui.messages.join(QLatin1Char('\n'))));
        return 1;
    }
    try {
        generator.writeReferenceData(dm.RuboDB());
        for (const QString& s : a.sql)
            dm.RuboDB().execute(s);
    } catch (const RuboError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    const qint64 rssBefore = PeakRssKb();
    t.restart();
    const ImportResult result = ImportFile(dm, edi);
    const double ours = t.nsecsElapsed() / 1e9;
    const qint64 rssAfter = PeakRssKb();
    if (!result.complete || result.count != a.calls || !ui.messages.isEmpty()) {
        std::fprintf(stderr, "import incomplete: %d of %lld calls\n%s\n", result.count, a.calls,
                     qPrintable(ui.messages.join(QLatin1Char('\n'))));
        return 1;
    }
    const QString journal = pragma(dm.RuboDB(), "journal_mode");
    const QString synchronous = pragma(dm.RuboDB(), "synchronous");
    dm.RuboDB().disconnect();

    const qint64 lines = extractCalls(edi, tsv);
    QStringList columns;
    for (int i = 0; i < 16; ++i)
        columns << QStringLiteral("c%1 TEXT").arg(i);
    if (lines != a.calls
        || !runSqlite(baseline, {QStringLiteral("CREATE TABLE t (%1)").arg(columns.join(QStringLiteral(", ")))}))
        return 1;
    t.restart();
    if (!runSqlite(baseline, {QStringLiteral(".mode tabs"), QStringLiteral(".import %1 t").arg(tsv)}))
        return 1;
    const double shell = t.nsecsElapsed() / 1e9;
    QString shellRows;
    runSqlite(baseline, {QStringLiteral("SELECT count(*) FROM t")}, &shellRows);
    if (shellRows.toLongLong() != a.calls) {
        std::fprintf(stderr, "sqlite3 imported %s rows, expected %lld\n", qPrintable(shellRows), a.calls);
        return 1;
    }

    print("calls:", QString::number(a.calls));
    print("file MB:", QString::number(QFileInfo(edi).size() / 1e6, 'f', 1));
    print("generate s:", seconds(generateSeconds));
    print("import (ours) s:", seconds(ours));
    print("sqlite3 .import s:", seconds(shell));
    print("ratio ours/sqlite3:", QString::number(ours / shell, 'f', 2) + QStringLiteral(" (target <= 1.0)"));
    print("calls per second:", QString::number(qint64(a.calls / ours)));
    print("peak RSS before import KiB:", QString::number(rssBefore));
    print("peak RSS after import KiB:", QString::number(rssAfter));
    print("journal_mode/synchronous:", journal + QLatin1Char('/') + synchronous);
    if (!a.sql.isEmpty())
        print("extra SQL before import:", a.sql.join(QStringLiteral("; ")));
    if (!a.keep.isEmpty())
        print("kept in:", dirPath);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Args a;
    QString error;
    if (!parse(app.arguments(), a, error)) {
        std::fprintf(stderr, "bench_import: %s\n", qPrintable(error));
        return 2;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty()) {
        std::fprintf(stderr, "bench_import: the sqlite3 shell is needed as the baseline\n");
        return 2;
    }
    return a.sizes.isEmpty() ? runOnce(a) : runSizes(a);
}
