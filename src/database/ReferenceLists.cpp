#include "database/ReferenceLists.h"

#include "database/Conversions.h"
#include "database/Messages.h"
#include "database/RuboEngine.h"
#include "database/RuboError.h"
#include "database/Schema.h"

#include <algorithm>
#include <unordered_map>
#include <vector>
#include <limits>

namespace {

// Index of a result column by name; the lists read their tables with "SELECT *".
int columnIndex(const RuboStatement& stmt, const char* name)
{
    const QLatin1String wanted(name);
    for (int i = 0; i < stmt.columnCount(); ++i)
        if (stmt.columnName(i).compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    throw RuboError(QStringLiteral("Feld %1 nicht gefunden.").arg(wanted));
}

// A date column left empty, as NULL or as blank text, has no meaningful serial.
bool isMissing(const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return true;
    return value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty();
}

// The sort key of an extension: a whole number, anything else counts 0.
qint64 extensionKey(const QString& text)
{
    qint64 value = 0;
    return ParseWholeNumber(text, value) ? value : 0;
}

const QString kNoMatch = QStringLiteral("x");

} // namespace

size_t PairIndex::key(QStringView first, QStringView second)
{
    // FNV-1a over both texts: Qt's seeded string hash costs more than the walk it replaces.
    quint64 h = 14695981039346656037ull;
    for (const QChar c : first)
        h = (h ^ c.unicode()) * 1099511628211ull;
    h = (h ^ 0xFFFFu) * 1099511628211ull;   // keeps ("ab", "c") apart from ("a", "bc")
    for (const QChar c : second)
        h = (h ^ c.unicode()) * 1099511628211ull;
    return size_t(h);
}

void PairIndex::add(QStringView first, QStringView second, int position)
{
    m_buckets[key(first, second)].push_back(position);
}

const std::vector<int>& PairIndex::bucket(QStringView first, QStringView second) const
{
    static const std::vector<int> none;
    const auto it = m_buckets.find(key(first, second));
    return it == m_buckets.end() ? none : it->second;
}

// ---------------------------------------------------------------------------------------------

bool ParseWholeNumber(QStringView text, qint64& value)
{
    if (text.isEmpty())
        return false;
    qint64 result = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        const int digit = c.unicode() - '0';
        if (result > (std::numeric_limits<qint64>::max() - digit) / 10)
            return false;
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

// ---------------------------------------------------------------------------------------------

bool DBFilialen::Load(RuboDatabase& db)
{
    if (!m_dirty)
        return false;
    QList<FilialeEntry> entries;
    RuboStatement stmt(db, QStringLiteral("SELECT * FROM Filialen"));
    const int kurz = columnIndex(stmt, "Kurz");
    const int name = columnIndex(stmt, "Name");
    const int aNummer = columnIndex(stmt, "ANummer");
    while (stmt.step()) {
        FilialeEntry e;
        e.Kurz = VariantToText(stmt.column(kurz));
        e.Name = VariantToText(stmt.column(name));
        e.ANummer = VariantToText(stmt.column(aNummer));
        if (e.ANummer.endsWith(QLatin1Char('*')))
            e.Prefix = e.ANummer.left(e.ANummer.size() - 1);
        entries.append(std::move(e));
    }
    // Longest number first, so the first match is the longest matching one.
    std::sort(entries.begin(), entries.end(), [](const FilialeEntry& a, const FilialeEntry& b) {
        return a.ANummer.size() > b.ANummer.size();
    });
    m_entries = std::move(entries);
    m_dirty = false;
    return true;
}

bool DBFilialen::SetDirty(bool dirty)
{
    const bool previous = m_dirty;
    m_dirty = dirty;
    return previous;
}

const FilialeEntry* DBFilialen::FindEntry(QStringView aNummer, QStringView* rest) const
{
    if (rest)
        *rest = QStringView();
    for (const FilialeEntry& e : m_entries) {
        if (!e.ANummer.isEmpty() && aNummer.startsWith(e.ANummer))
            return &e;
        if (!e.Prefix.isEmpty() && aNummer.startsWith(e.Prefix)) {
            if (rest)
                *rest = aNummer.mid(e.Prefix.size()).left(999);
            return &e;
        }
    }
    return nullptr;
}

bool DBFilialen::Find(QStringView aNummer, QString& kurz, QString& name, QString* rest) const
{
    QStringView restView;
    const FilialeEntry* e = FindEntry(aNummer, &restView);
    if (rest)
        *rest = restView.toString();
    if (!e) {
        kurz = kNoMatch;
        name.clear();
        return false;
    }
    kurz = e->Kurz;
    name = e->Name;
    return true;
}

const FilialeEntry* DBFilialen::At(int index) const
{
    if (index < 0 || index >= m_entries.size())
        return nullptr;
    return &m_entries.at(index);
}

// ---------------------------------------------------------------------------------------------

bool DBKostenstellen::Load(RuboDatabase& db)
{
    if (!m_dirty)
        return false;
    QList<KostenstelleEntry> entries;
    RuboStatement stmt(db, QStringLiteral("SELECT * FROM Kostenstellen"));
    const int kostenstelle = columnIndex(stmt, "Kostenstelle");
    const int vonZeit = columnIndex(stmt, "VonZeit");
    const int bisZeit = columnIndex(stmt, "BisZeit");
    const int nebenstelle = columnIndex(stmt, "Nebenstelle");
    const int filialeId = columnIndex(stmt, "FilialeID");
    const int id = columnIndex(stmt, "ID");
    while (stmt.step()) {
        KostenstelleEntry e;
        e.ID = stmt.column(id).toLongLong();
        e.Kostenstelle = VariantToText(stmt.column(kostenstelle));
        const QVariant von = stmt.column(vonZeit);
        const QVariant bis = stmt.column(bisZeit);
        if (isMissing(von))
            throw RuboError(QStringLiteral("In der Tabelle Kostenstellen fehlt bei der Kostenstelle \"%1\" "
                                           "das Datum \"gültig von\" (VonZeit).")
                                .arg(e.Kostenstelle));
        if (isMissing(bis))
            throw RuboError(QStringLiteral("In der Tabelle Kostenstellen fehlt bei der Kostenstelle \"%1\" "
                                           "das Datum \"gültig bis\" (BisZeit).")
                                .arg(e.Kostenstelle));
        e.VonZeit = VariantToFloat(von);
        e.BisZeit = VariantToFloat(bis);
        e.Nebenstelle = VariantToText(stmt.column(nebenstelle));
        e.FilialeID = VariantToText(stmt.column(filialeId));
        e.NebenstelleKey = extensionKey(e.Nebenstelle);
        entries.append(std::move(e));
    }
    // Shortest branch first (the entries for every branch before those of one branch), then by
    // extension; the lookup lets a later match of a kind win, which gives the precedence.
    std::sort(entries.begin(), entries.end(), [](const KostenstelleEntry& a, const KostenstelleEntry& b) {
        if (a.FilialeID.size() != b.FilialeID.size())
            return a.FilialeID.size() < b.FilialeID.size();
        return a.NebenstelleKey < b.NebenstelleKey;
    });
    m_entries = std::move(entries);
    m_index.clear();
    for (int i = 0; i < m_entries.size(); ++i)
        m_index.add(m_entries.at(i).FilialeID, m_entries.at(i).Nebenstelle, i);
    m_dirty = false;
    return true;
}

bool DBKostenstellen::SetDirty(bool dirty)
{
    const bool previous = m_dirty;
    m_dirty = dirty;
    return previous;
}

bool DBKostenstellen::Find(QStringView filialeId, QStringView nebenstelle, double zeit, QString& kostenstelle) const
{
    // The walk of the list, answered from the only entries that can fit: those of the pair
    // itself, which end the walk at the first valid one, and those of the three wider kinds,
    // of which the last valid one in list order wins.
    const PairIndex& index = m_index;
    const KostenstelleEntry* current = nullptr;
    const auto valid = [zeit](const KostenstelleEntry& e) { return e.VonZeit <= zeit && zeit <= e.BisZeit; };
    for (const int i : index.bucket(filialeId, nebenstelle)) {
        const KostenstelleEntry& e = m_entries.at(i);
        if (valid(e) && e.FilialeID == filialeId && e.Nebenstelle == nebenstelle) {
            current = &e;
            break;
        }
    }
    if (!current) {
        int last = -1;
        const auto widerKind = [&](QStringView f, QStringView n) {
            for (const int i : index.bucket(f, n)) {
                const KostenstelleEntry& e = m_entries.at(i);
                if (i > last && valid(e) && e.FilialeID == f && e.Nebenstelle == n)
                    last = i;
            }
        };
        widerKind(QStringView(), QStringView());
        widerKind(QStringView(), nebenstelle);
        widerKind(filialeId, QStringView());
        if (last >= 0)
            current = &m_entries.at(last);
    }
    if (!current) {
        kostenstelle = kNoMatch;
        return false;
    }
    kostenstelle = current->Kostenstelle;
    return true;
}

const KostenstelleEntry* DBKostenstellen::Overlapping(QStringView filialeId, QStringView nebenstelle, double von,
                                                     double bis,
                                                     const std::function<bool(const KostenstelleEntry&)>& skip) const
{
    const auto overlaps = [von, bis](const KostenstelleEntry& e) {
        return (von <= e.VonZeit && e.VonZeit <= bis) || (von <= e.BisZeit && e.BisZeit <= bis)
            || (e.VonZeit <= von && von <= e.BisZeit) || (e.VonZeit <= bis && bis <= e.BisZeit);
    };
    const auto counts = [&](const KostenstelleEntry& e, QStringView n) {
        return e.FilialeID == filialeId && e.Nebenstelle == n && overlaps(e) && !(skip && skip(e));
    };
    if (!nebenstelle.isEmpty()) {
        for (const int i : m_index.bucket(filialeId, nebenstelle))
            if (counts(m_entries.at(i), nebenstelle))
                return &m_entries.at(i);
    }
    const KostenstelleEntry* wide = nullptr;
    for (const int i : m_index.bucket(filialeId, QStringView()))
        if (counts(m_entries.at(i), QStringView()))
            wide = &m_entries.at(i);
    return wide;
}

// ---------------------------------------------------------------------------------------------

bool DBZonenrabatte::Load(RuboDatabase& db)
{
    if (!m_dirty)
        return false;
    QList<ZonenrabattEntry> entries;
    RuboStatement stmt(db, QStringLiteral("SELECT * FROM Zonenrabatte"));
    const int zone = columnIndex(stmt, "Zone");
    const int gz = columnIndex(stmt, "GZ");
    const int rabattProz = columnIndex(stmt, "RabattProz");
    const int ias = columnIndex(stmt, "IAS");
    while (stmt.step()) {
        ZonenrabattEntry e;
        e.Zone = VariantToText(stmt.column(zone));
        e.GZ = VariantToText(stmt.column(gz));
        e.RabattProz = float(VariantToFloat(stmt.column(rabattProz)));
        e.IAS = VariantToText(stmt.column(ias));
        entries.append(std::move(e));
    }
    // The zone list has no sort key: it keeps the order the engine returned.
    m_entries = std::move(entries);
    m_index.clear();
    for (int i = 0; i < m_entries.size(); ++i)
        m_index.add(m_entries.at(i).Zone, m_entries.at(i).GZ, i);
    m_dirty = false;
    return true;
}

bool DBZonenrabatte::SetDirty(bool dirty)
{
    const bool previous = m_dirty;
    m_dirty = dirty;
    return previous;
}

const ZonenrabattEntry* DBZonenrabatte::FindEntry(QStringView zone, QStringView gz) const
{
    for (const int i : m_index.bucket(zone, gz)) {
        const ZonenrabattEntry& e = m_entries.at(i);
        if (e.Zone == zone && e.GZ == gz)
            return &e;
    }
    return nullptr;
}

bool DBZonenrabatte::Find(QStringView zone, QStringView gz, float& rabattProz, QString& ias) const
{
    if (const ZonenrabattEntry* e = FindEntry(zone, gz)) {
        rabattProz = e->RabattProz;
        ias = e->IAS;
        return true;
    }
    rabattProz = 0;
    ias.clear();
    return false;
}

void DBZonenrabatte::Append(ZonenrabattEntry entry)
{
    m_entries.append(std::move(entry));
    const ZonenrabattEntry& e = m_entries.constLast();
    m_index.add(e.Zone, e.GZ, int(m_entries.size() - 1));
}

bool DBZonenrabatte::AnyDiscount() const
{
    return std::any_of(m_entries.cbegin(), m_entries.cend(),
                       [](const ZonenrabattEntry& e) { return e.RabattProz > 0; });
}

// ---------------------------------------------------------------------------------------------

bool ReferenceLists::LoadFilialen()
{
    return m_filialen.Load(m_db);
}

void ReferenceLists::LoadKostenstellen()
{
    m_kostenstellen.Load(m_db);
}

void ReferenceLists::LoadZonenrabatte()
{
    m_zonenrabatte.Load(m_db);
}

void ReferenceLists::SetAllDirty()
{
    SetFilialenDirty();
    SetKostenstellenDirty();
    SetZonenrabatteDirty();
}

const FilialeEntry* ReferenceLists::FindFilialeEntry(QStringView aNummer, QStringView* rest)
{
    LoadFilialen();
    return m_filialen.FindEntry(aNummer, rest);
}

bool ReferenceLists::FindFiliale(QStringView aNummer, QString& kurz, QString& name, QString* rest)
{
    LoadFilialen();
    return m_filialen.Find(aNummer, kurz, name, rest);
}

bool ReferenceLists::FindKostenstelle(QStringView filialeId, QStringView nebenstelle, double zeit, QString& kostenstelle)
{
    LoadKostenstellen();
    return m_kostenstellen.Find(filialeId, nebenstelle, zeit, kostenstelle);
}

void ReferenceLists::CheckKostenstellenFitCalls()
{
    LoadKostenstellen();
    const int width = FindRuboTableDef(QStringLiteral("EGN"))->column(QStringLiteral("Kostenstelle"))->width;
    for (const KostenstelleEntry& e : m_kostenstellen.entries()) {
        if (e.Kostenstelle.size() > width)
            throw RuboError(QStringLiteral("Die Kostenstelle \u201E%1\u201C (Filiale \u201E%2\u201C, Nebenstelle \u201E%3\u201C, "
                                           "gültig von %4 bis %5) hat mehr als %6 Zeichen. Ein Einzelgesprächsnachweis "
                                           "nimmt nur %6 Zeichen auf: bitte kürzen Sie sie unter Extras, Kostenstellen.")
                                .arg(e.Kostenstelle, e.FilialeID, e.Nebenstelle, FormatSerialDate(e.VonZeit),
                                     FormatSerialDate(e.BisZeit))
                                .arg(width));
    }
}

bool ReferenceLists::FindZonenrabatt(QStringView zone, QStringView gz, float& rabattProz, QString& ias)
{
    LoadZonenrabatte();
    if (m_zonenrabatte.Find(zone, gz, rabattProz, ias))
        return true;

    // The zone is stored under its full name (apostrophe included, the value is bound), so the
    // next lookup finds it and it is added only once. The loaded list takes the new row as a
    // reload would: reloading after every new zone made files with many zones quadratic.
    ZonenrabattEntry entry;
    entry.Zone = zone.toString();
    entry.GZ = gz.toString();
    RuboQuery insert(m_db);
    insert.setSql(QStringLiteral("insert into Zonenrabatte (Zone, GZ, RabattProz, IAS) values (Zone_, GZ_, RabattProz_, IAS_)"));
    insert.setParam(QStringLiteral("Zone_"), entry.Zone.isNull() ? QStringLiteral("") : entry.Zone);
    insert.setParam(QStringLiteral("GZ_"), entry.GZ.isNull() ? QStringLiteral("") : entry.GZ);
    insert.setParam(QStringLiteral("RabattProz_"), 0.0);
    insert.setParam(QStringLiteral("IAS_"), QStringLiteral(""));
    try {
        insert.execute();
        m_zonenrabatte.Append(std::move(entry));
    } catch (const RuboError& e) {
        MessageOk(QStringLiteral("Datenbankfehler beim Einfügen in Tabelle Zonenrabatte.\n") + QStringLiteral("Meldung: ")
                  + e.message() + QStringLiteral("\n") + QStringLiteral("Stmt:") + insert.sql());
    }
    return false;
}

const FilialeEntry* ReferenceLists::FilialeAt(int index)
{
    LoadFilialen();
    return m_filialen.At(index);
}

bool ReferenceLists::AnyZoneDiscount()
{
    LoadZonenrabatte();
    return m_zonenrabatte.AnyDiscount();
}
