#include "database/dmlMain.h"
#include "filter/untFilter.h"
#include "mainwindow/untCallProperties.h"
#include "mainwindow/untDialogs.h"
#include "mainwindow/untHelp.h"
#include "mainwindow/untMain.h"
#include "mainwindow/untOptionen.h"
#include "output/untExport.h"
#include "output/untInfo.h"
#include "referencedata/untFilialen.h"
#include "referencedata/untKostenstellen.h"
#include "referencedata/untLoaded.h"
#include "referencedata/untZonenrabatte.h"
#include "support/TestDb.h"
#include "toolkit/HelpWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

namespace {

QString pageText(const QString& topic)
{
    QFile f(HelpWindow::pagePath(topic));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

QString titleOf(const QString& html)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("<title>([^<]*)</title>")).match(html);
    return m.hasMatch() ? m.captured(1) : QString();
}

QStringList hrefsOf(const QString& html)
{
    QStringList out;
    QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("href=\"([^\"]*)\"")).globalMatch(html);
    while (it.hasNext())
        out << it.next().captured(1);
    return out;
}

QString shownTopic()
{
    const HelpWindow* help = HelpWindow::existing();
    return help ? help->currentPage().fileName().chopped(5) : QString();
}

// F1 as the user presses it in `w`, which is shown and active.
void pressF1(QWidget* w)
{
    QTest::keyClick(w, Qt::Key_F1);
}

void activate(QWidget& w)
{
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

// The main window over a fresh database, every box answered by the script.
struct Fixture
{
    DialogScript script;
    TestDb t;
    TfrmMain w{t.dm()};
    Fixture() { RuboUi::install(&w); }
    ~Fixture()
    {
        RuboUi::install(nullptr);
        if (HelpWindow* help = HelpWindow::existing())
            help->close();
    }
};

} // namespace

class TestHelp : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        InstallHelpKey(*qApp);
        InstallHelpKey(*qApp);   // twice changes nothing: one F1 opens one page
    }

    void everyContextHasItsPage()
    {
        const QMap<int, QString> titles = {
            {100, "Hauptfenster"}, {200, "Export"}, {201, "Export – EGN"}, {300, "Eingabe von Filter"},
            {400, "Info"}, {500, "Einzelgesprächs-Report"}, {550, "Summen-Report"},
            {600, "Eigenschaften des Anrufs"}, {700, "Filialen"}, {800, "Geladene Dateien"},
            {900, "Kostenstellen"}, {1000, "Zonenrabatte"}, {1100, "Optionen"},
        };
        QCOMPARE(HelpContexts(), titles.keys());
        const QString contents = pageText(HelpContentsTopic());
        QCOMPARE(titleOf(contents), QStringLiteral("Inhalt"));
        QStringList topics;
        for (auto it = titles.cbegin(); it != titles.cend(); ++it) {
            const QString topic = HelpTopicOf(it.key());
            QVERIFY2(topic != HelpContentsTopic(), qPrintable(QString::number(it.key())));
            QVERIFY2(!topics.contains(topic), qPrintable(topic));
            topics << topic;
            const QString html = pageText(topic);
            QVERIFY2(!html.isEmpty(), qPrintable(HelpWindow::pagePath(topic)));
            QCOMPARE(titleOf(html), it.value());
            QVERIFY2(html.contains(QStringLiteral("<h1>") + it.value() + QStringLiteral("</h1>")), qPrintable(topic));
            QVERIFY2(hrefsOf(html).contains(QStringLiteral("inhalt.html")), qPrintable(topic));
            // The contents lead to every page.
            QVERIFY2(hrefsOf(contents).contains(topic + QStringLiteral(".html")), qPrintable(topic));
        }
        for (int unknown : {-1, 0, 101, 999999})
            QCOMPARE(HelpTopicOf(unknown), HelpContentsTopic());
    }

    void noDeadLinks()
    {
        // Every page of the folder, also one no context names, links only to pages that exist.
        const QStringList pages = QDir(HelpWindow::pageFolder()).entryList({QStringLiteral("*.html")});
        QCOMPARE(pages.size(), HelpContexts().size() + 1);
        for (const QString& page : pages) {
            QFile f(HelpWindow::pageFolder() + QLatin1Char('/') + page);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString html = QString::fromUtf8(f.readAll());
            QVERIFY2(html.contains(QStringLiteral("<meta charset=\"utf-8\">")), qPrintable(page));
            // Umlauts are written as such, not as an encoding's leftovers.
            QVERIFY2(!html.contains(QChar(0xFFFD)) && !html.contains(QStringLiteral("Ã")), qPrintable(page));
            for (const QString& href : hrefsOf(html)) {
                if (href.startsWith(QLatin1String("http")))
                    continue;
                const QString target = href.section(QLatin1Char('#'), 0, 0);
                QVERIFY2(QFile::exists(HelpWindow::pageFolder() + QLatin1Char('/') + target),
                         qPrintable(page + QStringLiteral(" → ") + href));
            }
        }
    }

    void windowsNameTheirPage()
    {
        Fixture f;
        std::function<int()> none = [] { return 0; };
        TfrmFilialen filialen(f.t.dm(), none, &f.w);
        TfrmKostenstellen kostenstellen(f.t.dm(), none, &f.w);
        TfrmZonenrabatte zonen(f.t.dm(), none, &f.w);
        TfrmLoaded loaded(f.t.dm(), {}, {}, &f.w);
        TfrmInfo info(&f.w);
        TfrmOptionen optionen(&f.w);
        const QList<QPair<QWidget*, int>> windows = {
            {f.w.frmFilter, 300}, {f.w.frmCallProperties, 600}, {f.w.frmExport, 200}, {&filialen, 700},
            {&loaded, 800}, {&kostenstellen, 900}, {&zonen, 1000}, {&info, 400}, {&optionen, 1100},
        };
        for (const auto& [window, context] : windows) {
            QCOMPARE(HelpContextOf(window), context);
            // The page is the one of this window: its title names the window's caption.
            QVERIFY2(titleOf(pageText(HelpTopicOf(context))).startsWith(window->windowTitle()),
                     qPrintable(window->windowTitle()));
        }
        // On the export dialog, a field of the EGN sheet has the sheet's page, the other sheets the dialog's.
        QCOMPARE(HelpContextOf(f.w.frmExport->DateiEgn), 201);
        QCOMPARE(HelpContextOf(f.w.frmExport->DateiDB), 200);
        QCOMPARE(HelpContextOf(f.w.frmExport->DateiSumme), 200);
        // A widget of nobody's window has no context.
        QLineEdit loose;
        QCOMPARE(HelpContextOf(&loose), -1);
        QCOMPARE(HelpContextOf(nullptr), -1);
    }

    void f1OpensThePageOfTheWindow()
    {
        Fixture f;
        TfrmFilter& filter = *f.w.frmFilter;
        activate(filter);
        filter.Zone->setFocus();
        pressF1(filter.Zone);
        QCOMPARE(shownTopic(), QStringLiteral("filter"));
        HelpWindow* help = HelpWindow::existing();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->currentTitle(), QStringLiteral("Eingabe von Filter"));
        QCOMPARE(help->windowTitle(), QStringLiteral("Hilfe - Eingabe von Filter"));
        filter.hide();

        // The export dialog on its EGN sheet: the sheet's page, also with the focus on the tab.
        TfrmExport& exp = *f.w.frmExport;
        exp.PageControl->setCurrentWidget(exp.sheetEgn);
        activate(exp);
        exp.DateiEgn->setFocus();
        pressF1(exp.DateiEgn);
        QCOMPARE(shownTopic(), QStringLiteral("export-egn"));
        exp.PageControl->tabBar()->setFocus();
        pressF1(exp.PageControl->tabBar());
        QCOMPARE(shownTopic(), QStringLiteral("export-egn"));
        exp.PageControl->setCurrentWidget(exp.sheetDB);
        exp.DateiDB->setFocus();
        pressF1(exp.DateiDB);
        QCOMPARE(shownTopic(), QStringLiteral("export"));
        exp.hide();
        // Still the one window, raised each time.
        QCOMPARE(HelpWindow::existing(), help);

        // A window without a page of its own opens the contents.
        QWidget plain;
        auto* edit = new QLineEdit(&plain);
        activate(plain);
        edit->setFocus();
        pressF1(edit);
        QCOMPARE(shownTopic(), QStringLiteral("inhalt"));

        ShowHelpContext(12345);
        QCOMPARE(shownTopic(), QStringLiteral("inhalt"));
        ShowHelpContext(900);
        QCOMPARE(shownTopic(), QStringLiteral("kostenstellen"));
        ShowHelpContents();
        QCOMPARE(shownTopic(), QStringLiteral("inhalt"));
        QCOMPARE(HelpWindow::existing(), help);
    }

    void helpWindowNavigates()
    {
        ShowHelpContext(300);
        HelpWindow* help = HelpWindow::existing();
        QVERIFY(help);
        ShowHelpContext(700);
        QVERIFY(help->btnBack->isEnabled());
        help->btnBack->click();
        QCOMPARE(shownTopic(), QStringLiteral("filter"));
        QVERIFY(help->btnForward->isEnabled());
        help->btnForward->click();
        QCOMPARE(shownTopic(), QStringLiteral("filialen"));
        help->btnContents->click();
        QCOMPARE(shownTopic(), QStringLiteral("inhalt"));
        // A link of the contents opens its page.
        help->browser->setSource(QUrl(QStringLiteral("zonenrabatte.html")));
        QCOMPARE(shownTopic(), QStringLiteral("zonenrabatte"));
        // Unknown topics of the toolkit window open the contents too.
        ShowHelpTopic(QStringLiteral("gibt-es-nicht"));
        QCOMPARE(shownTopic(), QStringLiteral("inhalt"));
        // Help left open does not keep the program running after its last window.
        QVERIFY(!help->testAttribute(Qt::WA_QuitOnClose));
        help->close();
    }

    void helpCanBeReadWhileADialogIsModal()
    {
        // A modal dialog blocks every other window: the help it opens must not be one of them.
        QWidget main;
        activate(main);
        TfrmInfo info(&main);
        bool usable = false;
        QTimer::singleShot(0, &info, [&] {
            pressF1(QApplication::activeModalWidget());
            HelpWindow* help = HelpWindow::existing();
            usable = help && help->isVisible() && shownTopic() == QStringLiteral("info")
                && !blockedByModal(help);
            info.reject();
        });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, &info, &QDialog::reject);
        guard.start(5000);
        info.execInfo();
        QVERIFY(usable);
        // Closing the dialog leaves the help window standing alone, still open.
        HelpWindow* help = HelpWindow::existing();
        QVERIFY(help);
        QCOMPARE(help->parentWidget(), nullptr);
        QVERIFY(help->isVisible());
        help->close();
    }

private:
    // Whether the window system blocks `w` for a modal window: then it takes no clicks or keys.
    static bool blockedByModal(QWidget* w)
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !w)
            return false;
        // A window is spared only as a descendant of the modal one.
        for (QWidget* p = w; p; p = p->parentWidget())
            if (p == modal)
                return false;
        return true;
    }
};

QTEST_MAIN(TestHelp)
#include "TestHelp.moc"
