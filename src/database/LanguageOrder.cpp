#include "database/LanguageOrder.h"

#include "database/RuboError.h"

#include <QString>

#include <sqlite3.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// Primary weights: the classes in their order, each followed by the position inside it.
constexpr std::uint32_t kPunctuation = 1;   // + code point: spaces, punctuation, symbols, controls
constexpr std::uint32_t kDigit = 0x3000;    // + digit
constexpr std::uint32_t kLetter = 0x3100;   // + base letter a..z
constexpr std::uint32_t kOther = 0x4000;    // + code point: every other character
// A byte that starts no valid UTF-8 sequence decodes to this plus the byte, so it sorts after
// every character by its value.
constexpr std::uint32_t kBrokenByte = 0x110000;

struct Weight
{
    std::uint32_t primary;
    std::uint16_t accent;   // 0: plain; else the same for the upper and the lower case letter
    std::uint8_t upper;
};

// U+0000..U+017F. A letter written as two (ß, æ, Þ) has a second primary, plain and of its case.
struct LatinWeight
{
    std::uint16_t primary = 0;
    std::uint16_t second = 0;
    std::uint16_t accent = 0;
    std::uint8_t upper = 0;
};

// The base letters of U+00C0..U+017F, upper case for a capital; empty for × and ÷.
constexpr const char* kLatinBase[0x180 - 0xC0] = {
    // U+00C0
    "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I", "I",
    "D", "N", "O", "O", "O", "O", "O", "", "O", "U", "U", "U", "U", "Y", "TH", "ss",
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
    "d", "n", "o", "o", "o", "o", "o", "", "o", "u", "u", "u", "u", "y", "th", "y",
    // U+0100
    "A", "a", "A", "a", "A", "a", "C", "c", "C", "c", "C", "c", "C", "c", "D", "d",
    "D", "d", "E", "e", "E", "e", "E", "e", "E", "e", "E", "e", "G", "g", "G", "g",
    "G", "g", "G", "g", "H", "h", "H", "h", "I", "i", "I", "i", "I", "i", "I", "i",
    "I", "i", "IJ", "ij", "J", "j", "K", "k", "k", "L", "l", "L", "l", "L", "l", "L",
    "l", "L", "l", "N", "n", "N", "n", "N", "n", "n", "N", "n", "O", "o", "O", "o",
    "O", "o", "OE", "oe", "R", "r", "R", "r", "R", "r", "S", "s", "S", "s", "S", "s",
    "S", "s", "T", "t", "T", "t", "T", "t", "U", "u", "U", "u", "U", "u", "U", "u",
    "U", "u", "U", "u", "W", "w", "Y", "y", "Y", "Z", "z", "Z", "z", "Z", "z", "s",
};

constexpr bool isUpperAscii(char c)
{
    return c >= 'A' && c <= 'Z';
}

constexpr std::uint16_t letterWeight(char c)
{
    return std::uint16_t(kLetter + unsigned(isUpperAscii(c) ? c - 'A' : c - 'a'));
}

// The accent mark of a letter: its lower case code point, so Ä and ä carry the same.
constexpr std::uint16_t accentOf(unsigned cp, bool upper)
{
    if (!upper)
        return std::uint16_t(cp);
    if (cp < 0x100)
        return std::uint16_t(cp + 0x20);
    if (cp == 0x130)   // İ has no lower case of its own in this range
        return 0x130;
    if (cp == 0x178)   // Ÿ
        return 0xFF;
    return std::uint16_t(cp + 1);   // Latin Extended-A puts each capital just before its small letter
}

constexpr std::array<LatinWeight, 0x180> makeLatinWeights()
{
    std::array<LatinWeight, 0x180> t{};
    for (unsigned cp = 0; cp < 0x180; ++cp) {
        LatinWeight w;
        const char c = char(cp);
        if (cp < 0x80 && c >= '0' && c <= '9') {
            w.primary = std::uint16_t(kDigit + unsigned(c - '0'));
        } else if (cp < 0x80 && ((c >= 'a' && c <= 'z') || isUpperAscii(c))) {
            w.primary = letterWeight(c);
            w.upper = isUpperAscii(c);
        } else if (cp == 0xA0) {
            // A no-break space is a space, told apart like an accent.
            w.primary = std::uint16_t(kPunctuation + ' ');
            w.accent = 0xA0;
        } else if (cp < 0xC0 || kLatinBase[cp - 0xC0][0] == '\0') {
            w.primary = std::uint16_t(kPunctuation + cp);
        } else {
            const char* base = kLatinBase[cp - 0xC0];
            w.primary = letterWeight(base[0]);
            w.second = base[1] ? letterWeight(base[1]) : 0;
            w.upper = isUpperAscii(base[0]);
            w.accent = accentOf(cp, w.upper);
        }
        t[cp] = w;
    }
    return t;
}

constexpr std::array<LatinWeight, 0x180> kLatin = makeLatinWeights();

constexpr bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// Walks one text as its weights, a character at a time.
struct Cursor
{
    const unsigned char* p;
    const unsigned char* end;
    std::uint16_t pending = 0;   // the second letter of ß, æ, ...
    std::uint8_t pendingUpper = 0;

    // A code point, or kBrokenByte + the byte where no valid sequence starts. Never reads past end.
    std::uint32_t decode() noexcept
    {
        const unsigned b0 = *p;
        const std::ptrdiff_t left = end - p;
        const auto follows = [&](std::ptrdiff_t i, unsigned lo, unsigned hi) {
            return i < left && p[i] >= lo && p[i] <= hi;
        };
        if (b0 >= 0xC2 && b0 <= 0xDF && follows(1, 0x80, 0xBF)) {
            const std::uint32_t cp = ((b0 & 0x1Fu) << 6) | (p[1] & 0x3Fu);
            p += 2;
            return cp;
        }
        if (b0 >= 0xE0 && b0 <= 0xEF && follows(1, b0 == 0xE0 ? 0xA0 : 0x80, b0 == 0xED ? 0x9F : 0xBF)
            && follows(2, 0x80, 0xBF)) {
            const std::uint32_t cp = ((b0 & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
            p += 3;
            return cp;
        }
        if (b0 >= 0xF0 && b0 <= 0xF4 && follows(1, b0 == 0xF0 ? 0x90 : 0x80, b0 == 0xF4 ? 0x8F : 0xBF)
            && follows(2, 0x80, 0xBF) && follows(3, 0x80, 0xBF)) {
            const std::uint32_t cp =
                ((b0 & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
            p += 4;
            return cp;
        }
        ++p;
        return b0 < 0x80 ? b0 : kBrokenByte + b0;
    }

    bool next(Weight& w) noexcept
    {
        if (pending) {
            w = {pending, 0, pendingUpper};
            pending = 0;
            return true;
        }
        if (p == end)
            return false;
        const std::uint32_t cp = decode();
        if (cp < 0x180) {
            const LatinWeight& l = kLatin[cp];
            w = {l.primary, l.accent, l.upper};
            pending = l.second;
            pendingUpper = l.upper;
        } else if (cp >= 0x2000 && cp < 0x20D0) {
            // General punctuation, super- and subscripts, currency signs: „ “ – … €
            w = {kPunctuation + cp, 0, 0};
        } else if (cp == 0x1E9E) {
            // The capital ß.
            w = {letterWeight('s'), 0xDF, 1};
            pending = letterWeight('s');
            pendingUpper = 1;
        } else {
            w = {kOther + cp, 0, 0};
        }
        return true;
    }
};

int sqlCompare(void*, int aLength, const void* a, int bLength, const void* b)
{
    return CompareLanguageOrder(QByteArrayView(static_cast<const char*>(a), aLength),
                                QByteArrayView(static_cast<const char*>(b), bLength));
}

} // namespace

int CompareLanguageOrder(QByteArrayView a, QByteArrayView b) noexcept
{
    const auto* pa = reinterpret_cast<const unsigned char*>(a.data());
    const auto* pb = reinterpret_cast<const unsigned char*>(b.data());
    const std::size_t na = std::size_t(a.size());
    const std::size_t nb = std::size_t(b.size());
    const std::size_t common = na < nb ? na : nb;
    // Texts sorted side by side share long starts ("Mobilnetz A1 ..."): skip them a word at a time.
    std::size_t d = 0;
    while (d + sizeof(std::uint64_t) <= common) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, pa + d, sizeof x);
        std::memcpy(&y, pb + d, sizeof y);
        if (x != y)
            break;
        d += sizeof x;
    }
    while (d < common && pa[d] == pb[d])
        ++d;
    if (d == na && d == nb)
        return 0;
    // Decides only when every level ties.
    const int byBytes = d < common ? (pa[d] < pb[d] ? -1 : 1) : (na < nb ? -1 : 1);

    // Mostly the first differing characters are ASCII of different letters: that decides at once.
    if (d < common && ((pa[d] | pb[d]) & 0x80) == 0 && kLatin[pa[d]].primary != kLatin[pb[d]].primary)
        return kLatin[pa[d]].primary < kLatin[pb[d]].primary ? -1 : 1;

    // The identical start weighs the same on both sides. Comparing resumes at the last character
    // boundary in it: a byte that continues a sequence may belong to a character the texts end
    // differently. Every byte that continues no sequence starts a character, broken or not.
    std::size_t s = d;
    while (s > 0 && ((s < na && isContinuation(pa[s])) || (s < nb && isContinuation(pb[s]))))
        --s;

    Cursor ca{pa + s, pa + na};
    Cursor cb{pb + s, pb + nb};
    int byAccent = 0;
    int byCase = 0;
    for (;;) {
        // ASCII on both sides: one look-up each, no decoding, never an accent.
        if ((ca.pending | cb.pending) == 0 && ca.p < ca.end && cb.p < cb.end && ((*ca.p | *cb.p) & 0x80) == 0) {
            const LatinWeight& x = kLatin[*ca.p++];
            const LatinWeight& y = kLatin[*cb.p++];
            if (x.primary != y.primary)
                return x.primary < y.primary ? -1 : 1;
            if (!byCase && x.upper != y.upper)
                byCase = x.upper < y.upper ? -1 : 1;
            continue;
        }
        Weight x;
        Weight y;
        const bool hasX = ca.next(x);
        const bool hasY = cb.next(y);
        if (!hasX || !hasY) {
            if (hasX != hasY)
                return hasX ? 1 : -1;
            break;
        }
        if (x.primary != y.primary)
            return x.primary < y.primary ? -1 : 1;
        if (!byAccent && x.accent != y.accent)
            byAccent = x.accent < y.accent ? -1 : 1;
        if (!byCase && x.upper != y.upper)
            byCase = x.upper < y.upper ? -1 : 1;
    }
    if (byAccent)
        return byAccent;
    if (byCase)
        return byCase;
    return byBytes;
}

void RegisterLanguageOrder(sqlite3* db)
{
    if (!db)
        throw RuboError(QStringLiteral("Die Datenbank ist nicht geöffnet."));
    const int rc = sqlite3_create_collation_v2(db, kLanguageOrderSql, SQLITE_UTF8, nullptr, sqlCompare, nullptr);
    if (rc != SQLITE_OK) {
        throw RuboError(QStringLiteral("Die Sortierfolge %1 kann nicht angelegt werden: %2")
                            .arg(QString::fromLatin1(kLanguageOrderSql), QString::fromUtf8(sqlite3_errmsg(db))));
    }
}
