#include "output/untExport.h"

#include "database/RuboError.h"
#include "database/Worker.h"
#include "database/dmlMain.h"
#include "mainwindow/Gruppierung.h"
#include "mainwindow/untDialogs.h"
#include "mainwindow/untMain.h"
#include "output/CsvExport.h"
#include "output/DatabaseCopy.h"
#include "output/ExportText.h"
#include "output/WorkbookExport.h"
#include "toolkit/DataGrid.h"
#include "toolkit/SqlPagedModel.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <climits>

namespace {

const QStringList& chooserFilters()
{
    // A workbook is written as .xlsx: spreadsheet programs refuse an .xls that is not in the old
    // binary format.
    static const QStringList filters = {
        QStringLiteral("CSV-Dateien (*.csv)"),
        QStringLiteral("Excel-Dateien (*.xlsx)"),
        QStringLiteral("Access Datenbank (*.mdb)"),
        QStringLiteral("Alle Dateien (*)"),
    };
    return filters;
}

QString csvOrWorkbook(bool excel)
{
    return excel ? QStringLiteral("xlsx") : QStringLiteral("csv");
}

void inform(QWidget* parent, const QString& text)
{
    ShowMessageOkBox(parent, text, RuboUi::MsgKind::Information);
}

// The grid's columns as a workbook shows them: those shown, in the grid's order, numbers with the
// grid's decimals and dates as dates.
QList<WorkbookColumn> workbookColumns(const DataGrid& grid)
{
    const QStringList fields = grid.model() ? grid.model()->fieldNames() : QStringList();
    QList<WorkbookColumn> columns;
    for (const GridColumn& c : grid.columns()) {
        if (!c.visible || !fields.contains(c.field, Qt::CaseInsensitive))
            continue;
        WorkbookColumn w;
        w.field = c.field;
        w.caption = c.caption.isEmpty() ? c.field : c.caption;
        static const QStringList amounts = {"Betrag", "Rabatt", "SumBetrag", "SumRabatt"};
        static const QStringList euros = {"BetragEuro", "RabattEuro", "SumEuro", "SumRabattEuro"};
        if (c.field == QLatin1String("BeginZeit") || c.field == QLatin1String("EndeZeit"))
            w.kind = WorkbookColumn::Kind::DateTime;
        else if (amounts.contains(c.field))
            w.numberFormat = QStringLiteral("#,##0.00");
        else if (euros.contains(c.field))
            w.numberFormat = QStringLiteral("#,##0.0000");
        else if (c.field == QLatin1String("RabattProz"))
            w.numberFormat = QStringLiteral("0.00");
        columns << w;
    }
    return columns;
}

} // namespace

TfrmExport::TfrmExport(TdmMain& dm, TfrmMain& main)
    : QDialog(&main), m_dm(dm), m_main(main), m_worker(std::make_unique<RuboWorker>(dm.databaseFile()))
{
    setObjectName(QStringLiteral("frmExport"));
    setWindowTitle(QStringLiteral("Export"));
    setProperty("helpContext", 200);
    PageControl = new QTabWidget(this);
    sheetEgn = createTextSheet(Sheet::EGN);
    sheetEgn->setProperty("helpContext", 201);
    sheetDB = createDatabaseSheet();
    sheetSumme = createTextSheet(Sheet::Summen);
    PageControl->addTab(sheetEgn, QStringLiteral("EGN"));
    PageControl->addTab(sheetDB, QStringLiteral("Datenbank"));
    PageControl->addTab(sheetSumme, QStringLiteral("Summen"));
    Fortschritt = new QProgressBar(this);
    Fortschritt->setVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl);
    layout->addWidget(Fortschritt);
    connect(PageControl, &QTabWidget::currentChanged, this, [this](int index) { sheetShown(index); });
}

TfrmExport::~TfrmExport() = default;

QWidget* TfrmExport::createTextSheet(Sheet sheet)
{
    const bool egn = sheet == Sheet::EGN;
    auto* page = new QWidget;
    auto* name = new QLineEdit(page);
    auto* select = new QToolButton(page);
    select->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    select->setToolTip(QStringLiteral("Datei auswählen"));
    auto* csv = new QRadioButton(QStringLiteral("Format CSV"), page);
    auto* excel = new QRadioButton(QStringLiteral("Format Excel"), page);
    csv->setChecked(true);
    auto* formats = new QButtonGroup(page);
    formats->addButton(csv);
    formats->addButton(excel);
    auto* separator = new QLineEdit(QStringLiteral(","), page);
    separator->setMaxLength(3);
    separator->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("#000")) * 2);
    auto* count = new QLabel(QStringLiteral("0"), page);
    auto* ok = new QPushButton(QStringLiteral("&Ok"), page);
    auto* cancel = new QPushButton(QStringLiteral("&Abbrechen"), page);
    ok->setDefault(true);
    ok->setAutoDefault(true);

    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(QStringLiteral("Dateiname"), page), 0, 0);
    grid->addWidget(name, 0, 1, 1, 3);
    grid->addWidget(select, 0, 4);
    grid->addWidget(csv, 1, 1);
    grid->addWidget(excel, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Csv Trennzeichen"), page), 2, 0);
    grid->addWidget(separator, 2, 1, Qt::AlignLeft);
    grid->addWidget(new QLabel(egn ? QStringLiteral("Ausgewählte EGN's:") : QStringLiteral("Ausgewählte Summen"), page), 3, 0);
    grid->addWidget(count, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 4, 0, 1, 5);
    grid->setColumnStretch(3, 1);
    name->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 48);

    connect(separator, &QLineEdit::textChanged, this, [this, separator] { SeperatorOnChange(separator); });
    connect(cancel, &QPushButton::clicked, this, &TfrmExport::reject);
    if (egn) {
        DateiEgn = name, SelectEgnDatei = select, fmtEgnCsv = csv, fmtEgnExcel = excel, SeperatorEgn = separator;
        AnzahlEgn = count, okEgn = ok, cancelEgn = cancel;
        connect(select, &QToolButton::clicked, this, [this] { SelectEgnDateiClick(); });
        connect(formats, &QButtonGroup::buttonClicked, this, [this] { fmtEgnCsvClick(); });
        connect(ok, &QPushButton::clicked, this, [this] { okEgnClick(); });
    } else {
        DateiSumme = name, SelectSummeDatei = select, fmtSummeCsv = csv, fmtSummeExcel = excel, SeperatorSumme = separator;
        AnzahlSumme = count, okSumme = ok, cancelSumme = cancel;
        connect(select, &QToolButton::clicked, this, [this] { SelectSummeDateiClick(); });
        connect(formats, &QButtonGroup::buttonClicked, this, [this] { fmtSummeCsvClick(); });
        connect(ok, &QPushButton::clicked, this, [this] { okSummeClick(); });
    }
    return page;
}

QWidget* TfrmExport::createDatabaseSheet()
{
    auto* page = new QWidget;
    DateiDB = new QLineEdit(page);
    SelectDBDatei = new QToolButton(page);
    SelectDBDatei->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    SelectDBDatei->setToolTip(QStringLiteral("Datei auswählen"));
    okDB = new QPushButton(QStringLiteral("&Ok"), page);
    cancelDB = new QPushButton(QStringLiteral("&Abbrechen"), page);
    okDB->setDefault(true);
    okDB->setAutoDefault(true);
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(QStringLiteral("Dateiname"), page), 0, 0);
    grid->addWidget(DateiDB, 0, 1);
    grid->addWidget(SelectDBDatei, 0, 2);
    grid->setRowStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okDB);
    buttons->addWidget(cancelDB);
    grid->addLayout(buttons, 2, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    connect(SelectDBDatei, &QToolButton::clicked, this, [this] { SelectDBDateiClick(); });
    connect(okDB, &QPushButton::clicked, this, [this] { okDBClick(); });
    connect(cancelDB, &QPushButton::clicked, this, &TfrmExport::reject);
    return page;
}

int TfrmExport::execOn(Sheet sheet)
{
    // The counts the sheets show come from the main window's workers.
    m_main.waitForLists();
    m_lastSheet = sheet;
    const int index = int(sheet);
    if (PageControl->currentIndex() == index)
        sheetShown(index);   // the page control tells only of a change
    else
        PageControl->setCurrentIndex(index);
    return ExecDialog(*this);
}

TfrmExport::Sheet TfrmExport::currentSheet() const
{
    return Sheet(PageControl->currentIndex());
}

void TfrmExport::sheetShown(int index)
{
    m_lastSheet = Sheet(index);
    if (m_lastSheet == Sheet::EGN)
        sheetEgnShow();
    else if (m_lastSheet == Sheet::Summen)
        sheetSummeShow();
}

void TfrmExport::sheetEgnShow()
{
    AnzahlEgn->setText(QString::number(m_main.qryDetails->isOpen() ? qMax<qint64>(0, m_main.detailCount()) : 0));
}

void TfrmExport::sheetSummeShow()
{
    AnzahlSumme->setText(QString::number(m_main.qryGroup->isOpen() ? m_main.qryGroup->rowCount() : 0));
}

void TfrmExport::fmtEgnCsvClick()
{
    SeperatorEgn->setEnabled(fmtEgnCsv->isChecked());
    if (!DateiEgn->text().trimmed().isEmpty())
        DateiEgn->setText(ReplaceExtension(DateiEgn->text().trimmed(), QLatin1Char('.') + csvOrWorkbook(fmtEgnExcel->isChecked())));
}

void TfrmExport::fmtSummeCsvClick()
{
    SeperatorSumme->setEnabled(fmtSummeCsv->isChecked());
    if (!DateiSumme->text().trimmed().isEmpty())
        DateiSumme->setText(ReplaceExtension(DateiSumme->text().trimmed(), QLatin1Char('.') + csvOrWorkbook(fmtSummeExcel->isChecked())));
}

void TfrmExport::SeperatorOnChange(QLineEdit* field)
{
    const SeparatorEdit edit = SeparatorOnChange(field->text());
    field->setMaxLength(edit.maxLength);
    if (edit.text != field->text()) {
        const QSignalBlocker blocker(field);
        field->setText(edit.text);
    }
    if (edit.selectAll)
        field->selectAll();
}

QString TfrmExport::chooseFile(const QString& defaultSuffix)
{
    if (m_chooserFilter.isEmpty())
        m_chooserFilter = chooserFilters().constLast();
    return GetSaveFileName(this, QStringLiteral("Speichern unter"), QDir::current().filePath(QStringLiteral("Data")),
                           chooserFilters(), m_chooserFilter, defaultSuffix);
}

void TfrmExport::SelectEgnDateiClick()
{
    const QString file = chooseFile(csvOrWorkbook(fmtEgnExcel->isChecked()));
    if (!file.isEmpty())
        DateiEgn->setText(QDir::toNativeSeparators(file));
}

void TfrmExport::SelectSummeDateiClick()
{
    const QString file = chooseFile(csvOrWorkbook(fmtSummeExcel->isChecked()));
    if (!file.isEmpty())
        DateiSumme->setText(QDir::toNativeSeparators(file));
}

void TfrmExport::SelectDBDateiClick()
{
    const QString file = chooseFile(QStringLiteral("mdb"));
    if (!file.isEmpty())
        DateiDB->setText(QDir::toNativeSeparators(file));
}

QString TfrmExport::prepareTarget(QLineEdit* name, QLineEdit* separator, bool excel)
{
    QString file = name->text().trimmed();
    if (file.isEmpty()) {
        inform(this, QStringLiteral("Es wurde kein Dateiname eingegeben."));
        return {};
    }
    file = ReplaceExtension(file, QLatin1Char('.') + csvOrWorkbook(excel));
    name->setText(file);
    const QString separatorText = separator->text().trimmed();
    if (separatorText.isEmpty()) {
        inform(this, QStringLiteral("Es wurde KEIN Seperator eingegeben."));
        return {};
    }
    separator->setText(separatorText);
    if (!excel) {
        const QString problem = SeparatorProblem(SeparatorInForce(separatorText));
        if (!problem.isEmpty()) {
            inform(this, problem);
            return {};
        }
    }
    if (!m_main.qryDetails->isOpen()) {
        inform(this, QStringLiteral("Kein Bereich ausgewählt."));
        return {};
    }
    if (QFileInfo::exists(file) && !ShowAskYesNoBox(this, QStringLiteral("Datei existiert bereits.\nÜberschreiben ?")))
        return {};
    return file;
}

void TfrmExport::okEgnClick()
{
    if (m_writing)
        return;
    // The count and the sums of the list shown come from workers; the export needs them settled.
    m_main.waitForLists();
    const bool excel = fmtEgnExcel->isChecked();
    const QString file = prepareTarget(DateiEgn, SeperatorEgn, excel);
    if (file.isEmpty())
        return;
    const QString sql = DetailSql(m_main.currentWhere());
    const QChar separator = SeparatorInForce(SeperatorEgn->text());
    const auto order = m_main.grdDetails->orderKeys();
    const QList<WorkbookColumn> columns = workbookColumns(*m_main.grdDetails);
    const NumberMask mask = m_main.numberMask();
    startWriting(sheetEgn, m_main.detailCount(), [=](RuboDatabase& db, const ExportProceed& proceed) {
        if (excel)
            ExportWorkbook(db, sql, order, columns, QStringLiteral("EGN"), file, proceed, mask);
        else
            ExportCallsCsv(db, sql, file, separator, proceed, mask);
    });
}

void TfrmExport::okSummeClick()
{
    if (m_writing)
        return;
    m_main.waitForLists();
    const bool excel = fmtSummeExcel->isChecked();
    const QString file = prepareTarget(DateiSumme, SeperatorSumme, excel);
    if (file.isEmpty())
        return;
    // A sums list that failed or is still read would give a file with the header alone.
    if (!m_main.qryGroup->isOpen()) {
        inform(this, QStringLiteral("Kein Bereich ausgewählt."));
        return;
    }
    const QString sql = GroupSql(m_main.sumColumns(), m_main.currentWhere());
    const QChar separator = SeparatorInForce(SeperatorSumme->text());
    const auto order = m_main.grdGroup->orderKeys();
    const QList<WorkbookColumn> columns = workbookColumns(*m_main.grdGroup);
    startWriting(sheetSumme, m_main.qryGroup->rowCount(), [=](RuboDatabase& db, const ExportProceed& proceed) {
        if (excel)
            ExportWorkbook(db, sql, order, columns, QStringLiteral("Summen"), file, proceed);
        else
            ExportSumsCsv(db, sql, file, separator, proceed);
    });
}

void TfrmExport::okDBClick()
{
    if (m_writing)
        return;
    const QString source = QFileInfo(m_dm.databaseFile()).absoluteFilePath();
    const QString text = DateiDB->text().trimmed();
    if (text.isEmpty()) {
        inform(this, QStringLiteral("Es ist kein Dateiname eingegeben."));
        return;
    }
    const QString target = CompleteCopyTarget(text, QDir::currentPath());
    DateiDB->setText(QDir::toNativeSeparators(target));
    if (IsOwnDatabaseFile(target, source)) {
        inform(this, QStringLiteral("Dieser WAHNSINN, die eigenen Datenbank zu überschreiben, wird nicht unterstützt !"));
        return;
    }
    if (QFileInfo::exists(target) && !ShowAskYesNoBox(this, QStringLiteral("Die Datei existiert bereits.\nÜberschreiben ?")))
        return;
    startWriting(sheetDB, 0, [source, target](RuboDatabase& db, const ExportProceed&) {
        const int code = CopyDatabaseFile(db, target);
        // An interrupted copy is a cancel, which says nothing.
        if (code > 0)
            throw RuboError(CopyFailedMessage(QDir::toNativeSeparators(source), QDir::toNativeSeparators(target), code));
    });
}

void TfrmExport::startWriting(QWidget* sheet, qint64 rows, Writer write)
{
    m_writing = true;
    m_writingSheet = sheet;
    // Only "Abbrechen" stays: another Enter on "&Ok" would start a second export into the file.
    const QPushButton* cancel = sheet == sheetEgn ? cancelEgn : sheet == sheetDB ? cancelDB : cancelSumme;
    for (QWidget* w : sheet->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (w != cancel)
            w->setEnabled(false);
    PageControl->tabBar()->setEnabled(false);
    Fortschritt->setRange(0, int(qBound<qint64>(0, rows, qint64(INT_MAX))));
    Fortschritt->setValue(0);
    Fortschritt->setVisible(true);
    QApplication::setOverrideCursor(Qt::BusyCursor);

    m_worker->run(
        [this, write](RuboJob& job) {
            const ExportProceed proceed = [this, &job](qint64 written) {
                job.deliver([this, written] { Fortschritt->setValue(int(qMin<qint64>(written, Fortschritt->maximum()))); });
                return job.wanted();
            };
            try {
                write(job.db(), proceed);
            } catch (const ExportOpenError& e) {
                const QString message = e.message();
                job.deliver([this, message] {
                    writingEnded();
                    inform(this, message);   // the user may correct the name: the dialog stays
                });
                return;
            }
            job.deliver([this] {
                writingEnded();
                accept();
            });
        },
        [this](const QString& message) {
            writingEnded();
            inform(this, message);
            accept();
        });
}

void TfrmExport::writingEnded()
{
    if (!m_writing)
        return;
    m_writing = false;
    for (QWidget* w : m_writingSheet->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        w->setEnabled(true);
    SeperatorEgn->setEnabled(fmtEgnCsv->isChecked());
    SeperatorSumme->setEnabled(fmtSummeCsv->isChecked());
    PageControl->tabBar()->setEnabled(true);
    Fortschritt->setVisible(false);
    QApplication::restoreOverrideCursor();
}

void TfrmExport::waitForExport()
{
    m_worker->waitUntilIdle();
}

void TfrmExport::reject()
{
    if (m_writing) {
        m_worker->cancel();
        m_worker->waitUntilIdle();
        writingEnded();
    }
    QDialog::reject();
}
