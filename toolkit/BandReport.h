#pragma once

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QList>
#include <QMarginsF>
#include <QPageSize>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>

class QIODevice;
class QPagedPaintDevice;

// The rows a report prints, walked once from the first to the last.
class ReportSource
{
public:
    virtual ~ReportSource() = default;
    virtual int fieldIndex(const QString& name) const = 0;   // -1 when the rows have no such field
    virtual bool next() = 0;                                  // to the next row; false after the last
    virtual QVariant value(int field) const = 0;              // of the current row
};

// A source's rows kept in memory, for a preview that lays its pages out again and again (each
// page shown, printing, saving). Only the fields a report uses are kept; equal texts are kept
// once. Read-only once filled, so that several readers may walk it at the same time.
class ReportRows
{
public:
    explicit ReportRows(QStringList fields = {}) : m_fields(std::move(fields)) {}
    // Reads `source` to its end; `proceed` sees the rows read so far now and then and stops the
    // reading when it answers false (the function then answers false too).
    bool fill(ReportSource& source, const std::function<bool(qint64 rows)>& proceed = {});
    qint64 rowCount() const { return m_fields.isEmpty() ? 0 : m_values.size() / m_fields.size(); }
    const QStringList& fields() const { return m_fields; }
    QVariant value(qint64 row, int field) const { return m_values.at(row * m_fields.size() + field); }

private:
    QStringList m_fields;
    QVector<QVariant> m_values;   // row after row
};

// Walks kept rows from the first to the last.
class ReportRowReader : public ReportSource
{
public:
    explicit ReportRowReader(const ReportRows& rows) : m_rows(rows) {}
    int fieldIndex(const QString& name) const override { return int(m_rows.fields().indexOf(name)); }
    bool next() override;
    QVariant value(int field) const override;

private:
    const ReportRows& m_rows;
    qint64 m_row = -1;
};

// Turns a value into the text printed; the number and date pictures of a report are formats.
using ReportFormat = std::function<QString(const QVariant& value)>;

// One thing printed on a band. Positions and sizes are in units of 1/96 inch from the band's top
// left corner; fonts in points.
struct ReportElement
{
    enum class Kind {
        Text,            // `text`
        Field,           // the current row's `field`
        Count,           // rows of the band's group (of the whole report on the summary)
        Sum,             // the sum of `field` over those rows; empty values count as 0
        PageNumber,
        PrintDateTime,   // the moment the report started, the same on every page
        Image,           // `image` scaled into `rect`, its proportions kept
        Rule             // a line along the top of `rect`; a rect of width 0 is a vertical line
    };
    Kind kind = Kind::Text;
    QString name;
    QRectF rect;
    QString text;
    QString field;
    QFont font;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    ReportFormat format;
    QImage image;
    QColor color = Qt::black;
    qreal lineWidth = 1;
    Qt::PenStyle lineStyle = Qt::SolidLine;
    bool elide = true;     // a text wider than `rect` ends in "…"; else it runs over the right edge
    bool enabled = true;   // a disabled element is not printed and takes no room from others
};

struct ReportBand
{
    qreal height = 0;   // units of 1/96 inch
    bool enabled = true;
    QList<ReportElement> elements;

    ReportElement& add(ReportElement element)
    {
        elements.append(std::move(element));
        return elements.last();
    }
};

// A group: its header is printed before the first row of each run of rows with the same value
// of `field`, its footer after the last. A change of an outer group closes the inner ones too.
struct ReportGroup
{
    QString field;
    ReportBand header;
    ReportBand footer;
};

// A banded report: page header and footer on every page, nested groups, the detail band once per
// row and the summary after the last row. Bands are never cut by a page break.
class BandReport
{
public:
    QPageSize pageSize = QPageSize(QPageSize::A4);
    QMarginsF marginsMm = QMarginsF(10, 10, 10, 10);
    QString title;          // the document's title in a PDF
    bool printWhenEmpty = false;   // without rows: a page with header, summary and footer

    ReportBand pageHeader;
    QList<ReportGroup> groups;   // outermost first
    ReportBand detail;
    ReportBand summary;
    ReportBand pageFooter;

    // The first element of that name in any band; nullptr when there is none.
    ReportElement* element(const QString& name);
    // The room between the margins, in units of 1/96 inch.
    QSizeF printableSize() const;
    // Every field that a band or a group reads.
    QStringList fields() const;
};

struct ReportResult
{
    int pages = 0;
    qint64 rows = 0;
    bool cancelled = false;
    QString error;   // why a file was not written, in German; empty on success
};

// Called after each finished page with the pages done; answering false stops the report there.
using ReportProceed = std::function<bool(int pages)>;

// The pages are laid out in units, whatever the device, so that the preview, the printer and a
// PDF break the same rows onto the same pages.

// Lays `report` out over the rows of `source` and paints it onto `device` (a printer, a PDF
// writer) page by page, so that memory does not grow with the pages. Nothing is painted, not
// even a page, when there are no rows and !printWhenEmpty.
ReportResult RenderReport(const BandReport& report, ReportSource& source, QPagedPaintDevice& device,
                          const QDateTime& printTime = QDateTime::currentDateTime(), const ReportProceed& proceed = {});

// Lays the report out without painting: its pages and rows.
ReportResult CountReportPages(const BandReport& report, ReportSource& source, const ReportProceed& proceed = {});

// The whole sheet of paper at `dpi`, in pixels, for RenderReportPage.
QSize ReportPageSize(const BandReport& report, qreal dpi);

// Paints page `page` (counted from 1) onto `image`, a sheet of ReportPageSize at the image's
// resolution, margins included. Answers false, painting nothing, when there is no such page.
bool RenderReportPage(const BandReport& report, ReportSource& source, int page, QImage& image,
                      const QDateTime& printTime = QDateTime::currentDateTime());

// Writes the report as a PDF into `file` whole or not at all: a failure, a cancel or a report
// without pages leaves an existing file as it was; a failure is told in `error`.
ReportResult WriteReportPdf(const BandReport& report, ReportSource& source, const QString& file,
                            const QDateTime& printTime = QDateTime::currentDateTime(), const ReportProceed& proceed = {});
