#include "output/DialledColumn.h"

#include "database/NumberMask.h"

#include <sqlite3.h>

namespace {

QString textOf(sqlite3_stmt* stmt, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(stmt, column));
}

} // namespace

QByteArray ShortenedDialled(sqlite3_stmt* stmt, int column, int kostenstelle, const NumberMask& mask)
{
    const QString own = kostenstelle >= 0 && mask.needsKostenstelle() ? textOf(stmt, kostenstelle) : QString();
    return mask.apply(textOf(stmt, column), own).toUtf8();
}
