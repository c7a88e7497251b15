#pragma once

#include "import/CallSource.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QVariant>
#include <memory>

// A carrier's Access database: every row of its table `calls` is a call. The source connection
// `CDRDatabase` is the reader program rubo-mdb-read (libmdb, read-only) in a process of its own,
// so that a damaged file that makes libmdb hang or crash cannot take the import with it.
class MdbCallSource : public CallSource
{
public:
    explicit MdbCallSource(QString path);
    ~MdbCallSource() override;

    void prepare(QString& stage) override;
    Step next(int callsRead, QString& stage) override;
    void fill(TEGN& egn) override;
    void finish(QString& stage) override;
    void close() noexcept override;
    QString failurePlace(int callsRead, const QString& stage) const override;

    // The reader program: $RUBO_MDB_READER, else beside this program, else the one just built.
    static QString readerProgram();
    // How long the reader may stay silent before it is taken for hung; tests shorten it.
    static void setSilenceLimit(int milliseconds);

private:
    enum Column { ANumber, Extension, BNumber, Amount, Time, Units, Jurisdiction, Zone, Destination, kColumnCount };

    QByteArray readRecord();
    bool readRow();
    [[noreturn]] void throwReaderError(const QList<QByteArray>& fields) const;
    [[noreturn]] void damaged(const QString& detail) const;

    QString m_path;
    std::unique_ptr<QProcess> m_cdrDatabase;
    int m_index[kColumnCount] = {};
    QVariantList m_row;   // texts, whole numbers, numbers (dates as serials), nulls
    bool m_rowPending = false;
    bool m_ended = false;
    int m_rowsRead = 0;
    qsizetype m_columnCount = 0;
};
