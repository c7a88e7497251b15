#include "toolkit/BandReport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSet>

#include <cmath>
#include <memory>

// ---------------------------------------------------------------------------------------------
// Kept rows

bool ReportRows::fill(ReportSource& source, const std::function<bool(qint64 rows)>& proceed)
{
    QVector<int> columns;
    for (const QString& f : std::as_const(m_fields))
        columns.append(source.fieldIndex(f));
    // Destinations, zones and cost centres repeat from call to call: each text is kept once.
    QSet<QString> texts;
    qint64 rows = 0;
    while (source.next()) {
        for (int c : columns) {
            QVariant v = c >= 0 ? source.value(c) : QVariant();
            if (v.typeId() == QMetaType::QString) {
                const auto known = texts.constFind(v.toString());
                if (known != texts.constEnd())
                    v = *known;
                else if (texts.size() < 100000)
                    texts.insert(v.toString());
            }
            m_values.append(std::move(v));
        }
        if ((++rows & 1023) == 0 && proceed && !proceed(rows))
            return false;
    }
    return !proceed || proceed(rows);
}

bool ReportRowReader::next()
{
    if (m_row + 1 >= m_rows.rowCount())
        return false;
    ++m_row;
    return true;
}

QVariant ReportRowReader::value(int field) const
{
    if (m_row < 0 || field < 0 || field >= m_rows.fields().size())
        return {};
    return m_rows.value(m_row, field);
}

// ---------------------------------------------------------------------------------------------
// Report definition

ReportElement* BandReport::element(const QString& name)
{
    QList<ReportBand*> bands = {&pageHeader, &detail, &summary, &pageFooter};
    for (ReportGroup& g : groups) {
        bands.append(&g.header);
        bands.append(&g.footer);
    }
    for (ReportBand* band : bands)
        for (ReportElement& e : band->elements)
            if (e.name == name)
                return &e;
    return nullptr;
}

QSizeF BandReport::printableSize() const
{
    const QSizeF mm = pageSize.size(QPageSize::Millimeter);
    const qreal unitsPerMm = 96.0 / 25.4;
    return QSizeF((mm.width() - marginsMm.left() - marginsMm.right()) * unitsPerMm,
                  (mm.height() - marginsMm.top() - marginsMm.bottom()) * unitsPerMm);
}

QStringList BandReport::fields() const
{
    QStringList result;
    auto take = [&result](const ReportBand& band) {
        for (const ReportElement& e : band.elements)
            if ((e.kind == ReportElement::Kind::Field || e.kind == ReportElement::Kind::Sum) && !result.contains(e.field))
                result.append(e.field);
    };
    for (const ReportGroup& g : groups)
        if (!result.contains(g.field))
            result.append(g.field);
    for (const ReportBand* band : {&pageHeader, &detail, &summary, &pageFooter})
        take(*band);
    for (const ReportGroup& g : groups) {
        take(g.header);
        take(g.footer);
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// Layout and painting

namespace {

// A sum that keeps the cents of a year of calls: compensated, as the engine's SUM is.
struct ExactSum
{
    double sum = 0;
    double compensation = 0;

    void add(double x)
    {
        const double t = sum + x;
        if (std::fabs(sum) >= std::fabs(x))
            compensation += (sum - t) + x;
        else
            compensation += (x - t) + sum;
        sum = t;
    }
    double value() const { return sum + compensation; }
};

struct Scope
{
    qint64 count = 0;
    QVector<ExactSum> sums;
};

// An element ready for one device: its rect in device pixels, its font's metrics there, and
// where its value comes from.
struct PreparedElement
{
    const ReportElement* element = nullptr;
    QRectF rect;
    std::shared_ptr<QFontMetricsF> metrics;
    int slot = -1;   // Field: index into the row values; Sum: index into the scope's sums
};

struct PreparedBand
{
    const ReportBand* band = nullptr;
    qreal height = 0;   // device pixels
    int scope = 0;
    QVector<PreparedElement> elements;

    bool prints() const { return band && band->enabled; }
};

// Where a run paints: every page onto a printer or PDF writer, one page onto an image, or
// nothing at all while pages are counted.
struct Target
{
    QPaintDevice* device = nullptr;
    QPagedPaintDevice* paged = nullptr;
    int onlyPage = 0;   // 0: every page
};

class Renderer
{
public:
    Renderer(const BandReport& report, ReportSource& source, const Target& target, const QDateTime& printTime,
             const ReportProceed& proceed)
        : m_report(report), m_source(source), m_target(target), m_printTime(printTime), m_proceed(proceed)
    {
    }

    ReportResult run();

private:
    PreparedBand prepare(const ReportBand& band, int scope);
    bool readRow(QVector<QVariant>& row);
    // Makes room for `height` units on the page, starting a page when needed; false once the
    // run is over (cancelled, or the one page wanted is done).
    bool room(qreal height, const QVector<QVariant>& row);
    void startPage(const QVector<QVariant>& row);
    bool finishPage(const QVector<QVariant>& row);
    bool print(const PreparedBand& band, const QVector<QVariant>& row);
    void paint(const PreparedBand& band, qreal top, const QVector<QVariant>& row);
    QString textOf(const PreparedElement& e, int scope, const QVector<QVariant>& row) const;
    void openScope(int scope);
    void accumulate(const QVector<QVariant>& row);
    bool painting() const { return m_painter.isActive(); }

    const BandReport& m_report;
    ReportSource& m_source;
    Target m_target;
    QDateTime m_printTime;
    const ReportProceed& m_proceed;

    QPainter m_painter;
    qreal m_scale = 1;        // device pixels per unit
    qreal m_footerTop = 0;    // units from the top of the printable area
    qreal m_y = 0;            // likewise
    bool m_pageOpen = false;
    bool m_devicePageOpen = false;   // a printer's or writer's first page has begun
    ReportResult m_result;

    QStringList m_fields;
    QVector<int> m_columns;     // source index of each field
    QStringList m_sumFields;
    QVector<int> m_sumSlots;    // row value slot of each summed field
    QVector<Scope> m_scopes;    // one per group, then the whole report
    QVector<int> m_groupSlots;  // row value slot of each group's field

    PreparedBand m_pageHeader, m_detail, m_summary, m_pageFooter;
    QVector<PreparedBand> m_headers, m_footers;
};

PreparedBand Renderer::prepare(const ReportBand& band, int scope)
{
    PreparedBand p;
    p.band = &band;
    p.height = band.height;
    p.scope = scope;
    for (const ReportElement& e : band.elements) {
        if (!e.enabled)
            continue;
        PreparedElement pe;
        pe.element = &e;
        pe.rect = QRectF(e.rect.x() * m_scale, e.rect.y() * m_scale, e.rect.width() * m_scale, e.rect.height() * m_scale);
        if (m_target.device)
            pe.metrics = std::make_shared<QFontMetricsF>(e.font, m_target.device);
        if (e.kind == ReportElement::Kind::Field)
            pe.slot = int(m_fields.indexOf(e.field));
        else if (e.kind == ReportElement::Kind::Sum)
            pe.slot = int(m_sumFields.indexOf(e.field));
        p.elements.append(pe);
    }
    return p;
}

bool Renderer::readRow(QVector<QVariant>& row)
{
    if (!m_source.next())
        return false;
    for (int i = 0; i < m_columns.size(); ++i)
        row[i] = m_columns[i] >= 0 ? m_source.value(m_columns[i]) : QVariant();
    return true;
}

void Renderer::startPage(const QVector<QVariant>& row)
{
    ++m_result.pages;
    m_pageOpen = true;
    m_y = 0;
    const bool wanted = m_target.device && (m_target.onlyPage == 0 || m_target.onlyPage == m_result.pages);
    if (wanted) {
        if (m_target.paged && m_devicePageOpen) {
            m_target.paged->newPage();
        } else {
            m_painter.begin(m_target.device);
            m_devicePageOpen = true;
            // An image is the whole sheet; printers and writers start at the margins themselves.
            if (!m_target.paged) {
                const qreal dpm = m_target.device->logicalDpiX() / 25.4;
                m_painter.translate(m_report.marginsMm.left() * dpm, m_report.marginsMm.top() * dpm);
            }
        }
    }
    if (m_pageHeader.prints()) {
        paint(m_pageHeader, 0, row);
        m_y = m_pageHeader.height;
    }
}

bool Renderer::finishPage(const QVector<QVariant>& row)
{
    if (m_pageFooter.prints())
        paint(m_pageFooter, m_footerTop, row);
    m_pageOpen = false;
    if (m_target.onlyPage == m_result.pages) {
        if (m_painter.isActive())
            m_painter.end();
        return false;
    }
    if (m_proceed && !m_proceed(m_result.pages)) {
        m_result.cancelled = true;
        return false;
    }
    return true;
}

bool Renderer::room(qreal height, const QVector<QVariant>& row)
{
    if (!m_pageOpen) {
        startPage(row);
        return true;
    }
    // A band taller than an empty page is printed at the top of one and cut by the footer.
    const bool pageIsEmpty = m_y <= (m_pageHeader.prints() ? m_pageHeader.height : 0);
    if (m_y + height > m_footerTop + 0.001 && !pageIsEmpty) {
        if (!finishPage(row))
            return false;
        startPage(row);
    }
    return true;
}

bool Renderer::print(const PreparedBand& band, const QVector<QVariant>& row)
{
    if (!band.prints())
        return true;
    if (!room(band.height, row))
        return false;
    paint(band, m_y, row);
    m_y += band.height;
    return true;
}

QString Renderer::textOf(const PreparedElement& pe, int scope, const QVector<QVariant>& row) const
{
    const ReportElement& e = *pe.element;
    QVariant value;
    switch (e.kind) {
    case ReportElement::Kind::Text:
        return e.text;
    case ReportElement::Kind::Field:
        value = pe.slot >= 0 ? row.at(pe.slot) : QVariant();
        break;
    case ReportElement::Kind::Count:
        value = m_scopes.at(scope).count;
        break;
    case ReportElement::Kind::Sum:
        value = m_scopes.at(scope).sums.at(pe.slot).value();
        break;
    case ReportElement::Kind::PageNumber:
        value = m_result.pages;
        break;
    case ReportElement::Kind::PrintDateTime:
        value = m_printTime;
        break;
    case ReportElement::Kind::Image:
    case ReportElement::Kind::Rule:
        return {};
    }
    return e.format ? e.format(value) : value.toString();
}

void Renderer::paint(const PreparedBand& band, qreal top, const QVector<QVariant>& row)
{
    if (!painting())
        return;
    const qreal offset = top * m_scale;
    for (const PreparedElement& pe : band.elements) {
        const ReportElement& e = *pe.element;
        const QRectF rect = pe.rect.translated(0, offset);
        if (e.kind == ReportElement::Kind::Rule) {
            QPen pen(e.color, qMax<qreal>(e.lineWidth * m_scale, 1), e.lineStyle, Qt::FlatCap);
            m_painter.setPen(pen);
            if (rect.width() <= 0)
                m_painter.drawLine(QPointF(rect.left(), rect.top()), QPointF(rect.left(), rect.bottom()));
            else
                m_painter.drawLine(QPointF(rect.left(), rect.top()), QPointF(rect.right(), rect.top()));
            continue;
        }
        if (e.kind == ReportElement::Kind::Image) {
            if (e.image.isNull())
                continue;
            const QSizeF size = QSizeF(e.image.size()).scaled(rect.size(), Qt::KeepAspectRatio);
            qreal x = rect.left();
            if (e.alignment & Qt::AlignRight)
                x = rect.right() - size.width();
            else if (e.alignment & Qt::AlignHCenter)
                x = rect.left() + (rect.width() - size.width()) / 2;
            qreal y = rect.top();
            if (e.alignment & Qt::AlignBottom)
                y = rect.bottom() - size.height();
            else if (e.alignment & Qt::AlignVCenter)
                y = rect.top() + (rect.height() - size.height()) / 2;
            m_painter.drawImage(QRectF(QPointF(x, y), size), e.image);
            continue;
        }
        QString text = textOf(pe, band.scope, row);
        if (text.isEmpty())
            continue;
        // A value wider than its place ends in "…" rather than running over its neighbour; most
        // are so short that no measuring is needed to know they fit.
        if (e.elide && text.size() * pe.metrics->maxWidth() > rect.width()
            && pe.metrics->horizontalAdvance(text) > rect.width())
            text = pe.metrics->elidedText(text, Qt::ElideRight, rect.width());
        if (m_painter.font() != e.font)
            m_painter.setFont(e.font);
        if (m_painter.pen().color() != e.color || m_painter.pen().style() != Qt::SolidLine)
            m_painter.setPen(e.color);
        m_painter.drawText(rect, int(e.alignment) | Qt::TextSingleLine | Qt::TextDontClip, text);
    }
}

void Renderer::openScope(int scope)
{
    Scope& s = m_scopes[scope];
    s.count = 0;
    for (ExactSum& sum : s.sums)
        sum = ExactSum();
}

void Renderer::accumulate(const QVector<QVariant>& row)
{
    for (Scope& s : m_scopes) {
        ++s.count;
        for (int i = 0; i < m_sumSlots.size(); ++i) {
            const QVariant& v = row.at(m_sumSlots[i]);
            if (!v.isNull())
                s.sums[i].add(v.toDouble());
        }
    }
}

ReportResult Renderer::run()
{
    if (m_target.paged)
        m_target.paged->setPageLayout(
            QPageLayout(m_report.pageSize, QPageLayout::Portrait, m_report.marginsMm, QPageLayout::Millimeter));
    m_scale = m_target.device ? m_target.device->logicalDpiY() / 96.0 : 1;

    m_fields = m_report.fields();
    for (const QString& f : std::as_const(m_fields))
        m_columns.append(m_source.fieldIndex(f));
    auto collectSums = [this](const ReportBand& band) {
        for (const ReportElement& e : band.elements)
            if (e.kind == ReportElement::Kind::Sum && !m_sumFields.contains(e.field)) {
                m_sumFields.append(e.field);
                m_sumSlots.append(int(m_fields.indexOf(e.field)));
            }
    };
    for (const ReportBand* band : {&m_report.pageHeader, &m_report.detail, &m_report.summary, &m_report.pageFooter})
        collectSums(*band);
    for (const ReportGroup& g : m_report.groups) {
        collectSums(g.header);
        collectSums(g.footer);
        m_groupSlots.append(int(m_fields.indexOf(g.field)));
    }
    const int overall = int(m_report.groups.size());
    m_scopes.resize(overall + 1);
    for (Scope& s : m_scopes)
        s.sums.resize(m_sumFields.size());

    m_pageHeader = prepare(m_report.pageHeader, overall);
    m_detail = prepare(m_report.detail, overall);
    m_summary = prepare(m_report.summary, overall);
    m_pageFooter = prepare(m_report.pageFooter, overall);
    for (int level = 0; level < overall; ++level) {
        m_headers.append(prepare(m_report.groups[level].header, level));
        m_footers.append(prepare(m_report.groups[level].footer, level));
    }
    m_footerTop = m_report.printableSize().height() - (m_pageFooter.prints() ? m_pageFooter.height : 0);

    QVector<QVariant> row(m_fields.size()), previous(m_fields.size());
    bool have = readRow(row);
    if (!have && !m_report.printWhenEmpty)
        return m_result;

    bool first = true;
    while (have) {
        int changed = first ? 0 : overall;
        for (int level = 0; !first && level < overall; ++level)
            if (row.at(m_groupSlots[level]) != previous.at(m_groupSlots[level])) {
                changed = level;
                break;
            }
        for (int level = overall - 1; !first && level >= changed; --level)
            if (!print(m_footers[level], previous))
                return m_result;
        if (changed < overall) {
            // The headers that open stay on the page of the row they introduce.
            qreal together = m_detail.prints() ? m_detail.height : 0;
            for (int level = changed; level < overall; ++level)
                if (m_headers[level].prints())
                    together += m_headers[level].height;
            if (!room(together, row))
                return m_result;
            for (int level = changed; level < overall; ++level) {
                openScope(level);
                if (!print(m_headers[level], row))
                    return m_result;
            }
        }
        accumulate(row);
        ++m_result.rows;
        if (!print(m_detail, row))
            return m_result;
        first = false;
        previous.swap(row);
        have = readRow(row);
    }
    const QVector<QVariant>& last = m_result.rows > 0 ? previous : row;
    for (int level = overall - 1; m_result.rows > 0 && level >= 0; --level)
        if (!print(m_footers[level], last))
            return m_result;
    if (!print(m_summary, last))
        return m_result;
    if (!m_pageOpen)
        startPage(last);
    finishPage(last);
    if (m_painter.isActive())
        m_painter.end();
    return m_result;
}

} // namespace

ReportResult RenderReport(const BandReport& report, ReportSource& source, QPagedPaintDevice& device,
                          const QDateTime& printTime, const ReportProceed& proceed)
{
    return Renderer(report, source, Target{&device, &device, 0}, printTime, proceed).run();
}

ReportResult CountReportPages(const BandReport& report, ReportSource& source, const ReportProceed& proceed)
{
    return Renderer(report, source, Target{}, QDateTime(), proceed).run();
}

QSize ReportPageSize(const BandReport& report, qreal dpi)
{
    return report.pageSize.sizePixels(qRound(dpi));
}

bool RenderReportPage(const BandReport& report, ReportSource& source, int page, QImage& image, const QDateTime& printTime)
{
    if (page < 1)
        return false;
    return Renderer(report, source, Target{&image, nullptr, page}, printTime, {}).run().pages >= page;
}

ReportResult WriteReportPdf(const BandReport& report, ReportSource& source, const QString& file,
                            const QDateTime& printTime, const ReportProceed& proceed)
{
    ReportResult result;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        result.error = QStringLiteral("Kann Datei nicht zum schreiben öffnen.\nDatei=") + QDir::toNativeSeparators(file);
        return result;
    }
    {
        QPdfWriter writer(&out);
        writer.setTitle(report.title);
        writer.setCreator(QCoreApplication::applicationName());
        writer.setResolution(600);
        result = RenderReport(report, source, writer, printTime, proceed);
    }
    if (result.pages == 0 || result.cancelled) {
        out.cancelWriting();
        return result;
    }
    if (!out.commit())
        result.error = QStringLiteral("Die Datei konnte nicht geschrieben werden.\nDatei=") + QDir::toNativeSeparators(file)
            + QLatin1Char('\n') + out.errorString();
    return result;
}
