#include "database/Messages.h"
#include "support/RecordingUi.h"
#include "database/RuboError.h"

#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

// Counts how often the pointer is switched, which RecordingUi alone does not tell.
class CursorCountingUi : public RecordingUi
{
public:
    void setWaitCursor(bool on) override
    {
        RecordingUi::setWaitCursor(on);
        (on ? onCalls : offCalls)++;
    }
    int onCalls = 0;
    int offCalls = 0;
};

// What the console interface writes to standard error while `call` runs.
QString capturedStderr(const std::function<void()>& call)
{
    QTemporaryFile file;
    if (!file.open())
        return QStringLiteral("<no temporary file>");
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(file.handle(), STDERR_FILENO);
    call();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    file.seek(0);
    return QString::fromUtf8(file.readAll());
}

} // namespace

class TestMessages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void messagesReachInstalledUi();
    void askYesNoScriptedAnswers();
    void statusPanels();
    void waitCursorNesting();
    void waitCursorWhenErrorPasses();
    void consoleFallback();
};

void TestMessages::messagesReachInstalledUi()
{
    RecordingUi ui;
    MessageOk(QStringLiteral("Datei wurde geladen."));
    MessageOk(QStringLiteral("Ungültige Nebenstelle"), RuboUi::MsgKind::Error);
    QCOMPARE(ui.messages, (QStringList{"Datei wurde geladen.", "Ungültige Nebenstelle"}));
    QCOMPARE(ui.messageKinds, (QList<RuboUi::MsgKind>{RuboUi::MsgKind::Information, RuboUi::MsgKind::Error}));
}

void TestMessages::askYesNoScriptedAnswers()
{
    RecordingUi ui;
    ui.answers = {true, false};
    ui.defaultAnswer = true;
    QCOMPARE(AskYesNo(QStringLiteral("Erste?")), true);
    QCOMPARE(AskYesNo(QStringLiteral("Zweite?")), false);
    QCOMPARE(AskYesNo(QStringLiteral("Dritte?")), true);   // script used up: the default answers
    QCOMPARE(ui.questions, (QStringList{"Erste?", "Zweite?", "Dritte?"}));
    QVERIFY(ui.messages.isEmpty());
}

void TestMessages::statusPanels()
{
    RecordingUi ui;
    SetStatusText(QStringLiteral("Lade Datei..."));
    SetStatusPanel(StatusPanel::Dauer, QStringLiteral("1234 EGN"));
    QCOMPARE(ui.panels[0], QStringLiteral("Lade Datei..."));
    QCOMPARE(ui.panels[2], QStringLiteral("1234 EGN"));
    QCOMPARE(ui.statusTexts, QStringList{"Lade Datei..."});
    ClearStatusPanels();
    for (const QString& panel : ui.panels)
        QVERIFY(panel.isEmpty());
}

void TestMessages::waitCursorNesting()
{
    CursorCountingUi ui;
    {
        TpWait outer;
        QVERIFY(ui.waitCursor);
        {
            TpWait inner;
            TpWait innermost;
        }
        // An inner command that ends must not take the hourglass from the outer one.
        QVERIFY(ui.waitCursor);
    }
    QVERIFY(!ui.waitCursor);
    QCOMPARE(ui.onCalls, 1);
    QCOMPARE(ui.offCalls, 1);
}

void TestMessages::waitCursorWhenErrorPasses()
{
    CursorCountingUi ui;
    try {
        TpWait outer;
        TpWait inner;
        throw RuboError(QStringLiteral("Fehler beim Import"));
    } catch (const RuboError&) {
    }
    QVERIFY(!ui.waitCursor);
    QCOMPARE(ui.offCalls, 1);

    // The nesting count is back at zero: the next command shows the hourglass again.
    {
        TpWait again;
        QVERIFY(ui.waitCursor);
    }
    QCOMPARE(ui.onCalls, 2);
    QVERIFY(!ui.waitCursor);
}

void TestMessages::consoleFallback()
{
    {
        RecordingUi ui;
        QCOMPARE(RuboUi::current(), &ui);
    }
    // Nobody installed: messages go to standard error and every question is answered No.
    auto* console = dynamic_cast<ConsoleUi*>(RuboUi::current());
    QVERIFY(console);
    RuboUi::install(nullptr);
    QCOMPARE(RuboUi::current(), console);

    bool answer = true;
    const QString out = capturedStderr([&] {
        MessageOk(QStringLiteral("Österreich geladen"));
        answer = AskYesNo(QStringLiteral("Alle EGN löschen?"));
        SetStatusText(QStringLiteral("leise"));
        console->verbose = true;
        SetStatusText(QStringLiteral("laut"));
        SetStatusPanel(StatusPanel::Anrufe, QStringLiteral("Panel eins"));
        console->verbose = false;
        TpWait wait;
    });
    QVERIFY(!answer);
    QVERIFY2(out.contains(QStringLiteral("Österreich geladen\n")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("Alle EGN löschen?")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("laut\n")), qPrintable(out));
    QVERIFY2(!out.contains(QStringLiteral("leise")), qPrintable(out));
    QVERIFY2(!out.contains(QStringLiteral("Panel eins")), qPrintable(out));
}

QTEST_GUILESS_MAIN(TestMessages)
#include "TestMessages.moc"
