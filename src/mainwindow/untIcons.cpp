#include "mainwindow/untIcons.h"

#include "database/NumberMask.h"

#include <QApplication>
#include <QHash>
#include <QLibraryInfo>
#include <QLinearGradient>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QTranslator>

#include <functional>

namespace {

// One calm palette for every picture, so the toolbar and the trees read as one family.
const QColor kNavy(0x1f, 0x3a, 0x5f);
const QColor kNavyLight(0x3d, 0x5a, 0x80);
const QColor kTeal(0x2a, 0x9d, 0x8f);
const QColor kTealDark(0x1d, 0x72, 0x68);
const QColor kOrange(0xe7, 0x6f, 0x51);
const QColor kAmber(0xf4, 0xa2, 0x61);
const QColor kPaper(0xf8, 0xfa, 0xfc);
const QColor kLine(0x8a, 0x9b, 0xb0);

// Every picture is drawn in a 16 by 16 design box; coordinates on .5 keep 1-unit lines crisp at 16.
using Drawing = std::function<void(QPainter&)>;

QPixmap render(const Drawing& draw, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    return pm;
}

QIcon iconOf(const Drawing& draw, std::initializer_list<int> sizes = {16, 24, 32, 48})
{
    QIcon icon;
    for (int s : sizes)
        icon.addPixmap(render(draw, s));
    return icon;
}

// True when drawing at 16 or 24 pixels, where fine detail only turns into grey noise.
bool isSmall(const QPainter& p)
{
    return p.transform().m11() < 1.6;
}

QPen pen(const QColor& c, qreal w = 1.0)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// The handset alone, lying from upper left (ear) to lower right (mouth).
void handset(QPainter& p, const QColor& fill, const QRectF& box)
{
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width() / 16.0, box.height() / 16.0);
    QPainterPath path;
    path.moveTo(2.0, 3.2);
    path.lineTo(4.6, 1.6);
    path.lineTo(6.8, 5.2);
    path.lineTo(5.2, 6.6);
    path.cubicTo(5.6, 8.2, 7.8, 10.4, 9.4, 10.8);
    path.lineTo(10.8, 9.2);
    path.lineTo(14.4, 11.4);
    path.lineTo(12.8, 14.0);
    path.cubicTo(7.0, 14.6, 1.4, 9.0, 2.0, 3.2);
    path.closeSubpath();
    p.setPen(pen(fill.darker(140), 0.8));
    p.setBrush(fill);
    p.drawPath(path);
    p.restore();
}

// Desk telephone: the root of every tree, "Anrufe".
void drawTelephone(QPainter& p)
{
    QPainterPath body;
    body.moveTo(4.5, 7.0);
    body.lineTo(11.5, 7.0);
    body.lineTo(14.5, 13.0);
    body.quadTo(14.5, 14.5, 13.0, 14.5);
    body.lineTo(3.0, 14.5);
    body.quadTo(1.5, 14.5, 1.5, 13.0);
    body.closeSubpath();
    p.setPen(pen(kNavy.darker(130), 0.8));
    p.setBrush(kNavy);
    p.drawPath(body);

    // Handset resting on the cradle.
    QPainterPath hs;
    hs.moveTo(1.0, 6.0);
    hs.quadTo(1.0, 2.0, 8.0, 2.0);
    hs.quadTo(15.0, 2.0, 15.0, 6.0);
    hs.lineTo(11.6, 6.6);
    hs.lineTo(11.0, 4.8);
    hs.quadTo(8.0, 4.2, 5.0, 4.8);
    hs.lineTo(4.4, 6.6);
    hs.closeSubpath();
    p.setPen(pen(kTealDark, 0.8));
    p.setBrush(kTeal);
    p.drawPath(hs);

    // Dial.
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(8.0, 10.8), 2.4, 2.4);
    p.setBrush(kOrange);
    p.drawEllipse(QPointF(8.0, 10.8), 0.9, 0.9);
}

// Map pin: the call's target, "Ziel".
void drawZiel(QPainter& p)
{
    QPainterPath pin;
    pin.moveTo(8.0, 15.2);
    pin.cubicTo(6.5, 12.0, 2.8, 9.0, 2.8, 6.0);
    pin.arcTo(QRectF(2.8, 0.8, 10.4, 10.4), 180.0, -180.0);
    pin.cubicTo(13.2, 9.0, 9.5, 12.0, 8.0, 15.2);
    pin.closeSubpath();
    p.setPen(pen(kOrange.darker(140), 0.8));
    p.setBrush(kOrange);
    p.drawPath(pin);
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(8.0, 6.0), 2.3, 2.3);
    p.setBrush(kNavy);
    p.drawEllipse(QPointF(8.0, 6.0), 1.0, 1.0);
}

// Handset with a number badge: the extension, "Nebenstelle".
void drawNebenstelle(QPainter& p)
{
    handset(p, kTeal, QRectF(-0.5, -0.5, 14.0, 14.0));
    QRectF badge(8.5, 0.5, 7.0, 7.0);
    p.setPen(pen(kNavy.darker(130), 0.6));
    p.setBrush(kNavy);
    p.drawRoundedRect(badge, 1.6, 1.6);
    // A hash sign reads as "a number" even at 16 pixels, where digits would blur.
    p.setPen(pen(kPaper, 0.8));
    p.drawLine(QPointF(11.0, 1.9), QPointF(10.5, 6.1));
    p.drawLine(QPointF(13.5, 1.9), QPointF(13.0, 6.1));
    p.drawLine(QPointF(9.7, 3.3), QPointF(14.4, 3.3));
    p.drawLine(QPointF(9.6, 4.8), QPointF(14.3, 4.8));
}

// Price tag with a coin: the cost centre, "Kostenstelle".
void drawKostenstelle(QPainter& p)
{
    QPainterPath tag;
    tag.moveTo(1.5, 3.0);
    tag.quadTo(1.5, 1.5, 3.0, 1.5);
    tag.lineTo(8.2, 1.5);
    tag.lineTo(14.6, 7.9);
    tag.quadTo(15.2, 8.5, 14.6, 9.1);
    tag.lineTo(9.1, 14.6);
    tag.quadTo(8.5, 15.2, 7.9, 14.6);
    tag.lineTo(1.5, 8.2);
    tag.closeSubpath();
    p.setPen(pen(kAmber.darker(150), 0.8));
    p.setBrush(kAmber);
    p.drawPath(tag);
    p.setPen(pen(kAmber.darker(150), 0.8));
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(4.6, 4.6), 1.3, 1.3);
    // Coin on the tag.
    p.setPen(pen(kNavy.darker(130), 0.7));
    p.setBrush(kNavyLight);
    p.drawEllipse(QPointF(9.6, 9.6), 2.6, 2.6);
    // Euro sign.
    p.setPen(pen(kPaper, 0.7));
    QPainterPath euro;
    euro.arcMoveTo(QRectF(8.0, 8.0, 3.4, 3.4), 50.0);
    euro.arcTo(QRectF(8.0, 8.0, 3.4, 3.4), 50.0, 260.0);
    p.drawPath(euro);
    p.drawLine(QPointF(7.6, 9.2), QPointF(10.0, 9.2));
    p.drawLine(QPointF(7.6, 10.2), QPointF(10.0, 10.2));
}

// Globe with one highlighted section: the tariff zone, "Zone".
void drawZone(QPainter& p)
{
    const QPointF c(8.0, 8.0);
    const qreal r = 6.8;
    p.setPen(Qt::NoPen);
    p.setBrush(kTeal);
    p.drawEllipse(c, r, r);
    // The zone: one orange sector of the globe.
    QPainterPath sector;
    sector.moveTo(c);
    sector.arcTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 10.0, 80.0);
    sector.closeSubpath();
    p.setBrush(kOrange);
    p.drawPath(sector);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(kPaper, 0.7));
    p.drawEllipse(c, r * 0.42, r);
    p.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
    if (!isSmall(p))
        p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
    if (!isSmall(p)) {
        p.drawLine(QPointF(2.4, 4.6), QPointF(13.6, 4.6));
        p.drawLine(QPointF(2.4, 11.4), QPointF(13.6, 11.4));
    }
    p.setPen(pen(kTealDark, 0.9));
    p.drawEllipse(c, r, r);
}

// Flag on a pole: the inland / abroad class.
void drawFlag(QPainter& p)
{
    p.setPen(pen(kNavy, 1.4));
    p.drawLine(QPointF(2.5, 1.5), QPointF(2.5, 15.0));
    QPainterPath cloth;
    cloth.moveTo(3.2, 2.0);
    cloth.cubicTo(6.0, 0.8, 9.0, 3.6, 14.5, 2.0);
    cloth.lineTo(14.5, 10.0);
    cloth.cubicTo(9.0, 11.6, 6.0, 8.8, 3.2, 10.0);
    cloth.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kTeal);
    p.drawPath(cloth);
    // Lower half orange: two classes, inland and abroad.
    p.save();
    p.setClipPath(cloth);
    p.setBrush(kOrange);
    QPainterPath lower;
    lower.moveTo(2.0, 6.0);
    lower.cubicTo(6.0, 4.8, 9.0, 7.6, 15.0, 6.0);
    lower.lineTo(15.0, 12.0);
    lower.lineTo(2.0, 12.0);
    lower.closeSubpath();
    p.drawPath(lower);
    p.restore();
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(kTealDark, 0.7));
    p.drawPath(cloth);
}

// Office building: the branch, "Filiale".
void drawFiliale(QPainter& p)
{
    p.setPen(pen(kNavy.darker(130), 0.8));
    p.setBrush(kNavy);
    p.drawRect(QRectF(2.5, 2.5, 8.0, 12.5));
    p.setBrush(kNavyLight);
    p.drawRect(QRectF(10.5, 6.5, 4.0, 8.5));
    p.setPen(Qt::NoPen);
    p.setBrush(kAmber);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 2; ++col)
            p.drawRect(QRectF(4.0 + col * 3.0, 4.0 + row * 2.7, 2.0, 1.6));
    p.setBrush(kPaper);
    p.drawRect(QRectF(11.7, 8.0, 1.6, 1.4));
    p.drawRect(QRectF(11.7, 10.8, 1.6, 1.4));
    p.setBrush(kTeal);
    p.drawRect(QRectF(5.5, 12.2, 2.0, 2.8));
    p.setPen(pen(kNavy.darker(150), 1.0));
    p.drawLine(QPointF(1.0, 15.0), QPointF(15.0, 15.0));
}

// An open folder.
void drawOpen(QPainter& p)
{
    QPainterPath back;
    back.moveTo(1.5, 13.5);
    back.lineTo(1.5, 3.5);
    back.quadTo(1.5, 2.5, 2.5, 2.5);
    back.lineTo(5.8, 2.5);
    back.lineTo(7.3, 4.0);
    back.lineTo(12.5, 4.0);
    back.quadTo(13.5, 4.0, 13.5, 5.0);
    back.lineTo(13.5, 13.5);
    back.closeSubpath();
    p.setPen(pen(kAmber.darker(160), 0.8));
    p.setBrush(kAmber.darker(115));
    p.drawPath(back);
    // A sheet peeking out.
    p.setBrush(kPaper);
    p.setPen(pen(kLine, 0.6));
    p.drawRect(QRectF(3.5, 5.0, 8.0, 6.0));
    QPainterPath front;
    front.moveTo(1.5, 13.5);
    front.lineTo(3.6, 7.5);
    front.lineTo(15.2, 7.5);
    front.lineTo(13.5, 13.5);
    front.closeSubpath();
    p.setPen(pen(kAmber.darker(160), 0.8));
    p.setBrush(kAmber);
    p.drawPath(front);
}

// A small table with a teal header row; used by export and by the application icon.
void drawTable(QPainter& p, const QRectF& r, int rows, int cols)
{
    p.setPen(pen(kLine, 0.7));
    p.setBrush(kPaper);
    p.drawRoundedRect(r, 1.0, 1.0);
    const qreal rowH = r.height() / (rows + 1);
    p.setPen(Qt::NoPen);
    p.setBrush(kTeal);
    QPainterPath header;
    header.addRoundedRect(r, 1.0, 1.0);
    p.save();
    p.setClipRect(QRectF(r.left(), r.top(), r.width(), rowH));
    p.drawPath(header);
    p.restore();
    p.setPen(pen(kLine, 0.5));
    for (int i = 2; i <= rows; ++i)
        p.drawLine(QPointF(r.left(), r.top() + i * rowH), QPointF(r.right(), r.top() + i * rowH));
    for (int j = 1; j < cols; ++j) {
        const qreal x = r.left() + j * r.width() / cols;
        p.drawLine(QPointF(x, r.top() + rowH), QPointF(x, r.bottom()));
    }
    p.setPen(pen(kLine, 0.7));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r, 1.0, 1.0);
}

void drawExport(QPainter& p)
{
    drawTable(p, QRectF(1.5, 1.5, 10.5, 12.0), 4, 3);
    // Arrow leaving the table.
    QPainterPath arrow;
    arrow.moveTo(7.0, 10.0);
    arrow.lineTo(11.0, 10.0);
    arrow.lineTo(11.0, 7.6);
    arrow.lineTo(15.3, 11.5);
    arrow.lineTo(11.0, 15.4);
    arrow.lineTo(11.0, 13.0);
    arrow.lineTo(7.0, 13.0);
    arrow.closeSubpath();
    p.setPen(pen(kOrange.darker(150), 0.7));
    p.setBrush(kOrange);
    p.drawPath(arrow);
}

// A page with a folded corner.
void drawPage(QPainter& p)
{
    QPainterPath page;
    page.moveTo(2.5, 1.5);
    page.lineTo(10.0, 1.5);
    page.lineTo(13.5, 5.0);
    page.lineTo(13.5, 14.5);
    page.lineTo(2.5, 14.5);
    page.closeSubpath();
    p.setPen(pen(kLine.darker(120), 0.8));
    p.setBrush(kPaper);
    p.drawPath(page);
    QPainterPath fold;
    fold.moveTo(10.0, 1.5);
    fold.lineTo(10.0, 5.0);
    fold.lineTo(13.5, 5.0);
    p.setBrush(QColor(0xdd, 0xe3, 0xea));
    p.drawPath(fold);
}

void drawCallReport(QPainter& p)
{
    drawPage(p);
    p.setPen(pen(kNavyLight, 1.0));
    p.drawLine(QPointF(4.5, 4.0), QPointF(8.5, 4.0));
    p.drawLine(QPointF(4.5, 6.5), QPointF(11.5, 6.5));
    p.drawLine(QPointF(4.5, 9.0), QPointF(11.5, 9.0));
    p.drawLine(QPointF(4.5, 11.5), QPointF(7.0, 11.5));
    handset(p, kOrange, QRectF(7.0, 8.0, 9.0, 8.0));
}

void drawSumsReport(QPainter& p)
{
    drawPage(p);
    // The sigma as strokes, crisp at every size, independent of the installed fonts.
    QPainterPath sigma;
    sigma.moveTo(11.0, 5.5);
    sigma.lineTo(5.0, 5.5);
    sigma.lineTo(8.4, 9.0);
    sigma.lineTo(5.0, 12.5);
    sigma.lineTo(11.0, 12.5);
    p.setPen(pen(kTealDark, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(sigma);
}

// A person with a tag: the cost centres window.
void drawCostCentres(QPainter& p)
{
    p.setPen(pen(kNavy.darker(130), 0.8));
    p.setBrush(kNavy);
    p.drawEllipse(QPointF(6.0, 4.6), 3.0, 3.0);
    QPainterPath body;
    body.moveTo(0.8, 15.0);
    body.cubicTo(0.8, 9.5, 11.2, 9.5, 11.2, 15.0);
    body.closeSubpath();
    p.drawPath(body);
    QPainterPath tag;
    tag.moveTo(9.0, 8.8);
    tag.lineTo(12.6, 8.8);
    tag.lineTo(15.4, 11.7);
    tag.lineTo(12.6, 14.6);
    tag.lineTo(9.0, 14.6);
    tag.closeSubpath();
    p.setPen(pen(kAmber.darker(160), 0.8));
    p.setBrush(kAmber);
    p.drawPath(tag);
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(12.6, 11.7), 0.9, 0.9);
}

enum class Concept { Telephone, Ziel, Nebenstelle, Kostenstelle, Zone, Flag, Filiale };

Drawing drawingOf(Concept c)
{
    switch (c) {
    case Concept::Telephone: return drawTelephone;
    case Concept::Ziel: return drawZiel;
    case Concept::Nebenstelle: return drawNebenstelle;
    case Concept::Kostenstelle: return drawKostenstelle;
    case Concept::Zone: return drawZone;
    case Concept::Flag: return drawFlag;
    case Concept::Filiale: return drawFiliale;
    }
    return drawTelephone;
}

void drawApplicationIcon(QPainter& p, int size)
{
    // Small sizes drop grid lines that would only turn grey at one pixel.
    const int rows = size < 24 ? 3 : 5;
    const int cols = size < 24 ? 2 : 3;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawRoundedRect(QRectF(2.6, 2.6, 12.4, 12.4), 1.2, 1.2);
    drawTable(p, QRectF(1.5, 1.5, 12.4, 12.4), rows, cols);
    handset(p, kNavy, QRectF(3.5, 3.5, 12.5, 12.5));
}

} // namespace

QIcon ToolbarIcon(ToolbarPicture picture)
{
    switch (picture) {
    case ToolbarPicture::Open: return iconOf(drawOpen);
    case ToolbarPicture::Export: return iconOf(drawExport);
    case ToolbarPicture::CallReport: return iconOf(drawCallReport);
    case ToolbarPicture::SumsReport: return iconOf(drawSumsReport);
    case ToolbarPicture::Filialen: return iconOf(drawFiliale);
    case ToolbarPicture::Kostenstellen: return iconOf(drawCostCentres);
    }
    return QIcon();
}

QList<QIcon> TreePictures(const QString& pictureList)
{
    using C = Concept;
    static const QHash<QString, QList<Concept>> lists = {
        {QStringLiteral("imglDestination"), {C::Telephone, C::Ziel, C::Nebenstelle}},
        {QStringLiteral("imglKostenstellen"), {C::Telephone, C::Kostenstelle, C::Nebenstelle, C::Zone}},
        {QStringLiteral("imglKostenzone"), {C::Telephone, C::Kostenstelle, C::Zone, C::Nebenstelle}},
        {QStringLiteral("imglZone"), {C::Telephone, C::Zone, C::Ziel, C::Nebenstelle}},
        {QStringLiteral("imglInlandAusland"), {C::Telephone, C::Flag, C::Zone, C::Ziel, C::Nebenstelle}},
        {QStringLiteral("imglNebenstelle"), {C::Telephone, C::Nebenstelle, C::Zone, C::Ziel}},
        {QStringLiteral("imglFilialen"), {C::Telephone, C::Filiale, C::Nebenstelle, C::Zone}},
        {QStringLiteral("imglFilialeKosten"), {C::Telephone, C::Filiale, C::Kostenstelle, C::Zone, C::Nebenstelle}},
    };
    const auto it = lists.constFind(pictureList);
    const QList<Concept>& concepts = it != lists.constEnd() ? *it : lists[QStringLiteral("imglFilialeKosten")];
    QList<QIcon> icons;
    for (Concept c : concepts)
        icons << iconOf(drawingOf(c));
    return icons;
}

QPixmap LogoPixmap(const QSize& size)
{
    if (size.isEmpty())
        return QPixmap();
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF r(0, 0, size.width(), size.height());
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0.0, kNavy);
    g.setColorAt(1.0, kTeal);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    const qreal radius = qMin(r.width(), r.height()) * 0.12;
    p.drawRoundedRect(r, radius, radius);
    // Orange rule under the text, the palette's accent.
    p.setBrush(kOrange);
    p.drawRect(QRectF(r.width() * 0.12, r.height() * 0.78, r.width() * 0.76, qMax(1.0, r.height() * 0.06)));

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    const QString text = QStringLiteral("DRAVIK");
    // Largest pixel size that fits both ways.
    int px = qMax(4, int(r.height() * 0.55));
    for (; px > 4; --px) {
        font.setPixelSize(px);
        const QFontMetricsF fm(font);
        if (fm.horizontalAdvance(text) <= r.width() * 0.86 && fm.height() <= r.height() * 0.75)
            break;
    }
    font.setPixelSize(px);
    p.setFont(font);
    p.setPen(kPaper);
    p.drawText(QRectF(0, 0, r.width(), r.height() * 0.8), Qt::AlignCenter, text);
    return pm;
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int s : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(render([s](QPainter& p) { drawApplicationIcon(p, s); }, s));
    return icon;
}

QString ProgramTitle()
{
    return QStringLiteral("DRAVIK Einzelverbindungsaufschlüsselung");
}

void SetupApplication(QApplication& app)
{
    QApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
    QApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganisation));
    // No display name: the platform would append it to every title ("Information — DRAVIK ...").
    // Whoever needs the program's name, an about box or the main window, takes ProgramTitle().
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3.%4")
                                            .arg(RUBO_VERSION_MAJOR)
                                            .arg(RUBO_VERSION_MINOR)
                                            .arg(RUBO_VERSION_RELEASE)
                                            .arg(RUBO_VERSION_BUILD));
    QApplication::setWindowIcon(ApplicationIcon());

    // The user's regional settings win; only a bare C/POSIX environment gets German formats.
    if (QLocale::system().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    // The program speaks German whatever the system language, so Qt's own buttons must too.
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalog : {"qtbase", "qt"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(QLatin1String(catalog) + QLatin1String("_de"), dir))
            QApplication::installTranslator(translator);
        else
            delete translator;
    }
}
