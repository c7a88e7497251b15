#pragma once

#include "database/UserInterface.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QDialog;
class QWidget;

// Every modal box and dialog of the windows opens through the functions below. While a
// DialogScript is installed none of them opens anything: the script records what would have been
// shown and answers in the user's place, so tests and benchmarks drive the real windows.

// The two message boxes, with the German titles and button texts.
void ShowMessageOkBox(QWidget* parent, const QString& text, RuboUi::MsgKind kind);
bool ShowAskYesNoBox(QWidget* parent, const QString& text);

// The file dialog for choosing existing files to open; `filters` as "Text (*.a;*.b)", the first
// one selected. Returns the chosen paths, none when cancelled.
QStringList GetOpenFileNames(QWidget* parent, const QString& title, const QString& folder, const QStringList& filters,
                             const QString& defaultSuffix = QString());

// The file dialog for naming a file to write. `filter` holds the filter to select at the start
// and afterwards the one the user chose; the folder must exist, and a file that does not exist
// yet is created only after the user agreed. Returns the chosen path, empty when cancelled.
QString GetSaveFileName(QWidget* parent, const QString& title, const QString& folder, const QStringList& filters,
                        QString& filter, const QString& defaultSuffix);

// Runs a modal dialog and returns its result (QDialog::Accepted or Rejected).
int ExecDialog(QDialog& dialog);

class DialogScript
{
public:
    enum class Kind { Information, Error, Question, OpenFiles, SaveFile, Dialog };
    struct Shown
    {
        Kind kind;
        QString title;   // the window title
        QString text;    // message or question; the folder of a file dialog; a dialog's object name
    };

    DialogScript();    // installs itself
    ~DialogScript();   // puts back the script it replaced
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    static DialogScript* current();

    // The texts of the message boxes and questions shown, in order.
    QStringList texts() const;
    void clear() { shown.clear(); }

    QList<Shown> shown;   // everything that would have opened, in order

    // Consumed from the front; when a list runs empty the default applies.
    QList<bool> answers;                // yes/no questions
    bool defaultAnswer = false;
    QList<QStringList> fileNames;       // file dialogs (the first name for a save); default: cancelled
    // Dialogs: each answer may fill in the real dialog's fields and returns its result;
    // default: Rejected, as if the user closed it.
    QList<std::function<int(QDialog&)>> dialogResults;

private:
    DialogScript* m_previous = nullptr;
};
