#include "filter/untFilter.h"

#include "database/ReferenceLists.h"
#include "database/RuboError.h"
#include "database/dmlMain.h"
#include "mainwindow/untDialogs.h"
#include "toolkit/DropDownCombo.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmFilter::TfrmFilter(TdmMain& dm, QWidget* parent) : QDialog(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("frmFilter"));
    setWindowTitle(QStringLiteral("Eingabe von Filter"));
    setProperty("helpContext", kHelpContext);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    grid->addWidget(new QLabel(QStringLiteral("von"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("bis"), this), 0, 2);
    int row = 1;
    const auto edit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    const auto label = [&](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        grid->addWidget(l, row, 0);
    };
    const auto pair = [&](const QString& text, QLineEdit*& von, QLineEdit*& bis, const char* vonName, const char* bisName) {
        von = edit(vonName);
        bis = edit(bisName);
        label(text, von);
        grid->addWidget(von, row, 1);
        grid->addWidget(bis, row, 2);
        ++row;
    };
    const auto single = [&](const QString& text, QWidget* w) {
        label(text, w);
        grid->addWidget(w, row, 1, 1, 2);
        ++row;
    };
    const auto combo = [this](const char* name) {
        auto* c = new DropDownCombo(this);
        c->setObjectName(QLatin1String(name));
        return c;
    };

    pair(QStringLiteral("Datum"), DatumVon, DatumBis, "DatumVon", "DatumBis");
    pair(QStringLiteral("Zeit"), ZeitVon, ZeitBis, "ZeitVon", "ZeitBis");
    pair(QStringLiteral("Nebenstelle"), NebenstelleVon, NebenstelleBis, "NebenstelleVon", "NebenstelleBis");
    single(QStringLiteral("A-Nummer"), ANummer = edit("ANummer"));
    single(QStringLiteral("B-Nummer"), BNummer = edit("BNummer"));
    pair(QStringLiteral("Kostenstelle"), KostenstelleVon, KostenstelleBis, "KostenstelleVon", "KostenstelleBis");
    single(QStringLiteral("Zone"), Zone = edit("Zone"));
    single(QStringLiteral("Ziel"), Ziel = edit("Ziel"));
    single(QStringLiteral("FilialeID"), FilialeID = combo("FilialeID"));
    single(QStringLiteral("Geschäftszeit"), GZ = combo("GZ"));
    single(QStringLiteral("DateiID"), DateiID = combo("DateiID"));
    GZ->addItems({QString(), QStringLiteral("GZ"), QStringLiteral("FZ"), QStringLiteral("ÜZ")});
    // A file's item shows its whole path.
    DateiID->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    DateiID->setMinimumContentsLength(40);

    for (QLineEdit* e : {DatumVon, DatumBis, ZeitVon, ZeitBis})
        e->installEventFilter(this);
    connect(FilialeID, &DropDownCombo::aboutToDropDown, this, [this] { FilialeIDDropDown(); });

    btnFiltern = new QPushButton(QStringLiteral("&Filtern"), this);
    btnReset = new QPushButton(QStringLiteral("&Zurücksetzen"), this);
    btnAbbrechen = new QPushButton(QStringLiteral("&Abbrechen"), this);
    btnFiltern->setDefault(true);
    connect(btnFiltern, &QPushButton::clicked, this, [this] { btnFilternClick(); });
    connect(btnReset, &QPushButton::clicked, this, [this] { btnResetClick(); });
    // Escape rejects the dialog as this button does.
    connect(btnAbbrechen, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnFiltern);
    buttons->addWidget(btnReset);
    buttons->addWidget(btnAbbrechen);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    // Every field starts empty; the lists are not cleared by it.
    for (QLineEdit* e : findChildren<QLineEdit*>())
        e->clear();
    for (DropDownCombo* c : {FilialeID, GZ, DateiID})
        c->setEditText(QString());
}

int TfrmFilter::execute()
{
    try {
        DateiIDDropDown();
    } catch (const RuboError& e) {
        // Without the list the user can still type a file's number.
        ShowMessageOkBox(this, e.message(), RuboUi::MsgKind::Information);
    }
    setResult(QDialog::Rejected);
    DatumVon->setFocus();
    return ExecDialog(*this);
}

bool TfrmFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        if (watched == DatumVon)
            DatumVonExit();
        else if (watched == DatumBis)
            DatumBisExit();
        else if (watched == ZeitVon)
            ZeitVonExit();
        else if (watched == ZeitBis)
            ZeitBisExit();
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmFilter::DatumVonExit()
{
    DatumVon->setText(CompleteDateVon(DatumVon->text(), clock().date()));
}

void TfrmFilter::DatumBisExit()
{
    DatumBis->setText(CompleteDateBis(DatumBis->text(), clock().date()));
}

void TfrmFilter::ZeitVonExit()
{
    ZeitVon->setText(CompleteTimeVon(ZeitVon->text(), clock().time()));
}

void TfrmFilter::ZeitBisExit()
{
    ZeitBis->setText(CompleteTimeBis(ZeitBis->text(), clock().time()));
}

void TfrmFilter::completeAll()
{
    DatumVonExit();
    DatumBisExit();
    ZeitVonExit();
    ZeitBisExit();
}

FilterFields TfrmFilter::fields() const
{
    FilterFields f;
    f.DatumVon = DatumVon->text();
    f.DatumBis = DatumBis->text();
    f.ZeitVon = ZeitVon->text();
    f.ZeitBis = ZeitBis->text();
    f.NebenstelleVon = NebenstelleVon->text();
    f.NebenstelleBis = NebenstelleBis->text();
    f.ANummer = ANummer->text();
    f.BNummer = BNummer->text();
    f.KostenstelleVon = KostenstelleVon->text();
    f.KostenstelleBis = KostenstelleBis->text();
    f.Zone = Zone->text();
    f.Ziel = Ziel->text();
    f.FilialeID = FilialeID->currentText();
    f.GZ = GZ->currentText();
    f.DateiID = DateiID->currentText();
    return f;
}

void TfrmFilter::btnFilternClick()
{
    // Enter filters without leaving the field: its completion must still happen.
    completeAll();
    const FilterFields f = fields();
    FilterClause = BuildFilterClause(f);
    // A bound that is no number would filter the calls without it: the user corrects it first.
    for (const bool bis : {false, true}) {
        const QString problem = NebenstelleProblem(f.NebenstelleVon, f.NebenstelleBis, bis);
        if (!problem.isEmpty()) {
            ShowMessageOkBox(this, problem, RuboUi::MsgKind::Error);
            (bis ? NebenstelleBis : NebenstelleVon)->setFocus();
            return;
        }
    }
    accept();
}

void TfrmFilter::btnResetClick()
{
    for (QLineEdit* e : findChildren<QLineEdit*>())
        if (e->parent() == this)
            e->clear();
    for (DropDownCombo* c : {FilialeID, GZ, DateiID})
        c->setEditText(QString());
    Q_EMIT listsReset();
}

void TfrmFilter::FilialeIDDropDown()
{
    ReferenceLists& lists = m_dm.referenceLists();
    const bool reloaded = lists.LoadFilialen();
    if (!reloaded && FilialeID->count() > 0)
        return;
    QStringList items{QString()};
    for (int i = 0; const FilialeEntry* branch = lists.FilialeAt(i); ++i)
        items << branch->Kurz;
    FilialeID->setItemsKeepingText(items);
}

void TfrmFilter::DateiIDDropDown()
{
    QStringList items{QString()};
    for (const GeladeneDatei& file : m_dm.GeladeneDateien())
        items << QString::number(file.DateiID) + QStringLiteral(" - ") + file.DateiName;
    DateiID->setItemsKeepingText(items);
}
