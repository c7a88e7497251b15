// rubotool: the jobs of DravikRuboTool that a user wants to script, over the same core.
#include "database/Messages.h"
#include "database/UserInterface.h"
#include "import/ImportDriver.h"
#include "import/Recalculation.h"
#include "database/dmlMain.h"

#include <QFile>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLocale>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>
#include <cstdio>
#include <memory>

namespace {

QTextStream& out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream& err()
{
    static QTextStream s(stderr);
    return s;
}

// Prints what the import shows and answers its questions as told on the command line.
class CliUi : public RuboUi
{
public:
    void setStatusPanel(StatusPanel panel, const QString& text) override
    {
        if (panel == StatusPanel::Text && !text.isEmpty() && !isProgress(text))
            out() << text << Qt::endl;
    }
    void clearStatusPanels() override {}
    void messageOk(const QString& text, MsgKind) override
    {
        out() << text << Qt::endl;
        ++messages;
    }
    bool askYesNo(const QString& text) override
    {
        out() << text << (answerYes ? " Ja" : " Nein") << Qt::endl;
        return answerYes;
    }
    void processEvents() override {}
    void setWaitCursor(bool) override {}

    bool answerYes = false;
    int messages = 0;

private:
    static bool isProgress(const QString& text)
    {
        bool ok = false;
        text.toLongLong(&ok);
        return ok;
    }
};

int usage()
{
    err() << "Aufruf: rubotool [--db DATEI] [--create] info\n"
             "        rubotool [--db DATEI] [--create] import [--on-bad-line=skip|stop] DATEI...\n"
             "        rubotool [--db DATEI] sample-data\n"
             "        rubotool [--db DATEI] recalc\n"
             "        rubotool [--db DATEI] files\n"
             "        rubotool [--db DATEI] delete-file DATEIID\n"
             "        rubotool [--db DATEI] export-calls [AUSWAHL] [--separator ZEICHEN] [--format csv|xlsx] [--yes] ZIEL\n"
             "        rubotool [--db DATEI] export-sums [AUSWAHL] [--separator ZEICHEN] [--format csv|xlsx] [--yes] ZIEL\n"
             "        rubotool [--db DATEI] copy-db [--yes] ZIEL\n"
             "        rubotool [--db DATEI] report-calls [AUSWAHL] [--yes] --pdf ZIEL\n"
             "        rubotool [--db DATEI] report-sums [AUSWAHL] [--yes] --pdf ZIEL\n"
             "AUSWAHL: [--grouping GRUPPIERUNG [--node TEXT]...] [--filter FELD=WERT]... [--mask-digits N]\n"
             "  --node je Ebene von oben, z. B. --grouping \"Filiale - Kostenstelle\" --node W1 --node 100;\n"
             "  FELD wie im Filterdialog: DatumVon, DatumBis, ZeitVon, ZeitBis, NebenstelleVon, NebenstelleBis,\n"
             "  ANummer, BNummer, KostenstelleVon, KostenstelleBis, Zone, Ziel, FilialeID, GZ, DateiID.\n"
             "  --mask-digits N zeigt die letzten N Ziffern der BNummer als x (0 = voll), statt der Einstellung\n"
             "  unter Extras | Optionen.\n"
             "  --separator wie im Exportdialog (\";\", \"#9\"), Vorgabe \";\"; --yes überschreibt ein vorhandenes ZIEL.\n"
             "--create legt eine fehlende Datenbank neu an; sample-data tut das immer.\n"
             "recalc berechnet alle gespeicherten Anrufe mit den aktuellen Stammdaten neu.\n"
             "files listet die geladenen Dateien, delete-file löscht eine davon mit ihren Anrufen.\n";
    return 2;
}

int commandInfo(TdmMain& dm)
{
    for (const auto& [table, count] : dm.tableCounts())
        out() << table << ": " << count << Qt::endl;
    return 0;
}

// One line per loaded file: number, calls, name and the archive it came from, tab-separated.
int commandFiles(TdmMain& dm)
{
    out() << "DateiID\tAnzahlEGN\tDateiName\tOriginalName" << Qt::endl;
    for (const GeladeneDatei& file : dm.GeladeneDateien())
        out() << file.DateiID << '\t' << file.AnzahlEGN << '\t' << file.DateiName << '\t' << file.OriginalName << Qt::endl;
    return 0;
}

int commandDeleteFile(TdmMain& dm, const QStringList& args)
{
    bool ok = false;
    const int dateiId = args.size() == 1 ? args.first().toInt(&ok) : 0;
    if (!ok)
        return usage();
    bool known = false;
    for (const GeladeneDatei& file : dm.GeladeneDateien())
        known = known || file.DateiID == dateiId;
    if (!known) {
        err() << "rubotool: Eine Datei mit der DateiID " << dateiId << " ist nicht geladen." << Qt::endl;
        return 1;
    }
    const int count = dm.DeleteGeladeneDatei(dateiId);
    out() << "Es wurden " << count << " Einträge gelöscht." << Qt::endl;
    return 0;
}

} // namespace

int runImportCommand(TdmMain& dm, const QStringList& args, CliUi& ui);
int runRecalcCommand(TdmMain& dm);
int runSampleDataCommand(TdmMain& dm);
int runExportCallsCommand(TdmMain& dm, const QStringList& args);
int runExportSumsCommand(TdmMain& dm, const QStringList& args);
int runCopyDbCommand(TdmMain& dm, const QStringList& args);
int runReportCallsCommand(TdmMain& dm, const QStringList& args);
int runReportSumsCommand(TdmMain& dm, const QStringList& args);

namespace {

// The reports lay out text in fonts, which takes a graphical application; without a screen to
// show anything on, it draws off screen.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv)
{
    bool reports = false;
    for (int i = 1; i < argc; ++i)
        reports = reports || qstrncmp(argv[i], "report-", 7) == 0;
    if (!reports)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    // The user's regional settings win; only a bare C/POSIX environment gets German formats.
    if (QLocale::system().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    return app;
}

} // namespace

int main(int argc, char** argv)
{
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QStringList args = app->arguments().mid(1);
    QString dbFile = TdmMain::defaultDatabaseName();
    bool create = false;
    for (;;) {
        if (args.size() >= 2 && args.first() == QLatin1String("--db")) {
            dbFile = args.at(1);
            args = args.mid(2);
        } else if (!args.isEmpty() && args.first() == QLatin1String("--create")) {
            create = true;
            args.removeFirst();
        } else {
            break;
        }
    }
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    const QStringList commands = {"info", "import", "sample-data", "recalc", "files", "delete-file",
                                  "export-calls", "export-sums", "copy-db", "report-calls", "report-sums"};
    if (!commands.contains(command))
        return usage();
    // A mistyped --db must not end in a new, empty database that the calls silently go into.
    if (!create && command != QLatin1String("sample-data") && !QFileInfo::exists(dbFile)) {
        err() << "rubotool: Die Datenbank " << dbFile << " gibt es nicht. Mit --create wird sie neu angelegt." << Qt::endl;
        return 1;
    }

    CliUi ui;
    RuboUi::install(&ui);
    TdmMain dm(dbFile);
    if (!dm.open()) {
        err() << "rubotool: Die Datenbank " << dbFile << " kann nicht geöffnet werden." << Qt::endl;
        return 1;
    }
    try {
        if (command == QLatin1String("info"))
            return commandInfo(dm);
        if (command == QLatin1String("sample-data"))
            return runSampleDataCommand(dm);
        if (command == QLatin1String("recalc"))
            return runRecalcCommand(dm);
        if (command == QLatin1String("files"))
            return commandFiles(dm);
        if (command == QLatin1String("delete-file"))
            return commandDeleteFile(dm, args);
        if (command == QLatin1String("export-calls"))
            return runExportCallsCommand(dm, args);
        if (command == QLatin1String("export-sums"))
            return runExportSumsCommand(dm, args);
        if (command == QLatin1String("copy-db"))
            return runCopyDbCommand(dm, args);
        if (command == QLatin1String("report-calls"))
            return runReportCallsCommand(dm, args);
        if (command == QLatin1String("report-sums"))
            return runReportSumsCommand(dm, args);
        return runImportCommand(dm, args, ui);
    } catch (const RuboError& e) {
        err() << "rubotool: " << e.message() << Qt::endl;
        return 1;
    }
}

int runImportCommand(TdmMain& dm, const QStringList& args, CliUi& ui)
{
    QStringList files;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--on-bad-line=skip"))
            ui.answerYes = false;
        else if (arg == QLatin1String("--on-bad-line=stop"))
            ui.answerYes = true;
        else if (arg.startsWith(QLatin1String("--")))
            return usage();
        else
            files << arg;
    }
    if (files.isEmpty())
        return usage();
    bool allLoaded = true;
    for (const QString& file : std::as_const(files)) {
        const ImportResult result = ImportFile(dm, QFileInfo(file).absoluteFilePath());
        allLoaded = allLoaded && result.whole();
    }
    return allLoaded ? 0 : 1;
}

int runSampleDataCommand(TdmMain& dm)
{
    QFile file(QStringLiteral(":/sample-reference-data.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw RuboError(QStringLiteral("Die Beispieldaten fehlen im Programm."));
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    lines.removeIf([](const QString& line) { return line.trimmed().startsWith(QLatin1String("--")); });
    const QStringList statements = lines.join(QLatin1Char('\n')).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    RuboDatabase& db = dm.RuboDB();
    RuboTransaction transaction(db);
    for (const QString& statement : statements)
        if (!statement.trimmed().isEmpty())
            db.execute(statement);
    transaction.commit();
    out() << "Beispiel-Stammdaten eingetragen." << Qt::endl;
    return 0;
}

int runRecalcCommand(TdmMain& dm)
{
    const RecalcOutcome outcome = RecalculateEGN(dm.RuboDB(), dm.referenceLists());
    if (!outcome.error.isEmpty())
        err() << "rubotool: " << outcome.error << Qt::endl;
    out() << RecalcEndTexts(outcome).constLast() << Qt::endl;
    return outcome.failed == 0 && outcome.error.isEmpty() ? 0 : 1;
}
