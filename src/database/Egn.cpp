#include "database/Egn.h"

#include "database/ReferenceLists.h"
#include "database/RuboEngine.h"
#include "database/RuboError.h"

#include <QByteArray>
#include <QStringEncoder>
#include <cstring>
#include <limits>
#include <sqlite3.h>

namespace {

// Empties a text for the next call without giving its buffer back. A shared text (a branch or
// cost centre copied from a reference list) is only released, because resizing it would copy.
void emptyText(QString& s)
{
    if (s.isDetached())
        s.resize(0);
    else
        s.clear();
}

// The decimal text of an extension in a caller's buffer: the cost-centre lookup runs per call.
QStringView decimalText(qint32 value, char16_t (&buffer)[12])
{
    qint64 v = value;
    const bool negative = v < 0;
    if (negative)
        v = -v;
    int pos = 12;
    do {
        buffer[--pos] = char16_t(u'0' + v % 10);
        v /= 10;
    } while (v > 0);
    if (negative)
        buffer[--pos] = u'-';
    return QStringView(buffer + pos, 12 - pos);
}

const QString kNoBranch = QStringLiteral("x");
const QString kBusinessTime = QStringLiteral("GZ");
const QString kInland = QStringLiteral("I");
const QString kAusland = QStringLiteral("A");
const QString kSonstige = QStringLiteral("S");

// Schilling per Euro: carriers deliver one of the two amounts.
constexpr double kAtsPerEuro = 13.7603;

} // namespace

void TEGN::Reset()
{
    emptyText(ANummer);
    Nebenstelle = 0;
    emptyText(BNummer);
    Betrag = 0;
    BetragEuro = 0;
    BeginZeit = 0;
    Sekunden = 0;
    EndeZeit = 0;
    ZoneCode = 0;
    emptyText(Zone);
    emptyText(Ziel);
    emptyText(Kostenstelle);
    emptyText(IAS);
    DateiID = 0;
    emptyText(FilialeID);
    emptyText(GZ);
    emptyText(UniqueCallID);
    Rabatt = 0;
    RabattEuro = 0;
    RabattProz = 0;
}

void TEGN::Derive()
{
    // 1. Branch; a branch number ending in "*" is followed by the extension.
    QStringView rest;
    if (const FilialeEntry* filiale = FindFilialeEntry(ANummer, &rest)) {
        FilialeID = filiale->Kurz;
        qint64 extension = 0;
        if (ParseWholeNumber(rest, extension) && extension <= std::numeric_limits<qint32>::max())
            Nebenstelle = qint32(extension);
    } else {
        FilialeID = kNoBranch;
    }

    // 2. Cost centre of the extension at the time of the call.
    char16_t buffer[12];
    FindKostenstelle(FilialeID, decimalText(Nebenstelle, buffer), BeginZeit, Kostenstelle);

    // 3.-6. End time, amounts, business-time class.
    EndeZeit = BeginZeit + Sekunden / 86400.0;
    if (BetragEuro == 0)
        BetragEuro = Betrag;
    if (Betrag == 0)
        Betrag = BetragEuro * kAtsPerEuro;
    if (GZ.isEmpty())
        GZ = kBusinessTime;

    // 7. Zone discount (an unknown zone is added to Zonenrabatte).
    FindZonenrabatt(Zone, GZ, RabattProz, IAS);

    // 8. Domestic/foreign class from the carrier's zone code when the zone does not say.
    if (IAS.isEmpty() && ZoneCode > 0) {
        if (ZoneCode <= 10)
            IAS = kInland;
        else if (ZoneCode >= 40 && ZoneCode <= 150)
            IAS = kAusland;
        else
            IAS = kSonstige;
    }

    // 9. Discounted amounts.
    Rabatt = Betrag;
    RabattEuro = BetragEuro;
    if (RabattProz > 0) {
        Rabatt = Betrag - Betrag * RabattProz * 0.01;
        RabattEuro = BetragEuro - BetragEuro * RabattProz * 0.01;
    }
}

// ---------------------------------------------------------------------------------------------

TblEGN::TblEGN(RuboDatabase& db) : m_db(db) {}

TblEGN::~TblEGN()
{
    try {
        close();
    } catch (...) {
        // The connection is going away with the import; nothing is left to protect.
    }
}

void TblEGN::open()
{
    // Append checks the column limits itself, so the engine may skip its CHECK constraints while
    // the table is open: they cost a fifth of the import. The import's single transaction
    // rolls back whatever else was written meanwhile when a call breaks a limit.
    m_db.execute(QStringLiteral("PRAGMA ignore_check_constraints = ON"));
    m_checksSkipped = true;
    m_insert = std::make_unique<RuboStatement>(
        m_db, QStringLiteral("INSERT INTO EGN (ANummer, Nebenstelle, BNummer, Betrag, BeginZeit, Sekunden, "
                             "ZoneCode, Zone, Ziel, Kostenstelle, IAS, BetragEuro, EndeZeit, DateiID, FilialeID, "
                             "GZ, UniqueCallID, Rabatt, RabattEuro, RabattProz) "
                             "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, "
                             "?18, ?19, ?20)"));
}

void TblEGN::close()
{
    m_insert.reset();
    if (m_checksSkipped) {
        m_checksSkipped = false;
        m_db.execute(QStringLiteral("PRAGMA ignore_check_constraints = OFF"));
    }
}

bool TblEGN::isOpen() const
{
    return m_insert != nullptr;
}

void TblEGN::Append(const TEGN& egn, QString& stage)
{
    stage = QStringLiteral("append EGN");
    if (!m_insert)
        throw RuboError(QStringLiteral("Die Tabelle EGN ist nicht geöffnet."));
    sqlite3_stmt* s = m_insert->get();

    stage = QStringLiteral("EGN set fields");
    // The texts are handed over as UTF-8 in one buffer that lives until the insert has run, so
    // the engine neither copies them nor converts them from UTF-16 for every call.
    // Every parameter is bound anew for each call, so no binding outlives its buffer.
    static QByteArray buffer;
    static QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    const QString* const texts[] = {&egn.ANummer, &egn.BNummer, &egn.Zone, &egn.Ziel, &egn.Kostenstelle,
                                    &egn.IAS, &egn.FilialeID, &egn.GZ, &egn.UniqueCallID};
    char16_t digits[12];
    const QStringView nebenstelle = decimalText(egn.Nebenstelle, digits);
    qsizetype needed = 1 + int(sizeof digits);
    for (const QString* t : texts)
        needed += encoder.requiredSpace(t->size()) + 1;
    if (buffer.size() < needed)
        buffer.resize(needed * 2);
    char* const base = buffer.data();
    char* out = base;
    int offsets[11];
    for (int i = 0; i < 9; ++i) {
        offsets[i] = int(out - base);
        // Carrier data is mostly ASCII: copy that part, the encoder takes the rest from there.
        const QStringView t(*texts[i]);
        qsizetype k = 0;
        for (; k < t.size() && t[k].unicode() < 0x80; ++k)
            *out++ = char(t[k].unicode());
        if (k < t.size())
            out = encoder.appendToBuffer(out, t.sliced(k));
        *out++ = '\0';
    }
    offsets[9] = int(out - base);
    // The TEXT column would turn a bound number into its decimal text row by row; hand it over.
    for (const QChar c : nebenstelle)
        *out++ = char(c.unicode());
    *out++ = '\0';
    offsets[10] = int(out - base);
    // An empty text is stored as "" rather than NULL: the readers of EGN deliver texts.
    const auto text = [&](int param, int i) {
        const char* p = base + offsets[i];
        const int n = offsets[i + 1] - offsets[i] - 1;
        m_db.check(sqlite3_bind_text(s, param, p, n, SQLITE_STATIC));
    };
    text(1, 0);                                                  // ANummer
    text(2, 9);                                                  // Nebenstelle, as its decimal text
    text(3, 1);                                                  // BNummer
    m_db.check(sqlite3_bind_double(s, 4, egn.Betrag));
    m_db.check(sqlite3_bind_double(s, 5, egn.BeginZeit));
    m_db.check(sqlite3_bind_int64(s, 6, egn.Sekunden));
    m_db.check(sqlite3_bind_int64(s, 7, egn.ZoneCode));
    text(8, 2);                                                  // Zone
    text(9, 3);                                                  // Ziel
    text(10, 4);                                                 // Kostenstelle
    text(11, 5);                                                 // IAS
    m_db.check(sqlite3_bind_double(s, 12, egn.BetragEuro));
    m_db.check(sqlite3_bind_double(s, 13, egn.EndeZeit));
    m_db.check(sqlite3_bind_int64(s, 14, egn.DateiID));
    text(15, 6);                                                 // FilialeID
    text(16, 7);                                                 // GZ
    text(17, 8);                                                 // UniqueCallID
    m_db.check(sqlite3_bind_double(s, 18, egn.Rabatt));
    m_db.check(sqlite3_bind_double(s, 19, egn.RabattEuro));
    m_db.check(sqlite3_bind_double(s, 20, double(egn.RabattProz)));

    stage = QStringLiteral("post EGN");
    // The schema's limits, with the engine's own message (it skips them while the table is open).
    const auto limit = [&](int i, int width, const char* column) {
        const int bytes = offsets[i + 1] - offsets[i] - 1;
        if (bytes <= width)
            return;
        int characters = 0;
        for (const char* p = base + offsets[i]; p < base + offsets[i] + bytes; ++p)
            characters += (*p & 0xC0) != 0x80;
        if (characters > width)
            throw RuboError(QStringLiteral("CHECK constraint failed: length(%1) <= %2").arg(QLatin1String(column)).arg(width));
    };
    limit(0, 24, "ANummer");
    limit(9, 10, "Nebenstelle");
    limit(1, 24, "BNummer");
    limit(2, 50, "Zone");
    limit(3, 50, "Ziel");
    limit(4, 10, "Kostenstelle");
    limit(5, 1, "IAS");
    limit(6, 4, "FilialeID");
    limit(7, 2, "GZ");
    limit(8, 35, "UniqueCallID");
    const auto range16 = [](qint32 value, const char* column) {
        if (value < -32768 || value > 32767)
            throw RuboError(QStringLiteral("CHECK constraint failed: %1 BETWEEN -32768 AND 32767").arg(QLatin1String(column)));
    };
    range16(egn.ZoneCode, "ZoneCode");
    range16(egn.DateiID, "DateiID");

    const int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(m_db.handle()));
        sqlite3_reset(s);
        throw RuboError(message);
    }
    sqlite3_reset(s);
}
