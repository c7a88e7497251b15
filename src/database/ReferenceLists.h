#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <unordered_map>
#include <vector>

class RuboDatabase;

// True when text is a whole number written only with the digits 0-9 that fits into 64 bits.
bool ParseWholeNumber(QStringView text, qint64& value);

// In-memory mirrors of the reference tables, loaded on first use and reloaded only after
// something marked them stale; an import of many thousand calls reads each table once.

struct FilialeEntry
{
    QString Kurz;
    QString Name;
    QString ANummer;
    QString Prefix;   // ANummer without its last character when it ends in "*", else empty
};

struct KostenstelleEntry
{
    QString Kostenstelle;
    double VonZeit = 0;
    double BisZeit = 0;
    QString Nebenstelle;
    QString FilialeID;
    qint64 NebenstelleKey = 0;   // Nebenstelle read as a whole number (0 when it is none), for sorting
    qint64 ID = 0;
};

struct ZonenrabattEntry
{
    QString Zone;
    QString GZ;
    float RabattProz = 0;
    QString IAS;
};

// The cost-centre and zone lookups run for every call; walking the whole list each time made them
// the slowest steps of an import. Entries are grouped by their pair of key texts (branch and
// extension, zone and business-time class); the index is rebuilt whenever its list is.
class PairIndex
{
public:
    void clear() { m_buckets.clear(); }
    void add(QStringView first, QStringView second, int position);
    // Positions of the entries whose pair may be (first, second), ascending; the caller compares.
    const std::vector<int>& bucket(QStringView first, QStringView second) const;

private:
    static size_t key(QStringView first, QStringView second);
    std::unordered_map<size_t, std::vector<int>> m_buckets;
};

class DBFilialen
{
public:
    // True when it (re)loaded the list, false when the list was current.
    bool Load(RuboDatabase& db);
    bool SetDirty(bool dirty);
    bool isDirty() const { return m_dirty; }
    // Longest matching number wins; a number ending in "*" also matches as a prefix and hands
    // back the rest of the calling number (the extension).
    bool Find(QStringView aNummer, QString& kurz, QString& name, QString* rest = nullptr) const;
    // The same walk without copying: the matching entry (or none) and, for a match through a
    // number ending in "*", the rest as a view into aNummer.
    const FilialeEntry* FindEntry(QStringView aNummer, QStringView* rest = nullptr) const;
    const FilialeEntry* At(int index) const;
    const QList<FilialeEntry>& entries() const { return m_entries; }

private:
    QList<FilialeEntry> m_entries;
    bool m_dirty = true;
};

class DBKostenstellen
{
public:
    bool Load(RuboDatabase& db);
    bool SetDirty(bool dirty);
    bool isDirty() const { return m_dirty; }
    bool Find(QStringView filialeId, QStringView nebenstelle, double zeit, QString& kostenstelle) const;
    // The entry a new assignment of the branch and extension for [von, bis] collides with: the
    // first overlapping one of the same extension in list order, else the last overlapping one
    // of the whole branch. For a new row of the whole branch (empty extension) only rows of the
    // whole branch count. Both ends count as overlap. `skip` says which entries to pass over.
    const KostenstelleEntry* Overlapping(QStringView filialeId, QStringView nebenstelle, double von, double bis,
                                         const std::function<bool(const KostenstelleEntry&)>& skip = {}) const;
    const QList<KostenstelleEntry>& entries() const { return m_entries; }

private:
    QList<KostenstelleEntry> m_entries;
    PairIndex m_index;
    bool m_dirty = true;
};

class DBZonenrabatte
{
public:
    bool Load(RuboDatabase& db);
    bool SetDirty(bool dirty);
    bool isDirty() const { return m_dirty; }
    bool Find(QStringView zone, QStringView gz, float& rabattProz, QString& ias) const;
    const ZonenrabattEntry* FindEntry(QStringView zone, QStringView gz) const;
    bool AnyDiscount() const;
    const QList<ZonenrabattEntry>& entries() const { return m_entries; }
    // A row just inserted: it goes last, where a reload would read it.
    void Append(ZonenrabattEntry entry);

private:
    QList<ZonenrabattEntry> m_entries;
    PairIndex m_index;
    bool m_dirty = true;
};

// The three lists of one database connection and the operations the rest of the program uses
// on them. Each data module owns one, so a second connection (a worker, a test) has its own.
class ReferenceLists
{
public:
    explicit ReferenceLists(RuboDatabase& db) : m_db(db) {}
    ReferenceLists(const ReferenceLists&) = delete;
    ReferenceLists& operator=(const ReferenceLists&) = delete;

    bool LoadFilialen();
    void LoadKostenstellen();
    void LoadZonenrabatte();
    bool SetFilialenDirty(bool dirty = true) { return m_filialen.SetDirty(dirty); }
    bool SetKostenstellenDirty(bool dirty = true) { return m_kostenstellen.SetDirty(dirty); }
    bool SetZonenrabatteDirty(bool dirty = true) { return m_zonenrabatte.SetDirty(dirty); }
    void SetAllDirty();

    const FilialeEntry* FindFilialeEntry(QStringView aNummer, QStringView* rest = nullptr);
    bool FindFiliale(QStringView aNummer, QString& kurz, QString& name, QString* rest = nullptr);
    bool FindKostenstelle(QStringView filialeId, QStringView nebenstelle, double zeit, QString& kostenstelle);
    // A call holds fewer characters of its cost centre than an assignment may have: rather than
    // cut two cost centres into one, an import or recalculation refuses to start, naming the
    // assignment (RuboError).
    void CheckKostenstellenFitCalls();
    // Adds an unknown zone to Zonenrabatte (inside the import's transaction, if one is open).
    bool FindZonenrabatt(QStringView zone, QStringView gz, float& rabattProz, QString& ias);
    const FilialeEntry* FilialeAt(int index);
    bool AnyZoneDiscount();

    DBFilialen& Filialen() { return m_filialen; }
    DBKostenstellen& Kostenstellen() { return m_kostenstellen; }
    DBZonenrabatte& Zonenrabatte() { return m_zonenrabatte; }

private:
    RuboDatabase& m_db;
    DBFilialen m_filialen;
    DBKostenstellen m_kostenstellen;
    DBZonenrabatte m_zonenrabatte;
};
