#pragma once

#include "import/TextCallFormat.h"

#include <QStringList>

// Calls separated by ";", as the call export writes them (every value quoted) or as other
// programs write them unquoted. One header line; at least 14 fields; the cost centre, Euro
// amount, class, branch and discounts of an export are derived again, not read.
class CsvReader : public TextCallFormat
{
public:
    static constexpr int kRequiredFields = 14;

    int headerLines() const override { return 1; }
    Verdict classify(QStringView line, int& code) override;
    void fill(TEGN& egn) override;

private:
    QStringList m_fields;
};
