#include "output/rptGroup.h"

#include "database/ReferenceLists.h"
#include "database/dmlMain.h"
#include "filter/WhereText.h"

namespace {

using Kind = ReportElement::Kind;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;

struct GroupingColumn
{
    const char* field;
    const char* caption;
    qreal slot;
};

// The columns a grouping may select, each with the room it takes from the left.
const GroupingColumn kGroupingColumns[] = {
    {"Kostenstelle", "Kostenstelle", 80}, {"Nebenstelle", "Nebenstelle", 80}, {"Zone", "Zone", 150},
    {"Ziel", "Ziel", 180},                {"IAS", "IAS", 40},                 {"FilialeID", "Filiale", 60}};

// The figures stand at fixed places on the right, whatever the grouping.
constexpr qreal kCountX = 350, kCountW = 70;
constexpr qreal kSumX = 425, kSumW = 100;
constexpr qreal kEuroX = 530, kEuroW = 105;
constexpr qreal kSecondsX = 640, kSecondsW = 78;
constexpr qreal kLine = 14;

struct Figure
{
    const char* field;
    qreal x, width;
    int line;
    const char* picture;
    const char* column;   // the row's element
    const char* total;    // the summary's
};

const Figure kFigures[] = {
    {"Anzahl", kCountX, kCountW, 0, ",0", "qrColAnzahl", "exprSumAnzahl"},
    {"SumBetrag", kSumX, kSumW, 0, ",#0.00' '", "qrColSumBetrag", "exprSumBetrag"},
    {"SumEuro", kEuroX, kEuroW, 0, ",#0.0000' '", "qrColSumEuro", "exprSumEuro"},
    {"SumSekunden", kSecondsX, kSecondsW, 0, ",0", "qrColSumSekunden", "exprSumSekunden"},
    {"SumRabatt", kSumX, kSumW, 1, "'(',#0.00')'", "qrColSumRabatt", "exprSumRabatt"},
    {"SumRabattEuro", kEuroX, kEuroW, 1, "'(',#0.0000')'", "qrColSumRabattEuro", "exprSumRabattEuro"}};

QString columnName(const char* field) { return QStringLiteral("qrCol") + QLatin1String(field); }
QString captionName(const char* field) { return QStringLiteral("lbl") + QLatin1String(field); }

ReportElement figure(Kind kind, const QString& name, const QString& field, const QRectF& rect, const QFont& font,
                     const QString& picture)
{
    ReportElement e = ReportItem(kind, name, rect, font, kRight);
    e.field = field;
    e.format = PictureFormat(picture);
    return e;
}

} // namespace

TqrGroup::TqrGroup(TdmMain& dm, const QString& sumsSql, const NumberMask& mask)
{
    caption = QStringLiteral("Summenreport");
    helpContext = 550;
    sql = sumsSql;
    BandReport& r = report;
    r.title = QStringLiteral("Summenreport");
    r.printWhenEmpty = true;
    const qreal width = r.printableSize().width();

    // Page header: title, condition, logo, and the captions, ruled below.
    const QFont captionFont = ReportFont(8);
    r.pageHeader.height = 92;
    r.pageHeader.add(ReportText(r.title, QRectF(0, 0, 400, 18), ReportFont(10, true)));
    r.pageHeader.add(ReportItem(Kind::Text, QStringLiteral("lblWhere"), QRectF(0, 20, width - 110, 18), ReportFont(10)));
    ReportElement logo = ReportItem(Kind::Image, QStringLiteral("imgLogo"), QRectF(width - 100, 0, 100, 60), QFont(),
                                    Qt::AlignRight | Qt::AlignTop);
    logo.image = ReportLogo();
    r.pageHeader.add(logo);
    const qreal captionY = 70;
    for (const GroupingColumn& c : kGroupingColumns) {
        ReportElement label = ReportText(QLatin1String(c.caption), QRectF(4, captionY, c.slot - 3, kLine), captionFont);
        label.name = captionName(c.field);
        r.pageHeader.add(label);
    }
    r.pageHeader.add(ReportText(QStringLiteral("Anzahl"), QRectF(kCountX, captionY, kCountW, kLine), captionFont, kRight));
    r.pageHeader.add(ReportText(QStringLiteral("Summe"), QRectF(kSumX, captionY, kSumW, kLine), captionFont, kRight));
    r.pageHeader.add(ReportText(QStringLiteral("Euro"), QRectF(kEuroX, captionY, kEuroW, kLine), captionFont, kRight));
    r.pageHeader.add(ReportText(QStringLiteral("Sekunden"), QRectF(kSecondsX, captionY, kSecondsW, kLine), captionFont, kRight));
    r.pageHeader.add(ReportRule(QRectF(0, 88, width, 0), 2));

    // One or two lines per row.
    const QFont detailFont = ReportFont(8);
    r.detail.height = 37;
    for (const GroupingColumn& c : kGroupingColumns) {
        ReportElement value = ReportItem(Kind::Field, columnName(c.field), QRectF(4, 4, c.slot - 3, kLine), detailFont, kLeft);
        value.field = QLatin1String(c.field);
        value.format = TextFormat(QString());
        r.detail.add(value);
    }
    // "qrColIASPrint": the class of the zone in words; "Ausland" takes a hair more than the
    // column and may run into the gap that parts the columns.
    r.element(columnName("IAS"))->elide = false;
    r.element(columnName("IAS"))->format = [](const QVariant& v) {
        const QString ias = v.toString();
        if (ias == QLatin1String("I"))
            return QStringLiteral("Inland");
        if (ias == QLatin1String("A"))
            return QStringLiteral("Ausland");
        if (ias == QLatin1String("S"))
            return QStringLiteral("Sonst");
        return ias;
    };
    // Summary, ruled above and below.
    r.summary.height = 44;
    r.summary.add(ReportRule(QRectF(0, 2, width, 0), 1));
    r.summary.add(ReportText(QStringLiteral("Summen"), QRectF(4, 6, 200, 16), ReportFont(10, true)));
    // Each figure of a row, with its total under the rows; the discounts on a second line.
    for (const Figure& f : kFigures) {
        r.detail.add(figure(Kind::Field, QLatin1String(f.column), QLatin1String(f.field),
                            QRectF(f.x, 4 + f.line * kLine, f.width, kLine), detailFont, QLatin1String(f.picture)));
        r.summary.add(figure(Kind::Sum, QLatin1String(f.total), QLatin1String(f.field),
                             QRectF(f.x, 7 + f.line * kLine, f.width, kLine), detailFont, QLatin1String(f.picture)));
    }
    r.summary.add(ReportRule(QRectF(0, 41, width, 0), 1));

    // Page footer, grey under a dotted grey rule.
    const QColor grey(0x70, 0x70, 0x70);
    r.pageFooter.height = 22;
    r.pageFooter.add(ReportRule(QRectF(0, 2, width, 0), 1, grey, Qt::DotLine));
    ReportElement printed = ReportPrintTime(QRectF(0, 5, 300, 14), ReportFont(8));
    printed.color = grey;
    r.pageFooter.add(printed);
    ReportElement pageLabel = ReportText(QStringLiteral("Seite:"), QRectF(width - 100, 5, 60, 14), ReportFont(6), kRight);
    pageLabel.color = grey;
    r.pageFooter.add(pageLabel);
    ReportElement page = ReportItem(Kind::PageNumber, QString(), QRectF(width - 36, 5, 36, 14), ReportFont(6), kRight);
    page.color = grey;
    r.pageFooter.add(page);
    ReportElement note = ReportNumberMaskNote(QRectF(width / 2 - 150, 5, 300, 14), ReportFont(8));
    note.color = grey;
    r.pageFooter.add(note);
    setNumberMask(mask);

    if (!dm.referenceLists().AnyZoneDiscount()) {
        r.detail.height = 23;
        for (const char* name : {"qrColSumRabatt", "qrColSumRabattEuro", "exprSumRabatt", "exprSumRabattEuro"})
            r.element(QLatin1String(name))->enabled = false;
    }
    lblWhere = WhereText(sql, numberMask());
    r.element(QStringLiteral("lblWhere"))->text = lblWhere;
    // Until the query is open no grouping column is known.
    queryOpened({});
}

void TqrGroup::queryOpened(const QStringList& fields)
{
    for (const GroupingColumn& c : kGroupingColumns) {
        report.element(columnName(c.field))->enabled = false;
        report.element(captionName(c.field))->enabled = false;
    }
    qreal x = 4;
    for (const QString& f : fields)
        for (const GroupingColumn& c : kGroupingColumns)
            if (f.compare(QLatin1String(c.field), Qt::CaseInsensitive) == 0) {
                for (ReportElement* e : {report.element(columnName(c.field)), report.element(captionName(c.field))}) {
                    e->enabled = true;
                    e->rect.moveLeft(x);
                    e->rect.setWidth(c.slot - 3);
                }
                report.element(columnName(c.field))->field = f;
                x += c.slot;
            }
}
