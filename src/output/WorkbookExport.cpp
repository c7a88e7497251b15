#include "output/WorkbookExport.h"

#include "database/RuboEngine.h"
#include "output/DatabaseCopy.h"
#include "output/DialledColumn.h"
#include "output/FileReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <xlsxwriter.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

int gSheetRows = LXW_ROW_MAX;

constexpr int kExcelTextMax = 32767;   // characters (UTF-16 units) in one cell
constexpr int kWidthMin = 8;
constexpr int kWidthMax = 60;
const char kDateFormat[] = "dd.mm.yyyy hh:mm:ss";

QString failed(const QString& cause)
{
    return QStringLiteral("Ein Fehler ist aufgetreten.\n") + cause;
}

[[noreturn]] void throwWriteError(lxw_error error)
{
    throw RuboError(QStringLiteral("Die Arbeitsmappe kann nicht geschrieben werden (%1).")
                        .arg(QString::fromUtf8(lxw_strerror(error))));
}

void check(lxw_error error)
{
    if (error != LXW_NO_ERROR)
        throwWriteError(error);
}

// Excel takes no []:*?/\ in a sheet name, none at either end of it an apostrophe, and 31
// characters at most, " (2)" included.
QString sheetName(const QString& base, int number)
{
    QString name = base;
    for (QChar& c : name)
        if (QStringView(u"[]:*?/\\").contains(c) || c.unicode() < 0x20)
            c = QLatin1Char('_');
    while (name.startsWith(QLatin1Char('\'')))
        name.remove(0, 1);
    const QString suffix = number > 1 ? QStringLiteral(" (%1)").arg(number) : QString();
    name = name.left(LXW_SHEETNAME_MAX - suffix.size());
    if (name.size() > 0 && name.back().isHighSurrogate())
        name.chop(1);
    while (name.endsWith(QLatin1Char('\'')))
        name.chop(1);
    if (name.trimmed().isEmpty())
        name = QStringLiteral("Tabelle");
    return name + suffix;
}

// Counts the UTF-16 units of valid UTF-8; false for bytes that are not UTF-8 (an engine
// text may hold any bytes, and the workbook's XML would be unreadable with them).
bool utf8Units(const unsigned char* s, int n, int* units)
{
    int count = 0;
    for (int i = 0; i < n;) {
        const unsigned char c = s[i];
        int len = 1;
        if (c >= 0x80) {
            if (c >= 0xC2 && c <= 0xDF)
                len = 2;
            else if (c >= 0xE0 && c <= 0xEF)
                len = 3;
            else if (c >= 0xF0 && c <= 0xF4)
                len = 4;
            else
                return false;
            if (i + len > n)
                return false;
            for (int k = 1; k < len; ++k)
                if ((s[i + k] & 0xC0) != 0x80)
                    return false;
            if ((c == 0xE0 && s[i + 1] < 0xA0) || (c == 0xED && s[i + 1] >= 0xA0) || (c == 0xF0 && s[i + 1] < 0x90)
                || (c == 0xF4 && s[i + 1] >= 0x90))
                return false;   // overlong, surrogate or beyond U+10FFFF
        }
        count += len == 4 ? 2 : 1;
        i += len;
    }
    *units = count;
    return true;
}

struct Column
{
    int source = -1;           // column of the statement
    WorkbookColumn::Kind kind = WorkbookColumn::Kind::Value;
    lxw_format* format = nullptr;
    QByteArray caption;
    int width = 0;             // widest value of the current sheet, in characters
    bool dialled = false;      // BNummer, shortened by the mask
};

// Frees the workbook and removes its file unless both were handed on.
struct WorkbookGuard
{
    lxw_workbook* workbook = nullptr;
    QString path;
    ~WorkbookGuard()
    {
        if (workbook)
            lxw_workbook_free(workbook);   // without writing: lxw_workbook_free discards
        if (!path.isEmpty())
            QFile::remove(path);
    }
};

class WorkbookWriter
{
public:
    // `kostenstelle` is the statement's column of the call's cost centre, for the mask; -1 if none.
    WorkbookWriter(lxw_workbook* workbook, QList<Column>& columns, QString baseName, const NumberMask& mask,
                   int kostenstelle)
        : m_workbook(workbook), m_columns(columns), m_baseName(std::move(baseName)), m_mask(mask),
          m_kostenstelle(kostenstelle)
    {
        m_bold = workbook_add_format(workbook);
        format_set_bold(m_bold);
    }

    int sheets() const { return m_sheets; }
    int rowInSheet() const { return m_row; }

    void startSheet()
    {
        finishSheet();
        ++m_sheets;
        const QByteArray name = sheetName(m_baseName, m_sheets).toUtf8();
        m_sheet = workbook_add_worksheet(m_workbook, name.constData());
        if (!m_sheet)
            throw RuboError(QStringLiteral("Das Tabellenblatt %1 kann nicht angelegt werden.").arg(QString::fromUtf8(name)));
        for (int c = 0; c < m_columns.size(); ++c) {
            Column& column = m_columns[c];
            check(worksheet_write_string(m_sheet, 0, lxw_col_t(c), column.caption.constData(), m_bold));
            int units = 0;
            utf8Units(reinterpret_cast<const unsigned char*>(column.caption.constData()), column.caption.size(), &units);
            column.width = column.kind == WorkbookColumn::Kind::DateTime ? qMax(units, 19) : units;
        }
        worksheet_freeze_panes(m_sheet, 1, 0);
        m_row = 1;
    }

    void writeRow(sqlite3_stmt* stmt)
    {
        const lxw_row_t row = lxw_row_t(m_row);
        for (int c = 0; c < m_columns.size(); ++c) {
            Column& column = m_columns[c];
            if (column.source < 0)
                continue;
            if (column.dialled && sqlite3_column_type(stmt, column.source) != SQLITE_NULL) {
                writeDialled(stmt, row, c, column);
                continue;
            }
            switch (sqlite3_column_type(stmt, column.source)) {
            case SQLITE_INTEGER:
            case SQLITE_FLOAT:
                writeNumber(row, c, column, sqlite3_column_double(stmt, column.source));
                break;
            case SQLITE_TEXT:
                writeText(row, c, column, sqlite3_column_text(stmt, column.source), sqlite3_column_bytes(stmt, column.source));
                break;
            default:
                break;   // NULL stays a blank cell; the tables hold no BLOBs
            }
        }
        ++m_row;
    }

    // libxlsxwriter does not look at its own writes to the rows' temporary file; a full disk
    // would otherwise end in a workbook short of rows that is reported as written.
    void checkRowStore(bool flush)
    {
        FILE* store = m_sheet ? m_sheet->optimize_tmpfile : nullptr;
        if (!store)
            return;
        if ((flush && std::fflush(store) != 0) || std::ferror(store))
            throw RuboError(QStringLiteral("Die Arbeitsmappe kann nicht geschrieben werden: %1").arg(SystemErrorText(errno)));
    }

    void finishSheet()
    {
        if (!m_sheet)
            return;
        for (int c = 0; c < m_columns.size(); ++c) {
            const double width = qBound(kWidthMin, m_columns[c].width + 2, kWidthMax);
            check(worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c), width, nullptr));
        }
        checkRowStore(true);
        m_sheet = nullptr;
    }

private:
    void writeDialled(sqlite3_stmt* stmt, lxw_row_t row, int c, Column& column)
    {
        const QByteArray shown = ShortenedDialled(stmt, column.source, m_kostenstelle, m_mask);
        writeText(row, c, column, reinterpret_cast<const unsigned char*>(shown.constData()), int(shown.size()));
    }

    void writeNumber(lxw_row_t row, int c, Column& column, double value)
    {
        if (!std::isfinite(value)) {
            // Excel has no infinite number; the text keeps the value visible.
            const QByteArray text = QByteArray::number(value);
            check(worksheet_write_string(m_sheet, row, lxw_col_t(c), text.constData(), column.format));
            return;
        }
        if (column.kind == WorkbookColumn::Kind::DateTime) {
            // Excel counts a 29 February 1900 that never was: before March 1900 its serials are
            // one day behind ours.
            if (value >= 2 && value < 61)
                value -= 1;
        } else {
            char digits[32];
            const int n = std::snprintf(digits, sizeof digits, "%.2f", value);
            column.width = qMax(column.width, qMin(n + n / 4, kWidthMax));
        }
        check(worksheet_write_number(m_sheet, row, lxw_col_t(c), value, column.format));
    }

    void writeText(lxw_row_t row, int c, Column& column, const unsigned char* text, int bytes)
    {
        if (!text || bytes == 0)
            return;
        int units = 0;
        const char* out = reinterpret_cast<const char*>(text);
        QByteArray repaired;
        const bool valid = utf8Units(text, bytes, &units);
        if (!valid || units > kExcelTextMax || int(std::strlen(out)) != bytes) {
            // Invalid bytes become U+FFFD, a NUL (which the XML cannot hold) a blank; cut to
            // what a cell holds, never inside a surrogate pair.
            QString s = QString::fromUtf8(out, bytes);
            s.replace(QChar(0), QLatin1Char(' '));
            if (s.size() > kExcelTextMax)
                s.truncate(s.at(kExcelTextMax - 1).isHighSurrogate() ? kExcelTextMax - 1 : kExcelTextMax);
            repaired = s.toUtf8();
            out = repaired.constData();
            units = int(s.size());
        }
        column.width = qMax(column.width, qMin(units, kWidthMax));
        check(worksheet_write_string(m_sheet, row, lxw_col_t(c), out, column.format));
    }

    lxw_workbook* m_workbook;
    QList<Column>& m_columns;
    QString m_baseName;
    const NumberMask& m_mask;
    int m_kostenstelle;
    lxw_format* m_bold = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    int m_sheets = 0;
    int m_row = 0;
};

} // namespace

void SetWorkbookSheetRowsForTest(int rowsPerSheet)
{
    gSheetRows = rowsPerSheet >= 2 && rowsPerSheet <= LXW_ROW_MAX ? rowsPerSheet : LXW_ROW_MAX;
}

WorkbookResult ExportWorkbook(RuboDatabase& db, const QString& sql, const QList<QPair<QString, Qt::SortOrder>>& orderKeys,
                              const QList<WorkbookColumn>& columns, const QString& sheetName, const QString& fileName,
                              const ExportProceed& proceed, const NumberMask& mask)
{
    WorkbookResult result;
    RuboStatement stmt;
    QList<Column> plan;
    int kostenstelle = -1;
    try {
        // Renamed over the open database, the workbook would take the place of every call.
        if (IsOwnDatabaseFile(fileName, db.fileName()))
            throw RuboError(QStringLiteral("Die Datei %1 ist die Datenbank des Programms; sie wird nicht überschrieben.")
                                .arg(QDir::toNativeSeparators(fileName)));
        if (columns.isEmpty() || columns.size() > LXW_COL_MAX)
            throw RuboError(QStringLiteral("Die Arbeitsmappe braucht zwischen 1 und %1 Spalten.").arg(LXW_COL_MAX));
        stmt = RuboStatement(db, OrderedSql(db, sql, orderKeys));
        QStringList fields;
        for (int c = 0; c < stmt.columnCount(); ++c) {
            fields << stmt.columnName(c);
            if (kostenstelle < 0 && fields.last().compare(QLatin1String("Kostenstelle"), Qt::CaseInsensitive) == 0)
                kostenstelle = c;
        }
        for (const WorkbookColumn& wanted : columns) {
            Column column;
            column.kind = wanted.kind;
            for (int f = 0; f < fields.size() && column.source < 0; ++f)
                if (fields[f].compare(wanted.field, Qt::CaseInsensitive) == 0)
                    column.source = f;
            if (column.source < 0)
                throw RuboError(QStringLiteral("Die Abfrage hat kein Feld %1.").arg(wanted.field));
            column.dialled = mask.isOn() && fields[column.source].compare(QLatin1String("BNummer"), Qt::CaseInsensitive) == 0;
            QString caption = wanted.caption.isEmpty() ? wanted.field : wanted.caption;
            column.caption = caption.left(kExcelTextMax).toUtf8();
            plan.append(column);
        }
    } catch (const RuboError& e) {
        throw RuboError(failed(e.message()));
    }

    const FileBeside beside = CreateFileBeside(fileName);
    if (beside.path.isEmpty())
        throw ExportOpenError(QStringLiteral("Kann Datei nicht zum schreiben öffnen.\nDatei=") + fileName);
    WorkbookGuard guard;
    guard.path = beside.path;

    try {
        // The rows go to temporary files in the target's folder, which has room for the
        // result anyway; /tmp may be a small memory file system.
        QByteArray tmpdir = QFile::encodeName(QFileInfo(beside.path).absolutePath());
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = tmpdir.data();
        guard.workbook = workbook_new_opt(QFile::encodeName(beside.path).constData(), &options);
        if (!guard.workbook)
            throw RuboError(QStringLiteral("Die Arbeitsmappe kann nicht angelegt werden."));

        for (int c = 0; c < plan.size(); ++c) {
            const QString format = columns[c].numberFormat.isEmpty() && plan[c].kind == WorkbookColumn::Kind::DateTime
                ? QString::fromLatin1(kDateFormat)
                : columns[c].numberFormat;
            if (!format.isEmpty()) {
                plan[c].format = workbook_add_format(guard.workbook);
                format_set_num_format(plan[c].format, format.toUtf8().constData());
            }
        }

        WorkbookWriter writer(guard.workbook, plan, sheetName, mask, kostenstelle);
        writer.startSheet();
        while (stmt.step()) {
            if (writer.rowInSheet() >= gSheetRows)
                writer.startSheet();
            writer.writeRow(stmt.get());
            ++result.rows;
            if (result.rows % 1000 == 0) {
                writer.checkRowStore(false);
                if (proceed && !proceed(result.rows)) {
                    result.cancelled = true;
                    result.sheets = writer.sheets();
                    return result;   // the guard discards the workbook and its file
                }
            }
        }
        writer.finishSheet();
        result.sheets = writer.sheets();

        lxw_workbook* workbook = guard.workbook;
        guard.workbook = nullptr;   // workbook_close frees it, whatever it returns
        check(workbook_close(workbook));
        if (QFileInfo(beside.path).size() == 0)
            throw RuboError(QStringLiteral("Die Arbeitsmappe ist leer geblieben."));
        if (const int error = SyncFile(beside.path))
            throw RuboError(QStringLiteral("Die Arbeitsmappe kann nicht gesichert werden: %1").arg(SystemErrorText(error)));
        if (const int error = ReplaceFile(beside.path, fileName))
            throw RuboError(QStringLiteral("Die Datei %1 kann nicht ersetzt werden: %2").arg(fileName, SystemErrorText(error)));
        guard.path.clear();
    } catch (const RuboError& e) {
        throw RuboError(failed(e.message()));
    }
    return result;
}
