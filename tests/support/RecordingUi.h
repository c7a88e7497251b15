#pragma once

#include "UserInterface.h"

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

    void setStatusPanel(int index, const QString& text) override;
    void clearStatusPanels() override;
    void messageOk(const QString& text, MsgKind kind) override;
    bool askYesNo(const QString& text) override;
    void processEvents() override { ++processEventsCalls; }
    void setWaitCursor(bool on) override { waitCursor = on; if (on) ++waitCursorShown; }
    void setLoeschenEnabled(bool enabled) override { loeschenEnabled = enabled; }

    void clear();

    QStringList messages;                 // texts of MessageOk, in order
    QList<MsgKind> messageKinds;
    QStringList questions;                // texts of AskYesNo, in order
    QList<bool> answers;                  // scripted answers, consumed from the front
    bool defaultAnswer = false;
    QStringList statusTexts;              // every text written to panel 0, in order
    QString panels[8];
    int processEventsCalls = 0;
    bool waitCursor = false;
    int waitCursorShown = 0;
    bool loeschenEnabled = false;

private:
    RuboUi* m_previous = nullptr;
};
