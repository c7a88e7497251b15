// Reads one table of an Access database with libmdb and writes its rows to stdout, so that libmdb
// never runs inside the import's process: a damaged file may make libmdb hang, read garbage or
// abort, and that must end this program, not the user's session.
//
// Usage: rubo-mdb-read FILE TABLE
// Output, one record per line, fields separated by tabs (\\, \t, \n, \r escaped):
//   COLUMNS <name>...                      the table's columns
//   ROW <value>...                         "-" null, "S"text, "I"whole number, "N"number,
//                                          "D"date as days since 30.12.1899
//   END <rows>                             every row read; exit code 0
//   ERROR <kind> <detail>                  kind: open (no Access file), table (missing), damaged,
//                                          reader (this program failed); detail in German; exit 1
// glib first: mdbtools.h would include it inside its extern "C" block.
#include <glib.h>
#include <mdbtools.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

void putEscaped(const char* text)
{
    for (const char* p = text; *p; ++p) {
        switch (*p) {
        case '\\': fputs("\\\\", stdout); break;
        case '\t': fputs("\\t", stdout); break;
        case '\n': fputs("\\n", stdout); break;
        case '\r': fputs("\\r", stdout); break;
        default: fputc(*p, stdout);
        }
    }
}

[[noreturn]] void fail(const char* kind, const std::string& detail)
{
    fputs("ERROR\t", stdout);
    fputs(kind, stdout);
    fputc('\t', stdout);
    putEscaped(detail.c_str());
    fputc('\n', stdout);
    fflush(stdout);
    _exit(1);
}

// libmdb reports unreadable pages and rows on stderr and then simply stops or skips: here those
// reports are caught in a file of their own and turn into an error.
FILE* g_diagnostics = nullptr;

std::string firstDiagnostic()
{
    fflush(stderr);
    rewind(g_diagnostics);
    char line[512] = {};
    if (!fgets(line, sizeof line, g_diagnostics))
        return std::string();
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

void printNumber(const char* tag, double value)
{
    printf("%s%.17g", tag, value);
}

void printValue(MdbHandle* mdb, MdbColumn* col, const char* bound)
{
    if (col->cur_value_len == 0 && col->col_type != MDB_TEXT && col->col_type != MDB_MEMO && col->col_type != MDB_BOOL) {
        fputc('-', stdout);
        return;
    }
    const int start = col->cur_value_start;
    switch (col->col_type) {
    case MDB_BYTE: printf("I%d", mdb_get_byte(mdb->pg_buf, start)); break;
    case MDB_INT: printf("I%d", mdb_get_int16(mdb->pg_buf, start)); break;
    case MDB_LONGINT: printf("I%ld", mdb_get_int32(mdb->pg_buf, start)); break;
    case MDB_FLOAT: printNumber("N", mdb_get_single(mdb->pg_buf, start)); break;
    case MDB_DOUBLE: printNumber("N", mdb_get_double(mdb->pg_buf, start)); break;
    case MDB_MONEY: {
        gint64 tenThousandths = 0;   // little-endian, as every value of the file
        for (int b = 7; b >= 0; --b)
            tenThousandths = (tenThousandths << 8) | mdb->pg_buf[start + b];
        printNumber("N", double(tenThousandths) / 10000.0);
        break;
    }
    case MDB_DATETIME: printNumber("D", mdb_get_double(mdb->pg_buf, start)); break;
    default:
        fputc('S', stdout);
        putEscaped(bound);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fputs("usage: rubo-mdb-read FILE TABLE\n", stderr);
        return 2;
    }
    g_diagnostics = tmpfile();
    if (!g_diagnostics || dup2(fileno(g_diagnostics), STDERR_FILENO) < 0)
        fail("reader", "keine Zwischendatei");

    MdbHandle* mdb = mdb_open(argv[1], MDB_NOFLAGS);
    if (!mdb)
        fail("open", firstDiagnostic());
    // A file cut off inside a page lost rows that libmdb would pass over without a word.
    struct stat info {};
    if (stat(argv[1], &info) != 0 || info.st_size % mdb->fmt->pg_size != 0)
        fail("damaged", "die Dateigröße ist kein Vielfaches der Seitengröße");
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        fail("damaged", "Katalog unlesbar: " + firstDiagnostic());
    MdbTableDef* table = mdb_read_table_by_name(mdb, argv[2], MDB_TABLE);
    if (!table)
        fail("table", argv[2]);
    if (!mdb_read_columns(table))
        fail("damaged", "Spalten unlesbar: " + firstDiagnostic());

    const size_t bindSize = 4096;
    mdb_set_bind_size(mdb, bindSize);
    std::vector<std::vector<char>> bound(table->num_cols, std::vector<char>(bindSize + 1));
    fputs("COLUMNS", stdout);
    for (unsigned i = 0; i < table->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        fputc('\t', stdout);
        putEscaped(col->name);
        if (mdb_bind_column(table, int(i) + 1, bound[i].data(), nullptr) == -1)
            fail("damaged", std::string("Spalte nicht lesbar: ") + col->name);
    }
    fputc('\n', stdout);

    mdb_rewind_table(table);
    unsigned long rows = 0;
    while (mdb_fetch_row(table)) {
        fputs("ROW", stdout);
        for (unsigned i = 0; i < table->num_cols; ++i) {
            fputc('\t', stdout);
            printValue(mdb, static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i)), bound[i].data());
        }
        fputc('\n', stdout);
        // A damaged page chain may lead round in circles.
        if (++rows > table->num_rows)
            fail("damaged", "mehr Zeilen, als die Tabelle hat");
    }
    const std::string diagnostic = firstDiagnostic();
    if (!diagnostic.empty())
        fail("damaged", "libmdb: " + diagnostic);
    // Rows whose layout libmdb cannot crack are skipped silently; the table's own count tells.
    if (rows != table->num_rows)
        fail("damaged", std::to_string(rows) + " von " + std::to_string(table->num_rows) + " Zeilen lesbar");
    printf("END\t%lu\n", rows);
    fflush(stdout);
    mdb_free_tabledef(table);
    mdb_close(mdb);
    return 0;
}
