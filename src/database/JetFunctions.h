#pragma once

#include <QStringView>

struct sqlite3;

// Registers the Jet dialect on an SQLite connection: DateValue, TimeValue, CDate, CLng and a
// LIKE with Jet's wildcards (* ? # [a-c] [!a-c]), case-insensitive, umlauts included.
// Throws RuboError when SQLite refuses a registration.
//
// Date serials follow Jet: the whole part is the day (negative before 30.12.1899), the fraction
// is the time of day counted forwards from midnight whatever the sign, so -1.25 is
// 29.12.1899 06:00:00. Times are taken to the whole second, so TimeValue(x) of a stored start
// time equals CDate('hh:nn:ss') of the same second exactly.
void RegisterJetFunctions(sqlite3* db);

// The Jet LIKE on its own, for callers that match outside SQL. An invalid pattern (an unclosed
// "[", a range written backwards) matches nothing.
bool JetLike(QStringView text, QStringView pattern);
// False for a pattern that the SQL LIKE rejects with "Ungültige Musterzeichenfolge.".
bool JetLikePatternValid(QStringView pattern);
