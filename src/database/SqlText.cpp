#include "database/SqlText.h"

#include "database/LanguageOrder.h"

#include <QStringList>
#include <sqlite3.h>

QString SqlQuoted(const QString& value)
{
    QString s = value;
    s.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

QString SqlIdentifier(const QString& name)
{
    bool plain = !name.isEmpty() && !name.at(0).isDigit();
    for (const QChar c : name)
        plain = plain && (c.isLetterOrNumber() || c == QLatin1Char('_'));
    // A keyword ("select", "order") is no name until it is quoted.
    if (plain) {
        const QByteArray utf8 = name.toUtf8();
        if (!sqlite3_keyword_check(utf8.constData(), int(utf8.size())))
            return name;
    }
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString SqlInLanguageOrder(const QString& term)
{
    return term + QStringLiteral(" COLLATE ") + QLatin1String(kLanguageOrderSql);
}

QString SqlOrderBy(const QList<QPair<QString, Qt::SortOrder>>& keys)
{
    QStringList parts;
    for (const auto& [field, order] : keys)
        parts << SqlInLanguageOrder(SqlIdentifier(field)) + (order == Qt::DescendingOrder ? QStringLiteral(" DESC") : QStringLiteral(" ASC"));
    return parts.join(QStringLiteral(", "));
}
