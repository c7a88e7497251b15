// Times the call-record report of every stored call, as a PDF and in the print preview, against
// the CSV export of the same calls in the same run, and shows the peak memory of a tenth of the
// calls against all of them: a PDF must not grow with its pages, nor the preview.
//
//   bench_report [--dir DIR] [--calls N]
//
// DIR holds RuboTool.mdb (as bench_import --keep DIR leaves it); without it, or when it has no
// database, one with N calls (default 100,000) is built first.

#include "bench/EdiGenerator.h"
#include "database/RuboEngine.h"
#include "database/RuboError.h"
#include "database/dmlMain.h"
#include "mainwindow/Gruppierung.h"
#include "output/CsvExport.h"
#include "output/untReport1.h"
#include "toolkit/ReportPreview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void print(const char* key, const QString& value)
{
    PrintFigure(key, value, 34);
}

double elapsed(const QElapsedTimer& t)
{
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QString dirPath;
    qint64 calls = 100000;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (!ReadDatabaseOption(args, i, dirPath, calls)) {
            std::fprintf(stderr, "bench_report: unknown or incomplete option %s\n", qPrintable(args[i]));
            return 2;
        }
    }

    QTemporaryDir temp;
    const QString mdb = BenchDatabase(dirPath, temp.path(), calls, "bench_report", 34);
    if (mdb.isEmpty())
        return 1;
    const QDir dir(QFileInfo(mdb).absolutePath());

    TdmMain dm(mdb);
    dmMain = &dm;
    BenchUi quiet;
    if (!dm.open()) {
        std::fprintf(stderr, "bench_report: %s\n", qPrintable(quiet.messages.join(QLatin1Char('\n'))));
        return 1;
    }
    RuboDatabase& db = dm.RuboDB();
    const QString pdf = dir.absoluteFilePath(QStringLiteral("bench_report.pdf"));
    const QString csv = dir.absoluteFilePath(QStringLiteral("bench_report.csv"));
    try {
        RuboStatement count(db, QStringLiteral("SELECT COUNT(*) FROM EGN"));
        const qint64 rows = count.step() ? count.column(0).toLongLong() : 0;
        print("calls in database:", QString::number(rows));

        QElapsedTimer t;
        t.start();
        ExportCallsCsv(db, DetailSql(QString()), csv, QLatin1Char(';'));
        const double csvSeconds = elapsed(t);
        print("CSV export (baseline) s:", SecondsText(csvSeconds));

        // A tenth first, then all: the peak after the second shows what the pages cost.
        const qint64 rssStart = PeakRssKb();
        TfrmReport1 tenth(dm);
        tenth.Prepare(QStringLiteral(" AND (ID <= %1)").arg(rows / 10));
        t.restart();
        const ReportResult small = WriteReportFile(db, tenth, pdf);
        print("PDF of a tenth s:", SecondsText(elapsed(t)) + QStringLiteral("  %1 pages").arg(small.pages));
        const qint64 rssTenth = PeakRssKb();

        TfrmReport1 all(dm);
        all.Prepare(QString());
        t.restart();
        const ReportResult whole = WriteReportFile(db, all, pdf);
        const double pdfSeconds = elapsed(t);
        const qint64 rssAll = PeakRssKb();
        print("PDF of all calls s:", SecondsText(pdfSeconds) + QStringLiteral("  %1 pages, %2 bytes")
                                                                   .arg(whole.pages)
                                                                   .arg(QFileInfo(pdf).size()));
        print("ratio PDF/CSV export:", QString::number(pdfSeconds / csvSeconds, 'f', 2));
        print("peak RSS at start KiB:", QString::number(rssStart));
        print("peak RSS after a tenth KiB:", QString::number(rssTenth));
        print("peak RSS after all KiB:", QString::number(rssAll) + QStringLiteral("  (+%1 for 9/10 more pages)").arg(rssAll - rssTenth));
        if (!whole.error.isEmpty() || whole.rows != rows)
            return 1;

        // The preview: the rows read into memory, the pages counted, then the first and the
        // last page laid out, as the window opens and as the user jumps to the end.
        TfrmReport1 shown(dm);
        shown.Prepare(QString());
        t.restart();
        std::shared_ptr<ReportRows> kept = ReadReportRows(db, shown);
        const double readSeconds = elapsed(t);
        const qint64 rssRead = PeakRssKb();
        t.restart();
        ReportPreview preview(shown.report, kept);
        const double openSeconds = elapsed(t);
        t.restart();
        preview.showPage(preview.pageCount());
        const double lastSeconds = elapsed(t);
        const qint64 rssPreview = PeakRssKb();
        print("preview: rows read s:", SecondsText(readSeconds));
        print("preview: opened (pages counted) s:", SecondsText(openSeconds) + QStringLiteral("  %1 pages").arg(preview.pageCount()));
        print("preview: last page shown s:", SecondsText(lastSeconds));
        print("ratio preview opening/CSV export:", QString::number((readSeconds + openSeconds) / csvSeconds, 'f', 2));
        print("peak RSS rows in memory KiB:", QString::number(rssRead) + QStringLiteral("  (+%1)").arg(rssRead - rssAll));
        print("peak RSS preview shown KiB:", QString::number(rssPreview) + QStringLiteral("  (+%1)").arg(rssPreview - rssRead));
        if (preview.pageCount() != whole.pages)
            return 1;
    } catch (const RuboError& e) {
        std::fprintf(stderr, "bench_report: %s\n", qPrintable(e.message()));
        return 1;
    }
    QFile::remove(pdf);
    QFile::remove(csv);
    dmMain = nullptr;
    return quiet.messages.isEmpty() ? 0 : 1;
}
