#include "mainwindow/untOptionen.h"

#include "mainwindow/untDialogs.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TfrmOptionen::TfrmOptionen(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmOptionen"));
    setWindowTitle(QStringLiteral("Optionen"));
    setProperty("helpContext", kHelpContext);

    auto* box = new QGroupBox(QStringLiteral("Datenschutz"), this);
    auto* grid = new QGridLayout(box);
    grid->setColumnStretch(1, 1);

    edtKuerzen = new QSpinBox(box);
    edtKuerzen->setObjectName(QStringLiteral("edtKuerzen"));
    edtKuerzen->setRange(0, NumberMask::kMaxDigits);
    edtKuerzen->setSpecialValueText(QStringLiteral("aus"));
    auto* digits = new QHBoxLayout;
    digits->addWidget(edtKuerzen);
    digits->addWidget(new QLabel(QStringLiteral("Stellen"), box));
    digits->addStretch(1);
    auto* kuerzen = new QLabel(QStringLiteral("Zielnummern &kürzen um"), box);
    kuerzen->setBuddy(edtKuerzen);
    grid->addWidget(kuerzen, 0, 0);
    grid->addLayout(digits, 0, 1);

    edtPraefixe = new QLineEdit(box);
    edtPraefixe->setObjectName(QStringLiteral("edtPraefixe"));
    btnStandard = new QPushButton(QStringLiteral("&Standard"), box);
    btnStandard->setToolTip(QStringLiteral("Die Vorwahlen der Mehrwertdienste Österreichs und Deutschlands."));
    auto* prefixes = new QHBoxLayout;
    prefixes->addWidget(edtPraefixe, 1);
    prefixes->addWidget(btnStandard);
    auto* praefixe = new QLabel(QStringLiteral("Voll zeigen: &Vorwahlen"), box);
    praefixe->setBuddy(edtPraefixe);
    grid->addWidget(praefixe, 1, 0);
    grid->addLayout(prefixes, 1, 1);

    edtKostenstellen = new QLineEdit(box);
    edtKostenstellen->setObjectName(QStringLiteral("edtKostenstellen"));
    auto* kostenstellen = new QLabel(QStringLiteral("Voll zeigen: K&ostenstellen"), box);
    kostenstellen->setBuddy(edtKostenstellen);
    grid->addWidget(kostenstellen, 2, 0);
    grid->addWidget(edtKostenstellen, 2, 1);

    lblBeispiel = new QLabel(box);
    lblBeispiel->setObjectName(QStringLiteral("lblBeispiel"));
    grid->addWidget(lblBeispiel, 3, 1);

    auto* hint = new QLabel(QStringLiteral("Gekürzt wird, was angezeigt, exportiert und gedruckt wird; die gespeicherten "
                                           "Gespräche und der Filter behalten die vollen Nummern. Mehrere Einträge "
                                           "trennen Sie mit Komma."),
                            box);
    hint->setWordWrap(true);
    grid->addWidget(hint, 4, 0, 1, 2);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setDefault(true);
    btnAbbrechen = new QPushButton(QStringLiteral("&Abbrechen"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnAbbrechen);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addLayout(buttons);
    setMinimumWidth(480);

    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnAbbrechen, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnStandard, &QPushButton::clicked, this, [this] { btnStandardClick(); });
    connect(edtKuerzen, &QSpinBox::valueChanged, this, [this] { updateExample(); });
    connect(edtPraefixe, &QLineEdit::textChanged, this, [this] { updateExample(); });
    updateExample();
}

void TfrmOptionen::setNumberMask(const NumberMask& mask)
{
    edtKuerzen->setValue(mask.digits);
    edtPraefixe->setText(NumberMask::listText(mask.keptPrefixes));
    edtKostenstellen->setText(NumberMask::listText(mask.keptKostenstellen));
}

NumberMask TfrmOptionen::numberMask() const
{
    NumberMask mask;
    mask.digits = edtKuerzen->value();
    mask.keptPrefixes = NumberMask::parseList(edtPraefixe->text());
    mask.keptKostenstellen = NumberMask::parseList(edtKostenstellen->text());
    return mask;
}

int TfrmOptionen::execute()
{
    return ExecDialog(*this);
}

void TfrmOptionen::btnOKClick()
{
    const QString problem = NumberMask::prefixProblem(NumberMask::parseList(edtPraefixe->text()));
    if (!problem.isEmpty()) {
        ShowMessageOkBox(this, problem, RuboUi::MsgKind::Error);
        edtPraefixe->setFocus();
        return;
    }
    accept();
}

void TfrmOptionen::btnStandardClick()
{
    edtPraefixe->setText(NumberMask::listText(NumberMask::defaultPrefixes()));
}

void TfrmOptionen::updateExample()
{
    const NumberMask mask = numberMask();
    const QString sample = QStringLiteral("06641234567");
    lblBeispiel->setText(mask.isOn() ? QStringLiteral("Beispiel: %1 wird als %2 gezeigt.").arg(sample, mask.apply(sample))
                                     : QStringLiteral("Die Zielnummern werden voll gezeigt."));
}
