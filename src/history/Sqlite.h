// A thin hold on SQLite's C interface: a connection and prepared statements that finalise
// themselves, and the library's text for what went wrong.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace corvane {

class TSqlite {
public:
    TSqlite() = default;
    ~TSqlite() { Close(); }
    TSqlite(const TSqlite&) = delete;
    TSqlite& operator=(const TSqlite&) = delete;

    // Opens (creating when create is true) the file; false with Error() set.
    bool Open(const std::string& path, bool create, bool readOnly = false);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    sqlite3* Handle() const { return db_; }

    // Runs statements that return no rows; false with Error() set.
    bool Exec(const char* sql);
    // The first column of the first row of a query as an integer; fallback when none or failed.
    int64_t QueryInt(const char* sql, int64_t fallback = -1);
    // The same as text.
    std::string QueryText(const char* sql);

    const std::string& Error() const { return error_; }
    int ErrorCode() const { return errorCode_; }
    void SetError(int code);
    void SetErrorText(int code, std::string text) {
        errorCode_ = code;
        error_ = std::move(text);
    }

private:
    sqlite3* db_ = nullptr;
    std::string error_;
    int errorCode_ = 0;
};

class TSqlStatement {
public:
    TSqlStatement() = default;
    TSqlStatement(TSqlite& db, const char* sql) { Prepare(db, sql); }
    ~TSqlStatement() { Finalize(); }
    TSqlStatement(const TSqlStatement&) = delete;
    TSqlStatement& operator=(const TSqlStatement&) = delete;

    bool Prepare(TSqlite& db, const char* sql);
    void Finalize();
    bool Ok() const { return stmt_ != nullptr; }

    // Parameters count from 1.
    void Bind(int i, int64_t value);
    void BindDouble(int i, double value);
    void BindText(int i, std::string_view text); // NULL when text is empty and nullWhenEmpty
    void BindBlob(int i, const void* data, int size);
    void BindNull(int i);
    // SQLITE_ROW, SQLITE_DONE or an error code (also set on the connection).
    int Step();
    // Ready for the next use, its parameters kept.
    void Reset();

    bool IsNull(int column) const;
    int64_t Int(int column) const;
    double Double(int column) const;
    std::string_view Text(int column) const;
    std::string_view Blob(int column) const;

private:
    TSqlite* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

} // namespace corvane
