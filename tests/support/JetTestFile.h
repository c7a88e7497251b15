#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

// Writes small Access databases (Jet 3 = Access 97, Jet 4 = Access 2000-2003) for the tests of the
// import, since no Access writer runs on Linux. Only what a reader needs is there: the catalog
// MSysObjects, one definition page per table, data pages and usage maps; no indexes, no memos.
namespace JetTestFile {

enum class Version { Jet3, Jet4 };

// Text: Jet "Text" of at most textLength characters (code page 1252 in Jet 3, UCS-2 in Jet 4);
// Long: 4-byte integer; Double: 8-byte IEEE; DateTime: days since 30.12.1899 as a double.
enum class Type { Text, Long, Double, DateTime };

struct Column
{
    QString name;
    Type type = Type::Text;
    int textLength = 255;            // only for Text, 1..255
    bool compressedUnicode = false;  // only for Text in Jet 4: stored as Access does by default
};

// A null QVariant() is a NULL cell. DateTime cells are a QDateTime (its wall-clock time, no zone)
// or a double serial as Access stores it.
struct Table
{
    QString name;
    QList<Column> columns;
    QList<QVariantList> rows;
};

// Writes the whole database file at once; an existing file is replaced only when everything fits.
// On failure returns false and, if given, sets *error to a plain English reason.
bool write(const QString& path, Version version, const QList<Table>& tables, QString* error = nullptr);

// The serial day number Access stores for a wall-clock date and time.
double dateSerial(const QDateTime& dateTime);

}
