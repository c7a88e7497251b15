#include "toolkit/DbNavigator.h"

#include "toolkit/EditGrid.h"

#include <QAbstractItemModel>
#include <QHBoxLayout>
#include <QToolButton>

namespace {

struct ButtonLook
{
    DbNavigator::Button button;
    const char* glyph;
    const char* hint;
};

const ButtonLook kLooks[] = {
    {DbNavigator::Button::First, "|◀", "Erster Datensatz"},
    {DbNavigator::Button::Prior, "◀", "Vorheriger Datensatz"},
    {DbNavigator::Button::Next, "▶", "Nächster Datensatz"},
    {DbNavigator::Button::Last, "▶|", "Letzter Datensatz"},
    {DbNavigator::Button::Insert, "+", "Datensatz einfügen"},
    {DbNavigator::Button::Delete, "−", "Datensatz löschen"},
    {DbNavigator::Button::Edit, "▲", "Datensatz bearbeiten"},
    {DbNavigator::Button::Post, "✓", "Daten übernehmen"},
    {DbNavigator::Button::Cancel, "✗", "Bearbeitung abbrechen"},
    {DbNavigator::Button::Refresh, "↻", "Daten aktualisieren"},
};

const ButtonLook& lookOf(DbNavigator::Button button)
{
    for (const ButtonLook& look : kLooks)
        if (look.button == button)
            return look;
    return kLooks[0];
}

} // namespace

DbNavigator::DbNavigator(const QList<Button>& buttons, QWidget* parent) : QWidget(parent), m_order(buttons)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const Button b : buttons) {
        const ButtonLook& look = lookOf(b);
        auto* button = new QToolButton(this);
        button->setText(QString::fromUtf8(look.glyph));
        button->setToolTip(QString::fromUtf8(look.hint));
        button->setAccessibleName(QString::fromUtf8(look.hint));
        button->setMinimumWidth(28);
        button->setAutoRaise(false);
        connect(button, &QToolButton::clicked, this, [this, b] { click(b); });
        layout->addWidget(button);
        m_buttons.insert(int(b), button);
    }
    updateButtons();
}

void DbNavigator::setGrid(EditGrid* grid)
{
    m_grid = grid;
    connect(grid, &EditGrid::stateChanged, this, &DbNavigator::updateButtons);
    updateButtons();
}

void DbNavigator::click(Button which)
{
    if (!m_grid || (beforeAction && !beforeAction(which)))
        return;
    switch (which) {
    case Button::First: m_grid->first(); break;
    case Button::Prior: m_grid->prior(); break;
    case Button::Next: m_grid->next(); break;
    case Button::Last: m_grid->last(); break;
    case Button::Insert: m_grid->insertRecord(); break;
    case Button::Delete: m_grid->deleteRecord(); break;
    case Button::Edit: m_grid->editRecord(); break;
    case Button::Post: m_grid->postRecord(); break;
    case Button::Cancel: m_grid->cancelRecord(); break;
    case Button::Refresh: m_grid->refreshRecords(); break;
    }
    updateButtons();
}

void DbNavigator::updateButtons()
{
    const int rows = m_grid && m_grid->model() ? m_grid->model()->rowCount() : 0;
    const int row = m_grid ? m_grid->currentRow() : -1;
    const bool editing = m_grid && m_grid->isEditing();
    const bool writable = m_grid && !m_grid->isReadOnly();
    const auto enable = [this](Button b, bool on) {
        if (QToolButton* button = m_buttons.value(int(b)))
            button->setEnabled(on);
    };
    enable(Button::First, rows > 0 && row != 0);
    enable(Button::Prior, rows > 0 && row != 0);
    enable(Button::Next, rows > 0 && row != rows - 1);
    enable(Button::Last, rows > 0 && row != rows - 1);
    enable(Button::Insert, writable);
    enable(Button::Delete, writable && row >= 0);
    enable(Button::Edit, writable && row >= 0 && !editing);
    enable(Button::Post, editing);
    enable(Button::Cancel, editing);
    enable(Button::Refresh, m_grid != nullptr);
}
