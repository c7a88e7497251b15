#pragma once

#include "toolkit/BandReport.h"

#include <QDialog>

#include <atomic>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QPrinter;
class QScrollArea;
class QSpinBox;

// The print preview of a band report over kept rows: one page at a time, laid out when it is
// shown, so that a report of thousands of pages costs no more than the page on the screen.
// Printing and saving as PDF run on a thread of their own, with a progress window that stops
// them.
class ReportPreview : public QDialog
{
    Q_OBJECT
public:
    ReportPreview(const BandReport& report, std::shared_ptr<const ReportRows> rows, QWidget* parent = nullptr);
    ~ReportPreview() override;

    int pageCount() const { return m_pages; }
    int currentPage() const { return m_page; }
    void showPage(int page);
    // The page as shown, at the zoom in force.
    QImage pageImage() const { return m_image; }

    enum class Zoom { WholePage, PageWidth, Factor };
    void setZoom(Zoom zoom, qreal factor = 1);
    qreal zoomFactor() const { return m_factor; }

    // Asks for the printer and prints every page; answers once the printing has ended.
    void printReport();
    // Asks for a file and writes every page into it as PDF.
    void savePdf();

    // What the preview asks of the program around it. askPrinter defaults to the system's print
    // dialog; askPdfFile answers the file to write, empty for none; showMessage tells a failure.
    std::function<bool(QPrinter& printer)> askPrinter;
    std::function<QString()> askPdfFile;
    std::function<void(const QString& text)> showMessage;

    QAction *actFirst = nullptr, *actPrevious = nullptr, *actNext = nullptr, *actLast = nullptr,
            *actWholePage = nullptr, *actPageWidth = nullptr, *actZoomIn = nullptr, *actZoomOut = nullptr,
            *actPrint = nullptr, *actPdf = nullptr, *actClose = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Runs `work` on a thread under a progress window; "Abbrechen" stops it after the page it is on.
    ReportResult runOutput(const QString& title, const std::function<ReportResult(const ReportProceed&)>& work);
    void render();
    void updateActions();

    const BandReport& m_report;
    std::shared_ptr<const ReportRows> m_rows;
    QDateTime m_printTime;
    int m_pages = 0;
    int m_page = 0;
    Zoom m_zoom = Zoom::PageWidth;
    qreal m_factor = 1;
    QImage m_image;
    QScrollArea* m_scroll = nullptr;
    QLabel* m_sheet = nullptr;
    QSpinBox* m_pageBox = nullptr;
    QLabel* m_pageCountLabel = nullptr;
    bool m_outputRunning = false;
};
