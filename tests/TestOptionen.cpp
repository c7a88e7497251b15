#include "database/NumberMask.h"
#include "database/RuboEngine.h"
#include "mainwindow/untCallProperties.h"
#include "mainwindow/untDialogs.h"
#include "mainwindow/untMain.h"
#include "mainwindow/untOptionen.h"
#include "support/TestDb.h"
#include "toolkit/DataGrid.h"
#include "toolkit/GroupedRows.h"
#include "toolkit/SqlPagedModel.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>

namespace {

// The main window over four calls in list order: a mobile number, a value-added service, one of
// the service line's cost centre and a short number.
struct Fixture
{
    DialogScript script;
    TestDb t;
    TfrmMain w{t.dm()};

    Fixture()
    {
        RuboUi::install(&w);
        t.db().execute(QStringLiteral("INSERT INTO EGN (BNummer, Kostenstelle, Zone, Sekunden) VALUES "
                                      "('06641234567', 'K7', 'Mobil', 1), ('0900123456', 'K7', 'Mehrwert', 2), "
                                      "('06647654321', 'Service', 'Mobil', 3), ('133', 'K7', 'Notruf', 4)"));
        w.ShowDetails(QString());
        w.waitForWork();
        w.grdDetailsColumnClick(QStringLiteral("Sekunden"));
        w.waitForWork();
    }
    ~Fixture() { RuboUi::install(nullptr); }

    QStringList column(bool shown) const
    {
        QStringList out;
        for (int r = 0; r < w.grdDetails->recordCount(); ++r)
            out << (shown ? w.grdDetails->recordText(r, "BNummer") : w.grdDetails->recordValue(r, "BNummer").toString());
        return out;
    }
};

const QStringList kFull = {"06641234567", "0900123456", "06647654321", "133"};

} // namespace

class TestOptionen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    void init() { QSettings(kSettingsOrganisation, kSettingsApplication).clear(); }

    // The dialog shows the setting, refuses a prefix that is no number, and stores what it accepts.
    void dialogStoresTheSetting()
    {
        Fixture f;
        QCOMPARE(f.column(true), kFull);
        f.script.dialogResults << [&f](QDialog& d) {
            auto& o = static_cast<TfrmOptionen&>(d);
            [&] {
                QCOMPARE(o.windowTitle(), QStringLiteral("Optionen"));
                QCOMPARE(o.edtKuerzen->value(), 0);
                QCOMPARE(o.edtKuerzen->text(), QStringLiteral("aus"));
                QCOMPARE(o.edtPraefixe->text(), NumberMask::defaultPrefixes().join(", "));
                QCOMPARE(o.lblBeispiel->text(), QStringLiteral("Die Zielnummern werden voll gezeigt."));
                o.edtKuerzen->setValue(3);
                QCOMPARE(o.lblBeispiel->text(), QStringLiteral("Beispiel: 06641234567 wird als 06641234xxx gezeigt."));
                o.edtPraefixe->setText("0900, 09a0");
                o.btnOKClick();
                QCOMPARE(f.script.texts(), QStringList{"Eine Vorwahl besteht nur aus Ziffern: „09a0“."});
                QVERIFY(o.result() != QDialog::Accepted);
                o.btnStandardClick();
                o.edtKostenstellen->setText("service");
                o.btnOKClick();
            }();
            return o.result();
        };
        f.w.mnuOptionenClick();
        QCOMPARE(f.script.shown.first().text, QStringLiteral("frmOptionen"));
        const NumberMask stored = LoadNumberMask();
        QCOMPARE(stored.digits, 3);
        QCOMPARE(stored.keptPrefixes, NumberMask::defaultPrefixes());
        QCOMPARE(stored.keptKostenstellen, QStringList{"service"});
        QCOMPARE(f.w.numberMask().keptKostenstellen, QStringList{"service"});
        QCOMPARE(f.column(true), QStringList({"06641234xxx", "0900123456", "06647654321", "xxx"}));

        // Cancelled, the dialog changes nothing.
        f.script.dialogResults << [](QDialog& d) {
            static_cast<TfrmOptionen&>(d).edtKuerzen->setValue(0);
            return int(QDialog::Rejected);
        };
        f.w.mnuOptionenClick();
        QCOMPARE(LoadNumberMask().digits, 3);
        QCOMPARE(f.w.numberMask().digits, 3);

        // A new window starts with the stored setting.
        TfrmMain again(f.t.dm());
        QCOMPARE(again.numberMask().digits, 3);
    }

    // The list, its group rows and the call properties show shortened numbers; the calls keep theirs.
    void listAndPropertiesShowNoFullNumber()
    {
        Fixture f;
        NumberMask on;
        on.digits = 3;
        on.keptPrefixes = {"0900"};
        f.w.setNumberMask(on);
        QCOMPARE(f.column(true), QStringList({"06641234xxx", "0900123456", "06647654xxx", "xxx"}));
        QCOMPARE(f.column(false), kFull);
        QCOMPARE(f.t.column("SELECT BNummer FROM EGN ORDER BY Sekunden"), kFull);

        f.w.grdDetails->setCurrentRecord(2);
        QString shownInDialog;
        f.script.dialogResults << [&shownInDialog](QDialog& d) {
            shownInDialog = static_cast<TfrmCallProperties&>(d).lbBNummer->text();
            return int(QDialog::Accepted);
        };
        f.w.grdDetailsDblClick();
        QCOMPARE(shownInDialog, QStringLiteral("06647654xxx"));

        f.w.grdDetails->setGroupedFields({"BNummer"});
        f.w.waitForWork();
        const GroupedRows* rows = f.w.grdDetails->rows();
        QStringList captions;
        for (int r = 0; r < rows->rowCount(); ++r)
            if (rows->isGroupRow(r))
                captions << rows->index(r, 0).data(GroupedRows::GroupCaptionRole).toString();
        QCOMPARE(captions, QStringList({"BNummer: 06641234xxx (1 Eintrag)", "BNummer: 06647654xxx (1 Eintrag)",
                                        "BNummer: 0900123456 (1 Eintrag)", "BNummer: xxx (1 Eintrag)"}));

        f.w.setNumberMask(NumberMask());
        QCOMPARE(f.column(true), QStringList({"06641234567", "06647654321", "0900123456", "133"}));
    }
};

QTEST_MAIN(TestOptionen)
#include "TestOptionen.moc"
