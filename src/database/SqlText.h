#pragma once

#include <QList>
#include <QPair>
#include <QString>

// The one place where a value or a name becomes SQL text. Everything else binds its values.

// A value between apostrophes, each apostrophe doubled: "d'Ivoire" gives 'd''Ivoire'.
QString SqlQuoted(const QString& value);
// A column or table name: a plain identifier as it stands, any other name (a keyword too) in
// double quotes with each double quote doubled.
QString SqlIdentifier(const QString& name);
// A sort term in the language's order: "Zone COLLATE DEUTSCH". SQLite applies a collation only
// between two texts, so numbers keep their numeric order.
QString SqlInLanguageOrder(const QString& term);
// "a COLLATE DEUTSCH ASC, \"b c\" COLLATE DEUTSCH DESC" for the sort keys in their order; empty
// for none.
QString SqlOrderBy(const QList<QPair<QString, Qt::SortOrder>>& keys);
