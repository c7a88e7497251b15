#include "Egn.h"

#include "ReferenceLists.h"
#include "RuboEngine.h"
#include "RuboError.h"

#include <limits>

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

// An empty text is stored as "" rather than NULL: the readers of EGN deliver texts.
QStringView notNull(const QString& text)
{
    return text.isEmpty() ? QStringView(u"") : QStringView(text);
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

TblEGN::~TblEGN() = default;

void TblEGN::open()
{
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
    RuboStatement& s = *m_insert;
    s.reset();

    stage = QStringLiteral("EGN set fields");
    s.bindText(1, notNull(egn.ANummer));
    s.bindInt(2, egn.Nebenstelle);   // the TEXT column keeps its decimal text
    s.bindText(3, notNull(egn.BNummer));
    s.bindDouble(4, egn.Betrag);
    s.bindDouble(5, egn.BeginZeit);
    s.bindInt(6, egn.Sekunden);
    s.bindInt(7, egn.ZoneCode);
    s.bindText(8, notNull(egn.Zone));
    s.bindText(9, notNull(egn.Ziel));
    s.bindText(10, notNull(egn.Kostenstelle));
    s.bindText(11, notNull(egn.IAS));
    s.bindDouble(12, egn.BetragEuro);
    s.bindDouble(13, egn.EndeZeit);
    s.bindInt(14, egn.DateiID);
    s.bindText(15, notNull(egn.FilialeID));
    s.bindText(16, notNull(egn.GZ));
    s.bindText(17, notNull(egn.UniqueCallID));
    s.bindDouble(18, egn.Rabatt);
    s.bindDouble(19, egn.RabattEuro);
    s.bindDouble(20, double(egn.RabattProz));

    stage = QStringLiteral("post EGN");
    s.step();
    s.reset();
}
