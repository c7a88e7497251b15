#include "output/FileReplace.h"

#include <QFile>
#include <QtGlobal>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString randomSuffix()
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString s;
    for (int i = 0; i < 8; ++i)
        s += QLatin1Char(kChars[QRandomGenerator::global()->bounded(int(sizeof(kChars) - 1))]);
    return s;
}

int syncPath(const QByteArray& path, int flags)
{
    const int fd = ::open(path.constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    if (::fsync(fd) != 0)
        error = errno;
    ::close(fd);
    return error;
}

} // namespace

FileBeside CreateFileBeside(const QString& target)
{
    const QFileInfo info(target);
    FileBeside result;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".")
            + randomSuffix() + QStringLiteral(".tmp");
        // 0666 less the umask, as any new file of the user's; O_EXCL never reuses a file found there.
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            result.path = path;
            return result;
        }
        if (errno != EEXIST) {
            result.error = errno;
            return result;
        }
    }
    result.error = EEXIST;
    return result;
}

int SyncFile(const QString& path)
{
    return syncPath(QFile::encodeName(path), O_RDONLY);
}

int ReplaceFile(const QString& from, const QString& target)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(target).constData()) != 0)
        return errno;
    // The new name is durable once the folder is. Best effort: the target is replaced already,
    // so a failure here cannot be undone, and some file systems cannot sync a folder at all.
    syncPath(QFile::encodeName(QFileInfo(target).absolutePath()), O_RDONLY | O_DIRECTORY);
    return 0;
}

QString SystemErrorText(int error)
{
    switch (error) {
    case ENOSPC:
        return QStringLiteral("Auf dem Datenträger ist kein Platz mehr frei.");
    case EDQUOT:
        return QStringLiteral("Der zugeteilte Speicherplatz ist aufgebraucht.");
    case EFBIG:
        return QStringLiteral("Die Datei wird für den Datenträger zu groß.");
    case EACCES:
    case EPERM:
        return QStringLiteral("Es fehlt die Berechtigung, dort zu schreiben.");
    case EROFS:
        return QStringLiteral("Der Datenträger ist schreibgeschützt.");
    case ENOENT:
        return QStringLiteral("Der Ordner existiert nicht.");
    case EIO:
        return QStringLiteral("Der Datenträger meldet einen Lese- oder Schreibfehler.");
    default:
        return qt_error_string(error);
    }
}
