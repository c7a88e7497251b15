#include "support/PdfText.h"
#include "toolkit/BandReport.h"
#include "toolkit/ReportPreview.h"

#include <QDir>
#include <QAction>
#include <QFile>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Rows held in the test, in the order given.
class ListSource : public ReportSource
{
public:
    ListSource(QStringList fields, QList<QVariantList> rows) : m_fields(std::move(fields)), m_rows(std::move(rows)) {}
    int fieldIndex(const QString& name) const override { return int(m_fields.indexOf(name)); }
    bool next() override { return ++m_row < m_rows.size(); }
    QVariant value(int field) const override { return m_rows.at(m_row).at(field); }

private:
    QStringList m_fields;
    QList<QVariantList> m_rows;
    qsizetype m_row = -1;
};

ReportElement text(const QString& t, qreal x, qreal width)
{
    ReportElement e;
    e.text = t;
    e.rect = QRectF(x, 0, width, 14);
    e.font = QFont(QStringLiteral("Liberation Sans"), 8);
    return e;
}

ReportElement field(const QString& name, qreal x, qreal width, const QString& prefix = {})
{
    ReportElement e = text(QString(), x, width);
    e.kind = ReportElement::Kind::Field;
    e.field = name;
    if (!prefix.isEmpty())
        e.format = [prefix](const QVariant& v) { return prefix + v.toString(); };
    return e;
}

ReportElement aggregate(ReportElement::Kind kind, const QString& name, qreal x, const QString& label)
{
    ReportElement e = text(QString(), x, 150);
    e.kind = kind;
    e.field = name;
    e.format = [label](const QVariant& v) { return label + QString::number(v.toDouble(), 'f', 2); };
    return e;
}

ReportBand band(qreal height, QList<ReportElement> elements)
{
    ReportBand b;
    b.height = height;
    b.elements = std::move(elements);
    return b;
}

// Extension, zone, destination and an amount, as a call list is grouped.
BandReport groupedReport()
{
    BandReport r;
    r.title = QStringLiteral("Probe");
    r.pageHeader = band(40, {text(QStringLiteral("Kopfzeile"), 0, 200), field(QStringLiteral("Ext"), 400, 200, QStringLiteral("Aktuell "))});
    for (const QString& f : {QStringLiteral("Ext"), QStringLiteral("Zone"), QStringLiteral("Ziel")}) {
        ReportGroup g;
        g.field = f;
        g.header = band(16, {field(f, 0, 300, QStringLiteral("Kopf ") + f + QLatin1Char(' '))});
        g.footer = band(32, {field(f, 0, 250, QStringLiteral("Summe ") + f + QLatin1Char(' ')),
                             aggregate(ReportElement::Kind::Count, {}, 260, QStringLiteral("Anzahl ")),
                             aggregate(ReportElement::Kind::Sum, QStringLiteral("Betrag"), 420, QStringLiteral("Betrag "))});
        // The footer's second line: both lines must land on one page.
        ReportElement second = text(QStringLiteral("Ende ") + f, 0, 200);
        second.rect.moveTop(16);
        g.footer.elements.append(second);
        r.groups.append(g);
    }
    r.detail = band(14, {field(QStringLiteral("Nr"), 20, 100, QStringLiteral("Zeile ")), field(QStringLiteral("Betrag"), 200, 100)});
    r.summary = band(20, {aggregate(ReportElement::Kind::Count, {}, 0, QStringLiteral("Gesamt ")),
                          aggregate(ReportElement::Kind::Sum, QStringLiteral("Betrag"), 300, QStringLiteral("Gesamtbetrag "))});
    ReportElement page = text(QString(), 500, 200);
    page.kind = ReportElement::Kind::PageNumber;
    page.format = [](const QVariant& v) { return QStringLiteral("Seite ") + v.toString(); };
    r.pageFooter = band(20, {page});
    return r;
}

const QStringList kFields = {QStringLiteral("Nr"), QStringLiteral("Ext"), QStringLiteral("Zone"), QStringLiteral("Ziel"),
                             QStringLiteral("Betrag")};

int occurrences(const QString& haystack, const QString& needle)
{
    return int(haystack.count(needle));
}

} // namespace

class TestBandReport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void outerChangeClosesInnerGroups();
    void pagesNeverCutBands();
    void emptyAndDisabled();
    void cancelAndFailureKeepTheOldFile();
    void rowStoreReplays();
    void previewShowsPrintsAndSaves();

private:
    QTemporaryDir m_dir;
};

void TestBandReport::outerChangeClosesInnerGroups()
{
    // The same zone and destination under two extensions are two blocks, not one.
    ListSource rows(kFields, {{1, 10, QStringLiteral("Inland"), QStringLiteral("Wien"), 1.25},
                              {2, 10, QStringLiteral("Inland"), QStringLiteral("Wien"), 2.5},
                              {3, 10, QStringLiteral("Inland"), QStringLiteral("Graz"), 4.0},
                              {4, 11, QStringLiteral("Inland"), QStringLiteral("Wien"), 8.0},
                              {5, 11, QVariant(), QVariant(), QVariant()}});
    const QString file = m_dir.filePath(QStringLiteral("gruppen.pdf"));
    const ReportResult result = WriteReportPdf(groupedReport(), rows, file);
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    QCOMPARE(result.pages, 1);
    QCOMPARE(result.rows, qint64(5));

    const QString page = PdfPages(file, false).value(0);
    // pdftotext reads the left column first, then the figures beside it, each in printing order.
    QStringList labels, figures;
    for (QString l : page.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        l = l.trimmed();
        if (l.startsWith(QLatin1String("Kopf ")) || l.startsWith(QLatin1String("Summe ")))
            labels << l;
        else if (l.startsWith(QLatin1String("Anzahl ")) || l.startsWith(QLatin1String("Betrag ")) || l.startsWith(QLatin1String("Gesamt")))
            figures << l;
    }
    const QStringList expectedLabels = {
        "Kopf Ext 10", "Kopf Zone Inland", "Kopf Ziel Wien", "Summe Ziel Wien", "Kopf Ziel Graz", "Summe Ziel Graz",
        "Summe Zone Inland", "Summe Ext 10",
        "Kopf Ext 11", "Kopf Zone Inland", "Kopf Ziel Wien", "Summe Ziel Wien", "Summe Zone Inland",
        "Kopf Zone", "Kopf Ziel", "Summe Ziel", "Summe Zone", "Summe Ext 11"};
    const QStringList expectedFigures = {
        "Gesamt 5.00",
        "Anzahl 2.00", "Betrag 3.75", "Anzahl 1.00", "Betrag 4.00",       // Wien, Graz
        "Anzahl 3.00", "Betrag 7.75", "Anzahl 3.00", "Betrag 7.75",       // Inland, 10
        "Anzahl 1.00", "Betrag 8.00", "Anzahl 1.00", "Betrag 8.00",       // Wien and Inland of 11
        "Anzahl 1.00", "Betrag 0.00", "Anzahl 1.00", "Betrag 0.00",       // the empty zone of 11
        "Anzahl 2.00", "Betrag 8.00", "Gesamtbetrag 15.75"};
    QCOMPARE(labels, expectedLabels);
    QCOMPARE(figures, expectedFigures);
    QVERIFY(page.contains(QLatin1String("Aktuell 10")));
    QVERIFY(page.contains(QLatin1String("Seite 1")));
}

void TestBandReport::pagesNeverCutBands()
{
    // 400 rows of one destination, then one row each of 30 more: groups run over page ends.
    QList<QVariantList> list;
    for (int i = 1; i <= 400; ++i)
        list.append({i, 10, QStringLiteral("Inland"), QStringLiteral("Wien"), 0.5});
    for (int i = 0; i < 30; ++i)
        list.append({401 + i, 20 + i, QStringLiteral("Ausland"), QStringLiteral("Rom"), 1.0});
    ListSource rows(kFields, list);
    const QString file = m_dir.filePath(QStringLiteral("seiten.pdf"));
    int reported = 0;
    const ReportResult result = WriteReportPdf(groupedReport(), rows, file, QDateTime::currentDateTime(), [&](int pages) {
        reported = pages;
        return true;
    });
    QVERIFY(result.pages > 5);
    QCOMPARE(reported, result.pages);

    const QStringList pages = PdfPages(file, false);
    QCOMPARE(pages.size(), result.pages);
    QString all;
    for (int p = 0; p < pages.size(); ++p) {
        const QString& page = pages[p];
        QVERIFY2(page.contains(QLatin1String("Kopfzeile")), qPrintable(QString::number(p + 1)));
        QVERIFY(page.contains(QStringLiteral("Seite %1").arg(p + 1)));
        // A footer's two lines are never parted, and a header never ends a page alone.
        QCOMPARE(occurrences(page, QStringLiteral("Summe Ziel")), occurrences(page, QStringLiteral("Ende Ziel")));
        QCOMPARE(occurrences(page, QStringLiteral("Summe Ext")), occurrences(page, QStringLiteral("Ende Ext")));
        QCOMPARE(occurrences(page, QStringLiteral("Kopf Ext")), occurrences(page, QStringLiteral("Kopf Ziel")));
        all += page;
    }
    // The long group's header is printed once, not again on the pages it continues on.
    QCOMPARE(occurrences(all, QStringLiteral("Kopf Ext 10\n")), 1);
    QCOMPARE(occurrences(all, QStringLiteral("Zeile ")), 430);
    QVERIFY(all.contains(QLatin1String("Gesamtbetrag 230.00")));
    QVERIFY(pages.last().contains(QLatin1String("Gesamt 430.00")));
    // The page header shows the row the page goes on with.
    QVERIFY(pages.last().contains(QLatin1String("Aktuell ")));
}

void TestBandReport::emptyAndDisabled()
{
    const QString file = m_dir.filePath(QStringLiteral("leer.pdf"));
    {
        ListSource none(kFields, {});
        const ReportResult result = WriteReportPdf(groupedReport(), none, file);
        QCOMPARE(result.pages, 0);
        QVERIFY(result.error.isEmpty());
        QVERIFY(!QFile::exists(file));
    }
    {
        // Printed when empty: one page with zero totals; a disabled element leaves no trace.
        BandReport r = groupedReport();
        r.printWhenEmpty = true;
        r.summary.elements[1].enabled = false;
        ListSource none(kFields, {});
        const ReportResult result = WriteReportPdf(r, none, file);
        QCOMPARE(result.pages, 1);
        const QString page = PdfPages(file).value(0);
        QVERIFY(page.contains(QLatin1String("Gesamt 0.00")));
        QVERIFY(!page.contains(QLatin1String("Gesamtbetrag")));
        QVERIFY(page.contains(QLatin1String("Seite 1")));
    }
    {
        // A disabled band takes no room either: without the detail band every row vanishes.
        BandReport r = groupedReport();
        r.detail.enabled = false;
        QVERIFY(r.element(QStringLiteral("nonexistent")) == nullptr);
        ListSource rows(kFields, {{1, 10, QStringLiteral("Inland"), QStringLiteral("Wien"), 1.0}});
        WriteReportPdf(r, rows, file);
        const QString page = PdfPages(file).value(0);
        QVERIFY(!page.contains(QLatin1String("Zeile")));
        QVERIFY(page.contains(QLatin1String("Gesamtbetrag 1.00")));
    }
}

void TestBandReport::cancelAndFailureKeepTheOldFile()
{
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("alt")));
    const QString file = m_dir.filePath(QStringLiteral("alt/alt.pdf"));
    QFile old(file);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("alt");
    old.close();
    QList<QVariantList> list;
    for (int i = 1; i <= 300; ++i)
        list.append({i, i / 50, QStringLiteral("Inland"), QStringLiteral("Wien"), 1.0});
    ListSource rows(kFields, list);
    const ReportResult result = WriteReportPdf(groupedReport(), rows, file, QDateTime::currentDateTime(), [](int pages) { return pages < 2; });
    QVERIFY(result.cancelled);
    QCOMPARE(result.pages, 2);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("alt"));
    old.close();
    QCOMPARE(QDir(m_dir.filePath(QStringLiteral("alt"))).entryList(QDir::Files | QDir::Hidden).size(), 1);   // no temporary file left

    ListSource again(kFields, list);
    const ReportResult failed = WriteReportPdf(groupedReport(), again, m_dir.filePath(QStringLiteral("fehlt/x.pdf")));
    QCOMPARE(failed.error, QStringLiteral("Kann Datei nicht zum schreiben öffnen.\nDatei=") + m_dir.filePath(QStringLiteral("fehlt/x.pdf")));
}

void TestBandReport::rowStoreReplays()
{
    // The preview lays its pages out again for each page shown and for printing: the kept rows
    // give the same pages to every reader, and one page alone is that page of the whole.
    QList<QVariantList> list;
    for (int i = 1; i <= 300; ++i)
        list.append({i, 10 + i / 40, QStringLiteral("Inland"), QStringLiteral("Wien"), 1.5});
    ListSource rows(kFields, list);
    ReportRows kept(groupedReport().fields());
    QVERIFY(kept.fill(rows));
    QCOMPARE(kept.rowCount(), qint64(300));
    ReportRowReader counting(kept);
    const ReportResult counted = CountReportPages(groupedReport(), counting);
    QVERIFY(counted.pages > 3);
    QCOMPARE(counted.rows, qint64(300));

    ReportRowReader writing(kept);
    const QString file = m_dir.filePath(QStringLiteral("behalten.pdf"));
    QCOMPARE(WriteReportPdf(groupedReport(), writing, file).pages, counted.pages);
    const QStringList pages = PdfPages(file, false);
    QCOMPARE(pages.size(), counted.pages);

    const QSize sheet = ReportPageSize(groupedReport(), 96);
    QCOMPARE(sheet, QSize(793, 1123));   // A4 at 96 dpi
    QImage image(sheet, QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(96 / 0.0254));
    image.setDotsPerMeterY(qRound(96 / 0.0254));
    image.fill(Qt::white);
    ReportRowReader third(kept);
    QVERIFY(RenderReportPage(groupedReport(), third, 3, image));
    // Something is printed, and nothing on the margins.
    int inked = 0, onMargin = 0;
    const int margin = qRound(10 * 96 / 25.4) - 2;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                ++inked;
                if (x < margin || y < margin || x >= image.width() - margin || y >= image.height() - margin)
                    ++onMargin;
            }
    QVERIFY(inked > 1000);
    QCOMPARE(onMargin, 0);
    ReportRowReader beyond(kept);
    QVERIFY(!RenderReportPage(groupedReport(), beyond, counted.pages + 1, image));

    // A field the rows lack reads as empty.
    QCOMPARE(third.fieldIndex(QStringLiteral("Kostenstelle")), -1);
    QVERIFY(third.value(-1).isNull());
}

void TestBandReport::previewShowsPrintsAndSaves()
{
    QList<QVariantList> list;
    for (int i = 1; i <= 300; ++i)
        list.append({i, 10 + i / 40, QStringLiteral("Inland"), QStringLiteral("Wien"), 1.5});
    ListSource rows(kFields, list);
    const BandReport report = groupedReport();
    auto kept = std::make_shared<ReportRows>(report.fields());
    QVERIFY(kept->fill(rows));
    ReportPreview preview(report, kept);
    preview.resize(800, 900);
    QVERIFY(preview.pageCount() > 3);
    QCOMPARE(preview.currentPage(), 1);
    QVERIFY(!preview.actFirst->isEnabled() && !preview.actPrevious->isEnabled());
    preview.actNext->trigger();
    QCOMPARE(preview.currentPage(), 2);
    preview.actLast->trigger();
    QCOMPARE(preview.currentPage(), preview.pageCount());
    QVERIFY(!preview.actNext->isEnabled());
    preview.showPage(999);
    QCOMPARE(preview.currentPage(), preview.pageCount());

    // Zoom: the sheet keeps its proportions at every factor.
    preview.setZoom(ReportPreview::Zoom::Factor, 1.0);
    const QSize atOne = preview.pageImage().size();
    preview.actZoomIn->trigger();
    QVERIFY(qAbs(preview.pageImage().width() - atOne.width() * 1.25) < 3);
    preview.setZoom(ReportPreview::Zoom::Factor, 100);
    QCOMPARE(preview.zoomFactor(), 4.0);
    QVERIFY(!preview.actZoomIn->isEnabled());

    // Printing goes to the printer the user chose; here one that writes a file.
    const QString printed = m_dir.filePath(QStringLiteral("gedruckt.pdf"));
    preview.askPrinter = [&printed](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        return true;
    };
    preview.printReport();
    QCOMPARE(PdfPages(printed).size(), preview.pageCount());

    const QString saved = m_dir.filePath(QStringLiteral("gespeichert.pdf"));
    QStringList messages;
    preview.showMessage = [&messages](const QString& text) { messages << text; };
    preview.askPdfFile = [&saved] { return saved; };
    preview.savePdf();
    QCOMPARE(PdfPages(saved).size(), preview.pageCount());
    QVERIFY(messages.isEmpty());
    preview.askPdfFile = [this] { return m_dir.filePath(QStringLiteral("fehlt/x.pdf")); };
    preview.savePdf();
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages[0].startsWith(QStringLiteral("Kann Datei nicht zum schreiben öffnen.")));

    // No rows: nothing to show, print or save.
    ListSource none(kFields, {});
    auto empty = std::make_shared<ReportRows>(report.fields());
    QVERIFY(empty->fill(none));
    ReportPreview nothing(report, empty);
    QCOMPARE(nothing.pageCount(), 0);
    QVERIFY(!nothing.actPrint->isEnabled() && !nothing.actPdf->isEnabled());
}

QTEST_MAIN(TestBandReport)
#include "TestBandReport.moc"
