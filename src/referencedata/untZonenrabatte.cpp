#include "referencedata/untZonenrabatte.h"

#include "database/Conversions.h"
#include "database/SqlText.h"
#include "database/dmlMain.h"
#include "mainwindow/untScale.h"
#include "referencedata/RecordTable.h"
#include "referencedata/ReferenceChecks.h"
#include "referencedata/untEditorParts.h"
#include "toolkit/DbNavigator.h"
#include "toolkit/EditGrid.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
enum Col { Zone, GZ, RabattProz, IAS };
}

TfrmZonenrabatte::TfrmZonenrabatte(TdmMain& dm, std::function<int()> recalculate, QWidget* parent)
    : TStammdatenDialog(std::move(recalculate), parent), m_dm(dm)
{
    setObjectName(QStringLiteral("frmZonenrabatte"));
    setWindowTitle(QStringLiteral("Zonen"));
    setProperty("helpContext", kHelpContext);

    tblZonenrabatte = new RecordTable(dm.RuboDB(), QStringLiteral("Zonenrabatte"),
                                      {QStringLiteral("Zone"), QStringLiteral("GZ"), QStringLiteral("RabattProz"), QStringLiteral("IAS")},
                                      this);
    tblZonenrabatte->setOrderBy(SqlOrderBy({{QStringLiteral("Zone"), Qt::AscendingOrder}}));
    tblZonenrabatte->setFormatter(QStringLiteral("RabattProz"),
                                  [](const QVariant& v) { return FormatPicture(VariantToFloat(v), QStringLiteral("###0.00#")); });
    tblZonenrabatte->beforePost = [this](RecordTable&) { return tblZonenrabatteBeforePost(); };
    tblZonenrabatte->beforeDelete = [this](RecordTable&, int) { return tblZonenrabatteBeforeDelete(); };
    grdZonenrabatte = CreateEditGrid(this, tblZonenrabatte, {245, 54, 75, 41});
    grdZonenrabatte->setObjectName(QStringLiteral("grdZonenrabatte"));
    grdZonenrabatte->setPickList(Col::GZ, {QStringLiteral("GZ"), QStringLiteral("FZ")});
    grdZonenrabatte->setPickList(Col::IAS, {QStringLiteral("I"), QStringLiteral("A"), QStringLiteral("S")});

    using B = DbNavigator::Button;
    navNav = new DbNavigator({B::First, B::Prior, B::Next, B::Last}, this);
    navNav->setObjectName(QStringLiteral("navNav"));
    navOp = new DbNavigator({B::Insert, B::Delete, B::Edit, B::Post, B::Cancel}, this);
    navOp->setObjectName(QStringLiteral("navOp"));
    navNav->setGrid(grdZonenrabatte);
    navOp->setGrid(grdZonenrabatte);

    // The grid's one band over its columns.
    auto* band = new QLabel(QStringLiteral("Spalten"), this);
    band->setAlignment(Qt::AlignCenter);
    band->setFrameShape(QFrame::StyledPanel);

    auto* bar = bottomBar();
    bar->insertWidget(0, navNav);
    bar->insertSpacing(1, DesignPx(12));
    bar->insertWidget(2, navOp);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->addWidget(band);
    layout->addWidget(grdZonenrabatte, 1);
    layout->addSpacing(DesignPx(6));
    layout->addLayout(bar);
    btnClose->setDefault(true);
    resize(DesignSize(500, 420));

    tblZonenrabatte->open();
    grdZonenrabatte->setCurrentRow(0);
}

bool TfrmZonenrabatte::tblZonenrabatteBeforePost()
{
    return passes(ZonenrabattPostRefusal(m_dm.RuboDB(), *tblZonenrabatte));
}

bool TfrmZonenrabatte::tblZonenrabatteBeforeDelete()
{
    return passes(QString());
}

QString TfrmZonenrabatte::CalcKey(int row) const
{
    return ZonenrabattCalcKey(VariantToText(tblZonenrabatte->value(row, QStringLiteral("Zone"))),
                              VariantToText(tblZonenrabatte->value(row, QStringLiteral("GZ"))));
}

bool TfrmZonenrabatte::finishEditing()
{
    return FinishGridEditing(grdZonenrabatte);
}

void TfrmZonenrabatte::markListStale()
{
    m_dm.referenceLists().SetZonenrabatteDirty();
}
