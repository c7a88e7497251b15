#pragma once

#include <QString>
#include <QStringView>

#include <optional>

struct TEGN;

// One text format of call records (".edi", ".csv", ".one"): it decides per line whether the line
// holds a call and fills the call record from it. The import driver does the rest.
class TextCallFormat
{
public:
    enum class Verdict { NotACall, Call, SplitFailed, TooFewFields, Unusable };

    virtual ~TextCallFormat() = default;
    virtual int headerLines() const { return 0; }
    // For SplitFailed `code` is the splitting code, for TooFewFields the required field count.
    // The line stays valid until fill() has run.
    virtual Verdict classify(QStringView line, int& code) = 0;
    // Sets the fields the format delivers; conversion errors are thrown as RuboError.
    virtual void fill(TEGN& egn) = 0;
    // For Unusable: what is wrong with the line, put to the user before the line number.
    virtual QString problem() const { return QString(); }
    // The call count of the file's trailer, once classify() has passed one.
    virtual std::optional<int> declaredCount() const { return std::nullopt; }
};
