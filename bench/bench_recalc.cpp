// Times the recalculation of every stored call against the import of the same calls, in one run
// on the same disk: once with the reference data the calls were imported with (every call is
// written back unchanged) and once after every zone's discount changed (every call changes).
//
//   bench_recalc [--calls N] [--seed S] [--destinations D]

#include "bench/EdiGenerator.h"
#include "database/RuboEngine.h"
#include "database/RuboError.h"
#include "database/dmlMain.h"
#include "import/ImportDriver.h"
#include "import/Recalculation.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void print(const char* key, const QString& value)
{
    PrintFigure(key, value, 30);
}

QString seconds(double s)
{
    return SecondsText(s);
}

double sumOf(RuboDatabase& db, const QString& column)
{
    RuboStatement s(db, QStringLiteral("SELECT total(%1) FROM EGN").arg(column));
    return s.step() ? s.column(0).toDouble() : 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qint64 calls = 1000000;
    quint32 seed = EdiGenerator::kDefaultSeed;
    int destinations = EdiGenerator::kDefaultDestinations;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--calls"))
            calls = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--seed"))
            seed = args[i + 1].toUInt();
        else if (args[i] == QLatin1String("--destinations"))
            destinations = args[i + 1].toInt();
    }
    if (calls <= 0 || calls > 30000000) {
        std::fprintf(stderr, "bench_recalc: --calls must be between 1 and 30000000\n");
        return 2;
    }

    QTemporaryDir temp;
    const QDir dir(temp.path());
    const QString edi = dir.filePath(QStringLiteral("calls.edi"));
    const EdiGenerator generator(seed, destinations);
    QString error;
    if (!generator.writeEdiFile(edi, calls, {}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    BenchUi ui;
    TdmMain dm(dir.filePath(TdmMain::defaultDatabaseName()));
    if (!dm.open())
        return 1;
    try {
        RuboDatabase& db = dm.RuboDB();
        generator.writeReferenceData(db);
        QElapsedTimer t;
        t.start();
        const ImportResult imported = ImportFile(dm, edi);
        const double importSeconds = t.nsecsElapsed() / 1e9;
        if (!imported.complete || imported.count != calls) {
            std::fprintf(stderr, "import incomplete: %d of %lld calls\n", imported.count, calls);
            return 1;
        }

        t.restart();
        const RecalcOutcome same = RecalculateEGN(db, dm.referenceLists());
        const double sameSeconds = t.nsecsElapsed() / 1e9;

        const double rabattBefore = sumOf(db, QStringLiteral("RabattEuro"));
        db.execute(QStringLiteral("UPDATE Zonenrabatte SET RabattProz = RabattProz + 5"));
        t.restart();
        const RecalcOutcome changed = RecalculateEGN(db, dm.referenceLists());
        const double changedSeconds = t.nsecsElapsed() / 1e9;
        const double rabattAfter = sumOf(db, QStringLiteral("RabattEuro"));

        if (same.visited != calls || changed.visited != calls || same.failed || changed.failed || !same.error.isEmpty()
            || !changed.error.isEmpty() || !(rabattAfter < rabattBefore)) {
            std::fprintf(stderr, "recalculation incomplete: %d and %d of %lld calls, %d and %d failed %s%s\n", same.visited,
                         changed.visited, calls, same.failed, changed.failed, qPrintable(same.error), qPrintable(changed.error));
            return 1;
        }
        print("calls:", QString::number(calls));
        print("import s:", seconds(importSeconds));
        print("recalc, data unchanged s:", seconds(sameSeconds));
        print("recalc, every discount s:", seconds(changedSeconds));
        print("ratio unchanged/import:", QString::number(sameSeconds / importSeconds, 'f', 2) + QStringLiteral(" (target <= 1.5)"));
        print("ratio changed/import:", QString::number(changedSeconds / importSeconds, 'f', 2) + QStringLiteral(" (target <= 1.5)"));
        print("calls per second (changed):", QString::number(qint64(calls / changedSeconds)));
    } catch (const RuboError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
