#pragma once

#include "database/NumberMask.h"
#include "toolkit/BandReport.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QWidget;
class RuboDatabase;

// A printed report of this program: its bands, the SQL of its rows, and what it arranges once
// the query's fields are known.
class TRuboReport
{
public:
    virtual ~TRuboReport() = default;

    BandReport report;
    QString sql;
    QList<QPair<QString, Qt::SortOrder>> orderKeys;   // a list's sorting, applied to `sql` when it has the fields
    QString caption;        // of the preview window
    int helpContext = 0;    // the help topic F1 opens in the preview

    // How BNummer is printed. While on, the page footer's element "lblZielnummern" (when the
    // report has one) says so. Set it before the report prepares its query: the condition in
    // words shortens the numbers too.
    void setNumberMask(const NumberMask& mask);
    const NumberMask& numberMask() const { return m_numberMask; }

    // Called with the query's field names, in its order, before the first page is laid out.
    virtual void queryOpened(const QStringList& fields) { Q_UNUSED(fields); }

private:
    NumberMask m_numberMask;
};

// The page footer's note of a shortened list, disabled until a mask is set.
ReportElement ReportNumberMaskNote(const QRectF& rect, const QFont& font);

// "rptLogo.bmp" of the working folder when it exists and can be read, else the built-in logo.
QImage ReportLogo();

// Arial, as the reports are set.
QFont ReportFont(qreal points, bool bold = false, bool italic = false);

// A figure in a number picture with the user's separators ("#0.00' ATS '"); empty for no value.
ReportFormat PictureFormat(const QString& picture);
// A value between two fixed texts, e.g. "Nebenstelle  " + the extension.
ReportFormat TextFormat(const QString& before, const QString& after = QString());

// An element at `rect` (units of 1/96 inch) of `kind`, in the given font and alignment.
ReportElement ReportItem(ReportElement::Kind kind, const QString& name, const QRectF& rect, const QFont& font,
                         Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
ReportElement ReportText(const QString& text, const QRectF& rect, const QFont& font,
                         Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
// The date and time the report was started, "dd.mm.yyyy hh:nn:ss".
ReportElement ReportPrintTime(const QRectF& rect, const QFont& font);
ReportElement ReportRule(const QRectF& rect, qreal width = 1, const QColor& color = Qt::black,
                         Qt::PenStyle style = Qt::SolidLine);

// The report's rows carry BNummer as its mask shortens it.
// Opens the report's query on `db` and streams its rows into a PDF, page by page. A failure of
// the query is thrown as RuboError; the file's failures come back in the result.
ReportResult WriteReportFile(RuboDatabase& db, TRuboReport& report, const QString& file, const ReportProceed& proceed = {});

// Opens the report's query on `db` and reads the rows its bands use into memory, for a preview;
// nullptr when `proceed` stopped the reading. A failure of the query is thrown as RuboError.
std::shared_ptr<ReportRows> ReadReportRows(RuboDatabase& db, TRuboReport& report,
                                           const std::function<bool(qint64 rows)>& proceed = {});

// Reads the report's rows on a worker over `databaseFile`, with a progress window whose
// "Abbrechen" stops it, then shows the print preview modally until the user closes it. A failure
// of the query is shown as the program's error message. Returns false when nothing was shown.
bool ShowReportPreview(QWidget* parent, const QString& databaseFile, TRuboReport& report);
