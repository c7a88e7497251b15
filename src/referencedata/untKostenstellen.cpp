#include "referencedata/untKostenstellen.h"

#include "database/Conversions.h"
#include "database/Messages.h"
#include "database/ReferenceLists.h"
#include "database/dmlMain.h"
#include "mainwindow/untScale.h"
#include "referencedata/RecordTable.h"
#include "referencedata/untEditorParts.h"
#include "toolkit/DropDownCombo.h"
#include "toolkit/EditGrid.h"

#include <QEvent>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QColor kFilteredHeader(0, 128, 128);

QLineEdit* lineEdit(QWidget* parent, const char* name, int maxLength = 0)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    if (maxLength > 0)
        edit->setMaxLength(maxLength);
    return edit;
}

QPushButton* button(QWidget* parent, const QString& text, const char* name)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

TfrmKostenstellen::TfrmKostenstellen(TdmMain& dm, std::function<int()> recalculate, QWidget* parent)
    : TStammdatenDialog(std::move(recalculate), parent), m_dm(dm)
{
    setObjectName(QStringLiteral("frmKostenstellen"));
    setWindowTitle(QStringLiteral("Kostenstellen"));
    setProperty("helpContext", kHelpContext);
    TpWait wait;

    tblKostenstellen = new RecordTable(dm.RuboDB(), QStringLiteral("Kostenstellen"),
                                       {QStringLiteral("FilialeID"), QStringLiteral("Nebenstelle"), QStringLiteral("VonZeit"),
                                        QStringLiteral("BisZeit"), QStringLiteral("Kostenstelle")},
                                       this);
    tblKostenstellen->setCaption(QStringLiteral("FilialeID"), QStringLiteral("Filiale"));
    tblKostenstellen->setCaption(QStringLiteral("VonZeit"), QStringLiteral("gültig Von"));
    tblKostenstellen->setCaption(QStringLiteral("BisZeit"), QStringLiteral("gültig Bis"));
    for (const QString& field : {QStringLiteral("VonZeit"), QStringLiteral("BisZeit")}) {
        tblKostenstellen->setFormatter(field, [](const QVariant& v) { return FormatSerialDate(VariantToFloat(v)); });
        tblKostenstellen->setAlignment(field, Qt::AlignLeft | Qt::AlignVCenter);
    }
    grdKostenstellen = CreateListGrid(this, tblKostenstellen, {60, 100, 80, 80, 200}, true);
    grdKostenstellen->setObjectName(QStringLiteral("grdKostenstellen"));

    colFilialeID = new DropDownCombo(this);
    colFilialeID->setObjectName(QStringLiteral("colFilialeID"));
    colNebenstelle = lineEdit(this, "colNebenstelle", 10);
    colNebenstelleBis = lineEdit(this, "colNebenstelleBis", 10);
    colVonZeit = lineEdit(this, "colVonZeit");
    colBisZeit = lineEdit(this, "colBisZeit");
    colKostenstelle = lineEdit(this, "colKostenstelle", 20);
    btnNew = button(this, QStringLiteral("&Neu"), "btnNew");
    btnUpd = button(this, QStringLiteral("&Ändern"), "btnUpd");
    btnDel = button(this, QStringLiteral("&Löschen"), "btnDel");

    filterNebenstelle = lineEdit(this, "filterNebenstelle");
    filterTag = lineEdit(this, "filterTag");
    filterKostenstelle = lineEdit(this, "filterKostenstelle");
    filterFiliale = new DropDownCombo(this);
    filterFiliale->setObjectName(QStringLiteral("filterFiliale"));
    btnFilter = button(this, QStringLiteral("&Filter"), "btnFilter");
    btnFilter->setDefault(true);
    btnFilterClear = button(this, QStringLiteral("&Zurücksetzen"), "btnFilterClear");
    btnClose->setToolTip(QStringLiteral("Fenster schließen"));
    btnClose->setAutoDefault(false);
    btnApply->setAutoDefault(false);

    auto* entry = new QFormLayout;
    entry->addRow(QStringLiteral("FilialeKurz"), colFilialeID);
    entry->addRow(QStringLiteral("Nebenstelle"), colNebenstelle);
    entry->addRow(QStringLiteral("bis"), colNebenstelleBis);
    entry->addRow(QStringLiteral("Gültig Von"), colVonZeit);
    entry->addRow(QStringLiteral("Gültig Bis"), colBisZeit);
    entry->addRow(QStringLiteral("Kostenstelle"), colKostenstelle);
    auto* entryButtons = new QHBoxLayout;
    entryButtons->addWidget(btnNew);
    entryButtons->addWidget(btnUpd);
    entryButtons->addWidget(btnDel);

    auto* filterBox = new QGroupBox(QStringLiteral("Filter"), this);
    auto* filterForm = new QFormLayout;
    filterForm->addRow(QStringLiteral("Nebenstelle"), filterNebenstelle);
    filterForm->addRow(QStringLiteral("Datum"), filterTag);
    filterForm->addRow(QStringLiteral("Kostenstelle"), filterKostenstelle);
    filterForm->addRow(QStringLiteral("FilialeKurz"), filterFiliale);
    auto* filterButtons = new QHBoxLayout;
    filterButtons->addStretch(1);
    filterButtons->addWidget(btnFilter);
    filterButtons->addWidget(btnFilterClear);
    auto* filterLayout = new QVBoxLayout(filterBox);
    filterLayout->addLayout(filterForm);
    filterLayout->addLayout(filterButtons);

    auto* panel = new QVBoxLayout;
    panel->addLayout(entry);
    panel->addLayout(entryButtons);
    panel->addSpacing(DesignPx(12));
    panel->addWidget(filterBox);
    panel->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(grdKostenstellen, 1);
    top->addLayout(panel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottomBar());
    resize(DesignSize(860, 460));

    for (QLineEdit* e : {colNebenstelle, colNebenstelleBis, colVonZeit, colBisZeit})
        connect(e, &QLineEdit::textChanged, this, [this] { colChange(); });
    connect(colFilialeID, &QComboBox::editTextChanged, this, [this] { colChange(); });
    connect(colKostenstelle, &QLineEdit::textChanged, this, [this] { colKostenstelleChange(); });
    for (QLineEdit* e : {filterNebenstelle, filterTag, filterKostenstelle})
        connect(e, &QLineEdit::textChanged, this, [this] { filterChange(); });
    connect(colFilialeID, &DropDownCombo::aboutToDropDown, this, [this] { colFilialeIDDropDown(); });
    connect(filterFiliale, &DropDownCombo::aboutToDropDown, this, [this] { filterFilialeDropDown(); });
    colFilialeID->installEventFilter(this);
    colVonZeit->installEventFilter(this);
    colBisZeit->installEventFilter(this);
    connect(btnNew, &QPushButton::clicked, this, [this] { btnNewClick(); });
    connect(btnUpd, &QPushButton::clicked, this, [this] { btnUpdClick(); });
    connect(btnDel, &QPushButton::clicked, this, [this] { btnDelClick(); });
    connect(btnFilter, &QPushButton::clicked, this, [this] { btnFilterClick(); });
    connect(btnFilterClear, &QPushButton::clicked, this, [this] { btnFilterClearClick(); });
    connect(grdKostenstellen, &EditGrid::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            grdKostenstellenChangeNode();
    });
    // After the change of the current row, which a click also brings: the count has the last word.
    connect(grdKostenstellen, &EditGrid::selectionCountChanged, this, [this] { grdKostenstellenSelectedCountChange(); },
            Qt::QueuedConnection);

    clearEntryFields();
    btnUpd->setEnabled(false);
    btnDel->setEnabled(false);
    tblKostenstellen->setFilter(QString());
    tblKostenstellen->open();
}

void TfrmKostenstellen::clearEntryFields()
{
    const bool filling = m_filling;
    m_filling = true;
    colFilialeID->setEditText(QString());
    for (QLineEdit* e : {colNebenstelle, colNebenstelleBis, colVonZeit, colBisZeit, colKostenstelle})
        e->clear();
    m_filling = filling;
}

void TfrmKostenstellen::grdKostenstellenChangeNode()
{
    const int row = grdKostenstellen->currentRow();
    m_filling = true;
    clearEntryFields();
    const auto text = [&](const char* field) { return VariantToText(tblKostenstellen->value(row, QLatin1String(field))); };
    const auto date = [&](const char* field) {
        const QVariant v = tblKostenstellen->value(row, QLatin1String(field));
        return v.isNull() ? QString() : FormatSerialDate(VariantToFloat(v));
    };
    colFilialeID->setEditText(text("FilialeID"));
    colNebenstelle->setText(text("Nebenstelle"));
    colKostenstelle->setText(text("Kostenstelle"));
    colVonZeit->setText(date("VonZeit"));
    colBisZeit->setText(date("BisZeit"));
    m_filling = false;
    btnNew->setEnabled(false);
    btnUpd->setEnabled(false);
    btnDel->setEnabled(true);
}

void TfrmKostenstellen::grdKostenstellenSelectedCountChange()
{
    btnUpd->setEnabled(true);
    if (grdKostenstellen->selectedRows().size() >= 2)
        clearEntryFields();
}

void TfrmKostenstellen::colChange()
{
    if (m_filling)
        return;
    btnNew->setEnabled(true);
    btnUpd->setEnabled(true);
}

void TfrmKostenstellen::removeApostrophe(QLineEdit* edit)
{
    QString text = edit->text();
    if (!text.contains(QLatin1Char('\'')))
        return;
    const int cursor = edit->cursorPosition();
    const int before = int(text.left(cursor).count(QLatin1Char('\'')));
    edit->setText(text.remove(QLatin1Char('\'')));
    edit->setCursorPosition(cursor - before);
}

void TfrmKostenstellen::colKostenstelleChange()
{
    colChange();
    removeApostrophe(colKostenstelle);
}

void TfrmKostenstellen::filterChange()
{
    for (QLineEdit* e : {filterNebenstelle, filterTag, filterKostenstelle})
        removeApostrophe(e);
}

void TfrmKostenstellen::fillBranchList(DropDownCombo* combo)
{
    ReferenceLists& lists = m_dm.referenceLists();
    if (!lists.LoadFilialen() && combo->count() > 0)
        return;
    QStringList names = FilialKurzListe(lists);
    if (combo == colFilialeID)
        names.sort();
    const bool filling = m_filling;
    m_filling = true;
    combo->setItemsKeepingText(names);
    m_filling = filling;
}

void TfrmKostenstellen::colFilialeIDDropDown()
{
    fillBranchList(colFilialeID);
}

void TfrmKostenstellen::filterFilialeDropDown()
{
    fillBranchList(filterFiliale);
}

void TfrmKostenstellen::colFilialeIDExit()
{
    fillBranchList(colFilialeID);
    if (!FilialFeldBleibt(m_dm.referenceLists(), colFilialeID->currentText()))
        colFilialeID->setEditText(QString());
}

void TfrmKostenstellen::colVonZeitExit()
{
    QString shown;
    ParseDateLenient(colVonZeit->text(), 1900, 1, 1, &shown);
    colVonZeit->setText(shown);
}

void TfrmKostenstellen::colBisZeitExit()
{
    QString shown;
    ParseDateLenient(colBisZeit->text(), 9999, 12, 31, &shown);
    colBisZeit->setText(shown);
}

KostenstellenEingabe TfrmKostenstellen::eingabe() const
{
    KostenstellenEingabe e;
    e.FilialeID = colFilialeID->currentText();
    e.Nebenstelle = colNebenstelle->text();
    e.NebenstelleBis = colNebenstelleBis->text();
    e.VonZeit = colVonZeit->text();
    e.BisZeit = colBisZeit->text();
    e.Kostenstelle = colKostenstelle->text();
    return e;
}

QList<qint64> TfrmKostenstellen::selectedIds() const
{
    QList<qint64> ids;
    const QList<int> rows = grdKostenstellen->selectedRows();
    for (auto it = rows.crbegin(); it != rows.crend(); ++it)
        ids << tblKostenstellen->rowId(*it);
    return ids;
}

void TfrmKostenstellen::reopenTable(int row)
{
    try {
        tblKostenstellen->open();
    } catch (const RuboError& e) {
        MessageOk(e.message());
    }
    if (row > 0 && row < tblKostenstellen->recordCount())
        grdKostenstellen->setCurrentRow(row);
}

void TfrmKostenstellen::afterChange()
{
    m_dm.referenceLists().SetKostenstellenDirty();
    setChanged();
    colNebenstelle->setFocus();
}

void TfrmKostenstellen::btnNewClick()
{
    const int row = grdKostenstellen->currentRow();
    if (KostenstellenNeu(m_dm.RuboDB(), m_dm.referenceLists(), eingabe()) == KostenstellenErgebnis::Abgelehnt)
        return;
    reopenTable(row);
    btnNew->setEnabled(false);
    btnUpd->setEnabled(false);
    afterChange();
}

void TfrmKostenstellen::btnUpdClick()
{
    const int row = grdKostenstellen->currentRow();
    if (KostenstellenAendern(m_dm.RuboDB(), m_dm.referenceLists(), selectedIds(), eingabe()) == KostenstellenErgebnis::Abgelehnt)
        return;
    reopenTable(row);
    btnNew->setEnabled(false);
    btnUpd->setEnabled(false);
    afterChange();
}

void TfrmKostenstellen::btnDelClick()
{
    const int row = grdKostenstellen->currentRow();
    QList<qint64> ids = selectedIds();
    if (ids.size() < 2) {
        ids.clear();
        if (row >= 0)
            ids << tblKostenstellen->rowId(row);
    }
    if (!ids.isEmpty())
        KostenstellenLoeschen(m_dm.RuboDB(), m_dm.referenceLists(), ids);
    reopenTable(row);
    afterChange();
}

void TfrmKostenstellen::btnFilterClick()
{
    KostenstellenFilterFelder felder{filterNebenstelle->text(), filterTag->text(), filterKostenstelle->text(),
                                     filterFiliale->currentText()};
    const QString filter = KostenstellenFilter(felder);
    if (!filterTag->text().trimmed().isEmpty())
        filterTag->setText(felder.Tag);
    tblKostenstellen->setFilter(filter);
    grdKostenstellen->setHeaderColor(filter.isEmpty() ? QColor() : kFilteredHeader);
    reopenTable(-1);
}

void TfrmKostenstellen::btnFilterClearClick()
{
    for (QLineEdit* e : {filterNebenstelle, filterTag, filterKostenstelle})
        e->clear();
    filterFiliale->setEditText(QString());
    btnFilterClick();
}

bool TfrmKostenstellen::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        if (watched == colFilialeID)
            colFilialeIDExit();
        else if (watched == colVonZeit)
            colVonZeitExit();
        else if (watched == colBisZeit)
            colBisZeitExit();
    }
    return TStammdatenDialog::eventFilter(watched, event);
}
