#include "mainwindow/untHelp.h"

#include "toolkit/HelpWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QList>
#include <QMap>

// Q_INIT_RESOURCE declares the resource's function where it stands: outside every namespace.
static void initHelpResources()
{
    Q_INIT_RESOURCE(help);
}

namespace {

const QString kContents = QStringLiteral("inhalt");

const QMap<int, QString>& topics()
{
    static const QMap<int, QString> map = {
        {100, QStringLiteral("hauptfenster")},
        {200, QStringLiteral("export")},
        {201, QStringLiteral("export-egn")},
        {300, QStringLiteral("filter")},
        {400, QStringLiteral("info")},
        {500, QStringLiteral("report-egn")},
        {550, QStringLiteral("report-summen")},
        {600, QStringLiteral("anruf")},
        {700, QStringLiteral("filialen")},
        {800, QStringLiteral("geladene-dateien")},
        {900, QStringLiteral("kostenstellen")},
        {1000, QStringLiteral("zonenrabatte")},
        {1100, QStringLiteral("optionen")},
    };
    return map;
}

void preparePages()
{
    // The pages live in the window library, a static one: only a reference keeps them linked.
    static const bool ready = [] {
        initHelpResources();
        HelpWindow::setPages(QStringLiteral(":/help"), kContents);
        return true;
    }();
    Q_UNUSED(ready);
}

class HelpKey : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
            return false;
        // Held down, the key would load the page again and again.
        if (!key->isAutoRepeat())
            ShowHelpContext(HelpContextOf(HelpContextStart(qobject_cast<QWidget*>(watched))));
        return true;
    }
};

} // namespace

QString HelpTopicOf(int context)
{
    return topics().value(context, kContents);
}

QList<int> HelpContexts()
{
    return topics().keys();
}

QString HelpContentsTopic()
{
    return kContents;
}

void ShowHelpContext(int context)
{
    preparePages();
    ShowHelpTopic(HelpTopicOf(context));
}

void ShowHelpContents()
{
    ShowHelpContext(-1);
}

void InstallHelpKey(QApplication& app)
{
    preparePages();
    const QString name = QStringLiteral("rubHelpKey");
    if (app.findChild<QObject*>(name, Qt::FindDirectChildrenOnly))
        return;
    auto* key = new HelpKey(&app);
    key->setObjectName(name);
    app.installEventFilter(key);
}
