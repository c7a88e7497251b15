#include "import/Recalculation.h"

#include "database/Conversions.h"
#include "database/Egn.h"
#include "database/ReferenceLists.h"
#include "database/RuboEngine.h"
#include "database/RuboError.h"

#include <sqlite3.h>

#include <QElapsedTimer>

#include <vector>

namespace {

// The columns read from a stored call, as the record takes them.
struct StoredCall
{
    qint64 id = 0;
    QString ANummer;
    QString Nebenstelle;
    double BeginZeit = 0;
    qint32 Sekunden = 0;
    QString GZ;
    double Betrag = 0;
    double BetragEuro = 0;
    qint32 ZoneCode = 0;
    QString Zone;
};

// Every text read from the database loses its trailing blanks. Read as the UTF-8 it is stored
// in: the engine's own conversion to UTF-16 costs an allocation per field.
QString textColumn(sqlite3_stmt* s, int column)
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    qsizetype size = sqlite3_column_bytes(s, column);
    while (size > 0 && data[size - 1] == ' ')
        --size;
    return data ? QString::fromUtf8(data, size) : QString();
}

// Binds a text as UTF-8 held in `scratch`, which must stay untouched until the statement ran.
void bindUtf8(RuboDatabase& db, sqlite3_stmt* s, int index, QStringView text, QByteArray& scratch)
{
    scratch.resize(0);
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            scratch = text.toUtf8();
            break;
        }
        scratch.append(char(c.unicode()));
    }
    db.check(sqlite3_bind_text(s, index, scratch.constData(), int(scratch.size()), SQLITE_STATIC));
}

// A setting of the connection for as long as it lives, then the one before.
class PragmaScope
{
public:
    PragmaScope(RuboDatabase& db, const QString& name, const QString& value) : m_db(db), m_name(name)
    {
        RuboStatement get(db, QStringLiteral("PRAGMA ") + name);
        m_before = get.step() ? get.column(0).toString() : QString();
        db.execute(QStringLiteral("PRAGMA %1 = %2").arg(name, value));
    }
    ~PragmaScope()
    {
        try {
            if (!m_before.isEmpty())
                m_db.execute(QStringLiteral("PRAGMA %1 = %2").arg(m_name, m_before));
        } catch (const RuboError&) {
            // Swallowed: the connection keeps the run's setting, which only costs memory.
        }
    }

private:
    RuboDatabase& m_db;
    QString m_name;
    QString m_before;
};

struct UpdateTexts
{
    QByteArray filiale, nebenstelle, kostenstelle, ias;
};

std::vector<StoredCall> readBatch(RuboStatement& select, qint64 afterId)
{
    std::vector<StoredCall> calls;
    calls.reserve(kRecalcChunk);
    select.reset();
    select.bindInt(1, afterId);
    select.bindInt(2, kRecalcChunk);
    sqlite3_stmt* s = select.get();
    while (select.step()) {
        StoredCall c;
        c.id = sqlite3_column_int64(s, 0);
        c.ANummer = textColumn(s, 1);
        c.Nebenstelle = textColumn(s, 2);
        c.BeginZeit = sqlite3_column_double(s, 3);
        c.Sekunden = qint32(sqlite3_column_int64(s, 4));
        c.GZ = textColumn(s, 5);
        c.Betrag = sqlite3_column_double(s, 6);
        c.BetragEuro = sqlite3_column_double(s, 7);
        c.ZoneCode = qint32(sqlite3_column_int64(s, 8));
        c.Zone = textColumn(s, 9);
        calls.push_back(std::move(c));
    }
    select.reset();
    return calls;
}

// One call: the record takes the stored inputs, the derivation the rest, and the results go back.
void recalculate(RuboDatabase& db, const StoredCall& call, TEGN& egn, ReferenceLists& lists, RuboStatement& update,
                 UpdateTexts& texts)
{
    egn.ANummer = call.ANummer;
    if (!TryParseInt32(call.Nebenstelle, egn.Nebenstelle))
        throw RuboError(QStringLiteral("'") + call.Nebenstelle + QStringLiteral("' ist kein gültiger ganzzahliger Wert"));
    egn.BeginZeit = call.BeginZeit;
    egn.Sekunden = call.Sekunden;
    egn.GZ = call.GZ;
    egn.Betrag = call.Betrag;
    egn.BetragEuro = call.BetragEuro;
    egn.ZoneCode = call.ZoneCode;
    egn.Zone = call.Zone;
    egn.Derive(lists);

    sqlite3_stmt* s = update.get();
    sqlite3_reset(s);
    char16_t digits[12];
    bindUtf8(db, s, 1, egn.FilialeID, texts.filiale);
    bindUtf8(db, s, 2, DecimalText(egn.Nebenstelle, digits), texts.nebenstelle);
    bindUtf8(db, s, 3, egn.Kostenstelle, texts.kostenstelle);
    bindUtf8(db, s, 4, egn.IAS, texts.ias);
    db.check(sqlite3_bind_double(s, 5, egn.Betrag));
    db.check(sqlite3_bind_double(s, 6, egn.BetragEuro));
    db.check(sqlite3_bind_double(s, 7, egn.Rabatt));
    db.check(sqlite3_bind_double(s, 8, egn.RabattEuro));
    db.check(sqlite3_bind_double(s, 9, double(egn.RabattProz)));
    db.check(sqlite3_bind_int64(s, 10, call.id));
    update.step();
    sqlite3_reset(s);
}

} // namespace

QString RecalcBeginText()
{
    return QStringLiteral("Begin...");
}

QStringList RecalcEndTexts(const RecalcOutcome& outcome)
{
    QStringList texts{QString::number(outcome.visited) + QStringLiteral(" Done.")};
    if (outcome.failed > 0 || outcome.stopped || !outcome.error.isEmpty())
        texts << QStringLiteral("ABBRUCH: ") + QString::number(outcome.failed) + QStringLiteral(" Fehler, nur ")
                + QString::number(outcome.visited) + QStringLiteral(" bearbeitet.");
    return texts;
}

RecalcOutcome RecalculateEGN(RuboDatabase& db, ReferenceLists& lists, const std::function<bool(int, int)>& progress)
{
    RecalcOutcome outcome;
    lists.SetFilialenDirty();
    lists.SetKostenstellenDirty();
    lists.SetZonenrabatteDirty();

    TEGN egn;
    egn.Reset();
    UpdateTexts texts;
    qint64 lastId = 0;
    bool more = true;
    const auto goOn = [&] { return more && outcome.failed < kRecalcMaxFailures && !outcome.stopped; };
    try {
        lists.CheckKostenstellenFitCalls();
        RuboStatement select(db, QStringLiteral("SELECT ID, ANummer, Nebenstelle, BeginZeit, Sekunden, GZ, Betrag, BetragEuro, "
                                                "ZoneCode, Zone FROM EGN WHERE ID > ?1 ORDER BY ID LIMIT ?2"));
        RuboStatement update(db, QStringLiteral("UPDATE EGN SET FilialeID = ?1, Nebenstelle = ?2, Kostenstelle = ?3, IAS = ?4, "
                                                "Betrag = ?5, BetragEuro = ?6, Rabatt = ?7, RabattEuro = ?8, RabattProz = ?9 "
                                                "WHERE ID = ?10"));
        int total = 0;
        if (progress) {
            RuboStatement count(db, QStringLiteral("SELECT count(*) FROM EGN"));
            total = count.step() ? count.column(0).toInt() : 0;
        }
        // A batch's changed pages must fit the cache, or the engine writes them out twice.
        const PragmaScope cache(db, QStringLiteral("cache_size"), QString::number(-kRecalcCacheKiB));
        while (goOn()) {
            // Counted anew if the batch's commit fails: its calls are old again then.
            const RecalcOutcome before = outcome;
            RuboTransaction batch(db);
            QElapsedTimer batchTime;
            batchTime.start();
            try {
                do {
                    const std::vector<StoredCall> calls = readBatch(select, lastId);
                    more = calls.size() == size_t(kRecalcChunk);
                    for (const StoredCall& call : calls) {
                        if (outcome.failed >= kRecalcMaxFailures || outcome.stopped)
                            break;
                        ++outcome.visited;
                        lastId = call.id;
                        // A call's one write is the update of its row, which the engine makes whole
                        // or not at all: a call that fails keeps its stored values. A zone it added
                        // stays, as any zone added outside an import does. A savepoint per call
                        // would copy a page of the file for every call.
                        try {
                            recalculate(db, call, egn, lists, update, texts);
                        } catch (const RuboError&) {
                            // The call's own messages are not shown.
                            ++outcome.failed;
                        }
                        if (outcome.visited % kRecalcProgressEvery == 0 && progress && !progress(outcome.visited, total))
                            outcome.stopped = true;
                    }
                } while (goOn() && !batchTime.hasExpired(kRecalcCommitMs) && outcome.visited - before.visited < kRecalcBatchMax);
                batch.commit();
            } catch (const RuboError&) {
                const bool stopped = outcome.stopped;
                outcome = before;
                outcome.stopped = stopped;
                // Zones the undone batch added are gone from the table: the list must forget them.
                lists.SetZonenrabatteDirty();
                throw;
            }
        }
    } catch (const RuboError& e) {
        outcome.error = e.message();
    }
    return outcome;
}
