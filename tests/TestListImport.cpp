#include "database/Conversions.h"
#include "import/ImportDriver.h"
#include "support/RecordingUi.h"
#include "support/TestDb.h"

#include <QTest>

namespace {

QByteArray lines(const QList<QByteArray>& l)
{
    return l.join("\r\n") + "\r\n";
}

const QByteArray kCsvHeader = "ANummer;Nebenstelle;BNummer;Betrag;Sekunden;BeginZeit;ZoneCode;Zone;Ziel;Kostenstelle;Euro;IAS;"
                              "FilialeID;GZ;Rabatt;RabattEuro";

// A line as the call export writes it: every value quoted, ";" between them.
QByteArray quoted(const QList<QByteArray>& values)
{
    QList<QByteArray> q;
    for (const QByteArray& v : values)
        q << '"' + QByteArray(v).replace("\"", "\"\"") + '"';
    return q.join(';');
}

QList<QByteArray> csvValues(const QMap<int, QByteArray>& fields = {})
{
    QList<QByteArray> f = {"0316471011", "11", "06641234567", "0,35", "61", "15.01.2003 13:45:01", "5", "Mobilnetz",
                           "A1 Mobil", "KST 1", "0,0254", "I", "01", "FZ", "0", "0"};
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        f[it.key()] = it.value();
    return f;
}

const QByteArray kOneHeader = "Nr;Konto;Anrufer;Datum;Uhrzeit;Ziel;Zielort;Zone;Dauer;Betrag;a;b;c;d";

QByteArray oneLine(const QMap<int, QByteArray>& fields = {})
{
    QList<QByteArray> f = {"1", "K1", "0316471012", "15.01.03", "08:30:00", "06641234567", "Wien, Innere Stadt",
                           "Mobilnetz", "00:01:30", "1,25", "", "", "", "x"};
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        f[it.key()] = it.value();
    return f.join(';');
}

QString call(TestDb& t, int id, const char* columns)
{
    return t.scalar(QStringLiteral("SELECT %1 FROM EGN WHERE ID = %2").arg(QLatin1String(columns)).arg(id)).toString();
}

QString question(const QString& text)
{
    return text + QStringLiteral("\nSoll der Import abgebrochen werden ?");
}

} // namespace

class TestListImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void csvReadsTheExportsLines();
    void csvSplitsUnquotedLinesAtBlanks();
    void csvPutsShortLinesToTheUser();
    void csvRefusesWhatItCannotRead();
    void oneReadsItsFields();
    void onePutsUnusableLinesToTheUser();
};

void TestListImport::csvReadsTheExportsLines()
{
    TestDb t;
    RecordingUi ui;
    // The header is passed over even when it holds a call; the cost centre, Euro amount, class,
    // branch and discounts of the export are derived again.
    const QString path = t.writeFile("export.csv", lines({quoted(csvValues()), quoted(csvValues()),
                                                          quoted(csvValues({{8, "Hotel \"Sacher\" Wien"}, {13, "GZ  "}}))}));
    const ImportResult r = ImportFile(t.dm(), path);
    QCOMPARE(r.count, 2);
    QVERIFY2(r.whole() && ui.messages.isEmpty() && ui.questions.isEmpty(), qPrintable(ui.messages.join('|')));
    QCOMPARE(ui.panels[0], QStringLiteral("2 EGN's wurden geladen"));
    QCOMPARE(call(t, 1, "ANummer || '|' || Nebenstelle || '|' || BNummer || '|' || Betrag || '|' || Sekunden || '|' || "
                        "ZoneCode || '|' || Zone || '|' || Ziel || '|' || GZ || '|' || Kostenstelle || '|' || FilialeID"),
             QStringLiteral("0316471011|11|06641234567|0.35|61|5|Mobilnetz|A1 Mobil|FZ|x|x"));
    QCOMPARE(FormatSerialDateTime(call(t, 1, "BeginZeit").toDouble()), QStringLiteral("15.01.2003 13:45:01"));
    // A doubled quote is one quote of the value; trailing blanks of the class go.
    QCOMPARE(call(t, 2, "Ziel || '|' || GZ"), QStringLiteral("Hotel \"Sacher\" Wien|GZ"));
    QCOMPARE(t.scalar("SELECT AnzahlEGN FROM GeladeneDateien").toInt(), 2);

    // A file of the header only is loaded with no calls.
    QCOMPARE(ImportFile(t.dm(), t.writeFile("leer.CSV", kCsvHeader + "\r\n")).count, 0);
    QCOMPARE(t.scalar("SELECT COUNT(*) || '|' || SUM(AnzahlEGN) FROM GeladeneDateien").toString(), QStringLiteral("2|2"));
    QCOMPARE(ui.panels[0], QStringLiteral("0 EGN's wurden geladen"));
}

void TestListImport::csvSplitsUnquotedLinesAtBlanks()
{
    TestDb t;
    RecordingUi ui;
    // Without quotes every ";" becomes a comma and blanks split too: the start's date and time
    // fall apart, a blank in the destination shifts the later columns.
    const QByteArray plain = "0316471011;11;06641234567;0.35;61;15.01.2003;5;Mobilnetz;Graz;x;x;x;x;GZ";
    const QByteArray blank = "0316471011;11;06641234567;0.35;61;15.01.2003;5;Mobilnetz;A1 Mobil;x;x;x;x;GZ";
    QCOMPARE(ImportFile(t.dm(), t.writeFile("plain.csv", lines({kCsvHeader, plain, blank}))).count, 2);
    QCOMPARE(call(t, 1, "Ziel || '|' || GZ"), QStringLiteral("Graz|GZ"));
    QCOMPARE(call(t, 1, "BeginZeit").toDouble(), EncodeDate(2003, 1, 15));
    QCOMPARE(call(t, 2, "Ziel || '|' || GZ"), QStringLiteral("A1|x"));
    // A decimal comma is a separator in an unquoted line: the duration lands in the start.
    QCOMPARE(ImportFile(t.dm(), t.writeFile("komma.csv", lines({kCsvHeader, QByteArray(plain).replace("0.35", "0,35")}))).count,
             0);
    QVERIFY2(ui.messages.last().contains("'61' ist kein gültiges Datum") && ui.messages.last().endsWith("\nZeile:1\nInterner Status:extraxt EGN"),
             qPrintable(ui.messages.last()));
}

void TestListImport::csvPutsShortLinesToTheUser()
{
    TestDb t;
    RecordingUi ui;
    QList<QByteArray> thirteen = csvValues();
    thirteen.removeLast();
    thirteen.removeLast();
    thirteen.removeLast();
    ui.answers = {false, false};
    const ImportResult r = ImportFile(t.dm(), t.writeFile("kurz.csv", lines({kCsvHeader, quoted(csvValues()), quoted(thirteen),
                                                                             "", quoted(csvValues())})));
    QCOMPARE(r.count, 2);
    QCOMPARE(r.skipped, 2);
    const QString tooFew = QStringLiteral("Beim Zerlegen der Zeile wurden nicht die erforderlichen Spaltenanzahl gefunden."
                                          "\nErforderliche Spaltenanzahl:14\nZeile Nr:%1");
    // The line number counts the header: the calls read so far + 2.
    QCOMPARE(ui.questions, QStringList({question(tooFew.arg(3)), question(tooFew.arg(3))}));

    // Yes stops and keeps the calls read before.
    ui.clear();
    ui.answers = {true};
    const ImportResult stopped = ImportFile(t.dm(), t.writeFile("stop.csv", lines({kCsvHeader, quoted(csvValues()), quoted(thirteen),
                                                                                   quoted(csvValues())})));
    QCOMPARE(stopped.count, 1);
    QVERIFY(!stopped.complete);
    QCOMPARE(t.scalar("SELECT AnzahlEGN FROM GeladeneDateien ORDER BY DateiID DESC LIMIT 1").toInt(), 1);
}

void TestListImport::csvRefusesWhatItCannotRead()
{
    TestDb t;
    RecordingUi ui;
    // A start the export never writes rolls the whole file back, at the call that holds it.
    const QString path = t.writeFile("datum.csv", lines({kCsvHeader, quoted(csvValues()), quoted(csvValues({{5, "2003-01-15 x"}}))}));
    QCOMPARE(ImportFile(t.dm(), path).count, 0);
    QCOMPARE(ui.messages.size(), 1);
    QVERIFY2(ui.messages.first().startsWith(QStringLiteral("Daten können wegen eines Fehlers nicht geladen werden.\n")), qPrintable(ui.messages.first()));
    QVERIFY2(ui.messages.first().endsWith(QStringLiteral("\nZeile:2\nInterner Status:extraxt EGN")), qPrintable(ui.messages.first()));
    ui.clear();
    QCOMPARE(ImportFile(t.dm(), t.writeFile("betrag.csv", lines({kCsvHeader, quoted(csvValues({{3, "1,2,3"}}))}))).count, 0);
    QVERIFY(ui.messages.first().contains(QStringLiteral("Nichtkonvertierbarer Zahlenwert (1,2,3)")));
    QCOMPARE(t.scalar("SELECT (SELECT COUNT(*) FROM EGN) + (SELECT COUNT(*) FROM GeladeneDateien)").toInt(), 0);
}

void TestListImport::oneReadsItsFields()
{
    TestDb t;
    RecordingUi ui;
    const QString path = t.writeFile("liste.one", lines({kOneHeader, oneLine(),
                                                         oneLine({{3, "15.01.2003"}, {8, "00:00:00"}, {9, "0.5"}}),
                                                         oneLine({{8, "24:00:00"}}), oneLine({{8, "01:00:00"}, {4, "kaputt"}})}));
    const ImportResult r = ImportFile(t.dm(), path);
    QCOMPARE(r.count, 4);
    QVERIFY2(r.whole() && ui.messages.isEmpty() && ui.questions.isEmpty(), qPrintable(ui.messages.join('|')));
    QCOMPARE(call(t, 1, "ANummer || '|' || BNummer || '|' || Ziel || '|' || Zone || '|' || Sekunden || '|' || Betrag || '|' "
                        "|| ZoneCode || '|' || GZ"),
             QStringLiteral("0316471012|06641234567|Wien, Innere Stadt|Mobilnetz|90|1.25|0|GZ"));
    QCOMPARE(FormatSerialDateTime(call(t, 1, "BeginZeit").toDouble()), QStringLiteral("15.01.2003 08:30:00"));
    // A four-digit year gives the same day; durations of a day or more and unreadable times are 0.
    QCOMPARE(FormatSerialDateTime(call(t, 2, "BeginZeit").toDouble()), QStringLiteral("15.01.2003 08:30:00"));
    QCOMPARE(t.column("SELECT Sekunden FROM EGN ORDER BY ID"), QStringList({"90", "0", "0", "3600"}));
    QCOMPARE(FormatSerialDateTime(call(t, 4, "BeginZeit").toDouble()), QStringLiteral("15.01.2003 00:00:00"));
}

void TestListImport::onePutsUnusableLinesToTheUser()
{
    TestDb t;
    RecordingUi ui;
    QList<QByteArray> thirteen = oneLine().split(';');
    thirteen.removeLast();
    ui.answers = {false, false, false, false};
    const ImportResult r = ImportFile(t.dm(), t.writeFile("fehler.one", lines({kOneHeader, oneLine(), oneLine({{3, "2003-01-15"}}),
                                                                               thirteen.join(';'), oneLine({{3, "15.01.2003 morgens"}}),
                                                                               oneLine(), ""})));
    QCOMPARE(r.count, 2);
    QCOMPARE(r.skipped, 4);
    QCOMPARE(ui.questions,
             QStringList({question("Das Datum (2003-01-15) ist nicht lesbar.\nZeile Nr:3"),
                          question("Beim Zerlegen der Zeile wurden nicht die erforderlichen Spaltenanzahl gefunden."
                                   "\nErforderliche Spaltenanzahl:14\nZeile Nr:3"),
                          question("Das Datum (15.01.2003 morgens) ist nicht lesbar.\nZeile Nr:3"),
                          question("Fehlernummer 1 ist beim Zerlegen der Zeile Nr. 4 aufgetreten.")}));
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM EGN WHERE BeginZeit < 1").toInt(), 0);

    // Yes at a bad date stops with the calls read so far; an unreadable amount rolls back.
    ui.clear();
    ui.answers = {true};
    QCOMPARE(ImportFile(t.dm(), t.writeFile("stop.one", lines({kOneHeader, oneLine(), oneLine({{3, "31.02.2003"}}), oneLine()}))).count, 1);
    ui.clear();
    QCOMPARE(ImportFile(t.dm(), t.writeFile("betrag.one", lines({kOneHeader, oneLine(), oneLine({{9, "zwei"}})}))).count, 0);
    QVERIFY2(ui.messages.first().endsWith(QStringLiteral("Nichtkonvertierbarer Zahlenwert (zwei)\nZeile:2\nInterner Status:extraxt EGN")),
             qPrintable(ui.messages.first()));
    QCOMPARE(t.scalar("SELECT COUNT(*) FROM GeladeneDateien").toInt(), 2);
}

QTEST_GUILESS_MAIN(TestListImport)
#include "TestListImport.moc"
