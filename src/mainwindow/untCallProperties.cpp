#include "mainwindow/untCallProperties.h"

#include "database/Conversions.h"
#include "toolkit/DataGrid.h"
#include "mainwindow/untDialogs.h"
#include "mainwindow/untIcons.h"
#include "mainwindow/untScale.h"

#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QPolygonF>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

// A value longer than its place ends in "…" and shows whole as its tool tip, so that a long
// destination cannot widen the fixed-size form beyond its edge. text() stays the whole value.
class ValueLabel : public QLabel
{
public:
    explicit ValueLabel(QWidget* parent) : QLabel(parent)
    {
        setTextFormat(Qt::PlainText);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

    bool isCut() const { return fontMetrics().horizontalAdvance(text()) > contentsRect().width(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QRect r = contentsRect();
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, r.width());
        style()->drawItemText(&p, r, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
    }

    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::ToolTip) {
            if (isCut())
                QToolTip::showText(static_cast<QHelpEvent*>(e)->globalPos(), text(), this);
            else
                QToolTip::hideText();
            return true;
        }
        return QLabel::event(e);
    }
};

enum class NavButton { First, Prior, Next, Last };

// The navigator's arrows, drawn like the toolbar's pictures; Qt greys them itself when disabled.
QIcon navigatorIcon(NavButton button)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x3a, 0x5f));
    // The triangle points the way it moves; first and last add the bar where they stop.
    const bool back = button == NavButton::First || button == NavButton::Prior;
    const bool end = button == NavButton::First || button == NavButton::Last;
    const qreal tip = back ? (end ? 6 : 5) : (end ? 10 : 11);
    const qreal base = back ? tip + 6 : tip - 6;
    p.drawPolygon(QPolygonF({QPointF(tip, 8), QPointF(base, 3), QPointF(base, 13)}));
    if (end)
        p.drawRect(QRectF(back ? 3 : 11, 3, 2, 10));
    p.end();
    return QIcon(pixmap);
}

QFrame* separator(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// The calls' times are serial day numbers; a missing one shows nothing rather than the epoch.
QString serialText(const QVariant& value, QString (*format)(double))
{
    bool ok = false;
    const double serial = value.isNull() ? 0 : value.toDouble(&ok);
    return ok ? format(serial) : QString();
}

} // namespace

TfrmCallProperties::TfrmCallProperties(DataGrid& grid, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_grid(&grid)
{
    setObjectName(QStringLiteral("frmCallProperties"));
    setWindowTitle(QStringLiteral("Eigenschaften des Anrufs"));
    setProperty("helpContext", kHelpContext);
    setModal(true);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(DesignPx(8), DesignPx(8), DesignPx(8), DesignPx(8));
    outer->setSpacing(DesignPx(8));

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    auto* page = new QWidget(PageControl);
    page->setObjectName(QStringLiteral("tsEigenschaften"));
    PageControl->addTab(page, QStringLiteral("Eigenschaften"));
    outer->addWidget(PageControl, 1);

    auto* form = new QGridLayout(page);
    form->setContentsMargins(DesignPx(8), DesignPx(8), DesignPx(8), DesignPx(8));
    form->setHorizontalSpacing(DesignPx(6));
    form->setVerticalSpacing(DesignPx(5));

    auto* header = new QHBoxLayout;
    header->setSpacing(DesignPx(12));
    auto* icon = new QLabel(page);
    icon->setObjectName(QStringLiteral("imgAnruf"));
    const int iconSize = DesignPx(32);
    // The picture of the trees' root, "Anrufe": the same telephone stands for a call everywhere.
    icon->setPixmap(TreePictures(QStringLiteral("imglZone")).value(0).pixmap(iconSize, iconSize));
    icon->setFixedSize(iconSize, iconSize);
    auto* title = new QLabel(QStringLiteral("Anruf"), page);
    title->setObjectName(QStringLiteral("lblAnruf"));
    header->addWidget(icon);
    header->addWidget(title, 1);

    int row = 0;
    form->addLayout(header, row++, 0, 1, 4);
    form->addWidget(separator(page), row++, 0, 1, 4);

    const auto caption = [page](const char* text) { return new QLabel(QString::fromUtf8(text), page); };
    const auto value = [this, page](const char* name) {
        auto* label = new ValueLabel(page);
        label->setObjectName(QString::fromLatin1(name));
        m_values.append(label);
        return label;
    };
    // Left caption, left value, right caption, right value; a value without a right neighbour
    // takes the rest of the row.
    const auto line = [&](const char* leftCaption, QLabel* leftValue, const char* rightCaption = nullptr,
                          QLabel* rightValue = nullptr) {
        if (leftCaption)
            form->addWidget(caption(leftCaption), row, 0);
        form->addWidget(leftValue, row, 1, 1, rightValue ? 1 : 3);
        if (rightCaption)
            form->addWidget(caption(rightCaption), row, 2);
        if (rightValue)
            form->addWidget(rightValue, row, 3);
        ++row;
    };

    lbDatum = value("lbDatum");
    lbFilialeID = value("FilialeID");
    line("Datum:", lbDatum, "Filiale:", lbFilialeID);
    lbBegin = value("lbBegin");
    lbKostenstelle = value("Kostenstelle");
    line("Beginn:", lbBegin, "Kostenstelle:", lbKostenstelle);
    lbEnde = value("lbEnde");
    line("Ende:", lbEnde);
    form->addWidget(separator(page), row++, 0, 1, 4);

    lbSekunden = value("Sekunden");
    line("Dauer:", lbSekunden);
    lbBetrag = value("Betrag");
    lbBetragEuro = value("BetragEuro");
    line("Gebühren EUR:", lbBetrag, "EUR:", lbBetragEuro);
    lbRabattProz = value("lbRabattProz");
    lbRabattProz->setText(QStringLiteral("Rabattiert EUR:"));
    lbRabatt = value("lbRabatt");
    lbRabattEuro = value("lbRabattEuro");
    form->addWidget(lbRabattProz, row, 0);
    line(nullptr, lbRabatt, nullptr, lbRabattEuro);
    form->addWidget(separator(page), row++, 0, 1, 4);

    // A destination number is longer than the other values: it takes the right captions' column
    // too, and the one-letter class moves into the last column.
    lbBNummer = value("BNummer");
    lbIAS = value("IAS");
    form->addWidget(caption("Zielnummer:"), row, 0);
    form->addWidget(lbBNummer, row, 1, 1, 2);
    auto* ias = new QHBoxLayout;
    ias->setSpacing(form->horizontalSpacing());
    ias->addWidget(caption("IAS:"));
    ias->addWidget(lbIAS, 1);
    form->addLayout(ias, row++, 3);
    lbZone = value("Zone");
    line("Tarifzone:", lbZone);
    lbZiel = value("Ziel");
    line("Destination:", lbZiel);
    form->setRowStretch(row, 1);

    // Each column holds the longest usual text of its values (the discount's caption sits in the
    // captions' column); where the system's font is wider than the design font, the form widens.
    const QFontMetrics metrics = fontMetrics();
    const auto widest = [&metrics](std::initializer_list<const char*> samples) {
        int w = 0;
        for (const char* sample : samples)
            w = qMax(w, metrics.horizontalAdvance(QString::fromUtf8(sample)));
        return w + DesignPx(2);
    };
    form->setColumnMinimumWidth(0, widest({"Rabatt 100,00 %"}));
    form->setColumnMinimumWidth(1, widest({"00.00.0000", "(00.000,00)"}));
    form->setColumnMinimumWidth(3, widest({"(0.000,0000)", "KST-000000"}));
    form->setColumnStretch(1, 1);
    form->setColumnStretch(3, 1);

    auto* buttons = new QHBoxLayout;
    createNavigator();
    buttons->addWidget(navNav);
    buttons->addStretch(1);
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnOk->setAutoDefault(true);
    btnOk->setMinimumSize(DesignPx(75), DesignPx(25));
    buttons->addWidget(btnOk);
    outer->addLayout(buttons);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    // The size it was laid out for, or more where the system's fonts need it: nothing is cut.
    setFixedSize(QSize(DesignPx(344), DesignPx(308)).expandedTo(outer->minimumSize()));

    connect(&grid, &DataGrid::currentRecordChanged, this, [this](int) { triggerChange(); });
    triggerChange();
}

void TfrmCallProperties::createNavigator()
{
    navNav = new QWidget(this);
    navNav->setObjectName(QStringLiteral("navNav"));
    auto* row = new QHBoxLayout(navNav);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const auto button = [this, row](NavButton which, const char* name, const char* hint) {
        auto* b = new QToolButton(navNav);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(navigatorIcon(which));
        b->setToolTip(QString::fromUtf8(hint));
        b->setFixedSize(DesignPx(25), DesignPx(25));
        b->setFocusPolicy(Qt::TabFocus);
        row->addWidget(b);
        return b;
    };
    nbFirst = button(NavButton::First, "nbFirst", "Erster Datensatz");
    nbPrior = button(NavButton::Prior, "nbPrior", "Vorheriger Datensatz");
    nbNext = button(NavButton::Next, "nbNext", "Nächster Datensatz");
    nbLast = button(NavButton::Last, "nbLast", "Letzter Datensatz");

    connect(nbFirst, &QToolButton::clicked, this, [this] { moveTo(0); });
    connect(nbPrior, &QToolButton::clicked, this, [this] { moveTo(m_grid ? m_grid->currentRecord() - 1 : -1); });
    connect(nbNext, &QToolButton::clicked, this, [this] { moveTo(m_grid ? m_grid->currentRecord() + 1 : -1); });
    connect(nbLast, &QToolButton::clicked, this, [this] { moveTo(m_grid ? m_grid->recordCount() - 1 : -1); });
}

void TfrmCallProperties::moveTo(int record)
{
    // The grid reports the move back through currentRecordChanged, which refreshes the labels.
    if (m_grid && record >= 0 && record < m_grid->recordCount())
        m_grid->setCurrentRecord(record);
}

void TfrmCallProperties::updateNavigator(int record)
{
    const int count = m_grid ? m_grid->recordCount() : 0;
    nbFirst->setEnabled(count > 0 && record != 0);
    nbPrior->setEnabled(record > 0);
    nbNext->setEnabled(record < count - 1);
    nbLast->setEnabled(count > 0 && record != count - 1);
}

void TfrmCallProperties::triggerChange()
{
    const int record = m_grid ? m_grid->currentRecord() : -1;
    updateNavigator(record);
    // Without a record nothing is shown: the last call's values would claim a call the list no
    // longer holds.
    for (QLabel* label : m_values)
        label->clear();
    if (record < 0)
        return;

    const DataGrid& grid = *m_grid;
    const auto text = [&grid, record](const char* field) { return grid.recordText(record, QString::fromLatin1(field)); };
    const auto value = [&grid, record](const char* field) { return grid.recordValue(record, QString::fromLatin1(field)); };

    const QVariant begin = value("BeginZeit");
    lbDatum->setText(serialText(begin, FormatSerialDate));
    lbBegin->setText(serialText(begin, FormatSerialTime));
    lbEnde->setText(serialText(value("EndeZeit"), FormatSerialTime));
    lbFilialeID->setText(text("FilialeID"));
    lbKostenstelle->setText(text("Kostenstelle"));
    lbSekunden->setText(text("Sekunden"));
    lbBetrag->setText(text("Betrag"));
    lbBetragEuro->setText(text("BetragEuro"));
    lbBNummer->setText(text("BNummer"));
    lbIAS->setText(text("IAS"));
    lbZone->setText(text("Zone"));
    lbZiel->setText(text("Ziel"));

    const double rabattProz = VariantToFloat(value("RabattProz"));
    if (rabattProz > 0) {
        lbRabattProz->setText(QStringLiteral("Rabatt ") + FormatPercent(rabattProz) + QStringLiteral(" %"));
        lbRabatt->setText(QLatin1Char('(') + FormatAmount(VariantToFloat(value("Rabatt"))) + QLatin1Char(')'));
        lbRabattEuro->setText(QLatin1Char('(') + FormatEuro(VariantToFloat(value("RabattEuro"))) + QLatin1Char(')'));
    }
}

int TfrmCallProperties::execute()
{
    // A new order of the list keeps the current row but may put another call in it, and the grid
    // reports no change of the current record for that.
    triggerChange();
    return ExecDialog(*this);
}
