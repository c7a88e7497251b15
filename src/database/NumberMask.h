#pragma once

#include <QString>
#include <QStringList>

// The program's own settings (window layouts, options) are stored per user under these names.
inline constexpr char kSettingsOrganisation[] = "DRAVIK";
inline constexpr char kSettingsApplication[] = "DravikRuboTool";

// Dialled numbers shortened for data protection: who called whom is personal data, and works
// agreements commonly allow the analysis only with the last digits made unrecognisable. Only
// what is shown, exported and printed is shortened; the stored calls and the filter keep the
// full numbers.
struct NumberMask
{
    static constexpr int kMaxDigits = 9;

    int digits = 0;                 // the last digits shown as "x"; 0: numbers in full
    QStringList keptPrefixes;       // numbers beginning with one stay whole: value-added services
    QStringList keptKostenstellen;  // calls of these cost centres stay whole

    bool isOn() const { return digits > 0; }
    // True when the exemption depends on the call's cost centre, which then must be at hand.
    bool needsKostenstelle() const { return isOn() && !keptKostenstellen.isEmpty(); }

    // The number as shown for a call of `kostenstelle`: its last `digits` digits as "x" (every
    // one of them when it has no more), other characters where they were. Text without a digit
    // stays as it is.
    QString apply(const QString& number, const QString& kostenstelle = QString()) const;
    bool keepsWhole(const QString& number, const QString& kostenstelle = QString()) const;

    // "Zielnummern um N Stellen gekürzt"; empty while off.
    QString note() const;

    // Austria's and Germany's value-added services, whose costs must stay visible.
    static QStringList defaultPrefixes();
    // A list as typed: entries separated by commas or semicolons, trimmed, no repeats.
    static QStringList parseList(const QString& text);
    static QString listText(const QStringList& list);
    // Empty when every prefix is digits only; otherwise the message that refuses the first other.
    static QString prefixProblem(const QStringList& prefixes);
};

// The setting as the options dialog left it; the defaults (off, the default prefixes) where
// nothing or nothing valid is stored.
NumberMask LoadNumberMask();
void SaveNumberMask(const NumberMask& mask);
