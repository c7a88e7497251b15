#include "import/EdiReader.h"

#include "database/Conversions.h"
#include "database/Egn.h"

#include <cstring>
#include <limits>

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
    target.resize(value.size());
    if (!value.isEmpty())
        memcpy(target.data(), value.data(), size_t(value.size()) * sizeof(QChar));
}

// SplitAtChar for tabs without growing the list field by field: the tabs are found first, then
// the fields written in place. The split is a large part of reading a call line.
int splitAtTabs(QStringView line, QList<QStringView>& fields)
{
    constexpr int kMaxTabs = 64;
    if (line.isEmpty()) {
        fields.clear();
        return 1;
    }
    qsizetype tabs[kMaxTabs];
    int n = 0;
    const QChar* p = line.data();
    const qsizetype size = line.size();
    // indexOf searches many characters at a time.
    for (qsizetype i = line.indexOf(QLatin1Char('\t')); i >= 0; i = line.indexOf(QLatin1Char('\t'), i + 1)) {
        if (n == kMaxTabs)
            return SplitAtChar(line, QLatin1Char('\t'), fields);
        tabs[n++] = i;
    }
    // As SplitAtChar: a line ending in a tab has no empty last field.
    const bool last = n == 0 || tabs[n - 1] + 1 < size;
    fields.resize(n + (last ? 1 : 0));
    QStringView* out = fields.data();
    qsizetype start = 0;
    for (int k = 0; k < n; ++k) {
        out[k] = QStringView(p + start, tabs[k] - start);
        start = tabs[k] + 1;
    }
    if (last)
        out[n] = QStringView(p + start, size - start);
    return 0;
}

// Digits only, within int: "+5", " 5", "5 " or "1e3" say nothing about the count.
std::optional<int> plainWholeNumber(QStringView text)
{
    if (text.isEmpty() || text.size() > 10)
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    if (value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

} // namespace

TextCallFormat::Verdict EdiReader::classify(QStringView line, int& code)
{
    const int split = splitAtTabs(line, m_fields);
    if (split != 0) {
        code = split;
        return Verdict::SplitFailed;
    }
    if (m_fields.at(0) != u"280") {
        // Of two trailers (files joined by hand) the last one read counts.
        if (m_fields.at(0) == u"900" && m_fields.size() > 1) {
            if (const std::optional<int> count = plainWholeNumber(m_fields.at(1)))
                m_declaredCount = count;
        }
        return Verdict::NotACall;
    }
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
