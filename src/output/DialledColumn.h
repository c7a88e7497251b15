#pragma once

#include <QByteArray>

struct NumberMask;
struct sqlite3_stmt;

// The dialled number in `column` of the statement's current row as `mask` shows it, in UTF-8.
// The call's cost centre is read from `kostenstelle` (-1: the result has none) when the mask's
// exemptions need it.
QByteArray ShortenedDialled(sqlite3_stmt* stmt, int column, int kostenstelle, const NumberMask& mask);
