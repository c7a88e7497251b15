#pragma once

#include "database/UserInterface.h"

#include <QString>

// Modal box with one OK button: title "Information", or "Fehler" for input errors.
void MessageOk(const QString& text, RuboUi::MsgKind kind = RuboUi::MsgKind::Information);
// Modal question with "&Ja" and "&Nein", title "Bestätigung"; anything but Yes counts as No.
bool AskYesNo(const QString& text);

void SetStatusText(const QString& text);
void SetStatusPanel(StatusPanel panel, const QString& text);
void ClearStatusPanels();

// While it lives the pointer shows the hourglass; nested guards keep it until the outermost ends.
class TpWait
{
public:
    TpWait();
    ~TpWait();
    TpWait(const TpWait&) = delete;
    TpWait& operator=(const TpWait&) = delete;

    // Runs `work` under the wait cursor, which is gone again before any message that follows.
    template <typename Work>
    static auto During(Work&& work)
    {
        TpWait wait;
        return work();
    }
};
