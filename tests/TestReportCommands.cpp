#include "support/CliTool.h"
#include "support/PdfText.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

class TestReportCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The node and the filter choose the calls as for the exports; the pages are those of the window.
    void writesBothReportsAsPdf()
    {
        CliTool t;
        const QString zone = t.scalar("SELECT Zone FROM EGN GROUP BY Zone ORDER BY COUNT(*) DESC LIMIT 1").toString();
        const qint64 inZone = t.scalar("SELECT COUNT(*) FROM EGN WHERE Zone = '" + zone + "'").toLongLong();

        CliRun r = t.run({"report-calls", "--grouping", "Zonen", "--node", zone, "--pdf", "zone.pdf"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral(" mit %1 Anrufen nach ").arg(inZone)), qPrintable(r.out));
        const QStringList pages = PdfPages(t.file("zone.pdf"));
        QVERIFY(!pages.isEmpty());
        QVERIFY(pages.first().contains("Zone = '" + zone + "'"));
        QVERIFY(QRegularExpression(QStringLiteral("Gesamtanrufe :\\s+%1\\n").arg(inZone)).match(pages.last()).hasMatch());

        // The sums of a grouping's top level; the filter narrows them (a date alone is that day).
        r = t.run({"report-sums", "--grouping", "Kostenstellen & Zonen", "--filter", "DatumVon=15.01.2003", "--pdf", "summen"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const qint64 fromThe15th = t.scalar("SELECT COUNT(*) FROM EGN WHERE BeginZeit >= 37636 AND BeginZeit < 37637").toLongLong();
        const QString sums = PdfPages(t.file("summen.pdf")).value(0);
        QVERIFY2(sums.contains(QRegularExpression(QStringLiteral("Summen\\s+%1\\s").arg(fromThe15th))), qPrintable(sums));
        QVERIFY(sums.contains("Kostenstelle"));
        QVERIFY(!sums.contains(QRegularExpression("\\sZone\\s+Anzahl")));

        // An existing file stays without --yes; nothing to print writes nothing.
        const QByteArray before = t.read("zone.pdf");
        r = t.run({"report-calls", "--pdf", "zone.pdf"});
        QCOMPARE(r.code, 1);
        QCOMPARE(t.read("zone.pdf"), before);
        QVERIFY(t.run({"report-calls", "--yes", "--pdf", "zone.pdf"}).code == 0);
        QVERIFY(t.read("zone.pdf") != before);

        r = t.run({"report-calls", "--filter", "Zone=Atlantis", "--pdf", "leer.pdf"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Die Auswahl enthält keine Gespräche; es wurde kein Report geschrieben."));
        QVERIFY(!QFile::exists(t.file("leer.pdf")));

        // Shortened for one run, whatever the settings say.
        const QString number = t.scalar("SELECT BNummer FROM EGN WHERE BNummer >= '0664' AND BNummer < '0665' LIMIT 1").toString();
        QVERIFY(t.run({"report-calls", "--mask-digits", "3", "--filter", "BNummer=" + number, "--pdf", "kurz.pdf"}).code == 0);
        const QString shortened = PdfPages(t.file("kurz.pdf")).join("");
        QVERIFY(shortened.contains("Zielnummern um 3 Stellen gekürzt"));
        QVERIFY(shortened.contains(number.chopped(3) + "xxx"));
        QVERIFY(!shortened.contains(number));

        // Mistakes are told, not printed.
        r = t.run({"report-calls", "zone.pdf"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Unbekannte Angabe: zone.pdf"));
        r = t.run({"report-sums", "--grouping", "Gibtsnicht", "--pdf", "x.pdf"});
        QVERIFY(r.err.contains("Die Gruppierung Gibtsnicht gibt es nicht."));
        r = t.run({"report-sums"});
        QVERIFY(r.err.contains("Es wurde kein Dateiname eingegeben."));
    }
};

QTEST_MAIN(TestReportCommands)
#include "TestReportCommands.moc"
