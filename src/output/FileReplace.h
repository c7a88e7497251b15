#pragma once

#include <QString>

// Writing a file whole or not at all: a new file beside the target, made durable, then renamed
// over the target in one step, so that a reader finds the old file or the new one, never a part.
// Every function gives the errno of the system call that failed, or 0.

struct FileBeside
{
    QString path;    // empty when it could not be created
    int error = 0;
};

// Creates an empty file of a name of its own in the folder of `target` (hidden, so that a user
// looking at the folder meanwhile does not take it for a result), with the usual permissions.
FileBeside CreateFileBeside(const QString& target);

// Makes the file's content durable (fsync).
int SyncFile(const QString& path);

// Renames `from` over `target`, replacing it atomically, and makes the rename durable as far as
// the file system allows. An error means the target was left as it was.
int ReplaceFile(const QString& from, const QString& target);

// The reason of a system error as a German sentence for the common causes of a failed write (a
// full disk, no permission, a read-only medium); the system's own text for the others.
QString SystemErrorText(int error);
