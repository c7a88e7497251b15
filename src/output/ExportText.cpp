#include "output/ExportText.h"

#include "database/Conversions.h"

namespace {

// The code after a "#": up to three decimal digits; -1 when they are no number.
int codeAfterHash(const QString& text)
{
    const QStringView digits = QStringView(text).mid(1, 3);
    if (digits.isEmpty())
        return -1;
    int code = 0;
    for (QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        code = code * 10 + (c.unicode() - '0');
    }
    return code;
}

} // namespace

SeparatorEdit SeparatorOnChange(const QString& text)
{
    SeparatorEdit edit;
    if (text.startsWith(QLatin1Char('#'))) {
        edit.maxLength = 4;
        edit.text = text.left(4);
        if (text.size() > 1) {
            const int code = codeAfterHash(text);
            if (code < 0 || code >= 256) {
                edit.text = QStringLiteral("#");
                edit.selectAll = true;
            }
        }
    } else {
        edit.maxLength = 1;
        edit.text = text.left(1);
    }
    return edit;
}

QChar SeparatorInForce(const QString& fieldText)
{
    if (fieldText.isEmpty())
        return QChar();   // refused by SeparatorProblem: an empty field names no separator
    if (fieldText.at(0) != QLatin1Char('#') || fieldText.size() == 1)
        return fieldText.at(0);
    const int code = codeAfterHash(fieldText);
    if (code < 0 || code >= 256)
        return QLatin1Char(';');
    // A code is one of the files' Windows-1252 bytes: "#128" is the euro sign, as it always was.
    return DecodeCarrierText(QByteArray(1, char(code))).at(0);
}

QString SeparatorProblem(QChar separator)
{
    switch (separator.unicode()) {
    case 0:
    case 10:
    case 13:
    case 34:
        return QStringLiteral("Dieses Trennzeichen kann nicht verwendet werden: Zeilenende, Anführungszeichen und das "
                              "Zeichen 0 würden die Datei unlesbar machen.");
    default:
        break;
    }
    // Half of a character outside the basic plane cannot be written in any encoding.
    if (separator.isSurrogate())
        return QStringLiteral("Dieses Trennzeichen kann nicht verwendet werden: es ist nur die Hälfte eines Zeichens.");
    return QString();
}

QString ReplaceExtension(const QString& name, const QString& extension)
{
    const qsizetype elementStart = qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\'))) + 1;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= elementStart)
        return name.left(dot) + extension;
    return name + extension;
}
