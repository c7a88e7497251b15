#include "database/Egn.h"

#include "database/Conversions.h"
#include "database/ReferenceLists.h"
#include "database/RuboEngine.h"
#include "database/RuboError.h"
#include "database/Schema.h"

#include <QStringList>
#include <cmath>
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

} // namespace

QStringView DecimalText(qint32 value, char16_t (&buffer)[12])
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

namespace {

const QString kNoBranch = QStringLiteral("x");
const QString kBusinessTime = QStringLiteral("GZ");
const QString kInland = QStringLiteral("I");
const QString kAusland = QStringLiteral("A");
const QString kSonstige = QStringLiteral("S");

// Schilling per Euro: carriers deliver one of the two amounts.
constexpr double kAtsPerEuro = 13.7603;

// No single call costs a billion; a larger amount is a misread field, and an infinite one
// would make every sum over the database infinite.
constexpr double kMaxAmount = 1e9;

void checkAmount(double value, double limit)
{
    if (!(std::fabs(value) <= limit))
        throw RuboError(QStringLiteral("Nichtkonvertierbarer Zahlenwert (") + QString::number(value, 'g', 17) + QLatin1Char(')'));
}

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

void TEGN::Derive(ReferenceLists& lists)
{
    // 1. Branch; a branch number ending in "*" is followed by the extension.
    QStringView rest;
    if (const FilialeEntry* filiale = lists.FindFilialeEntry(ANummer, &rest)) {
        FilialeID = filiale->Kurz;
        qint64 extension = 0;
        if (ParseWholeNumber(rest, extension) && extension <= std::numeric_limits<qint32>::max())
            Nebenstelle = qint32(extension);
    } else {
        FilialeID = kNoBranch;
    }

    // 2. Cost centre of the extension at the time of the call.
    char16_t buffer[12];
    lists.FindKostenstelle(FilialeID, DecimalText(Nebenstelle, buffer), BeginZeit, Kostenstelle);

    // 3.-6. End time, amounts, business-time class.
    checkAmount(Betrag, kMaxAmount);
    checkAmount(BetragEuro, kMaxAmount);
    EndeZeit = BeginZeit + Sekunden / 86400.0;
    // Before 30.12.1899 the time of day counts the other way: add the seconds to the day's clock.
    qint64 day = 0;
    int second = 0;
    if (BeginZeit < 0 && SplitSerial(BeginZeit, day, second)) {
        const qint64 total = second + qint64(Sekunden);
        const qint64 days = total >= 0 ? total / 86400 : -((-total + 86399) / 86400);
        EndeZeit = SerialFromDayAndSecond(day + days, int(total - days * 86400));
    }
    if (BetragEuro == 0)
        BetragEuro = Betrag;
    if (Betrag == 0)
        Betrag = BetragEuro * kAtsPerEuro;
    if (GZ.isEmpty())
        GZ = kBusinessTime;

    // 7. Zone discount (an unknown zone is added to Zonenrabatte).
    lists.FindZonenrabatt(Zone, GZ, RabattProz, IAS);

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
    // A discount percentage out of all measure in Zonenrabatte must not store an infinite amount.
    checkAmount(Rabatt, std::numeric_limits<double>::max());
    checkAmount(RabattEuro, std::numeric_limits<double>::max());
}

// ---------------------------------------------------------------------------------------------

const char* TblEGN::fieldName(Field field)
{
    static const char* const names[kFieldCount] = {
        "ANummer", "Nebenstelle", "BNummer", "Betrag", "BeginZeit", "Sekunden", "ZoneCode", "Zone", "Ziel",
        "Kostenstelle", "IAS", "BetragEuro", "EndeZeit", "DateiID", "FilialeID", "GZ", "UniqueCallID", "Rabatt",
        "RabattEuro", "RabattProz"};
    return names[int(field)];
}

const RuboColumn* TblEGN::egnColumn(Field field)
{
    static const RuboTableDef* const egn = FindRuboTableDef(QStringLiteral("EGN"));
    return egn->column(QLatin1String(fieldName(field)));
}

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
    for (int i = 0; i < kTextFieldCount; ++i)
        m_textWidths[i] = egnColumn(kTextFields[i])->width;
    for (int i = 0; i < kRangedFieldCount; ++i)
        m_ranged[i] = egnColumn(kRangedFields[i]);
    QStringList columns, params;
    for (int i = 0; i < kFieldCount; ++i) {
        columns << QLatin1String(fieldName(Field(i)));
        params << QStringLiteral("?%1").arg(i + 1);
    }
    // Append checks the column limits itself, so the engine may skip its CHECK constraints while
    // the table is open: they cost a fifth of the import. The import's single transaction
    // rolls back whatever else was written meanwhile when a call breaks a limit.
    m_db.execute(QStringLiteral("PRAGMA ignore_check_constraints = ON"));
    m_checksSkipped = true;
    m_insert = std::make_unique<RuboStatement>(
        m_db, QStringLiteral("INSERT INTO EGN (%1) VALUES (%2)").arg(columns.join(QStringLiteral(", ")), params.join(QStringLiteral(", "))));
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
    const auto param = [](Field f) { return int(f) + 1; };

    stage = QStringLiteral("EGN set fields");
    // The texts are handed over as UTF-8 in one buffer that lives until the insert has run, so
    // the engine neither copies them nor converts them from UTF-16 for every call.
    // Every parameter is bound anew for each call, so no binding outlives its buffer.
    char16_t digits[12];
    // The TEXT column would turn a bound number into its decimal text row by row; hand it over.
    const QStringView texts[kTextFieldCount] = {egn.ANummer, DecimalText(egn.Nebenstelle, digits), egn.BNummer,
                                                egn.Zone, egn.Ziel, egn.Kostenstelle, egn.IAS, egn.FilialeID,
                                                egn.GZ, egn.UniqueCallID};
    qsizetype needed = 1;
    for (const QStringView t : texts)
        needed += m_encoder.requiredSpace(t.size()) + 1;
    if (m_buffer.size() < needed)
        m_buffer.resize(needed * 2);
    char* const base = m_buffer.data();
    char* out = base;
    int offsets[kTextFieldCount + 1];
    for (int i = 0; i < kTextFieldCount; ++i) {
        offsets[i] = int(out - base);
        // Carrier data is mostly ASCII: copy that part, the encoder takes the rest from there.
        const QStringView t = texts[i];
        qsizetype k = 0;
        for (; k < t.size() && t[k].unicode() < 0x80; ++k)
            *out++ = char(t[k].unicode());
        if (k < t.size())
            out = m_encoder.appendToBuffer(out, t.sliced(k));
        *out++ = '\0';
    }
    offsets[kTextFieldCount] = int(out - base);
    // An empty text is stored as "" rather than NULL: the readers of EGN deliver texts.
    for (int i = 0; i < kTextFieldCount; ++i)
        m_db.check(sqlite3_bind_text(s, param(kTextFields[i]), base + offsets[i], offsets[i + 1] - offsets[i] - 1, SQLITE_STATIC));
    const auto real = [&](Field f, double value) { m_db.check(sqlite3_bind_double(s, param(f), value)); };
    const auto whole = [&](Field f, qint64 value) { m_db.check(sqlite3_bind_int64(s, param(f), value)); };
    real(Field::Betrag, egn.Betrag);
    real(Field::BeginZeit, egn.BeginZeit);
    whole(Field::Sekunden, egn.Sekunden);
    whole(Field::ZoneCode, egn.ZoneCode);
    real(Field::BetragEuro, egn.BetragEuro);
    real(Field::EndeZeit, egn.EndeZeit);
    whole(Field::DateiID, egn.DateiID);
    real(Field::Rabatt, egn.Rabatt);
    real(Field::RabattEuro, egn.RabattEuro);
    real(Field::RabattProz, double(egn.RabattProz));

    stage = QStringLiteral("post EGN");
    // The schema's limits, with the engine's own message (it skips them while the table is open).
    for (int i = 0; i < kTextFieldCount; ++i) {
        const int bytes = offsets[i + 1] - offsets[i] - 1;
        if (bytes <= m_textWidths[i])
            continue;
        int characters = 0;
        for (const char* p = base + offsets[i]; p < base + offsets[i] + bytes; ++p)
            characters += (*p & 0xC0) != 0x80;
        if (characters > m_textWidths[i])
            throw RuboError(QStringLiteral("CHECK constraint failed: ") + egnColumn(kTextFields[i])->checkText());
    }
    const qint64 ranged[kRangedFieldCount] = {egn.ZoneCode, egn.DateiID};
    for (int i = 0; i < kRangedFieldCount; ++i)
        if (ranged[i] < m_ranged[i]->minimum() || ranged[i] > m_ranged[i]->maximum())
            throw RuboError(QStringLiteral("CHECK constraint failed: ") + m_ranged[i]->checkText());

    const int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) {
        const QString message = m_db.errorText(rc);
        sqlite3_reset(s);
        throw RuboError(message);
    }
    sqlite3_reset(s);
}
