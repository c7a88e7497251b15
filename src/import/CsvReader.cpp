#include "import/CsvReader.h"

#include "database/Conversions.h"
#include "database/Egn.h"

TextCallFormat::Verdict CsvReader::classify(QStringView line, int& code)
{
    // The comma-text split never fails: an empty line simply has no fields.
    SplitCommaText(line.toString(), QStringLiteral(";"), m_fields);
    if (m_fields.size() < kRequiredFields) {
        code = kRequiredFields;
        return Verdict::TooFewFields;
    }
    return Verdict::Call;
}

void CsvReader::fill(TEGN& egn)
{
    const QStringList& f = m_fields;
    egn.ANummer = f.at(0);
    egn.Nebenstelle = ParseIntOrZero(f.at(1));
    egn.BNummer = f.at(2);
    egn.Betrag = ParseNumber(f.at(3));
    egn.BeginZeit = ParseDateTime(f.at(5));
    egn.Sekunden = ParseIntOrZero(f.at(4));
    egn.ZoneCode = ParseIntOrZero(f.at(6));
    egn.Zone = f.at(7);
    egn.Ziel = f.at(8);
    egn.GZ = TrimmedText(f.at(13));
}
