#pragma once

#include "referencedata/Kostenstellen.h"
#include "referencedata/untStammdatenDialog.h"

#include <QList>

class DropDownCombo;
class EditGrid;
class QLineEdit;
class RecordTable;
class TdmMain;

// "Kostenstellen": which calls of a branch and extension belong to which cost centre in which
// period. The grid only shows; every change goes through the panel beside it.
class TfrmKostenstellen : public TStammdatenDialog
{
    Q_OBJECT
public:
    static constexpr int kHelpContext = 900;

    TfrmKostenstellen(TdmMain& dm, std::function<int()> recalculate, QWidget* parent = nullptr);

    void grdKostenstellenChangeNode();
    void grdKostenstellenSelectedCountChange();
    void colChange();
    void colKostenstelleChange();
    void colFilialeIDDropDown();
    void filterFilialeDropDown();
    void colFilialeIDExit();
    void colVonZeitExit();
    void colBisZeitExit();
    void btnNewClick();
    void btnUpdClick();
    void btnDelClick();
    void filterChange();
    void btnFilterClick();
    void btnFilterClearClick();

    KostenstellenEingabe eingabe() const;
    // The IDs of the selected rows, from the last selected to the first.
    QList<qint64> selectedIds() const;

    RecordTable* tblKostenstellen = nullptr;
    EditGrid* grdKostenstellen = nullptr;
    DropDownCombo *colFilialeID = nullptr, *filterFiliale = nullptr;
    QLineEdit *colNebenstelle = nullptr, *colNebenstelleBis = nullptr, *colVonZeit = nullptr, *colBisZeit = nullptr,
              *colKostenstelle = nullptr;
    QLineEdit *filterNebenstelle = nullptr, *filterTag = nullptr, *filterKostenstelle = nullptr;
    QPushButton *btnNew = nullptr, *btnUpd = nullptr, *btnDel = nullptr, *btnFilter = nullptr, *btnFilterClear = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void clearEntryFields();
    void fillBranchList(DropDownCombo* combo);
    void reopenTable(int row);
    void afterChange();
    static void removeApostrophe(QLineEdit* edit);

    TdmMain& m_dm;
    bool m_filling = false;   // the dialog writes into the fields: no typing
};
