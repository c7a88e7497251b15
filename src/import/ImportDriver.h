#pragma once

#include <QString>
#include <optional>

class TdmMain;

struct ImportResult
{
    int count = 0;           // calls stored
    bool complete = false;   // the whole file was read and committed (no error, not stopped early)
    bool recognised = false; // a file type the import knows; its end was reported
    int skipped = 0;         // bad lines passed over at the user's word
    std::optional<int> declared;   // the count the file's trailer gives, when it has one
    bool lastCallUnended = false;  // the file ends inside its last call's line, maybe cut off

    // Every call of the file is stored: nothing failed, stopped, was passed over or cut off.
    bool whole() const
    {
        return complete && skipped == 0 && !lastCallUnended && (!declared || *declared == count);
    }
};

// Imports one file into EGN inside one transaction, by the type its extension names, and
// registers it so that it cannot be loaded twice. `origin` is empty for a file the user chose,
// the archive's path for a file unpacked from an archive. Every error is shown through the user
// interface and rolls the whole file back; nothing is thrown.
ImportResult ImportFile(TdmMain& dm, const QString& path, const QString& origin = QString());

// The message for a file type the import does not know.
QString UnsupportedTypeMessage(const QString& extension);
