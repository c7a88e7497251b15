#pragma once

#include "database/NumberMask.h"
#include "database/UserInterface.h"

#include <QIcon>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QSplitter;
class QModelIndex;
class QTreeView;
class QWidget;
class DataGrid;
class GruppeTree;
class RuboWorker;
struct Gruppierung;
struct Totals;
class SqlPagedModel;
class TdmMain;
class TfrmCallProperties;
class TfrmExport;
class TfrmFilter;
class TGruppeModel;

// The main window: grouping tree, detail list with totals, sums list, and the status bar through
// which the core reports progress.
class TfrmMain : public QMainWindow, public RuboUi
{
    Q_OBJECT
public:
    static constexpr int kSortLimit = 20000;

    explicit TfrmMain(TdmMain& dm, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // RuboUi
    void setStatusPanel(StatusPanel panel, const QString& text) override;
    void clearStatusPanels() override;
    void messageOk(const QString& text, MsgKind kind) override;
    bool askYesNo(const QString& text) override;
    void processEvents() override;
    void setWaitCursor(bool on) override;

    QString statusPanel(StatusPanel panel) const;
    QString statusHint() const;

    // The form's components, reachable by their names for the tests and the coming dialogs.
    QComboBox* cboGruppierung = nullptr;
    QTreeView* trvGruppe = nullptr;
    TGruppeModel* mdlGruppe = nullptr;
    DataGrid* grdDetails = nullptr;
    DataGrid* grdGroup = nullptr;
    SqlPagedModel* qryDetails = nullptr;
    SqlPagedModel* qryGroup = nullptr;
    TfrmCallProperties* frmCallProperties = nullptr;   // lives as long as the window
    TfrmFilter* frmFilter = nullptr;                   // likewise: it keeps what was typed
    TfrmExport* frmExport = nullptr;                   // likewise: names, formats, separators

    QAction *mnuOeffnen = nullptr, *mnuSaveAs = nullptr, *mnuLoeschen = nullptr, *mnuBeenden = nullptr,
            *mnuLoaded = nullptr, *mnuGrdDetailsGruppieren = nullptr, *mnuGrdDetailsColSelect = nullptr,
            *mnuShowInfo = nullptr, *mnuExport = nullptr, *mnuFilter = nullptr, *mnuFilialen = nullptr,
            *mnuKostenstellen = nullptr, *mnuZonenrabatte = nullptr, *mnuReportEGN = nullptr,
            *mnuReportGroup = nullptr, *mnuOptionen = nullptr, *mnuInfo = nullptr, *mnuHilfe = nullptr;
    QAction *tbtnOpenDatabase = nullptr, *tbtnExcel = nullptr, *tbtnReport = nullptr, *tbtnSummen = nullptr,
            *tbtnFilialen = nullptr, *tbtnKostenstellen = nullptr;

    // The condition of the filter in force, a run of " AND ..." conditions; empty without one.
    const QString& filterWhere() const { return FilterWhere; }
    // The condition of the lists shown: the selected node's conditions, then the filter's.
    const QString& currentWhere() const { return CurrentWhere; }
    // The sums list's columns for the selected node, comma-separated.
    const QString& sumColumns() const { return SumColumns; }
    // True from a tree's rebuild until the selection it made has been passed over.
    bool treeRebuilt() const { return TreeRebuilt; }

    // The tree, the totals and the sums list are read on workers; these return at once.
    void cboGruppierungChange();
    void trvGruppeChange(const QModelIndex& node);
    void ShowDetails(const QString& nodeCondition);
    bool EnableSorting(bool allow);
    void ShowGroupColumns();

    // Derives every stored call anew from the reference data (the editors' "&EGNs aktualisieren")
    // on a worker, while a modal progress window with its stop keeps every other input out.
    // Returns the number of calls that failed and kept their old values.
    int RecalculateCalls();
    bool isRecalculating() const { return m_recalculating; }

    void mnuOeffnenClick();
    void mnuLoeschenClick();
    void mnuBeendenClick();
    void mnuFilterClick();
    // Puts a new filter condition (a run of " AND ..." conditions) in force and lists the calls of
    // the selected node again, as accepting the filter dialog does.
    void setFilterWhere(const QString& filterWhere);
    void StatusBarDblClick();

    // The export dialog, on its "Datenbank", last shown and "EGN" sheet.
    void mnuSaveAsClick();
    void mnuExportClick();
    void tbtnExcelClick();
    void mnuLoadedClick();
    void mnuFilialenClick();
    void mnuKostenstellenClick();
    void mnuZonenrabatteClick();
    void mnuReportEGNClick();
    void mnuReportGroupClick();
    void mnuInfoClick();
    void mnuHilfeClick();
    // "Optionen": the shortened dialled numbers, stored in the settings and shown at once.
    void mnuOptionenClick();

    // How the dialled numbers are shown, exported and printed; read from the settings at start.
    const NumberMask& numberMask() const { return m_numberMask; }
    void setNumberMask(const NumberMask& mask);

    // The call properties of the detail list's current call, modal.
    void grdDetailsDblClick();
    void grdDetailsColumnClick(const QString& field);
    void grdDetailsGroupingChange(const QStringList& fields);

    QString lastOpenFolder() const;

    // The calls of the detail list; -1 while they are counted.
    qint64 detailCount() const { return m_detailRows; }
    // Processes events until the count, the totals and the sums list of the list shown are there
    // (a tree being built is not waited for).
    void waitForLists();

    // A tree, totals or sums list still being read.
    bool isWorking() const;
    // Processes events until all of them are shown: for closing, tests and benchmarks.
    void waitForWork();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMenus();
    void createToolBar();
    void createPanels();
    void createStatusBar();
    void setupGrids();
    void setOutputCommandsEnabled(bool enabled);
    void detachTreeHandler() { m_treeHandlerAttached = false; }
    void clearTree();
    void closeLists();
    template <typename Editor>
    void runEditor();
    void toggleColumnChooser(bool open);
    void applyDetailOrder();
    void applyGroupOrder();
    void showTree(const Gruppierung& gruppierung, std::shared_ptr<const GruppeTree> tree);
    void showTotals(const Totals& totals);
    void startSums();
    // Reads `sql` whole on `worker`, in the order of `grid`, into `list`; `then` follows on arrival.
    void readWhole(RuboWorker& worker, SqlPagedModel& list, const QString& sql, const DataGrid& grid,
                   std::function<void()> then);
    void listFailed(const QString& message);
    void settleBeforeWriting();
    void updateBusyCursor();
    QLabel* panelLabel(StatusPanel panel) const { return m_panels[int(panel)]; }

    TdmMain& m_dm;
    NumberMask m_numberMask;
    QString FilterWhere;
    QString CurrentWhere;
    QString SumColumns;
    bool TreeRebuilt = false;
    QLabel* m_panels[kStatusPanelCount] = {};
    QString m_hint;
    QSplitter* Splitter2 = nullptr;
    QSplitter* splitterInfo = nullptr;
    QFrame* panelLeft = nullptr;
    QWidget* panelRight = nullptr;
    QWidget* panelInfo = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* ImageLogo = nullptr;
    QList<QAction*> m_outputCommands;
    bool m_treeHandlerAttached = false;
    QString m_openFolder;     // initial folder of the load dialog, empty before its first use
    QString m_lastOpenedFile; // first file chosen in the last load dialog
    QString m_treeGrouping;       // the grouping the tree shows, empty while it is empty
    // Each reads on a connection of its own; a new request cancels the one it replaces.
    std::unique_ptr<RuboWorker> m_treeWorker;
    std::unique_ptr<RuboWorker> m_totalsWorker;
    std::unique_ptr<RuboWorker> m_sumsWorker;
    std::unique_ptr<RuboWorker> m_detailsWorker;   // the detail list read whole, in order
    std::unique_ptr<RuboWorker> m_pagesWorker;     // the pages of the detail list a view shows
    qint64 m_detailRows = -1;                      // calls of the detail list, -1 while counted
    bool m_busyCursor = false;
    bool m_recalculating = false;
};

extern TfrmMain* frmMain;
