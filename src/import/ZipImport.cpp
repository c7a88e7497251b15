#include "import/ZipImport.h"

#include "database/Messages.h"
#include "database/dmlMain.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringList>

#include <algorithm>

#include <sys/stat.h>
#include <zip.h>

namespace {

// Carrier archives hold a few files of calls; anything that unpacks to more is refused before
// it fills the disk.
zip_uint64_t g_maxUnpackedBytes = zip_uint64_t(4) << 30;
constexpr int kMaxDepth = 3;

int g_depth = 0;

struct DepthGuard
{
    DepthGuard() { ++g_depth; }
    ~DepthGuard() { --g_depth; }
};

// An entry of the archive that can be unpacked, with the name it gets in the scratch folder.
struct Entry
{
    zip_uint64_t index;
    zip_uint64_t size;   // as the archive declares it
    QString name;
    QString archived;   // its name in the archive
};

struct Failure
{
    QString archived;
    QString reason;
    int code;
};

// libzip's reasons in the user's words, where a user can do something about them.
QString reasonOf(int code)
{
    switch (code) {
    case ZIP_ER_NOZIP: return QStringLiteral("keine Zip-Datei");
    case ZIP_ER_CRC: return QStringLiteral("Prüfsumme falsch");
    case ZIP_ER_INCONS:
    case ZIP_ER_ZLIB:
    case ZIP_ER_EOF: return QStringLiteral("Archiv beschädigt");
    case ZIP_ER_READ: return QStringLiteral("Lesefehler");
    case ZIP_ER_NOENT:
    case ZIP_ER_OPEN: return QStringLiteral("Datei kann nicht geöffnet werden");
    case ZIP_ER_COMPNOTSUPP: return QStringLiteral("Packverfahren nicht unterstützt");
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD: return QStringLiteral("verschlüsselt");
    default: {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const QString text = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        return text;
    }
    }
}

QString lastElement(const QString& name)
{
    const qsizetype cut = qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    return name.mid(cut + 1);
}

bool isSymbolicLink(zip_t* zip, zip_uint64_t index)
{
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(zip, index, 0, &system, &attributes) != 0)
        return false;
    return system == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

// The entries to unpack; every entry refused is named in `refused` with its reason.
QList<Entry> entriesToUnpack(zip_t* zip, QStringList& refused)
{
    QList<Entry> entries;
    QSet<QString> names;
    zip_uint64_t total = 0;
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
            refused << QStringLiteral("Eintrag %1: unlesbar").arg(i + 1);
            continue;
        }
        const QString archived = QString::fromUtf8(st.name);
        if (archived.endsWith(QLatin1Char('/')) || archived.endsWith(QLatin1Char('\\')))
            continue;   // a folder: unpacking is flat
        const QString name = lastElement(archived);
        QString reason;
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
            reason = QStringLiteral("kein Dateiname");
        else if (isSymbolicLink(zip, zip_uint64_t(i)))
            reason = QStringLiteral("symbolischer Link");
        else if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
            reason = QStringLiteral("verschlüsselt");
        else if (names.contains(name))
            reason = QStringLiteral("gleicher Name wie ein früherer Eintrag, der geladen wird");
        else if (!(st.valid & ZIP_STAT_SIZE) || st.size > g_maxUnpackedBytes - total)
            reason = QStringLiteral("entpackt zu groß");
        if (!reason.isEmpty()) {
            refused << archived + QStringLiteral(": ") + reason;
            continue;
        }
        total += st.size;
        names.insert(name);
        entries.append({zip_uint64_t(i), st.size, name, archived});
    }
    return entries;
}

// Writes one entry into the folder; the file stays only when it was read whole with a good
// checksum. Never follows or overwrites a file that is already there.
bool unpack(zip_t* zip, const Entry& entry, const QDir& folder, Failure& failure)
{
    failure = {entry.archived, QString(), 0};
    QFile out(folder.filePath(entry.name));
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        failure.reason = QStringLiteral("kann nicht geschrieben werden (") + out.errorString() + QLatin1Char(')');
        failure.code = ZIP_ER_WRITE;
        return false;
    }
    zip_file_t* in = zip_fopen_index(zip, entry.index, 0);
    bool ok = in != nullptr;
    if (!in) {
        failure.code = zip_error_code_zip(zip_get_error(zip));
        failure.reason = reasonOf(failure.code);
    }
    char buffer[1 << 16];
    zip_uint64_t written = 0;
    while (ok) {
        const zip_int64_t n = zip_fread(in, buffer, sizeof buffer);
        if (n < 0) {
            failure.code = zip_error_code_zip(zip_file_get_error(in));
            failure.reason = reasonOf(failure.code);
            ok = false;
        } else if (n == 0) {
            break;
        } else if ((written += zip_uint64_t(n)) > entry.size) {
            // The limit was checked against the declared size; a lying entry stops here.
            failure.code = ZIP_ER_INCONS;
            failure.reason = reasonOf(ZIP_ER_INCONS);
            ok = false;
        } else if (out.write(buffer, n) != n) {
            failure.code = ZIP_ER_WRITE;
            failure.reason = out.errorString();
            ok = false;
        }
    }
    if (in) {
        const int closed = zip_fclose(in);
        if (ok && closed != 0) {
            failure.code = closed;
            failure.reason = reasonOf(closed);
            ok = false;
        }
    }
    if (ok && !out.flush()) {
        failure.code = ZIP_ER_WRITE;
        failure.reason = out.errorString();
        ok = false;
    }
    out.close();
    if (!ok)
        out.remove();
    return ok;
}

// Empties the scratch folder of its files; folders of deeper archives stay.
void clearFolder(const QDir& folder, const QString& shownFolder)
{
    const QStringList files = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : files) {
        if (!QFile::remove(folder.filePath(name)))
            MessageOk(QStringLiteral("Kann Zwischen-Datei ") + shownFolder + QLatin1Char('/') + name
                      + QStringLiteral(" nicht löschen."));
    }
}

bool askForDebugRetry(int error)
{
    return AskYesNo(QStringLiteral("Beim Command 'unzip' ist die Fehlernummer ") + QString::number(error)
                    + QStringLiteral(" * eingetreten.") + QStringLiteral("\nMit Debugeinstellung probieren ?"));
}

// `what` names what failed on the second try: the entries, or why the archive did not open.
void reportSecondFailure(const QString& archive, const QString& folder, const QString& what)
{
    MessageOk(QStringLiteral("Es hat leider wieder nicht funktioniert.") + QStringLiteral("\n\nVerwendetes CMD: ")
              + QStringLiteral("unzip -j \"") + archive + QStringLiteral("\" -d \"") + folder + QLatin1Char('"')
              + QStringLiteral("\n\n") + what + QStringLiteral("\n\nVersuchen Sie bitte händisch mit dem Command ")
              + QStringLiteral("'unzip' die Datei ") + archive + QStringLiteral(" zu entpacken.")
              + QStringLiteral("\n('unzip.exe ist im Hauptverzeichnis von DravikRuboTool enthalten.)"));
}

// Unpacks the entries; those that fail are tried once more, one by one, at the user's word.
// Returns the entries unpacked whole, in the archive's order; false when some stay unpacked.
bool unpackAll(zip_t* zip, const QList<Entry>& entries, const QDir& folder, const QString& archive,
               QList<Entry>& unpacked)
{
    QList<Entry> failed;
    QList<Failure> failures;
    for (const Entry& entry : entries) {
        Failure failure;
        if (unpack(zip, entry, folder, failure)) {
            unpacked.append(entry);
        } else {
            failed.append(entry);
            failures.append(failure);
        }
    }
    if (failures.isEmpty())
        return true;
    if (!askForDebugRetry(failures.first().code))
        return false;
    QStringList still;
    for (const Entry& entry : std::as_const(failed)) {
        Failure failure;
        if (unpack(zip, entry, folder, failure))
            unpacked.append(entry);
        else
            still << failure.archived + QStringLiteral(": ") + failure.reason;
    }
    std::sort(unpacked.begin(), unpacked.end(), [](const Entry& a, const Entry& b) { return a.index < b.index; });
    if (still.isEmpty())
        return true;
    reportSecondFailure(archive, folder.path(), still.join(QLatin1Char('\n')));
    return false;
}

} // namespace

void SetZipUnpackLimit(quint64 bytes)
{
    g_maxUnpackedBytes = bytes;
}

QString ZipScratchFolder(const TdmMain& dm, int depth)
{
    const QString base = QDir(dm.startDirectory()).filePath(QStringLiteral("Temp/Zip"));
    return depth == 0 ? base : base + QStringLiteral("/Ebene") + QString::number(depth + 1);
}

ImportResult ImportZip(TdmMain& dm, const QString& archive)
{
    ImportResult result;
    result.recognised = true;
    if (g_depth >= kMaxDepth) {
        MessageOk(QStringLiteral("Das Archiv ") + archive + QStringLiteral(" liegt zu tief in anderen Archiven und wird nicht geladen."));
        return result;
    }
    DepthGuard depth;
    const QString folderPath = ZipScratchFolder(dm, g_depth - 1);
    QDir folder(folderPath);
    if (!folder.mkpath(QStringLiteral("."))) {
        MessageOk(QStringLiteral("Kann den Ordner ") + folderPath + QStringLiteral(" nicht anlegen."));
        return result;
    }
    clearFolder(folder, folderPath);

    QList<Entry> unpacked;
    QStringList refused;
    bool whole = false;
    int error = 0;
    if (zip_t* zip = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error)) {
        whole = unpackAll(zip, entriesToUnpack(zip, refused), folder, archive, unpacked);
        zip_discard(zip);
    } else if (askForDebugRetry(error)) {
        reportSecondFailure(archive, folderPath, reasonOf(error));
    }
    if (!refused.isEmpty())
        MessageOk(QStringLiteral("Diese Einträge des Archivs ") + archive + QStringLiteral(" werden nicht geladen:\n")
                  + refused.join(QLatin1Char('\n')));

    // Only what this archive delivered whole; files left over from earlier archives are gone
    // or were never this archive's.
    result.complete = whole && refused.isEmpty();
    for (const Entry& entry : std::as_const(unpacked)) {
        const ImportResult one = ImportFile(dm, folder.filePath(entry.name), archive);
        result.count += one.count;
        result.skipped += one.skipped;
        result.complete = result.complete && one.recognised && one.whole();
    }
    return result;
}
