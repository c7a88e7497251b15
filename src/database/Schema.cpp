#include "database/Schema.h"

#include "database/RuboEngine.h"

#include <QStringList>

#include <limits>

namespace {

using T = RuboColumn::Type;

const RuboColumn kEGN[] = {
    {"ID", T::Integer, 0, true},
    {"ANummer", T::Text, 24},
    {"Nebenstelle", T::Text, 10},
    {"BNummer", T::Text, 24},
    {"BeginZeit", T::Real},
    {"Sekunden", T::Int32},
    {"Betrag", T::Real},
    {"ZoneCode", T::Int16},
    {"Zone", T::Text, 50},
    {"Ziel", T::Text, 50},
    {"Kostenstelle", T::Text, 10},
    {"Nebenstelle1", T::Text, 1},
    {"Nebenstelle2", T::Text, 2},
    {"Nebenstelle3", T::Text, 3},
    {"Nebenstelle4", T::Text, 4},
    {"Nebenstelle5", T::Text, 5},
    {"Nebenstelle6", T::Text, 6},
    {"IAS", T::Text, 1},
    {"BetragEuro", T::Real},
    {"EndeZeit", T::Real},
    {"DateiID", T::Int16},
    {"FilialeID", T::Text, 4},
    {"GZ", T::Text, 2},
    {"UniqueCallID", T::Text, 35},
    {"Rabatt", T::Real},
    {"RabattEuro", T::Real},
    {"RabattProz", T::Real},
};

// No index on EGN.DateiID: it cost the import a sixth of its time, while deleting one file's
// calls, the only use, scans a year of calls in a fraction of a second.
const RuboColumn kGeladeneDateien[] = {
    {"DateiID", T::Int16, 0, true},
    {"DateiName", T::Text, 100},
    {"OriginalName", T::Text, 100},
    {"AnzahlEGN", T::Int32},
};

const RuboColumn kFilialen[] = {
    {"Kurz", T::Text, 4},
    {"Name", T::Text, 50},
    {"ANummer", T::Text, 25},
};

const RuboColumn kKostenstellen[] = {
    {"ID", T::Integer, 0, true},
    {"FilialeID", T::Text, 4},
    {"Nebenstelle", T::Text, 10},
    {"VonZeit", T::Real},
    {"BisZeit", T::Real},
    {"Kostenstelle", T::Text, 20},
};

const RuboColumn kZonenrabatte[] = {
    {"Zone", T::Text, 50},
    {"GZ", T::Text, 2},
    {"RabattProz", T::Real},
    {"IAS", T::Text, 1},
};

template <int N>
constexpr RuboTableDef table(const char* name, const RuboColumn (&columns)[N])
{
    return {name, columns, N};
}

const RuboTableDef kTables[kRuboTableCount] = {
    table("EGN", kEGN),
    table("GeladeneDateien", kGeladeneDateien),
    table("Filialen", kFilialen),
    table("Kostenstellen", kKostenstellen),
    table("Zonenrabatte", kZonenrabatte),
};

} // namespace

qint64 RuboColumn::minimum() const
{
    return type == Type::Int16 ? -32768 : type == Type::Int32 ? -2147483648LL : std::numeric_limits<qint64>::min();
}

qint64 RuboColumn::maximum() const
{
    return type == Type::Int16 ? 32767 : type == Type::Int32 ? 2147483647LL : std::numeric_limits<qint64>::max();
}

QString RuboColumn::checkText() const
{
    const QLatin1String n(name);
    if (type == Type::Text)
        return QStringLiteral("length(%1) <= %2").arg(n).arg(width);
    if (hasRange())
        return QStringLiteral("%1 BETWEEN %2 AND %3").arg(n).arg(minimum()).arg(maximum());
    return QString();
}

const RuboColumn* RuboTableDef::column(const QString& wanted) const
{
    for (int i = 0; i < columnCount; ++i)
        if (wanted.compare(QLatin1String(columns[i].name), Qt::CaseInsensitive) == 0)
            return &columns[i];
    return nullptr;
}

QString RuboTableDef::createStatement() const
{
    QStringList parts;
    for (int i = 0; i < columnCount; ++i) {
        const RuboColumn& c = columns[i];
        QString part = QLatin1String(c.name)
            + (c.type == T::Text ? QStringLiteral(" TEXT") : c.type == T::Real ? QStringLiteral(" REAL") : QStringLiteral(" INTEGER"));
        if (c.primaryKey)
            part += QStringLiteral(" PRIMARY KEY");
        const QString check = c.checkText();
        if (!check.isEmpty())
            part += QStringLiteral(" CHECK (") + check + QLatin1Char(')');
        parts << part;
    }
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(QLatin1String(name), parts.join(QStringLiteral(", ")));
}

const RuboTableDef* RuboTableDefs()
{
    return kTables;
}

const RuboTableDef* FindRuboTableDef(const QString& name)
{
    for (const RuboTableDef& t : kTables)
        if (name.compare(QLatin1String(t.name), Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

void CreateRuboSchema(RuboDatabase& db)
{
    // Larger pages suit a table of a year of calls: fewer pages to split while appending.
    db.execute(QStringLiteral("PRAGMA page_size = 16384"));
    RuboTransaction transaction(db);
    for (const RuboTableDef& t : kTables)
        db.execute(t.createStatement());
    db.execute(QStringLiteral("PRAGMA user_version = %1").arg(kRuboSchemaVersion));
    transaction.commit();
}

void CheckRuboSchema(RuboDatabase& db)
{
    QStringList missing;
    RuboStatement stmt(db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?"));
    for (const RuboTableDef& t : kTables) {
        stmt.reset();
        stmt.bindText(1, QString::fromLatin1(t.name));
        if (!stmt.step())
            missing << QString::fromLatin1(t.name);
    }
    if (!missing.isEmpty())
        throw RuboError(QStringLiteral("Der Datei fehlen die Tabellen: %1").arg(missing.join(QStringLiteral(", "))));
    RuboStatement version(db, QStringLiteral("PRAGMA user_version"));
    const int found = version.step() ? version.column(0).toInt() : 0;
    if (found > kRuboSchemaVersion)
        throw RuboError(QStringLiteral("Die Datenbank stammt von einer neueren Programmversion (Schema %1).").arg(found));
}
