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
    WorkbookColumn() = default;
    // So that a list of columns reads as a table: {"Betrag", "Betrag", Kind::Value, "#,##0.00"}.
    WorkbookColumn(QString field_, QString caption_ = {}, Kind kind_ = Kind::Value, QString numberFormat_ = {})
        : field(std::move(field_)), caption(std::move(caption_)), kind(kind_), numberFormat(std::move(numberFormat_))
    {
    }

    QString field;
    QString caption;        // the header cell; empty: the field name
    Kind kind = Kind::Value;
    QString numberFormat;   // the number format of the column's cells ("#,##0.00"), empty for General
                            // (for a DateTime column: empty for the date format above)
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
// ExportOpenError / RuboError as ExportCallsCsv does; a column whose field the result lacks is
// such a failure, found before any file is touched.
//
// Numbers of the engine become number cells, texts text cells (cut to Excel's 32767 characters,
// never read as a formula), nulls stay blank; a DateTime column's date serials become dates.
// A BNummer column is written as `mask` shortens it for the row's Kostenstelle.
WorkbookResult ExportWorkbook(RuboDatabase& db, const QString& sql, const QList<QPair<QString, Qt::SortOrder>>& orderKeys,
                              const QList<WorkbookColumn>& columns, const QString& sheetName, const QString& fileName,
                              const ExportProceed& proceed = {}, const NumberMask& mask = {});

// Test hook: the rows one sheet holds, its header row included (at least 2); anything else
// restores Excel's 1,048,576.
void SetWorkbookSheetRowsForTest(int rowsPerSheet);
