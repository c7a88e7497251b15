#pragma once

#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class EditGrid;
class QToolButton;

// A row of buttons that moves through an EditGrid's rows or edits them; each button is enabled
// only where it can act (no "post" while no row waits, no "next" on the last row).
class DbNavigator : public QWidget
{
    Q_OBJECT
public:
    enum class Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };

    DbNavigator(const QList<Button>& buttons, QWidget* parent = nullptr);

    void setGrid(EditGrid* grid);
    QToolButton* button(Button which) const { return m_buttons.value(int(which)); }
    // Before a button acts; false stops it.
    std::function<bool(Button)> beforeAction;

    void click(Button which);
    void updateButtons();

private:
    QList<Button> m_order;
    QHash<int, QToolButton*> m_buttons;
    QPointer<EditGrid> m_grid;
};
