#include "support/TestDb.h"
#include "database/dmlMain.h"
#include "mainwindow/untDialogs.h"
#include "mainwindow/untMain.h"
#include "output/untExport.h"
#include "toolkit/DataGrid.h"
#include "toolkit/SqlPagedModel.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

namespace {

// The main window over a fresh database with a few calls, every box answered by the script.
struct Fixture
{
    DialogScript script;
    TestDb t;
    TfrmMain w{t.dm()};
    TfrmExport& d = *w.frmExport;

    Fixture()
    {
        RuboUi::install(&w);
        t.db().execute("INSERT INTO EGN (ANummer, Nebenstelle, BNummer, Zone, Ziel, IAS, Sekunden, BeginZeit, Betrag, BetragEuro, Rabatt, RabattEuro) VALUES "
                       "('0316', '11', '0664111', 'Mobilnetz', 'A1 Mobil', 'I', 60, 37636.5, 1.5, 0.109, 1.5, 0.109),"
                       "('0316', '12', '0664222', 'Mobilnetz', 'Hotel \"Sacher\" Wien', 'I', 30, 37636.75, 2.25, 2.25, NULL, NULL),"
                       "('0316', '11', '0049221', 'Deutschland', 'Köln', 'A', 10, 37637, 1, 1, 1, 1)");
    }
    ~Fixture() { RuboUi::install(nullptr); }

    void list(const QString& grouping, const QString& level1 = QString())
    {
        w.cboGruppierung->setCurrentIndex(w.cboGruppierung->findText(grouping));
        w.cboGruppierungChange();
        w.waitForWork();
        const QAbstractItemModel* m = w.trvGruppe->model();
        QModelIndex node = m->index(0, 0);
        if (!level1.isEmpty())
            for (int i = 0; i < m->rowCount(node); ++i)
                if (m->index(i, 0, node).data().toString() == level1)
                    node = m->index(i, 0, node);
        w.trvGruppe->setCurrentIndex(node);
        w.trvGruppeChange(node);
        w.waitForWork();
    }
    // Opens the dialog as `open` does, lets `inside` act on it, and returns the sheet it showed.
    TfrmExport::Sheet openWith(void (TfrmMain::*open)(), const std::function<void()>& inside = {})
    {
        TfrmExport::Sheet shownSheet{};
        script.dialogResults << [&](QDialog&) {
            shownSheet = d.currentSheet();
            if (inside)
                inside();
            d.waitForExport();
            return int(QDialog::Rejected);
        };
        (w.*open)();
        return shownSheet;
    }
    QString file(const QString& name) const { return t.path(name); }
    QByteArray read(const QString& name) const
    {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Files of the test folder besides the database: no temporary file may stay behind.
    QStringList leftovers() const
    {
        QStringList names = QDir(t.dir()).entryList(QDir::Files);
        names.removeIf([](const QString& n) { return n.startsWith(QLatin1String("RuboTool.mdb")); });
        return names;
    }
};

} // namespace

class TestExportDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings("DRAVIK", "DravikRuboTool").clear();
    }

    // Each command opens its sheet; "&Export..." the one shown last, "Summen" the very first time.
    void opensOnTheSheetOfTheCommand()
    {
        Fixture f;
        QCOMPARE(f.openWith(&TfrmMain::mnuExportClick), TfrmExport::Sheet::Summen);
        QCOMPARE(f.openWith(&TfrmMain::tbtnExcelClick), TfrmExport::Sheet::EGN);
        QCOMPARE(f.openWith(&TfrmMain::mnuExportClick), TfrmExport::Sheet::EGN);
        QCOMPARE(f.openWith(&TfrmMain::mnuSaveAsClick), TfrmExport::Sheet::Datenbank);
        QCOMPARE(f.openWith(&TfrmMain::mnuExportClick), TfrmExport::Sheet::Datenbank);
        QCOMPARE(f.d.windowTitle(), QString("Export"));
        QCOMPARE(f.d.PageControl->tabText(0), QString("EGN"));
        QCOMPARE(f.d.PageControl->tabText(1), QString("Datenbank"));
        QCOMPARE(f.d.PageControl->tabText(2), QString("Summen"));
    }

    // Texts typed stay between openings; the counts follow the lists of the main window.
    void keepsItsTextsAndCountsTheLists()
    {
        Fixture f;
        f.openWith(&TfrmMain::tbtnExcelClick, [&] {
            QCOMPARE(f.d.AnzahlEgn->text(), QString("0"));
            f.d.DateiEgn->setText("anrufe");
            f.d.SeperatorEgn->setText("#59");
        });
        f.list("Zonen", "Mobilnetz");
        // The file chooser starts in the working folder's Data and writes the chosen path back.
        f.script.fileNames = {{f.file("gewählt.csv")}};
        f.d.SelectEgnDateiClick();
        QCOMPARE(f.script.shown.constLast().kind, DialogScript::Kind::SaveFile);
        QCOMPARE(f.script.shown.constLast().text, QDir::current().filePath("Data"));
        QCOMPARE(f.d.DateiEgn->text(), QDir::toNativeSeparators(f.file("gewählt.csv")));
        f.d.SelectEgnDateiClick();   // cancelled: the name stays
        QCOMPARE(f.d.DateiEgn->text(), QDir::toNativeSeparators(f.file("gewählt.csv")));
        f.d.DateiEgn->setText("anrufe");
        f.openWith(&TfrmMain::tbtnExcelClick, [&] {
            QCOMPARE(f.d.DateiEgn->text(), QString("anrufe"));
            QCOMPARE(f.d.SeperatorEgn->text(), QString("#59"));
            QCOMPARE(f.d.AnzahlEgn->text(), QString("2"));
            f.d.PageControl->setCurrentWidget(f.d.sheetSumme);
            QCOMPARE(f.d.AnzahlSumme->text(), QString(QString::number(f.w.qryGroup->rowCount())));
        });
    }

    // The format choice rewrites the extension at once and enables the separator for CSV only;
    // the separator field keeps one character or "#" with a code below 256.
    void formatAndSeparatorFields()
    {
        Fixture f;
        TfrmExport& d = f.d;
        d.DateiEgn->setText(" export ");
        d.fmtEgnExcel->click();
        QCOMPARE(d.DateiEgn->text(), QString("export.xlsx"));
        QVERIFY(!d.SeperatorEgn->isEnabled());
        d.fmtEgnCsv->click();
        QCOMPARE(d.DateiEgn->text(), QString("export.csv"));
        QVERIFY(d.SeperatorEgn->isEnabled());
        // The sums sheet's choice is its own.
        QVERIFY(d.fmtSummeCsv->isChecked());

        d.SeperatorEgn->clear();
        QTest::keyClicks(d.SeperatorEgn, "#300");
        QCOMPARE(d.SeperatorEgn->text(), QString("#"));
        d.SeperatorEgn->clear();
        QTest::keyClicks(d.SeperatorEgn, "#x");
        QCOMPARE(d.SeperatorEgn->text(), QString("#"));
        d.SeperatorEgn->clear();
        QTest::keyClicks(d.SeperatorEgn, "#255");
        QCOMPARE(d.SeperatorEgn->text(), QString("#255"));
        d.SeperatorEgn->clear();
        QTest::keyClicks(d.SeperatorEgn, "ab");
        QCOMPARE(d.SeperatorEgn->text(), QString("a"));
    }

    // Every refusal shows its message and leaves the dialog open with nothing written.
    void refusesWhatCannotBeExported()
    {
        Fixture f;
        TfrmExport& d = f.d;
        const auto okEgn = [&](const QString& name, const QString& separator) {
            f.script.clear();
            d.DateiEgn->setText(name);
            d.SeperatorEgn->clear();
            QTest::keyClicks(d.SeperatorEgn, separator);
            d.okEgnClick();
            d.waitForExport();
            return f.script.texts();
        };
        QCOMPARE(okEgn("  ", ";"), QStringList{"Es wurde kein Dateiname eingegeben."});
        QCOMPARE(okEgn(f.file("x"), " "), QStringList{"Es wurde KEIN Seperator eingegeben."});
        QCOMPARE(d.DateiEgn->text(), f.file("x.csv"));
        QCOMPARE(okEgn(f.file("x"), ";"), QStringList{"Kein Bereich ausgewählt."});
        f.list("Zonen", "Mobilnetz");
        QCOMPARE(okEgn(f.file("x"), "#34").size(), 1);
        QVERIFY(f.script.texts().first().startsWith("Dieses Trennzeichen"));
        QCOMPARE(okEgn(f.file("x"), "#10").size(), 1);
        QCOMPARE(f.leftovers(), QStringList());

        // An existing file is overwritten only after Yes.
        QFile::copy(QFINDTESTDATA("TestExportDialog.cpp"), f.file("x.csv"));
        const QByteArray before = f.read("x.csv");
        f.script.answers = {false};
        QCOMPARE(okEgn(f.file("x.csv"), ";"), QStringList{"Datei existiert bereits.\nÜberschreiben ?"});
        QCOMPARE(f.read("x.csv"), before);
        QVERIFY(!d.isWriting());

        // A folder that is not there: the name stays for correcting, the dialog open.
        const QString missing = f.file("nicht/da.csv");
        QCOMPARE(okEgn(missing, ";"), QStringList{"Kann Datei nicht zum schreiben öffnen.\nDatei=" + missing});
        QVERIFY(d.okEgn->isEnabled());

        // The sums sheet asks the same.
        f.script.clear();
        d.DateiSumme->setText("");
        d.okSummeClick();
        QCOMPARE(f.script.texts(), QStringList{"Es wurde kein Dateiname eingegeben."});
    }

    // The calls and the sums of the node shown, written as the sheets say.
    void writesTheCallsAndSumsShown()
    {
        Fixture f;
        f.list("Zonen", "Mobilnetz");
        f.openWith(&TfrmMain::tbtnExcelClick, [&] {
            f.d.fmtEgnCsv->click();
            f.d.DateiEgn->setText(f.file("anrufe"));
            f.d.SeperatorEgn->setText("#59");
            f.d.okEgnClick();
            QVERIFY(f.d.isWriting());
        });
        QVERIFY(f.script.texts().isEmpty());
        const QList<QByteArray> lines = f.read("anrufe.csv").split('\n');
        QCOMPARE(lines.size(), 4);   // header, two calls, the empty rest after the last line end
        QCOMPARE(lines[0], QByteArray("ANummer;Nebenstelle;BNummer;Betrag;Sekunden;BeginZeit;ZoneCode;Zone;Ziel;"
                                      "Kostenstelle;Euro;IAS;FilialeID;GZ;Rabatt;RabattEuro\r"));
        QVERIFY(lines[1].startsWith("\"0316\";\"11\";\"0664111\";\"1.50\";\"60\";\"15.01.2003 12:00:00\";"));
        QVERIFY(lines[2].contains(";\"Hotel \"\"Sacher\"\" Wien\";"));
        QVERIFY(lines[2].endsWith(";\"\";\"\"\r"));

        f.openWith(&TfrmMain::mnuExportClick, [&] {
            QCOMPARE(f.d.currentSheet(), TfrmExport::Sheet::EGN);
            f.d.PageControl->setCurrentWidget(f.d.sheetSumme);
            f.d.DateiSumme->setText(f.file("summen.txt"));
            f.d.SeperatorSumme->setText("#9");
            f.d.okSummeClick();
        });
        const QList<QByteArray> sums = f.read("summen.csv").split('\n');
        QCOMPARE(sums[0], QByteArray("Anzahl\tSumSekunden\tSumBetrag\tSumEuro\tFilialeID\tKostenstelle\tNebenstelle\t"
                                     "Zone\tIAS\tZiel\tSumRabatt\tSumRabattEuro\r"));
        QCOMPARE(sums.size(), f.w.qryGroup->rowCount() + 2);
        QCOMPARE(f.leftovers(), QStringList({"anrufe.csv", "summen.csv"}));
    }

    // "Format Excel" writes the grid as the user arranged it: the columns shown, in their order,
    // the rows in the grid's sort, numbers as numbers and dates as dates.
    void workbookFollowsTheGrid()
    {
        Fixture f;
        f.list("Zonen", "Mobilnetz");
        DataGrid& grid = *f.w.grdDetails;
        grid.setColumnVisible("BNummer", false);
        f.w.grdDetailsColumnClick("Betrag");
        f.w.grdDetailsColumnClick("Betrag");   // the second click sorts downwards
        f.w.waitForWork();
        QStringList captions;
        for (const GridColumn& c : grid.columns())
            if (c.visible && f.w.qryDetails->fieldNames().contains(c.field))
                captions << grid.columnCaption(c.field);
        f.openWith(&TfrmMain::tbtnExcelClick, [&] {
            f.d.DateiEgn->setText(f.file("anrufe"));
            f.d.fmtEgnExcel->click();
            f.d.okEgnClick();
        });
        QCOMPARE(f.d.DateiEgn->text(), f.file("anrufe.xlsx"));
        QVERIFY(f.script.texts().isEmpty());

        QString python = QStandardPaths::findExecutable("python3", {"/usr/bin"});
        QProcess p;
        p.start(python.isEmpty() ? QStringLiteral("python3") : python,
                {QStringLiteral(RUBO_SOURCE_DIR "/tests/tools/read-xlsx.py"), f.file("anrufe.xlsx")});
        QVERIFY(p.waitForFinished(60000) && p.exitCode() == 0);
        const QJsonObject sheet = QJsonDocument::fromJson(p.readAllStandardOutput().split('\n').first()).object();
        QCOMPARE(sheet.value("sheet").toString(), QString("EGN"));
        const QJsonArray rows = sheet.value("rows").toArray();
        QCOMPARE(rows.size(), 3);
        QStringList header;
        for (const QJsonValue& c : rows.at(0).toArray())
            header << c.toObject().value("v").toString();
        QCOMPARE(header, captions);
        QVERIFY(!header.contains("BNummer") && header.contains(grid.columnCaption("BeginZeit")));
        const auto cell = [&](int row, const QString& field) {
            return rows.at(row).toArray().at(header.indexOf(grid.columnCaption(field))).toObject();
        };
        QCOMPARE(cell(1, "Betrag").value("v").toDouble(), 2.25);
        QCOMPARE(cell(2, "Betrag").value("v").toDouble(), 1.5);
        QCOMPARE(cell(1, "Betrag").value("t").toString(), QString("n"));
        QCOMPARE(cell(2, "BeginZeit").value("t").toString(), QString("d"));
        QCOMPARE(cell(2, "BeginZeit").value("v").toString(), QString("2003-01-15 12:00:00"));
        QCOMPARE(cell(1, "Ziel").value("v").toString(), QString("Hotel \"Sacher\" Wien"));
    }

    // While an export writes, its sheet takes no input; "Abbrechen" stops it and the old file stays.
    void cancelLeavesTheOldFile()
    {
        Fixture f;
        f.t.db().execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300000) "
                         "INSERT INTO EGN (ANummer, Nebenstelle, BNummer, Zone, Ziel, IAS, Sekunden, BeginZeit, Betrag, BetragEuro) "
                         "SELECT '0316', '11', '0664' || i, 'Mobilnetz', 'A1 Mobil', 'I', i, 37636.5, 1.5, 0.109 FROM n");
        f.list("Zonen", "Mobilnetz");
        f.d.DateiEgn->setText(f.file("gross.csv"));
        f.d.SeperatorEgn->setText(";");
        QFile old(f.file("gross.csv"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("alt\r\n");
        old.close();
        f.script.answers = {true};
        f.d.okEgnClick();
        QVERIFY(f.d.isWriting());
        QVERIFY(!f.d.okEgn->isEnabled() && !f.d.DateiEgn->isEnabled() && !f.d.SelectEgnDatei->isEnabled());
        QVERIFY(f.d.cancelEgn->isEnabled());
        QVERIFY(f.d.Fortschritt->isVisible() || !f.d.isVisible());
        f.d.okEgnClick();   // Enter on "&Ok" once more starts nothing
        f.d.reject();
        QVERIFY(!f.d.isWriting());
        QVERIFY(f.d.okEgn->isEnabled());
        QCOMPARE(f.read("gross.csv"), QByteArray("alt\r\n"));
        QCOMPARE(f.leftovers(), QStringList{"gross.csv"});
    }

    // The copy of the database: name completion, the refusal to overwrite itself, the copy itself.
    void copiesTheDatabase()
    {
        Fixture f;
        TfrmExport& d = f.d;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(f.t.dir());
        const auto okDB = [&](const QString& name) {
            f.script.clear();
            d.DateiDB->setText(name);
            d.okDBClick();
            d.waitForExport();
            return f.script.texts();
        };
        QCOMPARE(okDB(""), QStringList{"Es ist kein Dateiname eingegeben."});
        const QString madness = "Dieser WAHNSINN, die eigenen Datenbank zu überschreiben, wird nicht unterstützt !";
        QCOMPARE(okDB("RuboTool"), QStringList{madness});
        QCOMPARE(okDB("./rubotool.MDB"), QStringList{madness});
        QCOMPARE(okDB("RuboTool.mdb-journal"), QStringList{madness});
        QCOMPARE(okDB("sicherung"), QStringList());
        QCOMPARE(d.DateiDB->text(), QDir::toNativeSeparators(f.file("sicherung.mdb")));
        {
            TdmMain copy(f.file("sicherung.mdb"));
            QVERIFY(copy.open());
            QCOMPARE(copy.tableCounts().first().second, qint64(3));
        }
        f.script.answers = {false};
        QCOMPARE(okDB("sicherung.mdb"), QStringList{"Die Datei existiert bereits.\nÜberschreiben ?"});
        const QString target = f.file("fehlt/kopie.mdb");
        QCOMPARE(okDB(target), QStringList{"Das Kopieren hat nicht funktioniert.\nCopyFile "
                                           + QDir::toNativeSeparators(f.t.dm().databaseFile()) + " auf "
                                           + QDir::toNativeSeparators(target) + "\nFehler:2"});
        QDir::setCurrent(previous);
    }
};

QTEST_MAIN(TestExportDialog)
#include "TestExportDialog.moc"
