#include "database/Schema.h"

#include "database/RuboEngine.h"

#include <QStringList>

namespace {

// Jet enforced text widths and 16-bit integers; CHECK constraints keep that, so a too-long text
// fails its insert with an error instead of being stored.
const char* const kSchema[] = {
    R"(CREATE TABLE EGN (
        ID INTEGER PRIMARY KEY,
        ANummer TEXT CHECK (length(ANummer) <= 24),
        Nebenstelle TEXT CHECK (length(Nebenstelle) <= 10),
        BNummer TEXT CHECK (length(BNummer) <= 24),
        BeginZeit REAL,
        Sekunden INTEGER CHECK (Sekunden BETWEEN -2147483648 AND 2147483647),
        Betrag REAL,
        ZoneCode INTEGER CHECK (ZoneCode BETWEEN -32768 AND 32767),
        Zone TEXT CHECK (length(Zone) <= 50),
        Ziel TEXT CHECK (length(Ziel) <= 50),
        Kostenstelle TEXT CHECK (length(Kostenstelle) <= 10),
        Nebenstelle1 TEXT CHECK (length(Nebenstelle1) <= 1),
        Nebenstelle2 TEXT CHECK (length(Nebenstelle2) <= 2),
        Nebenstelle3 TEXT CHECK (length(Nebenstelle3) <= 3),
        Nebenstelle4 TEXT CHECK (length(Nebenstelle4) <= 4),
        Nebenstelle5 TEXT CHECK (length(Nebenstelle5) <= 5),
        Nebenstelle6 TEXT CHECK (length(Nebenstelle6) <= 6),
        IAS TEXT CHECK (length(IAS) <= 1),
        BetragEuro REAL,
        EndeZeit REAL,
        DateiID INTEGER CHECK (DateiID BETWEEN -32768 AND 32767),
        FilialeID TEXT CHECK (length(FilialeID) <= 4),
        GZ TEXT CHECK (length(GZ) <= 2),
        UniqueCallID TEXT CHECK (length(UniqueCallID) <= 35),
        Rabatt REAL,
        RabattEuro REAL,
        RabattProz REAL))",
    // No index on DateiID: it cost the import a sixth of its time, while deleting one file's
    // calls, the only use, scans a year of calls in a fraction of a second.
    R"(CREATE TABLE GeladeneDateien (
        DateiID INTEGER PRIMARY KEY CHECK (DateiID BETWEEN -32768 AND 32767),
        DateiName TEXT CHECK (length(DateiName) <= 100),
        OriginalName TEXT CHECK (length(OriginalName) <= 100),
        AnzahlEGN INTEGER CHECK (AnzahlEGN BETWEEN -2147483648 AND 2147483647)))",
    R"(CREATE TABLE Filialen (
        Kurz TEXT CHECK (length(Kurz) <= 4),
        Name TEXT CHECK (length(Name) <= 50),
        ANummer TEXT CHECK (length(ANummer) <= 25)))",
    R"(CREATE TABLE Kostenstellen (
        ID INTEGER PRIMARY KEY,
        FilialeID TEXT CHECK (length(FilialeID) <= 4),
        Nebenstelle TEXT CHECK (length(Nebenstelle) <= 10),
        VonZeit REAL,
        BisZeit REAL,
        Kostenstelle TEXT CHECK (length(Kostenstelle) <= 20)))",
    R"(CREATE TABLE Zonenrabatte (
        Zone TEXT CHECK (length(Zone) <= 50),
        GZ TEXT CHECK (length(GZ) <= 2),
        RabattProz REAL,
        IAS TEXT CHECK (length(IAS) <= 1)))",
};

const char* const kTables[] = {"EGN", "GeladeneDateien", "Filialen", "Kostenstellen", "Zonenrabatte"};

} // namespace

void CreateRuboSchema(RuboDatabase& db)
{
    // Larger pages suit a table of a year of calls: fewer pages to split while appending.
    db.execute(QStringLiteral("PRAGMA page_size = 16384"));
    RuboTransaction transaction(db);
    for (const char* sql : kSchema)
        db.execute(QString::fromUtf8(sql));
    db.execute(QStringLiteral("PRAGMA user_version = %1").arg(kRuboSchemaVersion));
    transaction.commit();
}

void CheckRuboSchema(RuboDatabase& db)
{
    QStringList missing;
    for (const char* table : kTables) {
        RuboStatement stmt(db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?"));
        stmt.bindText(1, QString::fromLatin1(table));
        if (!stmt.step())
            missing << QString::fromLatin1(table);
    }
    if (!missing.isEmpty())
        throw RuboError(QStringLiteral("Der Datei fehlen die Tabellen: %1").arg(missing.join(QStringLiteral(", "))));
    RuboStatement version(db, QStringLiteral("PRAGMA user_version"));
    const int found = version.step() ? version.column(0).toInt() : 0;
    if (found > kRuboSchemaVersion)
        throw RuboError(QStringLiteral("Die Datenbank stammt von einer neueren Programmversion (Schema %1).").arg(found));
}
