#pragma once

#include <QString>
#include <memory>

class RuboDatabase;
class RuboStatement;

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
    // zone discount, domestic/foreign class and discounted amounts, in this order.
    void Derive();
};

// The open table component `tblEGN` through which an import appends its calls: one prepared
// statement reused for every call.
class TblEGN
{
public:
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
};
