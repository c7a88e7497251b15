// Times the main window on a database of many calls: building the "Zonen" tree against the sqlite3
// shell running the same grouping statement (in byte order: the shell has no collation DEUTSCH),
// and selecting the root and the largest level-1 node: until the first screen of the detail list,
// and until the totals and the sums list are there. A heartbeat timer on the window's thread
// measures the longest time its event loop did not answer meanwhile.
//
//   bench_tree [--dir DIR] [--calls N] [--destinations D] [--grouping TEXT] [--sql STATEMENT]...
//
// DIR holds RuboTool.mdb (as bench_import --keep DIR leaves it); without it, or when it has no
// database, one with N calls (default 1,000,000) is built first.

#include "toolkit/SqlPagedModel.h"
#include "bench/EdiGenerator.h"
#include "mainwindow/Gruppierung.h"
#include "database/LanguageOrder.h"
#include "database/RuboEngine.h"
#include "database/RuboError.h"
#include "database/dmlMain.h"
#include "mainwindow/untDialogs.h"
#include "mainwindow/untMain.h"
#include "mainwindow/untGruppeModel.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <cstdio>

namespace {

void print(const char* key, const QString& value)
{
    PrintFigure(key, value, 34);
}

QString seconds(double s)
{
    return SecondsText(s);
}

// The shell's time for a statement, output thrown away as a terminal would not show it either.
double shellSeconds(const QString& db, const QString& sql)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("sqlite3"), {db, sql});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3 failed: %s\n", p.readAllStandardError().constData());
        return -1;
    }
    return t.nsecsElapsed() / 1e9;
}

// The longest gap between two ticks of a 5 ms timer: how long the event loop was blocked.
class Heartbeat
{
public:
    Heartbeat()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = qMax(m_longest, m_since.nsecsElapsed() / 1e9);
            m_since.restart();
        });
        m_timer.start();
        restart();
    }
    void restart()
    {
        m_longest = 0;
        m_since.restart();
    }
    double longest() const { return qMax(m_longest, m_since.nsecsElapsed() / 1e9); }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    double m_longest = 0;
};

// What a grid shows first: every column of its first rows.
void readFirstRows(SqlPagedModel* model, int rows)
{
    const int n = qMin(rows, model->rowCount());
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < model->columnCount(); ++c)
            (void)model->data(model->index(r, c));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QString dirPath;
    qint64 calls = 1000000;
    int destinations = EdiGenerator::kDefaultDestinations;
    QString grouping = QStringLiteral("Zonen");
    QStringList sql;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (ReadDatabaseOption(args, i, dirPath, calls))
            continue;
        if (args[i] == QLatin1String("--destinations") && hasValue)
            destinations = args[++i].toInt();
        else if (args[i] == QLatin1String("--grouping") && hasValue)
            grouping = args[++i];
        else if (args[i] == QLatin1String("--sql") && hasValue)
            sql << args[++i];
        else {
            std::fprintf(stderr, "bench_tree: unknown or incomplete option %s\n", qPrintable(args[i]));
            return 2;
        }
    }
    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty()) {
        std::fprintf(stderr, "bench_tree: the sqlite3 shell is needed as the baseline\n");
        return 2;
    }
    const Gruppierung* g = FindGruppierung(grouping);
    if (!g) {
        std::fprintf(stderr, "bench_tree: no grouping %s\n", qPrintable(grouping));
        return 2;
    }

    QTemporaryDir temp;
    const QString mdb = BenchDatabase(dirPath, temp.path(), calls, "bench_tree", 34, destinations);
    if (mdb.isEmpty())
        return 1;

    TdmMain dm(mdb);
    dmMain = &dm;
    {
        BenchUi quiet;
        if (!dm.open()) {
            std::fprintf(stderr, "bench_tree: %s\n", qPrintable(quiet.messages.join(QLatin1Char('\n'))));
            return 1;
        }
    }
    qint64 rows = 0;
    try {
        for (const QString& s : sql) {
            QElapsedTimer t;
            t.start();
            dm.RuboDB().execute(s);
            print("extra SQL s:", seconds(t.nsecsElapsed() / 1e9) + QStringLiteral("  ") + s);
        }
        RuboStatement count(dm.RuboDB(), QStringLiteral("SELECT COUNT(*) FROM EGN"));
        rows = count.step() ? count.column(0).toLongLong() : 0;
    } catch (const RuboError& e) {
        std::fprintf(stderr, "bench_tree: %s\n", qPrintable(e.message()));
        return 1;
    }

    // The shell knows no collation DEUTSCH: it sorts the same tree by bytes, so the ratio includes
    // what the language's order costs.
    const QString treeSql =
        TreeQuerySql(*g, QString()).remove(QStringLiteral(" COLLATE ") + QLatin1String(kLanguageOrderSql));
    shellSeconds(mdb, treeSql);   // both sides then read from a warm page cache
    const double shellTree = shellSeconds(mdb, treeSql);

    // No box may stop the clock: every message and question is recorded instead, and answered No.
    DialogScript script;
    QStringList errors;   // the bench's own statements
    const auto messages = [&] { return script.texts() + errors; };
    TfrmMain w(dm);
    w.show();
    app.processEvents();

    QElapsedTimer t;
    w.cboGruppierung->blockSignals(true);
    w.cboGruppierung->setCurrentText(g->text);
    w.cboGruppierung->blockSignals(false);
    if (w.cboGruppierung->currentText() != g->text) {
        std::fprintf(stderr, "bench_tree: the grouping list has no entry %s\n", qPrintable(g->text));
        return 1;
    }
    Heartbeat heartbeat;
    t.start();
    w.cboGruppierungChange();
    w.waitForWork();
    const double ourTree = t.nsecsElapsed() / 1e9;
    const double treeBlocked = heartbeat.longest();
    const GruppeTree* tree = w.mdlGruppe->tree();
    const QAbstractItemModel* model = w.trvGruppe->model();
    const QModelIndex root = model->index(0, 0);
    if (!tree || model->rowCount(root) == 0) {
        std::fprintf(stderr, "bench_tree: no tree built. %s\n", qPrintable(messages().join(QLatin1Char('|'))));
        return 1;
    }
    const int nodes = tree->nodeCount();
    const size_t treeBytes = tree->bytesHeld();
    const qint64 rssTree = PeakRssKb();

    // Until the first screen of the detail list is there, then until totals and sums are.
    struct Selection
    {
        double firstRows, complete, blocked;
        int rows;
    };
    const auto select = [&](const QModelIndex& node) {
        heartbeat.restart();
        t.restart();
        w.trvGruppe->setCurrentIndex(node);
        // The first page comes from a worker: the first screen is there when its first row is.
        const SqlPagedModel* details = w.qryDetails;
        while (!details->data(details->index(0, 0), Qt::EditRole).isValid() && (details->rowCount() > 0 || w.isWorking()))
            app.processEvents();
        readFirstRows(w.qryDetails, 30);
        const double firstRows = t.nsecsElapsed() / 1e9;
        w.waitForWork();
        readFirstRows(w.qryGroup, 30);
        return Selection{firstRows, t.nsecsElapsed() / 1e9, heartbeat.longest(), w.qryDetails->rowCount()};
    };
    // The first selection after a rebuild is passed over on purpose; then the root is timed.
    w.trvGruppe->setCurrentIndex(model->index(0, 0, root));
    w.waitForWork();
    const Selection rootSelect = select(root);

    // A level-1 node (the largest zone) for comparison: its conditions have to search the table.
    QModelIndex largest = model->index(0, 0, root);
    for (int i = 1; i < model->rowCount(root); ++i)
        if (model->rowCount(model->index(i, 0, root)) > model->rowCount(largest))
            largest = model->index(i, 0, root);
    const Selection nodeSelect = select(largest);
    const QString largestText = largest.data().toString();
    // And the smallest: few calls spread over the whole table, which the first page has to find.
    QModelIndex smallest = model->index(0, 0, root);
    for (int i = 1; i < model->rowCount(root); ++i)
        if (model->rowCount(model->index(i, 0, root)) < model->rowCount(smallest))
            smallest = model->index(i, 0, root);
    const Selection rareSelect = select(smallest);
    const QString smallestText = smallest.data().toString();

    // The root's statements alone in the shell, as the baseline of a selection.
    const QString rootSums = GroupSql(SelectNode(*g, QStringList()).sumColumns, QString());
    const double shellTotals = shellSeconds(mdb, TotalsSql(QString()));
    const double shellSums = shellSeconds(mdb, rootSums);

    // "Beenden" while another tree is read (the tree shown goes, and with it `tree`): how long until the worker has let go of the file.
    w.cboGruppierung->setCurrentText(QStringLiteral("Ziele"));
    w.cboGruppierungChange();
    QElapsedTimer started;
    started.start();
    while (started.elapsed() < 300)
        app.processEvents();
    t.restart();
    w.mnuBeendenClick();
    w.waitForWork();
    const double endSeconds = t.nsecsElapsed() / 1e9;

    if (!messages().isEmpty())
        std::fprintf(stderr, "bench_tree: messages shown: %s\n", qPrintable(messages().join(QLatin1Char('|'))));

    const auto selection = [](const Selection& s) {
        return seconds(s.firstRows) + QStringLiteral(" first rows, ") + seconds(s.complete) + QStringLiteral(" all; blocked ")
            + seconds(s.blocked) + QStringLiteral(" (") + QString::number(s.rows) + QStringLiteral(" rows)");
    };
    print("calls in database:", QString::number(rows));
    print("grouping:", g->text + QStringLiteral(" (") + QString::number(nodes) + QStringLiteral(" nodes, ")
                           + QString::number(treeBytes / 1024) + QStringLiteral(" KiB held)"));
    print("tree (ours) s:", seconds(ourTree));
    print("tree sqlite3 shell s (bytes):", seconds(shellTree));
    print("ratio tree ours/sqlite3:", QString::number(ourTree / shellTree, 'f', 2) + QStringLiteral(" (target <= 2.0)"));
    print("tree: window blocked s:", seconds(treeBlocked) + QStringLiteral(" (target <= 0.2)"));
    print("root selection s:", selection(rootSelect));
    print("level-1 node selection s:", selection(nodeSelect) + QStringLiteral(" ") + largestText);
    print("small level-1 node selection s:", selection(rareSelect) + QStringLiteral(" ") + smallestText);
    print("  root: totals, sums sqlite3 shell s:", seconds(shellTotals) + QStringLiteral(", ") + seconds(shellSums));
    print("Beenden during a tree s:", seconds(endSeconds));
    print("peak RSS after tree KiB:", QString::number(rssTree));
    print("peak RSS at end KiB:", QString::number(PeakRssKb()));
    w.close();
    dmMain = nullptr;
    return messages().isEmpty() ? 0 : 1;
}
