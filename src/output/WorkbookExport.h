#pragma once

#include "output/CsvExport.h"

#include <QList>
#include <QPair>
#include <QString>

class RuboDatabase;

// One column of a workbook, as a grid shows it.
struct WorkbookColumn
{
    enum class Kind {
        Value,      // numbers as numbers, texts as texts, as the engine holds them
        DateTime,   // a date serial, written as a date with the format "dd.mm.yyyy hh:mm:ss"
    };
    QString field;
    QString caption;        // the header cell; empty: the field name
    Kind kind = Kind::Value;
    QString numberFormat;   // the number format of the column's cells ("#,##0.00"), empty for General
};

struct WorkbookResult
{
    qint64 rows = 0;          // data rows written, on all sheets
    int sheets = 0;
    bool cancelled = false;   // the target was left as it was
};

// Writes the rows of `sql` (run on `db`, sorted by those `orderKeys` its result has) as an
// .xlsx workbook: one sheet named `sheetName`, a header row with the captions, then one row per
// result row with the `columns` in their order. Rows beyond what one sheet holds continue on
// further sheets ("EGN (2)", ...), each with its header row. Memory does not grow with the rows.
// Written whole or not at all, like the text exports; `proceed` as for them. Throws
// ExportOpenError / RuboError as ExportCallsCsv does.
WorkbookResult ExportWorkbook(RuboDatabase& db, const QString& sql, const QList<QPair<QString, Qt::SortOrder>>& orderKeys,
                              const QList<WorkbookColumn>& columns, const QString& sheetName, const QString& fileName,
                              const ExportProceed& proceed = {});
