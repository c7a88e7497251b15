#pragma once

#include <QString>

class RuboDatabase;

// The target of a copy as the user typed it, completed: trimmed, ".mdb" appended when the name's
// last element has no extension (trailing dots dropped, as Windows does), then made absolute
// against `workingFolder`. Empty for a blank text.
QString CompleteCopyTarget(const QString& text, const QString& workingFolder);

// True when writing `target` would overwrite `databaseFile` or one of its "-journal", "-wal" and
// "-shm" files: the same path in any letter case, or the same file on disk (device and inode)
// reached through a link.
bool IsOwnDatabaseFile(const QString& target, const QString& databaseFile);

// Copies the database that `db` has open to `target`: a consistent snapshot even while other
// connections read, with all calls and reference data, written to a temporary file beside the
// target and renamed over it only when complete. Returns 0, or the system's (or else the
// engine's) error number; on failure the target stays as it was and nothing is left beside it.
// An interrupt of the engine (sqlite3_interrupt, or a worker's cancel through its progress
// handler) stops the copy with -1. A target that IsOwnDatabaseFile refuses gives EINVAL without
// touching anything, and a connection inside its own write transaction SQLITE_BUSY. Other
// programs cannot commit while the copy runs: they wait, as for any reader.
int CopyDatabaseFile(RuboDatabase& db, const QString& target);

// "Das Kopieren hat nicht funktioniert.\nCopyFile " + source + " auf " + target + "\nFehler:" + code.
QString CopyFailedMessage(const QString& source, const QString& target, int errorCode);
