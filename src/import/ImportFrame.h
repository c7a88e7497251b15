#pragma once

#include "import/ImportDriver.h"

class CallSource;
class TdmMain;

// The course every import of one file takes, whatever its source: one transaction, the file
// registered (refusing one loaded already), every call read, derived and appended, the count
// stored with the calls, then one commit. Any failure shows the one message, rolls the whole
// file back and returns 0 calls; nothing is thrown.
ImportResult ImportCalls(TdmMain& dm, CallSource& source, const QString& path, const QString& origin);
