// Mutation fuzzing of the carrier text readers: seeded, deterministic, no fuzzing engine needed.
// Each input starts from a sample file or a small hand-made file, is mutated, and then
//  - is read by CarrierTextFile and compared line by line with a plain reference reader built on
//    Qt's own UTF-8 and Windows-1252 decoders;
//  - is imported through the real import into a test database, with the questions answered
//    No, Yes, or in turn, and the database checked afterwards: the file is stored whole with its
//    count or rolled back entirely, no text holds CR, LF or NUL, every message says something.
//
//   FuzzTextReaders [--inputs N] [--seed S] [--only I] [--out DIR] [FILE...]
//     --inputs N   inputs to run (default 1000, a few seconds, or RUBO_FUZZ_INPUTS)
//     --seed S     seed of the run (default 1, or RUBO_FUZZ_SEED); input I of a seed is always
//                  the same bytes, so --seed S --only I repeats one input alone
//     --out DIR    where a failing input is written (default the current folder, or RUBO_FUZZ_OUT)
//     FILE...      checks these files, with every answer rule, instead of generating inputs

#include "database/RuboEngine.h"
#include "database/RuboError.h"
#include "database/UserInterface.h"
#include "import/CarrierTextFile.h"
#include "import/ImportDriver.h"
#include "support/TestDb.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringDecoder>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

class Random
{
public:
    explicit Random(quint64 seed) : m_state(seed) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    qsizetype below(qsizetype n) { return n <= 0 ? 0 : qsizetype(next() % quint64(n)); }
    bool oneIn(int n) { return below(n) == 0; }

private:
    quint64 m_state;
};

// ---------------------------------------------------------------------------------------------
// Inputs

QByteArray callLine(Random& r)
{
    static const char* const zones[] = {"Mobilnetz", "\xC3\x96sterreich", "\xD6sterreich", "Nachbarl\xC3\xA4nder",
                                        "Nachbarl\xE4nder", "C\xC3\xB4te d'Ivoire", "Regionalzone", ""};
    static const char* const amounts[] = {"0,35", "12.5", "0", "1.234,5", "x", "-3,1", "1e3", ""};
    static const char* const dates[] = {"20030115", "030115", "2003011", "20031315", "", "991231"};
    static const char* const times[] = {"134501", "080000", "246000", "", "1345"};
    // Mostly values that convert, so that most files get stored and the mutations decide.
    const bool odd = r.oneIn(12);
    QList<QByteArray> f = {"280", "1", "0316471011", QByteArray::number(int(r.below(400))), "06641234567", "",
                           amounts[odd ? r.below(8) : r.below(3)], QByteArray::number(int(r.below(4000))), "",
                           dates[odd ? r.below(6) : r.below(2)], times[odd ? r.below(5) : r.below(2)],
                           QByteArray::number(int(r.below(60))), zones[r.below(8)], r.oneIn(2) ? "GZ" : "FZ  ",
                           r.oneIn(3) ? "M\xC3\xBCnchen" : "Wien", "C" + QByteArray::number(r.next() % 100000)};
    return f.join('\t');
}

QList<QByteArray> handMadeCorpus(Random& r)
{
    const QByteArray header = "100\tDRAVIK Telekom\tEinzelgespr\xC3\xA4" "chsnachweis\t200301";
    QList<QByteArray> corpus;
    for (const char* end : {"\r\n", "\n", "\r", "\r\r\n"}) {
        QByteArray f = header + end + "200\tKunde 4711\tMusterfirma GmbH" + end;
        for (int i = 0; i < 12; ++i)
            f += callLine(r) + end;
        f += "900\t12\tEnde" + QByteArray(end);
        corpus << f;
    }
    QByteArray mixed;
    for (int i = 0; i < 20; ++i)
        mixed += callLine(r) + QList<QByteArray>{"\r\n", "\n", "\r", "", "\t\r\n"}[r.below(5)] + (r.oneIn(6) ? "\r\n" : "");
    corpus << mixed;
    corpus << "\xEF\xBB\xBF" + callLine(r) + "\r\n" + callLine(r);
    corpus << callLine(r) + "\t" + QByteArray(60, 'z') + "\r\n\r\n\r\n" + callLine(r).replace("Wien", QByteArray(51, 'w'));
    corpus << QByteArray("900\t7") << QByteArray() << QByteArray("\r\n\n\r") << QByteArray("280") << QByteArray("280\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t");
    return corpus;
}

QList<QByteArray> sampleCorpus()
{
    QList<QByteArray> corpus;
    const QDir data(QStringLiteral(RUBO_SOURCE_DIR "/Data"));
    for (const QString& name : data.entryList({QStringLiteral("*.edi")}, QDir::Files, QDir::Name)) {
        QFile f(data.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            corpus << f.readAll();
    }
    if (!corpus.isEmpty())
        corpus << corpus.first().repeated(7);   // larger than one block: lines across block boundaries
    return corpus;
}

const char kInteresting[] = {'\0', '\xFF', '\r', '\n', '\t', '\xC3', '\x96', '\x80', '\xEF', '\xBB', '\xBF', '\xE4',
                             '0', '9', ' ', ',', '.', '2', '8', '+', '-'};

char interestingByte(Random& r)
{
    return r.oneIn(4) ? char(r.below(256)) : kInteresting[r.below(sizeof kInteresting)];
}

void mutateOnce(QByteArray& b, Random& r, const QList<QByteArray>& corpus)
{
    const qsizetype n = b.size();
    const qsizetype at = r.below(n + 1);
    switch (r.below(13)) {
    case 0:   // bit flip
        if (n > 0) {
            const qsizetype i = r.below(n);
            b[i] = char(b[i] ^ (1 << r.below(8)));
        }
        break;
    case 1:   // overwrite one byte
        if (n > 0)
            b[r.below(n)] = interestingByte(r);
        break;
    case 2:   // insert one byte
        b.insert(at, interestingByte(r));
        break;
    case 3:   // delete a few bytes
        if (n > 0)
            b.remove(r.below(n), 1 + r.below(r.oneIn(4) ? 200 : 4));
        break;
    case 4: {   // duplicate a chunk elsewhere
        if (n == 0)
            break;
        const qsizetype from = r.below(n);
        const QByteArray chunk = b.mid(from, 1 + r.below(r.oneIn(8) ? 20000 : 300));
        b.insert(r.below(b.size() + 1), chunk);
        break;
    }
    case 5:   // truncate
        b.truncate(r.below(n + 1));
        break;
    case 6: {   // a run of one byte, now and then longer than any line may be
        const qsizetype length = r.oneIn(150) ? CarrierTextFile::kMaxLineBytes + r.below(3000) - 1000 : 1 + r.below(r.oneIn(5) ? 5000 : 40);
        b.insert(at, QByteArray(length, r.oneIn(3) ? 'x' : interestingByte(r)));
        break;
    }
    case 7: {   // another line end style for the whole file
        static const char* const ends[] = {"\r\n", "\n", "\r", "\r\r\n", "\n\r"};
        b.replace("\r\n", ends[r.below(5)]);
        break;
    }
    case 8: {   // splice in a line of another file
        const QByteArray& other = corpus[r.below(corpus.size())];
        const QList<QByteArray> lines = other.split('\n');
        b.insert(at, lines[r.below(lines.size())] + "\n");
        break;
    }
    case 9: {   // a record type at a line start, a trailer with a count good or bad
        static const char* const counts[] = {"12", "0", "+5", " 5", "5 ", "-1", "0120", "2147483647", "2147483648", "99999999999", "1e3", ""};
        const qsizetype nl = b.indexOf('\n', at);
        const QByteArray record = r.oneIn(2) ? QByteArray("280\t") : QByteArray("900\t") + counts[r.below(12)] + (r.oneIn(2) ? "\tEnde\r\n" : "\n");
        // Often last: of several trailers the last one counts.
        b.insert(r.oneIn(3) ? b.size() : nl < 0 ? 0 : nl + 1, record);
        break;
    }
    case 10: {   // a field with a tab inserted or removed
        const qsizetype tab = b.indexOf('\t', at);
        if (tab >= 0 && r.oneIn(2))
            b.remove(tab, 1);
        else
            b.insert(at, '\t');
        break;
    }
    case 11: {   // a UTF-8 or Windows-1252 umlaut, or half of one
        static const char* const texts[] = {"\xC3\x96", "\xD6", "\xC3", "\xE2\x82\xAC", "\xE2\x82", "\x80", "\xEF\xBB\xBF", "\xF0\x9F\x93\x9E", "\xED\xA0\x80"};
        b.insert(at, texts[r.below(9)]);
        break;
    }
    default:   // a long field
        b.insert(at, QByteArray(20 + r.below(80), char('a' + r.below(26))));
        break;
    }
}

QByteArray makeInput(quint64 seed, qint64 index, const QList<QByteArray>& samples)
{
    Random r(seed * 0x100000001B3ull + quint64(index));
    QList<QByteArray> corpus = samples + handMadeCorpus(r);
    QByteArray b = corpus[r.below(corpus.size())];
    const int mutations = r.oneIn(10) ? 0 : int(1 + r.below(r.oneIn(4) ? 40 : 6));
    for (int i = 0; i < mutations; ++i)
        mutateOnce(b, r, corpus);
    return b;
}

// ---------------------------------------------------------------------------------------------
// The reference reader: the documented line ends, Qt's decoders, nothing clever.

struct Reference
{
    QStringList lines;   // up to the first line too long
    bool nul = false;
    bool tooLong = false;
};

QString referenceDecode(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString s = utf8(bytes);
    if (!utf8.hasError())
        return s;
    QStringDecoder cp1252("windows-1252", QStringDecoder::Flag::Stateless);
    return cp1252(bytes);
}

Reference referenceRead(const QByteArray& b)
{
    Reference ref;
    ref.nul = b.contains('\0');
    qsizetype pos = b.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const qsizetype n = b.size();
    while (pos < n) {
        qsizetype e = pos;
        while (e < n && b[e] != '\r' && b[e] != '\n')
            ++e;
        if (e - pos > CarrierTextFile::kMaxLineBytes) {
            ref.tooLong = true;
            break;
        }
        ref.lines << referenceDecode(b.mid(pos, e - pos));
        if (e == n)
            break;
        pos = e + 1;
        if (b[e] == '\r') {
            if (pos < n && b[pos] == '\n')
                pos += 1;
            else if (pos + 1 < n && b[pos] == '\r' && b[pos + 1] == '\n')
                pos += 2;
        }
    }
    return ref;
}

// ---------------------------------------------------------------------------------------------
// Checks

// Answers questions by a fixed rule and keeps counts instead of texts, so that a file of a
// million empty lines costs no memory.
class FuzzUi : public RuboUi
{
public:
    enum class Answer { No, Yes, InTurn };

    FuzzUi() : m_previous(RuboUi::current()) { RuboUi::install(this); }
    ~FuzzUi() override { RuboUi::install(m_previous); }

    void setStatusPanel(StatusPanel panel, const QString& text) override
    {
        if (panel == StatusPanel::Text)
            lastStatus = text;
    }
    void clearStatusPanels() override {}
    void messageOk(const QString& text, MsgKind) override
    {
        ++messages;
        if (text.trimmed().isEmpty())
            ++emptyTexts;
        if (firstMessage.isEmpty())
            firstMessage = text;
    }
    bool askYesNo(const QString& text) override
    {
        ++questions;
        if (text.trimmed().isEmpty())
            ++emptyTexts;
        const bool yes = answer == Answer::Yes || (answer == Answer::InTurn && questions % 2 == 0);
        if (!yes)
            ++noAnswers;
        return yes;
    }
    void processEvents() override {}
    void setWaitCursor(bool) override {}

    void clear()
    {
        messages = questions = noAnswers = emptyTexts = 0;
        firstMessage.clear();
        lastStatus.clear();
    }

    Answer answer = Answer::No;
    int messages = 0, questions = 0, noAnswers = 0, emptyTexts = 0;
    QString firstMessage, lastStatus;

private:
    RuboUi* m_previous;
};

QStringList rowsOf(RuboStatement& s)
{
    QStringList rows;
    while (s.step()) {
        QStringList row;
        for (int i = 0; i < s.columnCount(); ++i)
            row << s.column(i).toString();
        rows << row.join(QLatin1Char('|'));
    }
    return rows;
}

QStringList zoneRows(TestDb& t)
{
    RuboStatement s(t.db(), QStringLiteral("SELECT * FROM Zonenrabatte ORDER BY 1, 2"));
    return rowsOf(s);
}

qint64 count(TestDb& t, const QString& sql)
{
    return t.scalar(sql).toLongLong();
}

bool holdsLineEndOrNul(const QString& text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) || text.contains(QChar(0));
}

// What the .edi reader makes of the reference lines when every question is answered No.
struct Expected
{
    int calls = 0;
    int skipped = 0;
    std::optional<int> declared;
};

Expected expectedEdi(const QStringList& lines)
{
    Expected e;
    for (const QString& line : lines) {
        if (line.isEmpty()) {
            ++e.skipped;
            continue;
        }
        QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() > 1 && f.last().isEmpty())
            f.removeLast();   // a separator at the very end gives no empty last field
        if (f[0] == QLatin1String("280")) {
            if (f.size() < 16)
                ++e.skipped;
            else
                ++e.calls;
        } else if (f[0] == QLatin1String("900") && f.size() > 1) {
            bool digits = !f[1].isEmpty() && f[1].size() <= 10;
            for (const QChar c : f[1])
                digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
            if (digits && f[1].toLongLong() <= 2147483647)
                e.declared = f[1].toInt();
        }
    }
    return e;
}

class Fuzzer
{
public:
    QString check(const QByteArray& input, FuzzUi::Answer answer);

    qint64 stored = 0, rolledBack = 0, stopped = 0, refused = 0;

private:
    QString checkReader(const QString& path, const Reference& ref);
    QString checkImport(const QString& path, const Reference& ref, FuzzUi::Answer answer);

    std::unique_ptr<TestDb> m_db;
    int m_imports = 0;
};

QString Fuzzer::checkReader(const QString& path, const Reference& ref)
{
    CarrierTextFile file;
    QStringList got;
    QString error;
    try {
        file.open(path);
        QString line;
        while (file.readLine(line))
            got << line;
    } catch (const RuboError& e) {
        error = e.message();
    }
    const bool mustFail = ref.nul || ref.tooLong;
    if (mustFail != !error.isEmpty())
        return mustFail ? QStringLiteral("reader accepted a file with a NUL or an over-long line")
                        : QStringLiteral("reader refused a text file: ") + error;
    if (ref.nul && !error.contains(QLatin1String("keine Textdatei")) && !error.contains(QLatin1String("mehr als")))
        return QStringLiteral("unexpected reader error: ") + error;
    if (!ref.nul && ref.tooLong && !error.contains(QLatin1String("mehr als")))
        return QStringLiteral("unexpected reader error: ") + error;
    // Lines delivered before a refusal are the file's first lines.
    if (got.size() > ref.lines.size() || (!mustFail && got.size() != ref.lines.size()))
        return QStringLiteral("reader gave %1 lines, reference %2").arg(got.size()).arg(ref.lines.size());
    for (qsizetype i = 0; i < got.size(); ++i) {
        if (got[i] != ref.lines[i])
            return QStringLiteral("line %1 differs: reader \"%2\", reference \"%3\"").arg(i).arg(got[i].left(60), ref.lines[i].left(60));
        if (holdsLineEndOrNul(got[i]))
            return QStringLiteral("line %1 holds a CR, LF or NUL").arg(i);
    }
    return QString();
}

QString Fuzzer::checkImport(const QString& path, const Reference& ref, FuzzUi::Answer answer)
{
    // A fresh database now and then keeps every import small and the file numbers low.
    if (!m_db || ++m_imports % 100 == 0) {
        m_db.reset();
        m_db = std::make_unique<TestDb>();
        m_db->db().execute(QStringLiteral("PRAGMA synchronous = OFF"));
    }
    TestDb& t = *m_db;
    const qint64 callsBefore = count(t, QStringLiteral("SELECT COUNT(*) FROM EGN"));
    const qint64 filesBefore = count(t, QStringLiteral("SELECT COUNT(*) FROM GeladeneDateien"));
    const QStringList zonesBefore = zoneRows(t);

    FuzzUi ui;
    ui.answer = answer;
    ImportResult result;
    try {
        result = ImportFile(t.dm(), path);
    } catch (const std::exception& e) {
        return QStringLiteral("exception escaped the import: ") + QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("unknown exception escaped the import");
    }
    if (t.db().inTransaction())
        return QStringLiteral("transaction left open");
    if (ui.emptyTexts > 0)
        return QStringLiteral("an empty message or question was shown");
    if (ui.lastStatus != QString::number(result.count) + QStringLiteral(" EGN's wurden geladen")
        && !ui.lastStatus.startsWith(QString::number(result.count) + QStringLiteral(" EGN's wurden geladen - Achtung")))
        return QStringLiteral("end report \"%1\" for %2 calls").arg(ui.lastStatus).arg(result.count);

    RuboStatement registry(t.db(), QStringLiteral("SELECT DateiID, AnzahlEGN FROM GeladeneDateien WHERE DateiName = ?1"));
    registry.bindText(1, path);
    const QStringList row = rowsOf(registry);
    const qint64 callsAfter = count(t, QStringLiteral("SELECT COUNT(*) FROM EGN"));
    const qint64 filesAfter = count(t, QStringLiteral("SELECT COUNT(*) FROM GeladeneDateien"));
    if (row.isEmpty()) {
        // Rolled back: nothing of the file, the zones as they were.
        ++rolledBack;
        if (result.count != 0 || callsAfter != callsBefore || filesAfter != filesBefore)
            return QStringLiteral("rolled back, yet %1 calls reported, EGN %2 -> %3").arg(result.count).arg(callsBefore).arg(callsAfter);
        if (zoneRows(t) != zonesBefore)
            return QStringLiteral("rolled back, yet the zone list changed");
        if (ui.messages == 0)
            return QStringLiteral("rolled back without a message");
        if (ref.nul || ref.tooLong)
            ++refused;
        return QString();
    }
    const QStringList parts = row.first().split(QLatin1Char('|'));
    const qint64 dateiId = parts[0].toLongLong();
    const qint64 anzahl = parts[1].toLongLong();
    const qint64 ofFile = count(t, QStringLiteral("SELECT COUNT(*) FROM EGN WHERE DateiID = %1").arg(dateiId));
    if (anzahl != ofFile || result.count != ofFile || callsAfter != callsBefore + ofFile || filesAfter != filesBefore + 1)
        return QStringLiteral("stored with AnzahlEGN %1, %2 calls in EGN, %3 reported").arg(anzahl).arg(ofFile).arg(result.count);
    if (ref.nul || ref.tooLong) {
        // Only a stop at the user's word ends the reading before the bad part.
        if (result.complete)
            return QStringLiteral("a file with a NUL or an over-long line was stored whole");
    }
    if (result.complete)
        ++stored;
    else
        ++stopped;
    if (result.complete && result.skipped != ui.noAnswers)
        return QStringLiteral("%1 lines skipped reported, %2 answered No").arg(result.skipped).arg(ui.noAnswers);
    if (answer == FuzzUi::Answer::No && result.complete) {
        const Expected e = expectedEdi(ref.lines);
        if (e.calls != result.count || e.skipped != result.skipped || e.declared != result.declared)
            return QStringLiteral("read %1 calls, %2 skipped, trailer %3; the reference lines give %4, %5, %6")
                .arg(result.count).arg(result.skipped).arg(result.declared.value_or(-1))
                .arg(e.calls).arg(e.skipped).arg(e.declared.value_or(-1));
    }
    RuboStatement texts(t.db(), QStringLiteral("SELECT * FROM EGN WHERE DateiID = ?1"));
    texts.bindInt(1, dateiId);
    while (texts.step()) {
        for (int i = 0; i < texts.columnCount(); ++i)
            if (holdsLineEndOrNul(texts.column(i).toString()))
                return QStringLiteral("EGN.%1 holds a CR, LF or NUL").arg(texts.columnName(i));
    }
    for (const QString& zone : zoneRows(t))
        if (holdsLineEndOrNul(zone))
            return QStringLiteral("a zone holds a CR, LF or NUL");
    return QString();
}

QString scratchDir()
{
    return QDir::temp().filePath(QStringLiteral("rubo-fuzz-%1").arg(QCoreApplication::applicationPid()));
}

void removeScratch()
{
    QDir(scratchDir()).removeRecursively();
}

QString Fuzzer::check(const QByteArray& input, FuzzUi::Answer answer)
{
    const QString dir = scratchDir();
    QDir().mkpath(dir);
    // A new name each time: a path is loaded only once.
    static qint64 serial = 0;
    const QString path = QDir(dir).filePath(QStringLiteral("eingabe-%1.edi").arg(++serial));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(input) != input.size())
            return QStringLiteral("cannot write ") + path;
    }
    const Reference ref = referenceRead(input);
    QString failure = checkReader(path, ref);
    if (failure.isEmpty())
        failure = checkImport(path, ref, answer);
    QFile::remove(path);
    return failure;
}

QString option(const QStringList& args, const QString& name, const char* environment, const QString& fallback)
{
    const qsizetype i = args.indexOf(name);
    if (i >= 0 && i + 1 < args.size())
        return args[i + 1];
    const QByteArray env = qgetenv(environment);
    return env.isEmpty() ? fallback : QString::fromLocal8Bit(env);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const qint64 inputs = option(args, QStringLiteral("--inputs"), "RUBO_FUZZ_INPUTS", QStringLiteral("1000")).toLongLong();
    const quint64 seed = option(args, QStringLiteral("--seed"), "RUBO_FUZZ_SEED", QStringLiteral("1")).toULongLong();
    const QString single = option(args, QStringLiteral("--only"), "RUBO_FUZZ_ONLY", QString());
    const QString out = option(args, QStringLiteral("--out"), "RUBO_FUZZ_OUT", QDir::currentPath());
    QStringList files;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i].startsWith(QLatin1String("--")))
            ++i;
        else
            files << args[i];
    }

    const QList<QByteArray> samples = sampleCorpus();
    if (samples.isEmpty()) {
        std::fprintf(stderr, "FuzzTextReaders: no sample files in %s/Data\n", RUBO_SOURCE_DIR);
        return 2;
    }
    Fuzzer fuzzer;
    QElapsedTimer timer;
    timer.start();
    qint64 ran = 0, bytes = 0;
    const qint64 first = single.isEmpty() ? 0 : single.toLongLong();
    const qint64 total = !files.isEmpty() ? files.size() : single.isEmpty() ? inputs : 1;
    for (qint64 k = 0; k < total; ++k) {
        const qint64 index = first + k;
        QByteArray input;
        if (!files.isEmpty()) {
            QFile f(files[k]);
            if (!f.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "FuzzTextReaders: cannot read %s\n", qPrintable(files[k]));
                return 2;
            }
            input = f.readAll();
        } else {
            input = makeInput(seed, index, samples);
        }
        bytes += input.size();
        // Every answer rule for a given file; for generated inputs the rule follows the index.
        QList<FuzzUi::Answer> answers{FuzzUi::Answer::No, FuzzUi::Answer::Yes, FuzzUi::Answer::InTurn};
        if (files.isEmpty())
            answers = {answers[index % 3]};
        for (const FuzzUi::Answer answer : answers) {
            const QString failure = fuzzer.check(input, answer);
            if (failure.isEmpty())
                continue;
            const QString saved = QDir(out).filePath(QStringLiteral("fuzz-failure-seed%1-input%2.edi").arg(seed).arg(index));
            QFile f(saved);
            const bool written = f.open(QIODevice::WriteOnly) && f.write(input) == input.size();
            std::printf("FuzzTextReaders: FAILED at input %lld of seed %llu (answers %d): %s\n", index, seed, int(answer),
                        qPrintable(failure));
            std::printf("  input (%lld bytes) %s %s\n", qint64(input.size()), written ? "written to" : "could not be written to",
                        qPrintable(saved));
            std::printf("  again: FuzzTextReaders --seed %llu --only %lld   or   FuzzTextReaders %s\n", seed, index, qPrintable(saved));
            removeScratch();
            return 1;
        }
        ++ran;
    }
    removeScratch();
    std::printf("FuzzTextReaders: %lld inputs (%.1f MB), seed %llu, %.1f s: %lld stored whole, %lld stopped by Yes, "
                "%lld rolled back (%lld of them binary or over-long), no failure\n",
                ran, bytes / 1e6, seed, timer.nsecsElapsed() / 1e9, fuzzer.stored, fuzzer.stopped, fuzzer.rolledBack, fuzzer.refused);
    return 0;
}
