#include "database/UserInterface.h"

#include <cstdio>

namespace {
RuboUi* g_installed = nullptr;
thread_local RuboUi* t_installed = nullptr;

ConsoleUi& fallbackUi()
{
    static ConsoleUi ui;
    return ui;
}

void printLine(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}
} // namespace

RuboUi* RuboUi::current()
{
    if (t_installed)
        return t_installed;
    return g_installed ? g_installed : &fallbackUi();
}

void RuboUi::installForThisThread(RuboUi* ui)
{
    t_installed = ui;
}

void RuboUi::install(RuboUi* ui)
{
    g_installed = ui;
}

void ConsoleUi::setStatusPanel(StatusPanel panel, const QString& text)
{
    if (verbose && panel == StatusPanel::Text && !text.isEmpty())
        printLine(text);
}

void ConsoleUi::messageOk(const QString& text, MsgKind kind)
{
    Q_UNUSED(kind);
    printLine(text);
}

bool ConsoleUi::askYesNo(const QString& text)
{
    // Nobody can answer here; No is the answer that never changes or deletes anything.
    printLine(text);
    printLine(QStringLiteral("Antwort: Nein"));
    return false;
}
