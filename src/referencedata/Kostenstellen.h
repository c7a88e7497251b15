#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class RuboDatabase;
class ReferenceLists;

// The texts of the cost-centre editor's entry panel.
struct KostenstellenEingabe
{
    QString FilialeID;
    QString Nebenstelle;
    QString NebenstelleBis;
    QString VonZeit;
    QString BisZeit;
    QString Kostenstelle;
};

// The four fields of the editor's filter box.
struct KostenstellenFilterFelder
{
    QString Nebenstelle;
    QString Tag;
    QString Kostenstelle;
    QString Filiale;
};

// What a button of the editor did.
enum class KostenstellenErgebnis {
    Abgelehnt,    // "Eingabefehler" shown, or the range question answered No: nothing written
    Gespeichert,  // every row written
    Fehler        // the engine failed: its message shown, nothing written
};

// "&Neu": one assignment, or one per extension of a range (asked first), after the checks of
// the cost centre, the period and the conflicts with existing assignments. All rows or none.
KostenstellenErgebnis KostenstellenNeu(RuboDatabase& db, ReferenceLists& lists, const KostenstellenEingabe& eingabe);

// "&Ändern": sets on each row of `ids` the columns whose fields are filled in ("-" as the branch
// removes it). The extension is written as "&Neu" writes it, and every changed row must keep its
// period in order and collide with no other assignment, the rows being changed included.
KostenstellenErgebnis KostenstellenAendern(RuboDatabase& db, ReferenceLists& lists, const QList<qint64>& ids,
                                           const KostenstellenEingabe& eingabe);

// "&Löschen": the rows of `ids`, all or none; a failure is shown.
bool KostenstellenLoeschen(RuboDatabase& db, ReferenceLists& lists, const QList<qint64>& ids);

// The table filter of the filter box, empty for none. A date is completed (missing parts from
// `today`) and written back into `felder.Tag`. Wildcards of the LIKE stay the user's; values are
// quoted.
QString KostenstellenFilter(KostenstellenFilterFelder& felder, const QDate& today = QDate::currentDate());

// The short names of the branches for a drop-down, each once, in the order of the branch list.
QStringList FilialKurzListe(ReferenceLists& lists);
// What leaving the branch field keeps: empty, "-", "x" or a branch's short name exactly.
bool FilialFeldBleibt(ReferenceLists& lists, const QString& text);

// A cost centre longer than a call's column, which an import would refuse: the warning shown
// after storing it, empty when it fits.
QString KostenstelleZuLangText(const QString& kostenstelle);
