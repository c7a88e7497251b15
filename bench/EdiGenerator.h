#pragma once

#include "database/UserInterface.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class QIODevice;
class RuboDatabase;

struct EdiOptions
{
    bool shortDates = false;     // "yymmdd" in field 9 instead of "yyyymmdd"
    bool decimalPoint = false;   // amounts with "." instead of the carrier's usual ","
};

// A reproducible company and its carrier's ".edi" file for the benchmarks: ten branches (some
// with a number ending in "*", so the extension follows the branch prefix in the calling number),
// 300 extensions, 500 cost-centre assignments with validity periods, 25 zones with German names
// and their discounts, and 2,000 destinations called with a skewed (Zipf) frequency, all through
// 2003. Everything follows from the seed: the generator draws from its own 64-bit generator and
// its own distributions, so the same seed and count give the same bytes on every platform.
class EdiGenerator
{
public:
    static constexpr quint32 kDefaultSeed = 20030101;
    static constexpr int kYear = 2003;

    using Options = EdiOptions;

    struct Branch
    {
        QString kurz;
        QString name;
        QString aNummer;   // ends in "*" when the extension follows it in the calling number
        bool star = false;
    };
    struct Extension
    {
        int branch = 0;               // index into branches()
        int number = 0;               // the extension as a whole number
        QByteArray callingNumber;     // field 2 of its calls
        QByteArray extensionField;    // field 3 of its calls
    };
    struct Zone
    {
        int code = 0;
        QString name;
        double euroPerMinute = 0;   // business time; leisure time costs 60 percent of it
        double setupEuro = 0;
        double medianSeconds = 0;
    };
    struct Destination
    {
        int zone = 0;           // index into zones()
        QByteArray prefix;      // leading digits of field 4; the call adds the subscriber number
        int subscriberDigits = 6;
        QByteArray ziel;        // UTF-8, field 14
    };
    struct Assignment
    {
        QString filialeId;
        QString nebenstelle;   // empty: every extension of the branch
        double vonZeit = 0;
        double bisZeit = 0;
        QString kostenstelle;
    };
    struct ZoneDiscount
    {
        QString zone;
        QString gz;
        double rabattProz = 0;
        QString ias;
    };

    static constexpr int kDefaultDestinations = 2000;
    // `destinations` widens the company's calling: a large customer calls many more places.
    explicit EdiGenerator(quint32 seed = kDefaultSeed, int destinations = kDefaultDestinations);

    quint32 seed() const { return m_seed; }
    const std::vector<Branch>& branches() const { return m_branches; }
    const std::vector<Extension>& extensions() const { return m_extensions; }
    const std::vector<Zone>& zones() const { return m_zones; }
    const std::vector<Destination>& destinations() const { return m_destinations; }
    const std::vector<Assignment>& assignments() const { return m_assignments; }
    const std::vector<ZoneDiscount>& zoneDiscounts() const { return m_zoneDiscounts; }

    // Inserts the branches, cost-centre assignments and zone discounts in one transaction.
    // Throws RuboError.
    void writeReferenceData(RuboDatabase& db) const;

    // Writes the file in UTF-8 with CR LF line ends: two header records ("100", "200"), `calls`
    // call records ("280", exactly 16 fields) in the order of their days, a monthly subtotal
    // ("290") after each month and a trailer ("900" and the count). No empty line, not even at
    // the end, since the reader asks about each one. False on a write error.
    bool writeEdi(QIODevice& out, qint64 calls, const Options& options = {}) const;
    bool writeEdiFile(const QString& path, qint64 calls, const Options& options = {}, QString* error = nullptr) const;

    // Uniform random numbers fixed by their algorithm (splitmix64), unlike std's distributions.
    class Random
    {
    public:
        explicit Random(quint64 seed) : m_state(seed) {}
        quint64 next();
        double uniform();                  // [0, 1)
        int below(int n);                  // [0, n)
        double normal();                   // standard normal (Box-Muller)
        int pick(const std::vector<double>& cumulative);   // index by cumulative weights

    private:
        quint64 m_state;
    };

private:
    void buildBranches(Random& rng);
    void buildZones();
    void buildDestinations(Random& rng, int count);
    void buildAssignments(Random& rng);
    void buildZoneDiscounts();

    quint32 m_seed;
    std::vector<Branch> m_branches;
    std::vector<Extension> m_extensions;
    std::vector<Zone> m_zones;
    std::vector<Destination> m_destinations;
    std::vector<Assignment> m_assignments;
    std::vector<ZoneDiscount> m_zoneDiscounts;
    std::vector<double> m_extensionCumulative;
    std::vector<double> m_destinationCumulative;
};

// Stands in for the user in a benchmark: answers every question with No, shows nothing, and
// keeps every message, since any message means the run measured something other than an import.
class BenchUi : public RuboUi
{
public:
    BenchUi();
    ~BenchUi() override;

    void setStatusPanel(StatusPanel, const QString&) override { ++statusTexts; }
    void clearStatusPanels() override {}
    void messageOk(const QString& text, MsgKind) override { messages << text; }
    bool askYesNo(const QString& text) override
    {
        messages << text;
        return false;
    }
    void processEvents() override {}
    void setWaitCursor(bool) override {}

    QStringList messages;
    qint64 statusTexts = 0;

private:
    RuboUi* m_previous = nullptr;
};

// One figure of a benchmark as a line "key value", the keys padded to `width`, flushed at once.
void PrintFigure(const char* key, const QString& value, int width);
// Seconds with three decimals.
QString SecondsText(double seconds);

// Peak resident memory of this process so far (VmHWM), in KiB; -1 where /proc is missing.
qint64 PeakRssKb();

// Builds a database for the benchmarks that read calls: in `directory`, writes "calls.edi" with
// `calls` calls and "RuboTool.mdb" (which must not exist yet) with the reference data, and
// imports the file into it through the real import. False, with the reason in *error, on any
// message or failure.
bool BuildCallDatabase(const QString& directory, qint64 calls, quint32 seed = EdiGenerator::kDefaultSeed,
                       QString* error = nullptr, int destinations = EdiGenerator::kDefaultDestinations);

// Reads "--dir DIR" or "--calls N" at args[i], moving i past its value; false for any other.
bool ReadDatabaseOption(const QStringList& args, int& i, QString& directory, qint64& calls);

// The database a reading benchmark works on: RuboTool.mdb in `directory`, or in `scratch` when
// that is empty, built first with `calls` calls when it is not there (the time printed with
// `width`). Empty, after `program` told why on stderr, when it cannot be built.
QString BenchDatabase(QString directory, const QString& scratch, qint64 calls, const char* program, int width,
                      int destinations = EdiGenerator::kDefaultDestinations);
