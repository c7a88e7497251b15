#include "database/Conversions.h"
#include "database/RuboEngine.h"
#include "mainwindow/untDialogs.h"
#include "referencedata/RecordTable.h"
#include "referencedata/untFilialen.h"
#include "referencedata/untKostenstellen.h"
#include "referencedata/untLoaded.h"
#include "referencedata/untZonenrabatte.h"
#include "support/RecordingUi.h"
#include "support/TestDb.h"
#include "toolkit/DbNavigator.h"
#include "toolkit/DropDownCombo.h"
#include "toolkit/EditGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace {

const QString kQuestion = QStringLiteral("Es wurden Daten verändert!\nSollen nun die Einzelgesprächsnachweise aktualisiert werden ?");

struct Fixture
{
    TestDb t;
    RecordingUi ui;
    int recalculations = 0;
    std::function<int()> recalc = [this] {
        ++recalculations;
        return 0;
    };

    QStringList column(const QString& sql) { return t.column(sql); }
    void sampleBranches()
    {
        t.db().execute(QStringLiteral("INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('GRZ', 'Graz', '0316*'), ('WIE', 'Wien', '01*'), "
                                      "('LNZ', 'Linz', '0732*')"));
        t.lists().SetFilialenDirty();
    }
};

void showAndFocus(QWidget& w, QWidget* focus)
{
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    focus->setFocus();
}

// Types into a grid cell as a user does: select it, type, and leave it with Tab.
void typeIntoCell(EditGrid* grid, int row, int column, const QString& text)
{
    grid->setCurrentIndex(grid->model()->index(row, column));
    // The first key opens the cell's editor, which takes the rest.
    QTest::keyClicks(grid, text.left(1));
    QTest::keyClicks(QApplication::focusWidget(), text.mid(1));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
}

void leave(QWidget* w)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w, &out);
}

} // namespace

class TestEditors : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void branchesAreTypedIntoTheGrid()
    {
        Fixture f;
        f.sampleBranches();
        TfrmFilialen d(f.t.dm(), f.recalc);
        QCOMPARE(d.windowTitle(), QStringLiteral("Filialen"));
        QCOMPARE(d.btnApply->text(), QStringLiteral("&EGNs aktualisieren"));
        QCOMPARE(d.btnApply->toolTip(), QStringLiteral("Neuberechnung der Kostenstellen in den Einzelgesprächsnachweisen"));
        QVERIFY(d.btnClose->isDefault());
        QCOMPARE(d.tableFilialen->headerData(0, Qt::Horizontal).toString(), QStringLiteral("ANummer"));
        showAndFocus(d, d.gridFilialen);

        // A new row: the calling number alone is refused on leaving the row, and the row stays.
        d.gridFilialen->setCurrentRow(3 - 1);
        QTest::keyClick(d.gridFilialen, Qt::Key_Insert);
        QCOMPARE(d.tableFilialen->state(), RecordTable::State::Insert);
        QTest::keyClicks(QApplication::focusWidget(), "0662*");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(d.tableFilialen->buffer(QStringLiteral("ANummer")).toString(), QStringLiteral("0662*"));
        QVERIFY(d.navOp->button(DbNavigator::Button::Post)->isEnabled());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        d.gridFilialen->setCurrentRow(0);
        QCOMPARE(f.ui.messages, QStringList{"Sie müßen eine Kurzbezeichnung eingeben."});
        QCOMPARE(d.gridFilialen->currentRow(), 2);
        QCOMPARE(f.column("SELECT count(*) FROM Filialen"), QStringList{"3"});

        // With its short name it is posted when the row is left; the text limit of the column holds.
        typeIntoCell(d.gridFilialen, 2, 1, "SBGXY");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        d.gridFilialen->setCurrentRow(0);
        QCOMPARE(f.column("SELECT Kurz || ' ' || ANummer FROM Filialen WHERE Kurz LIKE 'S*'"), QStringList{"SBGX 0662*"});
        QVERIFY(!d.tableFilialen->editing());
        QVERIFY(!d.navOp->button(DbNavigator::Button::Post)->isEnabled());
        QVERIFY(d.isChanged());

        // Deleting asks first; No keeps the row.
        f.ui.answers = {false};
        d.navOp->click(DbNavigator::Button::Delete);
        QCOMPARE(f.ui.questions, QStringList{"Datensatz löschen?"});
        QCOMPARE(f.column("SELECT count(*) FROM Filialen"), QStringList{"4"});

        // Closing after a change asks once; Yes recalculates.
        f.ui.clear();
        f.ui.answers = {true};
        d.reject();
        QCOMPARE(f.ui.questions, QStringList{kQuestion});
        QCOMPARE(f.recalculations, 1);
        QVERIFY(f.t.lists().Filialen().isDirty());
    }

    void aRowTypedCellByCellIsPostedOnLeavingIt()
    {
        Fixture f;
        f.sampleBranches();
        TfrmFilialen d(f.t.dm(), f.recalc);
        showAndFocus(d, d.gridFilialen);
        const QRect cell = d.gridFilialen->visualRect(d.tableFilialen->index(2, 0));
        QTest::mouseClick(d.gridFilialen->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Insert);
        QTest::keyClicks(QApplication::focusWidget(), "0664123");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), "KLU");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), "Klagenfurt");
        QVERIFY(f.column("SELECT Kurz FROM Filialen WHERE Kurz = 'KLU'").isEmpty());
        // Tab from the last cell moves into the next row, which posts this one.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(f.ui.messages.isEmpty());
        QCOMPARE(f.column("SELECT ANummer || ' ' || Kurz || ' ' || Name FROM Filialen WHERE Kurz = 'KLU'"),
                 QStringList{"0664123 KLU Klagenfurt"});
        QCOMPARE(d.gridFilialen->currentRow(), 3);
    }

    void closingWithARowInEditPostsIt()
    {
        Fixture f;
        f.sampleBranches();
        TfrmFilialen d(f.t.dm(), f.recalc);
        showAndFocus(d, d.gridFilialen);
        d.gridFilialen->setCurrentIndex(d.tableFilialen->index(0, 2));
        QTest::keyClick(d.gridFilialen, Qt::Key_F2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
        QTest::keyClicks(QApplication::focusWidget(), " Zentrale");
        // "&Schließen" while the cell is still open: what was typed is kept, not lost.
        f.ui.answers = {false};
        d.btnClose->click();
        QCOMPARE(f.column("SELECT Name FROM Filialen WHERE Kurz = 'GRZ'"), QStringList{"Graz Zentrale"});
        QCOMPARE(f.ui.questions, QStringList{kQuestion});
        QCOMPARE(f.recalculations, 0);
        QVERIFY(!d.isVisible());
    }

    void applyRecalculatesAndClearsTheFlag()
    {
        Fixture f;
        f.sampleBranches();
        {
            // No change: closing asks nothing.
            TfrmZonenrabatte d(f.t.dm(), f.recalc);
            d.reject();
            QVERIFY(f.ui.questions.isEmpty());
        }
        TfrmZonenrabatte d(f.t.dm(), f.recalc);
        QCOMPARE(d.windowTitle(), QStringLiteral("Zonen"));
        d.tblZonenrabatte->insert(0);
        d.tblZonenrabatte->setValue(0, QStringLiteral("Zone"), QStringLiteral("Z1"));
        d.tblZonenrabatte->setValue(0, QStringLiteral("GZ"), QStringLiteral("GZ"));
        QVERIFY(d.tblZonenrabatte->post());
        QCOMPARE(d.CalcKey(0), QStringLiteral("Z1/GZ"));
        QCOMPARE(d.tblZonenrabatte->data(d.tblZonenrabatte->index(0, 2)).toString(), QStringLiteral("0.00"));
        d.btnApply->click();
        QCOMPARE(f.recalculations, 1);
        d.reject();
        QVERIFY(f.ui.questions.isEmpty());
    }

    void zonesPickTheirClassesFromLists()
    {
        Fixture f;
        f.t.db().execute(QStringLiteral("INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES ('Wien', 'GZ', 12.5, 'I'), "
                                        "('Ausland', 'FZ', 0, 'A')"));
        TfrmZonenrabatte d(f.t.dm(), f.recalc);
        // Sorted by zone; the discount with its pattern.
        QCOMPARE(d.tblZonenrabatte->value(0, QStringLiteral("Zone")).toString(), QStringLiteral("Ausland"));
        QCOMPARE(d.tblZonenrabatte->data(d.tblZonenrabatte->index(1, 2)).toString(), QLocale().toString(12.5, 'f', 2));
        showAndFocus(d, d.grdZonenrabatte);
        d.grdZonenrabatte->setCurrentIndex(d.tblZonenrabatte->index(1, 1));
        QTest::keyClick(d.grdZonenrabatte, Qt::Key_F2);
        auto* combo = d.grdZonenrabatte->findChild<QComboBox*>();
        QVERIFY(combo);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items, (QStringList{"GZ", "FZ"}));
        QVERIFY(!combo->view()->isVisible());   // opened on request only
        combo->setCurrentIndex(1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(d.grdZonenrabatte->postRecord());
        QCOMPARE(f.column("SELECT GZ FROM Zonenrabatte WHERE Zone = 'Wien'"), QStringList{"FZ"});
        // A row of the same zone and class is refused.
        d.tblZonenrabatte->setValue(0, QStringLiteral("Zone"), QStringLiteral("Wien"));
        QVERIFY(!d.grdZonenrabatte->postRecord());
        QVERIFY(f.ui.messages.last().startsWith(QStringLiteral("Die Zone \u201EWien\u201C hat schon")));
        d.grdZonenrabatte->cancelRecord();
        f.ui.answers = {false};
        d.reject();
        QCOMPARE(f.recalculations, 0);
    }

    void costCentreButtonsFollowTheRows()
    {
        Fixture f;
        f.sampleBranches();
        f.t.db().execute(QStringLiteral("INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) VALUES "
                                        "('GRZ', '11', 37622, 37986, 'VK-210'), ('GRZ', '12', 37622, 37986, 'VK-210'), "
                                        "('WIE', '20', 37622, 2958465, 'EK-300')"));
        TfrmKostenstellen d(f.t.dm(), f.recalc);
        QCOMPARE(d.windowTitle(), QStringLiteral("Kostenstellen"));
        QVERIFY(d.btnNew->isEnabled() && !d.btnUpd->isEnabled() && !d.btnDel->isEnabled());
        QVERIFY(d.btnFilter->isDefault());
        QCOMPARE(d.tblKostenstellen->headerData(2, Qt::Horizontal).toString(), QStringLiteral("gültig Von"));
        QCOMPARE(d.tblKostenstellen->data(d.tblKostenstellen->index(0, 3)).toString(), QStringLiteral("31.12.2003"));
        showAndFocus(d, d.grdKostenstellen);

        // A row becomes current: the panel shows it, only "&Löschen" is open.
        d.grdKostenstellen->setCurrentRow(1);
        QApplication::processEvents();
        QCOMPARE(d.colFilialeID->currentText(), QStringLiteral("GRZ"));
        QCOMPARE(d.colNebenstelle->text(), QStringLiteral("12"));
        QCOMPARE(d.colVonZeit->text(), QStringLiteral("01.01.2003"));
        QCOMPARE(d.colBisZeit->text(), QStringLiteral("31.12.2003"));
        QCOMPARE(d.colKostenstelle->text(), QStringLiteral("VK-210"));
        QVERIFY(!d.btnNew->isEnabled() && d.btnDel->isEnabled());
        // Typing opens "&Neu" and "&Ändern"; apostrophes go.
        QTest::keyClicks(d.colKostenstelle, "'1");
        QCOMPARE(d.colKostenstelle->text(), QStringLiteral("VK-2101"));
        QVERIFY(d.btnNew->isEnabled() && d.btnUpd->isEnabled());

        // Two rows selected: the fields empty, so that "&Ändern" changes only what is typed anew.
        d.grdKostenstellen->selectionModel()->select(d.tblKostenstellen->index(0, 0),
                                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QApplication::processEvents();
        QCOMPARE(d.grdKostenstellen->selectedRows(), (QList<int>{0, 1}));
        QVERIFY(d.colNebenstelle->text().isEmpty() && d.colKostenstelle->text().isEmpty());
        QVERIFY(d.btnUpd->isEnabled());
        d.colKostenstelle->setText(QStringLiteral("VK-999"));
        d.btnUpd->click();
        QCOMPARE(f.column("SELECT Kostenstelle FROM Kostenstellen ORDER BY ID"), (QStringList{"VK-999", "VK-999", "EK-300"}));
        QCOMPARE(f.column("SELECT Nebenstelle FROM Kostenstellen ORDER BY ID"), (QStringList{"11", "12", "20"}));
        QVERIFY(!d.btnNew->isEnabled() && !d.btnUpd->isEnabled());
        QVERIFY(d.isChanged());
        QCOMPARE(QApplication::focusWidget(), d.colNebenstelle);

        // "&Neu" of a range asks, then the grid shows the new rows.
        f.ui.answers = {true};
        d.colFilialeID->setEditText(QStringLiteral("LNZ"));
        d.colNebenstelle->setText(QStringLiteral("30"));
        d.colNebenstelleBis->setText(QStringLiteral("32"));
        d.colVonZeit->setText(QString());
        d.colBisZeit->setText(QString());
        d.colKostenstelle->setText(QStringLiteral("LG-1"));
        d.btnNew->click();
        QCOMPARE(f.ui.questions, QStringList{"Wollen Sie wirklich die Nebenstellen 30 bis 32 eingeben ?"});
        QCOMPARE(d.tblKostenstellen->recordCount(), 6);

        // "&Löschen" of one current row asks nothing.
        f.ui.clear();
        d.grdKostenstellen->clearSelection();
        d.grdKostenstellen->setCurrentRow(5);
        d.btnDel->click();
        QVERIFY(f.ui.questions.isEmpty());
        QCOMPARE(d.tblKostenstellen->recordCount(), 5);

        f.ui.answers = {false};
        d.reject();
        QCOMPARE(f.ui.questions, QStringList{kQuestion});
    }

    void costCentreFieldsComplete()
    {
        Fixture f;
        f.sampleBranches();
        TfrmKostenstellen d(f.t.dm(), f.recalc);
        // Dates take the missing parts from the field's default.
        d.colVonZeit->setText(QString());
        leave(d.colVonZeit);
        QCOMPARE(d.colVonZeit->text(), QStringLiteral("01.01.1900"));
        d.colBisZeit->setText(QStringLiteral("5.3"));
        leave(d.colBisZeit);
        QCOMPARE(d.colBisZeit->text(), QStringLiteral("05.03.9999"));
        d.colBisZeit->setText(QStringLiteral("0"));
        leave(d.colBisZeit);
        QCOMPARE(d.colBisZeit->text(), QStringLiteral("01.01.1900"));

        // The branch field keeps only a known short name, "-" and "x".
        for (const char* text : {"WIE", "-", "x"}) {
            d.colFilialeID->setEditText(QString::fromUtf8(text));
            leave(d.colFilialeID);
            QCOMPARE(d.colFilialeID->currentText(), QString::fromUtf8(text));
        }
        d.colFilialeID->setEditText(QStringLiteral("SBG"));
        leave(d.colFilialeID);
        QVERIFY(d.colFilialeID->currentText().isEmpty());
        // Its list is sorted; the filter's keeps the branches' order.
        QStringList items;
        for (int i = 0; i < d.colFilialeID->count(); ++i)
            items << d.colFilialeID->itemText(i);
        QCOMPARE(items, (QStringList{"GRZ", "LNZ", "WIE"}));
        d.filterFilialeDropDown();
        QStringList filterItems;
        for (int i = 0; i < d.filterFiliale->count(); ++i)
            filterItems << d.filterFiliale->itemText(i);
        QCOMPARE(filterItems, FilialKurzListe(f.t.lists()));
    }

    void costCentreFilter()
    {
        Fixture f;
        f.t.db().execute(QStringLiteral("INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) VALUES "
                                        "('O''N', '1', 37622, 37684, 'K1'), ('O''N', '1', 37685, 2958465, 'K2'), "
                                        "('GRZ', '2', 37622, 2958465, 'K3')"));
        TfrmKostenstellen d(f.t.dm(), f.recalc);
        QVERIFY(!d.grdKostenstellen->headerColor().isValid());
        // The branch picked from the list keeps its apostrophe, and the grid still finds it.
        d.filterFilialeDropDown();
        d.filterFiliale->setEditText(QStringLiteral("O'N"));
        d.filterTag->setText(QStringLiteral("5.3.2003"));
        d.btnFilter->click();
        QCOMPARE(d.filterTag->text(), QStringLiteral("05.03.2003"));
        QCOMPARE(d.tblKostenstellen->recordCount(), 1);
        QCOMPARE(d.tblKostenstellen->value(0, QStringLiteral("Kostenstelle")).toString(), QStringLiteral("K2"));
        QCOMPARE(d.grdKostenstellen->headerColor(), QColor(0, 128, 128));
        // Apostrophes typed into the edit fields go.
        d.filterKostenstelle->setText(QStringLiteral("K'2"));
        QCOMPARE(d.filterKostenstelle->text(), QStringLiteral("K2"));
        d.btnFilterClear->click();
        QCOMPARE(d.tblKostenstellen->recordCount(), 3);
        QVERIFY(d.filterTag->text().isEmpty() && d.filterFiliale->currentText().isEmpty());
        QVERIFY(!d.grdKostenstellen->headerColor().isValid());
        d.reject();
        QVERIFY(f.ui.questions.isEmpty());
    }

    void loadedFilesAreLoadedAndDeleted()
    {
        Fixture f;
        int released = 0;
        bool enabledWhileLoading = true;
        TfrmLoaded* dialog = nullptr;
        const auto load = [&] {
            enabledWhileLoading = dialog->isEnabled();
            f.t.db().execute(QStringLiteral("INSERT INTO GeladeneDateien (DateiID, DateiName, OriginalName, AnzahlEGN) VALUES "
                                            "(1, '/d/a.edi', '', 1234), (2, '/d/b.edi', '', 1)"));
            RuboStatement calls(f.t.db(), QStringLiteral("INSERT INTO EGN (DateiID, BeginZeit) VALUES (?1, 1)"));
            for (int i = 0; i < 1235; ++i) {
                calls.reset();
                calls.bindInt(1, i < 1234 ? 1 : 2);
                calls.step();
            }
        };
        TfrmLoaded d(f.t.dm(), load, [&] { ++released; });
        dialog = &d;
        QCOMPARE(d.windowTitle(), QStringLiteral("Geladene Dateien"));
        QVERIFY(!d.btnDelete->isEnabled());
        QCOMPARE(d.tblGeladeneDateien->headerData(1, Qt::Horizontal).toString(), QStringLiteral("AnzahlEGN"));

        d.btnLoad->click();
        QVERIFY(!enabledWhileLoading);
        QVERIFY(d.isEnabled());
        QCOMPARE(d.tblGeladeneDateien->recordCount(), 2);
        QVERIFY(d.btnDelete->isEnabled());

        // No deletes nothing and leaves the main window's views alone.
        d.DBGrid1->setCurrentRow(0);
        f.ui.answers = {false};
        d.btnDelete->click();
        QCOMPARE(f.ui.questions, QStringList{"Wollen Sie wirklich die Daten der Datei\n/d/a.edi\nlöschen ?"});
        QCOMPARE(released, 0);
        QCOMPARE(f.column("SELECT count(*) FROM EGN"), QStringList{"1235"});

        f.ui.answers = {true};
        d.btnDelete->click();
        QCOMPARE(released, 1);
        QCOMPARE(f.ui.statusTexts.last(), QStringLiteral("Es wurden 1234 Einträge gelöscht."));
        QCOMPARE(f.column("SELECT DateiID FROM EGN"), QStringList{"2"});
        QCOMPARE(d.tblGeladeneDateien->recordCount(), 1);

        // A failure is shown, and the list is read again.
        f.t.db().execute(QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE DELETE ON EGN BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END"));
        f.ui.clear();
        f.ui.answers = {true};
        d.btnDelete->click();
        QVERIFY(f.ui.messages.last().startsWith(QStringLiteral("Da ist was passiert ...")));
        QVERIFY(f.ui.messages.last().contains(QStringLiteral("disk I/O error")));
        QCOMPARE(d.tblGeladeneDateien->recordCount(), 1);
        QVERIFY(d.btnDelete->isEnabled());
    }
};

QTEST_MAIN(TestEditors)
#include "TestEditors.moc"
