#pragma once

#include "output/rptParts.h"

class TdmMain;

// The call-record report: every call of the main window's selection, grouped by extension,
// zone and destination, with subtotals per group and totals at the end.
class TfrmReport1 : public TRuboReport
{
public:
    // Loads "rptLogo.bmp" of the working folder into the logo when there is one; BNummer is
    // printed as `mask` shortens it.
    explicit TfrmReport1(TdmMain& dm, const NumberMask& mask = {});

    // Sets the query to the calls of `currentWhere` (" AND ..." conditions or empty), shows the
    // condition in words in the page header, and leaves the discount sums out when no zone has
    // a discount.
    void Prepare(const QString& currentWhere);

    QString CurrentWhere;
    QString lblWhere;   // the condition in words, as the page header prints it

private:
    TdmMain& m_dm;
};
