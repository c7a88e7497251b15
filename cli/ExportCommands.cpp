// rubotool export-calls, export-sums and copy-db: the export dialog's three sheets for scripts;
// report-calls and report-sums: the two printed reports as PDF.
#include "database/NumberMask.h"
#include "database/RuboError.h"
#include "database/UserInterface.h"
#include "database/dmlMain.h"
#include "filter/FilterClause.h"
#include "mainwindow/Gruppierung.h"
#include "output/CsvExport.h"
#include "output/DatabaseCopy.h"
#include "output/ExportText.h"
#include "output/WorkbookExport.h"
#include "output/rptGroup.h"
#include "output/untReport1.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QTime>

namespace {

QTextStream& errStream()
{
    static QTextStream s(stderr);
    return s;
}

int failWith(const QString& text)
{
    errStream() << "rubotool: " << text << Qt::endl;
    return 1;
}

// What the main window would list: a node of a grouping's tree, narrowed by a filter.
struct ListChoice
{
    QString currentWhere;
    QString sumColumns;
    QString target;
    QString separator = QStringLiteral(";");
    bool workbook = false;
    bool overwrite = false;
    NumberMask mask = LoadNumberMask();   // --mask-digits overrides the settings' digits
};

// Exports name their target last and choose a format; reports write a PDF named by --pdf.
enum class Output { Export, Report };

bool setFilterField(FilterFields& f, const QString& name, const QString& value)
{
    QString* fields[] = {&f.DatumVon, &f.DatumBis, &f.ZeitVon, &f.ZeitBis, &f.NebenstelleVon, &f.NebenstelleBis,
                         &f.ANummer, &f.BNummer, &f.KostenstelleVon, &f.KostenstelleBis, &f.Zone, &f.Ziel,
                         &f.FilialeID, &f.GZ, &f.DateiID};
    const char* names[] = {"DatumVon", "DatumBis", "ZeitVon", "ZeitBis", "NebenstelleVon", "NebenstelleBis",
                           "ANummer", "BNummer", "KostenstelleVon", "KostenstelleBis", "Zone", "Ziel",
                           "FilialeID", "GZ", "DateiID"};
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
        if (name.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0) {
            *fields[i] = value;
            return true;
        }
    }
    return false;
}

// Reads the options; returns an error text, empty when they make sense.
QString parseListChoice(const QStringList& args, Output output, ListChoice& choice)
{
    const bool withSeparator = output == Output::Export;
    QString grouping;
    QStringList path;
    FilterFields filter;
    QString format;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--grouping") && hasValue) {
            grouping = args.at(++i);
        } else if (arg == QLatin1String("--node") && hasValue) {
            path << args.at(++i);
        } else if (arg == QLatin1String("--filter") && hasValue) {
            const QString assignment = args.at(++i);
            const int eq = assignment.indexOf(QLatin1Char('='));
            if (eq <= 0 || !setFilterField(filter, assignment.left(eq), assignment.mid(eq + 1)))
                return QStringLiteral("Unbekanntes Filterfeld: ") + assignment;
        } else if (withSeparator && arg == QLatin1String("--separator") && hasValue) {
            choice.separator = args.at(++i);
        } else if (withSeparator && arg == QLatin1String("--format") && hasValue) {
            format = args.at(++i);
        } else if (output == Output::Report && arg == QLatin1String("--pdf") && hasValue) {
            choice.target = args.at(++i);
            format = QStringLiteral("pdf");
        } else if (arg == QLatin1String("--yes")) {
            choice.overwrite = true;
        } else if (arg == QLatin1String("--mask-digits") && hasValue) {
            bool ok = false;
            const int digits = args.at(++i).toInt(&ok);
            if (!ok || digits < 0 || digits > NumberMask::kMaxDigits)
                return QStringLiteral("--mask-digits verlangt eine Zahl von 0 bis %1.").arg(NumberMask::kMaxDigits);
            choice.mask.digits = digits;
        } else if (arg.startsWith(QLatin1String("--")) || !choice.target.isEmpty() || output == Output::Report) {
            return QStringLiteral("Unbekannte Angabe: ") + arg;
        } else {
            choice.target = arg;
        }
    }
    if (choice.target.trimmed().isEmpty())
        return QStringLiteral("Es wurde kein Dateiname eingegeben.");
    if (format.isEmpty())
        format = QFileInfo(choice.target).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0
                     ? QStringLiteral("xlsx") : QStringLiteral("csv");
    if (output == Output::Report)
        format = QStringLiteral("pdf");
    else if (format != QLatin1String("csv") && format != QLatin1String("xlsx"))
        return QStringLiteral("Das Format ") + format + QStringLiteral(" gibt es nicht (csv oder xlsx).");
    choice.workbook = format == QLatin1String("xlsx");
    choice.target = ReplaceExtension(choice.target.trimmed(), QLatin1Char('.') + format);

    NodeSelection node;
    if (!grouping.isEmpty()) {
        const Gruppierung* g = FindGruppierung(grouping);
        if (!g)
            return QStringLiteral("Die Gruppierung ") + grouping + QStringLiteral(" gibt es nicht.");
        if (path.size() > g->levels)
            return QStringLiteral("Die Gruppierung ") + grouping + QStringLiteral(" hat nur ") + QString::number(g->levels)
                   + QStringLiteral(" Ebenen.");
        node = SelectNode(*g, path);
    } else if (!path.isEmpty()) {
        return QStringLiteral("--node verlangt --grouping.");
    }
    // As the filter dialog completes its date and time fields when the user leaves them.
    const QDate today = QDate::currentDate();
    const QTime now = QTime::currentTime();
    filter.DatumVon = CompleteDateVon(filter.DatumVon, today);
    filter.DatumBis = CompleteDateBis(filter.DatumBis, today);
    filter.ZeitVon = CompleteTimeVon(filter.ZeitVon, now);
    filter.ZeitBis = CompleteTimeBis(filter.ZeitBis, now);
    for (const bool bis : {false, true}) {
        const QString problem = NebenstelleProblem(filter.NebenstelleVon, filter.NebenstelleBis, bis);
        if (!problem.isEmpty())
            return problem;
    }
    choice.currentWhere = node.nodeCondition + BuildFilterClause(filter);
    choice.sumColumns = node.sumColumns;
    return {};
}

bool mayWrite(const QString& target, bool overwrite, const QString& question)
{
    if (!QFileInfo::exists(target))
        return true;
    QTextStream(stdout) << question << (overwrite ? " Ja" : " Nein") << Qt::endl;
    return overwrite;
}

QList<WorkbookColumn> namedColumns(const QStringList& fields, const QStringList& captions)
{
    QList<WorkbookColumn> columns;
    for (int i = 0; i < fields.size(); ++i) {
        WorkbookColumn c;
        c.field = fields.at(i);
        c.caption = captions.value(i);
        if (c.field == QLatin1String("BeginZeit"))
            c.kind = WorkbookColumn::Kind::DateTime;
        else if (c.field.contains(QLatin1String("Euro")))
            c.numberFormat = QStringLiteral("#,##0.0000");
        else if (c.field.contains(QLatin1String("Betrag")) || c.field.contains(QLatin1String("Rabatt")))
            c.numberFormat = QStringLiteral("#,##0.00");
        columns << c;
    }
    return columns;
}

int runExport(TdmMain& dm, const QStringList& args, bool sums)
{
    ListChoice choice;
    const QString problem = parseListChoice(args, Output::Export, choice);
    if (!problem.isEmpty())
        return failWith(problem);
    const QChar separator = SeparatorInForce(choice.separator.trimmed());
    if (choice.separator.trimmed().isEmpty())
        return failWith(QStringLiteral("Es wurde KEIN Seperator eingegeben."));
    if (!choice.workbook && !SeparatorProblem(separator).isEmpty())
        return failWith(SeparatorProblem(separator));
    if (!mayWrite(choice.target, choice.overwrite, QStringLiteral("Datei existiert bereits.\nÜberschreiben ?")))
        return 1;

    RuboDatabase& db = dm.RuboDB();
    qint64 rows = 0;
    if (choice.workbook) {
        // Without a grid, the workbook has the columns of the text export.
        const QList<WorkbookColumn> columns = sums
            ? namedColumns({"Anzahl", "SumSekunden", "SumBetrag", "SumEuro", "FilialeID", "Kostenstelle", "Nebenstelle",
                            "Zone", "IAS", "Ziel", "SumRabatt", "SumRabattEuro"}, {})
            : namedColumns({"ANummer", "Nebenstelle", "BNummer", "Betrag", "Sekunden", "BeginZeit", "ZoneCode", "Zone",
                            "Ziel", "Kostenstelle", "BetragEuro", "IAS", "FilialeID", "GZ", "Rabatt", "RabattEuro"},
                           {"ANummer", "Nebenstelle", "BNummer", "Betrag", "Sekunden", "BeginZeit", "ZoneCode", "Zone",
                            "Ziel", "Kostenstelle", "Euro", "IAS", "FilialeID", "GZ", "Rabatt", "RabattEuro"});
        const QString sql = sums ? GroupSql(choice.sumColumns, choice.currentWhere) : DetailSql(choice.currentWhere);
        QList<WorkbookColumn> present;
        {
            // A sums query selects only the key columns of its grouping.
            RuboStatement probe(db, sql);
            QStringList fields;
            for (int c = 0; c < probe.columnCount(); ++c)
                fields << probe.columnName(c);
            for (const WorkbookColumn& c : columns)
                if (fields.contains(c.field, Qt::CaseInsensitive))
                    present << c;
        }
        rows = ExportWorkbook(db, sql, {}, present, sums ? QStringLiteral("Summen") : QStringLiteral("EGN"), choice.target,
                              {}, choice.mask)
                   .rows;
    } else if (sums) {
        rows = ExportSumsCsv(db, GroupSql(choice.sumColumns, choice.currentWhere), choice.target, separator).rows;
    } else {
        rows = ExportCallsCsv(db, DetailSql(choice.currentWhere), choice.target, separator, {}, choice.mask).rows;
    }
    QTextStream(stdout) << rows << (sums ? " Summenzeilen" : " Anrufe") << " nach " << QDir::toNativeSeparators(choice.target)
                        << " geschrieben." << Qt::endl;
    return 0;
}

int runReport(TdmMain& dm, const QStringList& args, bool sums)
{
    ListChoice choice;
    const QString problem = parseListChoice(args, Output::Report, choice);
    if (!problem.isEmpty())
        return failWith(problem);
    if (!mayWrite(choice.target, choice.overwrite, QStringLiteral("Datei existiert bereits.\nÜberschreiben ?")))
        return 1;
    std::unique_ptr<TRuboReport> report;
    if (sums) {
        report = std::make_unique<TqrGroup>(dm, GroupSql(choice.sumColumns, choice.currentWhere), choice.mask);
    } else {
        auto calls = std::make_unique<TfrmReport1>(dm, choice.mask);
        calls->Prepare(choice.currentWhere);
        report = std::move(calls);
    }
    const ReportResult result = WriteReportFile(dm.RuboDB(), *report, choice.target);
    if (!result.error.isEmpty())
        return failWith(result.error);
    if (result.pages == 0)
        return failWith(QStringLiteral("Die Auswahl enthält keine Gespräche; es wurde kein Report geschrieben."));
    QTextStream(stdout) << result.pages << (result.pages == 1 ? " Seite" : " Seiten") << " mit " << result.rows
                        << (sums ? " Summenzeilen" : " Anrufen") << " nach " << QDir::toNativeSeparators(choice.target)
                        << " geschrieben." << Qt::endl;
    return 0;
}

} // namespace

int runReportCallsCommand(TdmMain& dm, const QStringList& args)
{
    return runReport(dm, args, false);
}

int runReportSumsCommand(TdmMain& dm, const QStringList& args)
{
    return runReport(dm, args, true);
}

int runExportCallsCommand(TdmMain& dm, const QStringList& args)
{
    return runExport(dm, args, false);
}

int runExportSumsCommand(TdmMain& dm, const QStringList& args)
{
    return runExport(dm, args, true);
}

int runCopyDbCommand(TdmMain& dm, const QStringList& args)
{
    QString text;
    bool overwrite = false;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--yes"))
            overwrite = true;
        else if (arg.startsWith(QLatin1String("--")) || !text.isEmpty())
            return failWith(QStringLiteral("Unbekannte Angabe: ") + arg);
        else
            text = arg;
    }
    if (text.trimmed().isEmpty())
        return failWith(QStringLiteral("Es ist kein Dateiname eingegeben."));
    const QString source = QFileInfo(dm.databaseFile()).absoluteFilePath();
    const QString target = CompleteCopyTarget(text, QDir::currentPath());
    if (IsOwnDatabaseFile(target, source))
        return failWith(QStringLiteral("Dieser WAHNSINN, die eigenen Datenbank zu überschreiben, wird nicht unterstützt !"));
    if (!mayWrite(target, overwrite, QStringLiteral("Die Datei existiert bereits.\nÜberschreiben ?")))
        return 1;
    const int code = CopyDatabaseFile(dm.RuboDB(), target);
    if (code != 0)
        return failWith(CopyFailedMessage(QDir::toNativeSeparators(source), QDir::toNativeSeparators(target), code));
    QTextStream(stdout) << "Datenbank nach " << QDir::toNativeSeparators(target) << " kopiert." << Qt::endl;
    return 0;
}
