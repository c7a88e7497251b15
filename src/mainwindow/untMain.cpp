#include "mainwindow/untMain.h"

#include "database/Conversions.h"
#include "toolkit/DataGrid.h"
#include "toolkit/SqlPagedModel.h"
#include "mainwindow/Gruppierung.h"
#include "import/ImportDriver.h"
#include "import/Recalculation.h"
#include "database/Messages.h"
#include "database/RuboError.h"
#include "database/SqlText.h"
#include "database/dmlMain.h"
#include "mainwindow/untHelp.h"
#include "mainwindow/untIcons.h"
#include "mainwindow/untDialogs.h"
#include "output/rptGroup.h"
#include "output/untExport.h"
#include "output/untInfo.h"
#include "output/untReport1.h"
#include "filter/untFilter.h"
#include "referencedata/untFilialen.h"
#include "referencedata/untKostenstellen.h"
#include "referencedata/untLoaded.h"
#include "referencedata/untZonenrabatte.h"
#include "mainwindow/untCallProperties.h"
#include "mainwindow/untOptionen.h"
#include "mainwindow/untScale.h"
#include "mainwindow/untGruppeModel.h"
#include "database/Worker.h"

#include <QAbstractItemView>
#include <QAction>
#include <QEventLoop>
#include <QProgressDialog>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHash>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QShortcutEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QTextDocument>
#include <QTime>
#include <QToolBar>
#include <QToolTip>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

TfrmMain* frmMain = nullptr;

namespace {

// Panel 0 takes the width the other panels leave, down to its own minimum; the others keep their
// widths, and those beyond a narrow window are cut off at its right edge instead of making the
// window wider.
class StatusPanelStrip : public QWidget
{
public:
    explicit StatusPanelStrip(QWidget* parent) : QWidget(parent) { setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed); }

    // The first panel added is panel 0: `width` is what its texts need, `minimum` its least width.
    void addPanel(QLabel* label, int width, int minimum = 0)
    {
        if (m_panels.isEmpty())
            m_firstMinimum = qMin(minimum, width);
        m_panels.append({label, width});
        updateGeometry();
    }
    QSize sizeHint() const override
    {
        int w = 0, h = 0;
        for (const auto& p : m_panels) {
            w += p.second + kGap;
            h = qMax(h, p.first->sizeHint().height());
        }
        return {w, h};
    }
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

protected:
    void resizeEvent(QResizeEvent*) override
    {
        int others = 0;
        for (int i = 1; i < m_panels.size(); ++i)
            others += m_panels.at(i).second + kGap;
        int x = 0;
        for (int i = 0; i < m_panels.size(); ++i) {
            const int w = i == 0 ? qMax(m_firstMinimum, width() - others - kGap) : m_panels.at(i).second;
            m_panels.at(i).first->setGeometry(x, 0, w, height());
            x += w + kGap;
        }
    }

private:
    static constexpr int kGap = 2;
    QList<QPair<QLabel*, int>> m_panels;
    int m_firstMinimum = 0;
};

// A status text longer than its panel ends in "…" instead of being cut off mid-word; the whole
// text stays the label's text, for the status bar's tooltip and its double click.
class StatusPanelLabel : public QLabel
{
public:
    explicit StatusPanelLabel(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        const QRect r = contentsRect();
        if (fontMetrics().horizontalAdvance(text()) <= r.width()) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        drawFrame(&painter);
        style()->drawItemText(&painter, r, int(alignment()), palette(), isEnabled(),
                              fontMetrics().elidedText(text(), Qt::ElideRight, r.width()), foregroundRole());
    }
};

bool isOwnedBy(const QObject* object, const QObject* owner)
{
    for (; object; object = object->parent())
        if (object == owner)
            return true;
    return false;
}

QString dateTimeText(const QVariant& v)
{
    return FormatSerialDateTime(v.toDouble());
}

std::function<QString(const QVariant&)> picture(const QString& pattern)
{
    return [pattern](const QVariant& v) {
        bool ok = false;
        const double d = v.toDouble(&ok);
        return ok ? FormatPicture(d, pattern) : v.toString();
    };
}

constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;

GridColumn column(const char* field, const char* caption, int width, bool visible, Qt::Alignment alignment = kLeft)
{
    GridColumn c;
    c.field = QString::fromLatin1(field);
    c.caption = QString::fromUtf8(caption);
    c.width = width;
    c.visible = visible;
    c.alignment = alignment;
    return c;
}

QList<GridColumn> detailColumns()
{
    return {
        column("Nebenstelle", "", 70, true, kRight),
        column("BNummer", "", 120, true),
        column("BeginZeit", "BeginnZeit", 110, true),
        column("Sekunden", "", 40, true, kRight),
        column("Betrag", "Betrag Euro", 70, true, kRight),
        column("ZoneCode", "", 40, false, kRight),
        column("Zone", "", 140, true),
        column("Ziel", "", 140, true),
        column("IAS", "", 30, false),
        column("Kostenstelle", "", 50, true),
        column("FilialeID", "", -1, true),
        column("GZ", "", 30, true),
        column("EndeZeit", "", 110, true),
        column("BetragEuro", "EuroBetrag", 70, true, kRight),
        column("ANummer", "", 130, true),
        column("RabattProz", "", 40, false, kRight),
        column("Rabatt", "", 70, false, kRight),
        column("RabattEuro", "", 70, false, kRight),
        column("DateiID", "", 60, false, kRight),
        column("UniqueCallID", "CallID", 200, false),
        column("Nebenstelle1", "1 Nebenstelle", 25, false),
        column("Nebenstelle2", "2 Nebenstelle", 30, false),
        column("Nebenstelle3", "3 Nebenstelle", 35, false),
        column("Nebenstelle4", "4 Nebenstelle", 40, false),
        column("Nebenstelle5", "5 Nebenstellen", 45, false),
        column("Nebenstelle6", "6 Nebenstellen", 50, false),
    };
}

const char* const kGroupKeyColumns[] = {"FilialeID", "Kostenstelle", "Nebenstelle", "Zone", "Ziel", "IAS"};

QList<GridColumn> groupColumns()
{
    return {
        column("FilialeID", "", 60, true),
        column("Kostenstelle", "", 90, true),
        column("Nebenstelle", "", 80, true),
        column("Zone", "", 110, true),
        column("IAS", "", 30, true),
        column("Ziel", "", 110, true),
        column("SumSekunden", "", 95, true, kRight),
        column("SumBetrag", "", 75, true, kRight),
        column("SumEuro", "", 70, true, kRight),
        column("Anzahl", "", 50, true, kRight),
        column("SumRabatt", "", -1, true),
        column("SumRabattEuro", "", -1, true),
    };
}

} // namespace

TfrmMain::TfrmMain(TdmMain& dm, QWidget* parent) : QMainWindow(parent), m_dm(dm)
{
    frmMain = this;
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(ProgramTitle());
    setProperty("helpContext", 100);
    setContextMenuPolicy(Qt::PreventContextMenu);

    qryDetails = new SqlPagedModel(this);
    qryGroup = new SqlPagedModel(this);
    qryGroup->setHoldAllRows(true);
    for (auto* worker : {&m_treeWorker, &m_totalsWorker, &m_sumsWorker, &m_detailsWorker, &m_pagesWorker}) {
        *worker = std::make_unique<RuboWorker>(m_dm.databaseFile());
        // After the last result, once the worker counts itself idle.
        connect(worker->get(), &RuboWorker::finished, this, [this] { QTimer::singleShot(0, this, [this] { updateBusyCursor(); }); });
    }

    createMenus();
    createToolBar();
    createPanels();
    createStatusBar();
    setupGrids();
    frmCallProperties = new TfrmCallProperties(*grdDetails, this);
    frmFilter = new TfrmFilter(m_dm, this);
    connect(frmFilter, &TfrmFilter::listsReset, this, [this] { closeLists(); });
    frmExport = new TfrmExport(m_dm, *this);

    // The window is as wide as the status texts of a million calls need, where the screen has room.
    // The strip's width is not in the bar's hint, as it gives way in a narrower window.
    const QWidget* strip = statusBar()->findChild<QWidget*>(QStringLiteral("StatusPanels"));
    QSize initial = DesignSize(790, 580).expandedTo(QSize(statusBar()->sizeHint().width() + strip->sizeHint().width(), 0));
    if (const QScreen* s = screen()) {
        const QRect available = s->availableGeometry();
        initial = initial.boundedTo(available.size());
        QRect r(QPoint(), initial);
        r.moveCenter(available.center());
        move(r.topLeft());
    }
    resize(initial);

    setStatusText(QString());
    for (const Gruppierung& g : Gruppierungen())
        cboGruppierung->addItem(g.text);
    cboGruppierung->setCurrentIndex(-1);
    // The open list shows the longest grouping in full even where the closed list cuts it.
    cboGruppierung->view()->setMinimumWidth(cboGruppierung->view()->sizeHintForColumn(0) + 24);
    mnuGrdDetailsGruppieren->setChecked(grdDetails->isGroupingPanelVisible());
    panelInfo->hide();
    FilterWhere.clear();
    setOutputCommandsEnabled(false);

    connect(qryDetails, &SqlPagedModel::openChanged, this, [this](bool open) { setOutputCommandsEnabled(open); });
    // Even the first page of a node may have to be searched for among millions of calls.
    qryDetails->setPageReader([this](quint64 token, int page, const QString& sql) {
        m_pagesWorker->run(
            [this, token, page, sql](RuboJob& job) {
                RuboRows rows = ReadAllRows(job.db(), sql);
                job.deliver([this, token, page, rows = std::move(rows)]() mutable {
                    qryDetails->deliverPage(token, page, std::move(rows.rows));
                });
            },
            [this](const QString& message) { listFailed(message); });
        updateBusyCursor();
    });
}

TfrmMain::~TfrmMain()
{
    // Each worker stops its statement and ends its thread before the window is gone.
    m_treeWorker.reset();
    m_totalsWorker.reset();
    m_sumsWorker.reset();
    m_detailsWorker.reset();
    m_pagesWorker.reset();
    if (m_busyCursor)
        QApplication::restoreOverrideCursor();
    m_treeHandlerAttached = false;
    if (RuboUi::current() == this)
        RuboUi::install(nullptr);
    if (frmMain == this)
        frmMain = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Construction

void TfrmMain::createMenus()
{
    auto item = [this](QMenu* menu, const char* caption, const char* hint, const QKeySequence& shortcut = {}) {
        QAction* a = menu->addAction(QString::fromUtf8(caption));
        if (hint)
            a->setToolTip(QString::fromUtf8(hint));
        else
            a->setToolTip(QString());
        a->setShortcut(shortcut);
        return a;
    };

    QMenu* datei = menuBar()->addMenu(QStringLiteral("&Datei"));
    datei->setToolTipsVisible(true);
    mnuOeffnen = item(datei, "&Laden...", "Laden einer externen Datei.", QKeySequence(Qt::CTRL | Qt::Key_L));
    mnuSaveAs = item(datei, "Speichern &unter...", "Sichern der internen DB unter einen anderen Namen");
    mnuLoeschen = item(datei, "Lö&schen...", "Lösche alle Einträge der internen DB");
    datei->addSeparator();
    mnuBeenden = item(datei, "&Beenden", nullptr);

    QMenu* ansicht = menuBar()->addMenu(QStringLiteral("&Ansicht"));
    ansicht->setToolTipsVisible(true);
    mnuLoaded = item(ansicht, "Geladene &Dateien...", "Anzeige aller geladenen Dateien.", QKeySequence(Qt::ALT | Qt::Key_D));
    mnuGrdDetailsGruppieren =
        item(ansicht, "&Gruppierung anzeigen", "Anzeige der Spaltengruppierung", QKeySequence(Qt::ALT | Qt::Key_G));
    mnuGrdDetailsColSelect =
        item(ansicht, "Spalten &auswählen", "Auswahl der angezeigten Felder.", QKeySequence(Qt::ALT | Qt::Key_C));
    mnuShowInfo = item(ansicht, "&Summen anzeigen", "Anzeige einer Summenfunktion.", QKeySequence(Qt::ALT | Qt::Key_S));
    for (QAction* a : {mnuGrdDetailsGruppieren, mnuGrdDetailsColSelect, mnuShowInfo})
        a->setCheckable(true);

    QMenu* extras = menuBar()->addMenu(QStringLiteral("E&xtras"));
    extras->setToolTipsVisible(true);
    mnuExport = item(extras, "&Export...", "Exportieren der angezeigten EGN's.", QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuFilter = item(extras, "&Filtern...", "Eingabe eines Filters für die EGN's.", QKeySequence(Qt::CTRL | Qt::Key_F));
    mnuFilialen = item(extras, "F&ilialen...", "Zuordnen von ANummern zu Filialen.", QKeySequence(Qt::CTRL | Qt::Key_I));
    mnuKostenstellen =
        item(extras, "&Kostenstellen...", "Zuordnen von Nebenstellen zu Kostenstellen.", QKeySequence(Qt::CTRL | Qt::Key_K));
    mnuZonenrabatte = item(extras, "Zonenrabatte...", nullptr, QKeySequence(Qt::CTRL | Qt::Key_Z));
    QMenu* reports = extras->addMenu(QStringLiteral("Reports"));
    reports->setToolTipsVisible(true);
    mnuReportEGN = item(reports, "&Einzelgesprächs-Report...", nullptr);
    mnuReportGroup = item(reports, "&Summen-Report...", nullptr);
    extras->addSeparator();
    mnuOptionen = item(extras, "&Optionen...", "Einstellungen, z. B. gekürzte Zielnummern.");

    QMenu* hilfe = menuBar()->addMenu(QStringLiteral("&?"));
    mnuInfo = item(hilfe, "&Info...", nullptr);
    mnuHilfe = item(hilfe, "&Hilfe", nullptr);

    connect(mnuOeffnen, &QAction::triggered, this, [this] { mnuOeffnenClick(); });
    connect(mnuSaveAs, &QAction::triggered, this, [this] { mnuSaveAsClick(); });
    connect(mnuLoeschen, &QAction::triggered, this, [this] { mnuLoeschenClick(); });
    connect(mnuBeenden, &QAction::triggered, this, [this] { mnuBeendenClick(); });
    connect(mnuLoaded, &QAction::triggered, this, [this] { mnuLoadedClick(); });
    connect(mnuGrdDetailsGruppieren, &QAction::toggled, this, [this](bool on) { grdDetails->setGroupingPanelVisible(on); });
    connect(mnuGrdDetailsColSelect, &QAction::triggered, this, [this](bool on) { toggleColumnChooser(on); });
    connect(mnuShowInfo, &QAction::toggled, this, [this](bool on) { panelInfo->setVisible(on); });
    connect(mnuExport, &QAction::triggered, this, [this] { mnuExportClick(); });
    connect(mnuFilter, &QAction::triggered, this, [this] { mnuFilterClick(); });
    connect(mnuFilialen, &QAction::triggered, this, [this] { mnuFilialenClick(); });
    connect(mnuKostenstellen, &QAction::triggered, this, [this] { mnuKostenstellenClick(); });
    connect(mnuZonenrabatte, &QAction::triggered, this, [this] { mnuZonenrabatteClick(); });
    connect(mnuReportEGN, &QAction::triggered, this, [this] { mnuReportEGNClick(); });
    connect(mnuReportGroup, &QAction::triggered, this, [this] { mnuReportGroupClick(); });
    connect(mnuOptionen, &QAction::triggered, this, [this] { mnuOptionenClick(); });
    connect(mnuInfo, &QAction::triggered, this, [this] { mnuInfoClick(); });
    connect(mnuHilfe, &QAction::triggered, this, [this] { mnuHilfeClick(); });

    // Alt+D is both "&Datei" and the shortcut of "Geladene &Dateien...": Qt sends such a key to
    // either owner in turn, flagged as ambiguous, and neither acts. The item's shortcut goes first,
    // as on Windows; the event filter sees the key whichever owner it is sent to.
    qApp->installEventFilter(this);
}

void TfrmMain::createToolBar()
{
    QToolBar* ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("panelToolbar"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(DesignSize(16, 16));
    ToolBar1->setMinimumHeight(DesignPx(36));

    auto button = [ToolBar1](ToolbarPicture picture, const char* hint) {
        QAction* a = ToolBar1->addAction(ToolbarIcon(picture), QString());
        a->setToolTip(QString::fromUtf8(hint));
        if (QWidget* b = ToolBar1->widgetForAction(a))
            b->setMinimumSize(DesignSize(24, 24));
        return a;
    };
    tbtnOpenDatabase = button(ToolbarPicture::Open, "Laden einer externen Datei.");
    ToolBar1->addSeparator();
    tbtnExcel = button(ToolbarPicture::Export, "Export");
    tbtnReport = button(ToolbarPicture::CallReport, "Einzelgesprächs-Report");
    tbtnSummen = button(ToolbarPicture::SumsReport, "Summen-Report");
    ToolBar1->addSeparator();
    tbtnFilialen = button(ToolbarPicture::Filialen, "Zuordnen von ANummern zu Filialen.");
    tbtnKostenstellen = button(ToolbarPicture::Kostenstellen, "Zuordnen von Nebenstellen zu Kostenstellen.");

    auto* spacer = new QWidget(ToolBar1);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ToolBar1->addWidget(spacer);
    ImageLogo = new QLabel(ToolBar1);
    ImageLogo->setObjectName(QStringLiteral("ImageLogo"));
    ImageLogo->setFixedSize(DesignSize(63, 30));
    ImageLogo->setScaledContents(true);
    ImageLogo->setPixmap(LogoPixmap(ImageLogo->size()));
    ToolBar1->addWidget(ImageLogo);

    connect(tbtnOpenDatabase, &QAction::triggered, this, [this] { mnuOeffnenClick(); });
    connect(tbtnExcel, &QAction::triggered, this, [this] { tbtnExcelClick(); });
    connect(tbtnReport, &QAction::triggered, this, [this] { mnuReportEGNClick(); });
    connect(tbtnSummen, &QAction::triggered, this, [this] { mnuReportGroupClick(); });
    connect(tbtnFilialen, &QAction::triggered, this, [this] { mnuFilialenClick(); });
    connect(tbtnKostenstellen, &QAction::triggered, this, [this] { mnuKostenstellenClick(); });

    m_outputCommands = {mnuExport, mnuReportEGN, mnuReportGroup, tbtnExcel, tbtnReport, tbtnSummen};
}

void TfrmMain::createPanels()
{
    Splitter2 = new QSplitter(Qt::Horizontal, this);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setHandleWidth(DesignPx(8));
    Splitter2->setChildrenCollapsible(false);

    panelLeft = new QFrame(Splitter2);
    panelLeft->setObjectName(QStringLiteral("panelLeft"));
    panelLeft->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    panelLeft->setMinimumWidth(DesignPx(155));
    auto* leftLayout = new QVBoxLayout(panelLeft);
    leftLayout->setContentsMargins(2, 2, 2, 2);
    leftLayout->setSpacing(2);

    auto* pnlGruppe = new QWidget(panelLeft);
    pnlGruppe->setObjectName(QStringLiteral("pnlGruppe"));
    pnlGruppe->setMinimumSize(DesignSize(150, 42));
    auto* gruppeLayout = new QVBoxLayout(pnlGruppe);
    gruppeLayout->setContentsMargins(0, 0, 0, 0);
    gruppeLayout->setSpacing(2);
    Label1 = new QLabel(QStringLiteral("Bitte eine Gruppierung auswählen."), pnlGruppe);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    cboGruppierung = new QComboBox(pnlGruppe);
    cboGruppierung->setObjectName(QStringLiteral("cboGruppierung"));
    cboGruppierung->setEditable(false);
    cboGruppierung->setMaxVisibleItems(12);
    cboGruppierung->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboGruppierung->setMinimumContentsLength(10);
    gruppeLayout->addWidget(Label1);
    gruppeLayout->addWidget(cboGruppierung);
    leftLayout->addWidget(pnlGruppe);

    trvGruppe = new QTreeView(panelLeft);
    trvGruppe->setObjectName(QStringLiteral("trvGruppe"));
    mdlGruppe = new TGruppeModel(trvGruppe);
    trvGruppe->setModel(mdlGruppe);
    trvGruppe->setHeaderHidden(true);
    trvGruppe->setIndentation(19);
    trvGruppe->setUniformRowHeights(true);
    trvGruppe->setIconSize(QSize(16, 16));
    trvGruppe->setEditTriggers(QAbstractItemView::NoEditTriggers);
    trvGruppe->setSelectionMode(QAbstractItemView::SingleSelection);
    // Long zone and destination names scroll sideways instead of being cut.
    trvGruppe->header()->setStretchLastSection(false);
    trvGruppe->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    leftLayout->addWidget(trvGruppe, 1);

    panelRight = new QWidget(Splitter2);
    panelRight->setObjectName(QStringLiteral("panelRight"));
    panelRight->setMinimumWidth(DesignPx(155));
    auto* rightLayout = new QVBoxLayout(panelRight);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    splitterInfo = new QSplitter(Qt::Vertical, panelRight);
    splitterInfo->setObjectName(QStringLiteral("splitterInfo"));
    splitterInfo->setHandleWidth(DesignPx(9));
    splitterInfo->setChildrenCollapsible(false);
    grdDetails = new DataGrid(splitterInfo);
    grdDetails->setObjectName(QStringLiteral("grdDetails"));
    grdDetails->setMinimumHeight(DesignPx(70));
    panelInfo = new QWidget(splitterInfo);
    panelInfo->setObjectName(QStringLiteral("panelInfo"));
    panelInfo->setMinimumHeight(DesignPx(70));
    auto* infoLayout = new QVBoxLayout(panelInfo);
    infoLayout->setContentsMargins(0, 0, 0, 0);
    grdGroup = new DataGrid(panelInfo);
    grdGroup->setObjectName(QStringLiteral("grdGroup"));
    infoLayout->addWidget(grdGroup);
    splitterInfo->setStretchFactor(0, 1);
    splitterInfo->setStretchFactor(1, 0);
    splitterInfo->setSizes({DesignPx(400), DesignPx(135)});
    rightLayout->addWidget(splitterInfo);

    Splitter2->setStretchFactor(0, 0);
    Splitter2->setStretchFactor(1, 1);
    Splitter2->setSizes({DesignPx(180), DesignPx(602)});
    setCentralWidget(Splitter2);

    connect(cboGruppierung, QOverload<int>::of(&QComboBox::activated), this, [this](int) { cboGruppierungChange(); });
    connect(trvGruppe->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (m_treeHandlerAttached)
            trvGruppeChange(current);
    });
}

void TfrmMain::createStatusBar()
{
    static const int widths[kStatusPanelCount] = {200, 90, 90, 90, 90, 100, 100, 50};
    // The longest texts of a million calls; the design's widths were made for fewer. Panel 0's
    // longest usual text decides the window's width; an import's result may still be longer.
    static const char* const samples[kStatusPanelCount] = {
        "Sortierung bei mehr als 20000 Einträgen nicht möglich.",
        "0000000 Anrufe",
        "Dauer: 000000:00:00",
        "EUR: 0.000.000,00",
        "EUR: 0.000.000,00",
        "rbt.ATS: 0.000.000,00",
        "rbt.EUR: 0.000.000,00",
        "",
    };
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(false);
    bar->setMinimumHeight(DesignPx(18));
    bar->setToolTipDuration(4000);
    // The hint is how a cut status text is read, also while another window has the focus.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    const QFontMetrics fm(bar->font());
    // A frame on either side and half an "x" of air at either end of the text.
    const int padding = 2 + fm.horizontalAdvance(QLatin1Char('x'));
    auto* strip = new StatusPanelStrip(bar);
    strip->setObjectName(QStringLiteral("StatusPanels"));
    for (int i = 0; i < kStatusPanelCount; ++i) {
        auto* label = new StatusPanelLabel(strip);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        const bool plain = StatusPanel(i) == StatusPanel::Text || StatusPanel(i) == StatusPanel::Reserve;
        label->setFrameStyle(plain ? QFrame::NoFrame : (QFrame::Panel | QFrame::Sunken));
        label->setAlignment(plain ? kLeft : Qt::AlignCenter);
        strip->addPanel(label, FitPx(widths[i], fm, {QString::fromUtf8(samples[i])}, padding), DesignPx(widths[i]));
        m_panels[i] = label;
    }
    bar->addWidget(strip, 1);
}

void TfrmMain::setupGrids()
{
    // The design's widths, scaled; a column still gets what its caption needs, and what its values
    // need for a million calls: the sums of all calls, a date and time.
    const QString dateTime = QStringLiteral("00.00.0000 00:00:00");
    const QHash<QString, QString> widestValue = {
        {QStringLiteral("BeginZeit"), dateTime},           {QStringLiteral("EndeZeit"), dateTime},
        {QStringLiteral("SumSekunden"), QStringLiteral("0000000000")},
        {QStringLiteral("SumBetrag"), QStringLiteral("0000000,00")},
        {QStringLiteral("SumRabatt"), QStringLiteral("0000000,00")},
        {QStringLiteral("SumEuro"), QStringLiteral("0000000,0000")},
        {QStringLiteral("SumRabattEuro"), QStringLiteral("0000000,0000")},
        {QStringLiteral("Anzahl"), QStringLiteral("0000000")},
    };
    const auto fitted = [&widestValue](DataGrid* grid, QList<GridColumn> columns) {
        grid->setDefaultColumnWidth(DesignPx(DataGrid::kDefaultColumnWidth));
        const QTableView* view = grid->view();
        const QHeaderView* header = view->horizontalHeader();
        // What a header section keeps beside its caption, plain and as a filter colours it.
        const auto headerMargin = [header] {
            QStyleOptionHeader section;
            section.initFrom(header);
            section.orientation = Qt::Horizontal;
            section.rect = QRect(0, 0, 1000, header->sizeHint().height());
            return 1000 - header->style()->subElementRect(QStyle::SE_HeaderLabel, &section, header).width();
        };
        const int plainMargin = headerMargin();
        grid->setHeaderColors(QColor(0, 128, 128), QColor(Qt::white));
        const int captionMargin = std::max(plainMargin, headerMargin());
        grid->setHeaderColors(QColor(), QColor());
        const QFontMetrics captionMetrics(header->font());
        const QFontMetrics cellMetrics(view->font());
        // The cell's text margins as the style draws them, and the grid line.
        const int cellPadding = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1) + 1;
        for (GridColumn& c : columns) {
            const int design = c.width < 0 ? DataGrid::kDefaultColumnWidth : c.width;
            const int width = std::max(FitPx(design, cellMetrics, {widestValue.value(c.field)}, cellPadding),
                                       FitPx(design, captionMetrics, {c.caption.isEmpty() ? c.field : c.caption}, captionMargin));
            c.width = c.width < 0 && width == grid->defaultColumnWidth() ? -1 : width;
        }
        return columns;
    };
    grdDetails->setColumns(fitted(grdDetails, detailColumns()));
    const QString amount = QStringLiteral("###,##0.00");
    const QString euro = QStringLiteral("##,##0.0000");
    qryDetails->setFormatter(QStringLiteral("Betrag"), picture(amount));
    qryDetails->setFormatter(QStringLiteral("Rabatt"), picture(amount));
    qryDetails->setFormatter(QStringLiteral("BetragEuro"), picture(euro));
    qryDetails->setFormatter(QStringLiteral("RabattEuro"), picture(euro));
    qryDetails->setFormatter(QStringLiteral("RabattProz"), picture(QStringLiteral("###0.00#")));
    qryDetails->setFormatter(QStringLiteral("BeginZeit"), dateTimeText);
    qryDetails->setFormatter(QStringLiteral("EndeZeit"), dateTimeText);
    setNumberMask(LoadNumberMask());
    grdDetails->setModel(qryDetails);
    grdDetails->setGroupingPanelHint(QStringLiteral("Zum Gruppieren ziehen Sie eine Spaltenüberschrift hierher."));

    grdGroup->setColumns(fitted(grdGroup, groupColumns()));
    const QString sum = QStringLiteral("#######0.00");
    const QString sumEuro = QStringLiteral("#######0.0000");
    qryGroup->setFormatter(QStringLiteral("SumBetrag"), picture(sum));
    qryGroup->setFormatter(QStringLiteral("SumRabatt"), picture(sum));
    qryGroup->setFormatter(QStringLiteral("SumEuro"), picture(sumEuro));
    qryGroup->setFormatter(QStringLiteral("SumRabattEuro"), picture(sumEuro));
    grdGroup->setModel(qryGroup);

    grdDetails->setKeyField(QStringLiteral("ID"));
    // Each grid stores its layout as it is destroyed.
    const QString organisation = QString::fromLatin1(kSettingsOrganisation);
    const QString application = QString::fromLatin1(kSettingsApplication);
    grdDetails->keepLayoutIn(organisation, application, QStringLiteral("grdDetails"));
    grdGroup->keepLayoutIn(organisation, application, QStringLiteral("grdGroup"));

    connect(grdDetails, &DataGrid::columnClicked, this, [this](const QString& field) { grdDetailsColumnClick(field); });
    // However the chooser ends, the menu's check mark follows it.
    connect(grdDetails, &DataGrid::columnChooserClosed, this, [this] { mnuGrdDetailsColSelect->setChecked(false); });
    connect(grdDetails, &DataGrid::rowDoubleClicked, this, [this](int) { grdDetailsDblClick(); });
    connect(grdDetails, &DataGrid::groupingChanged, this, [this](const QStringList& fields) { grdDetailsGroupingChange(fields); });
    // The sums list is small and held whole, so it sorts without a limit.
    connect(grdGroup, &DataGrid::columnClicked, this, [this](const QString& field) {
        grdGroup->sortByClick(field, QGuiApplication::keyboardModifiers() & Qt::ShiftModifier);
        applyGroupOrder();
    });
}

void TfrmMain::applyGroupOrder()
{
    // The sums list was read on a worker: it is read there again, in the new order.
    if (qryGroup->isOpen())
        startSums();
}

void TfrmMain::grdDetailsGroupingChange(const QStringList& fields)
{
    // Until the list is counted the grid keeps the grouping; the count then decides.
    if (m_detailRows < 0)
        return;
    // Group rows need every row in memory, as sorting does, and so the same limit.
    if (!fields.isEmpty() && !EnableSorting(true)) {
        grdDetails->setGroupedFields({});
        return;
    }
    applyDetailOrder();
}

void TfrmMain::applyDetailOrder()
{
    // Sorted or grouped, the list is read whole, on a worker: even a few calls may have to be
    // searched among millions.
    if (!qryDetails->isOpen() || (grdDetails->orderKeys().isEmpty() && !qryDetails->holdAllRows()))
        return;
    readWhole(*m_detailsWorker, *qryDetails, qryDetails->sql(), *grdDetails, {});
}

void TfrmMain::readWhole(RuboWorker& worker, SqlPagedModel& list, const QString& sql, const DataGrid& grid,
                         std::function<void()> then)
{
    const QList<QPair<QString, Qt::SortOrder>> keys = grid.orderKeys();
    worker.run(
        [this, &list, sql, keys, then](RuboJob& job) {
            RuboRows rows = ReadAllRows(job.db(), sql, keys);
            job.deliver([&list, sql, then, rows = std::move(rows)]() mutable {
                list.setRows(sql, rows.orderBy, rows.fields, std::move(rows.rows));
                if (then)
                    then();
            });
        },
        [this](const QString& message) { listFailed(message); });
    updateBusyCursor();
}

// ---------------------------------------------------------------------------------------------
// RuboUi

void TfrmMain::setStatusPanel(StatusPanel panel, const QString& text)
{
    const int index = int(panel);
    if (index < 0 || index >= kStatusPanelCount)
        return;
    panelLabel(panel)->setText(text);
    QString hint = panelLabel(StatusPanel::Text)->text();
    for (StatusPanel p : {StatusPanel::Anrufe, StatusPanel::Dauer, StatusPanel::Betrag, StatusPanel::BetragEuro,
                          StatusPanel::Rabatt, StatusPanel::RabattEuro}) {
        const QString t = panelLabel(p)->text();
        if (!t.isEmpty())
            hint += QStringLiteral(" .. ") + t;
    }
    m_hint = hint;
    statusBar()->setToolTip(m_hint);
}

void TfrmMain::clearStatusPanels()
{
    for (int i = 0; i < kStatusPanelCount; ++i)
        setStatusPanel(StatusPanel(i), QString());
}

void TfrmMain::messageOk(const QString& text, MsgKind kind)
{
    ShowMessageOkBox(this, text, kind);
}

bool TfrmMain::askYesNo(const QString& text)
{
    return ShowAskYesNoBox(this, text);
}

void TfrmMain::processEvents()
{
    QCoreApplication::processEvents();
}

void TfrmMain::setWaitCursor(bool on)
{
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

QString TfrmMain::statusPanel(StatusPanel panel) const
{
    const int index = int(panel);
    return index >= 0 && index < kStatusPanelCount ? panelLabel(panel)->text() : QString();
}

QString TfrmMain::statusHint() const
{
    return m_hint;
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    // Installed on the application: the cheap test of the event's type comes first.
    switch (event->type()) {
    case QEvent::Shortcut: {
        const auto* shortcut = static_cast<QShortcutEvent*>(event);
        if (!shortcut->isAmbiguous() || !isOwnedBy(watched, this))
            break;
        // One enabled item of this window with the key wins over a menu title's Alt+letter;
        // two items with one key stay ambiguous.
        QAction* item = nullptr;
        for (QAction* a : findChildren<QAction*>()) {
            if (!a->isEnabled() || !a->shortcuts().contains(shortcut->key()))
                continue;
            if (item)
                return QMainWindow::eventFilter(watched, event);
            item = a;
        }
        if (!item)
            break;
        item->trigger();
        return true;
    }
    case QEvent::MouseButtonDblClick:
        if (watched == statusBar()) {
            StatusBarDblClick();
            return true;
        }
        break;
    case QEvent::ToolTip:
        if (watched == statusBar()) {
            // As plain text a long hint stays one line and runs off the screen: it wraps at half
            // the screen's width instead, and stays long enough to be read.
            const auto* help = static_cast<QHelpEvent*>(event);
            const int wrapWidth = (screen() ? screen()->availableGeometry().width() : 1024) / 2;
            QString tip = Qt::convertFromPlainText(m_hint, Qt::WhiteSpacePre);
            if (QFontMetrics(QToolTip::font()).horizontalAdvance(m_hint) > wrapWidth)
                tip = QStringLiteral("<table width=\"%1\"><tr><td>%2</td></tr></table>").arg(wrapWidth).arg(m_hint.toHtmlEscaped());
            if (m_hint.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), tip, statusBar(), QRect(),
                                   std::max(statusBar()->toolTipDuration(), 50 * int(m_hint.size())));
            return true;
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::StatusBarDblClick()
{
    QString text;
    for (int i = 0; i < kStatusPanelCount; ++i)
        text += panelLabel(StatusPanel(i))->text() + QLatin1Char('\n');
    messageOk(text, MsgKind::Information);
}

// ---------------------------------------------------------------------------------------------
// Grouping tree

void TfrmMain::clearTree()
{
    detachTreeHandler();
    m_treeWorker->cancel();
    mdlGruppe->setTree(nullptr, {});
    m_treeGrouping.clear();
    updateBusyCursor();
}

namespace {

QString knotenText(int counter, int total)
{
    return QStringLiteral("Knoten ") + QString::number(counter) + QStringLiteral(" von ") + QString::number(total);
}

} // namespace

void TfrmMain::cboGruppierungChange()
{
    const Gruppierung* g = FindGruppierung(cboGruppierung->currentText());
    if (!g)
        return;
    clearStatusPanels();
    setStatusText(QStringLiteral("Abfrage gestartet"));
    // The tree shown stays usable while the new one is read; its nodes keep their own grouping.
    const QString filter = FilterWhere;
    m_treeWorker->run(
        [this, g, filter](RuboJob& job) {
            QElapsedTimer sinceStatus;
            sinceStatus.start();
            auto tree = std::make_shared<const GruppeTree>(ReadGruppeTree(job.db(), *g, filter, [&](int done, int total) {
                // One status text per row would cost more than the tree itself; the last one is exact.
                if (total > 0 && sinceStatus.elapsed() >= 100) {
                    job.deliver([this, done, total] { setStatusText(knotenText(done, total)); });
                    sinceStatus.restart();
                }
                return job.wanted();
            }));
            if (!tree->cancelled())
                job.deliver([this, g, tree] { showTree(*g, tree); });
        },
        [this](const QString& message) {
            // The tree keeps the nodes it had; the list names their grouping again.
            cboGruppierung->setCurrentIndex(cboGruppierung->findText(m_treeGrouping));
            updateBusyCursor();
            messageOk(message, MsgKind::Information);
        });
    updateBusyCursor();
}

void TfrmMain::showTree(const Gruppierung& g, std::shared_ptr<const GruppeTree> tree)
{
    detachTreeHandler();
    QVector<QIcon> icons;
    const QList<QIcon> pictures = TreePictures(g.pictureList);
    for (int k = 0; k < pictures.size(); ++k) {
        // The selected node always shows the root's picture.
        QIcon icon;
        for (QIcon::State state : {QIcon::Off, QIcon::On}) {
            icon.addPixmap(pictures.at(k).pixmap(16, 16), QIcon::Normal, state);
            icon.addPixmap(pictures.at(0).pixmap(16, 16), QIcon::Selected, state);
        }
        icons.append(icon);
    }
    const int total = tree->rowCount();
    mdlGruppe->setTree(std::move(tree), icons);
    setStatusText(QStringLiteral("Liste gelöscht"));
    if (total > 1)
        setStatusText(knotenText(total, total));

    const QModelIndex root = mdlGruppe->indexOf(0);
    trvGruppe->expand(root);
    trvGruppe->setCurrentIndex(root);
    m_treeHandlerAttached = true;
    TreeRebuilt = true;
    m_treeGrouping = g.text;
}

// ---------------------------------------------------------------------------------------------
// Detail list, totals, sums list

void TfrmMain::trvGruppeChange(const QModelIndex& index)
{
    const int node = mdlGruppe->nodeOf(index);
    if (node < 0)
        return;
    if (TreeRebuilt) {
        TreeRebuilt = false;
        if (node == 0)
            return;
    }
    // The grouping the tree was built for: the list may already name the next one.
    const Gruppierung* g = FindGruppierung(m_treeGrouping);
    if (!g)
        return;
    const NodeSelection selection = SelectNode(*g, mdlGruppe->tree()->path(node));
    SumColumns = selection.sumColumns;
    clearStatusPanels();
    setStatusText(g->text + QLatin1Char(' '));
    ShowDetails(selection.nodeCondition);
}

void TfrmMain::closeLists()
{
    m_totalsWorker->cancel();
    m_sumsWorker->cancel();
    m_detailsWorker->cancel();
    m_pagesWorker->cancel();
    qryDetails->close();
    qryGroup->close();
    updateBusyCursor();
}

void TfrmMain::ShowDetails(const QString& nodeCondition)
{
    const bool filtered = !FilterWhere.isEmpty();
    const QColor background = filtered ? QColor(0, 128, 128) : QColor();
    const QColor text = filtered ? QColor(Qt::white) : QColor();

    closeLists();
    CurrentWhere = nodeCondition + FilterWhere;
    EnableSorting(false);
    // The sums of the list before must not stand beside this one while its own are counted.
    for (StatusPanel p : {StatusPanel::Anrufe, StatusPanel::Dauer, StatusPanel::Betrag, StatusPanel::BetragEuro,
                          StatusPanel::Rabatt, StatusPanel::RabattEuro})
        setStatusPanel(p, QString());

    // The first rows show at once; their count, the totals and the sums follow from the workers.
    m_detailRows = -1;
    const bool opened = TpWait::During(
        [this] { return qryDetails->setQuery(m_dm.RuboDB().qtDatabase(), DetailSql(CurrentWhere), SqlPagedModel::kCountLater); });
    if (!opened) {
        messageOk(qryDetails->lastError(), MsgKind::Information);
        return;
    }
    grdDetails->setHeaderColors(background, text);
    const QString where = CurrentWhere;
    m_totalsWorker->run(
        [this, where](RuboJob& job) {
            const Totals totals = ReadTotals(job.db(), where);
            job.deliver([this, totals] { showTotals(totals); });
        },
        [this](const QString& message) { listFailed(message); });
    startSums();
    updateBusyCursor();
}

void TfrmMain::showTotals(const Totals& totals)
{
    qryDetails->setRowCount(totals.Anzahl);
    m_detailRows = totals.Anzahl;
    // The sort and grouping the user chose carry over to the next list as far as its size allows.
    if (!grdDetails->orderKeys().isEmpty()) {
        if (EnableSorting(true)) {
            applyDetailOrder();
        } else {
            const QSignalBlocker blocker(grdDetails);
            grdDetails->clearSort();
            grdDetails->setGroupedFields({});
        }
    }
    const QString betrag = FormatAmount(totals.Betrag);
    const QString rabatt = FormatAmount(totals.Rabatt);
    const qint64 rows = totals.Anzahl;
    setStatusPanel(StatusPanel::Anrufe, QString::number(rows) + QStringLiteral(" Anruf") + (rows == 1 ? QString() : QStringLiteral("e")));
    setStatusPanel(StatusPanel::Dauer, QStringLiteral("Dauer: ") + SecondsToText(totals.Sekunden));
    setStatusPanel(StatusPanel::Betrag, QStringLiteral("EUR: ") + betrag);
    setStatusPanel(StatusPanel::BetragEuro, QStringLiteral("EUR: ") + FormatAmount(totals.BetragEuro));
    const bool discounted = betrag != rabatt;
    setStatusPanel(StatusPanel::Rabatt, discounted ? QStringLiteral("rbt.ATS: ") + rabatt : QString());
    setStatusPanel(StatusPanel::RabattEuro, discounted ? QStringLiteral("rbt.EUR: ") + FormatAmount(totals.RabattEuro) : QString());
}

void TfrmMain::startSums()
{
    readWhole(*m_sumsWorker, *qryGroup, GroupSql(SumColumns, CurrentWhere), *grdGroup, [this] { ShowGroupColumns(); });
}

void TfrmMain::listFailed(const QString& message)
{
    closeLists();
    messageOk(message, MsgKind::Information);
}

bool TfrmMain::isWorking() const
{
    for (const auto* worker : {&m_treeWorker, &m_totalsWorker, &m_sumsWorker, &m_detailsWorker, &m_pagesWorker})
        if ((*worker)->isBusy())
            return true;
    return false;
}

void TfrmMain::waitForLists()
{
    for (auto* worker : {&m_totalsWorker, &m_sumsWorker, &m_detailsWorker, &m_pagesWorker})
        (*worker)->waitUntilIdle();
    updateBusyCursor();
}

void TfrmMain::waitForWork()
{
    while (isWorking()) {
        for (auto* worker : {&m_treeWorker, &m_totalsWorker, &m_sumsWorker, &m_detailsWorker, &m_pagesWorker})
            (*worker)->waitUntilIdle();
    }
    updateBusyCursor();
}

void TfrmMain::settleBeforeWriting()
{
    // An import may not wait for a tree of millions of calls: the tree shown stays. The lists'
    // readers end soon, and their results are shown.
    if (m_treeWorker->isBusy()) {
        m_treeWorker->cancel();
        cboGruppierung->setCurrentIndex(cboGruppierung->findText(m_treeGrouping));
    }
    waitForWork();
}

void TfrmMain::updateBusyCursor()
{
    // The arrow stays, with the hourglass beside it: the window still answers.
    const bool busy = isWorking();
    if (busy == m_busyCursor)
        return;
    m_busyCursor = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TfrmMain::ShowGroupColumns()
{
    if (!qryGroup->isOpen())
        return;
    const QStringList fields = qryGroup->fieldNames();
    for (const char* key : kGroupKeyColumns) {
        const QString field = QString::fromLatin1(key);
        grdGroup->setColumnVisible(field, fields.contains(field, Qt::CaseInsensitive));
    }
}

bool TfrmMain::EnableSorting(bool allow)
{
    if (allow && qryDetails->isOpen() && m_detailRows > kSortLimit) {
        setStatusText(QStringLiteral("Sortierung bei mehr als ") + QString::number(kSortLimit)
                      + QStringLiteral(" Einträgen nicht möglich."));
        allow = false;
    }
    // Holding all rows starts with the read in order, applyDetailOrder(); letting go is at once.
    if (!allow)
        qryDetails->setHoldAllRows(false);
    return allow;
}

void TfrmMain::grdDetailsColumnClick(const QString& field)
{
    // A plain click sorts by this column alone, Shift adds it to the columns sorted already.
    grdDetails->sortByClick(field, QGuiApplication::keyboardModifiers() & Qt::ShiftModifier);
    // Until the list is counted the grid keeps the sort; the count then decides.
    if (m_detailRows < 0)
        return;
    if (!EnableSorting(true)) {
        grdDetails->setSortOrder(field, DataGrid::SortOrder::None);
        return;
    }
    applyDetailOrder();
}

void TfrmMain::setOutputCommandsEnabled(bool enabled)
{
    for (QAction* a : m_outputCommands)
        a->setEnabled(enabled);
}

// ---------------------------------------------------------------------------------------------
// Commands

QString TfrmMain::lastOpenFolder() const
{
    if (!m_lastOpenedFile.isEmpty())
        return QFileInfo(m_lastOpenedFile).absolutePath();
    if (!m_openFolder.isEmpty())
        return m_openFolder;
    return QDir::current().filePath(QStringLiteral("Data"));
}

void TfrmMain::mnuOeffnenClick()
{
    m_openFolder = lastOpenFolder();
    const QStringList files = GetOpenFileNames(this, QStringLiteral("EGN Datei öffnen"), m_openFolder,
                                               {
                                                   QStringLiteral("Alle bekannten Formate (*.mdb;*.csv;*.edi;*.zip)"),
                                                   QStringLiteral("DRAVIK Einzelgesprächs-Nachweis TSV-2 (*.edi)"),
                                                   QStringLiteral("Character Seperated Values (*.csv)"),
                                                   QStringLiteral("Komprimierte Dateien (*.zip)"),
                                                   QStringLiteral("Access Datenbank (*.mdb)"),
                                                   QStringLiteral("Alle Dateien"),
                                               },
                                               QStringLiteral("edi"));
    if (files.isEmpty())
        return;
    m_lastOpenedFile = files.first();
    settleBeforeWriting();
    clearStatusPanels();
    setStatusPanel(StatusPanel::ImportStart, QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
    for (const QString& file : files)
        if (ImportFile(m_dm, QFileInfo(file).absoluteFilePath(), QString()).recognised)
            mnuLoeschen->setEnabled(true);
}

void TfrmMain::mnuLoeschenClick()
{
    bool deleted = false;
    int count = 0;
    if (askYesNo(QStringLiteral("Wollen Sie wirklich alle Anrufe aus der internen DB löschen ?"))) {
        QString error;
        {
            TpWait wait;
            try {
                // No reader of the workers may hold the file while every call goes.
                clearTree();
                closeLists();
                waitForWork();
                count = m_dm.DeleteAllCalls();
                clearTree();
                mnuLoeschen->setEnabled(false);
                deleted = true;
            } catch (const RuboError& e) {
                error = e.message();
            }
        }
        if (!deleted)
            messageOk(QStringLiteral("Das Löschen der Tabelle EGN hat nicht funktioniert !\n") + error, MsgKind::Information);
    }
    clearStatusPanels();
    if (deleted)
        setStatusText(QStringLiteral("Es wurden ") + QString::number(count) + QStringLiteral(" Einträge gelöscht."));
}

int TfrmMain::RecalculateCalls()
{
    // A second run inside the first would rewrite the calls it is writing.
    if (m_recalculating)
        return 0;
    m_recalculating = true;
    // Nothing may read the calls while they change, and what the views show would be old.
    clearTree();
    closeLists();
    waitForWork();
    ReferenceLists& lists = m_dm.referenceLists();
    lists.SetFilialenDirty();
    lists.SetKostenstellenDirty();
    lists.SetZonenrabatteDirty();
    setStatusText(RecalcBeginText());

    QProgressDialog progress(QStringLiteral("Die Einzelgesprächsnachweise werden aktualisiert ..."), QStringLiteral("&Abbrechen"), 0, 0, this);
    progress.setObjectName(QStringLiteral("frmRecalc"));
    progress.setWindowTitle(QStringLiteral("EGNs aktualisieren"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    progress.setMinimumWidth(DesignPx(360));
    const auto stop = std::make_shared<std::atomic<bool>>(false);
    connect(&progress, &QProgressDialog::canceled, &progress, [stop, &progress] {
        stop->store(true);
        progress.setLabelText(QStringLiteral("Wird abgebrochen ..."));
    });

    RecalcOutcome outcome;
    QString failure;
    {
        RuboWorker worker(m_dm.databaseFile());
        QEventLoop loop;
        connect(&worker, &RuboWorker::finished, &loop, &QEventLoop::quit);
        worker.run(
            [this, stop, &outcome, &progress](RuboJob& job) {
                ReferenceLists own(job.db());
                QElapsedTimer shown;
                shown.start();
                const RecalcOutcome result = RecalculateEGN(job.db(), own, [&](int visited, int total) {
                    // Every twentieth call, but no faster than the eye follows.
                    if (shown.hasExpired(50)) {
                        shown.restart();
                        job.deliver([this, &progress, visited, total] {
                            setStatusText(QString::number(visited));
                            progress.setMaximum(total);
                            progress.setValue(visited);
                        });
                    }
                    return !stop->load();
                });
                job.deliver([&outcome, result] { outcome = result; });
            },
            [&failure](const QString& message) { failure = message; });
        QApplication::setOverrideCursor(Qt::BusyCursor);
        progress.show();
        loop.exec();
        QApplication::restoreOverrideCursor();
    }
    progress.hide();
    if (outcome.error.isEmpty())
        outcome.error = failure;
    for (const QString& text : RecalcEndTexts(outcome))
        setStatusText(text);
    if (!outcome.error.isEmpty())
        messageOk(QStringLiteral("Die Einzelgesprächsnachweise konnten nicht alle aktualisiert werden.\n") + outcome.error,
                  MsgKind::Information);
    closeLists();
    clearTree();
    m_recalculating = false;
    return outcome.failed;
}

void TfrmMain::mnuBeendenClick()
{
    clearStatusPanels();
    setStatusText(QStringLiteral("Programm wird beendet"));
    detachTreeHandler();
    cboGruppierung->setCurrentIndex(-1);
    clearTree();
    setStatusText(QStringLiteral("Programm wird beendet"));
    close();
}

void TfrmMain::mnuFilterClick()
{
    if (frmFilter->execute() == QDialog::Accepted)
        setFilterWhere(frmFilter->FilterClause);
}

void TfrmMain::setFilterWhere(const QString& filterWhere)
{
    FilterWhere = filterWhere;
    const QModelIndex node = trvGruppe->currentIndex();
    if (node.isValid())
        trvGruppeChange(node);
    else
        ShowDetails(QString());
}

void TfrmMain::mnuSaveAsClick()
{
    frmExport->execOn(TfrmExport::Sheet::Datenbank);
}

void TfrmMain::mnuExportClick()
{
    frmExport->execOn(frmExport->lastSheet());
}

void TfrmMain::tbtnExcelClick()
{
    frmExport->execOn(TfrmExport::Sheet::EGN);
}
void TfrmMain::mnuLoadedClick()
{
    TfrmLoaded dialog(m_dm, [this] { mnuOeffnenClick(); },
                      [this] {
                          clearTree();
                          closeLists();
                          waitForWork();
                      },
                      this);
    ExecDialog(dialog);
}

// The editors write the reference tables while no worker reads them, and recalculate on the
// main window when asked to.
template <typename Editor>
void TfrmMain::runEditor()
{
    settleBeforeWriting();
    Editor dialog(m_dm, [this] { return RecalculateCalls(); }, this);
    ExecDialog(dialog);
}

void TfrmMain::mnuFilialenClick() { runEditor<TfrmFilialen>(); }
void TfrmMain::mnuKostenstellenClick() { runEditor<TfrmKostenstellen>(); }
void TfrmMain::mnuZonenrabatteClick() { runEditor<TfrmZonenrabatte>(); }
void TfrmMain::mnuReportEGNClick()
{
    std::unique_ptr<TfrmReport1> report = TpWait::During([this] {
        auto r = std::make_unique<TfrmReport1>(m_dm, m_numberMask);
        r->Prepare(CurrentWhere);
        return r;
    });
    ShowReportPreview(this, m_dm.databaseFile(), *report);
}

void TfrmMain::mnuReportGroupClick()
{
    // The sums list's query as it stands, in the order the list shows.
    std::unique_ptr<TqrGroup> report = TpWait::During([this] {
        auto r = std::make_unique<TqrGroup>(m_dm, GroupSql(SumColumns, CurrentWhere), m_numberMask);
        r->orderKeys = grdGroup->orderKeys();
        return r;
    });
    ShowReportPreview(this, m_dm.databaseFile(), *report);
}
void TfrmMain::mnuInfoClick() { ShowInfoBox(this); }
void TfrmMain::mnuHilfeClick() { ShowHelpContents(); }

void TfrmMain::mnuOptionenClick()
{
    TfrmOptionen dialog(this);
    dialog.setNumberMask(m_numberMask);
    if (dialog.execute() != QDialog::Accepted)
        return;
    const NumberMask mask = dialog.numberMask();
    SaveNumberMask(mask);
    setNumberMask(mask);
}

void TfrmMain::setNumberMask(const NumberMask& mask)
{
    m_numberMask = mask;
    // Setting the formatter again shows the list anew.
    qryDetails->setRowFormatter(QStringLiteral("BNummer"), [this](const QVariant& v, int row) {
        if (!m_numberMask.isOn())
            return v.toString();
        const QString kostenstelle =
            m_numberMask.needsKostenstelle() ? qryDetails->value(row, QStringLiteral("Kostenstelle")).toString() : QString();
        return m_numberMask.apply(v.toString(), kostenstelle);
    });
}

void TfrmMain::grdDetailsDblClick()
{
    // A group row of the grid stands for no single call.
    if (grdDetails->currentRecord() >= 0)
        frmCallProperties->execute();
}

void TfrmMain::toggleColumnChooser(bool open)
{
    if (open)
        grdDetails->showColumnChooser();
    else
        grdDetails->closeColumnChooser();
}
