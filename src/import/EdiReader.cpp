#include "EdiReader.h"

#include "Conversions.h"
#include "Egn.h"

namespace {

QStringView trimmedRight(QStringView text)
{
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1) == QLatin1Char(' '))
        --n;
    return text.first(n);
}

void assign(QString& target, QStringView value)
{
    // Reuses the record's buffer instead of allocating a new text for every call.
    target.resize(0);
    target.append(value);
}

} // namespace

TextCallFormat::Verdict EdiReader::classify(QStringView line, int& code)
{
    const int split = SplitAtChar(line, QLatin1Char('\t'), m_fields);
    if (split != 0) {
        code = split;
        return Verdict::SplitFailed;
    }
    if (m_fields.at(0) != u"280")
        return Verdict::NotACall;
    if (m_fields.size() < kRequiredFields) {
        code = kRequiredFields;
        return Verdict::TooFewFields;
    }
    return Verdict::Call;
}

void EdiReader::fill(TEGN& egn)
{
    const QList<QStringView>& f = m_fields;
    assign(egn.ANummer, f.at(2));
    egn.Nebenstelle = ParseIntOrZero(f.at(3));
    assign(egn.BNummer, f.at(4));
    egn.Betrag = ParseNumber(f.at(6));
    egn.BeginZeit = ParseCompactDateTime(f.at(9), f.at(10));
    egn.Sekunden = ParseIntOrZero(f.at(7));
    egn.ZoneCode = ParseIntOrZero(f.at(11));
    assign(egn.Zone, f.at(12));
    assign(egn.Ziel, f.at(14));
    assign(egn.GZ, trimmedRight(f.at(13)));
    assign(egn.UniqueCallID, trimmedRight(f.at(15)));
}
