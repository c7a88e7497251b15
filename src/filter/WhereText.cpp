#include "filter/WhereText.h"

QString WhereText(const QString& sql)
{
    QString text = sql;
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
