#pragma once

#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

class QPushButton;
class QTextBrowser;

// A help window over HTML pages compiled into the resources. It knows its pages by topic key only
// (the file name without ".html" below one resource folder), so any program can fill it.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    // The resource folder of the pages (":/help") and the key of the contents page.
    static void setPages(const QString& folder, const QString& contentsTopic);
    static QString pageFolder();
    static QString contentsTopic();
    // The resource path of a topic's page, e.g. ":/help/filter.html".
    static QString pagePath(const QString& topic);

    // The one window of the program; created at the first request, nullptr before that.
    static HelpWindow* instance();
    static HelpWindow* existing();

    // Shows the topic's page: an unknown topic shows the contents. The window opens non-modally,
    // or is raised when it is already open.
    void showTopic(const QString& topic);
    // The page shown, as its qrc URL.
    QUrl currentPage() const;
    QString currentTitle() const;

    QTextBrowser* browser = nullptr;
    QPushButton *btnBack = nullptr, *btnForward = nullptr, *btnContents = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HelpWindow();
    // A modal dialog blocks every window except its own children: while one runs, the help
    // window becomes its child, and goes back to standing alone when the dialog closes.
    void followModalWidget();
    void standAlone();

    QPointer<QWidget> m_modalOwner;
};

// The shared window shows `topic`; for callers that need no more of it.
void ShowHelpTopic(const QString& topic);

// The help context of `start`: the int property "helpContext" of the first widget from `start`
// up its parents that carries one. A tab widget on the way counts its current page first, so a
// page can have a topic of its own also while its tab has the focus. -1 when none carries one.
int HelpContextOf(const QWidget* start);
// Where F1 looks: the focus widget when it belongs to the active modal widget (else the active
// window), else that window itself; `fallback` when neither exists.
const QWidget* HelpContextStart(const QWidget* fallback);
