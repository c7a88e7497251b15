// Imports one file as rubotool does, but kills itself the moment the engine starts a statement
// that begins with the given text: a power loss at a chosen point of the import.
// Usage: rubo_crashing_import DATABASE FILE STATEMENT-START
#include "database/UserInterface.h"
#include "database/dmlMain.h"
#include "import/ImportDriver.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>

namespace {

const char* g_prefix = nullptr;

int killAtStatement(unsigned, void*, void* statement, void*)
{
    const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
    if (sql && strncmp(sql, g_prefix, strlen(g_prefix)) == 0)
        raise(SIGKILL);
    return 0;
}

class SilentUi : public RuboUi
{
public:
    void setStatusPanel(StatusPanel, const QString&) override {}
    void clearStatusPanels() override {}
    void messageOk(const QString& text, MsgKind) override { fprintf(stderr, "%s\n", text.toUtf8().constData()); }
    bool askYesNo(const QString&) override { return false; }
    void processEvents() override {}
    void setWaitCursor(bool) override {}
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 2;
    g_prefix = argv[3];
    SilentUi ui;
    RuboUi::install(&ui);
    TdmMain dm(QString::fromLocal8Bit(argv[1]));
    if (!dm.open())
        return 1;
    sqlite3_trace_v2(dm.RuboDB().handle(), SQLITE_TRACE_STMT, killAtStatement, nullptr);
    return ImportFile(dm, QString::fromLocal8Bit(argv[2])).complete ? 0 : 1;
}
