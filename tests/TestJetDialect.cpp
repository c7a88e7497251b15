// The Jet dialect on SQLite: the functions on their own, then every statement the program builds,
// run against a small hand-made set of calls in a real internal database.

#include "database/Conversions.h"
#include "database/JetFunctions.h"
#include "support/RecordingUi.h"
#include "database/RuboEngine.h"
#include "support/TestDb.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <sqlite3.h>

namespace {

const QString kTypeMismatch = QStringLiteral("Datentypen in Kriterienausdruck unverträglich.");
const QString kOverflow = QStringLiteral("Numerischer Überlauf.");
const QString kInvalidPattern = QStringLiteral("Ungültige Musterzeichenfolge.");

struct Evaluated
{
    QVariant value;   // null for SQL NULL
    int type = SQLITE_NULL;
    QString error;
};

Evaluated evaluate(sqlite3* db, const QString& expression)
{
    Evaluated r;
    const QByteArray sql = ("SELECT " + expression).toUtf8();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        r.error = QString::fromUtf8(sqlite3_errmsg(db));
        return r;
    }
    if (sqlite3_step(stmt) == SQLITE_ROW) {
        r.type = sqlite3_column_type(stmt, 0);
        if (r.type == SQLITE_INTEGER)
            r.value = qint64(sqlite3_column_int64(stmt, 0));
        else if (r.type == SQLITE_FLOAT)
            r.value = sqlite3_column_double(stmt, 0);
        else if (r.type == SQLITE_TEXT)
            r.value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    } else {
        r.error = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(stmt);
    return r;
}

// One call of the test set; amounts are binary fractions so sums compare exactly.
struct Call
{
    const char* aNummer;
    const char* nebenstelle;
    int y, m, d, h, n, s;
    int sekunden;
    double betrag;
    const char* zone;
    const char* ziel;   // nullptr: no value
    const char* kostenstelle;
    const char* ias;
    const char* filiale;
    const char* gz;
    int dateiId;
    double rabatt;
};

// Built so that each condition of the filter example excludes at least one call on its own:
// 2 and 3 by the extension (20 would pass a text comparison), 5 and 6 by the day, 7 by the number.
const Call kCalls[] = {
    {"066412345", "100", 2003, 3, 1, 0, 0, 0, 60, 1.00, "Mobil", "A1", "K1", "I", "W1", "GZ", 1, 1.00},
    {"066412345", "20", 2003, 3, 15, 8, 0, 0, 120, 2.00, "Mobil", "T-Mobile", "K2", "I", "W1", "FZ", 1, 2.00},
    {"066412345", "99", 2003, 3, 31, 23, 59, 59, 30, 0.50, "Regional", "Graz", "K1", "I", "W1", "GZ", 1, 0.50},
    {"066498765", "1000", 2003, 3, 31, 23, 59, 59, 45, 0.75, "Ausland 1", "Deutschland", "K3", "A", "W1", "GZ", 1, 0.75},
    {"066412345", "100", 2003, 4, 1, 0, 0, 0, 10, 0.25, "Mobil", "A1", "K1", "I", "W1", "GZ", 1, 0.25},
    {"066412345", "100", 2003, 2, 28, 23, 59, 59, 10, 0.25, "Regional", "Graz", "K1", "I", "W1", "GZ", 2, 0.25},
    {"031612345", "100", 2003, 3, 10, 12, 0, 0, 300, 3.00, "Fern", "Wien", "x", "I", "x", "GZ", 2, 3.00},
    {"066412345", "200", 2003, 3, 20, 9, 15, 0, 600, 6.00, "Übersee", "Australien", "K3", "A", "W2", "FZ", 2, 4.50},
    {"066412345", "300", 2003, 3, 21, 10, 0, 0, 90, 1.50, "Sonderdienst", "Service", "K2", "S", "W2", "GZ", 2, 1.50},
    {"066412345", "400", 2003, 3, 22, 11, 0, 0, 15, 0.25, "Mobil", nullptr, "K2", "", "W2", "GZ", 2, 0.25},
};

const QString kFilterExample = QStringLiteral(
    " AND DateValue(BeginZeit) >= CDate('01.03.2003') AND DateValue(BeginZeit) <= CDate('31.03.2003')"
    " AND CLng(Nebenstelle) >= 100 AND ANummer LIKE '0664*'");

void insertCalls(RuboDatabase& db)
{
    RuboStatement insert(db, QStringLiteral(
        "INSERT INTO EGN (ANummer, Nebenstelle, BNummer, BeginZeit, Sekunden, Betrag, ZoneCode, Zone, Ziel,"
        " Kostenstelle, IAS, BetragEuro, EndeZeit, DateiID, FilialeID, GZ, UniqueCallID, Rabatt, RabattEuro,"
        " RabattProz) VALUES (?, ?, '0049301234', ?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?, ?, '', ?, ?, ?)"));
    for (const Call& c : kCalls) {
        // The start time is composed as the import composes it.
        const double begin = EncodeDate(c.y, c.m, c.d) + EncodeTime(c.h, c.n, c.s);
        insert.bindText(1, QString::fromUtf8(c.aNummer));
        insert.bindText(2, QString::fromUtf8(c.nebenstelle));
        insert.bindDouble(3, begin);
        insert.bindInt(4, c.sekunden);
        insert.bindDouble(5, c.betrag);
        insert.bindText(6, QString::fromUtf8(c.zone));
        if (c.ziel)
            insert.bindText(7, QString::fromUtf8(c.ziel));
        else
            insert.bindNull(7);
        insert.bindText(8, QString::fromUtf8(c.kostenstelle));
        insert.bindText(9, QString::fromUtf8(c.ias));
        insert.bindDouble(10, c.betrag / 2);
        insert.bindDouble(11, begin + c.sekunden / 86400.0);
        insert.bindInt(12, c.dateiId);
        insert.bindText(13, QString::fromUtf8(c.filiale));
        insert.bindText(14, QString::fromUtf8(c.gz));
        insert.bindDouble(15, c.rabatt);
        insert.bindDouble(16, c.rabatt / 2);
        insert.bindDouble(17, c.rabatt == c.betrag ? 0.0 : 25.0);
        insert.step();
        insert.reset();
    }
}

// The rows of a query, each as its columns joined by "|" (a NULL as "<null>").
QStringList rowsOf(RuboDatabase& db, const QString& sql, int columns)
{
    QStringList rows;
    RuboQuery q(db);
    q.setSql(sql);
    for (q.open(); !q.eof(); q.next()) {
        QStringList cols;
        for (int i = 0; i < columns; ++i) {
            const QVariant v = q.field(i);
            cols << (v.isNull() ? QStringLiteral("<null>") : v.toString());
        }
        rows << cols.join(QLatin1Char('|'));
    }
    return rows;
}

QStringList ids(RuboDatabase& db, const QString& where)
{
    QStringList list = rowsOf(db, "SELECT ID FROM EGN WHERE (1=1)" + where + " ORDER BY ID", 1);
    return list;
}

// The tree query of one grouping, assembled from its pieces as the main window assembles it.
QString treeQuery(const QString& grouping, const QString& filterWhere)
{
    if (grouping == QLatin1String("Inland - Ausland")) {
        return "SELECT 'Inland' AS InlandAusland, Zone, Ziel, Nebenstelle" " FROM EGN" " WHERE IAS = 'I'"
            + filterWhere + " UNION" " SELECT 'Ausland' AS InlandAusland, Zone, Ziel, Nebenstelle" " FROM EGN"
            " WHERE IAS = 'A'" + filterWhere + " UNION" " SELECT 'Sonst' AS InlandAusland, Zone, Ziel, Nebenstelle"
            " FROM EGN" " WHERE IAS = 'S'" + filterWhere + " GROUP BY InlandAusland, Zone, Ziel, Nebenstelle"
            " ORDER BY 1 COLLATE DEUTSCH, 2 COLLATE DEUTSCH, 3 COLLATE DEUTSCH, 4 COLLATE DEUTSCH";
    }
    struct Pieces { const char* name; const char* select; const char* group; const char* order; };
    // The window's tree lists texts in the language's order; the groups stay exact.
    static const Pieces kPieces[] = {
        {"Ziele", "SELECT Ziel, Nebenstelle,", " GROUP BY Ziel, Nebenstelle",
         " ORDER BY Ziel COLLATE DEUTSCH, Nebenstelle COLLATE DEUTSCH"},
        {"Kostenstellen & Nebenstellen", "SELECT Kostenstelle, Nebenstelle, Zone, ",
         " GROUP BY Kostenstelle, Nebenstelle, Zone",
         " ORDER BY Kostenstelle COLLATE DEUTSCH, Nebenstelle COLLATE DEUTSCH, Zone COLLATE DEUTSCH"},
        {"Kostenstellen & Zonen", "SELECT Kostenstelle, Zone, Nebenstelle,",
         " GROUP BY Kostenstelle, Zone, Nebenstelle",
         " ORDER BY Kostenstelle COLLATE DEUTSCH, Zone COLLATE DEUTSCH, Nebenstelle COLLATE DEUTSCH"},
        {"Zonen", "SELECT Zone, Ziel, Nebenstelle,", " GROUP BY Zone, Ziel, Nebenstelle",
         " ORDER BY Zone COLLATE DEUTSCH, Ziel COLLATE DEUTSCH, Nebenstelle COLLATE DEUTSCH"},
        {"Nebenstellen", "SELECT Nebenstelle, Zone, Ziel,", " GROUP BY Nebenstelle, Zone, Ziel",
         " ORDER BY Nebenstelle COLLATE DEUTSCH, Zone COLLATE DEUTSCH, Ziel COLLATE DEUTSCH"},
        {"Filialen & Nebenstellen", "SELECT FilialeID, Nebenstelle, Zone,", " GROUP BY FilialeID, Nebenstelle, Zone",
         " ORDER BY FilialeID COLLATE DEUTSCH, Nebenstelle COLLATE DEUTSCH, Zone COLLATE DEUTSCH"},
        {"Filialen & Kostenstellen", "SELECT FilialeID, Kostenstelle, Zone, Nebenstelle, ",
         " GROUP BY FilialeID, Kostenstelle, Zone, Nebenstelle",
         " ORDER BY FilialeID COLLATE DEUTSCH, Kostenstelle COLLATE DEUTSCH, Zone COLLATE DEUTSCH,"
         " Nebenstelle COLLATE DEUTSCH"},
    };
    for (const Pieces& p : kPieces) {
        if (grouping == QLatin1String(p.name)) {
            return QLatin1String(p.select)
                + "Count(*) AS CntAnrufe, Sum(Betrag) AS SumBetrag, Sum(Sekunden) AS SumSekunden" " FROM EGN"
                  " WHERE 1=1 " + filterWhere + QLatin1String(p.group) + QLatin1String(p.order);
        }
    }
    qFatal("unknown grouping");
    return {};
}

} // namespace

class TestJetDialect : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void jetLike_data();
    void jetLike();
    void jetLikeStaysLinearOnManyStars();
    void likeInSql_data();
    void likeInSql();
    void dateFunctions_data();
    void dateFunctions();
    void timeAndDateArePreciseForEverySecond();
    void clng_data();
    void clng();

    void treeQueries_data();
    void treeQueries();
    void detailTotalsAndSumsQueries();
    void filterClausesSelectTheRightCalls_data();
    void filterClausesSelectTheRightCalls();
    void costCentreFilterAndParameterQueries();

    void qtSqliteDriverSeesTheFunctions();

private:
    sqlite3* m_raw = nullptr;
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<TestDb> m_calls;
};

void TestJetDialect::initTestCase()
{
    QCOMPARE(sqlite3_open(":memory:", &m_raw), SQLITE_OK);
    RegisterJetFunctions(m_raw);

    m_ui = std::make_unique<RecordingUi>();
    m_calls = std::make_unique<TestDb>();
    insertCalls(m_calls->db());
}

void TestJetDialect::cleanupTestCase()
{
    m_calls.reset();
    QVERIFY2(m_ui->messages.isEmpty(), qPrintable(m_ui->messages.join('\n')));
    m_ui.reset();
    sqlite3_close(m_raw);
}

// ---------------------------------------------------------------------------------------------

void TestJetDialect::jetLike_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");

    QTest::newRow("star: any run") << "0664123" << "0664*" << true;
    QTest::newRow("star: empty run") << "0664" << "0664*" << true;
    QTest::newRow("star only, empty text") << "" << "*" << true;
    QTest::newRow("no wildcard: exact") << "0664" << "0664" << true;
    QTest::newRow("no wildcard: longer text") << "06641" << "0664" << false;
    QTest::newRow("empty pattern, empty text") << "" << "" << true;
    QTest::newRow("empty pattern") << "a" << "" << false;
    QTest::newRow("question: one character") << "abc" << "a?c" << true;
    QTest::newRow("question: never none") << "ac" << "a?c" << false;
    QTest::newRow("question: one character beyond the BMP") << "a\U0001F600b" << "a?b" << true;
    QTest::newRow("hash: digit") << "a1c" << "a#c" << true;
    QTest::newRow("hash: no letter") << "abc" << "a#c" << false;
    QTest::newRow("set range") << "b" << "[a-c]" << true;
    QTest::newRow("set range: outside") << "d" << "[a-c]" << false;
    QTest::newRow("set: several ranges") << "5" << "[a-c0-9]" << true;
    QTest::newRow("set: dash first is literal") << "-" << "[-a]" << true;
    QTest::newRow("negated set") << "d" << "[!a-c]" << true;
    QTest::newRow("negated set: inside") << "b" << "[!a-c]" << false;
    QTest::newRow("negated set: takes one character") << "" << "[!a]" << false;
    QTest::newRow("literal star") << "a*b" << "a[*]b" << true;
    QTest::newRow("literal star: not a wildcard") << "axb" << "a[*]b" << false;
    QTest::newRow("literal question and hash") << "?#" << "[?][#]" << true;
    QTest::newRow("closing bracket alone is literal") << "a]" << "a]" << true;
    QTest::newRow("percent is plain") << "100%" << "100%" << true;
    QTest::newRow("percent is no wildcard") << "100x" << "100%" << false;
    QTest::newRow("underscore is plain") << "a_b" << "a_b" << true;
    QTest::newRow("underscore is no wildcard") << "axb" << "a_b" << false;
    QTest::newRow("case-insensitive") << "MOBIL" << "mob*" << true;
    QTest::newRow("umlaut Ü/ü") << "Übersee" << "üb*" << true;
    QTest::newRow("umlauts in a word") << "GRÖßE ÄRGER" << "größe ärger" << true;
    QTest::newRow("umlaut in a set") << "Ä" << "[ä]" << true;
    QTest::newRow("business-time class ÜZ") << "ÜZ" << "üz" << true;
    QTest::newRow("sharp s is not ss") << "Strasse" << "Straße" << false;
    QTest::newRow("umlaut is not its base letter") << "Ubersee" << "Üb*" << false;
    QTest::newRow("star backtracks") << "aXbXc" << "a*b*c" << true;
    QTest::newRow("star backtracks, then fails") << "aXbXd" << "a*b*c" << false;
    QTest::newRow("star then one") << "abcabd" << "*ab?" << true;
    QTest::newRow("leading blank is kept") << "0664" << " 0664" << false;
    QTest::newRow("pattern of blanks") << "  " << "  " << true;
    QTest::newRow("unclosed bracket matches nothing") << "[a" << "[a" << false;
    QTest::newRow("backwards range matches nothing") << "b" << "[c-a]" << false;
}

void TestJetDialect::jetLike()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(JetLike(text, pattern), matches);
}

void TestJetDialect::jetLikeStaysLinearOnManyStars()
{
    const QString text(20000, QLatin1Char('a'));
    const QString pattern = QStringLiteral("*a*a*a*a*a*a*a*a*a*a*a*a*b");
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!JetLike(text, pattern));
    QVERIFY(JetLike(text + 'b', pattern));
    const Evaluated sql = evaluate(m_raw, QStringLiteral("replace(hex(zeroblob(20000)), '00', 'a') LIKE '%1'").arg(pattern));
    QCOMPARE(sql.value, QVariant(qint64(0)));
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));

    QVERIFY(!JetLikePatternValid(u"[a"));
    QVERIFY(!JetLikePatternValid(u"a[c-a]"));
    QVERIFY(JetLikePatternValid(u"a]"));
    QVERIFY(JetLikePatternValid(u"[*]"));
    QVERIFY(JetLikePatternValid(u"[]"));
}

void TestJetDialect::likeInSql_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QString>("error");
    const QVariant yes = qint64(1), no = qint64(0), null;

    QTest::newRow("text LIKE pattern") << "'abc' LIKE 'A*'" << yes << "";
    QTest::newRow("operands not swapped") << "'A*' LIKE 'abc'" << no << "";
    QTest::newRow("percent plain") << "'50%' LIKE '50%'" << yes << "";
    QTest::newRow("percent no wildcard") << "'501' LIKE '50%'" << no << "";
    QTest::newRow("underscore no wildcard") << "'abc' LIKE 'a_c'" << no << "";
    QTest::newRow("umlauts") << "'Übersee' LIKE 'üBERS?E'" << yes << "";
    QTest::newRow("NOT LIKE") << "'Übersee' NOT LIKE 'üb*'" << no << "";
    QTest::newRow("number as text") << "12345 LIKE '123*'" << yes << "";
    QTest::newRow("NULL text") << "NULL LIKE 'a*'" << null << "";
    QTest::newRow("NULL pattern") << "'a' LIKE NULL" << null << "";
    QTest::newRow("ESCAPE") << "'a*b' LIKE 'a\\*b' ESCAPE '\\'" << yes << "";
    QTest::newRow("ESCAPE: star no wildcard") << "'axb' LIKE 'a\\*b' ESCAPE '\\'" << no << "";
    QTest::newRow("ESCAPE NULL") << "'a' LIKE 'a' ESCAPE NULL" << null << "";
    QTest::newRow("ESCAPE of two characters")
        << "'a' LIKE 'a' ESCAPE 'xy'" << null << "Das ESCAPE-Zeichen muss genau ein Zeichen sein.";
    QTest::newRow("unclosed bracket") << "'abc' LIKE '[a'" << null << kInvalidPattern;
    QTest::newRow("backwards range") << "'b' LIKE '[c-a]'" << null << kInvalidPattern;
    // A pattern that changes from row to row must not reuse the first row's pattern.
    QTest::newRow("pattern per row")
        << "(SELECT count(*) FROM (SELECT 'a*' AS p UNION ALL SELECT 'b*' UNION ALL SELECT '*C') WHERE 'abc' LIKE p)"
        << QVariant(qint64(2)) << "";
}

void TestJetDialect::likeInSql()
{
    QFETCH(QString, expression);
    QFETCH(QVariant, expected);
    QFETCH(QString, error);
    const Evaluated r = evaluate(m_raw, expression);
    QCOMPARE(r.error, error);
    if (error.isEmpty())
        QCOMPARE(r.value, expected);
}

void TestJetDialect::dateFunctions_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QString>("error");
    const QVariant null;
    const double ten = 36000 / 86400.0;

    QTest::newRow("CDate date") << "CDate('01.03.2003')" << QVariant(37681.0) << "";
    QTest::newRow("CDate short day and month") << "CDate('1.3.2003')" << QVariant(37681.0) << "";
    QTest::newRow("CDate blanks around") << "CDate(' 01.03.2003 ')" << QVariant(37681.0) << "";
    QTest::newRow("CDate date and time") << "CDate('01.03.2003 10:00:00')" << QVariant(37681 + ten) << "";
    QTest::newRow("CDate date and hh:nn") << "CDate('01.03.2003 10:00')" << QVariant(37681 + ten) << "";
    QTest::newRow("CDate time") << "CDate('10:00:00')" << QVariant(ten) << "";
    QTest::newRow("CDate hh:nn") << "CDate('10:00')" << QVariant(ten) << "";
    QTest::newRow("CDate last second") << "CDate('23:59:59')" << QVariant(86399 / 86400.0) << "";
    QTest::newRow("CDate day zero") << "CDate('30.12.1899')" << QVariant(0.0) << "";
    QTest::newRow("CDate before day zero") << "CDate('29.12.1899 06:00:00')" << QVariant(-1.25) << "";
    QTest::newRow("CDate 1800") << "CDate('01.01.1800')" << QVariant(-36522.0) << "";
    QTest::newRow("CDate last day") << "CDate('31.12.9999')" << QVariant(2958465.0) << "";
    QTest::newRow("CDate leap day") << "CDate('29.02.2004')" << QVariant(38046.0) << "";
    QTest::newRow("CDate number") << "CDate(37681.5)" << QVariant(37681.5) << "";
    QTest::newRow("CDate NULL") << "CDate(NULL)" << null << "";
    QTest::newRow("CDate 31 February") << "CDate('31.02.2003')" << null << kTypeMismatch;
    QTest::newRow("CDate 29 February 2003") << "CDate('29.02.2003')" << null << kTypeMismatch;
    QTest::newRow("CDate hour 25") << "CDate('25:00')" << null << kTypeMismatch;
    QTest::newRow("CDate minute 60") << "CDate('12:60')" << null << kTypeMismatch;
    QTest::newRow("CDate text") << "CDate('abc')" << null << kTypeMismatch;
    QTest::newRow("CDate empty") << "CDate('')" << null << kTypeMismatch;
    QTest::newRow("CDate two-digit year") << "CDate('01.03.03')" << null << kTypeMismatch;
    QTest::newRow("CDate trailing rubbish") << "CDate('01.03.2003x')" << null << kTypeMismatch;
    QTest::newRow("CDate blob") << "CDate(X'00')" << null << kTypeMismatch;

    QTest::newRow("DateValue number") << "DateValue(37681.75)" << QVariant(37681.0) << "";
    QTest::newRow("DateValue text") << "DateValue('01.03.2003 18:00:00')" << QVariant(37681.0) << "";
    QTest::newRow("DateValue of a time") << "DateValue('10:00')" << QVariant(0.0) << "";
    QTest::newRow("DateValue before day zero") << "DateValue(-1.25)" << QVariant(-1.0) << "";
    QTest::newRow("DateValue morning of day zero") << "DateValue(-0.25)" << QVariant(0.0) << "";
    QTest::newRow("DateValue rounds to the second") << "DateValue(37681.9999999999)" << QVariant(37682.0) << "";
    QTest::newRow("DateValue rounds into day zero") << "DateValue(-1.9999999999)" << QVariant(0.0) << "";
    QTest::newRow("DateValue NULL") << "DateValue(NULL)" << null << "";
    QTest::newRow("DateValue bad text") << "DateValue('x')" << null << kTypeMismatch;

    QTest::newRow("TimeValue number") << "TimeValue(37681.75)" << QVariant(0.75) << "";
    QTest::newRow("TimeValue before day zero") << "TimeValue(-1.25)" << QVariant(0.25) << "";
    QTest::newRow("TimeValue text hh:nn") << "TimeValue('10:30')" << QVariant(37800 / 86400.0) << "";
    QTest::newRow("TimeValue date and time") << "TimeValue('01.03.2003 06:00:00')" << QVariant(0.25) << "";
    QTest::newRow("TimeValue rounds to midnight") << "TimeValue(37681.9999999999)" << QVariant(0.0) << "";
    QTest::newRow("TimeValue NULL") << "TimeValue(NULL)" << null << "";
}

void TestJetDialect::dateFunctions()
{
    QFETCH(QString, expression);
    QFETCH(QVariant, expected);
    QFETCH(QString, error);
    const Evaluated r = evaluate(m_raw, expression);
    QCOMPARE(r.error, error);
    if (!error.isEmpty())
        return;
    if (expected.isNull()) {
        QCOMPARE(r.type, SQLITE_NULL);
        return;
    }
    QCOMPARE(r.type, SQLITE_FLOAT);
    // Exact, not fuzzy: the filter compares these values with "=", ">=" and "<=".
    QVERIFY2(r.value.toDouble() == expected.toDouble(),
             qPrintable(QString::number(r.value.toDouble(), 'g', 17)));
}

void TestJetDialect::timeAndDateArePreciseForEverySecond()
{
    // Start times come from the import's conversions; the filter's CDate must meet them exactly,
    // otherwise a call at 08:00:00 falls outside "from 08:00:00".
    sqlite3_stmt* stmt = nullptr;
    QCOMPARE(sqlite3_prepare_v2(m_raw,
                                "SELECT TimeValue(?1) = CDate(?2) AND DateValue(?1) = CDate(?3) AND CDate(?4) = ?1",
                                -1, &stmt, nullptr),
             SQLITE_OK);
    for (const QDate day : {QDate(2003, 3, 1), QDate(1850, 12, 29)}) {
        const QByteArray dayText = day.toString(QStringLiteral("dd.MM.yyyy")).toLatin1();
        for (int second = 0; second < 86400; ++second) {
            const QTime time = QTime(0, 0).addSecs(second);
            const double serial = DateTimeToSerial(QDateTime(day, time));
            const QByteArray timeText = time.toString(QStringLiteral("HH:mm:ss")).toLatin1();
            const QByteArray both = dayText + ' ' + timeText;
            sqlite3_bind_double(stmt, 1, serial);
            sqlite3_bind_text(stmt, 2, timeText.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(stmt, 3, dayText.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(stmt, 4, both.constData(), -1, SQLITE_TRANSIENT);
            QCOMPARE(sqlite3_step(stmt), SQLITE_ROW);
            if (sqlite3_column_int(stmt, 0) != 1)
                QFAIL(both.constData());
            sqlite3_reset(stmt);
        }
    }
    sqlite3_finalize(stmt);
}

void TestJetDialect::clng_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QString>("error");
    const QVariant null;

    QTest::newRow("2.5 to even") << "CLng(2.5)" << QVariant(qint64(2)) << "";
    QTest::newRow("3.5 to even") << "CLng(3.5)" << QVariant(qint64(4)) << "";
    QTest::newRow("0.5 to even") << "CLng(0.5)" << QVariant(qint64(0)) << "";
    QTest::newRow("-2.5 to even") << "CLng(-2.5)" << QVariant(qint64(-2)) << "";
    QTest::newRow("-3.5 to even") << "CLng(-3.5)" << QVariant(qint64(-4)) << "";
    QTest::newRow("just below half") << "CLng(2.4999)" << QVariant(qint64(2)) << "";
    QTest::newRow("just above half") << "CLng(2.5001)" << QVariant(qint64(3)) << "";
    QTest::newRow("text") << "CLng('42')" << QVariant(qint64(42)) << "";
    QTest::newRow("text with blanks") << "CLng(' 42 ')" << QVariant(qint64(42)) << "";
    QTest::newRow("leading zeros") << "CLng('0042')" << QVariant(qint64(42)) << "";
    QTest::newRow("negative text") << "CLng('-7')" << QVariant(qint64(-7)) << "";
    QTest::newRow("text with point") << "CLng('2.5')" << QVariant(qint64(2)) << "";
    QTest::newRow("text with comma") << "CLng('3,5')" << QVariant(qint64(4)) << "";
    QTest::newRow("text with exponent") << "CLng('1e3')" << QVariant(qint64(1000)) << "";
    QTest::newRow("largest") << "CLng(2147483647)" << QVariant(qint64(2147483647)) << "";
    QTest::newRow("smallest") << "CLng('-2147483648')" << QVariant(qint64(-2147483648LL)) << "";
    QTest::newRow("half below the largest") << "CLng(2147483646.5)" << QVariant(qint64(2147483646)) << "";
    QTest::newRow("NULL") << "CLng(NULL)" << null << "";
    QTest::newRow("one too large") << "CLng(2147483648)" << null << kOverflow;
    QTest::newRow("rounds past the largest") << "CLng(2147483647.5)" << null << kOverflow;
    QTest::newRow("one too small") << "CLng(-2147483649)" << null << kOverflow;
    QTest::newRow("text too large") << "CLng('99999999999')" << null << kOverflow;
    QTest::newRow("no number") << "CLng('abc')" << null << kTypeMismatch;
    QTest::newRow("empty text") << "CLng('')" << null << kTypeMismatch;
    QTest::newRow("digits and letters") << "CLng('12a')" << null << kTypeMismatch;
    QTest::newRow("blank inside") << "CLng('1 2')" << null << kTypeMismatch;
    QTest::newRow("point alone") << "CLng('.')" << null << kTypeMismatch;
    QTest::newRow("sign alone") << "CLng('+')" << null << kTypeMismatch;
    QTest::newRow("blob") << "CLng(X'31')" << null << kTypeMismatch;
}

void TestJetDialect::clng()
{
    QFETCH(QString, expression);
    QFETCH(QVariant, expected);
    QFETCH(QString, error);
    const Evaluated r = evaluate(m_raw, expression);
    QCOMPARE(r.error, error);
    if (!error.isEmpty())
        return;
    // An integer, so that "CLng(Nebenstelle) >= 100" compares numbers and not texts.
    QCOMPARE(r.type, expected.isNull() ? SQLITE_NULL : SQLITE_INTEGER);
    QCOMPARE(r.value, expected);
}

// ---------------------------------------------------------------------------------------------

void TestJetDialect::treeQueries_data()
{
    QTest::addColumn<QString>("grouping");
    QTest::addColumn<QString>("filterWhere");
    QTest::addColumn<int>("levels");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("Ziele") << "Ziele" << "" << 2 << QStringList{
        "<null>|400", "A1|100", "Australien|200", "Deutschland|1000", "Graz|100", "Graz|99", "Service|300",
        "T-Mobile|20", "Wien|100"};
    QTest::newRow("Kostenstellen & Nebenstellen") << "Kostenstellen & Nebenstellen" << "" << 3 << QStringList{
        "K1|100|Mobil", "K1|100|Regional", "K1|99|Regional", "K2|20|Mobil", "K2|300|Sonderdienst", "K2|400|Mobil",
        "K3|1000|Ausland 1", "K3|200|Übersee", "x|100|Fern"};
    QTest::newRow("Kostenstellen & Zonen") << "Kostenstellen & Zonen" << "" << 3 << QStringList{
        "K1|Mobil|100", "K1|Regional|100", "K1|Regional|99", "K2|Mobil|20", "K2|Mobil|400", "K2|Sonderdienst|300",
        "K3|Ausland 1|1000", "K3|Übersee|200", "x|Fern|100"};
    QTest::newRow("Zonen") << "Zonen" << "" << 3 << QStringList{
        "Ausland 1|Deutschland|1000", "Fern|Wien|100", "Mobil|<null>|400", "Mobil|A1|100", "Mobil|T-Mobile|20",
        "Regional|Graz|100", "Regional|Graz|99", "Sonderdienst|Service|300", "Übersee|Australien|200"};
    QTest::newRow("Inland - Ausland") << "Inland - Ausland" << "" << 4 << QStringList{
        "Ausland|Ausland 1|Deutschland|1000", "Ausland|Übersee|Australien|200", "Inland|Fern|Wien|100",
        "Inland|Mobil|A1|100", "Inland|Mobil|T-Mobile|20", "Inland|Regional|Graz|100", "Inland|Regional|Graz|99",
        "Sonst|Sonderdienst|Service|300"};
    QTest::newRow("Nebenstellen") << "Nebenstellen" << "" << 3 << QStringList{
        "100|Fern|Wien", "100|Mobil|A1", "100|Regional|Graz", "1000|Ausland 1|Deutschland", "20|Mobil|T-Mobile",
        "200|Übersee|Australien", "300|Sonderdienst|Service", "400|Mobil|<null>", "99|Regional|Graz"};
    QTest::newRow("Filialen & Nebenstellen") << "Filialen & Nebenstellen" << "" << 3 << QStringList{
        "W1|100|Mobil", "W1|100|Regional", "W1|1000|Ausland 1", "W1|20|Mobil", "W1|99|Regional", "W2|200|Übersee",
        "W2|300|Sonderdienst", "W2|400|Mobil", "x|100|Fern"};
    QTest::newRow("Filialen & Kostenstellen") << "Filialen & Kostenstellen" << "" << 4 << QStringList{
        "W1|K1|Mobil|100", "W1|K1|Regional|100", "W1|K1|Regional|99", "W1|K2|Mobil|20", "W1|K3|Ausland 1|1000",
        "W2|K2|Mobil|400", "W2|K2|Sonderdienst|300", "W2|K3|Übersee|200", "x|x|Fern|100"};
    QTest::newRow("Zonen, filtered") << "Zonen" << kFilterExample << 3 << QStringList{
        "Ausland 1|Deutschland|1000", "Mobil|<null>|400", "Mobil|A1|100", "Sonderdienst|Service|300",
        "Übersee|Australien|200"};
    QTest::newRow("Inland - Ausland, filtered") << "Inland - Ausland" << kFilterExample << 4 << QStringList{
        "Ausland|Ausland 1|Deutschland|1000", "Ausland|Übersee|Australien|200", "Inland|Mobil|A1|100",
        "Sonst|Sonderdienst|Service|300"};
}

void TestJetDialect::treeQueries()
{
    QFETCH(QString, grouping);
    QFETCH(QString, filterWhere);
    QFETCH(int, levels);
    QFETCH(QStringList, rows);
    RuboDatabase& db = m_calls->db();
    const QString sql = treeQuery(grouping, filterWhere);
    QCOMPARE(rowsOf(db, sql, levels), rows);

    RuboQuery q(db);
    q.setSql(sql);
    q.open();
    QCOMPARE(q.recordCount(), rows.size());
    if (grouping == QLatin1String("Zonen") && filterWhere.isEmpty()) {
        // The aggregates stand behind the level columns, under their names.
        while (!q.eof() && q.field(1).toString() != QLatin1String("A1"))
            q.next();
        QVERIFY(!q.eof());
        QCOMPARE(q.field("CntAnrufe").toInt(), 2);
        QCOMPARE(q.field("SumBetrag").toDouble(), 1.25);
        QCOMPARE(q.field("SumSekunden").toInt(), 70);
    }
}

void TestJetDialect::detailTotalsAndSumsQueries()
{
    RuboDatabase& db = m_calls->db();
    const QString sumsHead = QStringLiteral(
        "SUM(Sekunden) AS SumSekunden, SUM(Betrag) AS SumBetrag, SUM(BetragEuro) AS SumEuro, COUNT(*) AS Anzahl,"
        " SUM(Rabatt) AS SumRabatt, SUM(RabattEuro) AS SumRabattEuro FROM EGN WHERE (1=1)");
    const QString totalsHead = QStringLiteral(
        "SELECT SUM(Sekunden), SUM(Betrag), SUM(BetragEuro), SUM(Rabatt), SUM(RabattEuro) FROM EGN WHERE (1=1)");

    // Zone node "Mobil" of "Zonen" under the filter example.
    const QString currentWhere = " AND (Zone = 'Mobil')" + kFilterExample;
    QCOMPARE(ids(db, currentWhere), (QStringList{"1", "10"}));
    RuboQuery details(db);
    details.setSql("SELECT * FROM EGN WHERE (1=1)" + currentWhere);
    details.open();
    QCOMPARE(details.recordCount(), 2);
    QCOMPARE(details.fieldIndex("RabattProz"), details.fieldCount() - 1);

    QCOMPARE(rowsOf(db, totalsHead + currentWhere, 5), QStringList{"75|1.25|0.625|1.25|0.625"});
    QStringList sums = rowsOf(db, "SELECT Zone,Ziel," + sumsHead + currentWhere + " GROUP BY Zone,Ziel", 8);
    sums.sort();
    QCOMPARE(sums, (QStringList{"Mobil|<null>|15|0.25|0.125|1|0.25|0.125", "Mobil|A1|60|1|0.5|1|1|0.5"}));

    // Extension node below an empty destination below "Mobil": the empty text means no value.
    const QString leaf = " AND (Nebenstelle = '400') AND (Ziel IS NULL) AND (Zone = 'Mobil')";
    QCOMPARE(rowsOf(db, "SELECT Zone,Ziel,Nebenstelle," + sumsHead + leaf + " GROUP BY Zone,Ziel,Nebenstelle", 7),
             QStringList{"Mobil|<null>|400|15|0.25|0.125|1"});

    // "Ausland" under "Inland - Ausland", with the discounted call among them.
    QCOMPARE(rowsOf(db, totalsHead + " AND IAS = 'A'", 5), QStringList{"645|6.75|3.375|5.25|2.625"});
    QStringList ausland = rowsOf(db, "SELECT IAS,Zone," + sumsHead + " AND IAS = 'A' GROUP BY IAS,Zone", 6);
    ausland.sort();
    QCOMPARE(ausland, (QStringList{"A|Ausland 1|45|0.75|0.375|1", "A|Übersee|600|6|3|1"}));

    // No SumColumns: one row of totals; without calls that row has no sums and a count of 0.
    QCOMPARE(rowsOf(db, "SELECT " + sumsHead, 6), QStringList{"1280|15.5|7.75|10|14|7"});
    QCOMPARE(rowsOf(db, "SELECT " + sumsHead + " AND (Zone = 'Nix')", 6),
             QStringList{"<null>|<null>|<null>|0|<null>|<null>"});
    QCOMPARE(rowsOf(db, "SELECT Zone," + sumsHead + " AND (Zone = 'Nix') GROUP BY Zone", 1), QStringList{});

    // The call-record report: three lines, ordered by extension, zone and destination.
    RuboQuery report(db);
    report.addSql(QStringLiteral("SELECT * FROM EGN WHERE (1=1) "));
    report.addSql(QStringLiteral(" AND DateValue(BeginZeit) >= CDate('01.03.2003') AND ANummer LIKE '0664*'"));
    report.addSql(QStringLiteral(" ORDER BY Nebenstelle, Zone, Ziel"));
    QStringList extensions;
    for (report.open(); !report.eof(); report.next())
        extensions << report.field("Nebenstelle").toString();
    QCOMPARE(extensions, (QStringList{"100", "100", "1000", "20", "200", "300", "400", "99"}));

    // The sums report's example: zone node with the business-time class filter.
    QCOMPARE(rowsOf(db, "SELECT Zone," + sumsHead + " AND (Zone = 'Mobil') AND GZ LIKE 'GZ' GROUP BY Zone", 5),
             QStringList{"Mobil|85|1.5|0.75|3"});
}

void TestJetDialect::filterClausesSelectTheRightCalls_data()
{
    QTest::addColumn<QString>("clause");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("filter example") << kFilterExample << QStringList{"1", "4", "8", "9", "10"};
    QTest::newRow("day range alone") << " AND DateValue(BeginZeit) >= CDate('01.03.2003')"
                                        " AND DateValue(BeginZeit) <= CDate('31.03.2003')"
                                     << QStringList{"1", "2", "3", "4", "7", "8", "9", "10"};
    QTest::newRow("day <>") << " AND DateValue(BeginZeit) <> CDate('01.03.2003')"
                            << QStringList{"2", "3", "4", "5", "6", "7", "8", "9", "10"};
    QTest::newRow("day =") << " AND DateValue(BeginZeit) = CDate('31.03.2003')" << QStringList{"3", "4"};
    QTest::newRow("time range, both ends exact") << " AND TimeValue(BeginZeit) >= CDate('08:00:00')"
                                                    " AND TimeValue(BeginZeit) <= CDate('10:00:00')"
                                                 << QStringList{"2", "8", "9"};
    QTest::newRow("time >") << " AND TimeValue(BeginZeit) > CDate('23:59:58')" << QStringList{"3", "4", "6"};
    QTest::newRow("extension range") << " AND CLng(Nebenstelle) >= 99 AND CLng(Nebenstelle) <= 200"
                                     << QStringList{"1", "3", "5", "6", "7", "8"};
    QTest::newRow("extension =") << " AND CLng(Nebenstelle) = 20" << QStringList{"2"};
    QTest::newRow("A-Nummer pattern") << " AND ANummer LIKE '0664#8*'" << QStringList{"4"};
    QTest::newRow("B-Nummer exact") << " AND BNummer LIKE '0049301234'"
                                    << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
    QTest::newRow("cost centres A to B") << " AND Kostenstelle >= 'K1' AND Kostenstelle <= 'K2'"
                                         << QStringList{"1", "2", "3", "5", "6", "9", "10"};
    QTest::newRow("zone, other case") << " AND Zone LIKE 'mob*'" << QStringList{"1", "2", "5", "10"};
    QTest::newRow("zone with umlaut") << " AND Zone LIKE 'üBERSEE'" << QStringList{"8"};
    QTest::newRow("destination set") << " AND Ziel LIKE '[a-d]*'" << QStringList{"1", "4", "5", "8"};
    QTest::newRow("branch") << " AND FilialeID LIKE 'w2'" << QStringList{"8", "9", "10"};
    QTest::newRow("business-time class") << " AND GZ LIKE 'FZ'" << QStringList{"2", "8"};
    QTest::newRow("class ÜZ matches none") << " AND GZ LIKE 'ÜZ'" << QStringList{};
    QTest::newRow("loaded file") << " AND DateiID = 1" << QStringList{"1", "2", "3", "4", "5"};
}

void TestJetDialect::filterClausesSelectTheRightCalls()
{
    QFETCH(QString, clause);
    QFETCH(QStringList, calls);
    QCOMPARE(ids(m_calls->db(), clause), calls);

    // The same clause behind the detail query's own start.
    RuboQuery q(m_calls->db());
    q.setSql("SELECT * FROM EGN WHERE (1=1)" + clause);
    q.open();
    QCOMPARE(q.recordCount(), calls.size());
}

void TestJetDialect::costCentreFilterAndParameterQueries()
{
    TestDb t;
    RuboDatabase& db = t.db();
    const double open = EncodeDate(9999, 12, 31);
    struct Row { const char* filiale; const char* nebenstelle; double von, bis; const char* kst; };
    const Row rows[] = {
        {"W1", "100", EncodeDate(2003, 1, 1), EncodeDate(2003, 12, 31), "KA"},
        {"W1", " ", EncodeDate(2003, 1, 1), open, "KB"},
        {"W2", "200", EncodeDate(2003, 4, 1), EncodeDate(2003, 6, 30), "KC"},
        {" ", "42", EncodeDate(2000, 1, 1), EncodeDate(2002, 12, 31) + EncodeTime(23, 59, 59), "KD"},
    };
    RuboStatement insert(db, QStringLiteral(
        "INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) VALUES (?, ?, ?, ?, ?)"));
    for (const Row& r : rows) {
        insert.bindText(1, QString::fromLatin1(r.filiale));
        insert.bindText(2, QString::fromLatin1(r.nebenstelle));
        insert.bindDouble(3, r.von);
        insert.bindDouble(4, r.bis);
        insert.bindText(5, QString::fromLatin1(r.kst));
        insert.step();
        insert.reset();
    }

    // The editor's filter: fragments each beginning with " AND", the first four characters dropped.
    auto filtered = [&db](const QString& nebenstelle, const QDate& tag, const QString& kst, const QString& filiale) {
        QString expr;
        if (!nebenstelle.isEmpty())
            expr += " AND Nebenstelle LIKE '" + nebenstelle + "'";
        if (tag.isValid())
            expr += " AND " + QString::number(qint64(DateToSerial(tag))) + " BETWEEN VonZeit AND BisZeit";
        if (!kst.isEmpty())
            expr += " AND Kostenstelle LIKE '" + kst + "'";
        if (!filiale.isEmpty())
            expr += " AND FilialeID LIKE '" + filiale + "'";
        RuboTable table(db, QStringLiteral("Kostenstellen"));
        table.setFilter(expr.mid(4));
        table.setFiltered(true);
        table.open();
        QStringList found;
        for (; !table.eof(); table.next())
            found << table.field("Kostenstelle").toString();
        found.sort();
        return found;
    };
    QCOMPARE(QString::number(qint64(DateToSerial(QDate(2003, 3, 1)))), QStringLiteral("37681"));
    QCOMPARE(filtered({}, QDate(2003, 3, 1), {}, {}), (QStringList{"KA", "KB"}));
    QCOMPARE(filtered({}, QDate(2003, 12, 31), {}, {}), (QStringList{"KA", "KB"}));   // inclusive end
    QCOMPARE(filtered({}, QDate(2004, 1, 1), {}, {}), QStringList{"KB"});
    QCOMPARE(filtered({}, QDate(2002, 12, 31), {}, {}), QStringList{"KD"});   // the day counts from midnight
    QCOMPARE(filtered({}, QDate(1999, 12, 31), {}, {}), QStringList{});
    QCOMPARE(filtered("1*", QDate(2003, 3, 1), {}, {}), QStringList{"KA"});
    QCOMPARE(filtered({}, {}, "k?", "w2"), QStringList{"KC"});
    QCOMPARE(filtered({}, QDate(2003, 5, 1), "K[!a]", {}), (QStringList{"KB", "KC"}));

    // Parameters are bare identifiers; the engine binds them, so an apostrophe is plain data.
    RuboQuery count(db);
    count.setSql(QStringLiteral("SELECT Count(*) FROM Kostenstellen WHERE FilialeID = filID"));
    count.setParam(QStringLiteral("filID"), QStringLiteral("W1"));
    count.open();
    QCOMPARE(count.field(0).toInt(), 2);
    count.setParam(QStringLiteral("filID"), QStringLiteral("W1' OR '1'='1"));
    count.open();
    QCOMPARE(count.field(0).toInt(), 0);

    RuboQuery add(db);
    add.setSql(QStringLiteral(
        "insert into Zonenrabatte (Zone, GZ, RabattProz, IAS) values (Zone_, GZ_, RabattProz_, IAS_)"));
    add.setParam(QStringLiteral("Zone_"), QStringLiteral("Übersee"));
    add.setParam(QStringLiteral("GZ_"), QStringLiteral("FZ"));
    add.setParam(QStringLiteral("RabattProz_"), 0.0);
    add.setParam(QStringLiteral("IAS_"), QString(""));
    QCOMPARE(add.execute(), 1);
    add.setParam(QStringLiteral("Zone_"), QStringLiteral("O'Brien Mobil"));
    QCOMPARE(add.execute(), 1);
    QStringList zones = rowsOf(db, QStringLiteral("SELECT * FROM Zonenrabatte"), 4);
    QCOMPARE(zones, (QStringList{"Übersee|FZ|0|", "O'Brien Mobil|FZ|0|"}));

    // The statements of the loaded-files registry and of deleting a file's calls.
    insertCalls(db);
    db.execute(QStringLiteral("INSERT INTO GeladeneDateien (DateiID, DateiName, OriginalName, AnzahlEGN)"
                              " VALUES (1, 'a.edi', '', 0), (2, 'b.edi', '', 0)"));
    QCOMPARE(db.execute(QStringLiteral("UPDATE GeladeneDateien SET AnzahlEGN = 5 WHERE DateiID = 2")), 1);
    QCOMPARE(rowsOf(db, QStringLiteral("SELECT * FROM GeladeneDateien"), 4),
             (QStringList{"1|a.edi||0", "2|b.edi||5"}));
    QCOMPARE(db.execute(QStringLiteral("DELETE FROM GeladeneDateien WHERE DateiID = 2")), 1);
    QCOMPARE(db.execute(QStringLiteral("DELETE FROM EGN WHERE DateiID = 2")), 5);
    QCOMPARE(ids(db, {}), (QStringList{"1", "2", "3", "4", "5"}));
}

// ---------------------------------------------------------------------------------------------

void TestJetDialect::qtSqliteDriverSeesTheFunctions()
{
    {
        QSqlDatabase qt = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("jetDialectQt"));
        qt.setDatabaseName(QStringLiteral(":memory:"));
        QVERIFY(qt.open());
        const QVariant h = qt.driver()->handle();
        QCOMPARE(h.typeName(), "sqlite3*");
        sqlite3* handle = *static_cast<sqlite3* const*>(h.data());
        QVERIFY(handle);
        RegisterJetFunctions(handle);

        // The driver runs the very library we registered on: same version, our functions seen.
        QSqlQuery q(qt);
        QVERIFY2(q.exec(QStringLiteral("SELECT sqlite_version(), DateValue(CDate('01.03.2003 10:00:00')),"
                                       " 'Grüße aus Österreich' LIKE 'GRÜßE*ÖSTER?EICH', '50%' LIKE '5_%'")),
                 qPrintable(q.lastError().text()));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QString::fromLatin1(sqlite3_libversion()));
        QCOMPARE(q.value(1).toDouble(), 37681.0);
        QCOMPARE(q.value(2).toInt(), 1);
        QCOMPARE(q.value(3).toInt(), 0);

        QVERIFY(q.prepare(QStringLiteral("SELECT CLng(?), TimeValue(?)")));
        q.addBindValue(QStringLiteral(" 2.5 "));
        q.addBindValue(0.75);
        QVERIFY(q.exec());
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 2);
        QCOMPARE(q.value(1).toDouble(), 0.75);

        // A failing function reaches Qt's error with its German text.
        const bool ran = q.exec(QStringLiteral("SELECT CDate('31.02.2003')")) && q.next();
        QVERIFY(!ran);
        QVERIFY2(q.lastError().text().contains(kTypeMismatch), qPrintable(q.lastError().text()));
        q.finish();
        qt.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("jetDialectQt"));
}

QTEST_GUILESS_MAIN(TestJetDialect)
#include "TestJetDialect.moc"
