#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>

class QLabel;
class QPushButton;
class QTabWidget;
class QToolButton;
class QWidget;
class DataGrid;

// "Eigenschaften des Anrufs": one call of the detail list, read only. The dialog has no record of
// its own: it shows the grid's current record and its navigator moves that record, so the list
// and the dialog can never disagree about which call is meant.
class TfrmCallProperties : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kHelpContext = 600;

    explicit TfrmCallProperties(DataGrid& grid, QWidget* parent = nullptr);

    // Fills the labels from the grid's current record; without one every value is empty.
    void triggerChange();
    // Shows the current call modally, through ExecDialog so tests can answer in the user's place.
    int execute();

    // The form's components, reachable by their names for the tests.
    QTabWidget* PageControl = nullptr;
    QLabel *lbDatum = nullptr, *lbFilialeID = nullptr, *lbBegin = nullptr, *lbKostenstelle = nullptr,
           *lbEnde = nullptr, *lbSekunden = nullptr, *lbBetrag = nullptr, *lbBetragEuro = nullptr,
           *lbRabattProz = nullptr, *lbRabatt = nullptr, *lbRabattEuro = nullptr, *lbBNummer = nullptr,
           *lbIAS = nullptr, *lbZone = nullptr, *lbZiel = nullptr;
    QWidget* navNav = nullptr;
    QToolButton *nbFirst = nullptr, *nbPrior = nullptr, *nbNext = nullptr, *nbLast = nullptr;
    QPushButton* btnOk = nullptr;

private:
    void createNavigator();
    void updateNavigator(int record);
    void moveTo(int record);

    QPointer<DataGrid> m_grid;   // the main window's detail grid; it may go first at shutdown
    QList<QLabel*> m_values;     // every label that shows a value of the call
};
