#pragma once

#include <QDate>
#include <QString>
#include <QTime>

// The texts of the filter dialog's fields as they stand; the clause is built from these alone.
struct FilterFields
{
    QString DatumVon, DatumBis;
    QString ZeitVon, ZeitBis;
    QString NebenstelleVon, NebenstelleBis;
    QString ANummer;
    QString BNummer;
    QString KostenstelleVon, KostenstelleBis;
    QString Zone;
    QString Ziel;
    QString FilialeID;
    QString GZ;
    QString DateiID;
};

// A bis field holds an upper bound or one of the operator words "<", "<=", ">", ">=", "=",
// "==", "!=", "<>", which make a one-sided condition of the von value.
bool IsFilterOperatorWord(const QString& text);

// The completion of a date or time field when it loses the focus. A bis field keeps an operator
// word; an empty field stays empty.
QString CompleteDateVon(const QString& text, const QDate& today);
QString CompleteDateBis(const QString& text, const QDate& today);
QString CompleteTimeVon(const QString& text, const QTime& now);
QString CompleteTimeBis(const QString& text, const QTime& now);

// The message for the von bound (or, with forBis, the bis bound) of Nebenstelle when it is not a
// signed whole number; empty when it is one or is not used.
QString NebenstelleProblem(const QString& von, const QString& bis, bool forBis);

// The filter clause: a run of " AND ..." conditions in the Jet dialect, empty for no filter.
// Every text value is a quoted literal; an extension bound that is no whole number adds nothing,
// so no text of the user can stand bare in the SQL.
QString BuildFilterClause(const FilterFields& fields);

// The file number at the start of a DateiID text ("12 - calls.edi" gives 12); 0 when there is none.
int LeadingFileNumber(const QString& text);
