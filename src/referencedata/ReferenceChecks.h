#pragma once

#include <QString>

class RecordTable;
class RuboDatabase;

// The checks of the branch and zone editors before a row is posted or deleted. Each answers
// the message that refuses the row, empty when the row may go on; the row in edit is the
// table's buffer.

// The cost-centre assignments that name the branch `kurz`.
int KostenstellenDerFiliale(RuboDatabase& db, const QString& kurz);

// A branch needs its short name and its calling number. A calling number may belong to one
// branch only, or the branch of a call would depend on the order of the rows; and a short name
// that assignments use cannot change, or they would belong to no branch.
QString FilialePostRefusal(RuboDatabase& db, const RecordTable& table);
QString FilialeDeleteRefusal(RuboDatabase& db, const QString& kurz);

// An empty discount becomes 0. A zone holds one row per business-time class: a second one
// would make the lookup's choice and the grid's row key ambiguous. More than 100 percent
// would turn the discount into a surcharge.
QString ZonenrabattPostRefusal(RuboDatabase& db, RecordTable& table);

// The row key of a zone row: "Zone/GZ".
QString ZonenrabattCalcKey(const QString& zone, const QString& gz);
