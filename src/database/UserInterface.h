#pragma once

#include <QString>

// The panels of the main window's status bar, left to right. An import writes its start and end
// times where a list shows its count and its duration.
enum class StatusPanel : int {
    Text, Anrufe, Dauer, Betrag, BetragEuro, Rabatt, RabattEuro, Reserve,
    ImportStart = Anrufe, ImportEnd = Dauer
};
constexpr int kStatusPanelCount = 8;

// What the core needs from whoever shows it: the main window, the command-line tool or a test.
// The core never includes a widget header; it talks to the user only through this interface.
class RuboUi
{
public:
    enum class MsgKind { Information, Error };

    virtual ~RuboUi() = default;

    virtual void setStatusPanel(StatusPanel panel, const QString& text) = 0;
    virtual void clearStatusPanels() = 0;
    virtual void messageOk(const QString& text, MsgKind kind) = 0;
    virtual bool askYesNo(const QString& text) = 0;
    // Lets the window repaint and show progress during long loops.
    virtual void processEvents() = 0;
    virtual void setWaitCursor(bool on) = 0;

    void setStatusText(const QString& text) { setStatusPanel(StatusPanel::Text, text); }

    // The one interface in force; the programs and the tests install theirs at start. A thread
    // of its own (a worker) may install one that hands everything to the window's thread.
    static RuboUi* current();
    static void install(RuboUi* ui);
    static void installForThisThread(RuboUi* ui);
};

// Used when nobody installed an interface: messages go to standard error, questions answer No.
class ConsoleUi : public RuboUi
{
public:
    void setStatusPanel(StatusPanel panel, const QString& text) override;
    void clearStatusPanels() override {}
    void messageOk(const QString& text, MsgKind kind) override;
    bool askYesNo(const QString& text) override;
    void processEvents() override {}
    void setWaitCursor(bool) override {}
    bool verbose = false;
};
