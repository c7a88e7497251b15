#pragma once

#include "referencedata/untStammdatenDialog.h"

class DbNavigator;
class EditGrid;
class RecordTable;
class TdmMain;

// "Filialen": which calling number belongs to which branch, edited in the grid row by row.
class TfrmFilialen : public TStammdatenDialog
{
    Q_OBJECT
public:
    static constexpr int kHelpContext = 700;

    TfrmFilialen(TdmMain& dm, std::function<int()> recalculate, QWidget* parent = nullptr);

    bool tableFilialenBeforePost();
    bool tableFilialenBeforeDelete(int row);

    RecordTable* tableFilialen = nullptr;
    EditGrid* gridFilialen = nullptr;
    DbNavigator *navNav = nullptr, *navOp = nullptr;

protected:
    bool finishEditing() override;
    void markListStale() override;

private:
    TdmMain& m_dm;
};
