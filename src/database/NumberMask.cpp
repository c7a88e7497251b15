#include "database/NumberMask.h"

#include <QRegularExpression>
#include <QSettings>

#include <algorithm>

namespace {

const char kDigitsKey[] = "Datenschutz/ZielnummernKuerzen";
const char kPrefixesKey[] = "Datenschutz/VolleNummernPraefixe";
const char kKostenstellenKey[] = "Datenschutz/VolleNummernKostenstellen";

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// A list as stored; a hand-edited "0810, 0900" comes back from the file as two entries.
QString listValue(const QVariant& v)
{
    return v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(',')) : v.toString();
}

// Whether the digits of `number` begin with the digits of `prefix`, other characters passed over
// in both: "0900 123456" and "0900-123456" are the same service.
bool beginsWithDigits(const QString& number, const QString& prefix)
{
    qsizetype n = 0;
    bool any = false;
    for (QChar p : prefix) {
        if (!isDigit(p))
            continue;
        while (n < number.size() && !isDigit(number.at(n)))
            ++n;
        if (n == number.size() || number.at(n) != p)
            return false;
        ++n;
        any = true;
    }
    return any;
}

} // namespace

QString NumberMask::apply(const QString& number, const QString& kostenstelle) const
{
    if (!isOn() || keepsWhole(number, kostenstelle))
        return number;
    QString shown = number;
    int left = digits;
    for (qsizetype i = shown.size() - 1; i >= 0 && left > 0; --i) {
        if (isDigit(shown.at(i))) {
            shown[i] = QLatin1Char('x');
            --left;
        }
    }
    return shown;
}

bool NumberMask::keepsWhole(const QString& number, const QString& kostenstelle) const
{
    if (!keptKostenstellen.isEmpty()) {
        const QString own = kostenstelle.trimmed();
        if (!own.isEmpty() && keptKostenstellen.contains(own, Qt::CaseInsensitive))
            return true;
    }
    for (const QString& prefix : keptPrefixes)
        if (beginsWithDigits(number, prefix))
            return true;
    return false;
}

QString NumberMask::note() const
{
    return isOn() ? QStringLiteral("Zielnummern um %1 Stellen gekürzt").arg(digits) : QString();
}

QStringList NumberMask::defaultPrefixes()
{
    return {QStringLiteral("0810"), QStringLiteral("0820"), QStringLiteral("0821"), QStringLiteral("0900"),
            QStringLiteral("0901"), QStringLiteral("0930"), QStringLiteral("0931"), QStringLiteral("0939"),
            QStringLiteral("0137"), QStringLiteral("0180"), QStringLiteral("0190")};
}

QStringList NumberMask::parseList(const QString& text)
{
    // Not at blanks: a cost centre may be called "Vertrieb Nord".
    static const QRegularExpression separators(QStringLiteral("[,;]"));
    QStringList list;
    for (const QString& part : text.split(separators)) {
        const QString entry = part.trimmed();
        if (!entry.isEmpty() && !list.contains(entry, Qt::CaseInsensitive))
            list << entry;
    }
    return list;
}

QString NumberMask::listText(const QStringList& list)
{
    return list.join(QStringLiteral(", "));
}

QString NumberMask::prefixProblem(const QStringList& prefixes)
{
    // A prefix with a letter would never match and leave a service's number shortened unnoticed.
    for (const QString& prefix : prefixes)
        if (!std::all_of(prefix.begin(), prefix.end(), isDigit))
            return QStringLiteral("Eine Vorwahl besteht nur aus Ziffern: „%1“.").arg(prefix);
    return {};
}

NumberMask LoadNumberMask()
{
    QSettings settings(QString::fromLatin1(kSettingsOrganisation), QString::fromLatin1(kSettingsApplication));
    NumberMask mask;
    bool ok = false;
    const int digits = settings.value(QLatin1String(kDigitsKey)).toInt(&ok);
    mask.digits = ok ? qBound(0, digits, NumberMask::kMaxDigits) : 0;
    // Stored as text, so that a list the user emptied stays empty instead of the defaults.
    const QVariant prefixes = settings.value(QLatin1String(kPrefixesKey));
    mask.keptPrefixes = prefixes.isValid() ? NumberMask::parseList(listValue(prefixes)) : NumberMask::defaultPrefixes();
    mask.keptKostenstellen = NumberMask::parseList(listValue(settings.value(QLatin1String(kKostenstellenKey))));
    return mask;
}

void SaveNumberMask(const NumberMask& mask)
{
    QSettings settings(QString::fromLatin1(kSettingsOrganisation), QString::fromLatin1(kSettingsApplication));
    settings.setValue(QLatin1String(kDigitsKey), qBound(0, mask.digits, NumberMask::kMaxDigits));
    settings.setValue(QLatin1String(kPrefixesKey), NumberMask::listText(mask.keptPrefixes));
    settings.setValue(QLatin1String(kKostenstellenKey), NumberMask::listText(mask.keptKostenstellen));
}
