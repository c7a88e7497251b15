#include "database/Conversions.h"
#include "database/RuboEngine.h"
#include "toolkit/DataGrid.h"
#include "toolkit/SqlPagedModel.h"
#include "support/TestDb.h"
#include "mainwindow/untCallProperties.h"
#include "mainwindow/untDialogs.h"
#include "mainwindow/untMain.h"
#include "mainwindow/untScale.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <iterator>
#include <optional>

namespace {

// The value labels, top to bottom and left to right.
const char* const kValueLabels[] = {"lbDatum",      "FilialeID", "lbBegin",      "Kostenstelle", "lbEnde",
                                    "Sekunden",     "Betrag",    "BetragEuro",   "lbRabattProz", "lbRabatt",
                                    "lbRabattEuro", "BNummer",   "IAS",          "Zone",         "Ziel"};

struct Call
{
    QVariant begin, ende, sekunden, betrag, betragEuro, rabattProz, rabatt, rabattEuro;
    const char *filiale, *kostenstelle, *bNummer, *ias, *zone, *ziel;
};

double serial(int y, int mo, int d, int h, int mi, int s)
{
    return ComposeDateTime(EncodeDate(y, mo, d), EncodeTime(h, mi, s));
}

// Three calls in list order: one with a discount, one without that runs past midnight, one whose
// times are missing or unreadable.
const QList<Call>& sampleCalls()
{
    static const QList<Call> calls = {
        {serial(2003, 1, 15, 13, 45, 1), serial(2003, 1, 15, 13, 46, 2), 61, 1410.86, 102.53, 12.5, 1234.5, 89.71, "GRZ",
         "K7", "06641234567", "I", "Mobilnetz", "A1 Mobil"},
        {serial(2003, 1, 31, 23, 59, 30), serial(2003, 2, 1, 0, 0, 31), 61, 0.35, 0.35, 0.0, 0.35, 0.35, "WIE", "K12",
         "00491701234567", "A", "Deutschland", "Köln"},
        {QVariant(), QStringLiteral("kaputt"), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), "",
         "", "0800", "S", "", ""},
    };
    return calls;
}

void insertCall(RuboDatabase& db, const Call& c)
{
    RuboStatement s(db, "INSERT INTO EGN (BeginZeit, EndeZeit, Sekunden, Betrag, BetragEuro, RabattProz, Rabatt, RabattEuro, "
                        "FilialeID, Kostenstelle, BNummer, IAS, Zone, Ziel, Nebenstelle) "
                        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, '11')");
    const QVariant values[] = {c.begin,        c.ende,  c.sekunden,   c.betrag,    c.betragEuro,
                               c.rabattProz,   c.rabatt, c.rabattEuro, QString::fromUtf8(c.filiale),
                               QString::fromUtf8(c.kostenstelle), QString::fromUtf8(c.bNummer),
                               QString::fromUtf8(c.ias), QString::fromUtf8(c.zone), QString::fromUtf8(c.ziel)};
    for (int i = 0; i < int(std::size(values)); ++i)
        s.bind(i + 1, values[i]);
    s.step();
}

// The main window over the sample calls, all listed; boxes and dialogs answered by a script
// unless the test wants the real ones.
struct Fixture
{
    std::optional<DialogScript> script;
    TestDb t;
    TfrmMain w{t.dm()};
    TfrmCallProperties& dlg = *w.frmCallProperties;
    DataGrid& grid = *w.grdDetails;

    explicit Fixture(bool scripted = true)
    {
        if (scripted)
            script.emplace();
        RuboUi::install(&w);
        for (const Call& c : sampleCalls())
            insertCall(t.db(), c);
        w.ShowDetails(QString());
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
    void followsTheListWhileHidden();
    void doubleClickOpensTheDialog();
    void opensModallyAndOkCloses();
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
    QCOMPARE(d.objectName(), QStringLiteral("frmCallProperties"));
    QCOMPARE(d.windowTitle(), QStringLiteral("Eigenschaften des Anrufs"));
    QCOMPARE(d.parent(), &f.w);
    QCOMPARE(TfrmCallProperties::kHelpContext, 600);
    const Qt::WindowFlags flags = d.windowFlags();
    QVERIFY(flags & Qt::WindowContextHelpButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint) && !(flags & Qt::WindowMaximizeButtonHint));
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QVERIFY(d.width() >= DesignPx(344) && d.height() >= DesignPx(308));

    QCOMPARE(d.PageControl->count(), 1);
    QCOMPARE(d.PageControl->tabText(0), QStringLiteral("Eigenschaften"));
    QCOMPARE(d.btnOk->text(), QStringLiteral("Ok"));
    QVERIFY(d.btnOk->isDefault());
    QCOMPARE(d.findChild<QWidget*>("navNav"), d.navNav);
    QCOMPARE(d.nbFirst->toolTip(), QStringLiteral("Erster Datensatz"));
    QCOMPARE(d.nbPrior->toolTip(), QStringLiteral("Vorheriger Datensatz"));
    QCOMPARE(d.nbNext->toolTip(), QStringLiteral("Nächster Datensatz"));
    QCOMPARE(d.nbLast->toolTip(), QStringLiteral("Letzter Datensatz"));
    QVERIFY(!d.findChild<QLabel*>("imgAnruf")->pixmap().isNull());

    // The captions in reading order (rows first, then left to right), the values left out.
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QList<QLabel*> captions;
    for (QLabel* l : d.PageControl->widget(0)->findChildren<QLabel*>())
        if (!std::count_if(std::begin(kValueLabels), std::end(kValueLabels),
                           [l](const char* name) { return l->objectName() == QLatin1String(name); })
            && !l->text().isEmpty())
            captions << l;
    std::sort(captions.begin(), captions.end(), [](QLabel* a, QLabel* b) {
        const int ya = a->geometry().center().y(), yb = b->geometry().center().y();
        return qAbs(ya - yb) > 3 ? ya < yb : a->x() < b->x();
    });
    QStringList texts;
    for (QLabel* l : captions)
        texts << l->text();
    QCOMPARE(texts, (QStringList{"Anruf", "Datum:", "Filiale:", "Beginn:", "Kostenstelle:", "Ende:", "Dauer:",
                                 "Gebühren EUR:", "EUR:", "Zielnummer:", "IAS:", "Tarifzone:", "Destination:"}));

    // Nothing is cut: every caption and every value of the sample calls fits its place, and the
    // values sit inside the page.
    const QRect page = d.PageControl->widget(0)->rect();
    for (QLabel* l : captions)
        QVERIFY2(l->width() >= l->sizeHint().width(), qPrintable(l->text()));
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
    f.grid.setCurrentRecord(1);
    QCOMPARE(f.navigator(), QStringLiteral("1111"));

    struct Step
    {
        QToolButton* button;
        int record;
        const char* navigator;
    };
    const Step steps[] = {{f.dlg.nbFirst, 0, "0011"}, {f.dlg.nbNext, 1, "1111"}, {f.dlg.nbNext, 2, "1100"},
                          {f.dlg.nbPrior, 1, "1111"}, {f.dlg.nbLast, 2, "1100"}, {f.dlg.nbFirst, 0, "0011"}};
    for (const Step& s : steps) {
        s.button->click();
        QCOMPARE(f.grid.currentRecord(), s.record);
        QCOMPARE(f.navigator(), QString::fromLatin1(s.navigator));
        QCOMPARE(f.label("BNummer")->text(), f.grid.recordText(s.record, "BNummer"));
        QCOMPARE(f.grid.view()->selectionModel()->selectedRows().size(), 1);
    }
    // A disabled button does nothing even when triggered from code.
    f.dlg.nbPrior->click();
    QCOMPARE(f.grid.currentRecord(), 0);

    // One call: nowhere to go.
    f.t.db().execute("DELETE FROM EGN WHERE BNummer <> '0800'");
    f.w.ShowDetails(QString());
    f.grid.setCurrentRecord(0);
    QCOMPARE(f.label("BNummer")->text(), QStringLiteral("0800"));
    QCOMPARE(f.navigator(), QStringLiteral("0000"));
}

void TestCallProperties::followsTheListWhileHidden()
{
    Fixture f;
    QVERIFY(!f.dlg.isVisible());
    // A new list has no current call yet.
    QCOMPARE(f.values(), QStringList(15, QString()));
    f.grid.setCurrentRecord(0);
    QCOMPARE(f.label("lbRabattProz")->text(), QStringLiteral("Rabatt 12,50 %"));
    // Moving on to a call without discount empties the discount row.
    f.grid.setCurrentRecord(1);
    QCOMPARE(f.label("lbDatum")->text(), QStringLiteral("31.01.2003"));
    QCOMPARE(f.label("lbRabattProz")->text(), QString());
    QCOMPARE(f.label("lbRabattEuro")->text(), QString());

    // The list closes (all calls deleted): no values, no move possible.
    f.script->defaultAnswer = true;
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
    QTableView* view = qobject_cast<QTableView*>(f.grid.view());
    QVERIFY(view);
    QStringList seen;
    // The user looks at the call, goes on to the next one and closes with Ok.
    f.script->dialogResults << [&](QDialog& d) {
        auto& props = static_cast<TfrmCallProperties&>(d);
        seen << props.lbDatum->text();
        props.nbNext->click();
        seen << props.lbDatum->text();
        props.btnOk->click();
        return d.result();
    };
    const QRect cell = view->visualRect(f.w.qryDetails->index(0, f.w.qryDetails->fieldIndex("BNummer")));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(f.script->shown.size(), 1);
    QCOMPARE(f.script->shown[0].kind, DialogScript::Kind::Dialog);
    QCOMPARE(f.script->shown[0].title, QStringLiteral("Eigenschaften des Anrufs"));
    QCOMPARE(f.script->shown[0].text, QStringLiteral("frmCallProperties"));
    QCOMPARE(seen, (QStringList{"15.01.2003", "31.01.2003"}));
    QCOMPARE(f.dlg.result(), int(QDialog::Accepted));
    // The list stays on the call the dialog went to.
    QCOMPARE(f.grid.currentRecord(), 1);
    QVERIFY(f.w.qryDetails->isOpen());

    // A new order puts another call into the current row without a change of the current record:
    // the dialog still opens on the call the row holds now.
    f.script->clear();
    f.grid.setCurrentRecord(0);
    f.w.grdDetailsColumnClick("BNummer");
    QCOMPARE(f.grid.currentRecord(), 0);
    const QString first = f.grid.recordText(0, "BNummer");
    f.w.grdDetailsDblClick();
    QCOMPARE(f.script->shown.size(), 1);
    QCOMPARE(f.label("BNummer")->text(), first);

    // No list, no call: nothing opens.
    f.script->clear();
    f.w.qryDetails->close();
    f.w.grdDetailsDblClick();
    QCOMPARE(f.script->shown.size(), 0);
}

void TestCallProperties::opensModallyAndOkCloses()
{
    Fixture f(false);
    f.w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.w));
    f.grid.setCurrentRecord(0);
    QWidget* modal = nullptr;
    bool centred = false;
    QTimer::singleShot(0, [&] {
        modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        centred = (modal->frameGeometry().center() - f.w.frameGeometry().center()).manhattanLength() <= 4;
        // Return presses the default button.
        QTest::keyClick(modal, Qt::Key_Return);
        if (modal->isVisible())
            modal->close();
    });
    QCOMPARE(f.w.frmCallProperties->execute(), int(QDialog::Accepted));
    QCOMPARE(modal, static_cast<QWidget*>(f.w.frmCallProperties));
    QVERIFY(centred);
    QVERIFY(!f.dlg.isVisible());
}

QTEST_MAIN(TestCallProperties)
#include "TestCallProperties.moc"
