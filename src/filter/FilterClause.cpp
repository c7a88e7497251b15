#include "filter/FilterClause.h"

#include "database/Conversions.h"
#include "database/SqlText.h"

#include <QStringList>

#include <functional>
#include <limits>

namespace {

QString operatorText(const QString& word)
{
    if (word == QLatin1String(">"))
        return QStringLiteral(" > ");
    if (word == QLatin1String(">="))
        return QStringLiteral(" >= ");
    if (word == QLatin1String("<"))
        return QStringLiteral(" < ");
    if (word == QLatin1String("<="))
        return QStringLiteral(" <= ");
    if (word == QLatin1String("!=") || word == QLatin1String("<>"))
        return QStringLiteral(" <> ");
    if (word == QLatin1String("==") || word == QLatin1String("="))
        return QStringLiteral(" = ");
    return QString();
}

using Literal = std::function<QString(const QString&)>;

// The von/bis rule: no von, no condition; an operator word as bis makes a one-sided condition,
// another bis a closed range, no bis an equality.
QString rangeFragment(const QString& column, const QString& vonText, const QString& bisText, const Literal& literal)
{
    const QString von = vonText.trimmed();
    const QString bis = bisText.trimmed();
    if (von.isEmpty())
        return QString();
    const QString op = operatorText(bis);
    if (!op.isEmpty())
        return QStringLiteral(" AND ") + column + op + literal(von);
    if (!bis.isEmpty())
        return QStringLiteral(" AND ") + column + QStringLiteral(" >= ") + literal(von) + QStringLiteral(" AND ") + column
            + QStringLiteral(" <= ") + literal(bis);
    return QStringLiteral(" AND ") + column + QStringLiteral(" = ") + literal(von);
}

QString patternFragment(const QString& column, const QString& text)
{
    // Untrimmed and untranslated: the text is a pattern in the engine's own wildcards.
    if (text.isEmpty())
        return QString();
    return QStringLiteral(" AND ") + column + QStringLiteral(" LIKE ") + SqlQuoted(text);
}

QString completedDate(const QString& text, const QDate& today)
{
    QString out;
    ParseDateLenient(text, today.year(), today.month(), today.day(), &out);
    return out;
}

QString completedTime(const QString& text, const QTime& now)
{
    QString out;
    ParseTimeLenient(text, &out, now);
    return out;
}

QString completeVon(const QString& text, const std::function<QString(const QString&)>& complete)
{
    const QString trimmed = text.trimmed();
    return trimmed.isEmpty() ? trimmed : complete(trimmed);
}

QString completeBis(const QString& text, const std::function<QString(const QString&)>& complete)
{
    const QString trimmed = text.trimmed();
    return trimmed.isEmpty() || IsFilterOperatorWord(trimmed) ? trimmed : complete(trimmed);
}

bool isWholeNumber(const QString& text)
{
    qint32 value = 0;
    return TryParseInt32(text, value);
}

} // namespace

bool IsFilterOperatorWord(const QString& text)
{
    return !operatorText(text).isEmpty();
}

QString CompleteDateVon(const QString& text, const QDate& today)
{
    return completeVon(text, [&](const QString& t) { return completedDate(t, today); });
}

QString CompleteDateBis(const QString& text, const QDate& today)
{
    return completeBis(text, [&](const QString& t) { return completedDate(t, today); });
}

QString CompleteTimeVon(const QString& text, const QTime& now)
{
    return completeVon(text, [&](const QString& t) { return completedTime(t, now); });
}

QString CompleteTimeBis(const QString& text, const QTime& now)
{
    return completeBis(text, [&](const QString& t) { return completedTime(t, now); });
}

QString NebenstelleProblem(const QString& von, const QString& bis, bool forBis)
{
    // Without a von value neither bound is used; an operator word is no bound.
    const QString v = von.trimmed();
    const QString b = bis.trimmed();
    if (v.isEmpty())
        return QString();
    const QString& bound = forBis ? b : v;
    if (bound.isEmpty() || (forBis && IsFilterOperatorWord(b)) || isWholeNumber(bound))
        return QString();
    return QStringLiteral("Nebenstelle ") + (forBis ? QStringLiteral("bis") : QStringLiteral("von")) + QStringLiteral(": „")
        + bound + QStringLiteral("“ ist keine ganze Zahl.");
}

int LeadingFileNumber(const QString& text)
{
    qsizetype pos = 0;
    while (pos < text.size() && text[pos] == QLatin1Char(' '))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-')))
        negative = text[pos++] == QLatin1Char('-');
    qint64 value = 0;
    const qsizetype first = pos;
    for (; pos < text.size() && text[pos] >= QLatin1Char('0') && text[pos] <= QLatin1Char('9'); ++pos) {
        value = value * 10 + (text[pos].unicode() - '0');
        // No file has such a number; a longer run is no number of a file at all.
        if (value > std::numeric_limits<qint32>::max())
            return 0;
    }
    if (pos == first)
        return 0;
    return int(negative ? -value : value);
}

QString BuildFilterClause(const FilterFields& f)
{
    const Literal date = [](const QString& v) { return QStringLiteral("CDate(") + SqlQuoted(v) + QLatin1Char(')'); };
    const Literal text = [](const QString& v) { return SqlQuoted(v); };
    const Literal number = [](const QString& v) {
        qint32 value = 0;
        TryParseInt32(v, value);
        return QString::number(value);
    };

    QString clause;
    clause += rangeFragment(QStringLiteral("DateValue(BeginZeit)"), f.DatumVon, f.DatumBis, date);
    clause += rangeFragment(QStringLiteral("TimeValue(BeginZeit)"), f.ZeitVon, f.ZeitBis, date);
    if (NebenstelleProblem(f.NebenstelleVon, f.NebenstelleBis, false).isEmpty()
        && NebenstelleProblem(f.NebenstelleVon, f.NebenstelleBis, true).isEmpty())
        clause += rangeFragment(QStringLiteral("CLng(Nebenstelle)"), f.NebenstelleVon, f.NebenstelleBis, number);
    clause += patternFragment(QStringLiteral("ANummer"), f.ANummer);
    clause += patternFragment(QStringLiteral("BNummer"), f.BNummer);
    clause += rangeFragment(QStringLiteral("Kostenstelle"), f.KostenstelleVon, f.KostenstelleBis, text);
    clause += patternFragment(QStringLiteral("Zone"), f.Zone);
    clause += patternFragment(QStringLiteral("Ziel"), f.Ziel);
    clause += patternFragment(QStringLiteral("FilialeID"), f.FilialeID);
    clause += patternFragment(QStringLiteral("GZ"), f.GZ);
    if (const int file = LeadingFileNumber(f.DateiID))
        clause += QStringLiteral(" AND DateiID = ") + QString::number(file);
    return clause;
}
