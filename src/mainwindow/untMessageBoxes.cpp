#include "mainwindow/untMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

void ShowMessageOkBox(QWidget* parent, const QString& text, RuboUi::MsgKind kind)
{
    const bool error = kind == RuboUi::MsgKind::Error;
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Information,
                    error ? QStringLiteral("Fehler") : QStringLiteral("Information"), text, QMessageBox::NoButton, parent);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

bool ShowAskYesNoBox(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Bestätigung"), text, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    // Escape and the close box answer No: a question never deletes anything unless confirmed.
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

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
