#include "import/OneReader.h"

#include "database/Conversions.h"
#include "database/Egn.h"

#include <cmath>

TextCallFormat::Verdict OneReader::classify(QStringView line, int& code)
{
    const int split = SplitAtChar(line, QLatin1Char(';'), m_fields);
    if (split != 0) {
        code = split;
        return Verdict::SplitFailed;
    }
    if (m_fields.size() < kRequiredFields) {
        code = kRequiredFields;
        return Verdict::TooFewFields;
    }
    // An unreadable date would store the call on 30.12.1899 without a word.
    const QString date = m_fields.at(3).toString();
    if (!TryParseShortDate(date, m_date)) {
        m_problem = QStringLiteral("Das Datum (") + date + QStringLiteral(") ist nicht lesbar.");
        return Verdict::Unusable;
    }
    return Verdict::Call;
}

void OneReader::fill(TEGN& egn)
{
    const QList<QStringView>& f = m_fields;
    egn.ANummer = f.at(2).toString();
    egn.BNummer = f.at(5).toString();
    egn.Betrag = ParseNumber(f.at(9));
    egn.BeginZeit = ComposeDateTime(m_date, ParseTime(f.at(4).toString()));
    // The duration is a time of day; half a second up, so that 00:01:30 is 90 and not 89.
    egn.Sekunden = qint32(std::floor(ParseTime(f.at(8).toString()) * 24 * 3600 + 0.5));
    egn.Zone = f.at(7).toString();
    egn.Ziel = f.at(6).toString();
}
