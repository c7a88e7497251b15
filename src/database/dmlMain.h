#pragma once

#include "database/ReferenceLists.h"
#include "database/RuboEngine.h"

#include <QObject>
#include <QString>
#include <memory>


// One row of the registry of loaded files.
struct GeladeneDatei
{
    int DateiID = 0;
    QString DateiName;
    QString OriginalName;
    qint64 AnzahlEGN = 0;
};

// The data module: owns the connection `RuboDB` to the internal database and the registry of
// loaded files. One instance, `dmMain`, is created first at start.
class TdmMain : public QObject
{
    Q_OBJECT
public:
    static QString defaultDatabaseName() { return QStringLiteral("RuboTool.mdb"); }

    explicit TdmMain(QString databaseFile = defaultDatabaseName(), QObject* parent = nullptr);
    ~TdmMain() override;

    // Opens the internal database (tried twice), creating it with its tables when the file does
    // not exist. On failure shows the one message and returns false; the file stays untouched.
    bool open();
    bool isOpen() const { return m_db.isConnected(); }

    RuboDatabase& RuboDB() { return m_db; }
    // The branches, cost centres and zone discounts of this database, read on first use.
    ReferenceLists& referenceLists() { return m_lists; }
    QString databaseFile() const { return m_databaseFile; }
    QString startDirectory() const { return m_startDirectory; }

    // New DateiID for a path from an origin (empty, or the archive it was unpacked from), or -1
    // when that path from that origin is registered already.
    int GeladeneDateiAdd(const QString& path, const QString& origin);
    int GeladeneDateiSetAnzahlEGN(int dateiId, int count);
    // Every registered file, in the order the engine reads them.
    QList<GeladeneDatei> GeladeneDateien();

    // Deletes every call and empties the registry of loaded files, both or neither: the registry
    // must not forget files whose calls stay, or loading them again would store them twice.
    // Returns the number of calls deleted; throws RuboError and changes nothing on failure.
    int DeleteAllCalls();
    // Deletes one loaded file: its calls and its registry row, both or neither. Returns the
    // number of calls deleted; throws RuboError and changes nothing on failure.
    int DeleteGeladeneDatei(int dateiId);

    // Rows of each of the five tables, in the order EGN, GeladeneDateien, Filialen,
    // Kostenstellen, Zonenrabatte.
    QList<QPair<QString, qint64>> tableCounts();

private:
    void connectOnce();

    QString m_databaseFile;
    QString m_startDirectory;
    RuboDatabase m_db;
    ReferenceLists m_lists{m_db};
};

// The one data module of the running program (set by whoever created it). The core never uses it:
// everything there is handed the data module it works on.
extern TdmMain* dmMain;
