#include "output/DatabaseCopy.h"

#include "database/RuboEngine.h"
#include "output/FileReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

#include <cerrno>
#include <sys/stat.h>

namespace {

// 4 MB of the database's 16 KB pages between two looks at an interrupt.
constexpr int kPagesPerStep = 256;

const char* const kOwnSuffixes[] = {"", "-journal", "-wal", "-shm"};

QString cleanAbsolute(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// The path with its folder resolved through every link, so that "link/RuboTool.mdb-journal"
// is recognised even before that journal exists.
QString resolvedFolderPath(const QString& path)
{
    const QFileInfo info(cleanAbsolute(path));
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + QLatin1Char('/') + info.fileName();
}

bool sameFileOnDisk(const QString& a, const QString& b)
{
    struct stat sa, sb;
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

struct Statement
{
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

struct Connection
{
    sqlite3* db = nullptr;
    ~Connection() { sqlite3_close(db); }
    int close()
    {
        const int rc = sqlite3_close(db);
        db = nullptr;
        return rc;
    }
};

// Removes the half-written copy unless the copy succeeded.
struct TemporaryCopy
{
    QString path;
    bool keep = false;
    ~TemporaryCopy()
    {
        if (keep || path.isEmpty())
            return;
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
    }
};

bool interrupted(int rc)
{
    return (rc & 0xFF) == SQLITE_INTERRUPT;
}

// The backup API runs no statement of its own, so neither sqlite3_interrupt() nor a worker's
// progress handler would stop it. A short counting statement between the steps lets both act.
int probeInterruption(sqlite3* db, sqlite3_stmt* probe)
{
    sqlite3_reset(probe);
    const int rc = sqlite3_step(probe);
    sqlite3_reset(probe);
    if (rc == SQLITE_ROW || rc == SQLITE_DONE)
        return 0;
    return interrupted(rc) ? -1 : sqlite3_extended_errcode(db);
}

} // namespace

QString CompleteCopyTarget(const QString& text, const QString& workingFolder)
{
    QString name = text.trimmed();
    if (name.isEmpty())
        return QString();
    name = QDir::cleanPath(name);
    // Trailing dots are dropped as Windows drops them: "backup." names "backup".
    while (name.endsWith(QLatin1Char('.')) && !name.endsWith(QLatin1String("/.")) && name.size() > 1)
        name.chop(1);
    const QString last = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    if (!last.contains(QLatin1Char('.')))
        name += QStringLiteral(".mdb");
    return QDir::cleanPath(QDir(workingFolder).absoluteFilePath(name));
}

bool IsOwnDatabaseFile(const QString& target, const QString& databaseFile)
{
    if (target.trimmed().isEmpty() || databaseFile.isEmpty())
        return false;
    const QString targetPath = cleanAbsolute(target);
    const QString targetResolved = resolvedFolderPath(target);
    const bool targetExists = QFileInfo::exists(targetPath);
    for (const char* suffix : kOwnSuffixes) {
        const QString own = cleanAbsolute(databaseFile) + QLatin1String(suffix);
        if (targetPath.compare(own, Qt::CaseInsensitive) == 0)
            return true;
        if (targetResolved.compare(resolvedFolderPath(own), Qt::CaseInsensitive) == 0)
            return true;
        if (targetExists && sameFileOnDisk(targetPath, own))
            return true;
    }
    return false;
}

int CopyDatabaseFile(RuboDatabase& db, const QString& target)
{
    sqlite3* source = db.handle();
    if (!source)
        return SQLITE_MISUSE;
    // Renaming a copy over the open file would strand the connections on the replaced inode and
    // lose what they write next.
    if (IsOwnDatabaseFile(target, db.fileName()))
        return EINVAL;

    // Holding a read transaction for the whole copy keeps it one snapshot: no other program can
    // commit meanwhile (it waits), and the steps never restart on a change.
    Statement holder;
    int rc = sqlite3_prepare_v2(source, "SELECT count(*) FROM sqlite_master", -1, &holder.stmt, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    Statement probe;
    rc = sqlite3_prepare_v2(source,
                            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000) "
                            "SELECT count(*) FROM n",
                            -1, &probe.stmt, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    rc = sqlite3_step(holder.stmt);
    if (rc != SQLITE_ROW)
        return interrupted(rc) ? -1 : sqlite3_extended_errcode(source);

    const FileBeside beside = CreateFileBeside(target);
    if (beside.path.isEmpty())
        return beside.error;
    TemporaryCopy copy{beside.path};

    Connection dest;
    rc = sqlite3_open_v2(QFile::encodeName(beside.path).constData(), &dest.db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK)
        return sqlite3_system_errno(dest.db) ? sqlite3_system_errno(dest.db) : rc;
    // The copy is a new file that is thrown away on any failure and synced once at the end.
    sqlite3_exec(dest.db, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);

    sqlite3_backup* backup = sqlite3_backup_init(dest.db, "main", source, "main");
    if (!backup)
        return sqlite3_extended_errcode(dest.db);
    int error = 0;
    for (;;) {
        rc = sqlite3_backup_step(backup, kPagesPerStep);
        if (rc != SQLITE_OK && rc != SQLITE_DONE) {
            error = sqlite3_system_errno(dest.db) ? sqlite3_system_errno(dest.db) : rc;
            break;
        }
        error = probeInterruption(source, probe.stmt);
        if (error != 0 || rc == SQLITE_DONE)
            break;
    }
    const int finished = sqlite3_backup_finish(backup);
    if (error == 0 && finished != SQLITE_OK)
        error = sqlite3_system_errno(dest.db) ? sqlite3_system_errno(dest.db) : finished;
    if (error != 0)
        return error;
    rc = dest.close();
    if (rc != SQLITE_OK)
        return rc;
    sqlite3_reset(holder.stmt);

    if ((error = SyncFile(beside.path)) != 0)
        return error;
    if ((error = ReplaceFile(beside.path, target)) != 0)
        return error;
    copy.keep = true;
    return 0;
}

QString CopyFailedMessage(const QString& source, const QString& target, int errorCode)
{
    return QStringLiteral("Das Kopieren hat nicht funktioniert.\nCopyFile ") + source + QStringLiteral(" auf ") + target
        + QStringLiteral("\nFehler:") + QString::number(errorCode);
}
