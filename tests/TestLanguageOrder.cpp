// The German dictionary order of texts: the comparison on its own, its laws on random texts with
// umlauts and broken UTF-8, and the collation DEUTSCH on the program's connections.

#include "database/LanguageOrder.h"
#include "database/RuboEngine.h"
#include "database/RuboError.h"
#include "database/SqlText.h"
#include "support/TestDb.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>
#include <vector>

namespace {

int sign(int v)
{
    return (v > 0) - (v < 0);
}

// A text in a buffer of exactly its size, without a terminator, so a read past its end is a read
// past the allocation (as SQLite hands texts over).
struct Text
{
    std::vector<char> bytes;
    QByteArrayView view() const { return QByteArrayView(bytes.data(), qsizetype(bytes.size())); }
};

Text exact(const QByteArray& b)
{
    return Text{std::vector<char>(b.begin(), b.end())};
}

int compare(const QByteArray& a, const QByteArray& b)
{
    const Text x = exact(a);
    const Text y = exact(b);
    return CompareLanguageOrder(x.view(), y.view());
}

QString shown(const QByteArray& b)
{
    QString s;
    for (const char c : b) {
        const auto u = static_cast<unsigned char>(c);
        s += u >= 0x20 && u < 0x7F ? QString(QChar(u)) : QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
    }
    return s;
}

// In the order they must come: "Österreich" before "Sonderrufnummern", "Ärzte" between "Arzt"
// and "Auto", the empty text first, a Cyrillic word after every Latin one.
const QStringList kWordsInOrder = {
    QString(), QStringLiteral(" Anfang"), QStringLiteral("(privat)"), QStringLiteral("-"), QStringLiteral("„Zitat“"),
    QStringLiteral("€ 5"), QStringLiteral("0664"), QStringLiteral("1 & 1"), QStringLiteral("10"), QStringLiteral("2"),
    QStringLiteral("9"), QStringLiteral("A1 Mobil"), QStringLiteral("Arzt"), QStringLiteral("Ärzte"),
    QStringLiteral("Auto"), QStringLiteral("Côte d'Ivoire"), QStringLiteral("Deutschland"), QStringLiteral("Ecke"),
    QStringLiteral("Éclair"), QStringLiteral("Eder"), QStringLiteral("Lodz"), QStringLiteral("Łódź"),
    QStringLiteral("Mobilnetz"), QStringLiteral("Österreich"), QStringLiteral("Sonderrufnummern"),
    QStringLiteral("Strasse"), QStringLiteral("STRASSE"), QStringLiteral("Straße"), QStringLiteral("Südamerika"),
    QStringLiteral("Türkei"), QStringLiteral("wien"), QStringLiteral("Wien"), QStringLiteral("Москва"),
};

// Rows of a one-column statement, a NULL as "<null>".
QStringList column(RuboDatabase& db, const QString& sql)
{
    QStringList out;
    RuboStatement s(db, sql);
    while (s.step()) {
        const QVariant v = s.column(0);
        out << (v.isNull() ? QStringLiteral("<null>") : v.toString());
    }
    return out;
}

QStringList qtColumn(const QSqlDatabase& db, const QString& sql)
{
    QStringList out;
    QSqlQuery q(db);
    if (!q.exec(sql))
        return {QStringLiteral("error: ") + q.lastError().text()};
    while (q.next())
        out << (q.value(0).isNull() ? QStringLiteral("<null>") : q.value(0).toString());
    return out;
}

void insertWords(RuboDatabase& db, const QString& table, const QStringList& words)
{
    db.execute(QStringLiteral("CREATE TABLE ") + table + QStringLiteral(" (w TEXT)"));
    RuboStatement insert(db, QStringLiteral("INSERT INTO ") + table + QStringLiteral(" VALUES (?)"));
    for (const QString& w : words) {
        insert.bindText(1, w);
        insert.step();
        insert.reset();
    }
}

} // namespace

class TestLanguageOrder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void germanWordsInOrder();
    void pairs_data();
    void pairs();
    void onlyIdenticalTextsTie();
    void strictWeakOrderOnRandomTexts();
    void sqlSortsTextsAndKeepsNumbersNumeric_data();
    void sqlSortsTextsAndKeepsNumbersNumeric();
    void everyConnectionOfTheProgramKnowsIt();
    void brokenTextsInSqlSortWithoutHarm();
};

void TestLanguageOrder::germanWordsInOrder()
{
    for (int i = 0; i + 1 < kWordsInOrder.size(); ++i) {
        const QByteArray a = kWordsInOrder.at(i).toUtf8();
        const QByteArray b = kWordsInOrder.at(i + 1).toUtf8();
        QVERIFY2(compare(a, b) < 0 && compare(b, a) > 0, qPrintable(kWordsInOrder.at(i) + " / " + kWordsInOrder.at(i + 1)));
    }
    // The same order out of a reversed list, sorted by the comparison and by SQL.
    QStringList words = kWordsInOrder;
    std::reverse(words.begin(), words.end());
    QStringList sorted = words;
    std::sort(sorted.begin(), sorted.end(),
              [](const QString& a, const QString& b) { return compare(a.toUtf8(), b.toUtf8()) < 0; });
    QCOMPARE(sorted, kWordsInOrder);

    TestDb t;
    insertWords(t.db(), QStringLiteral("words"), words);
    QCOMPARE(column(t.db(), QStringLiteral("SELECT w FROM words ORDER BY ") + SqlOrderBy({{"w", Qt::AscendingOrder}})),
             kWordsInOrder);
    QStringList descending = kWordsInOrder;
    std::reverse(descending.begin(), descending.end());
    QCOMPARE(column(t.db(), QStringLiteral("SELECT w FROM words ORDER BY ") + SqlOrderBy({{"w", Qt::DescendingOrder}})),
             descending);
}

void TestLanguageOrder::pairs_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    // Level 1: base letters, umlauts and ß spelt out, classes punctuation < digits < letters < other.
    QTest::newRow("umlaut counts as its letter") << QByteArray("Ärzte") << QByteArray("Auto");
    QTest::newRow("umlaut is no letter after z") << QByteArray("Österreich") << QByteArray("Sonderrufnummern");
    QTest::newRow("ß is ss, before st") << QByteArray("Maß") << QByteArray("Mast");
    QTest::newRow("ß is ss, after sr") << QByteArray("Masr") << QByteArray("Maß");
    QTest::newRow("æ is ae") << QByteArray("Æble") << QByteArray("Af");
    QTest::newRow("Ł is l") << QByteArray("Łódź") << QByteArray("Lyon");
    QTest::newRow("ı is i") << QByteArray("Kırıkkale") << QByteArray("Kiz");
    QTest::newRow("capital ß is ss") << QByteArray("GROẞ") << QByteArray("GROT");
    QTest::newRow("letter beats accent and case") << QByteArray("Äb") << QByteArray("ac");
    QTest::newRow("shorter first") << QByteArray("Wien") << QByteArray("wiener");
    QTest::newRow("space before punctuation") << QByteArray("a b") << QByteArray("a-b");
    QTest::newRow("punctuation before digit") << QByteArray("a-b") << QByteArray("a0");
    QTest::newRow("quotes and dashes are punctuation") << QByteArray("„a“ – b") << QByteArray("0");
    QTest::newRow("digit before letter") << QByteArray("A1") << QByteArray("Aa");
    QTest::newRow("no-break space is a space") << QByteArray("a\xC2\xA0" "b") << QByteArray("a c");
    QTest::newRow("Latin before Greek") << QByteArray("žlutý") << QByteArray("α");
    QTest::newRow("Cyrillic by code point") << QByteArray("Я") << QByteArray("я");
    // Level 2: plain before accented, accents whatever their case.
    QTest::newRow("plain before accented") << QByteArray("Strasse") << QByteArray("Straße");
    QTest::newRow("accent before case") << QByteArray("STRASSE") << QByteArray("Straße");
    QTest::newRow("plain capital before small umlaut") << QByteArray("A") << QByteArray("ä");
    QTest::newRow("ae before æ") << QByteArray("Aeble") << QByteArray("Æble");
    QTest::newRow("space before no-break space") << QByteArray("a b") << QByteArray("a\xC2\xA0" "b");
    // Level 3: lower case first, at the first letter that differs in case.
    QTest::newRow("lower before upper") << QByteArray("wien") << QByteArray("Wien");
    QTest::newRow("first case difference decides") << QByteArray("aB") << QByteArray("Ab");
    QTest::newRow("small before capital umlaut") << QByteArray("ärzte") << QByteArray("Ärzte");
    QTest::newRow("ß before capital ß") << QByteArray("groß") << QByteArray("groẞ");
    // Broken UTF-8: byte by byte, after every character.
    QTest::newRow("lead byte alone after its character") << QByteArray("\xC3\xA4") << QByteArray("\xC3");
    QTest::newRow("broken after other scripts") << QByteArray("я") << QByteArray("\x80");
    QTest::newRow("broken by byte") << QByteArray("a\xFE") << QByteArray("a\xFF");
    QTest::newRow("cut at the end") << QByteArray("Zone\xE2\x82\xAC") << QByteArray("Zone\xE2\x82");
    QTest::newRow("overlong slash is broken") << QByteArray("a/") << QByteArray("a\xC0\xAF");
    QTest::newRow("surrogate is broken") << QByteArray("\xEF\xBF\xBD") << QByteArray("\xED\xA0\x80");
    QTest::newRow("control character before broken byte") << QByteArray("a\xC2\x80") << QByteArray("a\x80");
    QTest::newRow("broken sequence inside") << QByteArray("x\xC3\xA4(") << QByteArray("x\xC3(");
}

void TestLanguageOrder::pairs()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QVERIFY2(compare(before, after) < 0, qPrintable(shown(before) + " < " + shown(after)));
    QVERIFY2(compare(after, before) > 0, qPrintable(shown(after) + " > " + shown(before)));
    QCOMPARE(compare(before, before), 0);
    QCOMPARE(compare(after, after), 0);
}

void TestLanguageOrder::onlyIdenticalTextsTie()
{
    // Texts that tie on letters, or on letters and accents: each is a node of its own.
    const QList<QByteArray> texts = {
        "wien", "Wien", "WIEN", "wIen", "Strasse", "STRASSE", "Straße", "STRAẞE", "Ärzte", "ärzte", "Aerzte",
        "a b", "a\xC2\xA0" "b", "Æ", "AE", "Ae", "ae", "æ", "İ", "I", "ı", "i", "\xC3", "\xC3\xC3", "\xC3\xA4", "",
    };
    for (const QByteArray& a : texts) {
        for (const QByteArray& b : texts) {
            const int ab = compare(a, b);
            QVERIFY2((ab == 0) == (a == b), qPrintable(shown(a) + " / " + shown(b)));
            QCOMPARE(sign(ab), -sign(compare(b, a)));
        }
    }
}

void TestLanguageOrder::strictWeakOrderOnRandomTexts()
{
    // Pieces that meet in every level and at every byte boundary, broken sequences included.
    const QList<QByteArray> pieces = {
        "a", "A", "b", "s", "S", "ss", "SS", "ß", "ẞ", "ä", "Ä", "o", "ö", "Ö", "u", "ü", "Ü", "e", "é", "É", "l",
        "Ł", "ł", "æ", "Æ", "ae", "i", "İ", "ı", " ", "-", "'", "„", "€", "0", "1", "9", "я", "Я", "\xC2\xA0",
        "\xC3", "\xA4", "\x80", "\xFF", "\xE2\x82", "\xF0\x9F\x98", "\xED\xA0\x80", "\xC0\xAF",
        "Mobilnetz ", "Österreich ",   // long shared starts, then a difference anywhere in a word
    };
    QRandomGenerator random(20240607);
    std::vector<Text> texts;
    for (int i = 0; i < 2500; ++i) {
        QByteArray s;
        const int n = int(random.bounded(7));
        for (int k = 0; k < n; ++k)
            s += pieces.at(int(random.bounded(qsizetype(pieces.size()))));
        texts.push_back(exact(s));
    }
    const auto cmp = [](const Text& a, const Text& b) { return CompareLanguageOrder(a.view(), b.view()); };
    std::sort(texts.begin(), texts.end(), [&](const Text& a, const Text& b) { return cmp(a, b) < 0; });
    // Sorted, every later text must compare greater or (identical only) equal, in both directions:
    // so the order is antisymmetric, transitive and ties only identical bytes.
    for (size_t i = 0; i < texts.size(); ++i) {
        for (size_t j = i; j < texts.size(); ++j) {
            const int ij = cmp(texts[i], texts[j]);
            const int ji = cmp(texts[j], texts[i]);
            const bool same = texts[i].bytes == texts[j].bytes;
            if (ij > 0 || sign(ij) != -sign(ji) || (ij == 0) != same) {
                QFAIL(qPrintable(QStringLiteral("%1 at %2, %3 at %4: %5 / %6")
                                     .arg(shown(QByteArray(texts[i].bytes.data(), qsizetype(texts[i].bytes.size()))))
                                     .arg(i)
                                     .arg(shown(QByteArray(texts[j].bytes.data(), qsizetype(texts[j].bytes.size()))))
                                     .arg(j)
                                     .arg(ij)
                                     .arg(ji)));
            }
        }
    }
}

void TestLanguageOrder::sqlSortsTextsAndKeepsNumbersNumeric_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("values");

    // SQLite orders NULL, then numbers by value, then texts; the collation only between texts.
    QTest::newRow("numbers and texts") << "v" << int(Qt::AscendingOrder)
                                       << QStringList{"<null>", "-1", "2", "9.5", "10", "10", "Österreich",
                                                      "Sonderrufnummern", "wien", "Wien"};
    QTest::newRow("descending") << "v" << int(Qt::DescendingOrder)
                                << QStringList{"Wien", "wien", "Sonderrufnummern", "Österreich", "10", "10", "9.5",
                                               "2", "-1", "<null>"};
    QTest::newRow("amount column") << "Betrag" << int(Qt::AscendingOrder)
                                   << QStringList{"<null>", "-1.5", "0.25", "2", "9.75", "10", "12.5", "100", "300",
                                                  "1000"};
    QTest::newRow("extension is text") << "Nebenstelle" << int(Qt::AscendingOrder)
                                       << QStringList{"<null>", "", "100", "1000", "11", "2", "20", "200", "9", "x"};
}

void TestLanguageOrder::sqlSortsTextsAndKeepsNumbersNumeric()
{
    QFETCH(QString, field);
    QFETCH(int, order);
    QFETCH(QStringList, values);
    TestDb t;
    t.db().execute("CREATE TABLE mixed (v)");
    t.db().execute("INSERT INTO mixed VALUES (10), ('wien'), (2), (NULL), ('Sonderrufnummern'), (9.5), ('Wien'),"
                   " (-1), ('Österreich'), (10.0)");
    t.db().execute("INSERT INTO EGN (Betrag, Nebenstelle) VALUES (10, '2'), (2, '11'), (1000, '100'), (NULL, ''),"
                   " (9.75, '9'), (-1.5, '20'), (100, '1000'), (12.5, NULL), (0.25, '200'), (300, 'x')");
    const QString table = field == QLatin1String("v") ? QStringLiteral("mixed") : QStringLiteral("EGN");
    const QString sql = "SELECT " + field + " FROM " + table + " ORDER BY "
        + SqlOrderBy({{field, Qt::SortOrder(order)}});
    QCOMPARE(column(t.db(), sql), values);
}

void TestLanguageOrder::everyConnectionOfTheProgramKnowsIt()
{
    // The grid's models run their statements through Qt's connection: it is the same handle, and
    // it keeps the collation when the program opens another file.
    TestDb t;
    insertWords(t.db(), QStringLiteral("words"), {"Sonderrufnummern", "Wien", "Österreich", "wien"});
    const QString sql = QStringLiteral("SELECT * FROM (SELECT w FROM words) ORDER BY ") + SqlOrderBy({{"w", Qt::AscendingOrder}});
    const QStringList expected{"Österreich", "Sonderrufnummern", "wien", "Wien"};
    QCOMPARE(qtColumn(t.db().qtDatabase(), sql), expected);

    t.db().connect(t.path(QStringLiteral("second.mdb")), true);
    insertWords(t.db(), QStringLiteral("words"), {"Wien", "Österreich", "wien", "Sonderrufnummern"});
    QCOMPARE(qtColumn(t.db().qtDatabase(), sql), expected);
    QCOMPARE(column(t.db(), sql), expected);

    // Comparisons and grouping stay exact.
    QCOMPARE(column(t.db(), "SELECT count(*) FROM words WHERE w = 'WIEN'"), QStringList{"0"});
    QCOMPARE(column(t.db(), "SELECT count(*) FROM (SELECT w FROM words GROUP BY w COLLATE DEUTSCH)"), QStringList{"4"});

    QString message;
    try {
        RegisterLanguageOrder(nullptr);
    } catch (const RuboError& e) {
        message = e.message();
    }
    QCOMPARE(message, QStringLiteral("Die Datenbank ist nicht geöffnet."));
}

void TestLanguageOrder::brokenTextsInSqlSortWithoutHarm()
{
    // Texts that are no valid UTF-8 reach the collation as they are stored; "a" then a broken byte
    // is longer than "ä", so it comes after it.
    TestDb t;
    t.db().execute("CREATE TABLE raw (w TEXT)");
    t.db().execute("INSERT INTO raw VALUES (CAST(x'C3' AS TEXT)), (CAST(x'C3A4' AS TEXT)), (CAST(x'61FF' AS TEXT)),"
                   " (CAST(x'E282' AS TEXT)), ('b'), (CAST(x'F09F98' AS TEXT)), (CAST(x'61' AS TEXT)), ('')");
    RuboStatement s(t.db(), QStringLiteral("SELECT hex(w) FROM raw ORDER BY ") + SqlOrderBy({{"w", Qt::AscendingOrder}}));
    QStringList hex;
    while (s.step())
        hex << s.column(0).toString();
    QCOMPARE(hex, (QStringList{"", "61", "C3A4", "61FF", "62", "C3", "E282", "F09F98"}));
}

QTEST_GUILESS_MAIN(TestLanguageOrder)
#include "TestLanguageOrder.moc"
