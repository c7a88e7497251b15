#pragma once

#include "database/UserInterface.h"

#include <QString>

class QWidget;

// The two modal boxes of the program, with the German titles and button texts.
void ShowMessageOkBox(QWidget* parent, const QString& text, RuboUi::MsgKind kind);
bool ShowAskYesNoBox(QWidget* parent, const QString& text);

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
