#include "mainwindow/untMessageBoxes.h"

#include <QApplication>

void MessageBoxUi::processEvents()
{
    QCoreApplication::processEvents();
}

void MessageBoxUi::setWaitCursor(bool on)
{
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}
