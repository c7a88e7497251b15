#include "import/ImportDriver.h"
#include "support/RecordingUi.h"
#include "support/TestDb.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

// One "280" call line; `fields` replaces single fields by number.
QByteArray callLine(const QMap<int, QByteArray>& fields = {})
{
    QList<QByteArray> f = {"280", "1", "0316471011", "11", "06641234567", "", "0,35", "61", "",
                           "20030115", "134501", "5", "Mobilnetz", "GZ", "A1 Mobil", "C0001"};
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        while (f.size() <= it.key())
            f << QByteArray();
        f[it.key()] = it.value();
    }
    return f.join('\t');
}

QByteArray lines(const QList<QByteArray>& l)
{
    return l.join("\r\n") + "\r\n";
}

const QByteArray kHeader = "100\tDRAVIK Telekom\tEinzelgespr\xC3\xA4" "chsnachweis";
const QByteArray kTrailer = "900\t3\tEnde";

QString errorText(const QString& error, int line, const QString& stage)
{
    return "Daten können wegen eines Fehlers nicht geladen werden.\n" + error + "\nZeile:" + QString::number(line)
        + "\nInterner Status:" + stage;
}

} // namespace

class TestEdiImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void importsCallLinesAndReportsTheEnd();
    void fieldsAreConvertedAndStored();
    void dispatchesByExtension();
    void refusesTheSameFileTwice();
    void badLinesArePutToTheUser_data();
    void badLinesArePutToTheUser();
    void errorsRollTheWholeFileBack_data();
    void errorsRollTheWholeFileBack();
    void readsWindows1252AndLongLines();
    void showsProgressEveryHundredCalls();
    void commandLineImport();
};

void TestEdiImport::importsCallLinesAndReportsTheEnd()
{
    TestDb t;
    RecordingUi ui;
    const QString path = t.writeFile("jan.edi", lines({kHeader, callLine(), callLine({{9, "030115"}}), callLine(), kTrailer}));
    const ImportResult r = ImportFile(t.dm(), path);
    QCOMPARE(r.count, 3);
    QVERIFY(r.complete);
    QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join("|")));
    QVERIFY(ui.questions.isEmpty());
    QCOMPARE(ui.panels[0], QStringLiteral("3 EGN's wurden geladen"));
    QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(ui.panels[2]).hasMatch());
    QVERIFY(r.recognised);
    QVERIFY(ui.waitCursorShown > 0 && !ui.waitCursor);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 3);
    QCOMPARE(t.scalar("SELECT DateiName || '|' || OriginalName || '|' || AnzahlEGN FROM GeladeneDateien").toString(),
             path + "||3");
    QCOMPARE(t.scalar("SELECT COUNT(DISTINCT DateiID) FROM EGN WHERE DateiID = 1").toInt(), 1);
    // A six-digit date gives the same day as the eight-digit one.
    QCOMPARE(t.scalar("SELECT COUNT(DISTINCT BeginZeit) FROM EGN").toInt(), 1);
}

void TestEdiImport::fieldsAreConvertedAndStored()
{
    TestDb t;
    RecordingUi ui;
    t.db().execute("INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('GRZ', 'Graz', '0316471*')");
    const QString path = t.writeFile(
        "felder.edi", lines({callLine({{2, "031647142"}, {3, "7"}, {6, "12.5"}, {7, "90"}, {11, "40"}, {12, "Deutschland"},
                                        {13, "FZ  "}, {14, "München"}, {15, "ID-77   "}, {16, "extra"}, {17, "fields"}}),
                             callLine({{3, "12a"}, {6, "0,35"}, {7, "x"}, {11, ""}, {13, ""}, {15, "   "}})}));
    QCOMPARE(ImportFile(t.dm(), path).count, 2);
    QVERIFY2(ui.messages.isEmpty() && ui.questions.isEmpty(), qPrintable(ui.messages.join("|") + ui.questions.join("|")));
    RuboQuery q(t.db());
    q.setSql("SELECT * FROM EGN ORDER BY ID");
    q.open();
    QCOMPARE(q.field("ANummer").toString(), QStringLiteral("031647142"));
    QCOMPARE(q.field("FilialeID").toString(), QStringLiteral("GRZ"));
    QCOMPARE(q.field("Nebenstelle").toString(), QStringLiteral("42"));   // the extension follows the branch's star
    QCOMPARE(q.field("Betrag").toDouble(), 12.5);
    QCOMPARE(q.field("Sekunden").toInt(), 90);
    QCOMPARE(q.field("ZoneCode").toInt(), 40);
    QCOMPARE(q.field("GZ").toString(), QStringLiteral("FZ"));
    QCOMPARE(q.field("Ziel").toString(), QStringLiteral("München"));
    QCOMPARE(q.field("UniqueCallID").toString(), QStringLiteral("ID-77"));
    QCOMPARE(q.field("IAS").toString(), QStringLiteral("A"));
    QCOMPARE(q.field("BeginZeit").toDouble(), 37636.0 + (13 * 3600 + 45 * 60 + 1) / 86400.0);
    QVERIFY(qAbs(q.field("EndeZeit").toDouble() - q.field("BeginZeit").toDouble() - 90 / 86400.0) < 1e-9);
    q.next();
    QCOMPARE(q.field("Nebenstelle").toString(), QStringLiteral("11")); // "12a" reads as 0, then the star's rest wins
    QCOMPARE(q.field("Betrag").toDouble(), 0.35);
    QCOMPARE(q.field("Sekunden").toInt(), 0);
    QCOMPARE(q.field("ZoneCode").toInt(), 0);
    QCOMPARE(q.field("GZ").toString(), QStringLiteral("GZ"));
    QCOMPARE(q.field("UniqueCallID").toString(), QString());
}

void TestEdiImport::dispatchesByExtension()
{
    TestDb t;
    RecordingUi ui;
    const QString upper = t.writeFile("GROSS.EDI", lines({callLine()}));
    QCOMPARE(ImportFile(t.dm(), upper).count, 1);

    ui.clear();
    const QString text = t.writeFile("anrufe.txt", lines({callLine()}));
    const ImportResult r = ImportFile(t.dm(), text);
    QCOMPARE(r.count, 0);
    QVERIFY(!r.complete);
    QCOMPARE(ui.messages, QStringList{
        "Filetyp (.txt) wird leider noch nicht unterstützt.\n\nUnterstützte Filetypen:\n"
        ".edi .. DRAVIK Format (mit Tabulator getrennte Felder, V2.1)\n"
        ".csv .. Comma Separated Values (mit ; getrennte Felder)\n"
        ".mdb .. MS Access Datenbank (mit Tabelle 'calls')\n"
        ".zip .. Komprimiertes Archive mit einen (oder mehreren) der obigen Filetypen"});
    QCOMPARE(ui.panels[0], QString());
    QVERIFY(!r.recognised);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 1);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM GeladeneDateien").toInt(), 1);
}

void TestEdiImport::refusesTheSameFileTwice()
{
    TestDb t;
    RecordingUi ui;
    const QString path = t.writeFile("o'brien.edi", lines({callLine(), callLine()}));
    QCOMPARE(ImportFile(t.dm(), path).count, 2);
    QCOMPARE(ImportFile(t.dm(), path).count, 0);
    QCOMPARE(ui.messages, QStringList{errorText("Datei " + path + " wurde bereits geladen.", 0, "add GeladeneDatei")});
    QCOMPARE(ui.panels[0], QStringLiteral("0 EGN's wurden geladen"));
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 2);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM GeladeneDateien").toInt(), 1);
}

void TestEdiImport::badLinesArePutToTheUser_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("questions");
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("complete");

    const QString split2 = "Fehlernummer 1 ist beim Zerlegen der Zeile Nr. 2 aufgetreten.\nSoll der Import abgebrochen werden ?";
    QTest::newRow("empty file") << QByteArray() << QList<bool>{} << QStringList{} << 0 << true;
    QTest::newRow("header and trailer only") << lines({kHeader, kTrailer}) << QList<bool>{} << QStringList{} << 0 << true;
    QTest::newRow("empty line, No skips it") << lines({callLine(), "", callLine()}) << QList<bool>{false}
                                             << QStringList{split2} << 2 << true;
    QTest::newRow("trailing empty line") << lines({callLine(), ""}) << QList<bool>{false} << QStringList{split2} << 1 << true;
    QTest::newRow("blank-only line is no call") << lines({callLine(), "   "}) << QList<bool>{} << QStringList{} << 1 << true;
    QTest::newRow("Yes stops and keeps the calls read") << lines({callLine(), callLine(), "", callLine()}) << QList<bool>{true}
        << QStringList{"Fehlernummer 1 ist beim Zerlegen der Zeile Nr. 3 aufgetreten.\nSoll der Import abgebrochen werden ?"} << 2
        << false;
    QByteArray fifteen = callLine();
    fifteen.truncate(fifteen.lastIndexOf('\t'));
    QTest::newRow("15 fields") << lines({callLine(), fifteen, callLine()}) << QList<bool>{false}
        << QStringList{"Beim Zerlegen der Zeile wurden nicht die erforderlichen Spaltenanzahl gefunden.\nErforderliche Spaltenanzahl:16"
                       "\nZeile Nr:2\nSoll der Import abgebrochen werden ?"}
        << 2 << true;
    QTest::newRow("line ending in a tab") << lines({callLine() + "\t"}) << QList<bool>{} << QStringList{} << 1 << true;
    QTest::newRow("other record types pass") << lines({"281\tx", "28\ty", callLine()}) << QList<bool>{} << QStringList{} << 1 << true;
}

void TestEdiImport::badLinesArePutToTheUser()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, questions);
    QFETCH(int, stored);
    QFETCH(bool, complete);
    TestDb t;
    RecordingUi ui;
    ui.answers = answers;
    const QString path = t.writeFile("lines.edi", content);
    const ImportResult r = ImportFile(t.dm(), path);
    QCOMPARE(ui.questions, questions);
    QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join("|")));
    QCOMPARE(r.count, stored);
    QCOMPARE(r.complete, complete);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN").toInt(), stored);
    QCOMPARE(t.scalar("SELECT AnzahlEGN FROM GeladeneDateien").toInt(), stored);
}

void TestEdiImport::errorsRollTheWholeFileBack_data()
{
    QTest::addColumn<QByteArray>("badLine");
    QTest::addColumn<QString>("error");   // a part of the error text
    QTest::addColumn<QString>("stage");
    QTest::addColumn<int>("line");
    QTest::newRow("amount 1.234,5") << callLine({{6, "1.234,5"}}) << "Nichtkonvertierbarer Zahlenwert (1.234,5)" << "extraxt EGN" << 3;
    QTest::newRow("date 20031315") << callLine({{9, "20031315"}}) << "20031315" << "extraxt EGN" << 3;
    QTest::newRow("time 246000") << callLine({{10, "246000"}}) << "246000" << "extraxt EGN" << 3;
    QTest::newRow("date of 7 digits") << callLine({{9, "2003011"}}) << "2003011" << "extraxt EGN" << 3;
    QTest::newRow("30-digit calling number") << callLine({{2, QByteArray(30, '1')}}) << "CHECK constraint failed" << "post EGN" << 3;
    QTest::newRow("zone over 50 characters") << callLine({{12, QByteArray(51, 'z')}}) << "CHECK constraint failed" << "post EGN" << 3;
    QTest::newRow("50 umlauts fit, 51 do not") << callLine({{14, QByteArray(50, 'x') + "\xC3\xA4"}}) << "length(Ziel) <= 50" << "post EGN" << 3;
    QTest::newRow("zone code over 16 bits") << callLine({{11, "32768"}}) << "ZoneCode BETWEEN" << "post EGN" << 3;
    // A NUL byte is found while the line is read, before it counts as a call.
    QTest::newRow("binary content") << QByteArray("280\t\0\x01\x02", 7) << "keine Textdatei" << "post EGN" << 2;
}

void TestEdiImport::errorsRollTheWholeFileBack()
{
    QFETCH(QByteArray, badLine);
    QFETCH(QString, error);
    QFETCH(QString, stage);
    QFETCH(int, line);
    TestDb t;
    RecordingUi ui;
    const QString earlier = t.writeFile("earlier.edi", lines({callLine({{12, "Altzone"}})}));
    QCOMPARE(ImportFile(t.dm(), earlier).count, 1);
    ui.clear();

    const QString path = t.writeFile("bad.edi", lines({callLine({{12, "Neuzone"}}), callLine(), badLine, callLine()}));
    const ImportResult r = ImportFile(t.dm(), path);
    QCOMPARE(r.count, 0);
    QVERIFY(!r.complete);
    QCOMPARE(ui.messages.size(), 1);
    const QString m = ui.messages.last();
    QVERIFY2(m.startsWith("Daten können wegen eines Fehlers nicht geladen werden.\n"), qPrintable(m));
    QVERIFY2(m.contains(error), qPrintable(m));
    QVERIFY2(m.endsWith("\nZeile:" + QString::number(line) + "\nInterner Status:" + stage), qPrintable(m));
    QCOMPARE(ui.panels[0], QStringLiteral("0 EGN's wurden geladen"));
    // Nothing of the file stays: no call, no registry row, no zone it added; the earlier file is intact.
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 1);
    QCOMPARE(t.scalar("SELECT DateiName FROM GeladeneDateien").toString(), earlier);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM Zonenrabatte WHERE Zone = 'Neuzone'").toInt(), 0);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM Zonenrabatte WHERE Zone = 'Altzone'").toInt(), 1);
    QVERIFY(!t.db().inTransaction());
    // The same file, mended, loads afterwards, and the zone rolled back is added again.
    t.writeFile("bad.edi", lines({callLine({{12, "Neuzone"}})}));
    QCOMPARE(ImportFile(t.dm(), path).count, 1);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM Zonenrabatte WHERE Zone = 'Neuzone'").toInt(), 1);
    // The engine checks the limits again once the import is over.
    QVERIFY_THROWS_EXCEPTION(RuboError, t.db().execute("UPDATE EGN SET GZ = 'XYZ'"));
}

void TestEdiImport::readsWindows1252AndLongLines()
{
    TestDb t;
    RecordingUi ui;
    // "Österreich", "Nachbarländer" and "€" in Windows-1252.
    const QByteArray cp1252 = lines({callLine({{12, "\xD6sterreich"}, {14, "Nachbarl\xE4nder \x80"}}), callLine({{8, QByteArray(5000, 'L')}})});
    QCOMPARE(ImportFile(t.dm(), t.writeFile("cp1252.edi", cp1252)).count, 2);
    QCOMPARE(t.scalar("SELECT Zone || '|' || Ziel FROM EGN WHERE ID = 1").toString(), QStringLiteral("Österreich|Nachbarländer €"));

    const QByteArray utf8 = "\xEF\xBB\xBF" + lines({callLine({{12, "\xC3\x96sterreich"}}), kTrailer});
    QCOMPARE(ImportFile(t.dm(), t.writeFile("utf8.edi", utf8)).count, 1);   // the BOM does not hide the first call
    QCOMPARE(t.scalar("SELECT Zone FROM EGN WHERE ID = 3").toString(), QStringLiteral("Österreich"));
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM Zonenrabatte WHERE Zone = 'Österreich'").toInt(), 1);

    // A file that vanished before it is read.
    ui.clear();
    const QString gone = t.path("weg.edi");
    QCOMPARE(ImportFile(t.dm(), gone).count, 0);
    QCOMPARE(ui.messages, QStringList{errorText("Kann Datei " + gone + " nicht öffnen.", 0, "open File")});
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM GeladeneDateien").toInt(), 2);
    // Widths count characters, not bytes: 50 characters with two umlauts fit.
    QCOMPARE(ImportFile(t.dm(), t.writeFile("breit.edi", lines({callLine({{14, QByteArray(48, 'x') + "\xC3\xA4\xC3\xA4"}})}))).count, 1);
}

void TestEdiImport::showsProgressEveryHundredCalls()
{
    TestDb t;
    RecordingUi ui;
    QList<QByteArray> l;
    for (int i = 0; i < 250; ++i)
        l << callLine({{15, "C" + QByteArray::number(i)}});
    QCOMPARE(ImportFile(t.dm(), t.writeFile("viele.edi", lines(l))).count, 250);
    QCOMPARE(ui.statusTexts, (QStringList{"100", "200", "250 EGN's wurden geladen"}));
    QCOMPARE(ui.processEventsCalls, 2);
}

void TestEdiImport::commandLineImport()
{
    const QString tool = QStringLiteral(RUBO_BUILD_DIR "/cli/rubotool");
    QTemporaryDir dir;
    auto write = [&](const QString& name, const QByteArray& content) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    };
    write("a.edi", lines({callLine(), "", callLine()}));
    write("b.edi", lines({callLine({{6, "x"}})}));
    const QString db = dir.filePath("RuboTool.mdb");
    QProcess p;
    p.start(tool, {"--db", db, "--create", "import", dir.filePath("a.edi")});
    QVERIFY(p.waitForFinished());
    QString out = QString::fromUtf8(p.readAllStandardOutput());
    QCOMPARE(p.exitCode(), 0);
    QVERIFY2(out.contains("Soll der Import abgebrochen werden ? Nein"), qPrintable(out));
    QVERIFY2(out.contains("2 EGN's wurden geladen"), qPrintable(out));

    p.start(tool, {"--db", db, "import", dir.filePath("a.edi"), dir.filePath("b.edi")});
    QVERIFY(p.waitForFinished());
    out = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY(p.exitCode() != 0);
    QVERIFY2(out.contains("wurde bereits geladen."), qPrintable(out));
    QVERIFY2(out.contains("Nichtkonvertierbarer Zahlenwert (x)"), qPrintable(out));

    write("c.edi", lines({callLine(), "", callLine()}));
    p.start(tool, {"--db", db, "import", "--on-bad-line=stop", dir.filePath("c.edi")});
    QVERIFY(p.waitForFinished());
    QVERIFY(p.exitCode() != 0);
    p.start(tool, {"--db", db, "info"});
    QVERIFY(p.waitForFinished());
    QVERIFY(QString::fromUtf8(p.readAllStandardOutput()).startsWith("EGN: 3\nGeladeneDateien: 2\n"));
}

QTEST_GUILESS_MAIN(TestEdiImport)
#include "TestEdiImport.moc"
