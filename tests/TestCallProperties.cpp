#include "database/Conversions.h"
#include "toolkit/DataGrid.h"
#include "toolkit/SqlPagedModel.h"
#include "support/TestDb.h"
#include "mainwindow/untCallProperties.h"
#include "mainwindow/untDialogs.h"
#include "mainwindow/untMain.h"
#include "mainwindow/untScale.h"

#include <QTableView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <algorithm>

namespace {

// The value labels, top to bottom and left to right.
const char* const kValueLabels[] = {"lbDatum",      "FilialeID", "lbBegin",      "Kostenstelle", "lbEnde",
                                    "Sekunden",     "Betrag",    "BetragEuro",   "lbRabattProz", "lbRabatt",
                                    "lbRabattEuro", "BNummer",   "IAS",          "Zone",         "Ziel"};

QString serial(int y, int mo, int d, int h, int mi, int s)
{
    return QString::number(ComposeDateTime(EncodeDate(y, mo, d), EncodeTime(h, mi, s)), 'g', 17);
}

// Three calls in list order: one with a discount, one without that runs past midnight, one whose
// times are missing or unreadable.
void insertSampleCalls(RuboDatabase& db)
{
    db.execute(QStringLiteral("INSERT INTO EGN (BeginZeit, EndeZeit, Sekunden, Betrag, BetragEuro, RabattProz, Rabatt, "
                              "RabattEuro, FilialeID, Kostenstelle, BNummer, IAS, Zone, Ziel) VALUES "
                              "(%1, %2, 61, 1410.86, 102.53, 12.5, 1234.5, 89.71, 'GRZ', 'K7', '06641234567', 'I', "
                              "'Mobilnetz', 'A1 Mobil'),"
                              "(%3, %4, 61, 0.35, 0.35, 0, 0.35, 0.35, 'WIE', 'K12', '00491701234567', 'A', "
                              "'Deutschland', 'Köln'),"
                              "(NULL, 'kaputt', NULL, NULL, NULL, NULL, NULL, NULL, '', '', '0800', 'S', '', '')")
                   .arg(serial(2003, 1, 15, 13, 45, 1), serial(2003, 1, 15, 13, 46, 2), serial(2003, 1, 31, 23, 59, 30),
                        serial(2003, 2, 1, 0, 0, 31)));
}

// The main window over the sample calls, all listed; boxes and dialogs answered by the script.
struct Fixture
{
    DialogScript script;
    TestDb t;
    TfrmMain w{t.dm()};
    TfrmCallProperties& dlg = *w.frmCallProperties;
    DataGrid& grid = *w.grdDetails;

    Fixture()
    {
        RuboUi::install(&w);
        insertSampleCalls(t.db());
        w.ShowDetails(QString());
        w.waitForWork();
    }
    ~Fixture() { RuboUi::install(nullptr); }

    QStringList values() const
    {
        QStringList out;
        for (const char* name : kValueLabels)
            out << label(name)->text();
        return out;
    }
    QLabel* label(const char* name) const
    {
        QLabel* l = dlg.findChild<QLabel*>(QString::fromLatin1(name));
        if (!l)
            qFatal("no label %s", name);
        return l;
    }
    bool isValue(const QLabel* l) const
    {
        return std::any_of(std::begin(kValueLabels), std::end(kValueLabels),
                           [l](const char* name) { return l->objectName() == QLatin1String(name); });
    }
    // First, prior, next, last: which of them can be pressed.
    QString navigator() const
    {
        QString s;
        for (const QToolButton* b : {dlg.nbFirst, dlg.nbPrior, dlg.nbNext, dlg.nbLast})
            s += b->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return s;
    }
};

} // namespace

class TestCallProperties : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init() { QSettings("DRAVIK", "DravikRuboTool").clear(); }
    void formLooksAsLaidOut();
    void labelsShowTheCurrentCall_data();
    void labelsShowTheCurrentCall();
    void navigatorMovesTheGridsRecord();
    void doubleClickOpensTheDialog();
};

void TestCallProperties::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void TestCallProperties::formLooksAsLaidOut()
{
    Fixture f;
    TfrmCallProperties& d = f.dlg;
    QCOMPARE(d.parent(), &f.w);
    QCOMPARE(d.windowTitle(), QStringLiteral("Eigenschaften des Anrufs"));
    QVERIFY(d.windowFlags() & Qt::WindowContextHelpButtonHint);
    QVERIFY(!(d.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QVERIFY(d.width() >= DesignPx(344) && d.height() >= DesignPx(308));
    QCOMPARE(d.PageControl->tabText(0), QStringLiteral("Eigenschaften"));
    QVERIFY(d.btnOk->text() == QStringLiteral("Ok") && d.btnOk->isDefault());
    QCOMPARE((QStringList{d.nbFirst->toolTip(), d.nbPrior->toolTip(), d.nbNext->toolTip(), d.nbLast->toolTip()}),
             (QStringList{"Erster Datensatz", "Vorheriger Datensatz", "Nächster Datensatz", "Letzter Datensatz"}));

    // The captions in reading order: rows first, then left to right.
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QList<QLabel*> captions = d.PageControl->widget(0)->findChildren<QLabel*>();
    captions.erase(std::remove_if(captions.begin(), captions.end(),
                                  [&f](QLabel* l) { return l->text().isEmpty() || f.isValue(l); }),
                   captions.end());
    std::sort(captions.begin(), captions.end(), [](QLabel* a, QLabel* b) {
        const int ya = a->geometry().center().y(), yb = b->geometry().center().y();
        return qAbs(ya - yb) > 3 ? ya < yb : a->x() < b->x();
    });
    QStringList texts;
    for (QLabel* l : captions) {
        texts << l->text();
        QVERIFY2(l->width() >= l->sizeHint().width(), qPrintable(l->text()));
    }
    QCOMPARE(texts, (QStringList{"Anruf", "Datum:", "Filiale:", "Beginn:", "Kostenstelle:", "Ende:", "Dauer:",
                                 "Gebühren EUR:", "EUR:", "Zielnummer:", "IAS:", "Tarifzone:", "Destination:"}));

    // Nothing is cut: every value of the sample calls fits its place inside the page.
    const QRect page = d.PageControl->widget(0)->rect();
    for (int record = 0; record < f.grid.recordCount(); ++record) {
        f.grid.setCurrentRecord(record);
        for (const char* name : kValueLabels) {
            QLabel* l = f.label(name);
            QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->contentsRect().width(), name);
            QVERIFY2(page.contains(l->geometry()), name);
        }
    }
    QVERIFY(d.rect().contains(d.navNav->geometry()) && d.rect().contains(d.btnOk->geometry()));
}

void TestCallProperties::labelsShowTheCurrentCall_data()
{
    QTest::addColumn<int>("record");
    QTest::addColumn<QStringList>("values");
    QTest::newRow("discount") << 0
                              << QStringList{"15.01.2003", "GRZ",         "13:45:01",       "K7",         "13:46:02",
                                             "61",         "1.410,86",    "102,5300",       "Rabatt 12,50 %", "(1.234,50)",
                                             "(89,7100)",  "06641234567", "I",              "Mobilnetz",  "A1 Mobil"};
    QTest::newRow("no discount, past midnight")
        << 1
        << QStringList{"31.01.2003", "WIE", "23:59:30", "K12", "00:00:31", "61", "0,35", "0,3500", "", "", "",
                       "00491701234567", "A", "Deutschland", "Köln"};
    // Missing times show nothing, never the first day of the calendar.
    QTest::newRow("no times") << 2
                              << QStringList{"", "", "", "", "", "", "", "", "", "", "", "0800", "S", "", ""};
}

void TestCallProperties::labelsShowTheCurrentCall()
{
    QFETCH(int, record);
    QFETCH(QStringList, values);
    Fixture f;
    f.grid.setCurrentRecord(record);
    QCOMPARE(f.values(), values);
    // The amounts read as the list shows them.
    QCOMPARE(f.label("Betrag")->text(), f.grid.recordText(record, "Betrag"));
    QCOMPARE(f.label("BetragEuro")->text(), f.grid.recordText(record, "BetragEuro"));
}

void TestCallProperties::navigatorMovesTheGridsRecord()
{
    Fixture f;
    // A new list has no current call yet; the hidden dialog follows the list from then on.
    QCOMPARE(f.values(), QStringList(15, QString()));
    f.grid.setCurrentRecord(1);
    QVERIFY(!f.dlg.isVisible());
    QCOMPARE(f.label("lbDatum")->text(), QStringLiteral("31.01.2003"));
    QCOMPARE(f.navigator(), QStringLiteral("1111"));

    struct Step
    {
        QToolButton* button;
        int record;
        const char* navigator;
        const char* rabattProz;
    };
    const Step steps[] = {{f.dlg.nbFirst, 0, "0011", "Rabatt 12,50 %"}, {f.dlg.nbNext, 1, "1111", ""},
                          {f.dlg.nbNext, 2, "1100", ""},   {f.dlg.nbPrior, 1, "1111", ""},
                          {f.dlg.nbLast, 2, "1100", ""},   {f.dlg.nbFirst, 0, "0011", "Rabatt 12,50 %"},
                          {f.dlg.nbPrior, 0, "0011", "Rabatt 12,50 %"}};   // disabled: stays
    for (const Step& s : steps) {
        s.button->click();
        QCOMPARE(f.grid.currentRecord(), s.record);
        QCOMPARE(f.grid.selectedRecords(), QList<int>{s.record});
        QCOMPARE(f.navigator(), QString::fromLatin1(s.navigator));
        QCOMPARE(f.label("BNummer")->text(), f.grid.recordText(s.record, "BNummer"));
        QCOMPARE(f.label("lbRabattProz")->text(), QString::fromUtf8(s.rabattProz));
    }

    // The list closes when all calls are deleted: no values, no move possible.
    f.script.defaultAnswer = true;
    f.w.mnuLoeschenClick();
    QVERIFY(!f.w.qryDetails->isOpen());
    QCOMPARE(f.values(), QStringList(15, QString()));
    QCOMPARE(f.navigator(), QStringLiteral("0000"));
}

void TestCallProperties::doubleClickOpensTheDialog()
{
    Fixture f;
    f.w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.w));
    QTableView* view = f.grid.view();
    QStringList seen;
    // The user looks at the call, goes on to the next one and closes with Ok.
    f.script.dialogResults << [&](QDialog& d) {
        auto& props = static_cast<TfrmCallProperties&>(d);
        seen << props.lbDatum->text();
        props.nbNext->click();
        seen << props.lbDatum->text();
        props.btnOk->click();
        return d.result();
    };
    const QRect cell = view->visualRect(view->model()->index(0, f.w.qryDetails->fieldIndex("BNummer")));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(f.script.shown.size(), 1);
    QCOMPARE(f.script.shown[0].kind, DialogScript::Kind::Dialog);
    QCOMPARE(f.script.shown[0].text, QStringLiteral("frmCallProperties"));
    QCOMPARE(seen, (QStringList{"15.01.2003", "31.01.2003"}));
    // The list stays on the call the dialog went to.
    QCOMPARE(f.grid.currentRecord(), 1);

    // A new order moves the current call to another row; the list and the dialog stay on it.
    f.script.clear();
    f.grid.setCurrentRecord(0);
    const QVariant call = f.grid.currentKey();
    const QString number = f.grid.recordText(0, "BNummer");
    f.w.grdDetailsColumnClick("BNummer");
    f.w.grdDetailsColumnClick("BNummer");
    QCOMPARE(f.grid.currentKey(), call);
    QCOMPARE(f.label("BNummer")->text(), number);
    f.w.grdDetailsDblClick();
    QCOMPARE(f.script.shown.size(), 1);
    QCOMPARE(f.label("BNummer")->text(), number);

    // No list, no call: nothing opens.
    f.script.clear();
    f.w.qryDetails->close();
    f.w.grdDetailsDblClick();
    QCOMPARE(f.script.shown.size(), 0);
}

QTEST_MAIN(TestCallProperties)
#include "TestCallProperties.moc"
