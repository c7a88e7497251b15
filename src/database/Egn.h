#pragma once

#include <QByteArray>
#include <QString>
#include <QStringEncoder>
#include <memory>

class ReferenceLists;
struct RuboColumn;
class RuboDatabase;
class RuboStatement;

// The decimal text of an extension in a caller's buffer, without leading zeros: the cost-centre
// lookup and the writes of every call use it.
QStringView DecimalText(qint32 value, char16_t (&buffer)[12]);

// One call on its way into table EGN; filled by a reader, completed by "berechne EGN".
struct TEGN
{
    QString ANummer;
    qint32 Nebenstelle = 0;
    QString BNummer;
    double Betrag = 0;
    double BetragEuro = 0;
    double BeginZeit = 0;
    qint32 Sekunden = 0;
    double EndeZeit = 0;
    qint32 ZoneCode = 0;
    QString Zone;
    QString Ziel;
    QString Kostenstelle;
    QString IAS;
    qint32 DateiID = 0;
    QString FilialeID;
    QString GZ;
    QString UniqueCallID;
    double Rabatt = 0;
    double RabattEuro = 0;
    float RabattProz = 0;

    // Every text empty, every number and date 0 (keeps the texts' buffers for the next call).
    void Reset();
    // "berechne EGN": branch, cost centre, end time, Euro amount, amount, business-time class,
    // zone discount, domestic/foreign class and discounted amounts, in this order, from the
    // reference lists of the database the call goes into. An amount that is not finite or
    // beyond a billion is refused as a conversion error (RuboError).
    void Derive(ReferenceLists& lists);
};

// The open table component `tblEGN` through which an import appends its calls: one prepared
// statement reused for every call.
class TblEGN
{
public:
    // The columns an import writes, in the order of the insert's parameters.
    enum class Field {
        ANummer, Nebenstelle, BNummer, Betrag, BeginZeit, Sekunden, ZoneCode, Zone, Ziel, Kostenstelle, IAS,
        BetragEuro, EndeZeit, DateiID, FilialeID, GZ, UniqueCallID, Rabatt, RabattEuro, RabattProz
    };
    static constexpr int kFieldCount = int(Field::RabattProz) + 1;
    // The text columns, in the order their widths are checked.
    static constexpr Field kTextFields[] = {Field::ANummer, Field::Nebenstelle, Field::BNummer, Field::Zone,
                                            Field::Ziel, Field::Kostenstelle, Field::IAS, Field::FilialeID,
                                            Field::GZ, Field::UniqueCallID};
    static constexpr int kTextFieldCount = int(sizeof kTextFields / sizeof kTextFields[0]);
    // The whole numbers narrower than the record's, in the order their ranges are checked.
    static constexpr Field kRangedFields[] = {Field::ZoneCode, Field::DateiID};
    static constexpr int kRangedFieldCount = int(sizeof kRangedFields / sizeof kRangedFields[0]);
    static const char* fieldName(Field field);
    static const RuboColumn* egnColumn(Field field);

    explicit TblEGN(RuboDatabase& db);
    ~TblEGN();
    void open();
    void close();
    bool isOpen() const;
    // Stores the stage names "append EGN", "EGN set fields" and "post EGN" in `stage` as it goes.
    void Append(const TEGN& egn, QString& stage);

private:
    RuboDatabase& m_db;
    std::unique_ptr<RuboStatement> m_insert;
    bool m_checksSkipped = false;
    int m_textWidths[kTextFieldCount] = {};
    const RuboColumn* m_ranged[kRangedFieldCount] = {};
    // The texts of one call as UTF-8, reused from call to call.
    QByteArray m_buffer;
    QStringEncoder m_encoder{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
};
