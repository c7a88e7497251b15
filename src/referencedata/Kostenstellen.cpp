#include "referencedata/Kostenstellen.h"

#include "database/Conversions.h"
#include "database/Messages.h"
#include "database/ReferenceLists.h"
#include "database/RuboEngine.h"
#include "database/RuboError.h"
#include "database/Schema.h"
#include "database/SqlText.h"

#include <QHash>
#include <QSet>

#include <functional>

namespace {

// Stored for "none": the table's rows were always written so, and the lookup reads it as empty.
const QString kNone = QStringLiteral(" ");

int callsKostenstelleWidth()
{
    return FindRuboTableDef(QStringLiteral("EGN"))->column(QStringLiteral("Kostenstelle"))->width;
}

// The extension as "&Neu" stores it: the decimal text of the number, 0 for a text that is none.
qint32 extensionNumber(const QString& text)
{
    qint32 value = 0;
    TryParseInt32(text, value);
    return value;
}

QString quoted(const QString& text)
{
    return QStringLiteral("'") + text + QStringLiteral("'");
}

// One line of the conflict list of "Eingabefehler".
QString conflictLine(const QString& filiale, const QString& nebenstelle, double von, double bis, const KostenstelleEntry& hit)
{
    return QStringLiteral("\nFiliale ") + quoted(filiale) + QStringLiteral(" Nebenstelle ") + quoted(nebenstelle)
        + QStringLiteral(" Gültig-Von ") + quoted(FormatSerialDate(von)) + QStringLiteral(" Gültig Bis ")
        + quoted(FormatSerialDate(bis)) + QStringLiteral(" \nwurde bereits der Kostenstelle ") + quoted(hit.Kostenstelle)
        + QStringLiteral(" Gültig-Von ") + quoted(FormatSerialDate(hit.VonZeit)) + QStringLiteral(" Gültig Bis ")
        + quoted(FormatSerialDate(hit.BisZeit)) + QStringLiteral(" zugewiesen.");
}

// Collects the conflicts: nine listed, the rest only counted.
class ConflictList
{
public:
    void add(const QString& filiale, const QString& nebenstelle, double von, double bis, const KostenstelleEntry& hit)
    {
        if (++m_count <= 9)
            m_text += conflictLine(filiale, nebenstelle, von, bis, hit);
    }
    QString text() const
    {
        return m_count >= 10 ? m_text + QStringLiteral("\n... und noch mehr Zuordnungsfehler ...") : m_text;
    }

private:
    int m_count = 0;
    QString m_text;
};

void showInputError(const QString& errors)
{
    MessageOk(QStringLiteral("Eingabefehler") + errors, RuboUi::MsgKind::Error);
}

void warnIfTooLong(const QString& kostenstelle)
{
    const QString warning = KostenstelleZuLangText(kostenstelle);
    if (!warning.isEmpty())
        MessageOk(warning);
}

// The end of every button: the input errors shown, or the rows written in one transaction and
// a failure of the engine shown.
KostenstellenErgebnis storeChecked(RuboDatabase& db, ReferenceLists& lists, const QString& errors,
                                   const QString& kostenstelle, const std::function<void()>& write)
{
    if (!errors.isEmpty()) {
        showInputError(errors);
        return KostenstellenErgebnis::Abgelehnt;
    }
    QString failure;
    {
        TpWait wait;
        try {
            RuboTransaction transaction(db);
            write();
            transaction.commit();
        } catch (const RuboError& e) {
            failure = e.message();
        }
        lists.SetKostenstellenDirty();
    }
    if (!failure.isEmpty()) {
        MessageOk(failure);
        return KostenstellenErgebnis::Fehler;
    }
    warnIfTooLong(kostenstelle);
    return KostenstellenErgebnis::Gespeichert;
}

} // namespace

KostenstellenErgebnis KostenstellenNeu(RuboDatabase& db, ReferenceLists& lists, const KostenstellenEingabe& eingabe)
{
    QString errors;
    const QString nebenstelleText = eingabe.Nebenstelle.trimmed();
    const QString kostenstelle = eingabe.Kostenstelle.trimmed();
    if (kostenstelle.isEmpty())
        errors += QStringLiteral("\nKeine Kostenstelle eingegeben");
    const double von = ParseDateLenient(eingabe.VonZeit, 1900, 1, 1);
    // An end that does not sort after "0" (empty, "0", "-...") is the open end.
    const QString bisText = eingabe.BisZeit.trimmed();
    const double bis = bisText > QLatin1String("0") ? ParseDateLenient(bisText, 9999, 12, 31)
                                                    : ParseDateLenient(QStringLiteral("31.12.9999"), 9999, 12, 31);
    if (von > bis)
        errors += QStringLiteral("\nKein Zeitbereich eingegeben");
    const QString filiale = eingabe.FilialeID.trimmed();

    // Without an extension the row holds for the whole branch: a range end means nothing then,
    // and one row is stored, not one identical row per number.
    const qint64 first = extensionNumber(nebenstelleText);
    qint64 last = first;
    qint32 bisNumber = 0;
    if (!nebenstelleText.isEmpty() && TryParseInt32(eingabe.NebenstelleBis, bisNumber))
        last = bisNumber;
    if (last > first
        && !AskYesNo(QStringLiteral("Wollen Sie wirklich die Nebenstellen ") + QString::number(first) + QStringLiteral(" bis ")
                     + QString::number(last) + QStringLiteral(" eingeben ?")))
        return KostenstellenErgebnis::Abgelehnt;

    {
        TpWait wait;
        lists.LoadKostenstellen();
        ConflictList conflicts;
        const DBKostenstellen& list = lists.Kostenstellen();
        if (nebenstelleText.isEmpty()) {
            if (const KostenstelleEntry* hit = list.Overlapping(filiale, QString(), von, bis))
                conflicts.add(filiale, QString(), von, bis, *hit);
        } else {
            // qint64: a range ending at the largest extension must still end.
            for (qint64 n = first; n <= last; ++n) {
                const QString text = QString::number(n);
                if (const KostenstelleEntry* hit = list.Overlapping(filiale, text, von, bis))
                    conflicts.add(filiale, text, von, bis, *hit);
            }
        }
        errors += conflicts.text();
    }
    return storeChecked(db, lists, errors, kostenstelle, [&] {
        RuboStatement insert(db, QStringLiteral("INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, "
                                                "Kostenstelle) VALUES (?1, ?2, ?3, ?4, ?5)"));
        for (qint64 n = first; n <= last; ++n) {
            insert.reset();
            insert.bindText(1, filiale.isEmpty() ? kNone : TrimmedText(filiale));
            insert.bindText(2, nebenstelleText.isEmpty() ? kNone : QString::number(n));
            insert.bindDouble(3, von);
            insert.bindDouble(4, bis);
            insert.bindText(5, TrimmedText(kostenstelle));
            insert.step();
        }
    });
}

namespace {

// The collision of a changed row with the changed rows before it, by the rule of the list:
// a row of the same extension wins over one of the whole branch.
const KostenstelleEntry* collisionAmong(const QList<KostenstelleEntry>& changed, const KostenstelleEntry& row)
{
    const KostenstelleEntry* wide = nullptr;
    for (const KostenstelleEntry& other : changed) {
        if (other.FilialeID != row.FilialeID || other.VonZeit > row.BisZeit || row.VonZeit > other.BisZeit)
            continue;
        if (!row.Nebenstelle.isEmpty() && other.Nebenstelle == row.Nebenstelle)
            return &other;
        if (other.Nebenstelle.isEmpty())
            wide = &other;
    }
    return wide;
}

} // namespace

KostenstellenErgebnis KostenstellenAendern(RuboDatabase& db, ReferenceLists& lists, const QList<qint64>& ids,
                                           const KostenstellenEingabe& eingabe)
{
    const QString filialeText = eingabe.FilialeID.trimmed();
    const QString nebenstelleText = eingabe.Nebenstelle.trimmed();
    const QString kostenstelle = eingabe.Kostenstelle.trimmed();
    const bool setFiliale = !filialeText.isEmpty();
    const QString filiale = filialeText == QLatin1String("-") ? QString() : filialeText;
    const bool setNebenstelle = !nebenstelleText.isEmpty();
    const QString nebenstelle = QString::number(extensionNumber(nebenstelleText));
    const bool setVon = !eingabe.VonZeit.trimmed().isEmpty();
    const bool setBis = !eingabe.BisZeit.trimmed().isEmpty();
    const double von = setVon ? ParseDateLenient(eingabe.VonZeit, -1, -1, -1) : 0;
    const double bis = setBis ? ParseDateLenient(eingabe.BisZeit, -1, -1, -1) : 0;

    // Each row as it will be, checked against the rows that stay and the changed rows before it.
    QString errors;
    {
        TpWait wait;
        lists.LoadKostenstellen();
        const DBKostenstellen& list = lists.Kostenstellen();
        QHash<qint64, const KostenstelleEntry*> byId;
        for (const KostenstelleEntry& e : list.entries())
            byId.insert(e.ID, &e);
        const QSet<qint64> changing(ids.cbegin(), ids.cend());
        const auto beingChanged = [&](const KostenstelleEntry& e) { return changing.contains(e.ID); };
        QList<KostenstelleEntry> changed;
        ConflictList conflicts;
        bool outOfOrder = false;
        for (const qint64 id : ids) {
            const KostenstelleEntry* old = byId.value(id);
            if (!old)
                continue;
            KostenstelleEntry row = *old;
            if (setFiliale)
                row.FilialeID = filiale;
            if (setNebenstelle)
                row.Nebenstelle = nebenstelle;
            if (setVon)
                row.VonZeit = von;
            if (setBis)
                row.BisZeit = bis;
            outOfOrder = outOfOrder || row.VonZeit > row.BisZeit;
            const KostenstelleEntry* hit = list.Overlapping(row.FilialeID, row.Nebenstelle, row.VonZeit, row.BisZeit, beingChanged);
            if (!hit || hit->Nebenstelle != row.Nebenstelle) {
                const KostenstelleEntry* among = collisionAmong(changed, row);
                if (among && (!hit || among->Nebenstelle == row.Nebenstelle))
                    hit = among;
            }
            if (hit)
                conflicts.add(row.FilialeID, row.Nebenstelle, row.VonZeit, row.BisZeit, *hit);
            changed.append(row);
        }
        if (outOfOrder)
            errors += QStringLiteral("\nKein Zeitbereich eingegeben");
        errors += conflicts.text();
    }
    return storeChecked(db, lists, errors, kostenstelle, [&] {
        // A null leaves the column as it is.
        RuboStatement update(db, QStringLiteral("UPDATE Kostenstellen SET FilialeID = coalesce(?1, FilialeID), "
                                                "Nebenstelle = coalesce(?2, Nebenstelle), VonZeit = coalesce(?3, VonZeit), "
                                                "BisZeit = coalesce(?4, BisZeit), Kostenstelle = coalesce(?5, Kostenstelle) "
                                                "WHERE ID = ?6"));
        for (const qint64 id : ids) {
            update.reset();
            if (setFiliale)
                update.bindText(1, filiale.isEmpty() ? kNone : filiale);
            if (setNebenstelle)
                update.bindText(2, nebenstelle);
            if (setVon)
                update.bindDouble(3, von);
            if (setBis)
                update.bindDouble(4, bis);
            if (!kostenstelle.isEmpty())
                update.bindText(5, kostenstelle);
            update.bindInt(6, id);
            update.step();
        }
    });
}

bool KostenstellenLoeschen(RuboDatabase& db, ReferenceLists& lists, const QList<qint64>& ids)
{
    return storeChecked(db, lists, QString(), QString(), [&] {
               RuboStatement remove(db, QStringLiteral("DELETE FROM Kostenstellen WHERE ID = ?1"));
               for (const qint64 id : ids) {
                   remove.reset();
                   remove.bindInt(1, id);
                   remove.step();
               }
           })
        == KostenstellenErgebnis::Gespeichert;
}

QString KostenstellenFilter(KostenstellenFilterFelder& felder, const QDate& today)
{
    QStringList parts;
    const QString nebenstelle = felder.Nebenstelle.trimmed();
    if (!nebenstelle.isEmpty())
        parts << QStringLiteral("Nebenstelle LIKE ") + SqlQuoted(nebenstelle);
    if (!felder.Tag.trimmed().isEmpty()) {
        QString shown;
        const double day = ParseDateLenient(felder.Tag, today.year(), today.month(), today.day(), &shown);
        felder.Tag = shown;
        parts << QString::number(qint64(day)) + QStringLiteral(" BETWEEN VonZeit AND BisZeit");
    }
    const QString kostenstelle = felder.Kostenstelle.trimmed();
    if (!kostenstelle.isEmpty())
        parts << QStringLiteral("Kostenstelle LIKE ") + SqlQuoted(kostenstelle);
    const QString filiale = felder.Filiale.trimmed();
    if (!filiale.isEmpty())
        parts << QStringLiteral("FilialeID LIKE ") + SqlQuoted(filiale);
    return parts.join(QStringLiteral(" AND "));
}

QStringList FilialKurzListe(ReferenceLists& lists)
{
    QStringList names;
    for (int i = 0;; ++i) {
        const FilialeEntry* entry = lists.FilialeAt(i);
        if (!entry)
            break;
        if (!names.contains(entry->Kurz))
            names << entry->Kurz;
    }
    return names;
}

bool FilialFeldBleibt(ReferenceLists& lists, const QString& text)
{
    if (text.isEmpty() || text == QLatin1String("-") || text == QLatin1String("x"))
        return true;
    return FilialKurzListe(lists).contains(text);
}

QString KostenstelleZuLangText(const QString& kostenstelle)
{
    const int width = callsKostenstelleWidth();
    if (kostenstelle.size() <= width)
        return QString();
    return QStringLiteral("Die Kostenstelle \u201E%1\u201C hat mehr als %2 Zeichen. Ein Einzelgesprächsnachweis nimmt nur "
                          "%2 Zeichen auf: solange sie so bleibt, werden keine Dateien geladen und die "
                          "Einzelgesprächsnachweise nicht aktualisiert.")
        .arg(kostenstelle)
        .arg(width);
}
