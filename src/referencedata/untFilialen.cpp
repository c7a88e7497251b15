#include "referencedata/untFilialen.h"

#include "database/Conversions.h"
#include "database/dmlMain.h"
#include "mainwindow/untScale.h"
#include "referencedata/RecordTable.h"
#include "referencedata/ReferenceChecks.h"
#include "referencedata/untEditorParts.h"
#include "toolkit/DbNavigator.h"
#include "toolkit/EditGrid.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TfrmFilialen::TfrmFilialen(TdmMain& dm, std::function<int()> recalculate, QWidget* parent)
    : TStammdatenDialog(std::move(recalculate), parent), m_dm(dm)
{
    setObjectName(QStringLiteral("frmFilialen"));
    setWindowTitle(QStringLiteral("Filialen"));
    setProperty("helpContext", kHelpContext);

    tableFilialen = new RecordTable(dm.RuboDB(), QStringLiteral("Filialen"),
                                    {QStringLiteral("ANummer"), QStringLiteral("Kurz"), QStringLiteral("Name")}, this);
    tableFilialen->beforePost = [this](RecordTable&) { return tableFilialenBeforePost(); };
    tableFilialen->beforeDelete = [this](RecordTable&, int row) { return tableFilialenBeforeDelete(row); };
    gridFilialen = CreateEditGrid(this, tableFilialen, {150, 66, 243});
    gridFilialen->setObjectName(QStringLiteral("gridFilialen"));

    using B = DbNavigator::Button;
    navNav = new DbNavigator({B::First, B::Prior, B::Next, B::Last}, this);
    navNav->setObjectName(QStringLiteral("navNav"));
    navOp = new DbNavigator({B::Insert, B::Delete, B::Edit, B::Post, B::Cancel, B::Refresh}, this);
    navOp->setObjectName(QStringLiteral("navOp"));
    navNav->setGrid(gridFilialen);
    navOp->setGrid(gridFilialen);

    auto* bar = bottomBar();
    bar->insertWidget(0, navNav);
    bar->insertSpacing(1, DesignPx(12));
    bar->insertWidget(2, navOp);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(gridFilialen, 1);
    layout->addLayout(bar);
    btnClose->setDefault(true);
    resize(DesignSize(520, 340));

    tableFilialen->open();
    gridFilialen->setCurrentRow(0);
}

bool TfrmFilialen::tableFilialenBeforePost()
{
    return passes(FilialePostRefusal(m_dm.RuboDB(), *tableFilialen));
}

bool TfrmFilialen::tableFilialenBeforeDelete(int row)
{
    const QString kurz = VariantToText(tableFilialen->value(row, QStringLiteral("Kurz")));
    return passes(FilialeDeleteRefusal(m_dm.RuboDB(), kurz));
}

bool TfrmFilialen::finishEditing()
{
    return FinishGridEditing(gridFilialen);
}

void TfrmFilialen::markListStale()
{
    m_dm.referenceLists().SetFilialenDirty();
}
