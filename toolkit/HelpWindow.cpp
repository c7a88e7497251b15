#include "toolkit/HelpWindow.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

QString g_folder = QStringLiteral(":/help");
QString g_contents = QStringLiteral("inhalt");
QPointer<HelpWindow> g_instance;

QUrl urlOf(const QString& path)
{
    // ":/help/x.html" becomes "qrc:/help/x.html", so relative links resolve inside the folder.
    return QUrl(QStringLiteral("qrc") + path);
}

bool isWithin(const QWidget* window, const QWidget* w)
{
    return w && (w == window || window->isAncestorOf(w));
}

} // namespace

void HelpWindow::setPages(const QString& folder, const QString& contentsTopic)
{
    g_folder = folder;
    g_contents = contentsTopic;
}

QString HelpWindow::pageFolder()
{
    return g_folder;
}

QString HelpWindow::contentsTopic()
{
    return g_contents;
}

QString HelpWindow::pagePath(const QString& topic)
{
    return g_folder + QLatin1Char('/') + topic + QStringLiteral(".html");
}

HelpWindow* HelpWindow::instance()
{
    if (!g_instance) {
        g_instance = new HelpWindow;
        // Gone with the event loop, before the application object that its window needs.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, g_instance.data(), &QObject::deleteLater);
    }
    return g_instance;
}

HelpWindow* HelpWindow::existing()
{
    return g_instance;
}

HelpWindow::HelpWindow() : QWidget(nullptr, Qt::Window)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Hilfe"));
    // Help left open must not keep the program running once its main window is closed.
    setAttribute(Qt::WA_QuitOnClose, false);

    btnBack = new QPushButton(QStringLiteral("&Zurück"), this);
    btnBack->setObjectName(QStringLiteral("btnBack"));
    btnForward = new QPushButton(QStringLiteral("&Vorwärts"), this);
    btnForward->setObjectName(QStringLiteral("btnForward"));
    btnContents = new QPushButton(QStringLiteral("&Inhalt"), this);
    btnContents->setObjectName(QStringLiteral("btnContents"));
    for (QPushButton* b : {btnBack, btnForward, btnContents})
        b->setAutoDefault(false);
    btnBack->setEnabled(false);
    btnForward->setEnabled(false);

    browser = new QTextBrowser(this);
    browser->setObjectName(QStringLiteral("browser"));
    browser->setOpenExternalLinks(true);

    auto* bar = new QHBoxLayout;
    bar->addWidget(btnBack);
    bar->addWidget(btnForward);
    bar->addWidget(btnContents);
    bar->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(browser, 1);

    connect(btnBack, &QPushButton::clicked, browser, &QTextBrowser::backward);
    connect(btnForward, &QPushButton::clicked, browser, &QTextBrowser::forward);
    connect(btnContents, &QPushButton::clicked, this, [this] { showTopic(g_contents); });
    connect(browser, &QTextBrowser::backwardAvailable, btnBack, &QWidget::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, btnForward, &QWidget::setEnabled);
    connect(browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = currentTitle();
        setWindowTitle(title.isEmpty() ? QStringLiteral("Hilfe") : QStringLiteral("Hilfe - ") + title);
    });

    const int em = fontMetrics().horizontalAdvance(QLatin1Char('x'));
    resize(em * 80, fontMetrics().height() * 36);
}

void HelpWindow::showTopic(const QString& topic)
{
    QString path = pagePath(topic);
    if (topic.isEmpty() || !QFile::exists(path))
        path = pagePath(g_contents);
    const QUrl url = urlOf(path);
    if (browser->source() != url)
        browser->setSource(url);
    followModalWidget();
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

QUrl HelpWindow::currentPage() const
{
    return browser->source();
}

QString HelpWindow::currentTitle() const
{
    return browser->documentTitle();
}

void HelpWindow::followModalWidget()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == this || modal == m_modalOwner)
        return;
    standAlone();
    const bool shown = isVisible();
    const QRect frame = geometry();
    setParent(modal, Qt::Window);
    if (shown)
        setGeometry(frame);
    m_modalOwner = modal;
    modal->installEventFilter(this);
}

void HelpWindow::standAlone()
{
    if (!m_modalOwner)
        return;
    m_modalOwner->removeEventFilter(this);
    m_modalOwner = nullptr;
    const bool shown = isVisible();
    const QRect frame = geometry();
    setParent(nullptr, Qt::Window);
    if (shown) {
        setGeometry(frame);
        show();
    }
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event)
{
    // A dialog that closes, also one deleted right after, must not take the help window with it.
    if (watched == m_modalOwner && event->type() == QEvent::Hide)
        standAlone();
    return QWidget::eventFilter(watched, event);
}

void ShowHelpTopic(const QString& topic)
{
    HelpWindow::instance()->showTopic(topic);
}

int HelpContextOf(const QWidget* start)
{
    const auto contextOf = [](const QWidget* w, int& context) {
        const QVariant v = w->property("helpContext");
        bool ok = false;
        context = v.isValid() ? v.toInt(&ok) : -1;
        return ok;
    };
    int context = -1;
    const QWidget* from = nullptr;
    for (const QWidget* w = start; w; from = w, w = w->parentWidget()) {
        // Coming from a page, that page has spoken already; from the tab bar, its page speaks.
        if (const auto* tabs = qobject_cast<const QTabWidget*>(w); tabs && (!from || from == tabs->tabBar()))
            if (const QWidget* page = tabs->currentWidget(); page && contextOf(page, context))
                return context;
        if (contextOf(w, context))
            return context;
    }
    return -1;
}

const QWidget* HelpContextStart(const QWidget* fallback)
{
    const QWidget* window = QApplication::activeModalWidget();
    if (!window)
        window = QApplication::activeWindow();
    if (!window)
        return fallback ? fallback : QApplication::focusWidget();
    for (const QWidget* candidate : {static_cast<const QWidget*>(QApplication::focusWidget()), fallback})
        if (isWithin(window, candidate))
            return candidate;
    return window;
}
