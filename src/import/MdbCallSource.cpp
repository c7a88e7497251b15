#include "import/MdbCallSource.h"

#include "database/Conversions.h"
#include "database/Egn.h"
#include "database/RuboError.h"
#include "database/UserInterface.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

namespace {

int g_silenceLimit = 30000;

const char* const kColumnNames[] = {"ANumber", "Extension", "BNumber", "amount", "Time",
                                    "Units", "jurisdiction", "Zone", "Destination"};

QByteArray unescaped(QByteArrayView field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c == '\\' && i + 1 < field.size()) {
            const char e = field[++i];
            c = e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
        }
        out += c;
    }
    return out;
}

QString columnName(int column)
{
    return QString::fromLatin1(kColumnNames[column]);
}

} // namespace

MdbCallSource::MdbCallSource(QString path) : m_path(std::move(path))
{
}

MdbCallSource::~MdbCallSource()
{
    close();
}

QString MdbCallSource::readerProgram()
{
    const QString fromEnvironment = qEnvironmentVariable("RUBO_MDB_READER");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("rubo-mdb-read"));
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStringLiteral(RUBO_MDB_READER_BUILT);
}

void MdbCallSource::setSilenceLimit(int milliseconds)
{
    g_silenceLimit = milliseconds;
}

void MdbCallSource::damaged(const QString& detail) const
{
    throw RuboError(QStringLiteral("Die Access-Datenbank ") + m_path + QStringLiteral(" ist beschädigt (") + detail
                    + QStringLiteral(")."));
}

// The next record of the reader, without its line end. The window keeps repainting while the
// reader works; a reader that says nothing for too long is stopped.
QByteArray MdbCallSource::readRecord()
{
    QProcess& p = *m_cdrDatabase;
    QElapsedTimer silence;
    silence.start();
    while (!p.canReadLine()) {
        if (p.state() == QProcess::NotRunning) {
            if (p.bytesAvailable() > 0)
                break;   // a last record without its line end
            damaged(p.exitStatus() == QProcess::CrashExit ? QStringLiteral("das Lesen ist abgestürzt")
                                                         : QStringLiteral("das Lesen endete vorzeitig"));
        }
        if (silence.elapsed() > g_silenceLimit) {
            p.kill();
            p.waitForFinished(5000);
            damaged(QStringLiteral("das Lesen antwortet nicht mehr"));
        }
        if (!p.waitForReadyRead(100))
            RuboUi::current()->processEvents();
    }
    QByteArray line = p.readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    return line;
}

// Turns the reader's ERROR record into the error the user sees.
void MdbCallSource::throwReaderError(const QList<QByteArray>& fields) const
{
    const QByteArray kind = fields.value(1);
    if (kind == "table")
        throw RuboError(QStringLiteral("Die Datenbank ") + m_path + QStringLiteral(" enthält keine Tabelle 'calls'."));
    if (kind == "open")
        throw RuboError(QStringLiteral("Die Datei ") + m_path + QStringLiteral(" ist keine Access-Datenbank."));
    const QString detail = QString::fromUtf8(unescaped(fields.value(2)));
    if (kind == "damaged")
        damaged(detail);
    throw RuboError(QStringLiteral("Die Access-Datenbank ") + m_path + QStringLiteral(" kann nicht gelesen werden (") + detail
                    + QStringLiteral(")."));
}

// Reads the reader's next record into m_row; false at the end of the table.
bool MdbCallSource::readRow()
{
    const QList<QByteArray> fields = readRecord().split('\t');
    const QByteArray& kind = fields.first();
    if (kind == "ERROR")
        throwReaderError(fields);
    if (kind == "END") {
        if (fields.size() < 2 || fields.at(1).toInt() != m_rowsRead)
            damaged(QStringLiteral("unvollständig gelesen"));
        m_ended = true;
        return false;
    }
    if (kind != "ROW" || fields.size() - 1 != m_columnCount)
        damaged(QStringLiteral("unlesbare Zeile"));
    m_row.resize(fields.size() - 1);
    for (qsizetype i = 1; i < fields.size(); ++i) {
        const QByteArray& f = fields.at(i);
        QVariant& v = m_row[i - 1];
        if (f == "-")
            v = QVariant();
        else if (f.startsWith('S'))
            v = QString::fromUtf8(unescaped(QByteArrayView(f).sliced(1)));
        else if (f.startsWith('I'))
            v = f.mid(1).toLongLong();
        else
            v = f.mid(1).toDouble();
    }
    ++m_rowsRead;
    return true;
}

void MdbCallSource::prepare(QString& stage)
{
    stage = QStringLiteral("open calls");
    if (!QFileInfo(m_path).isFile())
        throw RuboError(QStringLiteral("Kann Datei ") + m_path + QStringLiteral(" nicht öffnen."));
    const QString program = readerProgram();
    m_cdrDatabase = std::make_unique<QProcess>();
    m_cdrDatabase->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_cdrDatabase->start(program, {m_path, QStringLiteral("calls")}, QIODevice::ReadOnly);
    if (!m_cdrDatabase->waitForStarted(10000))
        throw RuboError(QStringLiteral("Das Leseprogramm für Access-Datenbanken ") + program + QStringLiteral(" fehlt."));
    const QList<QByteArray> names = readRecord().split('\t');
    if (names.first() == "ERROR")
        throwReaderError(names);
    if (names.first() != "COLUMNS")
        damaged(QStringLiteral("unlesbarer Tabellenkopf"));
    m_columnCount = names.size() - 1;
    for (int c = 0; c < kColumnCount; ++c) {
        m_index[c] = -1;
        for (qsizetype i = 1; i < names.size(); ++i) {
            // Access compares names without regard to case.
            if (QString::fromUtf8(unescaped(names.at(i))).compare(columnName(c), Qt::CaseInsensitive) == 0) {
                m_index[c] = int(i - 1);
                break;
            }
        }
        if (m_index[c] < 0)
            throw RuboError(QStringLiteral("In der Tabelle 'calls' fehlt die Spalte '") + columnName(c) + QStringLiteral("'."));
    }
    stage = QStringLiteral("first calls");
    m_rowPending = readRow();
}

CallSource::Step MdbCallSource::next(int callsRead, QString& stage)
{
    if (callsRead > 0) {
        stage = QStringLiteral("next calls");
        m_rowPending = !m_ended && readRow();
    }
    return m_rowPending ? Step::Call : Step::End;
}

void MdbCallSource::fill(TEGN& egn)
{
    auto at = [this](Column c) -> const QVariant& { return m_row.at(m_index[c]); };
    egn.ANummer = VariantToText(at(ANumber));
    egn.Nebenstelle = ParseIntOrZero(VariantToText(at(Extension)));
    egn.BNummer = VariantToText(at(BNumber));
    // Cents are kept: rounded to whole units, 0.35 would cost nothing.
    egn.Betrag = VariantToFloat(at(Amount));
    const QVariant& time = at(Time);
    if (time.isNull())
        throw RuboError(QStringLiteral("Die Spalte 'Time' ist in Zeile ") + QString::number(m_rowsRead)
                        + QStringLiteral(" der Tabelle 'calls' leer."));
    egn.BeginZeit = time.typeId() == QMetaType::QString ? ParseDateTime(time.toString()) : VariantToFloat(time);
    egn.Sekunden = VariantToInt(at(Units));
    egn.ZoneCode = VariantToInt(at(Jurisdiction));
    egn.Zone = VariantToText(at(Zone));
    egn.Ziel = VariantToText(at(Destination));
    egn.GZ = QStringLiteral("GZ");
}

void MdbCallSource::finish(QString& stage)
{
    stage = QStringLiteral("close CDR");
    QProcess& p = *m_cdrDatabase;
    if (!p.waitForFinished(g_silenceLimit) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        damaged(QStringLiteral("das Lesen endete nicht ordentlich"));
    m_cdrDatabase.reset();
}

void MdbCallSource::close() noexcept
{
    if (!m_cdrDatabase)
        return;
    if (m_cdrDatabase->state() != QProcess::NotRunning) {
        m_cdrDatabase->kill();
        m_cdrDatabase->waitForFinished(5000);
    }
    m_cdrDatabase.reset();
}

QString MdbCallSource::failurePlace(int callsRead, const QString& stage) const
{
    Q_UNUSED(callsRead);
    return QStringLiteral("\n") + stage;
}
