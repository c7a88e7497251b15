#pragma once

#include <QString>
#include <optional>

struct TEGN;

// Where the calls of one file come from: a carrier's text file read through its format, or a
// carrier's database. The import frame owns everything else (transaction, registration, tblEGN,
// prompts' consequences, rollback, count, end report); a source only opens, reads and closes.
// Each step writes the stage it reaches into `stage`, so a failure names it.
class CallSource
{
public:
    enum class Step { Call, End, StoppedByUser };

    virtual ~CallSource() = default;

    // Before the file is registered (a text file is opened here: "open File").
    virtual void openFile(QString& stage) { Q_UNUSED(stage); }
    // After the registration, before tblEGN opens: header lines, the source query.
    virtual void prepare(QString& stage) = 0;
    // Moves to the next call. `callsRead` (the calls counted so far) numbers a prompt's line.
    virtual Step next(int callsRead, QString& stage) = 0;
    // Sets the fields the source delivers; conversion errors are thrown as RuboError.
    virtual void fill(TEGN& egn) = 0;
    // After the last call, before tblEGN closes.
    virtual void finish(QString& stage) { Q_UNUSED(stage); }
    // Releases the file on every path; never throws.
    virtual void close() noexcept = 0;
    // Bad lines the user chose to pass over (a prompt answered No).
    virtual int skippedLines() const { return 0; }
    // The number of calls the file says it holds (a trailer record), when it says so.
    virtual std::optional<int> declaredCount() const { return std::nullopt; }
    // The last call stood on a line that ended the file without a line end: the file may have
    // been cut off inside it.
    virtual bool lastCallUnended() const { return false; }
    // What follows the error's text in the failure message.
    virtual QString failurePlace(int callsRead, const QString& stage) const = 0;
};
