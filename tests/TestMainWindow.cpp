#include "database/Conversions.h"
#include "toolkit/DataGrid.h"
#include "toolkit/GroupedRows.h"
#include "toolkit/SqlPagedModel.h"
#include "support/RecordingUi.h"
#include "support/TestDb.h"
#include "mainwindow/untDialogs.h"
#include "mainwindow/untMain.h"
#include "filter/untFilter.h"
#include "referencedata/RecordTable.h"
#include "referencedata/untFilialen.h"
#include "referencedata/untLoaded.h"
#include "toolkit/EditGrid.h"
#include "mainwindow/untScale.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

QByteArray callLine(int number, const QByteArray& zone, const QByteArray& target)
{
    QList<QByteArray> f = {"280", QByteArray::number(number), "0316471011", "11", "06641234567", "", "0,35", "61", "",
                           "20030115", "134501", "5", zone, "GZ", target, "C" + QByteArray::number(number)};
    return f.join('\t') + "\r\n";
}

// The main window over a fresh database, installed as the user interface, with every box and
// dialog answered by the script.
struct Fixture
{
    DialogScript script;
    TestDb t;
    TfrmMain w{t.dm()};

    Fixture() { RuboUi::install(&w); }
    ~Fixture() { RuboUi::install(nullptr); }

    // What the user saw, each as "title: text" (a file dialog's text is its folder).
    QStringList shown() const
    {
        QStringList out;
        for (const DialogScript::Shown& s : script.shown)
            out << s.title + QStringLiteral(": ") + s.text;
        return out;
    }

    void exec(const QString& sql) { t.db().execute(sql); }
    void choose(const QString& grouping)
    {
        w.cboGruppierung->setCurrentIndex(w.cboGruppierung->findText(grouping));
        w.cboGruppierungChange();
        w.waitForWork();
    }
    QModelIndex node(const QStringList& path) const
    {
        const QAbstractItemModel* m = w.trvGruppe->model();
        QModelIndex n = m->index(0, 0);
        for (const QString& text : path) {
            QModelIndex found;
            for (int i = 0; n.isValid() && i < m->rowCount(n) && !found.isValid(); ++i)
                if (m->index(i, 0, n).data().toString() == text)
                    found = m->index(i, 0, n);
            n = found;
        }
        return n;
    }
    void select(const QStringList& path)
    {
        w.trvGruppe->setCurrentIndex(node(path));
        w.waitForWork();
    }
    QStringList panels() const
    {
        QStringList p;
        for (int i = 0; i < kStatusPanelCount; ++i)
            p << w.statusPanel(StatusPanel(i));
        return p;
    }
};

void dump(const QModelIndex& node, int level, QStringList& out)
{
    out << QString(level, QLatin1Char('.')) + node.data().toString();
    for (int i = 0; i < node.model()->rowCount(node); ++i)
        dump(node.model()->index(i, 0, node), level + 1, out);
}

QStringList treeDump(const QTreeView* tree)
{
    QStringList out;
    for (int i = 0; i < tree->model()->rowCount(); ++i)
        dump(tree->model()->index(i, 0), 0, out);
    return out;
}

// Eight calls over four zones; the zone is absent in one call and empty in another.
void insertSampleCalls(Fixture& f)
{
    f.exec("INSERT INTO EGN (Zone, Ziel, Nebenstelle, IAS, Sekunden, Betrag, BetragEuro, Rabatt, RabattEuro) VALUES "
           "('Mobilnetz', 'A1 Mobil', '11', 'I', 60, 1.5, 1.5, 1.5, 1.5),"
           "('Mobilnetz', 'A1 Mobil', '12', 'I', 30, 2.25, 2.25, 2.0, 2.0),"
           "('Mobilnetz', 'Magenta', '11', 'I', 3700, 1000, 1000, 1000, 1000),"
           "('Deutschland', 'Köln', '11', 'A', 10, 1, 1, 1, 1),"
           "('Côte d''Ivoire', 'Abidjan', '13', 'A', 20, 3, 3, 3, 3),"
           "(NULL, 'x', '14', 'S', 1, 0, 0, 0, 0),"
           "('', 'x', '14', 'S', 1, 0, 0, 0, 0),"
           "('Deutschland', 'Köln', '12', '', 5, 1, 1, 1, 1)");
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void startsEmptyWithTheCommandsOfTheMenu();
    void statusBarHintAndDoubleClick();
    void loadsChosenFilesAndDeletesAll();
    void loadDialogOffersTheKnownFormats();
    void loadDialogShowsSizeTypeAndDateWhole();
    void buildsTheTree_data();
    void buildsTheTree();
    void nodeSelectionListsCallsAndTotals();
    void filterColoursTheHeader();
    void filterDialogNarrowsTheLists();
    void recalculationRewritesAndResetsTheViews();
    void editorsOpenFromTheMenusAndRecalculate();
    void deletingALoadedFileResetsTheViews();
    void sortingIsRefusedAboveTheLimit();
    void groupingFollowsTheSortingLimit();
    void sumsListSortsAndKeepsItsOrder();
    void databaseErrorsAreShownAndTheWindowStays();
    void onlyTheNewestRequestIsShown();
    void dialogsAreAnsweredByTheScript();
    void itemShortcutGoesBeforeMenuTitle_data();
    void itemShortcutGoesBeforeMenuTitle();
};

void TestMainWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings("DRAVIK", "DravikRuboTool").clear();
}

void TestMainWindow::init()
{
    QSettings("DRAVIK", "DravikRuboTool").clear();
}

void TestMainWindow::startsEmptyWithTheCommandsOfTheMenu()
{
    Fixture f;
    TfrmMain& w = f.w;
    QCOMPARE(frmMain, &w);
    QCOMPARE(w.windowTitle(), QStringLiteral("DRAVIK Einzelverbindungsaufschlüsselung"));
    // The design's size, scaled, as far as the test's small screen has room for it.
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    QVERIFY2(w.width() >= std::min(DesignPx(790), screen.width()) && w.width() <= screen.width(), qPrintable(QString::number(w.width())));
    QCOMPARE(w.height(), std::min(DesignPx(580), screen.height()));
    QStringList entries;
    for (int i = 0; i < w.cboGruppierung->count(); ++i)
        entries << w.cboGruppierung->itemText(i);
    QCOMPARE(entries, (QStringList{"Ziele", "Kostenstellen & Nebenstellen", "Kostenstellen & Zonen", "Zonen", "Inland - Ausland",
                                   "Nebenstellen", "Filialen & Nebenstellen", "Filialen & Kostenstellen"}));
    QCOMPARE(w.cboGruppierung->currentIndex(), -1);
    QVERIFY(!w.cboGruppierung->isEditable());
    QCOMPARE(w.trvGruppe->model()->rowCount(), 0);
    QVERIFY(w.findChild<QLabel*>("Label1"));
    QCOMPARE(w.findChild<QLabel*>("Label1")->text(), QStringLiteral("Bitte eine Gruppierung auswählen."));
    QVERIFY(w.grdGroup->isHidden() || w.findChild<QWidget*>("panelInfo")->isHidden());
    QCOMPARE(f.panels(), QStringList(8, QString()));
    QVERIFY(!w.qryDetails->isOpen());
    QVERIFY(w.filterWhere().isEmpty() && w.currentWhere().isEmpty() && w.sumColumns().isEmpty());

    struct Item
    {
        QAction* action;
        const char* caption;
        QKeySequence shortcut;
        const char* hint;
        bool enabled;
    };
    const Item items[] = {
        {w.mnuOeffnen, "&Laden...", QKeySequence("Ctrl+L"), "Laden einer externen Datei.", true},
        {w.mnuSaveAs, "Speichern &unter...", {}, "Sichern der internen DB unter einen anderen Namen", true},
        {w.mnuLoeschen, "Lö&schen...", {}, "Lösche alle Einträge der internen DB", true},
        {w.mnuBeenden, "&Beenden", {}, "", true},
        {w.mnuLoaded, "Geladene &Dateien...", QKeySequence("Alt+D"), "Anzeige aller geladenen Dateien.", true},
        {w.mnuGrdDetailsGruppieren, "&Gruppierung anzeigen", QKeySequence("Alt+G"), "Anzeige der Spaltengruppierung", true},
        {w.mnuGrdDetailsColSelect, "Spalten &auswählen", QKeySequence("Alt+C"), "Auswahl der angezeigten Felder.", true},
        {w.mnuShowInfo, "&Summen anzeigen", QKeySequence("Alt+S"), "Anzeige einer Summenfunktion.", true},
        {w.mnuExport, "&Export...", QKeySequence("Ctrl+S"), "Exportieren der angezeigten EGN's.", false},
        {w.mnuFilter, "&Filtern...", QKeySequence("Ctrl+F"), "Eingabe eines Filters für die EGN's.", true},
        {w.mnuFilialen, "F&ilialen...", QKeySequence("Ctrl+I"), "Zuordnen von ANummern zu Filialen.", true},
        {w.mnuKostenstellen, "&Kostenstellen...", QKeySequence("Ctrl+K"), "Zuordnen von Nebenstellen zu Kostenstellen.", true},
        {w.mnuZonenrabatte, "Zonenrabatte...", QKeySequence("Ctrl+Z"), "", true},
        {w.mnuReportEGN, "&Einzelgesprächs-Report...", {}, "", false},
        {w.mnuReportGroup, "&Summen-Report...", {}, "", false},
        {w.mnuInfo, "&Info...", {}, "", true},
        {w.mnuHilfe, "&Hilfe", {}, "", true},
        {w.tbtnOpenDatabase, "", {}, "Laden einer externen Datei.", true},
        {w.tbtnExcel, "", {}, "Export", false},
        {w.tbtnReport, "", {}, "Einzelgesprächs-Report", false},
        {w.tbtnSummen, "", {}, "Summen-Report", false},
        {w.tbtnFilialen, "", {}, "Zuordnen von ANummern zu Filialen.", true},
        {w.tbtnKostenstellen, "", {}, "Zuordnen von Nebenstellen zu Kostenstellen.", true},
    };
    for (const Item& i : items) {
        const QString caption = QString::fromUtf8(i.caption);
        if (!caption.isEmpty()) {
            QCOMPARE(i.action->text(), caption);
            QCOMPARE(i.action->shortcut(), i.shortcut);
        }
        QVERIFY2(i.action->statusTip().isEmpty(), qPrintable(caption));
        if (*i.hint)
            QCOMPARE(i.action->toolTip(), QString::fromUtf8(i.hint));
        QVERIFY2(i.action->isEnabled() == i.enabled, qPrintable(caption + " " + i.action->toolTip()));
        QVERIFY(!i.action->isChecked());
    }

    // The check marks follow what they show.
    w.show();
    w.mnuShowInfo->trigger();
    QVERIFY(w.mnuShowInfo->isChecked() && w.grdGroup->isVisible());
    w.mnuShowInfo->trigger();
    QVERIFY(!w.grdGroup->isVisible());
    w.mnuGrdDetailsGruppieren->trigger();
    QVERIFY(w.grdDetails->isGroupingPanelVisible());
    QCOMPARE(w.grdDetails->groupingPanelHint(), QStringLiteral("Zum Gruppieren ziehen Sie eine Spaltenüberschrift hierher."));
    w.mnuGrdDetailsColSelect->trigger();
    QVERIFY(w.mnuGrdDetailsColSelect->isChecked() && w.grdDetails->isColumnChooserVisible());
    w.mnuGrdDetailsColSelect->trigger();
    QVERIFY(!w.mnuGrdDetailsColSelect->isChecked() && !w.grdDetails->isColumnChooserVisible());
    w.mnuGrdDetailsColSelect->trigger();
    w.grdDetails->closeColumnChooser();
    QVERIFY(!w.mnuGrdDetailsColSelect->isChecked());

    // The next start finds the grouping panel as this one left it.
    {
        QSettings settings("DRAVIK", "DravikRuboTool");
        w.grdDetails->saveLayout(settings, "grdDetails");
    }
    {
        TfrmMain again(f.t.dm());
        QVERIFY(again.mnuGrdDetailsGruppieren->isChecked());
    }

    // "&Info..." shows the about box modally; F1 in the window finds the main window's topic.
    w.mnuInfo->trigger();
    QCOMPARE(f.script.shown.size(), 1);
    QCOMPARE(f.script.shown[0].kind, DialogScript::Kind::Dialog);
    QCOMPARE(f.script.shown[0].title, QStringLiteral("Info"));
    QCOMPARE(w.property("helpContext").toInt(), 100);
}

void TestMainWindow::statusBarHintAndDoubleClick()
{
    Fixture f;
    TfrmMain& w = f.w;
    w.setStatusPanel(StatusPanel::Text, "Zonen ");
    w.setStatusPanel(StatusPanel::Anrufe, "3 Anrufe");
    w.setStatusPanel(StatusPanel::Betrag, "EUR: 1,00");
    w.setStatusPanel(StatusPanel::Reserve, "nie");
    w.setStatusPanel(StatusPanel(8), "außerhalb");
    w.setStatusPanel(StatusPanel(-1), "außerhalb");
    QCOMPARE(w.statusHint(), QStringLiteral("Zonen  .. 3 Anrufe .. EUR: 1,00"));
    QCOMPARE(w.statusBar()->toolTip(), w.statusHint());
    QCOMPARE(w.statusPanel(StatusPanel::Reserve), QStringLiteral("nie"));

    w.clearStatusPanels();
    QCOMPARE(w.statusHint(), QString());
    w.show();
    QTest::mouseDClick(w.statusBar(), Qt::LeftButton);
    QCOMPARE(f.shown(), QStringList{"Information: " + QString(8, QLatin1Char('\n'))});
}

void TestMainWindow::loadsChosenFilesAndDeletesAll()
{
    Fixture f;
    TfrmMain& w = f.w;
    const QString folder = f.t.dir();
    const QStringList files = {f.t.writeFile("b.edi", callLine(1, "Mobilnetz", "A1") + callLine(2, "Mobilnetz", "A1")),
                               f.t.writeFile("a.edi", callLine(3, "Deutschland", "Köln")),
                               f.t.writeFile("c.edi", callLine(4, "Mobilnetz", "B1"))};
    QCOMPARE(w.lastOpenFolder(), QDir::current().filePath("Data"));
    f.script.fileNames = {files};
    w.mnuLoeschen->setEnabled(false);
    w.mnuOeffnenClick();
    QCOMPARE(f.shown(), QStringList{"EGN Datei öffnen: " + QDir::current().filePath("Data")});
    f.script.clear();
    QCOMPARE(f.t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 4);
    QStringList loaded;
    RuboStatement s(f.t.db(), "SELECT DateiName FROM GeladeneDateien ORDER BY DateiID");
    while (s.step())
        loaded << QFileInfo(s.column(0).toString()).fileName();
    QCOMPARE(loaded, (QStringList{"b.edi", "a.edi", "c.edi"}));
    QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(w.statusPanel(StatusPanel::Anrufe)).hasMatch());
    QVERIFY(w.mnuLoeschen->isEnabled());

    // The next dialog opens where the files came from; a cancelled one changes nothing.
    QCOMPARE(QDir(w.lastOpenFolder()), QDir(folder));
    w.setStatusPanel(StatusPanel::Text, "bleibt");
    w.mnuOeffnenClick();
    QCOMPARE(f.script.shown.size(), 1);
    QCOMPARE(f.script.shown[0].kind, DialogScript::Kind::OpenFiles);
    QCOMPARE(QDir(f.script.shown[0].text), QDir(folder));
    QCOMPARE(w.statusPanel(StatusPanel::Text), QStringLiteral("bleibt"));
    QCOMPARE(f.t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 4);
    f.script.clear();

    f.choose("Zonen");
    f.select({"Mobilnetz"});
    QVERIFY(w.mnuExport->isEnabled() && w.tbtnReport->isEnabled());

    f.script.answers = {false};
    w.mnuLoeschenClick();
    QCOMPARE(f.shown(), QStringList{"Bestätigung: Wollen Sie wirklich alle Anrufe aus der internen DB löschen ?"});
    QCOMPARE(f.panels(), QStringList(8, QString()));
    QCOMPARE(f.t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 4);
    QVERIFY(w.qryDetails->isOpen());

    // A deletion that fails keeps the calls and the list of their files together.
    f.script.clear();
    f.script.defaultAnswer = true;
    f.t.db().execute("CREATE TRIGGER gesperrt BEFORE DELETE ON EGN BEGIN SELECT RAISE(ABORT, 'EGN gesperrt'); END");
    w.mnuLoeschenClick();
    QCOMPARE(f.shown(), (QStringList{"Bestätigung: Wollen Sie wirklich alle Anrufe aus der internen DB löschen ?",
                                     "Information: Das Löschen der Tabelle EGN hat nicht funktioniert !\nEGN gesperrt"}));
    QCOMPARE(f.panels(), QStringList(8, QString()));
    QCOMPARE(f.t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 4);
    QCOMPARE(f.t.scalar("SELECT COUNT(*) FROM GeladeneDateien").toInt(), 3);
    QVERIFY(w.mnuLoeschen->isEnabled() && !f.t.db().inTransaction());
    f.t.db().execute("DROP TRIGGER gesperrt");
    f.script.clear();

    w.mnuLoeschenClick();
    QCOMPARE(f.script.texts(), QStringList{"Wollen Sie wirklich alle Anrufe aus der internen DB löschen ?"});
    QCOMPARE(w.statusPanel(StatusPanel::Text), QStringLiteral("Es wurden 4 Einträge gelöscht."));
    QCOMPARE(f.t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 0);
    QCOMPARE(f.t.scalar("SELECT COUNT(*) FROM GeladeneDateien").toInt(), 0);
    QCOMPARE(w.trvGruppe->model()->rowCount(), 0);
    QVERIFY(!w.qryDetails->isOpen() && !w.qryGroup->isOpen());
    for (QAction* a : {w.mnuExport, w.mnuReportEGN, w.mnuReportGroup, w.tbtnExcel, w.tbtnReport, w.tbtnSummen})
        QVERIFY(!a->isEnabled());
    QVERIFY(!w.mnuLoeschen->isEnabled());
    QCOMPARE(w.cboGruppierung->currentText(), QStringLiteral("Zonen"));

    // The same grouping again gives the bare root.
    f.choose("Zonen");
    QCOMPARE(treeDump(w.trvGruppe), QStringList{"Anrufe"});
    QCOMPARE(w.statusPanel(StatusPanel::Text), QStringLiteral("Liste gelöscht"));

    w.show();
    w.mnuBeendenClick();
    QVERIFY(!w.isVisible());
    QCOMPARE(w.cboGruppierung->currentIndex(), -1);
    QCOMPARE(w.trvGruppe->model()->rowCount(), 0);
    QCOMPARE(f.panels(), (QStringList{"Programm wird beendet", "", "", "", "", "", "", ""}));
}

void TestMainWindow::loadDialogOffersTheKnownFormats()
{
    // The real dialog, no script. It is only looked at and then cancelled: choosing a file in it
    // races with its reading of the folder in the background.
    TestDb t;
    TfrmMain w(t.dm());
    RecordingUi ui;
    QString title;
    QStringList filters;
    QString selectedFilter;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            selectedFilter = dialog->selectedNameFilter();
            mode = dialog->fileMode();
        }
        if (modal)
            modal->close();
    });
    poll.start(10);
    w.setStatusPanel(StatusPanel::Text, "bleibt");
    w.mnuOeffnenClick();
    poll.stop();
    QCOMPARE(title, QStringLiteral("EGN Datei öffnen"));
    QCOMPARE(filters, (QStringList{"Alle bekannten Formate (*.mdb;*.csv;*.edi;*.zip)", "DRAVIK Einzelgesprächs-Nachweis TSV-2 (*.edi)",
                                   "Character Seperated Values (*.csv)", "Komprimierte Dateien (*.zip)",
                                   "Access Datenbank (*.mdb)", "Alle Dateien"}));
    QCOMPARE(selectedFilter, filters.value(0));
    QCOMPARE(mode, QFileDialog::ExistingFiles);
    // Cancelled: nothing loaded, nothing said.
    QCOMPARE(ui.messages, QStringList());
    QCOMPARE(w.statusPanel(StatusPanel::Text), QStringLiteral("bleibt"));
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 0);
}

void TestMainWindow::loadDialogShowsSizeTypeAndDateWhole()
{
    TestDb t;
    TfrmMain w(t.dm());
    RecordingUi ui;
    // A first load, answered by a script, leaves the next dialogs in the file's folder.
    {
        DialogScript script;
        script.fileNames = {{t.writeFile("Anrufe_2003_01.edi", callLine(1, "Mobilnetz", "A1"))}};
        w.mnuOeffnenClick();
    }
    // The real dialog, twice: the first one is left with narrow columns, which Qt keeps for the
    // next one, as it keeps what an earlier session or another language left.
    bool narrowed = false;
    bool looked = false;
    int ticksSinceRead = 0;
    QStringList cut;
    QRect dialogGeometry;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        auto* list = dialog->findChild<QTreeView*>("treeView");
        // The folder is read in the background; the columns follow once it is.
        if (!list || list->model()->rowCount(list->rootIndex()) == 0 || ++ticksSinceRead < 30)
            return;
        if (!narrowed) {
            for (int column = 1; column < list->header()->count(); ++column)
                list->setColumnWidth(column, 20);
            narrowed = true;
        } else {
            for (int column = 1; column < list->header()->count(); ++column)
                if (list->columnWidth(column) < static_cast<QAbstractItemView*>(list)->sizeHintForColumn(column))
                    cut << list->model()->headerData(column, Qt::Horizontal).toString();
            dialogGeometry = dialog->frameGeometry();
            looked = true;
        }
        ticksSinceRead = 0;
        dialog->close();
    });
    poll.start(10);
    w.mnuOeffnenClick();
    QVERIFY(narrowed);
    w.mnuOeffnenClick();
    poll.stop();
    QVERIFY(looked);
    QCOMPARE(cut, QStringList());
    QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(dialogGeometry));
}

void TestMainWindow::buildsTheTree_data()
{
    QTest::addColumn<QString>("grouping");
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QString>("status");

    QTest::newRow("Zonen") << "Zonen"
                           << QStringList{"Anrufe", ".", "..x", "...14", ".Côte d'Ivoire", "..Abidjan", "...13", ".Deutschland",
                                          "..Köln", "...11", "...12", ".Mobilnetz", "..A1 Mobil", "...11", "...12",
                                          "..Magenta", "...11"}
                           << "Knoten 8 von 8";
    QTest::newRow("Inland - Ausland")
        << "Inland - Ausland"
        << QStringList{"Anrufe", ".Ausland", "..Côte d'Ivoire", "...Abidjan", "....13", "..Deutschland", "...Köln", "....11",
                       ".Inland", "..Mobilnetz", "...A1 Mobil", "....11", "....12", "...Magenta", "....11", ".Sonst", "..",
                       "...x", "....14"}
        << "Knoten 7 von 7";
    QTest::newRow("Ziele") << "Ziele"
                           << QStringList{"Anrufe", ".A1 Mobil", "..11", "..12", ".Abidjan", "..13", ".Köln", "..11", "..12",
                                          ".Magenta", "..11", ".x", "..14"}
                           << "Knoten 7 von 7";
}

void TestMainWindow::buildsTheTree()
{
    QFETCH(QString, grouping);
    QFETCH(QStringList, tree);
    QFETCH(QString, status);
    Fixture f;
    insertSampleCalls(f);
    f.w.show();
    f.choose(grouping);
    QCOMPARE(treeDump(f.w.trvGruppe), tree);
    QCOMPARE(f.w.statusPanel(StatusPanel::Text), status);
    const QModelIndex root = f.w.trvGruppe->model()->index(0, 0);
    QCOMPARE(f.w.trvGruppe->currentIndex(), root);
    QVERIFY(f.w.trvGruppe->isExpanded(root));
    for (int i = 0; i < f.w.trvGruppe->model()->rowCount(root); ++i)
        QVERIFY(!f.w.trvGruppe->isExpanded(root.model()->index(i, 0, root)));
    QVERIFY(f.w.treeRebuilt());
    QVERIFY(f.w.trvGruppe->updatesEnabled());
    QVERIFY(!root.data(Qt::DecorationRole).value<QIcon>().isNull());
    QVERIFY(!root.model()->index(0, 0, root).data(Qt::DecorationRole).value<QIcon>().isNull());
    // The selection made by the rebuild itself lists nothing.
    QVERIFY(!f.w.qryDetails->isOpen());

    // One result row: no node count is written.
    f.exec("DELETE FROM EGN WHERE rowid > 1");
    f.choose(grouping);
    QCOMPARE(f.w.statusPanel(StatusPanel::Text), QStringLiteral("Liste gelöscht"));
}

void TestMainWindow::nodeSelectionListsCallsAndTotals()
{
    Fixture f;
    insertSampleCalls(f);
    TfrmMain& w = f.w;
    f.choose("Zonen");

    f.select({"Mobilnetz"});
    QVERIFY(!w.treeRebuilt());
    QCOMPARE(w.currentWhere(), QStringLiteral(" AND (Zone = 'Mobilnetz')"));
    QCOMPARE(w.sumColumns(), QStringLiteral("Zone,Ziel"));
    QCOMPARE(f.panels(), (QStringList{"Zonen ", "3 Anrufe", "Dauer: 01:03:10", "EUR: " + FormatAmount(1003.75),
                                      "EUR: " + FormatAmount(1003.75), "rbt.ATS: " + FormatAmount(1003.5),
                                      "rbt.EUR: " + FormatAmount(1003.5), ""}));
    QCOMPARE(w.qryDetails->rowCount(), 3);
    QCOMPARE(w.qryGroup->rowCount(), 2);
    QVERIFY(w.qryGroup->holdAllRows());
    QVERIFY(!w.qryDetails->holdAllRows());
    for (const char* key : {"FilialeID", "Kostenstelle", "Nebenstelle", "Zone", "Ziel", "IAS"})
        QCOMPARE(w.grdGroup->isColumnVisible(key), QByteArray(key) == "Zone" || QByteArray(key) == "Ziel");
    QVERIFY(w.grdGroup->isColumnVisible("Anzahl"));
    QVERIFY(w.mnuExport->isEnabled() && w.tbtnSummen->isEnabled());

    // A node below: its path becomes the condition, innermost first.
    f.select({"Mobilnetz", "A1 Mobil", "12"});
    QCOMPARE(w.currentWhere(), QStringLiteral(" AND (Nebenstelle = '12') AND (Ziel = 'A1 Mobil') AND (Zone = 'Mobilnetz')"));
    QCOMPARE(w.sumColumns(), QStringLiteral("Zone,Ziel,Nebenstelle"));
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("1 Anruf"));
    QCOMPARE(w.statusPanel(StatusPanel::Dauer), QStringLiteral("Dauer: 00:00:30"));
    QVERIFY(w.grdGroup->isColumnVisible("Nebenstelle"));

    // The apostrophe of a zone name is part of the value, not of the statement.
    f.select({"Côte d'Ivoire"});
    QCOMPARE(f.shown(), QStringList());
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("1 Anruf"));
    QCOMPARE(w.qryDetails->value(0, "Ziel").toString(), QStringLiteral("Abidjan"));
    // No discount: panels 5 and 6 stay empty.
    QCOMPARE(w.statusPanel(StatusPanel::Rabatt), QString());
    QCOMPARE(w.statusPanel(StatusPanel::RabattEuro), QString());

    // The node without text stands for the absent and the empty zone.
    f.select({""});
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("2 Anrufe"));

    f.select({});
    QCOMPARE(w.currentWhere(), QString());
    QCOMPARE(w.sumColumns(), QStringLiteral("Zone"));
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("8 Anrufe"));
    QCOMPARE(w.qryGroup->rowCount(), 5);   // the sums keep the absent and the empty zone apart
    QVERIFY(!w.grdGroup->isColumnVisible("Ziel"));

    f.choose("Inland - Ausland");
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QString());   // the rebuild cleared the panels, the lists stay as they were
    QVERIFY(w.qryDetails->isOpen());
    f.select({"Sonst"});
    QCOMPARE(w.currentWhere(), QStringLiteral(" AND IAS = 'S'"));
    QCOMPARE(w.sumColumns(), QStringLiteral("IAS,Zone"));
    QCOMPARE(w.statusPanel(StatusPanel::Text), QStringLiteral("Inland - Ausland "));
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("2 Anrufe"));
    f.select({"Sonst", ""});
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("2 Anrufe"));
    // The root lists every call, also the one without a class.
    f.select({});
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("8 Anrufe"));
    QCOMPARE(w.sumColumns(), QStringLiteral("IAS"));
    QVERIFY(w.grdGroup->isColumnVisible("IAS") && !w.grdGroup->isColumnVisible("Zone"));
}

void TestMainWindow::filterColoursTheHeader()
{
    Fixture f;
    insertSampleCalls(f);
    TfrmMain& w = f.w;

    // The filter dialog closed without "&Filtern" leaves the filter and the lists alone.
    w.mnuFilterClick();
    QCOMPARE(f.shown(), QStringList{"Eingabe von Filter: frmFilter"});
    QVERIFY(w.filterWhere().isEmpty() && !w.qryDetails->isOpen());
    f.script.clear();

    // Before any node: all calls that match, one row of totals.
    w.setFilterWhere(" AND Sekunden > 15");
    w.waitForWork();
    QCOMPARE(w.currentWhere(), QStringLiteral(" AND Sekunden > 15"));
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("4 Anrufe"));
    QCOMPARE(w.qryGroup->rowCount(), 1);
    for (const char* key : {"FilialeID", "Kostenstelle", "Nebenstelle", "Zone", "Ziel", "IAS"})
        QVERIFY(!w.grdGroup->isColumnVisible(key));
    QCOMPARE(w.grdDetails->headerBackground(), QColor(0, 128, 128));
    QCOMPARE(w.grdDetails->headerText(), QColor(Qt::white));

    // The filter also narrows the tree built next.
    f.choose("Zonen");
    QCOMPARE(treeDump(w.trvGruppe), (QStringList{"Anrufe", ".Côte d'Ivoire", "..Abidjan", "...13", ".Mobilnetz", "..A1 Mobil",
                                                 "...11", "...12", "..Magenta", "...11"}));
    w.setFilterWhere(QString());
    w.waitForWork();
    f.choose("Zonen");

    f.select({"Mobilnetz"});
    w.setFilterWhere(" AND Sekunden < 0");
    w.waitForWork();
    QCOMPARE(w.currentWhere(), QStringLiteral(" AND (Zone = 'Mobilnetz') AND Sekunden < 0"));
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("0 Anrufe"));
    QCOMPARE(w.statusPanel(StatusPanel::Dauer), QStringLiteral("Dauer: 00:00:00"));
    QCOMPARE(w.statusPanel(StatusPanel::Betrag), "EUR: " + FormatAmount(0));
    QCOMPARE(w.qryGroup->rowCount(), 0);

    w.setFilterWhere(QString());

    w.waitForWork();
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("3 Anrufe"));
    QVERIFY(!w.grdDetails->headerBackground().isValid());
    QVERIFY(!w.grdDetails->headerText().isValid());

    // Right after a rebuild the root is selected: the first refresh is swallowed once.
    f.choose("Zonen");
    w.setFilterWhere(" AND Sekunden > 15");
    w.waitForWork();
    QCOMPARE(w.currentWhere(), QStringLiteral(" AND (Zone = 'Mobilnetz')"));
    QVERIFY(!w.treeRebuilt());
    w.setFilterWhere(" AND Sekunden > 15");
    w.waitForWork();
    QCOMPARE(w.currentWhere(), QStringLiteral(" AND Sekunden > 15"));
    QCOMPARE(f.shown(), QStringList());
}

void TestMainWindow::filterDialogNarrowsTheLists()
{
    Fixture f;
    insertSampleCalls(f);
    TfrmMain& w = f.w;
    const auto filterWith = [&](const std::function<void(TfrmFilter&)>& fill) {
        f.script.dialogResults << [fill](QDialog& d) {
            auto& filter = static_cast<TfrmFilter&>(d);
            fill(filter);
            filter.btnFiltern->click();
            return filter.result();
        };
        w.mnuFilterClick();
        w.waitForWork();
    };

    // No node yet: every call that matches, a zone with an apostrophe too.
    filterWith([](TfrmFilter& d) { d.Zone->setText("Côte d'Ivoire"); });
    QCOMPARE(w.filterWhere(), QStringLiteral(" AND Zone LIKE 'Côte d''Ivoire'"));
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("1 Anruf"));
    QCOMPARE(w.grdDetails->headerBackground(), QColor(0, 128, 128));

    // With a node: its condition and the filter's, Jet wildcards in the pattern.
    filterWith([](TfrmFilter& d) { d.Zone->clear(); });
    f.choose("Zonen");
    f.select({"Mobilnetz"});
    filterWith([](TfrmFilter& d) {
        d.Ziel->setText("A1*");
        d.NebenstelleVon->setText("12");
    });
    QCOMPARE(w.currentWhere(), QStringLiteral(" AND (Zone = 'Mobilnetz') AND CLng(Nebenstelle) = 12 AND Ziel LIKE 'A1*'"));
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("1 Anruf"));

    // "1 OR 1=1" would show every call of every node: it is refused and the filter stays.
    const QString before = w.filterWhere();
    f.script.clear();
    filterWith([](TfrmFilter& d) { d.NebenstelleVon->setText("1 OR 1=1"); });
    QCOMPARE(f.script.texts(), QStringList{"Nebenstelle von: „1 OR 1=1“ ist keine ganze Zahl."});
    QCOMPARE(w.filterWhere(), before);
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("1 Anruf"));

    // A pattern the engine cannot read ends in its message; the window goes on.
    f.script.clear();
    filterWith([](TfrmFilter& d) {
        d.NebenstelleVon->clear();
        d.Ziel->setText("[A");
    });
    QCOMPARE(f.script.shown.size(), 2);
    QCOMPARE(f.script.shown[1].kind, DialogScript::Kind::Information);
    QVERIFY(!w.qryDetails->isOpen());
    filterWith([](TfrmFilter& d) { d.Ziel->clear(); });
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("3 Anrufe"));
    QVERIFY(!w.grdDetails->headerBackground().isValid());

    // "&Zurücksetzen" empties the lists at once; "&Abbrechen" then keeps the filter in force.
    filterWith([](TfrmFilter& d) { d.Ziel->setText("Magenta"); });
    f.script.dialogResults << [](QDialog& d) {
        static_cast<TfrmFilter&>(d).btnReset->click();
        return int(QDialog::Rejected);
    };
    w.mnuFilterClick();
    QVERIFY(!w.qryDetails->isOpen() && !w.qryGroup->isOpen());
    QCOMPARE(w.filterWhere(), QStringLiteral(" AND Ziel LIKE 'Magenta'"));
}

void TestMainWindow::recalculationRewritesAndResetsTheViews()
{
    Fixture f;
    TfrmMain& w = f.w;
    f.exec("INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('GRZ', 'Graz', '0316*')");
    f.exec("INSERT INTO EGN (ANummer, Nebenstelle, Zone, GZ, FilialeID, Betrag, BetragEuro) VALUES "
           "('0316011', '0011', 'Mobil', 'GZ', 'alt', 1, 1), ('0316012', '', 'Mobil', 'GZ', 'alt', 1, 1), "
           "('0316013', '13', 'Mobil', 'GZ', 'alt', 1, 1)");
    f.w.frmFilter->FilialeIDDropDown();   // the branches are loaded before the run
    f.choose("Zonen");
    f.select({"Mobil"});
    QVERIFY(w.qryDetails->isOpen());

    // While the run is on, a modal window with its stop is the only one that takes input.
    QString modal;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (QWidget* m = QApplication::activeModalWidget())
            modal = m->objectName() + QStringLiteral(": ") + m->windowTitle();
        QCOMPARE(w.RecalculateCalls(), 0);   // a second run does not start inside the first
    });
    probe.start(0);
    const int failed = w.RecalculateCalls();
    probe.stop();
    QCOMPARE(failed, 1);
    QVERIFY(!w.isRecalculating());
    QCOMPARE(modal, QStringLiteral("frmRecalc: EGNs aktualisieren"));
    QCOMPARE(w.statusPanel(StatusPanel::Text), QStringLiteral("ABBRUCH: 1 Fehler, nur 3 bearbeitet."));
    QCOMPARE(f.t.scalar("SELECT group_concat(FilialeID || '/' || Nebenstelle, ' ') FROM EGN").toString(),
             QStringLiteral("GRZ/11 alt/ GRZ/13"));
    QCOMPARE(w.trvGruppe->model()->rowCount(), 0);
    QVERIFY(!w.qryDetails->isOpen() && !w.qryGroup->isOpen());
    QVERIFY(f.shown().isEmpty());
    // The branch list of the filter is read anew: the run marked it stale.
    QVERIFY(f.t.lists().Filialen().isDirty());

    // Choosing a grouping shows the new values.
    f.choose("Filialen & Nebenstellen");
    QVERIFY(treeDump(w.trvGruppe).contains(".GRZ"));

    // The stop of the modal window ends the run; what was done stays done.
    f.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200000) "
           "INSERT INTO EGN (ANummer, Nebenstelle, Zone, GZ, FilialeID) SELECT '0316011', '11', 'Mobil', 'GZ', 'alt' FROM n");
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget()))
            progress->findChild<QPushButton*>()->click();
    });
    stopper.start(0);
    QCOMPARE(w.RecalculateCalls(), 1);
    stopper.stop();
    const QRegularExpression stopped("^ABBRUCH: 1 Fehler, nur (\\d+) bearbeitet\\.$");
    const QRegularExpressionMatch match = stopped.match(w.statusPanel(StatusPanel::Text));
    QVERIFY2(match.hasMatch(), qPrintable(w.statusPanel(StatusPanel::Text)));
    const int visited = match.captured(1).toInt();
    QVERIFY2(visited >= 3 && visited < 200003, qPrintable(match.captured(1)));
    QCOMPARE(f.t.scalar("SELECT count(*) FROM EGN WHERE FilialeID = 'GRZ'").toInt(), visited - 1);
}

void TestMainWindow::editorsOpenFromTheMenusAndRecalculate()
{
    Fixture f;
    TfrmMain& w = f.w;
    f.exec("INSERT INTO EGN (ANummer, Nebenstelle, Zone, GZ, FilialeID) VALUES ('0316011', '11', 'Mobil', 'GZ', 'alt')");
    // Each opens modally, fresh; the menu entries and the toolbar reach the same dialogs.
    f.script.dialogResults << nullptr << nullptr << nullptr << nullptr;
    w.mnuFilialen->trigger();
    w.mnuKostenstellen->trigger();
    w.mnuZonenrabatte->trigger();
    w.tbtnFilialen->trigger();
    QCOMPARE(f.shown(), (QStringList{"Filialen: frmFilialen", "Kostenstellen: frmKostenstellen", "Zonen: frmZonenrabatte",
                                     "Filialen: frmFilialen"}));

    // A branch entered and the question answered Yes: the calls carry it at once.
    f.script.clear();
    f.script.answers = {true};
    f.script.dialogResults << [](QDialog& dialog) {
        auto& d = static_cast<TfrmFilialen&>(dialog);
        d.tableFilialen->insert(0);
        d.tableFilialen->setValue(0, "ANummer", "0316*");
        d.tableFilialen->setValue(0, "Kurz", "GRZ");
        d.reject();
        return int(QDialog::Rejected);
    };
    w.mnuFilialenClick();
    QCOMPARE(f.shown(), (QStringList{"Filialen: frmFilialen", "Bestätigung: Es wurden Daten verändert!\nSollen nun die "
                                                              "Einzelgesprächsnachweise aktualisiert werden ?"}));
    QCOMPARE(f.t.scalar("SELECT FilialeID FROM EGN").toString(), QStringLiteral("GRZ"));
    QCOMPARE(w.statusPanel(StatusPanel::Text), QStringLiteral("1 Done."));
}

void TestMainWindow::deletingALoadedFileResetsTheViews()
{
    Fixture f;
    TfrmMain& w = f.w;
    f.exec("INSERT INTO GeladeneDateien (DateiID, DateiName, OriginalName, AnzahlEGN) VALUES (1, '/d/a.edi', '', 2), (2, '/d/b.edi', '', 1)");
    f.exec("INSERT INTO EGN (DateiID, Zone, GZ, BeginZeit) VALUES (1, 'Mobil', 'GZ', 1), (1, 'Mobil', 'GZ', 2), (2, 'Fest', 'GZ', 3)");
    f.choose("Zonen");
    f.select({"Mobil"});
    QVERIFY(w.qryDetails->isOpen());
    f.script.answers = {true};
    f.script.dialogResults << [](QDialog& dialog) {
        auto& d = static_cast<TfrmLoaded&>(dialog);
        d.DBGrid1->setCurrentRow(0);
        d.btnDeleteClick();
        return int(QDialog::Rejected);
    };
    w.mnuLoaded->trigger();
    QCOMPARE(w.statusPanel(StatusPanel::Text), QStringLiteral("Es wurden 2 Einträge gelöscht."));
    QCOMPARE(w.trvGruppe->model()->rowCount(), 0);
    QVERIFY(!w.qryDetails->isOpen() && !w.qryGroup->isOpen());
    QCOMPARE(f.t.scalar("SELECT group_concat(DateiID) FROM EGN").toString(), QStringLiteral("2"));
}

void TestMainWindow::sortingIsRefusedAboveTheLimit()
{
    Fixture f;
    TfrmMain& w = f.w;
    f.exec("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 20000) "
           "INSERT INTO EGN (Zone, Ziel, Nebenstelle, Sekunden) SELECT 'Z', 'Ziel', CAST(n % 7 AS TEXT), n FROM c");
    f.choose("Zonen");
    f.select({"Z"});
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("20000 Anrufe"));
    w.grdDetailsColumnClick("Sekunden");
    w.waitForWork();
    QCOMPARE(w.grdDetails->sortOrder("Sekunden"), DataGrid::SortOrder::Ascending);
    QVERIFY(w.qryDetails->holdAllRows());
    QCOMPARE(w.qryDetails->value(0, "Sekunden").toInt(), 1);
    w.grdDetailsColumnClick("Sekunden");
    w.waitForWork();
    QCOMPARE(w.grdDetails->sortOrder("Sekunden"), DataGrid::SortOrder::Descending);
    QCOMPARE(w.qryDetails->value(0, "Sekunden").toInt(), 20000);

    // A new list starts unsorted and reads rows as they are shown.
    f.exec("INSERT INTO EGN (Zone, Ziel, Nebenstelle, Sekunden) VALUES ('Z', 'Ziel', '1', 0)");
    f.choose("Zonen");
    f.select({"Z"});
    QVERIFY(!w.qryDetails->holdAllRows());
    QCOMPARE(w.grdDetails->sortOrder("Sekunden"), DataGrid::SortOrder::None);
    w.grdDetailsColumnClick("Sekunden");
    w.waitForWork();
    QCOMPARE(w.grdDetails->sortOrder("Sekunden"), DataGrid::SortOrder::None);
    QVERIFY(!w.qryDetails->holdAllRows());
    QCOMPARE(w.statusPanel(StatusPanel::Text), QStringLiteral("Sortierung bei mehr als 20000 Einträgen nicht möglich."));
    QVERIFY(w.qryDetails->fetchedRowCount() < 20001);

    // A click while the list is still counted is decided by the count when it comes.
    w.ShowDetails(" AND (Zone = 'Z') AND Sekunden > 0");
    w.grdDetailsColumnClick("Sekunden");
    QCOMPARE(w.grdDetails->sortOrder("Sekunden"), DataGrid::SortOrder::Ascending);
    w.waitForWork();
    QVERIFY(w.qryDetails->holdAllRows());
    QCOMPARE(w.qryDetails->rowCount(), 20000);
    QCOMPARE(w.qryDetails->value(0, "Sekunden").toInt(), 1);
}

void TestMainWindow::groupingFollowsTheSortingLimit()
{
    Fixture f;
    TfrmMain& w = f.w;
    f.exec("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 20000) "
           "INSERT INTO EGN (Zone, Ziel, Nebenstelle, Sekunden) SELECT 'Z', 'Ziel', CAST(n % 7 AS TEXT), n FROM c");
    f.exec("INSERT INTO EGN (Zone, Ziel, Nebenstelle, Sekunden) VALUES ('Y', 'Ziel', '1', 0)");
    f.choose("Zonen");
    f.select({"Z"});
    w.grdDetails->setGroupedFields({"Nebenstelle"});
    w.waitForWork();
    QVERIFY(w.qryDetails->holdAllRows());
    const GroupedRows* rows = w.grdDetails->rows();
    QCOMPARE(rows->rowCount(), 7);
    // 20000 = 7 * 2857 + 1: the remainder 1 has one call more.
    QCOMPARE(rows->index(0, 0).data(GroupedRows::GroupCaptionRole).toString(), QStringLiteral("Nebenstelle: 0 (2857 Einträge)"));
    QCOMPARE(rows->index(1, 0).data(GroupedRows::GroupCaptionRole).toString(), QStringLiteral("Nebenstelle: 1 (2858 Einträge)"));

    // The grouping and a sort carry over to the next list that is small enough.
    w.grdDetailsColumnClick("Sekunden");
    w.waitForWork();
    f.select({"Y"});
    QCOMPARE(w.grdDetails->groupedFields(), QStringList{"Nebenstelle"});
    QCOMPARE(rows->rowCount(), 1);
    QCOMPARE(rows->index(0, 0).data(GroupedRows::GroupCaptionRole).toString(), QStringLiteral("Nebenstelle: 1 (1 Eintrag)"));

    // All 20001 calls: the grouping is given up with the sorting's refusal, rows are read as shown.
    f.select({});
    QVERIFY(w.grdDetails->groupedFields().isEmpty());
    QCOMPARE(w.grdDetails->sortOrder("Sekunden"), DataGrid::SortOrder::None);
    QCOMPARE(w.statusPanel(StatusPanel::Text), QStringLiteral("Sortierung bei mehr als 20000 Einträgen nicht möglich."));
    QVERIFY(!w.qryDetails->holdAllRows());
    QVERIFY(!rows->isGrouped());
    w.setStatusText(QString());
    w.grdDetails->setGroupedFields({"Zone"});
    w.waitForWork();
    QVERIFY(w.grdDetails->groupedFields().isEmpty());
    QCOMPARE(w.statusPanel(StatusPanel::Text), QStringLiteral("Sortierung bei mehr als 20000 Einträgen nicht möglich."));
    QVERIFY(w.qryDetails->fetchedRowCount() < 20001);
    QCOMPARE(rows->rowCount(), 20001);

    // The grouping of the last run is there at the next start.
    f.select({"Z"});
    w.grdDetails->setGroupedFields({"Ziel", "Nebenstelle"});
    w.waitForWork();
    QVERIFY(rows->isGrouped());
    QCOMPARE(rows->rowCount(), 1);
    w.grdDetails->setGroupingPanelVisible(true);
    {
        TfrmMain other(f.t.dm());
        other.grdDetails->setGroupedFields({"Zone"});
    }
    TfrmMain again(f.t.dm());
    QCOMPARE(again.grdDetails->groupedFields(), QStringList{"Zone"});
}

void TestMainWindow::sumsListSortsAndKeepsItsOrder()
{
    Fixture f;
    TfrmMain& w = f.w;
    insertSampleCalls(f);
    f.choose("Zonen");
    f.select({"Mobilnetz"});
    f.select({});
    Q_EMIT w.grdGroup->columnClicked("SumBetrag");
    w.waitForWork();
    Q_EMIT w.grdGroup->columnClicked("SumBetrag");
    w.waitForWork();
    QCOMPARE(w.grdGroup->sortOrder("SumBetrag"), DataGrid::SortOrder::Descending);
    QCOMPARE(w.qryGroup->value(0, "Zone").toString(), QStringLiteral("Mobilnetz"));
    QCOMPARE(w.qryGroup->value(0, "SumBetrag").toDouble(), 1003.75);
    // A sort by a key column this node lacks waits for a node that has it.
    Q_EMIT w.grdGroup->columnClicked("Ziel");
    w.waitForWork();
    QCOMPARE(w.grdGroup->sortedFields(), QStringList{"Ziel"});
    QCOMPARE(w.qryGroup->rowCount(), 5);
    f.select({"Mobilnetz"});
    QCOMPARE(w.qryGroup->value(0, "Ziel").toString(), QStringLiteral("A1 Mobil"));
    Q_EMIT w.grdGroup->columnClicked("Ziel");
    w.waitForWork();
    QCOMPARE(w.qryGroup->value(0, "Ziel").toString(), QStringLiteral("Magenta"));
    QVERIFY(f.script.shown.isEmpty());
}

void TestMainWindow::databaseErrorsAreShownAndTheWindowStays()
{
    Fixture f;
    insertSampleCalls(f);
    TfrmMain& w = f.w;
    f.choose("Zonen");
    const QStringList before = treeDump(w.trvGruppe);

    // A filter the engine rejects: the tree keeps its nodes and stays usable.
    w.setFilterWhere(" AND Unbekannt = 1");
    w.waitForWork();
    QCOMPARE(f.shown(), QStringList());   // the root selected by the rebuild lists nothing
    f.choose("Ziele");
    QCOMPARE(f.script.shown.size(), 1);
    QCOMPARE(f.script.shown[0].kind, DialogScript::Kind::Information);
    QVERIFY2(f.script.shown[0].text.contains("Unbekannt"), qPrintable(f.script.shown[0].text));
    QCOMPARE(treeDump(w.trvGruppe), before);
    QCOMPARE(w.cboGruppierung->currentText(), QStringLiteral("Zonen"));
    QVERIFY(w.trvGruppe->updatesEnabled());

    // The lists report the same way and stay closed.
    QVERIFY(!w.treeRebuilt());
    f.select({"Mobilnetz"});
    QCOMPARE(f.script.shown.size(), 2);
    QVERIFY(!w.qryDetails->isOpen());
    QVERIFY(!w.mnuExport->isEnabled());

    w.setFilterWhere(QString());

    w.waitForWork();
    QCOMPARE(f.script.shown.size(), 2);
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("3 Anrufe"));
    f.select({"Deutschland"});
    QCOMPARE(f.script.shown.size(), 2);
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("2 Anrufe"));
}

void TestMainWindow::onlyTheNewestRequestIsShown()
{
    Fixture f;
    TfrmMain& w = f.w;
    insertSampleCalls(f);
    // Every tree and every sums list the window shows, as they come.
    QStringList trees, sums;
    connect(w.trvGruppe->model(), &QAbstractItemModel::modelReset, &w,
            [&] { trees << QString::number(w.trvGruppe->model()->rowCount(w.trvGruppe->model()->index(0, 0))); });
    connect(w.qryGroup, &QAbstractItemModel::modelReset, &w, [&] {
        if (w.qryGroup->isOpen())
            sums << w.qryGroup->value(0, "Anzahl").toString();
    });

    // A second grouping chosen while the first is read: only the second tree comes, and the
    // nodes of the tree shown meanwhile keep the grouping they were built for.
    f.choose("Zonen");
    trees.clear();
    w.cboGruppierung->setCurrentIndex(w.cboGruppierung->findText("Ziele"));
    w.cboGruppierungChange();
    w.cboGruppierung->setCurrentIndex(w.cboGruppierung->findText("Inland - Ausland"));
    w.cboGruppierungChange();
    QVERIFY(w.isWorking());
    w.trvGruppe->setCurrentIndex(f.node({"Deutschland"}));
    QCOMPARE(w.currentWhere(), QStringLiteral(" AND (Zone = 'Deutschland')"));
    w.waitForWork();
    QCOMPARE(trees, QStringList{"3"});
    QCOMPARE(treeDump(w.trvGruppe).mid(0, 2), (QStringList{"Anrufe", ".Ausland"}));
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("2 Anrufe"));

    // A node chosen while the lists of the one before are still counted, here by a filter
    // that keeps the engine busy: only the second node's totals and sums are shown.
    f.choose("Zonen");
    sums.clear();
    const QString slow = " AND (WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 2000000) "
                         "SELECT count(*) FROM c) > 0";
    w.ShowDetails(" AND (Zone = 'Mobilnetz')" + slow);
    QVERIFY(w.isWorking());
    f.select({"Deutschland"});
    QCOMPARE(sums, QStringList{"2"});
    QCOMPARE(w.qryDetails->rowCount(), 2);
    QCOMPARE(w.statusPanel(StatusPanel::Anrufe), QStringLiteral("2 Anrufe"));
    QCOMPARE(f.shown(), QStringList());

    // Leaving while a tree is read ends the reading; nothing more arrives.
    w.cboGruppierung->setCurrentIndex(w.cboGruppierung->findText("Ziele"));
    w.cboGruppierungChange();
    trees.clear();
    w.mnuBeendenClick();
    w.waitForWork();
    QCOMPARE(trees, QStringList{"0"});
    QCOMPARE(w.trvGruppe->model()->rowCount(), 0);
}

void TestMainWindow::dialogsAreAnsweredByTheScript()
{
    DialogScript script;
    QDialog dialog;
    dialog.setObjectName("frmFilter");
    dialog.setWindowTitle("Filter");
    auto* edit = new QLineEdit(&dialog);
    // An answer works on the real dialog, as the user would, then closes it.
    script.dialogResults << [](QDialog& d) {
        d.findChild<QLineEdit*>()->setText("0664*");
        return int(QDialog::Accepted);
    };
    QCOMPARE(ExecDialog(dialog), int(QDialog::Accepted));
    QCOMPARE(edit->text(), QStringLiteral("0664*"));
    // With no answer left the user closes the dialog.
    QCOMPARE(ExecDialog(dialog), int(QDialog::Rejected));

    script.answers = {true};
    QVERIFY(ShowAskYesNoBox(nullptr, "Erste?"));
    QVERIFY(!ShowAskYesNoBox(nullptr, "Zweite?"));
    ShowMessageOkBox(nullptr, "Kaputt", RuboUi::MsgKind::Error);
    QCOMPARE(GetOpenFileNames(nullptr, "Öffnen", "/tmp", {"Alle Dateien"}), QStringList());
    QCOMPARE(script.texts(), (QStringList{"Erste?", "Zweite?", "Kaputt"}));
    QCOMPARE(script.shown.size(), 6);
    const DialogScript::Kind kinds[] = {DialogScript::Kind::Dialog, DialogScript::Kind::Dialog, DialogScript::Kind::Question,
                                        DialogScript::Kind::Question, DialogScript::Kind::Error, DialogScript::Kind::OpenFiles};
    const char* const titles[] = {"Filter", "Filter", "Bestätigung", "Bestätigung", "Fehler", "Öffnen"};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(script.shown[i].kind, kinds[i]);
        QCOMPARE(script.shown[i].title, QString::fromUtf8(titles[i]));
    }
    QCOMPARE(script.shown[0].text, QStringLiteral("frmFilter"));
    QCOMPARE(script.shown[5].text, QStringLiteral("/tmp"));

    // A script installed inside another one answers until it ends, then the outer one again.
    {
        DialogScript inner;
        QCOMPARE(DialogScript::current(), &inner);
        ShowMessageOkBox(nullptr, "innen", RuboUi::MsgKind::Information);
        QCOMPARE(inner.texts(), QStringList{"innen"});
    }
    QCOMPARE(DialogScript::current(), &script);
    QCOMPARE(script.shown.size(), 6);
}

void TestMainWindow::itemShortcutGoesBeforeMenuTitle_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("ownItem");   // an item the test adds, with the key of "E&xtras"
    QTest::newRow("Alt+D: Geladene Dateien, not Datei") << "Alt+D" << false;
    QTest::newRow("Alt+X: any item, not Extras") << "Alt+X" << true;
}

void TestMainWindow::itemShortcutGoesBeforeMenuTitle()
{
    QFETCH(QString, key);
    QFETCH(bool, ownItem);
    Fixture f;
    TfrmMain& w = f.w;
    QAction* item = w.mnuLoaded;
    if (ownItem) {
        item = w.menuBar()->actions().at(1)->menu()->addAction("Neu");
        item->setShortcut(QKeySequence(key));
    }
    QSignalSpy triggered(item, &QAction::triggered);
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));

    // Qt hands an ambiguous key to the menu bar and the item in turn: every press must reach the item.
    const QKeyCombination combination = QKeySequence(key)[0];
    for (int press = 1; press <= 3; ++press) {
        QTest::keyClick(&w, combination.key(), combination.keyboardModifiers());
        QCOMPARE(triggered.count(), press);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
    }
    if (!ownItem)
        QCOMPARE(f.shown(), QStringList(3, "Geladene Dateien: frmLoaded"));

    // A menu title whose letter no item takes still opens its menu.
    QMenu* ansicht = w.menuBar()->actions().at(1)->menu();
    QTest::keyClick(&w, Qt::Key_A, Qt::AltModifier);
    QTRY_COMPARE(QApplication::activePopupWidget(), ansicht);
    ansicht->close();
    QCOMPARE(triggered.count(), 3);

    // Two items with one key stay ambiguous: neither acts.
    QAction* twin = w.menuBar()->actions().at(2)->menu()->addAction("Zwilling");
    twin->setShortcut(QKeySequence(key));
    QSignalSpy twinTriggered(twin, &QAction::triggered);
    QTest::keyClick(&w, combination.key(), combination.keyboardModifiers());
    QTest::keyClick(&w, combination.key(), combination.keyboardModifiers());
    QCOMPARE(triggered.count() + twinTriggered.count(), 3);
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
}

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
