#pragma once

#include "import/TextCallFormat.h"

#include <QList>
#include <QStringView>

// A second list of calls separated by ";", without quoting: date, time and duration as
// separate texts, no extension, zone code or business-time class. One header line; at least
// 14 fields.
class OneReader : public TextCallFormat
{
public:
    static constexpr int kRequiredFields = 14;

    int headerLines() const override { return 1; }
    Verdict classify(QStringView line, int& code) override;
    void fill(TEGN& egn) override;
    QString problem() const override { return m_problem; }

private:
    QList<QStringView> m_fields;
    double m_date = 0;
    QString m_problem;
};
