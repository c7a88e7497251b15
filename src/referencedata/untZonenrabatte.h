#pragma once

#include "referencedata/untStammdatenDialog.h"

#include <QString>

class DbNavigator;
class EditGrid;
class RecordTable;
class TdmMain;

// "Zonen": the discount and the domestic/foreign class of each tariff zone and business-time
// class, edited in the grid row by row.
class TfrmZonenrabatte : public TStammdatenDialog
{
    Q_OBJECT
public:
    static constexpr int kHelpContext = 1000;

    TfrmZonenrabatte(TdmMain& dm, std::function<int()> recalculate, QWidget* parent = nullptr);

    bool tblZonenrabatteBeforePost();
    bool tblZonenrabatteBeforeDelete();
    // The row key "Zone/GZ" of a row.
    QString CalcKey(int row) const;

    RecordTable* tblZonenrabatte = nullptr;
    EditGrid* grdZonenrabatte = nullptr;
    DbNavigator *navNav = nullptr, *navOp = nullptr;

protected:
    bool finishEditing() override;
    void markListStale() override;

private:
    TdmMain& m_dm;
};
