#include "database/UserInterface.h"
#include "database/dmlMain.h"
#include "mainwindow/untHelp.h"
#include "mainwindow/untIcons.h"
#include "mainwindow/untMain.h"
#include "mainwindow/untMessageBoxes.h"
#include "output/untInfo.h"

#include <QApplication>

#include <exception>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    SetupApplication(app);
    InstallHelpKey(app);
    // The data module reports a failed open before any window exists.
    MessageBoxUi startUi;
    RuboUi::install(&startUi);
    try {
        TdmMain dm;
        dmMain = &dm;
        if (!dm.open())
            return 1;
        TfrmMain window(dm);
        RuboUi::install(&window);
        // The about box lives as long as the window; "&Info..." finds it as the window's child.
        TfrmInfo info(&window);
        window.show();
        info.showSplash();
        const int rc = app.exec();
        RuboUi::install(&startUi);
        dmMain = nullptr;
        return rc;
    } catch (const std::exception& e) {
        RuboUi::install(nullptr);
        ShowMessageOkBox(nullptr, QString::fromUtf8(e.what()), RuboUi::MsgKind::Error);
        return 1;
    }
}
