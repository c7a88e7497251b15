#pragma once

#include "database/UserInterface.h"
#include "mainwindow/untDialogs.h"

// Answers the core with message boxes while no main window exists yet (the start-up's
// "database cannot be opened" message comes before the window).
class MessageBoxUi : public RuboUi
{
public:
    void setStatusPanel(StatusPanel, const QString&) override {}
    void clearStatusPanels() override {}
    void messageOk(const QString& text, MsgKind kind) override { ShowMessageOkBox(nullptr, text, kind); }
    bool askYesNo(const QString& text) override { return ShowAskYesNoBox(nullptr, text); }
    void processEvents() override;
    void setWaitCursor(bool on) override;
};
