#include "import/ImportDriver.h"
#include "import/ZipImport.h"
#include "support/RecordingUi.h"
#include "support/TestDb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>
#include <zip.h>

namespace {

QByteArray callLine(const QByteArray& number = "06641234567")
{
    return "280\t1\t0316471011\t11\t" + number + "\t\t0,35\t61\t\t20030115\t134501\t5\tMobilnetz\tGZ\tA1 Mobil\tC0001";
}

QByteArray ediFile(int calls)
{
    QByteArray out;
    for (int i = 0; i < calls; ++i)
        out += callLine() + "\r\n";
    return out;
}

struct ZipEntry
{
    QByteArray name;
    QByteArray data;
    enum Kind { Plain, Stored, Link, Encrypted } kind = Plain;
};

// Writes an archive with libzip, the library the import reads it with.
void writeZip(const QString& path, const QList<ZipEntry>& entries)
{
    int error = 0;
    zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    QVERIFY(zip);
    for (const ZipEntry& e : entries) {
        zip_source_t* source = zip_source_buffer(zip, e.data.constData(), zip_uint64_t(e.data.size()), 0);
        const zip_int64_t index = zip_file_add(zip, e.name.constData(), source, ZIP_FL_ENC_UTF_8);
        QVERIFY(index >= 0);
        if (e.kind == ZipEntry::Stored)
            QCOMPARE(zip_set_file_compression(zip, zip_uint64_t(index), ZIP_CM_STORE, 0), 0);
        if (e.kind == ZipEntry::Link)
            QCOMPARE(zip_file_set_external_attributes(zip, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777) << 16), 0);
        if (e.kind == ZipEntry::Encrypted)
            QCOMPARE(zip_file_set_encryption(zip, zip_uint64_t(index), ZIP_EM_AES_256, "geheim"), 0);
    }
    QCOMPARE(zip_close(zip), 0);
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString kUnsupportedTxt = UnsupportedTypeMessage(QStringLiteral(".txt"));

// A database whose start directory is a folder of its own, so that "Temp/Zip" lands there.
struct ZipFixture
{
    ZipFixture() : previous(QDir::currentPath())
    {
        QDir::setCurrent(start.path());
        db = std::make_unique<TestDb>();
        QDir::setCurrent(previous);
    }
    ~ZipFixture() { SetZipUnpackLimit(quint64(4) << 30); }
    QString archive(const QString& name, const QList<ZipEntry>& entries)
    {
        const QString path = QDir(db->dir()).filePath(name);
        writeZip(path, entries);
        return path;
    }
    QString scratch() const { return QDir(start.path()).filePath(QStringLiteral("Temp/Zip")); }
    QStringList files() { return db->column("SELECT DateiName || '|' || OriginalName || '|' || AnzahlEGN FROM GeladeneDateien ORDER BY DateiID"); }

    QString previous;
    QTemporaryDir start;
    std::unique_ptr<TestDb> db;
    RecordingUi ui;
};

} // namespace

class TestZipImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void importsEveryFileOfTheArchive();
    void tellsArchivesWithTheSameFileNamesApart();
    void unpacksOnlyIntoTheScratchFolder();
    void refusesDamagedArchives();
    void importsAnArchiveInsideAnArchive();
};

void TestZipImport::importsEveryFileOfTheArchive()
{
    ZipFixture f;
    // Left over from an earlier archive: deleted, never imported.
    QVERIFY(QDir().mkpath(f.scratch()));
    QFile stale(f.scratch() + "/alt.edi");
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write(ediFile(7));
    stale.close();

    const QByteArray one = "Kopf\r\n1;K;0316471012;15.01.03;08:30:00;0664;Wien;Mobilnetz;00:01:30;1,25;;;;x\r\n";
    const QString zip = f.archive("Jan 2003.ZIP", {{"jan/a.edi", ediFile(2)}, {"liesmich.txt", "Hallo"}, {"jan/", ""},
                                                   {"b.EDI", ediFile(3)}, {"c.one", one}});
    const ImportResult r = ImportFile(f.db->dm(), zip);
    QCOMPARE(r.count, 6);
    QVERIFY(r.recognised);
    // The text file gets its own message; the archive is not whole for the command line.
    QVERIFY(!r.whole());
    QCOMPARE(f.ui.messages, QStringList({kUnsupportedTxt}));
    QCOMPARE(f.ui.panels[0], QStringLiteral("6 EGN's wurden geladen"));
    QCOMPARE(f.files(), QStringList({f.scratch() + "/a.edi|" + zip + "|2", f.scratch() + "/b.EDI|" + zip + "|3",
                                     f.scratch() + "/c.one|" + zip + "|1"}));
    QCOMPARE(QDir(f.scratch()).entryList(QDir::Files), QStringList({"a.edi", "b.EDI", "c.one", "liesmich.txt"}));

    // An archive of whole call files only is whole.
    f.ui.clear();
    const ImportResult whole = ImportFile(f.db->dm(), f.archive("feb.zip", {{"x.edi", ediFile(4)}}));
    QVERIFY(whole.whole() && f.ui.messages.isEmpty());
    QCOMPARE(QDir(f.scratch()).entryList(QDir::Files), QStringList({"x.edi"}));
}

void TestZipImport::tellsArchivesWithTheSameFileNamesApart()
{
    ZipFixture f;
    const QString jan = f.archive("jan.zip", {{"EGN.edi", ediFile(2)}});
    const QString feb = f.archive("feb.zip", {{"EGN.edi", ediFile(5)}});
    QCOMPARE(ImportFile(f.db->dm(), jan).count, 2);
    QCOMPARE(ImportFile(f.db->dm(), feb).count, 5);
    QVERIFY(f.ui.messages.isEmpty());
    // The same archive twice is refused, as a file chosen twice is.
    QCOMPARE(ImportFile(f.db->dm(), jan).count, 0);
    QCOMPARE(f.ui.messages, QStringList({"Daten können wegen eines Fehlers nicht geladen werden.\nDatei " + f.scratch()
                                         + "/EGN.edi wurde bereits geladen.\nZeile:0\nInterner Status:add GeladeneDatei"}));
    QCOMPARE(f.ui.panels[0], QStringLiteral("0 EGN's wurden geladen"));
    QCOMPARE(f.db->scalar("SELECT COUNT(*) FROM EGN").toInt(), 7);
    // A file chosen by the user is still refused by its path alone.
    const QString picked = f.db->writeFile("m.edi", ediFile(1));
    QCOMPARE(ImportFile(f.db->dm(), picked).count, 1);
    QCOMPARE(ImportFile(f.db->dm(), picked).count, 0);
}

void TestZipImport::unpacksOnlyIntoTheScratchFolder()
{
    ZipFixture f;
    const QString zip = f.archive("boese.zip", {{"../evil.edi", ediFile(1)},
                                                {"..\\..\\win.edi", ediFile(1)},
                                                {"a/..", "x"},
                                                {"sub/evil.edi", ediFile(9)},
                                                {"link.edi", "/etc/passwd", ZipEntry::Link},
                                                {"geheim.edi", ediFile(1), ZipEntry::Encrypted}});
    const ImportResult r = ImportFile(f.db->dm(), zip);
    QCOMPARE(r.count, 2);
    QVERIFY(!r.whole());
    QCOMPARE(f.ui.messages, QStringList({"Diese Einträge des Archivs " + zip + " werden nicht geladen:\n"
                                         "a/..: kein Dateiname\n"
                                         "sub/evil.edi: gleicher Name wie ein früherer Eintrag, der geladen wird\n"
                                         "link.edi: symbolischer Link\n"
                                         "geheim.edi: verschlüsselt"}));
    QCOMPARE(QDir(f.scratch()).entryList(QDir::Files), QStringList({"evil.edi", "win.edi"}));
    QVERIFY(!QFile::exists(f.start.path() + "/Temp/evil.edi") && !QFile::exists(f.start.path() + "/evil.edi"));
    QVERIFY(!QFileInfo(f.scratch() + "/link.edi").exists() && !QFileInfo(f.scratch() + "/link.edi").isSymLink());

    // More than the archive may unpack to is refused before anything is written.
    f.ui.clear();
    SetZipUnpackLimit(1000);
    const QString big = f.archive("gross.zip", {{"klein.edi", ediFile(1)}, {"gross.edi", QByteArray(5000, '\n')}});
    QCOMPARE(ImportFile(f.db->dm(), big).count, 1);
    QCOMPARE(f.ui.messages, QStringList({"Diese Einträge des Archivs " + big + " werden nicht geladen:\ngross.edi: entpackt zu groß"}));
    QCOMPARE(QDir(f.scratch()).entryList(QDir::Files), QStringList({"klein.edi"}));
}

void TestZipImport::refusesDamagedArchives()
{
    ZipFixture f;
    // A file of 0 bytes is no archive: the question, and on Yes the second message.
    const QString empty = f.db->writeFile("leer.zip", QByteArray());
    f.ui.answers = {true};
    QCOMPARE(ImportFile(f.db->dm(), empty).count, 0);
    QCOMPARE(f.ui.questions, QStringList({"Beim Command 'unzip' ist die Fehlernummer 19 * eingetreten.\nMit Debugeinstellung probieren ?"}));
    QCOMPARE(f.ui.messages, QStringList({"Es hat leider wieder nicht funktioniert.\n\nVerwendetes CMD: unzip -j \"" + empty + "\" -d \""
                                         + f.scratch() + "\"\n\nkeine Zip-Datei\n\nVersuchen Sie bitte händisch mit dem Command "
                                         "'unzip' die Datei " + empty + " zu entpacken.\n('unzip.exe ist im Hauptverzeichnis von "
                                         "DravikRuboTool enthalten.)"}));
    QCOMPARE(f.ui.panels[0], QStringLiteral("0 EGN's wurden geladen"));

    // One entry with a broken checksum: the others are imported, it is not, nor is anything of it left.
    const QString path = f.archive("crc.zip", {{"gut.edi", ediFile(3), ZipEntry::Stored}, {"kaputt.edi", ediFile(4), ZipEntry::Stored}});
    QByteArray bytes = readAll(path);
    const qsizetype at = bytes.indexOf(ediFile(4));
    QVERIFY(at > 0);
    bytes[at + 10] = '7';
    f.db->writeFile("crc.zip", bytes);
    for (bool retry : {false, true}) {
        f.ui.clear();
        f.ui.answers = {retry};
        f.db->db().execute("DELETE FROM GeladeneDateien");
        f.db->db().execute("DELETE FROM EGN");
        QCOMPARE(ImportFile(f.db->dm(), path).count, 3);
        QCOMPARE(f.ui.questions, QStringList({"Beim Command 'unzip' ist die Fehlernummer 7 * eingetreten.\nMit Debugeinstellung probieren ?"}));
        QCOMPARE(f.ui.messages.size(), retry ? 1 : 0);
        if (retry)
            QVERIFY2(f.ui.messages.first().contains("\n\nkaputt.edi: Prüfsumme falsch\n\n"), qPrintable(f.ui.messages.first()));
        QCOMPARE(QDir(f.scratch()).entryList(QDir::Files), QStringList({"gut.edi"}));
        QCOMPARE(f.files(), QStringList({f.scratch() + "/gut.edi|" + path + "|3"}));
    }
}

void TestZipImport::importsAnArchiveInsideAnArchive()
{
    ZipFixture f;
    const QString innerPath = f.archive("inner.zip", {{"EGN.edi", ediFile(2)}});
    const QByteArray inner = readAll(innerPath);
    // The inner archive lies before the outer archive's last file: that file must still be there.
    const QString outer = f.archive("outer.zip", {{"a.edi", ediFile(1)}, {"monat/inner.zip", inner}, {"z.edi", ediFile(3)}});
    QCOMPARE(ImportFile(f.db->dm(), outer).count, 6);
    QVERIFY2(f.ui.messages.isEmpty(), qPrintable(f.ui.messages.join('|')));
    QCOMPARE(f.files(), QStringList({f.scratch() + "/a.edi|" + outer + "|1", f.scratch() + "/Ebene2/EGN.edi|" + f.scratch() + "/inner.zip|2",
                                     f.scratch() + "/z.edi|" + outer + "|3"}));

    // An archive that holds itself again and again ends at a depth.
    f.ui.clear();
    QByteArray nested = readAll(f.archive("n0.zip", {{"x.edi", ediFile(1)}}));
    for (int i = 1; i <= 4; ++i)
        nested = readAll(f.archive(QStringLiteral("n%1.zip").arg(i), {{QByteArray("n") + QByteArray::number(i - 1) + ".zip", nested}}));
    QCOMPARE(ImportFile(f.db->dm(), f.db->writeFile("tief.zip", nested)).count, 0);
    QCOMPARE(f.ui.messages.size(), 1);
    QVERIFY2(f.ui.messages.first().endsWith("liegt zu tief in anderen Archiven und wird nicht geladen."), qPrintable(f.ui.messages.first()));
}

QTEST_GUILESS_MAIN(TestZipImport)
#include "TestZipImport.moc"
