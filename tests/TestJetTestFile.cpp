// The generated Access files, read back by the two readers the import is measured against: mdbtools
// (mdb-tables, mdb-schema, mdb-export on the libmdb the import uses) and the npm package mdb-reader
// through tests/tools/read-mdb.mjs. A missing reader fails the test: tools/setup.sh installs both.

#include "support/JetTestFile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <cmath>
#include <limits>

using namespace JetTestFile;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NODE_PATH"), QStringLiteral(RUBO_BUILD_DIR "/node/node_modules"));
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    Run r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) {
        r.err = QStringLiteral("%1 did not finish: %2").arg(program, p.errorString());
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString program(const char* name)
{
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (path.isEmpty())
        qWarning("%s is not installed: run tools/setup.sh", name);
    return path;
}

// Runs a reader that must succeed without a word on stderr.
#define READ(var, prog, ...)                                                                        \
    const Run var = run(prog, {__VA_ARGS__});                                                       \
    QVERIFY2(var.exitCode == 0 && var.err.isEmpty(), qPrintable(QStringLiteral("%1 %2: exit %3, %4") \
             .arg(prog, QStringList{__VA_ARGS__}.join(' ')).arg(var.exitCode).arg(var.err)))

const QDateTime kEpoch(QDate(1899, 12, 30), QTime(0, 0), QTimeZone::utc());

// A DateTime cell as the wall-clock time it stands for.
QDateTime wallClock(const QVariant& v)
{
    if (v.typeId() == QMetaType::QDateTime)
        return QDateTime(v.toDateTime().date(), v.toDateTime().time(), QTimeZone::utc());
    return kEpoch.addMSecs(std::llround(v.toDouble() * 86400000.0));
}

// mdb-export's field for a cell: texts and dates quoted, NULL as the word given with -0.
// mdbtools reports an empty text as no value at all, so it exports it as NULL too.
QString exported(Type type, const QVariant& v)
{
    if (v.isNull() || (type == Type::Text && v.toString().isEmpty()))
        return QStringLiteral("NULL");
    switch (type) {
    case Type::Text: return '"' + v.toString().replace('"', QStringLiteral("\"\"")) + '"';
    case Type::Long: return QString::number(v.toLongLong());
    case Type::Double: return QString::asprintf("%.16g", v.toDouble());
    case Type::DateTime: return '"' + wallClock(v).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) + '"';
    }
    return {};
}

// mdb-reader's JSON value for a cell, through read-mdb.mjs.
QJsonValue read(Type type, const QVariant& v)
{
    if (v.isNull())
        return QJsonValue::Null;
    switch (type) {
    case Type::Text: return v.toString();
    case Type::Long:
    case Type::Double: return v.toDouble();
    case Type::DateTime: return wallClock(v).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
    }
    return {};
}

// Fields of mdb-export's lines with their quotes kept; a quote inside is doubled.
QList<QStringList> splitCsv(const QString& text)
{
    QList<QStringList> lines;
    QStringList fields;
    QString field;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == '"')
            quoted = !quoted;
        if (!quoted && (c == ',' || c == '\n')) {
            fields << field;
            field.clear();
            if (c == '\n') {
                lines << fields;
                fields.clear();
            }
            continue;
        }
        field += c;
    }
    return lines;
}

QString typeName(Type type)
{
    switch (type) {
    case Type::Text: return QStringLiteral("text");
    case Type::Long: return QStringLiteral("long");
    case Type::Double: return QStringLiteral("double");
    case Type::DateTime: return QStringLiteral("datetime");
    }
    return {};
}

QString schemaType(const Column& c)
{
    switch (c.type) {
    case Type::Text: return QStringLiteral("Text (%1)").arg(c.textLength);
    case Type::Long: return QStringLiteral("Long Integer");
    case Type::Double: return QStringLiteral("Double");
    case Type::DateTime: return QStringLiteral("DateTime");
    }
    return {};
}

QDateTime at(int y, int m, int d, int h, int n, int s) { return QDateTime(QDate(y, m, d), QTime(h, n, s)); }

// A text of n characters from umlauts, the euro sign and letters, different for each seed.
QString filler(int n, int seed)
{
    const QString alphabet = QStringLiteral("abcäöüßÄÖÜ€xyz0123 ");
    QString s;
    for (int i = 0; i < n; ++i)
        s += alphabet[(i * 7 + seed) % alphabet.size()];
    return s;
}

QList<Table> sampleTables(Version version)
{
    Table calls{QStringLiteral("calls"),
                {{"ANumber", Type::Text}, {"Extension", Type::Text, 10}, {"BNumber", Type::Text},
                 {"amount", Type::Double}, {"Time", Type::DateTime}, {"Units", Type::Long},
                 {"jurisdiction", Type::Long}, {"Zone", Type::Text}, {"Destination", Type::Text}},
                {}};
    const QVariant null;
    calls.rows = {
        {"0316123456", "100", "00436641234567", 1.25, at(2003, 3, 15, 7, 0, 1), 3, 1, "Mobil", QStringLiteral("Österreich Mobilnetz")},
        {"0316123456", "20", "0041441234567", -12.5, at(1965, 3, 14, 8, 5, 9), -7, 2, "Ausland 1", QStringLiteral("Zürich")},
        {"0316123456", null, "0800123", 0.1, at(1969, 12, 31, 23, 59, 59), std::numeric_limits<qint32>::min(), null, null, QStringLiteral("€ Sonderrufnummer")},
        {null, "3", "+49301234", 1.0 / 3.0, at(1970, 1, 1, 0, 0, 0), std::numeric_limits<qint32>::max(), 0, "Ausland 2", QStringLiteral("Deutschland, \"Festnetz\"")},
        {"0316987654", "", "112", 123456789.125, 45000.25, 0, 1, "Notruf", ""},
        {null, null, null, null, null, null, null, null, null},
        {"0316987654", "1000", "0664", -0.0001, at(2024, 2, 29, 13, 45, 30), 12, -1, "Mobil", QStringLiteral("Ärger & Größe")},
    };

    // Column names with umlauts; Ort keeps Jet 4's compressed text, mixed with two-byte characters.
    Table zones{QStringLiteral("Zonen"),
                {{"Zone", Type::Text}, {QStringLiteral("Währung"), Type::Text, 3}, {QStringLiteral("Gebühr"), Type::Double},
                 {"Ort", Type::Text, 255, true}},
                {}};
    zones.rows = {
        {"Mobil", "EUR", 0.29, QStringLiteral("Zürich")},
        {"Ausland 1", null, 1.5, version == Version::Jet4 ? QStringLiteral("Łódź liegt in Polen") : QStringLiteral("Lodz liegt in Polen")},
        {QStringLiteral("Übersee"), "USD", null, version == Version::Jet4 ? QStringLiteral("Āb") : QStringLiteral("Ab")},
        {"Regional", "EUR", 0.0, "plain ascii"},
    };

    Table empty{QStringLiteral("Leer"), {{"Name", Type::Text}, {"Nr", Type::Long}}, {}};

    // Enough rows for many data pages, and so for the usage maps.
    Table many{QStringLiteral("Massen"),
               {{"Nr", Type::Long}, {"Text", Type::Text}, {"Betrag", Type::Double}, {"Zeit", Type::DateTime}},
               {}};
    for (int i = 0; i < 2000; ++i) {
        many.rows << QVariantList{i, i % 7 == 0 ? null : QVariant(QStringLiteral("Zeile %1 für Jörg").arg(i)),
                                  i % 11 == 0 ? null : QVariant(i * 0.25 - 100),
                                  at(1999, 12, 31, 23, 0, 0).addSecs(qint64(i) * 3607)};
    }

    // Rows from a few bytes up to about 800, across the 256-byte steps of Jet 3's jump table.
    Table notes{QStringLiteral("Notizen"), {{"Nr", Type::Long}, {"A", Type::Text}, {"B", Type::Text}, {"C", Type::Text}}, {}};
    for (int i = 0; i < 300; ++i) {
        notes.rows << QVariantList{i, filler(i % 256, i), i % 5 == 0 ? null : QVariant(filler((i * 7) % 256, i + 1)),
                                   filler((i * 13) % 256, i + 2)};
    }

    // Fixed columns only: rows without any variable part.
    Table counters{QStringLiteral("Zähler"), {{"Nr", Type::Long}, {"Wert", Type::Double}, {"Zeit", Type::DateTime}}, {}};
    counters.rows = {{1, 2.5, at(2001, 9, 11, 14, 46, 0)}, {2, null, null}, {null, -3.75, 36526.0}};

    return {calls, zones, empty, many, notes, counters};
}

}   // namespace

class TestJetTestFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readersAgree_data();
    void readersAgree();
    void rejectsWhatItCannotWrite();
};

void TestJetTestFile::readersAgree_data()
{
    QTest::addColumn<Version>("version");
    QTest::addColumn<QString>("versionName");
    QTest::newRow("Jet 3") << Version::Jet3 << QStringLiteral("JET3");
    QTest::newRow("Jet 4") << Version::Jet4 << QStringLiteral("JET4");
}

void TestJetTestFile::readersAgree()
{
    QFETCH(Version, version);
    QFETCH(QString, versionName);
    const QString mdbVer = program("mdb-ver");
    const QString mdbTables = program("mdb-tables");
    const QString mdbSchema = program("mdb-schema");
    const QString mdbExport = program("mdb-export");
    const QString node = program("node");
    QVERIFY(!mdbVer.isEmpty() && !mdbTables.isEmpty() && !mdbSchema.isEmpty() && !mdbExport.isEmpty());
    QVERIFY2(!node.isEmpty(), "node is not installed: run tools/setup.sh");
    const QString script = QStringLiteral(RUBO_SOURCE_DIR "/tests/tools/read-mdb.mjs");

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Anrufe.mdb"));
    const QList<Table> tables = sampleTables(version);
    QString error;
    QVERIFY2(write(file, version, tables, &error), qPrintable(error));
    const int pageSize = version == Version::Jet4 ? 4096 : 2048;
    QVERIFY(QFileInfo(file).size() > 40 * pageSize);

    READ(ver, mdbVer, file);
    QCOMPARE(ver.out.trimmed(), versionName);

    QStringList names;
    for (const Table& t : tables)
        names << t.name;
    READ(list, mdbTables, QStringLiteral("-1"), file);
    QCOMPARE(list.out.split('\n', Qt::SkipEmptyParts), names);

    READ(schema, mdbSchema, file);
    for (const Table& t : tables) {
        QVERIFY2(schema.out.contains(QStringLiteral("CREATE TABLE [%1]").arg(t.name)), qPrintable(t.name));
        for (const Column& c : t.columns) {
            const QString line = QStringLiteral("\t[%1]\t\t\t%2").arg(c.name, schemaType(c));
            QVERIFY2(schema.out.contains(line), qPrintable(t.name + ": " + line));
        }
    }

    READ(json, node, script, file);
    const QJsonObject all = QJsonDocument::fromJson(json.out.toUtf8()).object();
    QCOMPARE(all.value(QStringLiteral("tables")).toVariant().toStringList(), names);
    QCOMPARE(all.value(QStringLiteral("systemTables")).toVariant().toStringList(), QStringList{QStringLiteral("MSysObjects")});

    for (const Table& t : tables) {
        READ(csv, mdbExport, QStringLiteral("-T"), QStringLiteral("%d.%m.%Y %H:%M:%S"), QStringLiteral("-0"),
             QStringLiteral("NULL"), file, t.name);
        const QList<QStringList> lines = splitCsv(csv.out);
        const QJsonObject data = all.value(QStringLiteral("data")).toObject().value(t.name).toObject();
        const QJsonArray columns = data.value(QStringLiteral("columns")).toArray();
        const QJsonArray rows = data.value(QStringLiteral("rows")).toArray();
        QCOMPARE(lines.size(), t.rows.size() + 1);
        QCOMPARE(rows.size(), t.rows.size());
        QCOMPARE(columns.size(), t.columns.size());
        for (int c = 0; c < t.columns.size(); ++c) {
            QCOMPARE(lines[0].value(c), t.columns[c].name);
            QCOMPARE(columns[c].toObject().value(QStringLiteral("name")).toString(), t.columns[c].name);
            QCOMPARE(columns[c].toObject().value(QStringLiteral("type")).toString(), typeName(t.columns[c].type));
        }
        for (int r = 0; r < t.rows.size(); ++r) {
            const QJsonArray row = rows[r].toArray();
            QCOMPARE(lines[r + 1].size(), t.columns.size());
            for (int c = 0; c < t.columns.size(); ++c) {
                const QString where = QStringLiteral("%1 row %2 column %3").arg(t.name).arg(r + 1).arg(t.columns[c].name);
                const QString wantExported = exported(t.columns[c].type, t.rows[r][c]);
                QVERIFY2(lines[r + 1][c] == wantExported,
                         qPrintable(QStringLiteral("%1: mdb-export %2, not %3").arg(where, lines[r + 1][c], wantExported)));
                const QJsonValue wantRead = read(t.columns[c].type, t.rows[r][c]);
                QVERIFY2(row[c] == wantRead, qPrintable(QStringLiteral("%1: mdb-reader %2, not %3").arg(
                             where, row[c].toVariant().toString(), wantRead.toVariant().toString())));
            }
        }
    }

    // Jet 4 keeps Ort as Access does: compressed where that is shorter, else plain UCS-2.
    if (version == Version::Jet4) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.contains(QByteArray("\xff\xfeZ\xfcrich")));
        QVERIFY(bytes.contains(QByteArray("\xff\xfe\x00\x41\x01\x00\xf3\x64\x00\x7a\x01\x00 liegt", 18)));
        QVERIFY(bytes.contains(QByteArray("U\0S\0D\0\x00\x01\x62\x00", 10)));
        QVERIFY(!bytes.contains(QByteArray("\xff\xfe" "Mobil")));
    }
}

void TestJetTestFile::rejectsWhatItCannotWrite()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("alt.mdb"));
    QFile old(file);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("kept");
    old.close();

    const Table good{QStringLiteral("calls"), {{"Zone", Type::Text, 5}, {"Units", Type::Long}, {"Time", Type::DateTime}}, {}};
    const auto with = [&good](const QVariantList& row) {
        Table t = good;
        t.rows = {row};
        return QList<Table>{t};
    };
    const QString tooLong = QString(255, QLatin1Char('x'));
    Table wide{QStringLiteral("breit"), {}, {{}}};
    for (int i = 0; i < 9; ++i) {
        wide.columns << Column{QStringLiteral("T%1").arg(i), Type::Text, 255, true};
        wide.rows[0] << tooLong;
    }
    Table twice = good;
    twice.columns << Column{QStringLiteral("zone"), Type::Double};

    const struct
    {
        const char* what;
        Version version;
        QList<Table> tables;
        const char* error;
    } cases[] = {
        {"too few cells", Version::Jet4, with({"Mobil", 1}), "2 cells for 3 columns"},
        {"text too long", Version::Jet4, with({"Mobilnetz", 1, 0.0}), "longer than 5 characters"},
        {"outside code page 1252", Version::Jet3, with({QStringLiteral("Łódź"), 1, 0.0}), "code page 1252"},
        {"fraction in a Long", Version::Jet3, with({"Mobil", 1.5, 0.0}), "whole number"},
        {"Long out of range", Version::Jet4, with({"Mobil", 2147483648.0, 0.0}), "whole number"},
        {"text in a Long", Version::Jet4, with({"Mobil", "viele", 0.0}), "whole number"},
        {"text in a DateTime", Version::Jet3, with({"Mobil", 1, "gestern"}), "finite number"},
        {"invalid QDateTime", Version::Jet4, with({"Mobil", 1, QDateTime()}), "valid date"},
        {"a name twice", Version::Jet3, {good, Table{QStringLiteral("Calls"), good.columns, {}}}, "appears twice"},
        {"the catalog's name", Version::Jet4, {Table{QStringLiteral("MSysObjects"), good.columns, {}}}, "appears twice"},
        {"a column twice", Version::Jet4, {twice}, "column \"zone\" appears twice"},
        {"row wider than a page", Version::Jet3, {wide}, "does not fit on a data page"},
        {"no columns", Version::Jet3, {Table{QStringLiteral("leer"), {}, {}}}, "1 to 255 columns"},
    };
    for (const auto& c : cases) {
        QString error;
        QVERIFY2(!write(file, c.version, c.tables, &error), c.what);
        QVERIFY2(error.contains(QLatin1String(c.error)), qPrintable(QStringLiteral("%1: %2").arg(c.what, error)));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("kept"));
        old.close();
    }

    QString error;
    QVERIFY(!write(dir.filePath(QStringLiteral("fehlt/neu.mdb")), Version::Jet4, with({"Mobil", 1, 0.0}), &error));
    QVERIFY2(error.startsWith(QLatin1String("cannot write")), qPrintable(error));
    // The same row fits a Jet 4 page since its texts are compressed there.
    QVERIFY2(write(file, Version::Jet4, {wide}, &error), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestJetTestFile)
#include "TestJetTestFile.moc"
