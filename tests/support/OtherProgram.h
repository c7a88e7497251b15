#pragma once

#include <QString>
#include <sqlite3.h>

// A second program's connection to a database file, straight to the engine: it holds locks and
// writes behind the back of the connection under test.
struct OtherProgram
{
    explicit OtherProgram(const QString& file) { sqlite3_open(file.toUtf8().constData(), &db); }
    ~OtherProgram() { sqlite3_close(db); }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;
    int exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

    sqlite3* db = nullptr;
};
