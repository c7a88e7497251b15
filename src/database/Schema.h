#pragma once

#include <QString>

class RuboDatabase;

// The schema version stored in PRAGMA user_version; raise it with every change and migrate.
constexpr int kRuboSchemaVersion = 1;

// One column of the internal database. Jet enforced text widths and 16-bit integers; the same
// limits become CHECK constraints of the schema and the import's own checks, from this one table.
struct RuboColumn
{
    enum class Type { Integer, Int16, Int32, Text, Real };

    const char* name;
    Type type;
    int width = 0;             // characters, for Text
    bool primaryKey = false;

    qint64 minimum() const;    // the range of Int16 and Int32
    qint64 maximum() const;
    bool hasRange() const { return type == Type::Int16 || type == Type::Int32; }
    // The CHECK expression, as the engine names it in "CHECK constraint failed: ..."; empty for none.
    QString checkText() const;
};

struct RuboTableDef
{
    const char* name;
    const RuboColumn* columns;
    int columnCount;

    const RuboColumn* column(const QString& name) const;   // nullptr when the table has none
    QString createStatement() const;
};

// The five tables, in the order EGN, GeladeneDateien, Filialen, Kostenstellen, Zonenrabatte.
constexpr int kRuboTableCount = 5;
const RuboTableDef* RuboTableDefs();
// nullptr for a name that is no table of the internal database.
const RuboTableDef* FindRuboTableDef(const QString& name);

// Creates the five tables of a new internal database inside one transaction.
void CreateRuboSchema(RuboDatabase& db);
// Throws RuboError when the file lacks a table of the internal database or is of a later version.
void CheckRuboSchema(RuboDatabase& db);
