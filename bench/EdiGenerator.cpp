#include "bench/EdiGenerator.h"

#include <cstdio>

#include "import/ImportDriver.h"
#include "database/ReferenceLists.h"
#include "database/RuboEngine.h"
#include "database/RuboError.h"
#include "database/dmlMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace {

// 1 January 2003 as a day serial (days since 30.12.1899); 2003 has 365 days.
constexpr double kFirstDay = 37622;
constexpr int kDays = 365;
constexpr double kLastSecond = 86399.0 / 86400.0;

struct ZoneSpec
{
    int code;
    const char* name;
    double euroPerMinute;
    double setupEuro;
    double medianSeconds;
    double share;          // of the calls
    const char* prefix;    // of the called numbers
    const char* ias;       // of its discount entry; empty lets the zone code decide
    double rabattGz;       // percent in business time
    double rabattFz;
    const char* const* places;
};

const char* const kRegional[] = {"Graz", "Leoben", "Gleisdorf", "Weiz", "Voitsberg", "Deutschlandsberg", "Leibnitz",
                                 "Feldbach", "Hartberg", "Bruck an der Mur", "Kapfenberg", "Köflach", nullptr};
const char* const kOesterreich[] = {"Wien", "Linz", "Salzburg", "Innsbruck", "Klagenfurt", "Villach", "Bregenz",
                                    "Sankt Pölten", "Wels", "Steyr", "Dornbirn", "Wiener Neustadt", "Feldkirch",
                                    "Krems", "Eisenstadt", "Gmünd", "Zell am See", "Bad Ischl", nullptr};
const char* const kMobil[] = {"A1 Mobil", "Magenta Mobil", "Drei Mobil", "HoT Mobil", "spusu Mobil", nullptr};
const char* const kSonder[] = {"Service 0800", "Service 0810", "Service 0820", "Auskunft 118", "Notruf", nullptr};
const char* const kMehrwert[] = {"Mehrwert 0900", "Mehrwert 0930", "Televoting", nullptr};
const char* const kOnline[] = {"Einwahl 0804", "Einwahl 0718", nullptr};
const char* const kDeutschland[] = {"Berlin", "München", "Köln", "Hamburg", "Frankfurt", "Stuttgart", "Düsseldorf",
                                    "Nürnberg", "Passau", "Regensburg", "Würzburg", "Lübeck", "Göttingen", "Saarbrücken",
                                    "Freiburg", "Rosenheim", "Traunstein", nullptr};
const char* const kDeMobil[] = {"T-Mobile D", "Vodafone D", "E-Plus", "O2 Germany", nullptr};
const char* const kNachbar[] = {"Tschechien", "Ungarn", "Slowenien", "Slowakei", "Italien", nullptr};
const char* const kSchweiz[] = {"Zürich", "Genf", "Basel", "Bern", "St. Gallen", "Vaduz", nullptr};
const char* const kWest[] = {"Paris", "Lyon", "Brüssel", "Amsterdam", "Luxemburg", "London", "Dublin", nullptr};
const char* const kSued[] = {"Madrid", "Barcelona", "Lissabon", "Rom", "Mailand", "Athen", "Málaga", nullptr};
const char* const kNord[] = {"Kopenhagen", "Stockholm", "Oslo", "Helsinki", "Göteborg", "Århus", nullptr};
const char* const kOst[] = {"Warschau", "Krakau", "Bukarest", "Sofia", "Zagreb", "Belgrad", "Kiew", "Moskau", nullptr};
const char* const kTuerkei[] = {"Istanbul", "Ankara", "Izmir", "Antalya", nullptr};
const char* const kAfrika[] = {"Kairo", "Tunis", "Casablanca", "Johannesburg", "Nairobi", nullptr};
const char* const kIvoire[] = {"Abidjan", "Yamoussoukro", "Bouaké", nullptr};
const char* const kNordamerika[] = {"New York", "Chicago", "Toronto", "Montréal", "San Francisco", nullptr};
const char* const kSuedamerika[] = {"São Paulo", "Buenos Aires", "Bogotá", "Lima", nullptr};
const char* const kAsien[] = {"Peking", "Shanghai", "Tokio", "Seoul", "Singapur", "Mumbai", nullptr};
const char* const kNahost[] = {"Dubai", "Tel Aviv", "Riad", "Beirut", nullptr};
const char* const kAustralien[] = {"Sydney", "Melbourne", "Auckland", nullptr};
const char* const kWeltMobil[] = {"Mobilnetz Ausland", "Roaming EU", nullptr};
const char* const kSatellit[] = {"Inmarsat", "Iridium", nullptr};

// Codes 1-10 are domestic, 40-150 foreign, others special; "Sonderrufnummern" carries a foreign
// code but its discount entry says "S", as carriers' tables do.
const ZoneSpec kZones[] = {
    {1, "Regionalzone", 0.05, 0.0, 150, 20.0, "03", "I", 0, 0, kRegional},
    {2, "Österreich", 0.08, 0.0, 180, 18.0, "0", "I", 5, 0, kOesterreich},
    {3, "Österreich Mobil", 0.22, 0.0, 90, 14.0, "066", "I", 10, 10, kMobil},
    {4, "Mobilnetz", 0.25, 0.0, 80, 4.0, "067", "I", 0, 0, kMobil},
    {7, "Online-Dienste", 0.02, 0.0, 900, 1.5, "080", "", 0, 0, kOnline},
    {40, "Deutschland", 0.20, 0.0, 240, 12.0, "0049", "A", 15, 10, kDeutschland},
    {41, "Nachbarländer", 0.30, 0.0, 200, 6.0, "00", "A", 10, 0, kNachbar},
    {42, "Deutschland Mobil", 0.45, 0.0, 100, 3.0, "004917", "A", 0, 0, kDeMobil},
    {43, "Schweiz & Liechtenstein", 0.32, 0.0, 210, 3.0, "0041", "A", 5, 5, kSchweiz},
    {50, "Westeuropa", 0.35, 0.0, 240, 3.0, "00", "A", 0, 0, kWest},
    {51, "Südeuropa", 0.38, 0.0, 240, 2.5, "00", "A", 0, 0, kSued},
    {52, "Nordeuropa", 0.40, 0.0, 220, 1.0, "00", "A", 0, 0, kNord},
    {53, "Osteuropa", 0.45, 0.0, 300, 2.0, "00", "A", 20, 20, kOst},
    {54, "Türkei", 0.55, 0.0, 360, 0.8, "0090", "A", 0, 0, kTuerkei},
    {60, "Afrika", 0.95, 0.10, 300, 0.5, "002", "A", 0, 0, kAfrika},
    {61, "Côte d'Ivoire", 1.05, 0.10, 240, 0.3, "00225", "A", 0, 0, kIvoire},
    {70, "Nordamerika", 0.35, 0.0, 400, 1.5, "001", "", 10, 10, kNordamerika},
    {71, "Südamerika", 0.90, 0.0, 300, 0.4, "005", "A", 0, 0, kSuedamerika},
    {80, "Asien", 0.85, 0.0, 280, 0.8, "008", "A", 0, 0, kAsien},
    {81, "Naher Osten", 0.90, 0.0, 250, 0.4, "009", "A", 0, 0, kNahost},
    {82, "Australien & Ozeanien", 0.95, 0.0, 300, 0.2, "006", "A", 0, 0, kAustralien},
    {90, "Sonderrufnummern", 0.10, 0.0, 120, 2.5, "08", "S", 0, 0, kSonder},
    {91, "Mehrwertnummern", 1.09, 0.0, 150, 0.5, "09", "S", 0, 0, kMehrwert},
    {160, "Internationale Mobilnetze", 1.50, 0.20, 120, 0.4, "00", "", 0, 0, kWeltMobil},
    {170, "Satellit (Inmarsat)", 4.50, 0.50, 90, 0.1, "00870", "S", 0, 0, kSatellit},
};
static_assert(sizeof(kZones) / sizeof(kZones[0]) == 25, "25 zones");

const char* const kSuffixes[] = {"Nord", "Süd", "Ost", "West", "Mitte", "Land", "Umgebung", "Zentrum"};

struct BranchSpec
{
    const char* kurz;
    const char* name;
    const char* aNummer;
    int extensions;
    int firstExtension;
};

// Star branches deliver the extension as the tail of the calling number; the others call from
// one number and name the extension in field 3.
const BranchSpec kBranches[] = {
    {"GRZ", "Graz Zentrale", "0316471*", 60, 10},
    {"WIE", "Wien", "0153362*", 50, 20},
    {"LNZ", "Linz", "0732778899", 40, 100},
    {"SBG", "Salzburg", "0662834*", 35, 10},
    {"IBK", "Innsbruck", "0512573311", 30, 200},
    {"KLU", "Klagenfurt", "0463512*", 25, 30},
    {"BRE", "Bregenz", "05574420", 20, 300},
    {"VIL", "Villach", "0424227*", 15, 40},
    {"WEL", "Wels", "0724245500", 15, 500},
    {"LEO", "Leoben", "0384221*", 10, 60},
};

QByteArray utf8(const char* text)
{
    return QByteArray(text);
}

void appendNumber(QByteArray& out, qint64 value, int minDigits = 1)
{
    char buffer[24];
    int pos = 24;
    const bool negative = value < 0;
    quint64 v = negative ? quint64(-value) : quint64(value);
    do {
        buffer[--pos] = char('0' + v % 10);
        v /= 10;
        --minDigits;
    } while (v > 0 || minDigits > 0);
    if (negative)
        buffer[--pos] = '-';
    out.append(buffer + pos, 24 - pos);
}

std::vector<double> cumulativeOf(const std::vector<double>& weights)
{
    std::vector<double> c(weights.size());
    double sum = 0;
    for (size_t i = 0; i < weights.size(); ++i)
        c[i] = (sum += weights[i]);
    for (double& v : c)
        v /= sum;
    return c;
}

void civilFromDays(int dayOfYear, int& month, int& day)
{
    static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    month = 0;
    while (dayOfYear >= kMonthDays[month]) {
        dayOfYear -= kMonthDays[month];
        ++month;
    }
    ++month;
    day = dayOfYear + 1;
}

} // namespace

// ---------------------------------------------------------------------------------------------

quint64 EdiGenerator::Random::next()
{
    quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double EdiGenerator::Random::uniform()
{
    return double(next() >> 11) * (1.0 / 9007199254740992.0);
}

int EdiGenerator::Random::below(int n)
{
    return int(uniform() * n);
}

double EdiGenerator::Random::normal()
{
    const double u1 = 1.0 - uniform();
    const double u2 = uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
}

int EdiGenerator::Random::pick(const std::vector<double>& cumulative)
{
    const double u = uniform();
    const auto it = std::upper_bound(cumulative.begin(), cumulative.end(), u);
    return it == cumulative.end() ? int(cumulative.size()) - 1 : int(it - cumulative.begin());
}

// ---------------------------------------------------------------------------------------------

EdiGenerator::EdiGenerator(quint32 seed, int destinations) : m_seed(seed)
{
    Random rng(seed);
    buildBranches(rng);
    buildZones();
    buildDestinations(rng, std::max(destinations, int(sizeof(kZones) / sizeof(kZones[0])) * 2));
    buildAssignments(rng);
    buildZoneDiscounts();
}

void EdiGenerator::buildBranches(Random& rng)
{
    std::vector<double> weights;
    for (const BranchSpec& s : kBranches) {
        Branch b;
        b.kurz = QString::fromUtf8(s.kurz);
        b.name = QString::fromUtf8(s.name);
        b.aNummer = QString::fromUtf8(s.aNummer);
        b.star = b.aNummer.endsWith(QLatin1Char('*'));
        const int branchIndex = int(m_branches.size());
        m_branches.push_back(b);
        const QByteArray prefix = b.star ? b.aNummer.chopped(1).toUtf8() : b.aNummer.toUtf8();
        for (int i = 0; i < s.extensions; ++i) {
            Extension e;
            e.branch = branchIndex;
            e.number = s.firstExtension + i;
            e.extensionField = QByteArray::number(e.number);
            e.callingNumber = b.star ? prefix + e.extensionField : prefix;
            m_extensions.push_back(e);
            // A few heavy callers and a long tail, as in any office.
            weights.push_back(1.0 / std::pow(1.0 + rng.below(int(m_extensions.size()) + 20), 0.7));
        }
    }
    m_extensionCumulative = cumulativeOf(weights);
}

void EdiGenerator::buildZones()
{
    for (const ZoneSpec& s : kZones) {
        Zone z;
        z.code = s.code;
        z.name = QString::fromUtf8(s.name);
        z.euroPerMinute = s.euroPerMinute;
        z.setupEuro = s.setupEuro;
        z.medianSeconds = s.medianSeconds;
        m_zones.push_back(z);
    }
}

void EdiGenerator::buildDestinations(Random& rng, int count)
{
    double shareSum = 0;
    for (const ZoneSpec& s : kZones)
        shareSum += s.share;
    // Each zone gets destinations by its share (at least two); the remainder goes to zone 0.
    std::vector<int> perZone;
    int assigned = 0;
    for (const ZoneSpec& s : kZones) {
        const int n = std::max(2, int(count * s.share / shareSum));
        perZone.push_back(n);
        assigned += n;
    }
    perZone[0] += count - assigned;

    for (size_t z = 0; z < perZone.size(); ++z) {
        const ZoneSpec& s = kZones[z];
        int places = 0;
        while (s.places[places])
            ++places;
        for (int j = 0; j < perZone[z]; ++j) {
            Destination d;
            d.zone = int(z);
            d.ziel = utf8(s.places[j % places]);
            const int round = j / places;
            // Districts first, then numbered exchanges, so every destination's name is its own.
            if (round > 0 && round <= int(sizeof(kSuffixes) / sizeof(kSuffixes[0])))
                d.ziel += ' ' + utf8(kSuffixes[round - 1]);
            else if (round > 0)
                d.ziel += ' ' + QByteArray::number(round);
            d.prefix = utf8(s.prefix);
            appendNumber(d.prefix, 10 + rng.below(90));
            appendNumber(d.prefix, rng.below(100), 2);
            d.subscriberDigits = 4 + rng.below(4);
            m_destinations.push_back(d);
        }
    }
    // Within each zone a Zipf law over a shuffled order: Wien and Berlin need not lead, but a
    // few destinations of every zone take most of its calls.
    std::vector<double> weights(m_destinations.size());
    size_t first = 0;
    for (size_t z = 0; z < perZone.size(); ++z) {
        const size_t n = size_t(perZone[z]);
        std::vector<int> rank(n);
        for (size_t i = 0; i < n; ++i)
            rank[i] = int(i);
        for (size_t i = n - 1; i > 0; --i)
            std::swap(rank[i], rank[size_t(rng.below(int(i) + 1))]);
        double harmonic = 0;
        for (size_t i = 0; i < n; ++i)
            harmonic += 1.0 / double(i + 1);
        for (size_t i = 0; i < n; ++i)
            weights[first + i] = kZones[z].share / (harmonic * (1.0 + rank[i]));
        first += n;
    }
    m_destinationCumulative = cumulativeOf(weights);
}

void EdiGenerator::buildAssignments(Random& rng)
{
    const double yearEnd = kFirstDay + kDays - 1 + kLastSecond;
    // Whole-branch entries for extensions without their own assignment.
    for (const Branch& b : m_branches)
        m_assignments.push_back({b.kurz, QString(), kFirstDay, yearEnd, QStringLiteral("9") + b.kurz});
    // One assignment per extension; 190 of them change their cost centre during the year, and
    // every tenth of those leaves a gap of some weeks that the branch entry fills.
    int changes = 0;
    for (size_t i = 0; i < m_extensions.size(); ++i) {
        const Extension& e = m_extensions[i];
        const QString filiale = m_branches[size_t(e.branch)].kurz;
        const QString nebenstelle = QString::number(e.number);
        const QString first = QStringLiteral("K%1").arg(4000 + rng.below(60));
        if (changes < 190 && (i % 3 != 2 || m_extensions.size() - i <= size_t(190 - changes))) {
            ++changes;
            const int day = 30 + rng.below(300);
            const int gap = changes % 10 == 0 ? 14 + rng.below(30) : 0;
            m_assignments.push_back({filiale, nebenstelle, kFirstDay, kFirstDay + day - 1 + kLastSecond, first});
            m_assignments.push_back({filiale, nebenstelle, kFirstDay + day + gap, yearEnd,
                                     QStringLiteral("K%1").arg(4000 + rng.below(60))});
        } else {
            m_assignments.push_back({filiale, nebenstelle, kFirstDay, yearEnd, first});
        }
    }
}

void EdiGenerator::buildZoneDiscounts()
{
    for (const ZoneSpec& s : kZones) {
        const QString zone = QString::fromUtf8(s.name);
        const QString ias = QString::fromUtf8(s.ias);
        m_zoneDiscounts.push_back({zone, QStringLiteral("GZ"), s.rabattGz, ias});
        m_zoneDiscounts.push_back({zone, QStringLiteral("FZ"), s.rabattFz, ias});
    }
}

void EdiGenerator::writeReferenceData(RuboDatabase& db) const
{
    RuboTransaction transaction(db);
    {
        RuboStatement filiale(db, QStringLiteral("INSERT INTO Filialen (Kurz, Name, ANummer) VALUES (?, ?, ?)"));
        for (const Branch& b : m_branches) {
            filiale.bindText(1, b.kurz);
            filiale.bindText(2, b.name);
            filiale.bindText(3, b.aNummer);
            filiale.step();
            filiale.reset();
        }
        RuboStatement kst(db, QStringLiteral("INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, "
                                             "Kostenstelle) VALUES (?, ?, ?, ?, ?)"));
        for (const Assignment& a : m_assignments) {
            kst.bindText(1, a.filialeId);
            kst.bindText(2, a.nebenstelle);
            kst.bindDouble(3, a.vonZeit);
            kst.bindDouble(4, a.bisZeit);
            kst.bindText(5, a.kostenstelle);
            kst.step();
            kst.reset();
        }
        RuboStatement rabatt(db, QStringLiteral("INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES (?, ?, ?, ?)"));
        for (const ZoneDiscount& z : m_zoneDiscounts) {
            rabatt.bindText(1, z.zone);
            rabatt.bindText(2, z.gz);
            rabatt.bindDouble(3, z.rabattProz);
            rabatt.bindText(4, z.ias);
            rabatt.step();
            rabatt.reset();
        }
    }
    transaction.commit();
}

bool EdiGenerator::writeEdi(QIODevice& out, qint64 calls, const Options& options) const
{
    Random rng(quint64(m_seed) * 0x100000001B3ull + quint64(calls));
    QByteArray buf;
    buf.reserve(1 << 20);
    auto flush = [&](bool force) {
        if (!force && buf.size() < (1 << 20) - 512)
            return true;
        const bool ok = out.write(buf) == buf.size();
        buf.resize(0);
        return ok;
    };

    buf.append("100\tDRAVIK Telekom\tEinzelgesprächsnachweis\t");
    appendNumber(buf, kYear);
    buf.append("\r\n200\tKunde 4711\tMusterfirma GmbH\r\n");

    int currentMonth = 1;
    qint64 monthCount = 0, monthCents = 0;
    auto subtotal = [&] {
        buf.append("290\t");
        appendNumber(buf, kYear * 100 + currentMonth);
        buf.append('\t');
        appendNumber(buf, monthCount);
        buf.append('\t');
        appendNumber(buf, monthCents / 100);
        buf.append(options.decimalPoint ? '.' : ',');
        appendNumber(buf, monthCents % 100, 2);
        buf.append("\r\n");
    };

    for (qint64 i = 0; i < calls; ++i) {
        const int dayOfYear = int(i * kDays / std::max<qint64>(calls, 1));
        int month = 0, day = 0;
        civilFromDays(dayOfYear, month, day);
        if (month != currentMonth) {
            subtotal();
            currentMonth = month;
            monthCount = monthCents = 0;
        }
        // 1 January 2003 was a Wednesday.
        const int weekday = (dayOfYear + 2) % 7;   // 0 = Monday
        const bool workday = weekday < 5;
        int secondOfDay;
        if (workday && rng.uniform() < 0.88)
            secondOfDay = int(std::clamp(12.5 * 3600 + rng.normal() * 2.6 * 3600, 6.0 * 3600, 21.0 * 3600));
        else
            secondOfDay = 7 * 3600 + rng.below(15 * 3600);
        const int hour = secondOfDay / 3600;
        const bool business = workday && hour >= 8 && hour < 18;

        const Extension& ext = m_extensions[size_t(rng.pick(m_extensionCumulative))];
        const Destination& dest = m_destinations[size_t(rng.pick(m_destinationCumulative))];
        const Zone& zone = m_zones[size_t(dest.zone)];
        const int seconds = int(std::clamp(zone.medianSeconds * std::exp(0.9 * rng.normal()), 1.0, 7200.0));
        const double euro = zone.setupEuro + zone.euroPerMinute * (business ? 1.0 : 0.6) * seconds / 60.0;
        const qint64 cents = qint64(std::llround(euro * 100));
        ++monthCount;
        monthCents += cents;

        buf.append("280\t");
        appendNumber(buf, i + 1);
        buf.append('\t');
        buf.append(ext.callingNumber);
        buf.append('\t');
        buf.append(ext.extensionField);
        buf.append('\t');
        buf.append(dest.prefix);
        for (int d = 0; d < dest.subscriberDigits; ++d)
            buf.append(char('0' + rng.below(10)));
        buf.append("\t\t");
        appendNumber(buf, cents / 100);
        buf.append(options.decimalPoint ? '.' : ',');
        appendNumber(buf, cents % 100, 2);
        buf.append('\t');
        appendNumber(buf, seconds);
        buf.append("\t\t");
        appendNumber(buf, options.shortDates ? (kYear % 100) * 10000 + month * 100 + day
                                             : kYear * 10000 + month * 100 + day,
                     6);
        buf.append('\t');
        appendNumber(buf, hour * 10000 + (secondOfDay / 60 % 60) * 100 + secondOfDay % 60, 6);
        buf.append('\t');
        appendNumber(buf, zone.code);
        buf.append('\t');
        buf.append(kZones[dest.zone].name);
        buf.append('\t');
        buf.append(business ? "GZ" : "FZ");
        buf.append('\t');
        buf.append(dest.ziel);
        buf.append("\tC");
        appendNumber(buf, kYear % 100 * 100 + month, 4);
        appendNumber(buf, i + 1, 8);
        buf.append("\r\n");
        if (!flush(false))
            return false;
    }
    if (calls > 0)
        subtotal();
    buf.append("900\t");
    appendNumber(buf, calls);
    buf.append("\r\n");
    return flush(true);
}

bool EdiGenerator::writeEdiFile(const QString& path, qint64 calls, const Options& options, QString* error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !writeEdi(file, calls, options) || !file.commit()) {
        if (error)
            *error = QStringLiteral("Kann Datei %1 nicht schreiben: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

BenchUi::BenchUi() : m_previous(RuboUi::current())
{
    RuboUi::install(this);
}

BenchUi::~BenchUi()
{
    RuboUi::install(m_previous);
}

qint64 PeakRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

bool BuildCallDatabase(const QString& directory, qint64 calls, quint32 seed, QString* error, int destinations)
{
    auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    const QDir dir(directory);
    const QString edi = dir.filePath(QStringLiteral("calls.edi"));
    const QString mdb = dir.filePath(TdmMain::defaultDatabaseName());
    if (QFileInfo::exists(mdb))
        return fail(QStringLiteral("Die Datenbank %1 gibt es schon.").arg(mdb));
    const EdiGenerator generator(seed, destinations);
    QString reason;
    if (!generator.writeEdiFile(edi, calls, {}, &reason))
        return fail(reason);

    BenchUi ui;
    TdmMain dm(mdb);
    bool ok = false;
    if (dm.open()) {
        try {
            generator.writeReferenceData(dm.RuboDB());
            const ImportResult result = ImportFile(dm, edi);
            ok = result.complete && result.count == calls && ui.messages.isEmpty();
            if (!ok)
                reason = QStringLiteral("Import: %1 von %2 Anrufen. %3").arg(result.count).arg(calls).arg(ui.messages.join(QLatin1Char('|')));
        } catch (const RuboError& e) {
            reason = e.message();
        }
    } else {
        reason = ui.messages.join(QLatin1Char('|'));
    }
    return ok ? true : fail(reason);
}

void PrintFigure(const char* key, const QString& value, int width)
{
    std::printf("%-*s %s\n", width, key, qPrintable(value));
    std::fflush(stdout);
}

QString SecondsText(double seconds)
{
    return QString::number(seconds, 'f', 3);
}

bool ReadDatabaseOption(const QStringList& args, int& i, QString& directory, qint64& calls)
{
    if (i + 1 >= args.size())
        return false;
    if (args[i] == QLatin1String("--dir"))
        directory = args[++i];
    else if (args[i] == QLatin1String("--calls"))
        calls = args[++i].toLongLong();
    else
        return false;
    return true;
}

QString BenchDatabase(QString directory, const QString& scratch, qint64 calls, const char* program, int width, int destinations)
{
    if (directory.isEmpty())
        directory = scratch;
    QDir().mkpath(directory);
    const QString mdb = QDir(directory).absoluteFilePath(TdmMain::defaultDatabaseName());
    if (QFileInfo::exists(mdb))
        return mdb;
    QElapsedTimer t;
    t.start();
    QString error;
    if (!BuildCallDatabase(directory, calls, EdiGenerator::kDefaultSeed, &error, destinations)) {
        std::fprintf(stderr, "%s: %s\n", program, qPrintable(error));
        return {};
    }
    PrintFigure("database built s:", SecondsText(t.nsecsElapsed() / 1e9), width);
    return mdb;
}
