#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class RuboDatabase;
class ReferenceLists;

// What a recalculation of the stored calls did.
struct RecalcOutcome
{
    int visited = 0;    // calls visited; a call that failed counts as well
    int failed = 0;     // calls that kept their old values because one of their steps failed
    bool stopped = false;   // ended early by the caller's stop
    QString error;          // why the run broke off as a whole (the open batch is undone)
};

constexpr int kRecalcProgressEvery = 20;   // calls between two progress reports
constexpr int kRecalcMaxFailures = 20;     // the run ends at this many failed calls
constexpr int kRecalcChunk = 500;          // calls read at a time
// A transaction commits after this long: a commit costs disk syncs, and a killed run loses no
// more than this much work.
constexpr int kRecalcCommitMs = 1000;
constexpr int kRecalcBatchMax = 50000;     // calls per transaction at most
constexpr int kRecalcCacheKiB = 16384;     // page cache while the run lasts

// The status text at the start of a run.
QString RecalcBeginText();
// The status texts at the end, in the order shown: the calls visited and " Done.", then the
// "ABBRUCH: " text when a call failed or the run ended early.
QStringList RecalcEndTexts(const RecalcOutcome& outcome);

// Derives every call of EGN again from the reference data ("berechne EGN") and writes back
// branch, extension, cost centre, domestic/foreign class and the four amounts and the discount.
// The lists are marked stale first, so they are read anew from `db`. A call whose reading,
// derivation or writing fails keeps its old values and is counted; every other call is new.
// Calls are committed about once a second, each call's row in one statement, so a run stopped, broken off or
// killed leaves every call whole, old or new. `progress(visited, total)` is asked every
// kRecalcProgressEvery calls (total: the calls stored when the run began); answering false
// stops the run after that call.
RecalcOutcome RecalculateEGN(RuboDatabase& db, ReferenceLists& lists,
                             const std::function<bool(int visited, int total)>& progress = {});
