#include "filter/WhereText.h"

#include <QRegularExpression>

namespace {

QString maskedDialled(const QString& sql, const NumberMask& mask)
{
    // A literal as SqlQuoted writes it: apostrophes inside doubled.
    static const QRegularExpression compared(QStringLiteral("\\bBNummer\\s*(?:LIKE|=|<>|<=|>=|<|>)\\s*'((?:[^']|'')*)'"),
                                             QRegularExpression::CaseInsensitiveOption);
    QString text = sql;
    qsizetype from = 0;
    for (;;) {
        const QRegularExpressionMatch m = compared.match(text, from);
        if (!m.hasMatch())
            return text;
        const QString shown = mask.apply(m.captured(1));
        text.replace(m.capturedStart(1), m.capturedLength(1), shown);
        from = m.capturedStart(1) + shown.size() + 1;
    }
}

} // namespace

QString WhereText(const QString& sql, const NumberMask& mask)
{
    QString text = mask.isOn() ? maskedDialled(sql, mask) : sql;
    const qsizetype where = text.indexOf(QLatin1String("WHERE"));
    if (where >= 0)
        text = text.mid(where + 6, 9999);
    const qsizetype groupBy = text.indexOf(QLatin1String("GROUP BY"));
    if (groupBy >= 0)
        text.truncate(groupBy);
    const qsizetype orderBy = text.indexOf(QLatin1String("ORDER BY"));
    if (orderBy >= 0)
        text.truncate(orderBy);
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1String("   "), QLatin1String(" "));
    text.replace(QLatin1String("  "), QLatin1String(" "));
    text.replace(QLatin1String("  "), QLatin1String(" "));
    text.replace(QLatin1String("(1=1) AND"), QString());
    text.replace(QLatin1String("(1=1)"), QString());
    text.replace(QLatin1String("AND"), QLatin1String("und"));
    text.replace(QLatin1String("LIKE"), QLatin1String("wie"));
    text.replace(QLatin1String("BETWEEN"), QLatin1String("zwischen"));
    text.remove(QLatin1Char('('));
    text.remove(QLatin1Char(')'));
    if (text.trimmed().isEmpty())
        return QStringLiteral("alle Gespräche");
    return text;
}
