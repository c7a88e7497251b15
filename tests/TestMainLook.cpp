// The main window as a new user sees it on a 1280 x 900 screen with a million calls: nothing cut
// that fits, the rest reachable.

#include "database/Conversions.h"
#include "toolkit/DataGrid.h"
#include "toolkit/SqlPagedModel.h"
#include "support/TestDb.h"
#include "mainwindow/untDialogs.h"
#include "mainwindow/untIcons.h"
#include "mainwindow/untMain.h"
#include "mainwindow/untScale.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <QTreeView>

namespace {

struct Fixture
{
    DialogScript script;
    TestDb t;
    TfrmMain w{t.dm()};

    Fixture()
    {
        RuboUi::install(&w);
        w.show();
        QApplication::setActiveWindow(&w);
    }
    ~Fixture() { RuboUi::install(nullptr); }

    QLabel* panel(int i) const { return w.findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i)); }
};

// The captions a grid's header would cut: wider than the room the header's style of the moment
// leaves for the text of a section as wide as the column.
QStringList cutCaptions(const DataGrid* grid)
{
    const QHeaderView* header = grid->view()->horizontalHeader();
    QStringList cut;
    for (const GridColumn& c : grid->columns()) {
        QStyleOptionHeader option;
        option.initFrom(header);
        option.orientation = Qt::Horizontal;
        option.text = grid->columnCaption(c.field);
        option.rect = QRect(0, 0, grid->columnWidth(c.field), header->height());
        const int room = header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header).width();
        const int needed = option.fontMetrics.horizontalAdvance(option.text);
        if (needed > room)
            cut << QStringLiteral("%1 (%2 of %3)").arg(option.text).arg(needed).arg(room);
    }
    return cut;
}

// The cells of a grid's first row whose text the style would have to cut, in the columns given.
QStringList cutCells(const DataGrid* grid, const QStringList& fields)
{
    const QTableView* view = grid->view();
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    const QFontMetrics fm(view->font());
    QStringList cut;
    for (const QString& field : fields) {
        const QModelIndex index = view->model()->index(0, grid->model()->fieldIndex(field));
        const QString text = index.data().toString();
        if (!grid->isColumnVisible(field) || fm.horizontalAdvance(text) + 2 * margin > view->visualRect(index).width())
            cut << field + QStringLiteral(": ") + text;
    }
    return cut;
}

} // namespace

class TestMainLook : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void windowFitsTheScreenWithEveryPanel();
    void statusTextsFitTheirPanels_data();
    void statusTextsFitTheirPanels();
    void longStatusTextIsReachable();
    void millionCallsShowWhole();
    void groupingChooserShowsEveryGrouping();
};

void TestMainLook::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    if (screen != QSize(1280, 900))
        QSKIP(qPrintable(QStringLiteral("needs the 1280 x 900 screen of the offscreen platform, has %1 x %2")
                             .arg(screen.width())
                             .arg(screen.height())));
}

void TestMainLook::init()
{
    QSettings("DRAVIK", "DravikRuboTool").clear();
}

void TestMainLook::windowFitsTheScreenWithEveryPanel()
{
    Fixture f;
    TfrmMain& w = f.w;
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(screen.contains(w.frameGeometry()));
    // The window's own size, not one the screen imposed: at least the design's, scaled.
    QVERIFY2(w.width() < screen.width() && w.width() >= DesignPx(790), qPrintable(QString::number(w.width())));
    QCOMPARE(w.height(), DesignPx(580));

    // All eight panels lie side by side inside the window; the seventh is as wide as designed.
    int right = -1;
    for (int i = 0; i < kStatusPanelCount; ++i) {
        QLabel* label = f.panel(i);
        QVERIFY(label && label->isVisible());
        const QRect r(label->mapTo(&w, QPoint()), label->size());
        QVERIFY2(w.rect().contains(r), qPrintable(QStringLiteral("panel %1 at %2..%3").arg(i).arg(r.left()).arg(r.right())));
        QVERIFY(r.left() > right);
        right = r.right();
    }
    QCOMPARE(f.panel(7)->width(), DesignPx(50));
    // Panel 0 takes what the others leave.
    QVERIFY(f.panel(0)->width() > DesignPx(200));

    // A narrower window takes from panel 0 first, down to its design width; the panels beyond the
    // window's edge are cut off there.
    const int wide = f.panel(0)->width();
    w.resize(w.width() - 50, w.height());
    QTRY_COMPARE(f.panel(0)->width(), wide - 50);
    QCOMPARE(f.panel(1)->x(), f.panel(0)->width() + 2);
    w.resize(DesignPx(790), w.height());
    QTRY_COMPARE(f.panel(0)->width(), DesignPx(200));
}

void TestMainLook::statusTextsFitTheirPanels_data()
{
    QTest::addColumn<int>("panel");
    QTest::addColumn<QString>("text");
    QTest::newRow("count") << 1 << "1000000 Anrufe";
    QTest::newRow("import start") << 1 << "13:57:44";
    QTest::newRow("duration") << 2 << "Dauer: 499933:07:12";
    QTest::newRow("amount") << 3 << "EUR: 2.502.709,90";
    QTest::newRow("amount in Euro") << 4 << "EUR: 2.502.709,90";
    QTest::newRow("discounted") << 5 << "rbt.ATS: 2.502.709,90";
    QTest::newRow("discounted in Euro") << 6 << "rbt.EUR: 181.883,10";
    QTest::newRow("grouping") << 0 << "Kostenstellen & Nebenstellen ";
    QTest::newRow("tree") << 0 << "Knoten 735661 von 735661";
    QTest::newRow("sorting refused") << 0 << "Sortierung bei mehr als 20000 Einträgen nicht möglich.";
    QTest::newRow("deleted") << 0 << "Es wurden 1000000 Einträge gelöscht.";
}

void TestMainLook::statusTextsFitTheirPanels()
{
    QFETCH(int, panel);
    QFETCH(QString, text);
    Fixture f;
    QVERIFY(QTest::qWaitForWindowExposed(&f.w));
    f.w.setStatusPanel(StatusPanel(panel), text);
    QLabel* label = f.panel(panel);
    const int needed = QFontMetrics(label->font()).horizontalAdvance(text);
    QVERIFY2(needed <= label->contentsRect().width(),
             qPrintable(QStringLiteral("%1 of %2 pixels").arg(needed).arg(label->contentsRect().width())));
}

void TestMainLook::longStatusTextIsReachable()
{
    Fixture f;
    TfrmMain& w = f.w;
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QString text = QStringLiteral("123456 EGN's wurden geladen - Achtung: 12 fehlerhafte Zeile(n) übersprungen - Achtung: "
                                        "die Datei endet mitten in der letzten Zeile, sie ist vielleicht abgeschnitten - "
                                        "Achtung: laut Nachsatz enthält die Datei 123470 EGN's");
    w.clearStatusPanels();
    w.setStatusPanel(StatusPanel::ImportStart, "13:57:44");
    w.setStatusText(text);
    w.setStatusPanel(StatusPanel::ImportEnd, "13:57:46");
    QCOMPARE(w.statusPanel(StatusPanel::Text), text);

    // The hint shows while the user looks at the window from another one, e.g. after a dialog
    // that left the focus elsewhere.
    QWidget other;
    other.setGeometry(0, 0, 100, 100);
    other.show();
    QApplication::setActiveWindow(&other);
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(!w.isActiveWindow());
    QLabel* label = f.panel(0);
    QTest::mouseMove(label, QPoint(10, label->height() / 2));
    QTest::mouseMove(label, QPoint(12, label->height() / 2));
    QTRY_VERIFY(QToolTip::isVisible());
    QTextDocument shown;
    shown.setHtml(QToolTip::text());
    QCOMPARE(shown.toPlainText().simplified(), text + QStringLiteral(" .. 13:57:44 .. 13:57:46"));
    // Whole on the screen, not one line running off it.
    QWidget* tip = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->inherits("QTipLabel") && top->isVisible())
            tip = top;
    QVERIFY(tip);
    QVERIFY2(QGuiApplication::primaryScreen()->availableGeometry().contains(tip->geometry()),
             qPrintable(QStringLiteral("%1 wide at %2").arg(tip->width()).arg(tip->x())));
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());

    // A short hint stays one line, spaces and all.
    w.setStatusText("Zonen ");
    QTest::mouseMove(f.panel(3), QPoint(5, 5));
    QTest::mouseMove(f.panel(3), QPoint(7, 5));
    QTRY_VERIFY(QToolTip::isVisible());
    shown.setHtml(QToolTip::text());
    QCOMPARE(shown.toPlainText(), QStringLiteral("Zonen  .. 13:57:44 .. 13:57:46"));
    QToolTip::hideText();
    w.setStatusText(text);

    // The double click on the status bar shows every panel's text in full.
    QTest::mouseDClick(w.statusBar(), Qt::LeftButton);
    QCOMPARE(f.script.texts(), QStringList{text + "\n13:57:44\n13:57:46\n\n\n\n\n\n"});
}

void TestMainLook::millionCallsShowWhole()
{
    Fixture f;
    TfrmMain& w = f.w;
    // One zone with a million calls and the totals of the examples; the first call makes up the
    // odd amounts.
    f.t.db().execute(
        "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 1000000) "
        "INSERT INTO EGN (Zone, Ziel, Nebenstelle, IAS, BeginZeit, EndeZeit, Sekunden, Betrag, BetragEuro, Rabatt, RabattEuro) "
        "SELECT 'Mobilnetz', 'A1 Mobil', '11', 'I', 37666.5, 37666.5 + 1799 / 86400.0, 1799 + (n = 1) * 759232, "
        "2.5 + (n = 1) * 2709.90, 2.5 + (n = 1) * 2709.90, 2.5 + (n = 1) * 2709.80, 0.125 + (n = 1) * 56883.10 FROM c");
    w.cboGruppierung->setCurrentIndex(w.cboGruppierung->findText("Zonen"));
    w.cboGruppierungChange();
    w.waitForWork();
    const QModelIndex root = w.trvGruppe->model()->index(0, 0);
    w.trvGruppe->setCurrentIndex(root.model()->index(0, 0, root));
    w.trvGruppe->setCurrentIndex(root);
    w.waitForWork();
    w.mnuShowInfo->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    const QStringList expected = {"Zonen ", "1000000 Anrufe", "Dauer: 499933:07:12", "EUR: 2.502.709,90", "EUR: 2.502.709,90",
                                  "rbt.ATS: 2.502.709,80", "rbt.EUR: 181.883,10"};
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(w.statusPanel(StatusPanel(i)), expected[i]);
        QLabel* label = f.panel(i);
        QVERIFY2(QFontMetrics(label->font()).horizontalAdvance(expected[i]) <= label->contentsRect().width(), qPrintable(expected[i]));
    }

    // The sums of the zone, and every caption of both lists, shown or chosen later. Names of zones
    // and destinations are the carrier's data: no width can promise them.
    QCOMPARE(w.qryGroup->rowCount(), 1);
    QCOMPARE(cutCells(w.grdGroup, {"SumSekunden", "SumBetrag", "SumEuro", "Anzahl", "SumRabatt", "SumRabattEuro"}), QStringList());
    QCOMPARE(w.qryGroup->value(0, "Anzahl").toInt(), 1000000);
    QCOMPARE(cutCaptions(w.grdGroup), QStringList());
    QCOMPARE(cutCaptions(w.grdDetails), QStringList());
    QCOMPARE(cutCells(w.grdDetails, {"BeginZeit", "EndeZeit"}), QStringList());

    // A filter colours the header, which draws a border of its own.
    w.setFilterWhere(" AND Sekunden >= 0");
    w.waitForWork();
    QVERIFY(w.grdDetails->headerBackground().isValid());
    QCOMPARE(cutCaptions(w.grdDetails), QStringList());
}

void TestMainLook::groupingChooserShowsEveryGrouping()
{
    Fixture f;
    QComboBox* chooser = f.w.cboGruppierung;
    QVERIFY(QTest::qWaitForWindowExposed(&f.w));
    const QFontMetrics fm(chooser->font());
    for (int i = 0; i < chooser->count(); ++i) {
        QStyleOptionComboBox option;
        option.initFrom(chooser);
        option.editable = false;
        option.frame = chooser->hasFrame();
        const QSize text(fm.horizontalAdvance(chooser->itemText(i)), fm.height());
        const int needed = chooser->style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, chooser).width();
        QVERIFY2(needed <= chooser->width(), qPrintable(QStringLiteral("%1: %2 of %3").arg(chooser->itemText(i)).arg(needed).arg(chooser->width())));
    }
}

int main(int argc, char** argv)
{
    // The offscreen platform's screen is 800 x 800 unless told otherwise: this test needs the
    // smallest screen the window is made for.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (file.open(QIODevice::WriteOnly))
        file.write(R"({"screens": [{"name": "1280x900", "x": 0, "y": 0, "width": 1280, "height": 900,
                       "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen")
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    QApplication app(argc, argv);
    // As the program starts: German formats under a bare C locale, Qt's texts in German.
    SetupApplication(app);
    TestMainLook test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "TestMainLook.moc"
