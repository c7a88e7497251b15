#pragma once

#include "database/NumberMask.h"

#include <QString>

// The condition of a report's query in German words for its page header: the text between
// "WHERE" and "GROUP BY"/"ORDER BY", without the always-true start, "AND" as "und", "LIKE" as
// "wie", "BETWEEN" as "zwischen" and no parentheses. A plain replacement of words, values
// included; "alle Gespräche" when nothing is left. The values compared with BNummer are shortened
// as `mask` says, so that a filter on a full number does not print it.
QString WhereText(const QString& sql, const NumberMask& mask = {});
