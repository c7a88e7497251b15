#pragma once

#include "output/CsvExport.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class QWidget;
class RuboDatabase;
class RuboWorker;
class TdmMain;
class TfrmMain;

// The export dialog: the calls of the detail list, a copy of the internal database, or the rows
// of the sums list, each on a sheet of its own. Created once with the main window and kept, so
// that the file names, formats and separators typed stay from one opening to the next.
class TfrmExport : public QDialog
{
    Q_OBJECT
public:
    enum class Sheet { EGN, Datenbank, Summen };

    TfrmExport(TdmMain& dm, TfrmMain& main);
    ~TfrmExport() override;

    // Shows the dialog modally on `sheet`; the main window's "&Export..." passes the sheet shown
    // last (lastSheet()), which is "Summen" at the very first opening.
    int execOn(Sheet sheet);
    Sheet lastSheet() const { return m_lastSheet; }
    Sheet currentSheet() const;
    // An export or copy running: its sheet takes no input until it ends or is cancelled.
    bool isWriting() const { return m_writing; }
    // Processes events until the export running has ended: for tests.
    void waitForExport();

    // The controls, by their names, for the main window and the tests.
    QTabWidget* PageControl = nullptr;
    QWidget *sheetEgn = nullptr, *sheetDB = nullptr, *sheetSumme = nullptr;
    QLineEdit *DateiEgn = nullptr, *SeperatorEgn = nullptr, *DateiDB = nullptr, *DateiSumme = nullptr,
              *SeperatorSumme = nullptr;
    QToolButton *SelectEgnDatei = nullptr, *SelectDBDatei = nullptr, *SelectSummeDatei = nullptr;
    QRadioButton *fmtEgnCsv = nullptr, *fmtEgnExcel = nullptr, *fmtSummeCsv = nullptr, *fmtSummeExcel = nullptr;
    QLabel *AnzahlEgn = nullptr, *AnzahlSumme = nullptr;
    QPushButton *okEgn = nullptr, *cancelEgn = nullptr, *okDB = nullptr, *cancelDB = nullptr, *okSumme = nullptr,
                *cancelSumme = nullptr;
    QProgressBar* Fortschritt = nullptr;   // rows written, while an export runs

    void sheetEgnShow();
    void sheetSummeShow();
    void fmtEgnCsvClick();
    void fmtSummeCsvClick();
    void SelectEgnDateiClick();
    void SelectSummeDateiClick();
    void SelectDBDateiClick();
    void okEgnClick();
    void okSummeClick();
    void okDBClick();

public Q_SLOTS:
    // Cancels an export running (the target stays as it was), then closes the dialog.
    void reject() override;

private:
    struct Target;
    QWidget* createTextSheet(Sheet sheet);
    QWidget* createDatabaseSheet();
    void sheetShown(int index);
    void SeperatorOnChange(QLineEdit* field);
    QString chooseFile(const QString& defaultSuffix);
    // The checks the two text sheets share; empty when the export may not start.
    QString prepareTarget(QLineEdit* name, QLineEdit* separator, bool excel);
    // Writes on the worker's connection while `sheet` takes no input; closes the dialog when done.
    using Writer = std::function<void(RuboDatabase& db, const ExportProceed& proceed)>;
    void startWriting(QWidget* sheet, qint64 rows, Writer write);
    void writingEnded();

    TdmMain& m_dm;
    TfrmMain& m_main;
    Sheet m_lastSheet = Sheet::Summen;
    QString m_chooserFilter;   // the file type chosen last in the file chooser
    bool m_writing = false;
    QWidget* m_writingSheet = nullptr;
    std::unique_ptr<RuboWorker> m_worker;
};
