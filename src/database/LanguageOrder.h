#pragma once

#include <QByteArrayView>

struct sqlite3;

// German dictionary order (DIN 5007, variant 1) for UTF-8 texts, as the SQL collation DEUTSCH.
//
// Texts are compared level by level, each level deciding only where all before it tie:
//   1. letters by their base letter, ignoring case and accents (ä = a, ß = ss, Ł = l, æ = ae, for
//      all of Latin-1 and Latin Extended-A); spaces and punctuation before digits, digits before
//      letters, every other character after the Latin letters by its code point;
//   2. accents: the plain letter before the accented one ("Strasse" before "Straße");
//   3. case: lower before upper ("wien" before "Wien");
//   4. the bytes.
// So only byte-identical texts compare equal: grouping and node building may go on relying on
// equal meaning identical. A broken UTF-8 sequence compares byte by byte, after every character.

// The collation's name in SQL: "ORDER BY Zone COLLATE DEUTSCH".
inline constexpr char kLanguageOrderSql[] = "DEUTSCH";

// <0, 0 or >0 as `a` sorts before, with or after `b`; 0 only for identical bytes.
int CompareLanguageOrder(QByteArrayView a, QByteArrayView b) noexcept;

// Registers the collation DEUTSCH on a connection. Throws RuboError when SQLite refuses it.
void RegisterLanguageOrder(sqlite3* db);
