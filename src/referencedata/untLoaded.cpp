#include "referencedata/untLoaded.h"

#include "database/Conversions.h"
#include "database/Messages.h"
#include "database/RuboError.h"
#include "database/dmlMain.h"
#include "mainwindow/untScale.h"
#include "referencedata/RecordTable.h"
#include "referencedata/untEditorParts.h"
#include "toolkit/EditGrid.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TfrmLoaded::TfrmLoaded(TdmMain& dm, std::function<void()> load, std::function<void()> releaseViews, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_load(std::move(load)), m_releaseViews(std::move(releaseViews))
{
    setObjectName(QStringLiteral("frmLoaded"));
    setWindowTitle(QStringLiteral("Geladene Dateien"));
    setProperty("helpContext", kHelpContext);

    tblGeladeneDateien = new RecordTable(dm.RuboDB(), QStringLiteral("GeladeneDateien"),
                                         {QStringLiteral("DateiID"), QStringLiteral("AnzahlEGN"), QStringLiteral("DateiName"),
                                          QStringLiteral("OriginalName")},
                                         this);
    tblGeladeneDateien->setOrderBy(QStringLiteral("DateiID"));
    for (const QString& field : {QStringLiteral("DateiID"), QStringLiteral("AnzahlEGN")})
        tblGeladeneDateien->setFormatter(field, [](const QVariant& v) { return QString::number(VariantToInt(v)); });
    DBGrid1 = CreateListGrid(this, tblGeladeneDateien, {40, 61, 244}, false);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));

    btnLoad = new QPushButton(QStringLiteral("Laden..."), this);
    btnLoad->setObjectName(QStringLiteral("btnLoad"));
    btnDelete = new QPushButton(QStringLiteral("&Löschen"), this);
    btnDelete->setObjectName(QStringLiteral("btnDelete"));
    btnClose = new QPushButton(QStringLiteral("&Schließen"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setDefault(true);
    connect(btnLoad, &QPushButton::clicked, this, [this] { btnLoadClick(); });
    connect(btnDelete, &QPushButton::clicked, this, [this] { btnDeleteClick(); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);

    auto* bar = new QHBoxLayout;
    bar->addWidget(btnLoad);
    bar->addWidget(btnDelete);
    bar->addStretch(1);
    bar->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(bar);
    resize(DesignSize(620, 320));

    reopen();
}

void TfrmLoaded::reopen()
{
    const int row = DBGrid1->currentRow();
    try {
        tblGeladeneDateien->open();
    } catch (const RuboError& e) {
        MessageOk(QStringLiteral("Da ist was passiert ...") + e.message());
    }
    if (tblGeladeneDateien->recordCount() > 0)
        DBGrid1->setCurrentRow(qBound(0, row, tblGeladeneDateien->recordCount() - 1));
    btnDelete->setEnabled(tblGeladeneDateien->recordCount() > 0);
}

void TfrmLoaded::btnLoadClick()
{
    // While the files load, the dialog only repaints: a delete now would run inside the import.
    setEnabled(false);
    if (m_load)
        m_load();
    setEnabled(true);
    reopen();
}

void TfrmLoaded::btnDeleteClick()
{
    const int row = DBGrid1->currentRow();
    QString failure;
    try {
        const QVariant idValue = tblGeladeneDateien->value(row, QStringLiteral("DateiID"));
        if (row < 0 || idValue.isNull())
            throw RuboError(QStringLiteral("Keine Datei ausgewählt."));
        const int dateiId = VariantToInt(idValue);
        const QString name = VariantToText(tblGeladeneDateien->value(row, QStringLiteral("DateiName")));
        if (AskYesNo(QStringLiteral("Wollen Sie wirklich die Daten der Datei\n") + name + QStringLiteral("\nlöschen ?"))) {
            TpWait wait;
            tblGeladeneDateien->close();
            if (m_releaseViews)
                m_releaseViews();
            const int count = m_dm.DeleteGeladeneDatei(dateiId);
            SetStatusText(QStringLiteral("Es wurden ") + QString::number(count) + QStringLiteral(" Einträge gelöscht."));
        }
    } catch (const RuboError& e) {
        failure = e.message();
    }
    if (!failure.isEmpty())
        MessageOk(QStringLiteral("Da ist was passiert ...") + failure);
    reopen();
}
