#pragma once

#include "database/NumberMask.h"
#include "database/RuboError.h"

#include <QChar>
#include <QString>
#include <functional>

class RuboDatabase;

// Thrown when the target's temporary file cannot be created: the message is
// "Kann Datei nicht zum schreiben öffnen.\nDatei=" + the target's name.
class ExportOpenError : public RuboError
{
public:
    using RuboError::RuboError;
};

// Every value is written in Windows-1252, as the carriers' own lists are, unless one of them has
// a character that code page lacks ("Łódź"): then the whole file is written again in UTF-8 with a
// byte-order mark, which the ".csv" import recognises. Nothing is ever replaced by "?".
enum class ExportEncoding { Windows1252, Utf8WithBom };

struct CsvExportResult
{
    qint64 rows = 0;          // lines written below the header
    ExportEncoding encoding = ExportEncoding::Windows1252;
    bool cancelled = false;   // `proceed` said no: the target was left as it was
};

// Asked every 1000 rows with the rows written so far (counted again from 0 when the file is
// started over in UTF-8); false cancels the export.
using ExportProceed = std::function<bool(qint64 rowsWritten)>;

// The call export: the header
// "ANummer;Nebenstelle;BNummer;Betrag;Sekunden;BeginZeit;ZoneCode;Zone;Ziel;Kostenstelle;Euro;IAS;FilialeID;GZ;Rabatt;RabattEuro"
// with every ";" replaced by `separator`, then one line of sixteen quoted values per row of
// `detailSql` (the main window's detail query, run on `db`) in the order it delivers them. Lines
// end in CR LF; a quote inside a value is doubled.
//
// The file is written whole or not at all: into a temporary file beside `fileName`, renamed over
// it only when every write and the close succeeded. Throws ExportOpenError when the temporary file
// cannot be created, and RuboError "Ein Fehler ist aufgetreten.\n" + the cause for any other
// failure (engine, disk full, a column of the call missing from the query); the target then stays
// as it was. A separator SeparatorProblem refuses is thrown as its message before any file is made.
// BNummer is written as `mask` shortens it for the call's Kostenstelle.
CsvExportResult ExportCallsCsv(RuboDatabase& db, const QString& detailSql, const QString& fileName, QChar separator,
                               const ExportProceed& proceed = {}, const NumberMask& mask = {});

// The sums export: the header "Anzahl;SumSekunden;SumBetrag;SumEuro;FilialeID;Kostenstelle;
// Nebenstelle;Zone;IAS;Ziel;SumRabatt;SumRabattEuro" (";" replaced by `separator`), then twelve
// values per row of `sumsSql` (the main window's sums query); a key column the query lacks is
// written as the empty value. Whole-file writing and failures as for ExportCallsCsv.
CsvExportResult ExportSumsCsv(RuboDatabase& db, const QString& sumsSql, const QString& fileName, QChar separator,
                              const ExportProceed& proceed = {});

// The texts the exports write, built without allocating for the hot loop; tested against the
// slow originals. Each writes into `out` and returns the bytes written.
//
// printf("%.*f", decimals, value) with 0 <= decimals <= 9; `out` holds kFixedTextCapacity bytes.
constexpr int kFixedTextCapacity = 400;
int WriteFixedText(double value, int decimals, char* out);
// FormatSerialDateTime(serial), "dd.mm.yyyy hh:nn:ss": always 19 bytes.
constexpr int kDateTimeTextLength = 19;
int WriteSerialDateTimeText(double serial, char* out);
