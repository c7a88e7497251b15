#include "referencedata/ReferenceChecks.h"

#include "database/Conversions.h"
#include "database/RuboEngine.h"
#include "referencedata/RecordTable.h"

namespace {

const char* const kInUse = "In der Kostenstellenzuordnung sind noch Einträge  zu dieser Filiale enthalten.";

// The rowid of the row in edit, 0 for a new one: it does not collide with itself.
qint64 ownRowId(const RecordTable& table)
{
    return table.state() == RecordTable::State::Edit ? table.rowId(table.editRow()) : 0;
}

} // namespace

int KostenstellenDerFiliale(RuboDatabase& db, const QString& kurz)
{
    RuboQuery query(db);
    query.setSql(QStringLiteral("SELECT Count(*) FROM Kostenstellen WHERE FilialeID = filID"));
    query.setParam(QStringLiteral("filID"), kurz);
    query.open();
    const int count = VariantToInt(query.field(0));
    query.close();
    return count;
}

QString FilialePostRefusal(RuboDatabase& db, const RecordTable& table)
{
    const QString kurz = VariantToText(table.buffer(QStringLiteral("Kurz")));
    const QString aNummer = VariantToText(table.buffer(QStringLiteral("ANummer")));
    if (kurz.isEmpty())
        return QStringLiteral("Sie müßen eine Kurzbezeichnung eingeben.");
    if (aNummer.isEmpty())
        return QStringLiteral("Sie müßen eine ANummer eingeben.");

    RuboStatement same(db, QStringLiteral("SELECT Kurz FROM Filialen WHERE rtrim(ANummer) = ?1 AND rowid <> ?2"));
    same.bindText(1, aNummer);
    same.bindInt(2, ownRowId(table));
    if (same.step())
        return QStringLiteral("Die ANummer \u201E%1\u201C ist schon der Filiale \u201E%2\u201C zugeordnet.")
            .arg(aNummer, VariantToText(same.column(0)));

    const QString oldKurz = VariantToText(table.oldValue(QStringLiteral("Kurz")));
    if (table.state() == RecordTable::State::Edit && oldKurz != kurz && KostenstellenDerFiliale(db, oldKurz) > 0)
        return QString::fromUtf8(kInUse);
    return QString();
}

QString FilialeDeleteRefusal(RuboDatabase& db, const QString& kurz)
{
    return KostenstellenDerFiliale(db, kurz) > 0 ? QString::fromUtf8(kInUse) : QString();
}

QString ZonenrabattPostRefusal(RuboDatabase& db, RecordTable& table)
{
    if (table.buffer(QStringLiteral("RabattProz")).isNull())
        table.setBuffer(QStringLiteral("RabattProz"), 0.0);
    const double rabatt = VariantToFloat(table.buffer(QStringLiteral("RabattProz")));
    if (rabatt > 100)
        return QStringLiteral("Ein Rabatt von mehr als 100 Prozent ist nicht möglich.");

    const QString zone = VariantToText(table.buffer(QStringLiteral("Zone")));
    const QString gz = VariantToText(table.buffer(QStringLiteral("GZ")));
    RuboStatement same(db, QStringLiteral("SELECT count(*) FROM Zonenrabatte WHERE coalesce(rtrim(Zone), '') = ?1 "
                                          "AND coalesce(rtrim(GZ), '') = ?2 AND rowid <> ?3"));
    same.bindText(1, zone);
    same.bindText(2, gz);
    same.bindInt(3, ownRowId(table));
    if (same.step() && same.column(0).toLongLong() > 0)
        return QStringLiteral("Die Zone \u201E%1\u201C hat schon eine Zeile f\u00FCr \u201E%2\u201C.").arg(zone, gz);
    return QString();
}

QString ZonenrabattCalcKey(const QString& zone, const QString& gz)
{
    return zone + QStringLiteral("/") + gz;
}
