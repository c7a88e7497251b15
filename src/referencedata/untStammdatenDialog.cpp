#include "referencedata/untStammdatenDialog.h"

#include "database/Messages.h"
#include "mainwindow/untScale.h"

#include <QHBoxLayout>
#include <QPushButton>

TStammdatenDialog::TStammdatenDialog(std::function<int()> recalculate, QWidget* parent)
    : QDialog(parent), m_recalculate(std::move(recalculate))
{
    btnClose = new QPushButton(QStringLiteral("&Schließen"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnApply = new QPushButton(QStringLiteral("&EGNs aktualisieren"), this);
    btnApply->setObjectName(QStringLiteral("btnApply"));
    btnApply->setToolTip(QStringLiteral("Neuberechnung der Kostenstellen in den Einzelgesprächsnachweisen"));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnApply, &QPushButton::clicked, this, [this] { btnApplyClick(); });
}

QHBoxLayout* TStammdatenDialog::bottomBar()
{
    auto* bar = new QHBoxLayout;
    bar->setSpacing(DesignPx(6));
    bar->addStretch(1);
    bar->addWidget(btnApply);
    bar->addWidget(btnClose);
    return bar;
}

bool TStammdatenDialog::passes(const QString& refusal)
{
    if (!refusal.isEmpty()) {
        MessageOk(refusal);
        return false;
    }
    setChanged();
    return true;
}

void TStammdatenDialog::btnApplyClick()
{
    if (!finishEditing())
        return;
    if (m_recalculate)
        m_recalculate();
    m_changed = false;
}

void TStammdatenDialog::done(int result)
{
    if (m_closing || !finishEditing())
        return;
    m_closing = true;
    if (m_changed) {
        markListStale();
        if (AskYesNo(QStringLiteral("Es wurden Daten verändert!\nSollen nun die Einzelgesprächsnachweise aktualisiert werden ?"))
            && m_recalculate) {
            m_recalculate();
            m_changed = false;
        }
    }
    QDialog::done(result);
    m_closing = false;
}
