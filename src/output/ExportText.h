#pragma once

#include <QChar>
#include <QString>

// The rules the export dialog's separator fields and file names follow, shared by the dialog
// and the command-line tool.

// A separator field after a change: one character, or "#" with up to three digits giving the
// character's code. A "#" followed by anything else, or by a code of 256 or more, is reset to "#".
struct SeparatorEdit
{
    QString text;         // the field's text after the change
    int maxLength = 1;    // the field accepts 4 characters after a "#", else 1
    bool selectAll = false;   // the text was reset: select it, so the next key replaces it
};
SeparatorEdit SeparatorOnChange(const QString& text);

// The separator a text export writes with, from the field's trimmed text: its first character, or
// for "#" and digits the character of that Windows-1252 code ("#9" a tab, "#128" the euro sign;
// ";" when they are no code below 256). An empty field gives QChar(0), which SeparatorProblem refuses.
QChar SeparatorInForce(const QString& fieldText);

// Empty when `separator` can be written; otherwise the message that refuses it. A NUL, a line end
// or the quote would make every line of the file unreadable; half of a surrogate pair cannot be written.
QString SeparatorProblem(QChar separator);

// The name with the extension after the last dot of its last path element replaced by
// `extension` (".csv"); a name without one gets it appended.
QString ReplaceExtension(const QString& name, const QString& extension);
