#pragma once

#include <QDialog>

#include <functional>

class QHBoxLayout;
class QPushButton;

// What the reference-data editors share: "&Schließen" and "&EGNs aktualisieren", and the changed
// flag that makes closing ask whether the stored calls are to be derived anew.
class TStammdatenDialog : public QDialog
{
    Q_OBJECT
public:
    // `recalculate` runs the recalculation of the stored calls on the main window.
    TStammdatenDialog(std::function<int()> recalculate, QWidget* parent);

    bool isChanged() const { return m_changed; }
    void setChanged() { m_changed = true; }
    // A check's answer: its refusal shown (false), or the change it lets through counted.
    bool passes(const QString& refusal);

    void btnApplyClick();
    // Closing: a row still in edit is posted first (a refused post keeps the dialog open);
    // after a change the question, and on Yes the recalculation.
    void done(int result) override;

    QPushButton *btnClose = nullptr, *btnApply = nullptr;

protected:
    // The bar with the two buttons, for the editor's layout.
    QHBoxLayout* bottomBar();
    // Before the dialog closes: false keeps it open.
    virtual bool finishEditing() { return true; }
    // Runs when a changed dialog closes, before the question.
    virtual void markListStale() {}

private:
    std::function<int()> m_recalculate;
    bool m_changed = false;
    bool m_closing = false;
};
