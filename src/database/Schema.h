#pragma once

class RuboDatabase;

// The schema version stored in PRAGMA user_version; raise it with every change and migrate.
constexpr int kRuboSchemaVersion = 1;

// Creates the five tables of a new internal database inside one transaction.
void CreateRuboSchema(RuboDatabase& db);
// Throws RuboError when the file lacks a table of the internal database or is of a later version.
void CheckRuboSchema(RuboDatabase& db);
