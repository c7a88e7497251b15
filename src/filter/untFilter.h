#pragma once

#include "filter/FilterClause.h"

#include <QDateTime>
#include <QDialog>
#include <QString>

#include <functional>

class QLineEdit;
class QPushButton;
class DropDownCombo;
class TdmMain;

// "Eingabe von Filter": turns the fields into the filter clause that the main window puts in
// force. The dialog lives as long as the main window and keeps what was typed between openings.
class TfrmFilter : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kHelpContext = 300;

    explicit TfrmFilter(TdmMain& dm, QWidget* parent = nullptr);

    // Rebuilds the file list (a file number may belong to another file by now) and shows the
    // dialog modally, through ExecDialog so tests can answer in the user's place.
    int execute();

    // The clause built by the last "&Filtern"; empty at first.
    QString FilterClause;
    // Today's date and time for the completions; tests set a fixed one.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    void btnFilternClick();
    void btnResetClick();
    void DatumVonExit();
    void DatumBisExit();
    void ZeitVonExit();
    void ZeitBisExit();
    void FilialeIDDropDown();
    void DateiIDDropDown();
    FilterFields fields() const;

    // The form's components, reachable by their names for the tests.
    QLineEdit *DatumVon = nullptr, *DatumBis = nullptr, *ZeitVon = nullptr, *ZeitBis = nullptr,
              *NebenstelleVon = nullptr, *NebenstelleBis = nullptr, *ANummer = nullptr, *BNummer = nullptr,
              *KostenstelleVon = nullptr, *KostenstelleBis = nullptr, *Zone = nullptr, *Ziel = nullptr;
    DropDownCombo *FilialeID = nullptr, *GZ = nullptr, *DateiID = nullptr;
    QPushButton *btnFiltern = nullptr, *btnReset = nullptr, *btnAbbrechen = nullptr;

Q_SIGNALS:
    // "&Zurücksetzen" empties the main window's detail and sums lists until they are next shown.
    void listsReset();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void completeAll();

    TdmMain& m_dm;
};
