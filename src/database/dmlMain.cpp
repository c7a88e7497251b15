#include "database/dmlMain.h"

#include "database/Conversions.h"
#include "database/Messages.h"
#include "database/Schema.h"
#include "database/SqlText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

TdmMain* dmMain = nullptr;

namespace {

// SQLite opens a shortened file without complaint and fails later on a missing page; compare
// the size its header records with the size on disk so such a file is refused at once. Runs
// after SQLite has read the file once, so that a journal left by a crash or a full disk has
// been rolled back first: that rollback restores the file's true size.
void checkWholeFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw RuboError(QStringLiteral("Die Datei kann nicht gelesen werden: %1").arg(file.errorString()));
    const QByteArray header = file.read(100);
    const qint64 size = file.size();
    if (header.size() < 100 || !header.startsWith("SQLite format 3"))
        throw RuboError(QStringLiteral("Die Datei ist keine Datenbank der Anwendung."));
    const uchar* h = reinterpret_cast<const uchar*>(header.constData());
    qint64 pageSize = qFromBigEndian<quint16>(h + 16);
    if (pageSize == 1)
        pageSize = 65536;
    const quint32 changeCounter = qFromBigEndian<quint32>(h + 24);
    const quint32 pages = qFromBigEndian<quint32>(h + 28);
    const quint32 validFor = qFromBigEndian<quint32>(h + 92);
    if (pageSize < 512 || size % pageSize != 0 || (pages > 0 && changeCounter == validFor && size < pages * pageSize))
        throw RuboError(QStringLiteral("Die Datenbankdatei ist unvollständig oder beschädigt."));
}

// A journal beside the file means the last write did not end; after SQLite has rolled it back
// the whole file is checked once, which is too slow to do at every start.
bool hasJournal(const QString& fileName)
{
    return QFileInfo(fileName + QStringLiteral("-journal")).size() > 0
        || QFileInfo(fileName + QStringLiteral("-wal")).size() > 0;
}

void quickCheck(RuboDatabase& db)
{
    QString result;
    try {
        RuboStatement check(db, QStringLiteral("PRAGMA quick_check"));
        result = check.step() ? check.column(0).toString() : QString();
    } catch (const RuboError& e) {
        result = e.message();
    }
    if (result != QLatin1String("ok"))
        throw RuboError(QStringLiteral("Die Datenbankdatei ist unvollständig oder beschädigt.\n") + result);
}

} // namespace

TdmMain::TdmMain(QString databaseFile, QObject* parent)
    : QObject(parent), m_databaseFile(std::move(databaseFile)), m_startDirectory(QDir::currentPath()),
      m_db(QStringLiteral("RuboDB"))
{
}

TdmMain::~TdmMain()
{
    if (dmMain == this)
        dmMain = nullptr;
}

void TdmMain::connectOnce()
{
    const bool exists = QFileInfo::exists(m_databaseFile);
    const bool recovered = exists && hasJournal(m_databaseFile);
    m_db.connect(m_databaseFile, !exists);
    try {
        if (exists) {
            checkWholeFile(m_databaseFile);
            if (recovered)
                quickCheck(m_db);
            CheckRuboSchema(m_db);
        } else {
            CreateRuboSchema(m_db);
        }
    } catch (...) {
        m_db.disconnect();
        if (!exists)
            QFile::remove(m_databaseFile);
        throw;
    }
}

bool TdmMain::open()
{
    m_startDirectory = QDir::currentPath();
    if (m_db.isConnected())
        m_db.disconnect();
    m_lists.SetAllDirty();
    QString reason;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            connectOnce();
            return true;
        } catch (const RuboError& e) {
            reason = e.message();
        }
    }
    MessageOk(QStringLiteral("Kann Datenbank nicht öffnet !") + QStringLiteral("\nDatenbank: ") + m_databaseFile
              + QStringLiteral("\nMöglicher Grund:") + QStringLiteral("\n  Die Datenbankkomponente DAO ist nicht installiert.")
              + QLatin1Char('\n') + reason);
    return false;
}

int TdmMain::GeladeneDateiAdd(const QString& path, const QString& origin)
{
    // The path is compared as data: an apostrophe in a file name must not break the check. Files
    // unpacked from archives share the scratch folder's paths, so the archive is compared too.
    RuboStatement same(m_db, QStringLiteral("SELECT COUNT(*) FROM GeladeneDateien WHERE DateiName = ? "
                                            "AND COALESCE(OriginalName, '') = ?"));
    same.bindText(1, path);
    same.bindText(2, origin);
    if (same.step() && same.column(0).toInt() > 0)
        return -1;
    RuboStatement largest(m_db, QStringLiteral("SELECT MAX(DateiID) FROM GeladeneDateien"));
    const int next = (largest.step() ? qMax(0, largest.column(0).toInt()) : 0) + 1;
    RuboStatement insert(m_db, QStringLiteral("INSERT INTO GeladeneDateien (DateiID, DateiName, OriginalName, AnzahlEGN) "
                                              "VALUES (?, ?, ?, 0)"));
    insert.bindInt(1, next);
    insert.bindText(2, path);
    insert.bindText(3, origin);
    insert.step();
    return next;
}

int TdmMain::GeladeneDateiSetAnzahlEGN(int dateiId, int count)
{
    return m_db.execute(QStringLiteral("UPDATE GeladeneDateien SET AnzahlEGN = %1 WHERE DateiID = %2").arg(count).arg(dateiId));
}

QList<GeladeneDatei> TdmMain::GeladeneDateien()
{
    QList<GeladeneDatei> files;
    RuboQuery query(m_db);
    query.setSql(QStringLiteral("SELECT * FROM GeladeneDateien"));
    for (query.open(); !query.eof(); query.next())
        files.append({VariantToInt(query.field(QStringLiteral("DateiID"))), VariantToText(query.field(QStringLiteral("DateiName"))),
                      VariantToText(query.field(QStringLiteral("OriginalName"))),
                      query.field(QStringLiteral("AnzahlEGN")).toLongLong()});
    return files;
}

int TdmMain::DeleteAllCalls()
{
    RuboTransaction transaction(m_db);
    m_db.execute(QStringLiteral("DELETE FROM GeladeneDateien"));
    const int count = m_db.execute(QStringLiteral("DELETE FROM EGN"));
    transaction.commit();
    return count;
}

int TdmMain::DeleteGeladeneDatei(int dateiId)
{
    RuboTransaction transaction(m_db);
    m_db.execute(QStringLiteral("DELETE FROM GeladeneDateien WHERE DateiID = ") + QString::number(dateiId));
    const int count = m_db.execute(QStringLiteral("DELETE FROM EGN WHERE DateiID = ") + QString::number(dateiId));
    transaction.commit();
    return count;
}

QList<QPair<QString, qint64>> TdmMain::tableCounts()
{
    QList<QPair<QString, qint64>> result;
    for (int i = 0; i < kRuboTableCount; ++i) {
        const QString table = QString::fromLatin1(RuboTableDefs()[i].name);
        RuboStatement stmt(m_db, QStringLiteral("SELECT COUNT(*) FROM ") + SqlIdentifier(table));
        result.append({table, stmt.step() ? stmt.column(0).toLongLong() : 0});
    }
    return result;
}
