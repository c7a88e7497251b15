#include "support/CliTool.h"
#include "support/WorkbookReader.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

int lineCount(const QByteArray& bytes)
{
    return int(bytes.count("\r\n"));
}

} // namespace

class TestExportCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The node and the filter narrow the calls as the main window would list them.
    void exportsTheCallsAndSumsOfANode()
    {
        CliTool t;
        const QString zone = t.scalar("SELECT Zone FROM EGN GROUP BY Zone ORDER BY COUNT(*) DESC LIMIT 1").toString();
        const int inZone = t.scalar("SELECT COUNT(*) FROM EGN WHERE Zone = '" + zone + "'").toInt();
        QVERIFY(inZone > 1);

        CliRun r = t.run({"export-calls", "--grouping", "Zonen", "--node", zone, "zone"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(lineCount(t.read("zone.csv")), inZone + 1);
        QVERIFY(t.read("zone.csv").startsWith("ANummer;Nebenstelle;BNummer;Betrag;"));

        r = t.run({"export-calls", "--filter", "Zone=" + zone, "--separator", "#9", "gefiltert.csv"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(lineCount(t.read("gefiltert.csv")), inZone + 1);
        QVERIFY(t.read("gefiltert.csv").startsWith("ANummer\tNebenstelle\t"));

        const int zones = t.scalar("SELECT COUNT(DISTINCT Zone) FROM EGN").toInt();
        r = t.run({"export-sums", "--grouping", "Zonen", "summen.csv"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(lineCount(t.read("summen.csv")), zones + 1);

        // Without a grouping: one line with the totals of all calls.
        r = t.run({"export-sums", "alle.csv"});
        QCOMPARE(r.code, 0);
        const QList<QByteArray> all = t.read("alle.csv").split('\n');
        QVERIFY(all.value(1).startsWith('"' + QByteArray::number(t.scalar("SELECT COUNT(*) FROM EGN").toInt()) + "\";"));

        r = t.run({"export-calls", "anrufe.xlsx"});
        QCOMPARE(r.code, 0);
        QVERIFY(t.read("anrufe.xlsx").startsWith("PK"));
    }

    // The settings' shortening applies, and --mask-digits overrides it for one run.
    void shortensTheDialledNumbers()
    {
        CliTool t;
        const QString number = t.scalar("SELECT BNummer FROM EGN WHERE BNummer >= '0664' AND BNummer < '0665' LIMIT 1").toString();
        const QString service = t.scalar("SELECT BNummer FROM EGN WHERE BNummer >= '0810' AND BNummer < '0811' LIMIT 1").toString();
        QVERIFY(number.size() > 6 && !service.isEmpty());
        const auto quoted = [](const QString& n) { return ";\"" + n.toUtf8() + "\";"; };

        QDir().mkpath(t.file("config/DRAVIK"));
        QFile conf(t.file("config/DRAVIK/DravikRuboTool.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[Datenschutz]\nZielnummernKuerzen=4\n");
        conf.close();
        CliRun r = t.run({"export-calls", "vier.csv"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(t.read("vier.csv").contains(quoted(number.chopped(4) + "xxxx")));
        QVERIFY(t.read("vier.csv").contains(quoted(service)));   // a value-added service stays whole

        r = t.run({"export-calls", "--mask-digits", "2", "zwei.xlsx"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const Sheet sheet = readBack(t.file("zwei.xlsx")).value(0);
        QStringList dialled;
        for (int row = 1; row < sheet.rows.size(); ++row)
            dialled << sheet.text(row, 2);
        QVERIFY(dialled.contains(number.chopped(2) + "xx") && !dialled.contains(number));
        r = t.run({"export-calls", "--mask-digits", "0", "voll.csv"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(t.read("voll.csv").contains(quoted(number)));

        r = t.run({"export-calls", "--mask-digits", "10", "zehn.csv"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("--mask-digits verlangt eine Zahl von 0 bis 9."), qPrintable(r.err));
        QVERIFY(!QFile::exists(t.file("zehn.csv")));
    }

    // Nothing is written where the options make no sense or the target exists without --yes.
    void refusesWithAMessage()
    {
        CliTool t;
        QFile existing(t.file("da.csv"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("alt");
        existing.close();
        CliRun r = t.run({"export-calls", "da.csv"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains("Datei existiert bereits.\nÜberschreiben ? Nein"), qPrintable(r.out));
        QCOMPARE(t.read("da.csv"), QByteArray("alt"));
        r = t.run({"export-calls", "--yes", "da.csv"});
        QCOMPARE(r.code, 0);
        QVERIFY(t.read("da.csv").startsWith("ANummer;"));

        const QList<QPair<QStringList, QString>> wrong = {
            {{"export-calls", "--filter", "Farbe=rot", "x.csv"}, "Unbekanntes Filterfeld: Farbe=rot"},
            {{"export-calls", "--grouping", "Sterne", "x.csv"}, "Die Gruppierung Sterne gibt es nicht."},
            {{"export-calls", "--node", "Wien", "x.csv"}, "--node verlangt --grouping."},
            {{"export-calls", "--separator", "#34", "x.csv"}, "Dieses Trennzeichen"},
            {{"export-calls", "--separator", " ", "x.csv"}, "Es wurde KEIN Seperator eingegeben."},
            {{"export-sums"}, "Es wurde kein Dateiname eingegeben."},
            {{"copy-db", "RuboTool"}, "Dieser WAHNSINN, die eigenen Datenbank zu überschreiben, wird nicht unterstützt !"},
            {{"copy-db", "RuboTool.mdb-wal"}, "Dieser WAHNSINN"},
        };
        for (const auto& [args, message] : wrong) {
            r = t.run(args);
            QVERIFY2(r.code == 1 && r.err.contains(message), qPrintable(args.join(' ') + ": " + r.err));
        }
        QVERIFY(!QFile::exists(t.file("x.csv")));
    }

    // The copy holds every call and the reference data, and a failure tells the system's number.
    void copiesTheDatabase()
    {
        CliTool t;
        CliRun r = t.run({"copy-db", "sicherung"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QString original = t.run({"info"}).out;
        QProcess p;
        p.start(QStringLiteral(RUBO_BUILD_DIR "/cli/rubotool"), {"--db", t.file("sicherung.mdb"), "info"});
        QVERIFY(p.waitForFinished());
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), original);

        r = t.run({"copy-db", t.file("fehlt/kopie.mdb")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Das Kopieren hat nicht funktioniert.\nCopyFile ") && r.err.contains("\nFehler:2"),
                 qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestExportCommands)
#include "TestExportCommands.moc"
