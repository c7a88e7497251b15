#include "support/JetTestFile.h"

#include <QSaveFile>
#include <QSet>

#include <cmath>
#include <cstring>
#include <limits>

namespace JetTestFile {
namespace {

// The public types plus the two the catalog needs (Type is a 2-byte integer, LvProp an OLE field).
enum class Kind { Text, Long, Double, DateTime, Integer, Ole };

struct Format
{
    bool jet4;
    int pageSize;
    int rowCountOffset;     // on a data page; the row offsets follow it
    int headerMaskLength;   // bytes of page 0 masked from 0x18 on
};

const Format kJet3{false, 2048, 8, 126};
const Format kJet4{true, 4096, 12, 128};

constexpr int kCatalogPage = 2;   // readers bootstrap from MSysObjects at page 2
constexpr int kMapPage = 1;       // every usage map of the file lives on page 1
constexpr int kMaxRowsPerPage = 255;   // a row is addressed by page << 8 | row
constexpr quint8 kFlagFixed = 0x01;
constexpr quint8 kFlagUpdatable = 0x02;
constexpr quint8 kFlagCompressedUnicode = 0x01;
constexpr quint16 kGeneralSortOrder = 0x409;
constexpr quint16 kCodePage1252 = 1252;
constexpr quint32 kSystemObject = 0x80000002u;

struct Col
{
    QString name;
    Kind kind = Kind::Text;
    int textLength = 255;
    bool compressed = false;
    int number = 0;        // also the bit in the row's null mask
    int varIndex = -1;     // slot in the row's variable offsets; -1 for fixed columns
    int fixedOffset = 0;   // in the fixed area that follows the column count
};

struct Layout
{
    QString name;
    bool system = false;
    QList<Col> cols;
    int fixedArea = 0;
    int varCount = 0;
    QList<QByteArray> rows;
    int tdefPage = 0;
    int firstDataPage = 0;
    int dataPageCount = 0;
    int usedMapRow = 0;
    int freeMapRow = 0;
};

bool isFixed(Kind kind) { return kind != Kind::Text && kind != Kind::Ole; }

int fixedSize(Kind kind)
{
    switch (kind) {
    case Kind::Integer: return 2;
    case Kind::Long: return 4;
    case Kind::Double:
    case Kind::DateTime: return 8;
    default: return 0;
    }
}

quint8 typeCode(Kind kind)
{
    switch (kind) {
    case Kind::Integer: return 0x03;
    case Kind::Long: return 0x04;
    case Kind::Double: return 0x07;
    case Kind::DateTime: return 0x08;
    case Kind::Text: return 0x0a;
    case Kind::Ole: return 0x0b;
    }
    return 0;
}

// Little-endian appends, as every number in the file is stored.
struct Bytes
{
    QByteArray b;
    void u8(int v) { b.append(char(v & 0xff)); }
    void u16(int v) { u8(v); u8(v >> 8); }
    void u32(quint32 v) { u16(int(v & 0xffff)); u16(int(v >> 16)); }
    void f64(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        u32(quint32(bits));
        u32(quint32(bits >> 32));
    }
    void zeros(int n) { b.append(n, '\0'); }
    void raw(const QByteArray& bytes) { b.append(bytes); }
    int size() const { return int(b.size()); }
};

void put16(QByteArray& b, int pos, int v)
{
    b[pos] = char(v & 0xff);
    b[pos + 1] = char((v >> 8) & 0xff);
}

void put32(QByteArray& b, int pos, quint32 v)
{
    put16(b, pos, int(v & 0xffff));
    put16(b, pos + 2, int(v >> 16));
}

// 0x80..0x9f of Windows-1252; the rest of the code page equals Latin-1. 0: unused code.
const char16_t kCp1252High[32] = {
    0x20ac, 0, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
    0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017d, 0,
    0, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
    0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0, 0x017e, 0x0178};

bool toCp1252(const QString& s, QByteArray* out)
{
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xa0 && u <= 0xff)) {
            out->append(char(u));
            continue;
        }
        int code = -1;
        for (int i = 0; i < 32 && code < 0; ++i) {
            if (kCp1252High[i] == u && u != 0)
                code = 0x80 + i;
        }
        if (code < 0)
            return false;
        out->append(char(code));
    }
    return true;
}

// Jet 4's compressed form: after FF FE, characters below U+0100 take one byte, the others two, and a
// 0 byte switches between the two. Access keeps plain UCS-2 where a character's low byte is 0 or
// where compressing saves nothing.
QByteArray toUcs2(const QString& s, bool compress)
{
    Bytes plain;
    bool compressible = compress;
    for (const QChar c : s) {
        plain.u16(c.unicode());
        if ((c.unicode() & 0xff) == 0)
            compressible = false;
    }
    if (!compressible)
        return plain.b;
    Bytes packed;
    packed.u8(0xff);
    packed.u8(0xfe);
    bool oneByte = true;
    for (const QChar c : s) {
        const bool small = c.unicode() < 0x100;
        if (small != oneByte) {
            packed.u8(0);
            oneByte = small;
        }
        if (small)
            packed.u8(c.unicode());
        else
            packed.u16(c.unicode());
    }
    return packed.size() < plain.size() ? packed.b : plain.b;
}

bool encodeName(const Format& f, const QString& name, QByteArray* out)
{
    if (f.jet4) {
        *out = toUcs2(name, false);
        return true;
    }
    return toCp1252(name, out);
}

bool encodeCell(const Format& f, const Col& c, const QVariant& v, Bytes* out, QString* why)
{
    bool ok = false;
    switch (c.kind) {
    case Kind::Text: {
        if (!v.canConvert<QString>()) {
            *why = QStringLiteral("value is not text");
            return false;
        }
        const QString s = v.toString();
        if (s.size() > c.textLength) {
            *why = QStringLiteral("text is longer than %1 characters").arg(c.textLength);
            return false;
        }
        if (f.jet4) {
            out->raw(toUcs2(s, c.compressed));
        } else if (!toCp1252(s, &out->b)) {
            *why = QStringLiteral("text has a character outside code page 1252");
            return false;
        }
        return true;
    }
    case Kind::Long:
    case Kind::Integer: {
        const double d = v.toDouble(&ok);
        const double low = c.kind == Kind::Long ? std::numeric_limits<qint32>::min() : std::numeric_limits<qint16>::min();
        const double high = c.kind == Kind::Long ? std::numeric_limits<qint32>::max() : std::numeric_limits<qint16>::max();
        if (!ok || v.typeId() == QMetaType::QDateTime || d != std::floor(d) || d < low || d > high) {
            *why = QStringLiteral("value is not a whole number in range");
            return false;
        }
        if (c.kind == Kind::Long)
            out->u32(quint32(qint32(d)));
        else
            out->u16(qint16(d));
        return true;
    }
    case Kind::Double:
    case Kind::DateTime: {
        double d = 0;
        if (c.kind == Kind::DateTime && v.typeId() == QMetaType::QDateTime) {
            if (!v.toDateTime().isValid()) {
                *why = QStringLiteral("value is not a valid date");
                return false;
            }
            ok = true;
            d = dateSerial(v.toDateTime());
        } else if (v.typeId() != QMetaType::QDateTime) {
            d = v.toDouble(&ok);
        }
        if (!ok || !std::isfinite(d)) {
            *why = QStringLiteral("value is not a finite number");
            return false;
        }
        out->f64(d);
        return true;
    }
    case Kind::Ole:
        *why = QStringLiteral("OLE values are not written");
        return false;
    }
    return false;
}

// A row: column count, the fixed area (room is kept for NULL fixed columns too), the variable values
// end to end, then the offsets of the variable columns backwards, their count and the null mask.
// Jet 3 offsets are one byte, so a jump table names the first entry past each 256-byte boundary.
bool encodeRow(const Format& f, const Layout& t, const QVariantList& cells, QByteArray* row, QString* why)
{
    if (cells.size() != t.cols.size()) {
        *why = QStringLiteral("%1 cells for %2 columns").arg(cells.size()).arg(t.cols.size());
        return false;
    }
    QByteArray fixed(t.fixedArea, '\0');
    QList<QByteArray> var(t.varCount);
    QByteArray mask((t.cols.size() + 7) / 8, '\0');
    for (int i = 0; i < t.cols.size(); ++i) {
        const Col& c = t.cols[i];
        if (cells[i].isNull())
            continue;
        Bytes value;
        if (!encodeCell(f, c, cells[i], &value, why)) {
            *why = QStringLiteral("column \"%1\": %2").arg(c.name, *why);
            return false;
        }
        mask[c.number / 8] = char(mask[c.number / 8] | (1 << (c.number % 8)));
        if (c.varIndex < 0)
            fixed.replace(c.fixedOffset, value.size(), value.b);
        else
            var[c.varIndex] = value.b;
    }

    Bytes r;
    if (f.jet4)
        r.u16(int(t.cols.size()));
    else
        r.u8(int(t.cols.size()));
    r.raw(fixed);
    QList<int> offsets;
    for (const QByteArray& value : var) {
        offsets << r.size();
        r.raw(value);
    }
    const int eod = r.size();
    offsets << eod;   // the end of the data reads as one more offset
    if (t.varCount > 0 && f.jet4) {
        for (int i = int(offsets.size()) - 1; i >= 0; --i)
            r.u16(offsets[i]);
        r.u16(t.varCount);
    } else if (t.varCount > 0) {
        // Readers count the jumps from the whole row's length; an extra one the data doesn't reach
        // is a dummy 0xff right after the offsets.
        const int trailer = int(offsets.size()) + 1 + int(mask.size());
        int jumps = 0;
        while ((eod + trailer + jumps - 1) / 256 > jumps)
            ++jumps;
        const bool dummy = eod / 256 < jumps;
        const int realJumps = jumps - (dummy ? 1 : 0);
        if (eod / 256 < realJumps) {
            *why = QStringLiteral("too many columns for a Jet 3 row");
            return false;
        }
        for (int i = int(offsets.size()) - 1; i >= 0; --i)
            r.u8(offsets[i] & 0xff);
        if (dummy)
            r.u8(0xff);
        for (int k = realJumps - 1; k >= 0; --k) {
            int first = 0;
            while (offsets[first] < 256 * (k + 1))
                ++first;
            r.u8(first);
        }
        r.u8(t.varCount);
    }
    r.raw(mask);
    if (r.size() + 2 > f.pageSize - (f.rowCountOffset + 2)) {
        *why = QStringLiteral("row does not fit on a data page");
        return false;
    }
    *row = r.b;
    return true;
}

bool layoutColumns(const Format& f, Layout* t, QString* why)
{
    if (t->cols.isEmpty() || t->cols.size() > 255) {
        *why = QStringLiteral("a table needs 1 to 255 columns");
        return false;
    }
    QSet<QString> seen;
    for (int i = 0; i < t->cols.size(); ++i) {
        Col& c = t->cols[i];
        QByteArray encoded;
        if (c.name.isEmpty() || c.name.size() > 64 || !encodeName(f, c.name, &encoded)) {
            *why = QStringLiteral("column name \"%1\" is empty, too long or not representable").arg(c.name);
            return false;
        }
        if (seen.contains(c.name.toLower())) {
            *why = QStringLiteral("column \"%1\" appears twice").arg(c.name);
            return false;
        }
        seen.insert(c.name.toLower());
        if (c.kind == Kind::Text && (c.textLength < 1 || c.textLength > 255)) {
            *why = QStringLiteral("column \"%1\": text length must be 1 to 255").arg(c.name);
            return false;
        }
        c.number = i;
        if (isFixed(c.kind)) {
            c.fixedOffset = t->fixedArea;
            t->fixedArea += fixedSize(c.kind);
        } else {
            c.varIndex = t->varCount++;
        }
    }
    return true;
}

// A data page: the rows from the page's end backwards, their offsets after the header.
QByteArray dataPage(const Format& f, quint32 owner, const QList<QByteArray>& rows)
{
    QByteArray page(f.pageSize, '\0');
    page[0] = 0x01;
    page[1] = 0x01;
    put32(page, 4, owner);
    put16(page, f.rowCountOffset, int(rows.size()));
    int end = f.pageSize;
    for (int i = 0; i < rows.size(); ++i) {
        end -= int(rows[i].size());
        std::memcpy(page.data() + end, rows[i].constData(), size_t(rows[i].size()));
        put16(page, f.rowCountOffset + 2 + 2 * i, end);
    }
    put16(page, 2, end - (f.rowCountOffset + 2 + 2 * int(rows.size())));
    return page;
}

// Fills pages in order, so readers return the rows as given.
QList<QByteArray> packRows(const Format& f, quint32 owner, const QList<QByteArray>& rows)
{
    QList<QByteArray> pages;
    for (int i = 0; i < rows.size();) {
        int used = f.rowCountOffset + 2;
        int count = 0;
        while (i + count < rows.size() && count < kMaxRowsPerPage
               && used + 2 + rows[i + count].size() <= f.pageSize) {
            used += 2 + int(rows[i + count].size());
            ++count;
        }
        pages << dataPage(f, owner, rows.mid(i, count));
        i += count;
    }
    return pages;
}

// An inline usage map (type 0): the first page it describes, then one bit per page from there.
// A table's pages are consecutive, so the bitmap is as long as the table.
QByteArray usageMap(int firstPage, int pageCount, bool marked)
{
    QByteArray map(5 + std::max(1, (pageCount + 7) / 8), '\0');
    put32(map, 1, quint32(firstPage));
    for (int i = 0; marked && i < pageCount; ++i)
        map[5 + i / 8] = char(map[5 + i / 8] | (1 << (i % 8)));
    return map;
}

bool tdefPage(const Format& f, const Layout& t, QByteArray* page)
{
    Bytes d;
    d.u8(0x02);
    d.u8(0x01);
    if (f.jet4)
        d.u16(0);   // free space, set below
    else
        d.raw("VC");
    d.u32(0);   // no continuation page
    d.u32(0);   // definition length, set below
    if (f.jet4)
        d.u32(0);
    d.u32(quint32(t.rows.size()));
    d.u32(0);   // next autonumber
    if (f.jet4)
        d.zeros(16);
    d.u8(t.system ? 0x53 : 0x4e);
    d.u16(int(t.cols.size()));   // columns ever made, none deleted
    d.u16(t.varCount);
    d.u16(int(t.cols.size()));
    d.u32(0);   // logical indexes
    d.u32(0);   // index entries
    d.u32(quint32(kMapPage << 8 | t.usedMapRow));
    d.u32(quint32(kMapPage << 8 | t.freeMapRow));
    for (const Col& c : t.cols) {
        const bool text = c.kind == Kind::Text;
        const int size = text ? c.textLength * (f.jet4 ? 2 : 1) : fixedSize(c.kind);
        d.u8(typeCode(c.kind));
        if (f.jet4)
            d.u32(0);
        d.u16(c.number);
        d.u16(std::max(c.varIndex, 0));
        d.u16(c.number);
        d.u16(text ? kGeneralSortOrder : 0);
        d.u16(text && !f.jet4 ? kCodePage1252 : 0);
        if (f.jet4) {
            d.u8((isFixed(c.kind) ? kFlagFixed : 0) | kFlagUpdatable);
            d.u8(c.compressed ? kFlagCompressedUnicode : 0);
            d.u32(0);
        } else {
            d.u16(0);
            d.u8((isFixed(c.kind) ? kFlagFixed : 0) | kFlagUpdatable);
        }
        d.u16(c.fixedOffset);
        d.u16(size);
    }
    for (const Col& c : t.cols) {
        QByteArray name;
        encodeName(f, c.name, &name);
        if (f.jet4)
            d.u16(int(name.size()));
        else
            d.u8(int(name.size()));
        d.raw(name);
    }
    d.u16(0xffff);   // no long-value columns with usage maps of their own
    if (d.size() > f.pageSize)
        return false;
    put32(d.b, 8, quint32(d.size() - 8));
    if (f.jet4)
        put16(d.b, 2, f.pageSize - d.size() - 8);
    *page = d.b;
    page->resize(f.pageSize, '\0');
    return true;
}

void rc4(const quint8* key, int keyLength, char* data, int length)
{
    quint8 s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = quint8(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLength]) & 0xff;
        std::swap(s[i], s[j]);
    }
    for (int n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        data[n] = char(quint8(data[n]) ^ s[(s[i] + s[j]) & 0xff]);
    }
}

// Page 0: engine name and version in the clear, the rest masked with a fixed RC4 key. The database
// key stays 0, which leaves every other page unencrypted.
QByteArray headerPage(const Format& f)
{
    QByteArray p(f.pageSize, '\0');
    p[1] = 0x01;
    std::memcpy(p.data() + 4, "Standard Jet DB", 15);
    put32(p, 0x14, f.jet4 ? 1 : 0);
    put16(p, 0x3c, kCodePage1252);
    if (f.jet4) {
        put16(p, 0x6e, kGeneralSortOrder);
        const double created = dateSerial(QDateTime(QDate(2003, 1, 1), QTime(0, 0)));
        Bytes date;
        date.f64(created);
        p.replace(0x72, 8, date.b);
        // Jet 4 XORs the password with the creation day: storing the mask itself means no password.
        const quint32 day = quint32(qint32(std::floor(created)));
        for (int i = 0; i < 40; ++i)
            p[0x42 + i] = char((day >> (8 * (i % 4))) & 0xff);
    } else {
        put16(p, 0x3a, kGeneralSortOrder);
    }
    const quint8 key[4] = {0xc7, 0xda, 0x39, 0x6b};
    rc4(key, 4, p.data() + 0x18, f.headerMaskLength);
    return p;
}

}   // namespace

double dateSerial(const QDateTime& dateTime)
{
    const qint64 days = QDate(1899, 12, 30).daysTo(dateTime.date());
    const double time = dateTime.time().msecsSinceStartOfDay() / 86400000.0;
    // Before the epoch Access counts the days down but the time still up: -1.25 is 29.12.1899 06:00.
    return days >= 0 ? double(days) + time : double(days) - time;
}

bool write(const QString& path, Version version, const QList<Table>& tables, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const Format& f = version == Version::Jet4 ? kJet4 : kJet3;
    QString why;

    Layout catalog;
    catalog.name = QStringLiteral("MSysObjects");
    catalog.system = true;
    const std::pair<const char*, Kind> catalogColumns[] = {
        {"Id", Kind::Long}, {"Name", Kind::Text}, {"Type", Kind::Integer}, {"Flags", Kind::Long}, {"LvProp", Kind::Ole}};
    for (const auto& [name, kind] : catalogColumns) {
        Col c;
        c.name = QString::fromLatin1(name);
        c.kind = kind;
        catalog.cols << c;
    }
    layoutColumns(f, &catalog, &why);
    QList<Layout> layouts{catalog};

    QSet<QString> names{catalog.name.toLower()};
    for (const Table& table : tables) {
        QByteArray encoded;
        if (table.name.isEmpty() || table.name.size() > 64 || !encodeName(f, table.name, &encoded))
            return fail(QStringLiteral("table name \"%1\" is empty, too long or not representable").arg(table.name));
        if (names.contains(table.name.toLower()))
            return fail(QStringLiteral("table \"%1\" appears twice").arg(table.name));
        names.insert(table.name.toLower());
        Layout t;
        t.name = table.name;
        for (const Column& column : table.columns) {
            Col c;
            c.name = column.name;
            c.kind = column.type == Type::Text ? Kind::Text
                : column.type == Type::Long    ? Kind::Long
                : column.type == Type::Double  ? Kind::Double
                                               : Kind::DateTime;
            c.textLength = column.textLength;
            c.compressed = column.compressedUnicode;
            t.cols << c;
        }
        if (!layoutColumns(f, &t, &why))
            return fail(QStringLiteral("table \"%1\": %2").arg(table.name, why));
        for (int i = 0; i < table.rows.size(); ++i) {
            QByteArray row;
            if (!encodeRow(f, t, table.rows[i], &row, &why))
                return fail(QStringLiteral("table \"%1\", row %2: %3").arg(table.name).arg(i + 1).arg(why));
            t.rows << row;
        }
        layouts << t;
    }

    // Page 0 header, 1 usage maps, from 2 one definition page per table with the catalog first,
    // then the data pages table by table.
    for (int i = 0; i < layouts.size(); ++i)
        layouts[i].tdefPage = kCatalogPage + i;
    for (const Layout& t : layouts) {
        QByteArray row;
        const QVariantList cells{t.tdefPage, t.name, 1, t.system ? qint32(kSystemObject) : 0, QVariant()};
        if (!encodeRow(f, layouts[0], cells, &row, &why))
            return fail(QStringLiteral("catalog entry of \"%1\": %2").arg(t.name, why));
        layouts[0].rows << row;
    }

    QList<QByteArray> dataPages;
    int nextPage = kCatalogPage + int(layouts.size());
    QList<QByteArray> mapRows;
    for (Layout& t : layouts) {
        const QList<QByteArray> pages = packRows(f, quint32(t.tdefPage), t.rows);
        t.firstDataPage = pages.isEmpty() ? t.tdefPage : nextPage;
        t.dataPageCount = int(pages.size());
        nextPage += t.dataPageCount;
        dataPages << pages;
        // Nothing is ever added to these files, so no page is offered as having free space.
        t.usedMapRow = int(mapRows.size());
        mapRows << usageMap(t.firstDataPage, t.dataPageCount, true);
        t.freeMapRow = int(mapRows.size());
        mapRows << usageMap(t.firstDataPage, t.dataPageCount, false);
    }
    int mapBytes = f.rowCountOffset + 2;
    for (const QByteArray& map : mapRows)
        mapBytes += 2 + int(map.size());
    if (mapBytes > f.pageSize || mapRows.size() > kMaxRowsPerPage)
        return fail(QStringLiteral("the usage maps of so many tables and pages do not fit on one page"));

    QByteArray file = headerPage(f) + dataPage(f, 0, mapRows);
    for (const Layout& t : layouts) {
        QByteArray page;
        if (!tdefPage(f, t, &page))
            return fail(QStringLiteral("the definition of table \"%1\" does not fit on one page").arg(t.name));
        file += page;
    }
    for (const QByteArray& page : dataPages)
        file += page;

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size() || !out.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(path, out.errorString()));
    return true;
}

}   // namespace JetTestFile
