#include "support/PdfText.h"
#include "support/TestDb.h"
#include "database/Conversions.h"
#include "database/RuboEngine.h"
#include "filter/FilterClause.h"
#include "import/ImportDriver.h"
#include "mainwindow/Gruppierung.h"
#include "mainwindow/untDialogs.h"
#include "mainwindow/untMain.h"
#include "output/rptGroup.h"
#include "output/untReport1.h"
#include "toolkit/ReportPreview.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTreeView>

namespace {

// The sample reference data, with its zone discounts, and three months of sample calls.
void fillWithSamples(TestDb& t)
{
    QFile sql(QStringLiteral(RUBO_SOURCE_DIR "/cli/sample-reference-data.sql"));
    QVERIFY(sql.open(QIODevice::ReadOnly));
    for (const QString& line : QString::fromUtf8(sql.readAll()).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("INSERT")))
            t.db().execute(line);
    t.lists().SetAllDirty();
    for (const char* name : {"Anrufe_2003_01.edi", "Anrufe_2003_04.csv", "Anrufe_2003_05.one"})
        QVERIFY(ImportFile(t.dm(), QStringLiteral(RUBO_SOURCE_DIR "/Data/") + QLatin1String(name)).whole());
}

QString amount(double value)
{
    return FormatPicture(value, QStringLiteral("#,##0.00"));
}

// Lines of all pages that start with `start`, blanks run together.
QStringList linesStarting(const QStringList& pages, const QString& start)
{
    QStringList result;
    for (const QString& page : pages)
        for (const QString& line : page.split(QLatin1Char('\n')))
            if (line.trimmed().startsWith(start))
                result << line.simplified();
    return result;
}

QString writeCalls(TestDb& t, const QString& where, const QString& name, ReportResult* result = nullptr)
{
    TfrmReport1 report(t.dm());
    report.Prepare(where);
    const QString file = t.path(name);
    const ReportResult r = WriteReportFile(t.db(), report, file);
    if (result)
        *result = r;
    return file;
}

} // namespace

class TestReports : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings("DRAVIK", "DravikRuboTool").clear();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    // The totals printed are those the database adds up, for the whole report and each extension.
    void callReportTotalsAddUp()
    {
        TestDb t;
        fillWithSamples(t);
        ReportResult result;
        const QStringList pages = PdfPages(writeCalls(t, QString(), QStringLiteral("alle.pdf"), &result));
        QVERIFY(result.pages > 3);
        QCOMPARE(pages.size(), result.pages);

        RuboStatement total(t.db(), "SELECT COUNT(*), SUM(Betrag), SUM(BetragEuro), SUM(Rabatt), SUM(RabattEuro) FROM EGN");
        QVERIFY(total.step());
        QCOMPARE(result.rows, total.column(0).toLongLong());
        QCOMPARE(linesStarting(pages, "Gesamtanrufe :"), QStringList{"Gesamtanrufe : " + total.column(0).toString()});
        QCOMPARE(linesStarting(pages, "Gesamtsumme :"),
                 QStringList{"Gesamtsumme : " + amount(total.column(1).toDouble()) + " ATS " + amount(total.column(2).toDouble()) + " EUR"});
        QCOMPARE(linesStarting(pages, "mit Rabatt :"),
                 QStringList{"mit Rabatt : (" + amount(total.column(3).toDouble()) + " ATS) (" + amount(total.column(4).toDouble()) + " EUR)"});

        QStringList expected;
        RuboStatement perExtension(t.db(), "SELECT Nebenstelle, COUNT(*), SUM(Betrag), SUM(BetragEuro) FROM EGN "
                                           "GROUP BY Nebenstelle ORDER BY Nebenstelle");
        while (perExtension.step())
            expected << QStringLiteral("Zwischensumme für Nebenstelle %1: %2 Anruf(e) %3 ATS %4 EUR")
                            .arg(perExtension.column(0).toString(), perExtension.column(1).toString(),
                                 FormatPicture(perExtension.column(2).toDouble(), "#0.00"),
                                 FormatPicture(perExtension.column(3).toDouble(), "#0.00"));
        QVERIFY(expected.size() > 2);
        QCOMPARE(linesStarting(pages, "Zwischensumme für Nebenstelle"), expected);

        // Every call is counted in exactly one destination subtotal.
        qint64 counted = 0;
        for (const QString& line : linesStarting(pages, "Zwischensumme für Zielort")) {
            const QRegularExpressionMatch m = QRegularExpression(": (\\d+) Anruf\\(e\\)").match(line);
            QVERIFY2(m.hasMatch(), qPrintable(line));
            counted += m.captured(1).toLongLong();
        }
        QCOMPARE(counted, result.rows);

        // Page header and footer on every page: title, condition, page number.
        for (int p = 0; p < pages.size(); ++p) {
            QVERIFY(pages[p].contains("Einzelverbindungen  Nebenstelle / Zone / Ziel") || pages[p].contains("Einzelverbindungen Nebenstelle / Zone / Ziel"));
            QVERIFY(pages[p].contains("alle Gespräche"));
            QVERIFY(QRegularExpression(QStringLiteral("\\s%1\\s*$").arg(p + 1)).match(pages[p]).hasMatch());
        }
        // A call line: number, day and date, times, seconds, amounts, cost centre.
        RuboStatement call(t.db(), "SELECT BNummer, BeginZeit, EndeZeit, Sekunden, Betrag, BetragEuro, Kostenstelle FROM EGN "
                                   "ORDER BY Nebenstelle, Zone, Ziel, BeginZeit LIMIT 1");
        QVERIFY(call.step());
        const QString line = QStringList{call.column(0).toString(), FormatSerialDayDate(call.column(1).toDouble()),
                                         FormatSerialTime(call.column(1).toDouble()), FormatSerialTime(call.column(2).toDouble()),
                                         call.column(3).toString(), FormatPicture(call.column(4).toDouble(), "#0.00"),
                                         FormatPicture(call.column(5).toDouble(), "#0.0000"), call.column(6).toString()}
                                 .join(' ');
        QVERIFY2(pages[0].simplified().contains(line), qPrintable(line));
    }

    // The query, its words in the header, the discounts left out, nothing for no calls, the logo.
    void callReportPreparation()
    {
        TestDb t;
        fillWithSamples(t);
        TfrmReport1 report(t.dm());
        report.Prepare(QString());
        QCOMPARE(report.sql, QStringLiteral("SELECT * FROM EGN WHERE (1=1) \r\n\r\n ORDER BY Nebenstelle, Zone, Ziel, BeginZeit\r\n"));
        QCOMPARE(report.lblWhere, QStringLiteral("alle Gespräche"));
        report.Prepare(QStringLiteral(" AND (Zone = 'Österreich')"));
        QCOMPARE(report.lblWhere.simplified(), QStringLiteral("Zone = 'Österreich'"));
        QVERIFY(report.report.element("exprSumRabatt")->enabled);

        const QStringList filtered = PdfPages(writeCalls(t, QStringLiteral(" AND (Zone = 'Österreich')"), "zone.pdf"));
        QVERIFY(filtered.value(0).contains("Zone = 'Österreich'"));
        QVERIFY(linesStarting(filtered, "Tarifzone ") == QStringList{"Tarifzone Österreich"} || !linesStarting(filtered, "Tarifzone ").isEmpty());
        for (const QString& zoneLine : linesStarting(filtered, "Tarifzone "))
            QCOMPARE(zoneLine, QStringLiteral("Tarifzone Österreich"));

        // Without any discount above zero neither the extensions' nor the summary's discounts show.
        t.db().execute("UPDATE Zonenrabatte SET RabattProz = 0");
        t.lists().SetAllDirty();
        const QStringList plain = PdfPages(writeCalls(t, QString(), "ohne.pdf"));
        QVERIFY(linesStarting(plain, "mit Rabatt").isEmpty());
        QVERIFY(!plain.join(QString()).contains(" ATS)"));
        QVERIFY(!linesStarting(plain, "Gesamtsumme :").isEmpty());

        // A selection without calls prints nothing at all, and writes no file.
        ReportResult empty;
        const QString none = writeCalls(t, QStringLiteral(" AND (Zone = 'Atlantis')"), "leer.pdf", &empty);
        QCOMPARE(empty.pages, 0);
        QVERIFY(!QFile::exists(none));

        // "rptLogo.bmp" of the working folder replaces the built-in logo.
        const QImage builtIn = TfrmReport1(t.dm()).report.element("imgLogo")->image;
        QCOMPARE(builtIn.size(), QSize(200, 114));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(t.dir());
        QImage own(40, 30, QImage::Format_RGB32);
        own.fill(Qt::red);
        QVERIFY(own.save("rptLogo.bmp"));
        QCOMPARE(TfrmReport1(t.dm()).report.element("imgLogo")->image.size(), QSize(40, 30));
        QCOMPARE(TqrGroup(t.dm(), GroupSql(QString(), QString())).report.element("imgLogo")->image.size(), QSize(40, 30));
        // One that cannot be read is no error: the built-in logo is printed.
        QFile broken("rptLogo.bmp");
        QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
        broken.write("kein Bild");
        broken.close();
        QCOMPARE(TfrmReport1(t.dm()).report.element("imgLogo")->image.size(), QSize(200, 114));
        QDir::setCurrent(previous);
    }

    // The grouping columns follow the query's field order from the left; only the selected ones show.
    void sumsReportColumns()
    {
        TestDb t;
        fillWithSamples(t);
        auto left = [](TqrGroup& r, const char* field) {
            const ReportElement* e = r.report.element(QStringLiteral("qrCol") + QLatin1String(field));
            const ReportElement* c = r.report.element(QStringLiteral("lbl") + QLatin1String(field));
            if (!e->enabled)
                return -1.0;
            return e->rect.left() == c->rect.left() && c->enabled ? e->rect.left() : -2.0;
        };
        TqrGroup kz(t.dm(), QString());
        kz.queryOpened({"kostenstelle", "Zone", "SumSekunden", "SumBetrag"});
        QCOMPARE(left(kz, "Kostenstelle"), 4.0);
        QCOMPARE(left(kz, "Zone"), 84.0);
        QCOMPARE(kz.report.element("qrColZone")->rect.width(), 147.0);
        QCOMPARE(kz.report.element("qrColKostenstelle")->field, QStringLiteral("kostenstelle"));
        for (const char* other : {"Nebenstelle", "Ziel", "IAS", "FilialeID"}) {
            QCOMPARE(left(kz, other), -1.0);
            QVERIFY(!kz.report.element(QStringLiteral("lbl") + QLatin1String(other))->enabled);
        }
        kz.queryOpened({"Zone", "Kostenstelle"});
        QCOMPARE(left(kz, "Zone"), 4.0);
        QCOMPARE(left(kz, "Kostenstelle"), 154.0);

        // Printed: the zone class in words, one line per row without discounts, one page when empty.
        const QString sql = GroupSql(QStringLiteral("IAS,Zone"), QString());
        TqrGroup byClass(t.dm(), sql);
        const QString file = t.path("summen.pdf");
        const ReportResult result = WriteReportFile(t.db(), byClass, file);
        QCOMPARE(result.pages, 1);
        const QString page = PdfPages(file).value(0);
        QVERIFY(page.contains(QRegularExpression("\\nInland\\s+Österreich")));
        QVERIFY(page.contains(QRegularExpression("\\nAusland\\s+")));
        QVERIFY(!page.contains(QRegularExpression("\\n\\s*I\\s")));
        RuboStatement total(t.db(), "SELECT COUNT(*), SUM(Betrag), SUM(BetragEuro), SUM(Sekunden), SUM(Rabatt) FROM EGN");
        QVERIFY(total.step());
        const QString summen = linesStarting({page}, "Summen ").value(0);
        QCOMPARE(summen, QStringLiteral("Summen %1 %2 %3 %4")
                             .arg(FormatPicture(total.column(0).toDouble(), ",0"), amount(total.column(1).toDouble()),
                                  FormatPicture(total.column(2).toDouble(), ",#0.0000"), FormatPicture(total.column(3).toDouble(), ",0")));
        QVERIFY(page.contains("(" + amount(total.column(4).toDouble()) + ")"));

        const QString ias = "SELECT IAS, COUNT(*) AS Anzahl FROM (SELECT 'A' AS IAS UNION ALL SELECT '' UNION ALL SELECT 'X') GROUP BY IAS";
        TqrGroup words(t.dm(), ias);
        WriteReportFile(t.db(), words, file);
        const QString wordsPage = PdfPages(file).value(0);
        QVERIFY(wordsPage.contains(QRegularExpression("\\nAusland\\s+1")));
        QVERIFY(wordsPage.contains(QRegularExpression("\\nX\\s+1")));
        QVERIFY(wordsPage.contains(QRegularExpression("\\n\\s+1\\s")));   // the empty class prints empty

        t.db().execute("UPDATE Zonenrabatte SET RabattProz = 0");
        t.lists().SetAllDirty();
        TqrGroup empty(t.dm(), GroupSql(QString(), QStringLiteral(" AND (Zone = 'Atlantis')")));
        QCOMPARE(empty.report.detail.height, 23.0);
        const ReportResult none = WriteReportFile(t.db(), empty, file);
        QCOMPARE(none.pages, 1);
        const QString emptyPage = PdfPages(file).value(0);
        QVERIFY(emptyPage.contains("Summenreport"));
        QVERIFY(emptyPage.contains("Zone = 'Atlantis'"));
        QVERIFY(emptyPage.contains(QRegularExpression("Summen\\s+0\\s+0,00\\s+0,0000\\s+0")));
        QVERIFY(!emptyPage.contains("("));
        QVERIFY(emptyPage.contains("Seite:"));
    }

    // With shortened numbers no full number is printed, neither in a call's line nor in the
    // condition of the header, and every page says that the list is shortened.
    void shortenedNumbersInBothReports()
    {
        TestDb t;
        fillWithSamples(t);
        NumberMask on;
        on.digits = 3;
        on.keptPrefixes = NumberMask::defaultPrefixes();
        QStringList full;
        for (const QString& number : t.column("SELECT DISTINCT BNummer FROM EGN"))
            if (on.apply(number) != number && number.size() >= 6)
                full << number;
        QVERIFY(full.size() > 50);
        const auto printsFull = [&full](const QString& text) {
            for (const QString& number : full)
                if (text.contains(QRegularExpression(QStringLiteral("(?<![0-9x])%1(?![0-9x])").arg(number))))
                    return number;
            return QString();
        };
        const QString note = QStringLiteral("Zielnummern um 3 Stellen gekürzt");

        TfrmReport1 calls(t.dm(), on);
        calls.Prepare(QString());
        WriteReportFile(t.db(), calls, t.path("kurz.pdf"));
        const QStringList printed = PdfPages(t.path("kurz.pdf"));
        QVERIFY(printed.size() > 5);
        for (const QString& page : printed) {
            QCOMPARE(printsFull(page), QString());
            QVERIFY(page.contains(note));
        }
        QVERIFY(printed.join("").contains(QRegularExpression("0810[0-9]{3,}(?![0-9x])")));   // services in full

        // The rows the preview keeps are shortened as the pages are.
        const std::shared_ptr<ReportRows> rows = ReadReportRows(t.db(), calls);
        const int field = int(rows->fields().indexOf("BNummer"));
        QVERIFY(field >= 0);
        for (qint64 r = 0; r < rows->rowCount(); ++r)
            QVERIFY(!full.contains(rows->value(r, field).toString()));

        FilterFields f;
        f.BNummer = full.first();
        const QString where = BuildFilterClause(f);
        TfrmReport1 one(t.dm(), on);
        one.Prepare(where);
        QCOMPARE(one.lblWhere.simplified(), QStringLiteral("BNummer wie '%1'").arg(on.apply(full.first())));
        TqrGroup sums(t.dm(), GroupSql(QString(), where), on);
        QVERIFY(sums.lblWhere.contains(on.apply(full.first())));
        WriteReportFile(t.db(), sums, t.path("summen.pdf"));
        const QString sumsPage = PdfPages(t.path("summen.pdf")).value(0);
        QVERIFY(sumsPage.contains(note));
        QCOMPARE(printsFull(sumsPage), QString());

        // Off, nothing is said.
        TfrmReport1 plain(t.dm());
        plain.Prepare(where);
        QVERIFY(plain.lblWhere.contains(full.first()));
        WriteReportFile(t.db(), plain, t.path("voll.pdf"));
        QVERIFY(!PdfPages(t.path("voll.pdf")).value(0).contains("Zielnummern"));

        // The main window hands its setting to both reports.
        DialogScript script;
        TfrmMain w(t.dm());
        RuboUi::install(&w);
        w.setNumberMask(on);
        w.setFilterWhere(where);
        w.waitForWork();
        for (void (TfrmMain::*open)() : {&TfrmMain::mnuReportEGNClick, &TfrmMain::mnuReportGroupClick}) {
            const QString file = t.path(QStringLiteral("vorschau.pdf"));
            script.dialogResults << [&file](QDialog& d) {
                DialogScript::current()->fileNames << QStringList{file};
                DialogScript::current()->answers << true;
                qobject_cast<ReportPreview*>(&d)->savePdf();
                return int(QDialog::Rejected);
            };
            (w.*open)();
            const QString page = PdfPages(file).value(0);
            QVERIFY(page.contains(note));
            QVERIFY(page.contains(on.apply(full.first())));
            QCOMPARE(printsFull(page), QString());
        }
        RuboUi::install(nullptr);
    }

    // From the main window: the preview of the selected node, an empty one, and a failing query.
    void previewFromTheMainWindow()
    {
        DialogScript script;
        TestDb t;
        fillWithSamples(t);
        TfrmMain w(t.dm());
        RuboUi::install(&w);
        w.cboGruppierung->setCurrentIndex(w.cboGruppierung->findText("Zonen"));
        w.cboGruppierungChange();
        w.waitForWork();
        const QModelIndex root = w.trvGruppe->model()->index(0, 0);
        w.trvGruppe->setCurrentIndex(w.trvGruppe->model()->index(0, 0, root));
        w.waitForWork();
        QVERIFY(w.mnuReportEGN->isEnabled());

        struct Seen
        {
            QString title;
            int helpContext = 0;
            int pages = -1;
            QString saveAs;   // the preview saves its pages there
        };
        auto look = [&script](Seen& seen) {
            script.dialogResults << [&seen](QDialog& d) {
                seen.title = d.windowTitle();
                seen.helpContext = d.property("helpContext").toInt();
                auto* preview = qobject_cast<ReportPreview*>(&d);
                seen.pages = preview->pageCount();
                if (!seen.saveAs.isEmpty()) {
                    DialogScript::current()->fileNames << QStringList{seen.saveAs};
                    preview->savePdf();
                }
                return int(QDialog::Rejected);
            };
        };
        Seen calls, sums, none;
        calls.saveAs = t.path("aus-der-vorschau.pdf");
        look(calls);
        w.mnuReportEGNClick();
        QCOMPARE(calls.title, QStringLiteral("Report"));
        QCOMPARE(calls.helpContext, 500);
        TfrmReport1 same(t.dm());
        same.Prepare(w.currentWhere());
        QCOMPARE(calls.pages, WriteReportFile(t.db(), same, t.path("gleich.pdf")).pages);
        // Saved from the preview: the same pages (the moment of printing aside).
        const QStringList saved = PdfPages(calls.saveAs), written = PdfPages(t.path("gleich.pdf"));
        QCOMPARE(saved.size(), written.size());
        QCOMPARE(linesStarting(saved, "Zwischensumme"), linesStarting(written, "Zwischensumme"));
        QCOMPARE(linesStarting(saved, "Gesamtsumme"), linesStarting(written, "Gesamtsumme"));

        look(sums);
        w.mnuReportGroupClick();
        QCOMPARE(sums.title, QStringLiteral("Summenreport"));
        QCOMPARE(sums.helpContext, 550);
        QCOMPARE(sums.pages, 1);

        look(none);
        w.setFilterWhere(QStringLiteral(" AND (Zone = 'Atlantis')"));
        w.waitForWork();
        w.mnuReportEGNClick();
        QCOMPARE(none.pages, 0);

        // A condition the engine rejects reaches the error message; no preview opens.
        script.clear();
        w.setFilterWhere(QStringLiteral(" AND (Unsinn = 1)"));
        w.waitForWork();
        script.clear();
        w.mnuReportEGNClick();
        QCOMPARE(script.shown.size(), 1);
        QCOMPARE(script.shown[0].kind, DialogScript::Kind::Error);
        QVERIFY2(script.shown[0].text.contains("Unsinn"), qPrintable(script.shown[0].text));
        RuboUi::install(nullptr);
    }
};

QTEST_MAIN(TestReports)
#include "TestReports.moc"
