#pragma once

#include "database/UserInterface.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Stands in for the user in tests: records every message and status text, answers questions
// from a script (then with the default answer), and installs itself while it lives.
class RecordingUi : public RuboUi
{
public:
    RecordingUi();
    ~RecordingUi() override;

    void setStatusPanel(StatusPanel panel, const QString& text) override;
    void clearStatusPanels() override;
    void messageOk(const QString& text, MsgKind kind) override;
    bool askYesNo(const QString& text) override;
    void processEvents() override { ++processEventsCalls; }
    void setWaitCursor(bool on) override { waitCursor = on; if (on) ++waitCursorShown; }

    void clear();

    QStringList messages;                 // texts of MessageOk, in order
    QList<MsgKind> messageKinds;
    QStringList questions;                // texts of AskYesNo, in order
    QList<bool> answers;                  // scripted answers, consumed from the front
    bool defaultAnswer = false;
    QStringList statusTexts;              // every text written to panel 0, in order
    QString panels[kStatusPanelCount];
    int processEventsCalls = 0;
    bool waitCursor = false;
    int waitCursorShown = 0;

private:
    RuboUi* m_previous = nullptr;
};
