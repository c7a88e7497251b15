#include "toolkit/ReportPreview.h"

#include <QAction>
#include <QEventLoop>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <thread>

namespace {

constexpr qreal kMinZoom = 0.25;
constexpr qreal kMaxZoom = 4.0;
constexpr int kSheetMargin = 16;   // grey around the sheet, in pixels

} // namespace

ReportPreview::ReportPreview(const BandReport& report, std::shared_ptr<const ReportRows> rows, QWidget* parent)
    : QDialog(parent), m_report(report), m_rows(std::move(rows)), m_printTime(QDateTime::currentDateTime())
{
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    askPrinter = [this](QPrinter& printer) {
        QPrintDialog dialog(&printer, this);
        return dialog.exec() == QDialog::Accepted;
    };

    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto action = [this, bar](const QString& text, QStyle::StandardPixmap icon, const QKeySequence& key) {
        QAction* a = bar->addAction(icon == QStyle::SP_CustomBase ? QIcon() : style()->standardIcon(icon), text);
        a->setShortcut(key);
        a->setToolTip(key.isEmpty() ? text : text + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QLatin1Char(')'));
        return a;
    };
    actPrint = action(QStringLiteral("Drucken..."), QStyle::SP_CustomBase, QKeySequence::Print);
    actPdf = action(QStringLiteral("Als PDF speichern..."), QStyle::SP_DialogSaveButton, QKeySequence::Save);
    bar->addSeparator();
    actFirst = action(QStringLiteral("Erste Seite"), QStyle::SP_MediaSkipBackward, Qt::Key_Home);
    actPrevious = action(QStringLiteral("Vorherige Seite"), QStyle::SP_MediaSeekBackward, Qt::Key_PageUp);
    m_pageBox = new QSpinBox(bar);
    m_pageBox->setAccessibleName(QStringLiteral("Seite"));
    m_pageBox->setKeyboardTracking(false);
    bar->addWidget(new QLabel(QStringLiteral(" Seite "), bar));
    bar->addWidget(m_pageBox);
    m_pageCountLabel = new QLabel(bar);
    bar->addWidget(m_pageCountLabel);
    actNext = action(QStringLiteral("Nächste Seite"), QStyle::SP_MediaSeekForward, Qt::Key_PageDown);
    actLast = action(QStringLiteral("Letzte Seite"), QStyle::SP_MediaSkipForward, Qt::Key_End);
    bar->addSeparator();
    actWholePage = action(QStringLiteral("Ganze Seite"), QStyle::SP_CustomBase, QKeySequence());
    actPageWidth = action(QStringLiteral("Seitenbreite"), QStyle::SP_CustomBase, QKeySequence());
    actZoomOut = action(QStringLiteral("Verkleinern"), QStyle::SP_CustomBase, QKeySequence::ZoomOut);
    actZoomIn = action(QStringLiteral("Vergrößern"), QStyle::SP_CustomBase, QKeySequence::ZoomIn);
    actZoomOut->setText(QStringLiteral("−"));
    actZoomIn->setText(QStringLiteral("+"));
    bar->addSeparator();
    actClose = action(QStringLiteral("Schließen"), QStyle::SP_DialogCloseButton, QKeySequence());
    // Arrows speak for themselves; their names are in the tips.
    for (QAction* a : {actFirst, actPrevious, actNext, actLast})
        if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(a)))
            button->setToolButtonStyle(Qt::ToolButtonIconOnly);

    m_sheet = new QLabel;
    m_sheet->setAlignment(Qt::AlignCenter);
    m_sheet->setMargin(kSheetMargin);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_sheet);
    m_scroll->setWidgetResizable(true);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_scroll, 1);

    connect(actFirst, &QAction::triggered, this, [this] { showPage(1); });
    connect(actPrevious, &QAction::triggered, this, [this] { showPage(m_page - 1); });
    connect(actNext, &QAction::triggered, this, [this] { showPage(m_page + 1); });
    connect(actLast, &QAction::triggered, this, [this] { showPage(m_pages); });
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int page) { showPage(page); });
    connect(actWholePage, &QAction::triggered, this, [this] { setZoom(Zoom::WholePage); });
    connect(actPageWidth, &QAction::triggered, this, [this] { setZoom(Zoom::PageWidth); });
    connect(actZoomIn, &QAction::triggered, this, [this] { setZoom(Zoom::Factor, m_factor * 1.25); });
    connect(actZoomOut, &QAction::triggered, this, [this] { setZoom(Zoom::Factor, m_factor / 1.25); });
    connect(actPrint, &QAction::triggered, this, &ReportPreview::printReport);
    connect(actPdf, &QAction::triggered, this, &ReportPreview::savePdf);
    connect(actClose, &QAction::triggered, this, &QDialog::reject);

    // Counting lays every page out without painting: far quicker than painting them.
    ReportRowReader reader(*m_rows);
    m_pages = CountReportPages(m_report, reader).pages;
    m_pageBox->setRange(m_pages > 0 ? 1 : 0, m_pages);
    m_pageCountLabel->setText(QStringLiteral(" von %1 ").arg(m_pages));
    if (m_pages == 0)
        m_sheet->setText(QStringLiteral("Der Report enthält keine Seiten."));
    const QSize screen = this->screen() ? this->screen()->availableSize() : QSize(1024, 768);
    resize(qMin(900, screen.width() * 9 / 10), qMin(1000, screen.height() * 9 / 10));
    m_page = m_pages > 0 ? 1 : 0;
    render();
    updateActions();
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::showPage(int page)
{
    page = qBound(m_pages > 0 ? 1 : 0, page, m_pages);
    if (page == m_page)
        return;
    m_page = page;
    render();
    updateActions();
    m_scroll->verticalScrollBar()->setValue(0);
}

void ReportPreview::setZoom(Zoom zoom, qreal factor)
{
    m_zoom = zoom;
    if (zoom == Zoom::Factor)
        m_factor = qBound(kMinZoom, factor, kMaxZoom);
    render();
    updateActions();
}

void ReportPreview::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    // The scroll area takes its new size only once the layout has run.
    if (m_zoom != Zoom::Factor)
        QTimer::singleShot(0, this, [this] {
            render();
            updateActions();
        });
}

void ReportPreview::render()
{
    if (m_page < 1)
        return;
    const QSizeF sheet = ReportPageSize(m_report, 96);
    // Room beside the scroll bar, which a fitted page must not call up.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QSize room = m_scroll->size() - QSize(2 * kSheetMargin + bar + 6, 2 * kSheetMargin + 6);
    if (m_zoom == Zoom::PageWidth)
        m_factor = qBound(kMinZoom, room.width() / sheet.width(), kMaxZoom);
    else if (m_zoom == Zoom::WholePage)
        m_factor = qBound(kMinZoom, qMin(room.width() / sheet.width(), room.height() / sheet.height()), kMaxZoom);
    const qreal ratio = devicePixelRatioF();
    const qreal dpi = 96 * m_factor * ratio;
    QImage image(ReportPageSize(m_report, dpi), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    ReportRowReader reader(*m_rows);
    RenderReportPage(m_report, reader, m_page, image, m_printTime);
    m_image = image;
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(ratio);
    m_sheet->setPixmap(pixmap);
}

void ReportPreview::updateActions()
{
    const bool any = m_pages > 0 && !m_outputRunning;
    actFirst->setEnabled(any && m_page > 1);
    actPrevious->setEnabled(any && m_page > 1);
    actNext->setEnabled(any && m_page < m_pages);
    actLast->setEnabled(any && m_page < m_pages);
    actPrint->setEnabled(any);
    actPdf->setEnabled(any);
    actZoomIn->setEnabled(any && m_factor < kMaxZoom);
    actZoomOut->setEnabled(any && m_factor > kMinZoom);
    actWholePage->setEnabled(any);
    actPageWidth->setEnabled(any);
    const QSignalBlocker quiet(m_pageBox);
    m_pageBox->setValue(m_page);
    m_pageBox->setEnabled(any);
}

ReportResult ReportPreview::runOutput(const QString& title, const std::function<ReportResult(const ReportProceed&)>& work)
{
    m_outputRunning = true;
    updateActions();
    std::atomic<int> done{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    ReportResult result;
    QProgressDialog progress(title, QStringLiteral("Abbrechen"), 0, m_pages, this);
    progress.setWindowTitle(windowTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        progress.setValue(done.load());
        progress.setLabelText(title + QStringLiteral("\nSeite %1 von %2").arg(done.load()).arg(m_pages));
        if (finished.load())
            loop.quit();
    });
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] { stop = true; });
    std::thread thread([&] {
        result = work([&](int pages) {
            done = pages;
            return !stop.load();
        });
        finished = true;
    });
    poll.start();
    loop.exec();
    thread.join();
    progress.reset();
    m_outputRunning = false;
    updateActions();
    return result;
}

void ReportPreview::printReport()
{
    if (m_pages == 0 || m_outputRunning)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_report.title);
    printer.setPageSize(m_report.pageSize);
    if (!askPrinter || !askPrinter(printer))
        return;
    // Printing from a thread is allowed for a printer, as it is for an image.
    runOutput(QStringLiteral("Der Report wird gedruckt ..."), [this, &printer](const ReportProceed& proceed) {
        ReportRowReader reader(*m_rows);
        return RenderReport(m_report, reader, printer, m_printTime, proceed);
    });
}

void ReportPreview::savePdf()
{
    if (m_pages == 0 || m_outputRunning || !askPdfFile)
        return;
    const QString file = askPdfFile();
    if (file.isEmpty())
        return;
    const ReportResult result =
        runOutput(QStringLiteral("Der Report wird gespeichert ..."), [this, &file](const ReportProceed& proceed) {
            ReportRowReader reader(*m_rows);
            return WriteReportPdf(m_report, reader, file, m_printTime, proceed);
        });
    if (!result.error.isEmpty() && showMessage)
        showMessage(result.error);
}
