#pragma once

#include "database/NumberMask.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// "Optionen": how far the dialled numbers are shortened for data protection, and which numbers
// and cost centres are shown in full.
class TfrmOptionen : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kHelpContext = 1100;

    explicit TfrmOptionen(QWidget* parent = nullptr);

    void setNumberMask(const NumberMask& mask);
    // The fields as the user left them.
    NumberMask numberMask() const;
    // Modal, through ExecDialog so tests can answer in the user's place.
    int execute();

    void btnOKClick();
    void btnStandardClick();

    QSpinBox* edtKuerzen = nullptr;
    QLineEdit *edtPraefixe = nullptr, *edtKostenstellen = nullptr;
    QLabel* lblBeispiel = nullptr;   // how a number of the sample looks with the setting
    QPushButton *btnStandard = nullptr, *btnOK = nullptr, *btnAbbrechen = nullptr;

private:
    void updateExample();
};
