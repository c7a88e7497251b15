#pragma once

#include <QList>
#include <QString>

class QApplication;

// The program's help: one German page per window, compiled into the resources, shown in the
// shared help window of the toolkit. Windows name their page by the int property "helpContext".

// The topic key of a help context number (the page's file name without ".html"); the contents
// for a number without a page.
QString HelpTopicOf(int context);
// Every context number that has a page of its own, ascending.
QList<int> HelpContexts();
QString HelpContentsTopic();

// Opens the help window on the page of `context`, or on the contents for an unknown number.
void ShowHelpContext(int context);
// Opens the help window on the contents ("&Hilfe" of the main window).
void ShowHelpContents();

// F1 anywhere in the program opens the page of the window it was pressed in: the focus widget's
// context, else that of a parent or of the window. Installed once; a second call does nothing.
void InstallHelpKey(QApplication& app);
