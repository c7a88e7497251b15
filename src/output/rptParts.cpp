#include "output/rptParts.h"

#include "database/Conversions.h"
#include "database/RuboEngine.h"
#include "database/Worker.h"
#include "mainwindow/untDialogs.h"
#include "toolkit/ReportPreview.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>

#include <memory>

namespace {

const char kNumberMaskNote[] = "lblZielnummern";

// The rows of an open query, walked once, with the dialled number as the mask shows it.
class QuerySource : public ReportSource
{
public:
    QuerySource(RuboQuery& query, const NumberMask& mask)
        : m_query(query), m_mask(mask), m_dialled(mask.isOn() ? query.fieldIndex(QStringLiteral("BNummer")) : -1),
          m_kostenstelle(mask.needsKostenstelle() ? query.fieldIndex(QStringLiteral("Kostenstelle")) : -1)
    {
    }
    int fieldIndex(const QString& name) const override { return m_query.fieldIndex(name); }
    bool next() override
    {
        if (m_started)
            m_query.next();
        m_started = true;
        return !m_query.eof();
    }
    QVariant value(int field) const override
    {
        QVariant v = m_query.field(field);
        if (field != m_dialled || v.isNull())
            return v;
        const QString kostenstelle = m_kostenstelle >= 0 ? VariantToText(m_query.field(m_kostenstelle)) : QString();
        return m_mask.apply(VariantToText(v), kostenstelle);
    }

private:
    RuboQuery& m_query;
    const NumberMask& m_mask;
    const int m_dialled;
    const int m_kostenstelle;
    bool m_started = false;
};

QStringList fieldNames(const RuboQuery& query)
{
    QStringList names;
    for (int i = 0; i < query.fieldCount(); ++i)
        names << query.fieldName(i);
    return names;
}

// Opens the report's query, sorted as asked, and lets the report arrange itself by its fields.
void openQuery(RuboDatabase& db, RuboQuery& query, TRuboReport& report)
{
    query.setSql(report.orderKeys.isEmpty() ? report.sql : OrderedSql(db, report.sql, report.orderKeys));
    query.open();
    report.queryOpened(fieldNames(query));
}

} // namespace

void TRuboReport::setNumberMask(const NumberMask& mask)
{
    m_numberMask = mask;
    for (ReportElement& e : report.pageFooter.elements) {
        if (e.name == QLatin1String(kNumberMaskNote)) {
            e.text = mask.note();
            e.enabled = mask.isOn();
        }
    }
}

ReportElement ReportNumberMaskNote(const QRectF& rect, const QFont& font)
{
    ReportElement e = ReportItem(ReportElement::Kind::Text, QString::fromLatin1(kNumberMaskNote), rect, font, Qt::AlignCenter);
    e.enabled = false;
    return e;
}

QImage ReportLogo()
{
    // The windows' library is linked statically: its pictures are registered on first use.
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(registered);
    const QString own = QDir::current().filePath(QStringLiteral("rptLogo.bmp"));
    if (QFileInfo::exists(own)) {
        const QImage image(own);
        if (!image.isNull())
            return image;
    }
    return QImage(QStringLiteral(":/rptLogo.bmp"));
}

QFont ReportFont(qreal points, bool bold, bool italic)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

ReportFormat PictureFormat(const QString& picture)
{
    return [picture](const QVariant& v) { return v.isNull() ? QString() : FormatPicture(VariantToFloat(v), picture); };
}

ReportFormat TextFormat(const QString& before, const QString& after)
{
    return [before, after](const QVariant& v) { return before + VariantToText(v) + after; };
}

ReportElement ReportItem(ReportElement::Kind kind, const QString& name, const QRectF& rect, const QFont& font,
                         Qt::Alignment alignment)
{
    ReportElement e;
    e.kind = kind;
    e.name = name;
    e.rect = rect;
    e.font = font;
    e.alignment = alignment;
    return e;
}

ReportElement ReportText(const QString& text, const QRectF& rect, const QFont& font, Qt::Alignment alignment)
{
    ReportElement e = ReportItem(ReportElement::Kind::Text, QString(), rect, font, alignment);
    e.text = text;
    return e;
}

ReportElement ReportPrintTime(const QRectF& rect, const QFont& font)
{
    ReportElement e = ReportItem(ReportElement::Kind::PrintDateTime, QString(), rect, font);
    e.format = [](const QVariant& v) { return FormatSerialDateTime(DateTimeToSerial(v.toDateTime())); };
    return e;
}

ReportElement ReportRule(const QRectF& rect, qreal width, const QColor& color, Qt::PenStyle style)
{
    ReportElement e = ReportItem(ReportElement::Kind::Rule, QString(), rect, QFont());
    e.lineWidth = width;
    e.color = color;
    e.lineStyle = style;
    return e;
}

ReportResult WriteReportFile(RuboDatabase& db, TRuboReport& report, const QString& file, const ReportProceed& proceed)
{
    RuboQuery query(db);
    openQuery(db, query, report);
    QuerySource source(query, report.numberMask());
    return WriteReportPdf(report.report, source, file, QDateTime::currentDateTime(), proceed);
}

std::shared_ptr<ReportRows> ReadReportRows(RuboDatabase& db, TRuboReport& report,
                                           const std::function<bool(qint64 rows)>& proceed)
{
    RuboQuery query(db);
    openQuery(db, query, report);
    auto rows = std::make_shared<ReportRows>(report.report.fields());
    QuerySource source(query, report.numberMask());
    return rows->fill(source, proceed) ? rows : nullptr;
}

bool ShowReportPreview(QWidget* parent, const QString& databaseFile, TRuboReport& report)
{
    // The rows are read once on a worker; the preview lays its pages out from memory, as often
    // as it needs them (on opening, for printing).
    auto store = std::make_shared<ReportRows>();
    QString failure;
    bool done = false;
    {
        QEventLoop loop;
        QProgressDialog progress(QStringLiteral("Der Report wird erstellt ..."), QStringLiteral("Abbrechen"), 0, 0, parent);
        progress.setWindowTitle(report.caption);
        progress.setWindowModality(Qt::ApplicationModal);
        progress.setMinimumDuration(400);
        RuboWorker worker(databaseFile);   // gone before the progress window: nothing arrives late
        QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] {
            worker.cancel();
            loop.quit();
        });
        worker.run(
            // The window waits in its loop meanwhile and does not touch the report.
            [&](RuboJob& job) {
                std::shared_ptr<ReportRows> rows = ReadReportRows(job.db(), report, [&job, &progress](qint64 read) {
                    job.deliver([&progress, read] {
                        progress.setLabelText(QStringLiteral("Der Report wird erstellt ... %1 Zeilen").arg(read));
                    });
                    return job.wanted();
                });
                if (!rows)
                    return;
                job.deliver([&, rows] {
                    store = rows;
                    done = true;
                    loop.quit();
                });
            },
            [&](const QString& message) {
                failure = message;
                loop.quit();
            });
        loop.exec();
        progress.reset();
    }
    if (!failure.isEmpty()) {
        ShowMessageOkBox(parent, failure, RuboUi::MsgKind::Error);
        return false;
    }
    if (!done)
        return false;

    ReportPreview preview(report.report, store, parent);
    preview.setWindowTitle(report.caption);
    preview.setProperty("helpContext", report.helpContext);
    preview.setObjectName(QStringLiteral("preview"));
    preview.showMessage = [&preview](const QString& text) { ShowMessageOkBox(&preview, text, RuboUi::MsgKind::Information); };
    preview.askPdfFile = [&preview]() -> QString {
        QString filter = QStringLiteral("PDF-Dateien (*.pdf)");
        const QString file = GetSaveFileName(&preview, QStringLiteral("Report als PDF speichern"), QDir::currentPath(),
                                             {filter, QStringLiteral("Alle Dateien (*)")}, filter, QStringLiteral("pdf"));
        if (file.isEmpty())
            return {};
        if (QFileInfo::exists(file) && !ShowAskYesNoBox(&preview, QStringLiteral("Datei existiert bereits.\nÜberschreiben ?")))
            return {};
        return file;
    };
    ExecDialog(preview);
    return true;
}
