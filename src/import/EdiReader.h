#pragma once

#include "import/TextCallFormat.h"

#include <QList>
#include <QStringView>

// The carrier's own tab-separated format: only records of type "280" are calls, with at least
// 16 fields. The trailer ("900") gives the file's call count in field 1.
class EdiReader : public TextCallFormat
{
public:
    static constexpr int kRequiredFields = 16;

    Verdict classify(QStringView line, int& code) override;
    void fill(TEGN& egn) override;
    std::optional<int> declaredCount() const override { return m_declaredCount; }

private:
    QList<QStringView> m_fields;
    std::optional<int> m_declaredCount;
};
