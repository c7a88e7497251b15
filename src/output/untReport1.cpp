#include "output/untReport1.h"

#include "database/Conversions.h"
#include "database/ReferenceLists.h"
#include "database/dmlMain.h"
#include "filter/WhereText.h"

namespace {

using Kind = ReportElement::Kind;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;

// Columns of the call lines, in units of 1/96 inch; the footers' figures end where the call
// lines' amounts end, plus the room of the currency that follows them.
constexpr qreal kNumberX = 40, kNumberW = 120;
constexpr qreal kDateX = 165, kDateW = 95;
constexpr qreal kStartX = 265, kEndX = 325, kTimeW = 55;
constexpr qreal kSecondsX = 385, kSecondsW = 50;
constexpr qreal kAtsX = 440, kAtsW = 75;
constexpr qreal kEuroX = 520, kEuroW = 80;
constexpr qreal kCostX = 610, kCostW = 108;
constexpr qreal kLine = 15;

ReportFormat serialFormat(QString (*format)(double))
{
    return [format](const QVariant& v) { return v.isNull() ? QString() : format(VariantToFloat(v)); };
}

ReportElement field(const QString& name, const QRectF& rect, const QFont& font, Qt::Alignment alignment,
                    ReportFormat format = {})
{
    ReportElement e = ReportItem(Kind::Field, QString(), rect, font, alignment);
    e.field = name;
    e.format = format ? std::move(format) : TextFormat(QString());
    return e;
}

ReportElement sum(const QString& name, const QString& fieldName, const QRectF& rect, const QFont& font,
                  const QString& picture)
{
    ReportElement e = ReportItem(Kind::Sum, name, rect, font, kRight);
    e.field = fieldName;
    e.format = PictureFormat(picture);
    return e;
}

ReportElement count(const QRectF& rect, const QFont& font)
{
    ReportElement e = ReportItem(Kind::Count, QString(), rect, font, kRight);
    e.format = [](const QVariant& v) { return QString::number(v.toLongLong()); };
    return e;
}

// A group footer's first line: its text, the calls and their amounts.
void footerLine(ReportBand& band, const ReportElement& caption, const QFont& font, const QString& sumPrefix)
{
    band.add(caption);
    band.add(count(QRectF(300, 0, 80, kLine), font));
    band.add(ReportText(QStringLiteral("Anruf(e)"), QRectF(kSecondsX, 0, kSecondsW, kLine), font));
    band.add(sum(sumPrefix + QStringLiteral("SumBetrag"), QStringLiteral("Betrag"), QRectF(kAtsX - 40, 0, kAtsW + 68, kLine),
                 font, QStringLiteral("#0.00' ATS '")));
    band.add(sum(sumPrefix + QStringLiteral("SumBetragEuro"), QStringLiteral("BetragEuro"),
                 QRectF(kEuroX + 30, 0, kEuroW + 50, kLine), font, QStringLiteral("#0.00' EUR '")));
}

} // namespace

TfrmReport1::TfrmReport1(TdmMain& dm, const NumberMask& mask) : m_dm(dm)
{
    caption = QStringLiteral("Report");
    helpContext = 500;
    BandReport& r = report;
    r.title = QStringLiteral("Einzelverbindungen  Nebenstelle / Zone / Ziel");
    const qreal width = r.printableSize().width();

    // Page header: title, condition, the extension the page goes on with, and the logo.
    r.pageHeader.height = 68;
    r.pageHeader.add(ReportText(r.title, QRectF(0, 0, 500, 22), ReportFont(12, true)));
    ReportElement where = ReportItem(Kind::Text, QStringLiteral("lblWhere"), QRectF(0, 24, width - 110, 16), ReportFont(8));
    r.pageHeader.add(where);
    r.pageHeader.add(field(QStringLiteral("Nebenstelle"), QRectF(width - 330, 46, 220, 16), ReportFont(8, true), kRight,
                           TextFormat(QStringLiteral("Nebenstelle  "))));
    ReportElement logo = ReportItem(Kind::Image, QStringLiteral("imgLogo"), QRectF(width - 100, 0, 100, 60), QFont(),
                                    Qt::AlignRight | Qt::AlignTop);
    logo.image = ReportLogo();
    r.pageHeader.add(logo);

    ReportGroup extension;
    extension.field = QStringLiteral("Nebenstelle");
    extension.header.height = 26;
    extension.header.add(field(QStringLiteral("Nebenstelle"), QRectF(0, 4, 500, 20), ReportFont(11, true), kLeft,
                               TextFormat(QStringLiteral("Nebenstelle  "))));

    ReportGroup zone;
    zone.field = QStringLiteral("Zone");
    zone.header.height = 22;
    zone.header.add(field(QStringLiteral("Zone"), QRectF(20, 2, 500, 20), ReportFont(11, true), kLeft,
                          TextFormat(QStringLiteral("Tarifzone "))));

    ReportGroup destination;
    destination.field = QStringLiteral("Ziel");
    destination.header.height = 38;
    destination.header.add(field(QStringLiteral("Ziel"), QRectF(kNumberX, 2, 500, 18), ReportFont(10, true), kLeft,
                                 TextFormat(QStringLiteral("Destination "))));
    const QFont captionFont = ReportFont(8, true);
    const qreal captionY = 22;
    destination.header.add(ReportText(QStringLiteral("Zielnummer"), QRectF(kNumberX, captionY, kNumberW, kLine), captionFont));
    destination.header.add(ReportText(QStringLiteral("Datum"), QRectF(kDateX, captionY, kDateW, kLine), captionFont));
    destination.header.add(ReportText(QStringLiteral("Start"), QRectF(kStartX, captionY, kTimeW, kLine), captionFont));
    destination.header.add(ReportText(QStringLiteral("Ende"), QRectF(kEndX, captionY, kTimeW, kLine), captionFont));
    destination.header.add(ReportText(QStringLiteral("Dauer"), QRectF(kSecondsX, captionY, kSecondsW, kLine), captionFont, kRight));
    destination.header.add(ReportText(QStringLiteral("ATS"), QRectF(kAtsX, captionY, kAtsW, kLine), captionFont, kRight));
    destination.header.add(ReportText(QStringLiteral("Euro"), QRectF(kEuroX, captionY, kEuroW, kLine), captionFont, kRight));
    destination.header.add(ReportText(QStringLiteral("Kostenstelle"), QRectF(kCostX, captionY, kCostW, kLine), captionFont));

    // One line per call.
    const QFont detailFont = ReportFont(8);
    r.detail.height = kLine;
    r.detail.add(field(QStringLiteral("BNummer"), QRectF(kNumberX, 0, kNumberW, kLine), detailFont, kLeft));
    r.detail.add(field(QStringLiteral("BeginZeit"), QRectF(kDateX, 0, kDateW, kLine), detailFont, kLeft,
                       serialFormat(FormatSerialDayDate)));
    r.detail.add(field(QStringLiteral("BeginZeit"), QRectF(kStartX, 0, kTimeW, kLine), detailFont, kLeft,
                       serialFormat(FormatSerialTime)));
    r.detail.add(field(QStringLiteral("EndeZeit"), QRectF(kEndX, 0, kTimeW, kLine), detailFont, kLeft,
                       serialFormat(FormatSerialTime)));
    r.detail.add(field(QStringLiteral("Sekunden"), QRectF(kSecondsX, 0, kSecondsW, kLine), detailFont, kRight));
    r.detail.add(field(QStringLiteral("Betrag"), QRectF(kAtsX, 0, kAtsW, kLine), detailFont, kRight,
                       PictureFormat(QStringLiteral("#0.00"))));
    r.detail.add(field(QStringLiteral("BetragEuro"), QRectF(kEuroX, 0, kEuroW, kLine), detailFont, kRight,
                       PictureFormat(QStringLiteral("#0.0000"))));
    r.detail.add(field(QStringLiteral("Kostenstelle"), QRectF(kCostX, 0, kCostW, kLine), detailFont, kLeft));

    const QFont footerFont = ReportFont(8);
    destination.footer.height = 22;
    footerLine(destination.footer,
               field(QStringLiteral("Ziel"), QRectF(kNumberX, 0, 260, kLine), footerFont, kLeft,
                     TextFormat(QStringLiteral("Zwischensumme für Zielort "), QStringLiteral(":"))),
               footerFont, QStringLiteral("exprZiel"));
    zone.footer.height = 24;
    footerLine(zone.footer,
               field(QStringLiteral("Zone"), QRectF(20, 0, 280, kLine), footerFont, kLeft,
                     TextFormat(QStringLiteral("Zwischensumme für Zone "), QStringLiteral(":"))),
               footerFont, QStringLiteral("exprZone"));

    // The extension's footer carries its discounts on a second line.
    const QFont boldFooter = ReportFont(8, true);
    extension.footer.height = 44;
    footerLine(extension.footer,
               field(QStringLiteral("Nebenstelle"), QRectF(0, 0, 300, 20), ReportFont(11, true), kLeft,
                     TextFormat(QStringLiteral("Zwischensumme für Nebenstelle "), QStringLiteral(":"))),
               boldFooter, QStringLiteral("exprNs"));
    for (ReportElement& e : extension.footer.elements)
        if (e.kind != Kind::Field)
            e.rect.moveTop(3);
    extension.footer.add(sum(QStringLiteral("exprNsSumRabatt"), QStringLiteral("Rabatt"),
                             QRectF(kAtsX - 40, 3 + kLine, kAtsW + 68, kLine), boldFooter, QStringLiteral("'('#0.00' ATS)'")));
    extension.footer.add(sum(QStringLiteral("exprNsSumRabattEuro"), QStringLiteral("RabattEuro"),
                             QRectF(kEuroX + 30, 3 + kLine, kEuroW + 50, kLine), boldFooter, QStringLiteral("'('#0.00' EUR)'")));

    r.groups = {extension, zone, destination};

    // Summary, ruled above and below.
    const QFont summaryFont = ReportFont(12, true);
    const qreal row = 22;
    r.summary.height = 6 + 3 * row + 8;
    r.summary.add(ReportRule(QRectF(0, 3, width, 0), 1.5));
    r.summary.add(ReportText(QStringLiteral("Gesamtanrufe :"), QRectF(0, 6, 200, row), summaryFont));
    r.summary.add(count(QRectF(200, 6, 110, row), summaryFont));
    r.summary.add(ReportText(QStringLiteral("Gesamtsumme :"), QRectF(0, 6 + row, 200, row), summaryFont));
    r.summary.add(sum(QStringLiteral("exprSumBetrag"), QStringLiteral("Betrag"), QRectF(200, 6 + row, 260, row), summaryFont,
                      QStringLiteral("' ',#0.00' ATS '")));
    r.summary.add(sum(QStringLiteral("exprSumBetragEuro"), QStringLiteral("BetragEuro"), QRectF(460, 6 + row, width - 460, row),
                      summaryFont, QStringLiteral("' ',#0.00' EUR '")));
    ReportElement withDiscount = ReportText(QStringLiteral("mit Rabatt :"), QRectF(0, 6 + 2 * row, 200, row), summaryFont);
    withDiscount.name = QStringLiteral("lbMitRabatt");
    r.summary.add(withDiscount);
    r.summary.add(sum(QStringLiteral("exprSumRabatt"), QStringLiteral("Rabatt"), QRectF(200, 6 + 2 * row, 260, row), summaryFont,
                      QStringLiteral("'(',#0.00' ATS)'")));
    r.summary.add(sum(QStringLiteral("exprSumRabattEuro"), QStringLiteral("RabattEuro"), QRectF(460, 6 + 2 * row, width - 460, row),
                      summaryFont, QStringLiteral("'(',#0.00' EUR)'")));
    r.summary.add(ReportRule(QRectF(0, r.summary.height - 3, width, 0), 1.5));

    // Page footer: a rule, the moment of printing and the page number.
    const QFont pageFont = ReportFont(7, false, true);
    r.pageFooter.height = 20;
    r.pageFooter.add(ReportRule(QRectF(0, 2, width, 0), 0.75));
    r.pageFooter.add(ReportPrintTime(QRectF(0, 5, 300, 14), pageFont));
    ReportElement page = ReportItem(Kind::PageNumber, QString(), QRectF(width - 100, 5, 100, 14), pageFont, kRight);
    r.pageFooter.add(page);
    r.pageFooter.add(ReportNumberMaskNote(QRectF(width / 2 - 150, 5, 300, 14), pageFont));
    setNumberMask(mask);
}

void TfrmReport1::Prepare(const QString& currentWhere)
{
    CurrentWhere = currentWhere;
    // Within a destination the calls come in the order they were made.
    sql = QStringLiteral("SELECT * FROM EGN WHERE (1=1) \r\n") + currentWhere + QStringLiteral("\r\n")
        + QStringLiteral(" ORDER BY Nebenstelle, Zone, Ziel, BeginZeit\r\n");
    lblWhere = WhereText(sql, numberMask());
    report.element(QStringLiteral("lblWhere"))->text = lblWhere;
    const bool discounts = m_dm.referenceLists().AnyZoneDiscount();
    for (const char* name : {"exprNsSumRabatt", "exprNsSumRabattEuro", "exprSumRabatt", "exprSumRabattEuro", "lbMitRabatt"})
        report.element(QLatin1String(name))->enabled = discounts;
    // Without the discount line the extension's footer needs one line only.
    report.groups[0].footer.height = discounts ? 44 : 26;
}
