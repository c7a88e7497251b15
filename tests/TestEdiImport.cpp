#include "import/CarrierTextFile.h"
#include "import/EdiReader.h"
#include "import/ImportDriver.h"
#include "import/TextCallSource.h"
#include "support/RecordingUi.h"
#include "support/TestDb.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <sys/stat.h>

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

// A carrier's sample file from Data/ (CR LF line ends; 01 and 03 in UTF-8, 02 in Windows-1252).
QByteArray sample(const char* name)
{
    QFile f(QStringLiteral(RUBO_SOURCE_DIR "/Data/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("sample file missing");
    return f.readAll();
}

// The same lines with other line ends, taken in turn from `ends`.
QByteArray withLineEnds(const QByteArray& crlf, const QList<QByteArray>& ends)
{
    QList<QByteArray> l = crlf.split('\n');
    if (l.last().isEmpty())
        l.removeLast();
    QByteArray out;
    for (qsizetype i = 0; i < l.size(); ++i) {
        QByteArray line = l[i];
        if (line.endsWith('\r'))
            line.chop(1);
        out += line + ends[i % ends.size()];
    }
    return out;
}

// Zones seeded with discounts, so that a zone name read wrongly shows as a call without its
// discount and a new zone row.
void seedZones(TestDb& t)
{
    t.db().execute("INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES "
                   "('Österreich', 'GZ', 10, 'A'), ('Österreich', 'FZ', 20, 'A'), ('Nachbarländer', 'GZ', 5, 'B'), "
                   "('Côte d''Ivoire', 'GZ', 3, 'C')");
}

// Every stored call as text, in the order read, and every zone row: what a user sees of a file.
QStringList storedCalls(TestDb& t)
{
    RuboStatement s(t.db(), "SELECT ANummer, Nebenstelle, BNummer, BeginZeit, Sekunden, Betrag, ZoneCode, Zone, Ziel, "
                            "Kostenstelle, IAS, BetragEuro, EndeZeit, FilialeID, GZ, UniqueCallID, Rabatt, RabattEuro, "
                            "RabattProz FROM EGN ORDER BY ID");
    QStringList rows;
    while (s.step()) {
        QStringList r;
        for (int i = 0; i < s.columnCount(); ++i)
            r << s.column(i).toString();
        rows << r.join('|');
    }
    return rows;
}

QStringList storedZones(TestDb& t)
{
    RuboStatement s(t.db(), "SELECT Zone || '|' || GZ || '|' || RabattProz || '|' || IAS FROM Zonenrabatte ORDER BY 1");
    QStringList rows;
    while (s.step())
        rows << s.column(0).toString();
    return rows;
}

// Imports `content` as a file of its own into a fresh database with the seeded zones.
struct Imported
{
    ImportResult result;
    QStringList calls, zones, questions, messages;
};

Imported importFresh(const QByteArray& content, const QList<bool>& answers = {})
{
    TestDb t;
    RecordingUi ui;
    ui.answers = answers;
    seedZones(t);
    Imported i;
    i.result = ImportFile(t.dm(), t.writeFile("datei.edi", content));
    i.calls = storedCalls(t);
    i.zones = storedZones(t);
    i.questions = ui.questions;
    i.messages = ui.messages;
    return i;
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
    void decidesTheEncodingPerLine_data();
    void decidesTheEncodingPerLine();
    void endsLinesAtCrLfCrOrLf_data();
    void endsLinesAtCrLfCrOrLf();
    void readsLinesAcrossBlocks_data();
    void readsLinesAcrossBlocks();
    void refusesFilesThatAreNoText_data();
    void refusesFilesThatAreNoText();
    void countsSkippedLinesAndReadsTheTrailer_data();
    void countsSkippedLinesAndReadsTheTrailer();
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
    QVERIFY(r.whole());

    // A trailer that counts more calls than were read: stored, but not taken for whole.
    const ImportResult cut = ImportFile(t.dm(), t.writeFile("feb.edi", lines({kHeader, callLine(), callLine(), kTrailer})));
    QCOMPARE(cut.count, 2);
    QVERIFY(cut.complete && !cut.whole());
    QCOMPARE(ui.panels[0], QStringLiteral("2 EGN's wurden geladen - Achtung: laut Nachsatz enthält die Datei 3 EGN's"));

    // Cut inside the last call's identifier: the call still has all its fields.
    const ImportResult inside = ImportFile(t.dm(), t.writeFile("mar.edi", lines({kHeader, callLine(), callLine()}).chopped(4)));
    QCOMPARE(inside.count, 2);
    QVERIFY(inside.complete && !inside.whole());
    QCOMPARE(ui.panels[0], QStringLiteral("2 EGN's wurden geladen - Achtung: die Datei endet mitten in der letzten Zeile, "
                                          "sie ist vielleicht abgeschnitten"));
    // A trailer without a line end is no cut call.
    const ImportResult trailer = ImportFile(t.dm(), t.writeFile("apr.edi", lines({kHeader, callLine(), callLine(), callLine(), kTrailer}).chopped(2)));
    QVERIFY(trailer.whole());
    QCOMPARE(ui.panels[0], QStringLiteral("3 EGN's wurden geladen"));
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
    // A NUL byte refuses the file as soon as its block is read: here the first, while the file opens.
    QTest::newRow("binary content") << QByteArray("280\t\0\x01\x02", 7) << "keine Textdatei" << "open File" << 0;
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
    // A line passed over: the file is not loaded whole, and the tool says so.
    QVERIFY(p.exitCode() != 0);
    QVERIFY2(out.contains("Soll der Import abgebrochen werden ? Nein"), qPrintable(out));
    QVERIFY2(out.contains("2 EGN's wurden geladen - Achtung: 1 fehlerhafte Zeile(n) übersprungen"), qPrintable(out));

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

    // A whole file succeeds; the same kind of file cut inside its last call does not.
    write("ganz.edi", sample("Anrufe_2003_03.edi"));
    p.start(tool, {"--db", db, "import", dir.filePath("ganz.edi")});
    QVERIFY(p.waitForFinished());
    out = QString::fromUtf8(p.readAllStandardOutput());
    QCOMPARE(p.exitCode(), 0);
    QVERIFY2(out.trimmed() == "90 EGN's wurden geladen", qPrintable(out));
    const QByteArray s01 = sample("Anrufe_2003_01.edi");
    write("kurz.edi", s01.left(s01.lastIndexOf("\tSalzburg")));
    p.start(tool, {"--db", db, "import", dir.filePath("kurz.edi")});
    QVERIFY(p.waitForFinished());
    out = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY(p.exitCode() != 0);
    QVERIFY2(out.contains("119 EGN's wurden geladen - Achtung: 1 fehlerhafte Zeile(n) übersprungen"), qPrintable(out));
}

void TestEdiImport::decidesTheEncodingPerLine_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("twin");   // the same calls in clean UTF-8
    QTest::addColumn<int>("questions");     // answered No

    const QByteArray utf8 = sample("Anrufe_2003_01.edi");
    QByteArray header = utf8;
    header.insert(header.indexOf("Telekom") + 7, '\xFF');
    QTest::newRow("UTF-8, 0xFF in the header line") << header << utf8 << 0;

    // Cut inside the "Ö" of the last call's zone: that call has too few fields, the rest is UTF-8.
    const qsizetype lastCall = utf8.lastIndexOf("\n280\t") + 1;
    QTest::newRow("UTF-8 cut inside Ö on its last line") << utf8.left(utf8.lastIndexOf("\xC3\x96") + 1) << utf8.left(lastCall) << 1;
    QTest::newRow("UTF-8, last call ends in half an Ö") << utf8 + callLine({{15, "ID\xC3"}}) << utf8 + callLine({{15, "ID\xC3\x83"}}) << 0;

    const QByteArray cp1252 = sample("Anrufe_2003_02.edi");
    QTest::newRow("Windows-1252 sample") << cp1252 << QString::fromLatin1(cp1252).toUtf8() << 0;

    const QByteArray u = callLine({{12, "\xC3\x96sterreich"}, {14, "M\xC3\xBCnchen"}});
    const QByteArray w = callLine({{12, "\xD6sterreich"}, {13, "FZ"}, {14, "Nachbarl\xE4nder \x80"}});
    const QByteArray wAsUtf8 = callLine({{12, "\xC3\x96sterreich"}, {13, "FZ"}, {14, "Nachbarl\xC3\xA4nder \xE2\x82\xAC"}});
    QTest::newRow("UTF-8 and Windows-1252 lines mixed") << lines({u, w, u}) << lines({u, wAsUtf8, u}) << 0;
    QTest::newRow("BOM, then a Windows-1252 line") << "\xEF\xBB\xBF" + lines({w, u}) << lines({wAsUtf8, u}) << 0;
    // One valid "ü" does not make a line with a stray byte UTF-8: the line is Windows-1252.
    QTest::newRow("valid and invalid UTF-8 in one line")
        << lines({u, callLine({{14, "\xC3\xBC\xFF"}})}) << lines({u, callLine({{14, "\xC3\x83\xC2\xBC\xC3\xBF"}})}) << 0;
    // Surrogates and overlong forms are no UTF-8.
    QTest::newRow("surrogate and overlong bytes") << lines({callLine({{14, "\xED\xA0\x80"}}), callLine({{14, "\xC0\xAF"}}), u})
        << lines({callLine({{14, "\xC3\xAD\xC2\xA0\xE2\x82\xAC"}}), callLine({{14, "\xC3\x80\xC2\xAF"}}), u}) << 0;
}

void TestEdiImport::decidesTheEncodingPerLine()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, twin);
    QFETCH(int, questions);
    const Imported got = importFresh(content);
    const Imported want = importFresh(twin);
    QVERIFY2(got.messages.isEmpty(), qPrintable(got.messages.join('|')));
    QCOMPARE(got.questions.size(), questions);
    QVERIFY(want.result.count > 0);
    QCOMPARE(got.result.count, want.result.count);
    QCOMPARE(got.calls, want.calls);
    // No zone added under a misread name: the seeded discounts still apply.
    QCOMPARE(got.zones, want.zones);
    QVERIFY(got.zones.contains(QStringLiteral("Österreich|GZ|10.0|A")));
}

void TestEdiImport::endsLinesAtCrLfCrOrLf_data()
{
    QTest::addColumn<QList<QByteArray>>("ends");   // taken in turn, line by line
    QTest::addColumn<bool>("lastEnded");
    QTest::newRow("LF") << QList<QByteArray>{"\n"} << true;
    QTest::newRow("CR (old Mac)") << QList<QByteArray>{"\r"} << true;
    QTest::newRow("CR, last line unended") << QList<QByteArray>{"\r"} << false;
    QTest::newRow("CR and CR LF mixed") << QList<QByteArray>{"\r", "\r\n"} << true;
    QTest::newRow("CR LF and CR mixed") << QList<QByteArray>{"\r\n", "\r", "\r"} << true;
    QTest::newRow("LF, CR and CR LF") << QList<QByteArray>{"\n", "\r", "\r\n"} << false;
    // A CR LF file converted to CR LF once more.
    QTest::newRow("CR CR LF") << QList<QByteArray>{"\r\r\n"} << true;
}

void TestEdiImport::endsLinesAtCrLfCrOrLf()
{
    QFETCH(QList<QByteArray>, ends);
    QFETCH(bool, lastEnded);
    const QByteArray crlf = sample("Anrufe_2003_03.edi");
    QByteArray content = withLineEnds(crlf, ends);
    if (!lastEnded) {
        while (content.endsWith('\r') || content.endsWith('\n'))
            content.chop(1);
    }
    const Imported got = importFresh(content);
    const Imported want = importFresh(crlf);
    QVERIFY2(got.messages.isEmpty() && got.questions.isEmpty(), qPrintable((got.messages + got.questions).join('|')));
    QCOMPARE(got.result.count, 90);
    QVERIFY(got.result.complete);
    QCOMPARE(got.calls, want.calls);
    QCOMPARE(got.zones, want.zones);
    for (const QString& row : got.calls + got.zones)
        QVERIFY2(!row.contains('\r') && !row.contains('\n'), qPrintable(row));
}

void TestEdiImport::readsLinesAcrossBlocks_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected");
    constexpr qsizetype k = CarrierTextFile::kBlockBytes;
    const QByteArray a(k - 1, 'a');
    const QString as = QString(a);
    const QString ae = QStringLiteral("Ö");

    QTest::newRow("empty") << QByteArray() << QStringList{};
    QTest::newRow("LF, CR, CR LF, none") << QByteArray("a\nb\rc\r\nd") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("CR CR LF is one end") << QByteArray("a\r\r\nb\r\r\n") << QStringList{"a", "b"};
    QTest::newRow("CR CR is two") << QByteArray("a\r\rb") << QStringList{"a", "", "b"};
    QTest::newRow("LF CR is two") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("CR CR CR LF") << QByteArray("a\r\r\r\nb") << QStringList{"a", "", "b"};
    QTest::newRow("CR LF LF") << QByteArray("a\r\n\nb") << QStringList{"a", "", "b"};
    QTest::newRow("CR at the end") << QByteArray("a\r") << QStringList{"a"};
    QTest::newRow("CR CR at the end") << QByteArray("a\r\r") << QStringList{"a", ""};
    QTest::newRow("only line ends") << QByteArray("\r\n\n\r") << QStringList{"", "", ""};
    QTest::newRow("BOM skipped") << QByteArray("\xEF\xBB\xBFx\r\n") << QStringList{"x"};
    QTest::newRow("BOM alone") << QByteArray("\xEF\xBB\xBF") << QStringList{};
    // Files joined by hand carry a BOM at each former start; it would hide the record type.
    QTest::newRow("BOM at the start of a later line") << QByteArray("a\n\xEF\xBB\xBF" "280\r\n") << QStringList{"a", "280"};
    QTest::newRow("BOM before a Windows-1252 line") << QByteArray("\xEF\xBB\xBF\xD6\n") << QStringList{ae};
    QTest::newRow("UTF-8 line, Windows-1252 line") << QByteArray("\xC3\x96\n\xD6\r\n") << QStringList{ae, ae};
    QTest::newRow("Windows-1252 high bytes") << QByteArray("\x80\x8A\x9F\xA0\xFF") << QStringList{QStringLiteral("€Š\u0178\u00A0ÿ")};
    QTest::newRow("cut character before a CR") << QByteArray("\xE2\x82\r\xE2\x82\xAC") << QStringList{"â‚", "€"};
    QTest::newRow("cut character at the end") << QByteArray("\xC3\x96\n\xC3") << QStringList{ae, "Ã"};
    QTest::newRow("four-byte character") << QByteArray("\xF0\x9F\x93\x9E\n") << QStringList{QString::fromUtf8("\xF0\x9F\x93\x9E")};
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << QStringList{QStringLiteral("ô\u0090€€")};

    // Line ends and characters across the boundary of two blocks.
    QTest::newRow("CR | LF") << a + "\r\nb" << QStringList{as, "b"};
    QTest::newRow("CR | CR LF") << a + "\r\r\nb" << QStringList{as, "b"};
    QTest::newRow("CR CR | LF") << a.left(k - 2) + "\r\r\nb" << QStringList{as.left(k - 2), "b"};
    QTest::newRow("CR | CR CR") << a + "\r\r\rb" << QStringList{as, "", "", "b"};
    QTest::newRow("CR | other") << a + "\rb" << QStringList{as, "b"};
    QTest::newRow("CR | end of file") << a + "\r" << QStringList{as};
    QTest::newRow("LF | CR") << a + "\n\rb" << QStringList{as, "", "b"};
    QTest::newRow("Ö split by the boundary") << a + "\xC3\x96\n" << QStringList{as + ae};
    // The decision covers the whole line, however many blocks it spans.
    const QByteArray longRun(2 * k + 10, 'x');
    QTest::newRow("UTF-8 early, stray byte late") << "\xC3\x96" + longRun + "\xFF\n" << QStringList{"Ã–" + QString(longRun) + "ÿ"};
    QTest::newRow("stray byte early, line spans blocks") << "\xFF" + longRun + "\n" << QStringList{"ÿ" + QString(longRun)};
    QTest::newRow("umlaut after two blocks of ASCII") << longRun + "\xC3\x96\rz" << QStringList{QString(longRun) + ae, "z"};
    QTest::newRow("longest line allowed") << QByteArray(CarrierTextFile::kMaxLineBytes, 'y') + "\r"
                                          << QStringList{QString(CarrierTextFile::kMaxLineBytes, 'y')};
}

void TestEdiImport::readsLinesAcrossBlocks()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    TestDb t;
    CarrierTextFile file;
    file.open(t.writeFile("zeilen.edi", content));
    QStringList got;
    QString line;
    while (file.readLine(line))
        got << line;
    QCOMPARE(got.size(), expected.size());
    for (qsizetype i = 0; i < got.size(); ++i)
        QVERIFY2(got[i] == expected[i], qPrintable(QStringLiteral("line %1: %2").arg(i).arg(got[i].left(80))));
    QVERIFY(!file.readLine(line));
}

void TestEdiImport::refusesFilesThatAreNoText_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");   // %1 is the path
    QTest::addColumn<QString>("place");   // how the message ends
    const QString notText = QStringLiteral("Die Datei %1 ist keine Textdatei.");
    const QString atOpen = QStringLiteral("\nZeile:0\nInterner Status:open File");
    QTest::newRow("symlink to /dev/zero") << "zero" << notText << atOpen;
    QTest::newRow("FIFO") << "fifo" << notText << atOpen;
    QTest::newRow("sparse file of 2 GiB") << "sparse" << notText << atOpen;
    QTest::newRow("NUL after the first block") << "late NUL" << notText << "\nInterner Status:post EGN";
    QTest::newRow("NUL in a long last line") << "NUL in long line" << notText << "\nZeile:1\nInterner Status:post EGN";
    QTest::newRow("line over 1 MiB") << "long line"
        << "Die Datei %1 enthält eine Zeile mit mehr als 1048576 Zeichen; sie ist keine Datei mit Einzelgesprächsnachweisen."
        << "\nZeile:1\nInterner Status:post EGN";
    QTest::newRow("CR-free, LF-free binary") << "no line end" << QStringLiteral("Die Datei %1 enthält eine Zeile mit mehr als 1048576 Zeichen; sie ist keine Datei mit Einzelgesprächsnachweisen.")
        << "\nZeile:0\nInterner Status:open EGN";
}

void TestEdiImport::refusesFilesThatAreNoText()
{
    QFETCH(QString, kind);
    QFETCH(QString, error);
    QFETCH(QString, place);
    TestDb t;
    RecordingUi ui;
    const QString path = t.path("datei.edi");
    const QByteArray call = callLine() + "\r\n";
    if (kind == "zero") {
        QVERIFY(QFile::link("/dev/zero", path));
    } else if (kind == "fifo") {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == "sparse") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(qint64(2) << 30));
    } else if (kind == "late NUL") {
        t.writeFile("datei.edi", call.repeated(2000) + QByteArray(1, '\0') + call);
    } else if (kind == "NUL in long line") {
        t.writeFile("datei.edi", call + QByteArray(3 * CarrierTextFile::kBlockBytes, 'x') + QByteArray(1, '\0'));
    } else if (kind == "long line") {
        t.writeFile("datei.edi", call + QByteArray(CarrierTextFile::kMaxLineBytes + 1, 'x') + "\r\n" + call);
    } else {
        t.writeFile("datei.edi", QByteArray(CarrierTextFile::kMaxLineBytes + 100, '\x01'));
    }
    QElapsedTimer timer;
    timer.start();
    const ImportResult r = ImportFile(t.dm(), path);
    const double ms = timer.nsecsElapsed() / 1e6;
    qInfo("%s refused after %.2f ms", qPrintable(kind), ms);
    QVERIFY2(ms < 1000, qPrintable(QString::number(ms)));
    QCOMPARE(r.count, 0);
    QVERIFY(ui.questions.isEmpty());
    QCOMPARE(ui.messages.size(), 1);
    const QString m = ui.messages.first();
    QVERIFY2(m.startsWith("Daten können wegen eines Fehlers nicht geladen werden.\n" + error.arg(path) + "\nZeile:"), qPrintable(m));
    QVERIFY2(m.endsWith(place), qPrintable(m));
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN").toInt(), 0);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM GeladeneDateien").toInt(), 0);
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM Zonenrabatte").toInt(), 0);
    QVERIFY(!t.db().inTransaction());
}

void TestEdiImport::countsSkippedLinesAndReadsTheTrailer_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<int>("calls");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<int>("declared");   // -1: no count declared

    const QByteArray s01 = sample("Anrufe_2003_01.edi");
    QTest::newRow("sample 01") << s01 << QList<bool>{} << 120 << 0 << 120;
    QTest::newRow("sample 02") << sample("Anrufe_2003_02.edi") << QList<bool>{} << 150 << 0 << 150;
    QTest::newRow("cut in the middle of the last call") << s01.left(s01.lastIndexOf("\tSalzburg")) << QList<bool>{false} << 119
                                                        << 1 << -1;
    QByteArray fifteen = callLine();
    fifteen.truncate(fifteen.lastIndexOf('\t'));
    QTest::newRow("empty lines and a short call passed over")
        << lines({callLine(), "", fifteen, callLine(), "", "900\t2\tEnde"}) << QList<bool>{} << 2 << 3 << 2;
    QTest::newRow("the line Yes stops at is not skipped")
        << lines({callLine(), "", callLine(), "", callLine(), "900\t3"}) << QList<bool>{false, true} << 2 << 1 << -1;
    QTest::newRow("trailer of two fields") << lines({callLine(), "900\t1"}) << QList<bool>{} << 1 << 0 << 1;
    QTest::newRow("trailer with leading zeros") << lines({"900\t0120"}) << QList<bool>{} << 0 << 0 << 120;
    QTest::newRow("trailer of zero calls") << lines({"900\t0\tEnde"}) << QList<bool>{} << 0 << 0 << 0;
    for (const char* field : {"+5", " 5", "5 ", "5x", "-1", "", "1e3", "5,0", "99999999999", "2147483648", "\xEF\xBC\x95"})
        QTest::newRow(qPrintable(QStringLiteral("trailer count '%1'").arg(QString::fromUtf8(field))))
            << lines({callLine(), QByteArray("900\t") + field + "\tEnde"}) << QList<bool>{} << 1 << 0 << -1;
    QTest::newRow("trailer without count") << lines({callLine(), "900"}) << QList<bool>{} << 1 << 0 << -1;
    QTest::newRow("largest count") << lines({"900\t2147483647"}) << QList<bool>{} << 0 << 0 << 2147483647;
    QTest::newRow("record type 9000") << lines({"9000\t5"}) << QList<bool>{} << 0 << 0 << -1;
    QTest::newRow("of two trailers the last counts") << lines({callLine(), "900\t1", callLine(), "900\t2"}) << QList<bool>{} << 2
                                                     << 0 << 2;
    QTest::newRow("a bad trailer keeps the good one") << lines({callLine(), "900\t1", "900\tx"}) << QList<bool>{} << 1 << 0 << 1;
}

void TestEdiImport::countsSkippedLinesAndReadsTheTrailer()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<bool>, answers);
    QFETCH(int, calls);
    QFETCH(int, skipped);
    QFETCH(int, declared);
    TestDb t;
    RecordingUi ui;
    ui.answers = answers;
    TextCallSource source(t.writeFile("datei.edi", content), std::make_unique<EdiReader>());
    QString stage;
    source.openFile(stage);
    source.prepare(stage);
    int read = 0;
    CallSource::Step step;
    while ((step = source.next(read, stage)) == CallSource::Step::Call)
        ++read;
    source.close();
    QCOMPARE(read, calls);
    QCOMPARE(step == CallSource::Step::StoppedByUser, !answers.isEmpty() && answers.last());
    QCOMPARE(source.skippedLines(), skipped);
    QCOMPARE(source.declaredCount().value_or(-1), declared);
}

QTEST_GUILESS_MAIN(TestEdiImport)
#include "TestEdiImport.moc"
