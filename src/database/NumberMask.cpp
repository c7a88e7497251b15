#include "database/NumberMask.h"

#include <QRegularExpression>
#include <QSettings>

namespace {

const char kDigitsKey[] = "Datenschutz/ZielnummernKuerzen";
const char kPrefixesKey[] = "Datenschutz/VolleNummernPraefixe";
const char kKostenstellenKey[] = "Datenschutz/VolleNummernKostenstellen";

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

QString digitsOf(const QString& text)
{
    QString out;
    for (QChar c : text)
        if (isDigit(c))
            out += c;
    return out;
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
    // "0900 123456" and "0900-123456" are the same service.
    const QString dialled = digitsOf(number);
    for (const QString& prefix : keptPrefixes) {
        const QString wanted = digitsOf(prefix);
        if (!wanted.isEmpty() && dialled.startsWith(wanted))
            return true;
    }
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

NumberMask LoadNumberMask()
{
    QSettings settings(QString::fromLatin1(kSettingsOrganisation), QString::fromLatin1(kSettingsApplication));
    NumberMask mask;
    bool ok = false;
    const int digits = settings.value(QLatin1String(kDigitsKey)).toInt(&ok);
    mask.digits = ok ? qBound(0, digits, NumberMask::kMaxDigits) : 0;
    // Stored as text, so that a list the user emptied stays empty instead of the defaults.
    const QVariant prefixes = settings.value(QLatin1String(kPrefixesKey));
    mask.keptPrefixes = prefixes.isValid() ? NumberMask::parseList(prefixes.toString()) : NumberMask::defaultPrefixes();
    mask.keptKostenstellen = NumberMask::parseList(settings.value(QLatin1String(kKostenstellenKey)).toString());
    return mask;
}

void SaveNumberMask(const NumberMask& mask)
{
    QSettings settings(QString::fromLatin1(kSettingsOrganisation), QString::fromLatin1(kSettingsApplication));
    settings.setValue(QLatin1String(kDigitsKey), qBound(0, mask.digits, NumberMask::kMaxDigits));
    settings.setValue(QLatin1String(kPrefixesKey), NumberMask::listText(mask.keptPrefixes));
    settings.setValue(QLatin1String(kKostenstellenKey), NumberMask::listText(mask.keptKostenstellen));
}
