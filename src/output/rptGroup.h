#pragma once

#include "output/rptParts.h"

class TdmMain;

// The sums report: the rows of the main window's sums list, one per group of the grouping in
// force, with the grand totals under them.
class TqrGroup : public TRuboReport
{
public:
    // `sumsSql` is the SQL of the main window's sums list, copied as it stands; its condition in
    // words shortens the dialled numbers as `mask` says.
    TqrGroup(TdmMain& dm, const QString& sumsSql, const NumberMask& mask = {});

    // Shows the grouping columns the query selects, from the left in its order.
    void queryOpened(const QStringList& fields) override;

    QString lblWhere;
};
