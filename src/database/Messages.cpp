#include "database/Messages.h"

namespace {
// The pointer is one thing on screen: only the outermost guard may switch it.
int g_waitDepth = 0;
} // namespace

void MessageOk(const QString& text, RuboUi::MsgKind kind)
{
    RuboUi::current()->messageOk(text, kind);
}

bool AskYesNo(const QString& text)
{
    return RuboUi::current()->askYesNo(text);
}

void SetStatusText(const QString& text)
{
    RuboUi::current()->setStatusText(text);
}

void SetStatusPanel(StatusPanel panel, const QString& text)
{
    RuboUi::current()->setStatusPanel(panel, text);
}

void ClearStatusPanels()
{
    RuboUi::current()->clearStatusPanels();
}

TpWait::TpWait()
{
    if (g_waitDepth++ == 0)
        RuboUi::current()->setWaitCursor(true);
}

TpWait::~TpWait()
{
    if (--g_waitDepth == 0)
        RuboUi::current()->setWaitCursor(false);
}
