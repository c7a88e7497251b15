#pragma once

#include <QList>
#include <QString>

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
};

struct ZonenrabattEntry
{
    QString Zone;
    QString GZ;
    float RabattProz = 0;
    QString IAS;
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
    const QList<KostenstelleEntry>& entries() const { return m_entries; }

private:
    QList<KostenstelleEntry> m_entries;
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

private:
    QList<ZonenrabattEntry> m_entries;
    bool m_dirty = true;
};

// The operations the rest of the program uses, on the lists of the running program (which
// belong to the data module dmMain and its database).
bool LoadFilialen();
void LoadKostenstellen();
void LoadZonenrabatte();
bool SetFilialenDirty(bool dirty = true);
bool SetKostenstellenDirty(bool dirty = true);
bool SetZonenrabatteDirty(bool dirty = true);
const FilialeEntry* FindFilialeEntry(QStringView aNummer, QStringView* rest = nullptr);
bool FindFiliale(QStringView aNummer, QString& kurz, QString& name, QString* rest = nullptr);
bool FindKostenstelle(QStringView filialeId, QStringView nebenstelle, double zeit, QString& kostenstelle);
// Adds an unknown zone to Zonenrabatte (inside the import's transaction, if one is open).
bool FindZonenrabatt(QStringView zone, QStringView gz, float& rabattProz, QString& ias);
const FilialeEntry* FilialeAt(int index);
bool AnyZoneDiscount();
DBFilialen& TheFilialen();
DBKostenstellen& TheKostenstellen();
DBZonenrabatte& TheZonenrabatte();
