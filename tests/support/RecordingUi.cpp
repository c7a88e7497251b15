#include "support/RecordingUi.h"

RecordingUi::RecordingUi() : m_previous(RuboUi::current())
{
    RuboUi::install(this);
}

RecordingUi::~RecordingUi()
{
    RuboUi::install(m_previous);
}

void RecordingUi::setStatusPanel(StatusPanel panel, const QString& text)
{
    const int index = int(panel);
    if (index < 0 || index >= kStatusPanelCount)
        return;
    panels[index] = text;
    if (panel == StatusPanel::Text)
        statusTexts << text;
}

void RecordingUi::clearStatusPanels()
{
    for (int i = 0; i < kStatusPanelCount; ++i)
        setStatusPanel(StatusPanel(i), QString());
}

void RecordingUi::messageOk(const QString& text, MsgKind kind)
{
    messages << text;
    messageKinds << kind;
}

bool RecordingUi::askYesNo(const QString& text)
{
    questions << text;
    return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
}

void RecordingUi::clear()
{
    messages.clear();
    messageKinds.clear();
    questions.clear();
    statusTexts.clear();
    for (auto& p : panels)
        p.clear();
    processEventsCalls = 0;
}
