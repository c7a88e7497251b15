#include "database/RuboEngine.h"
#include "filter/untFilter.h"
#include "mainwindow/untDialogs.h"
#include "support/TestDb.h"
#include "toolkit/DropDownCombo.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

QStringList items(const QComboBox* combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

// The dialog as the main window holds it, with a fixed clock: 14.03.2003 14:27:33.
struct Fixture
{
    DialogScript script;
    TestDb t;
    TfrmFilter d{t.dm()};

    Fixture()
    {
        d.clock = [] { return QDateTime(QDate(2003, 3, 14), QTime(14, 27, 33)); };
    }
    // Opens the dialog; `answer` fills it in and presses its buttons as a user would.
    int open(const std::function<void(TfrmFilter&)>& answer)
    {
        script.dialogResults << [answer](QDialog& dialog) {
            auto& filter = static_cast<TfrmFilter&>(dialog);
            answer(filter);
            return filter.result();
        };
        return d.execute();
    }
};

} // namespace

class TestFilterDialog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void layoutAndButtons()
    {
        Fixture f;
        QCOMPARE(f.d.windowTitle(), QStringLiteral("Eingabe von Filter"));
        QStringList labels;
        for (const QLabel* l : f.d.findChildren<QLabel*>())
            labels << l->text();
        QCOMPARE(labels, (QStringList{"von", "bis", "Datum", "Zeit", "Nebenstelle", "A-Nummer", "B-Nummer", "Kostenstelle", "Zone",
                                      "Ziel", "FilialeID", "Geschäftszeit", "DateiID"}));
        QCOMPARE(f.d.btnFiltern->text(), QStringLiteral("&Filtern"));
        QVERIFY(f.d.btnFiltern->isDefault());
        QCOMPARE(f.d.btnReset->text(), QStringLiteral("&Zurücksetzen"));
        QCOMPARE(f.d.btnAbbrechen->text(), QStringLiteral("&Abbrechen"));
        QCOMPARE(items(f.d.GZ), (QStringList{"", "GZ", "FZ", "ÜZ"}));
        QVERIFY(f.d.FilialeID->isEditable() && f.d.GZ->isEditable() && f.d.DateiID->isEditable());
        QVERIFY(f.d.FilterClause.isEmpty());
        for (const QLineEdit* e : f.d.findChildren<QLineEdit*>())
            QVERIFY(e->text().isEmpty());
    }

    void leavingAFieldCompletesIt()
    {
        Fixture f;
        f.d.show();
        QApplication::setActiveWindow(&f.d);
        QVERIFY(QTest::qWaitForWindowActive(&f.d));
        f.d.DatumVon->setFocus();
        QTest::keyClicks(f.d.DatumVon, "5");
        f.d.DatumBis->setFocus();
        QCOMPARE(f.d.DatumVon->text(), QStringLiteral("05.03.2003"));
        QTest::keyClicks(f.d.DatumBis, " <> ");
        f.d.ZeitVon->setFocus();
        QCOMPARE(f.d.DatumBis->text(), QStringLiteral("<>"));
        QTest::keyClicks(f.d.ZeitVon, "8");
        f.d.ZeitBis->setFocus();
        QCOMPARE(f.d.ZeitVon->text(), QStringLiteral("08:27:00"));
        QTest::keyClicks(f.d.ZeitBis, "8.15");
        f.d.NebenstelleVon->setFocus();
        QCOMPARE(f.d.ZeitBis->text(), QStringLiteral("08:15:00"));
        // Number and text fields are taken as they stand.
        QTest::keyClicks(f.d.NebenstelleVon, " 7 ");
        f.d.ANummer->setFocus();
        QCOMPARE(f.d.NebenstelleVon->text(), QStringLiteral(" 7 "));
    }

    void filternBuildsTheClause()
    {
        Fixture f;
        // Enter in a field filters without leaving it: the completion still happens first.
        const int result = f.open([](TfrmFilter& d) {
            d.DatumVon->setText("5");
            d.ZeitVon->setText("8.15");
            d.ZeitBis->setText(">=");
            d.Zone->setText("Côte d'Ivoire");
            d.FilialeID->setEditText("O'N");
            d.GZ->setCurrentIndex(3);
            d.DateiID->setEditText("12 - calls.edi");
            d.btnFiltern->click();
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(f.d.DatumVon->text(), QStringLiteral("05.03.2003"));
        QCOMPARE(f.d.FilterClause, QStringLiteral(" AND DateValue(BeginZeit) = CDate('05.03.2003') AND TimeValue(BeginZeit) >= "
                                                  "CDate('08:15:00') AND Zone LIKE 'Côte d''Ivoire' AND FilialeID LIKE 'O''N' "
                                                  "AND GZ LIKE 'ÜZ' AND DateiID = 12"));
        QVERIFY(f.script.texts().isEmpty());

        // What was typed is there at the next opening, also after a cancel.
        QCOMPARE(f.open([](TfrmFilter& d) { d.btnAbbrechen->click(); }), int(QDialog::Rejected));
        QCOMPARE(f.d.Zone->text(), QStringLiteral("Côte d'Ivoire"));
        QCOMPARE(f.d.DateiID->currentText(), QStringLiteral("12 - calls.edi"));
    }

    void extensionThatIsNoNumberIsRefused()
    {
        Fixture f;
        const int result = f.open([](TfrmFilter& d) {
            d.NebenstelleVon->setText("1 OR 1=1");
            d.btnFiltern->click();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(f.script.texts(), QStringList{"Nebenstelle von: „1 OR 1=1“ ist keine ganze Zahl."});
        QCOMPARE(f.script.shown.constLast().kind, DialogScript::Kind::Error);
        QVERIFY(!f.d.FilterClause.contains(QLatin1String("OR")));

        f.script.clear();
        QCOMPARE(f.open([](TfrmFilter& d) {
                     d.NebenstelleVon->setText("100");
                     d.NebenstelleBis->setText("2OO");
                     d.btnFiltern->click();
                 }),
                 int(QDialog::Rejected));
        QCOMPARE(f.script.texts(), QStringList{"Nebenstelle bis: „2OO“ ist keine ganze Zahl."});
    }

    void resetEmptiesTheFieldsOnly()
    {
        Fixture f;
        QSignalSpy reset(&f.d, &TfrmFilter::listsReset);
        f.open([](TfrmFilter& d) {
            d.ANummer->setText("0664*");
            d.btnFiltern->click();
        });
        const QString clause = f.d.FilterClause;
        QCOMPARE(clause, QStringLiteral(" AND ANummer LIKE '0664*'"));
        const int result = f.open([](TfrmFilter& d) {
            d.GZ->setCurrentIndex(1);
            d.btnReset->click();
            d.btnAbbrechen->click();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(reset.count(), 1);
        QVERIFY(f.d.ANummer->text().isEmpty() && f.d.GZ->currentText().isEmpty());
        QCOMPARE(items(f.d.GZ).size(), 4);
        QCOMPARE(f.d.FilterClause, clause);
    }

    void listsFollowTheDatabase()
    {
        Fixture f;
        RuboDatabase& db = f.t.db();
        db.execute("INSERT INTO GeladeneDateien (DateiID, DateiName, OriginalName, AnzahlEGN) VALUES (1, 'a.edi', '', 0), (3, 'old.edi', '', 0)");
        db.execute("INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('GRZ', 'Graz', '0316*')");
        f.open([](TfrmFilter& d) {
            d.FilialeIDDropDown();
            d.DateiID->setEditText("3");
        });
        QCOMPARE(items(f.d.DateiID), (QStringList{"", "1 - a.edi", "3 - old.edi"}));
        QCOMPARE(items(f.d.FilialeID), (QStringList{"", "GRZ"}));

        // File 3 is deleted and its number given to a new file: the next opening shows that.
        db.execute("DELETE FROM GeladeneDateien WHERE DateiID = 3");
        db.execute("INSERT INTO GeladeneDateien (DateiID, DateiName, OriginalName, AnzahlEGN) VALUES (3, 'new.edi', '', 0)");
        db.execute("INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('WIE', 'Wien', '01*')");
        f.open([](TfrmFilter& d) { d.FilialeIDDropDown(); });
        QCOMPARE(items(f.d.DateiID), (QStringList{"", "1 - a.edi", "3 - new.edi"}));
        QCOMPARE(f.d.DateiID->currentText(), QStringLiteral("3"));
        // The branches are read again only once they are marked stale.
        QCOMPARE(items(f.d.FilialeID), (QStringList{"", "GRZ"}));
        f.t.lists().SetFilialenDirty();
        f.d.FilialeIDDropDown();
        QCOMPARE(items(f.d.FilialeID), (QStringList{"", "GRZ", "WIE"}));
    }
};

QTEST_MAIN(TestFilterDialog)
#include "TestFilterDialog.moc"
