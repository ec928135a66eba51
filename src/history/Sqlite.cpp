#include "history/Sqlite.h"

#include <sqlite3.h>

namespace corvane {

bool TSqlite::Open(const std::string& path, bool create, bool readOnly) {
    Close();
    int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (create && !readOnly)
        flags |= SQLITE_OPEN_CREATE;
    // One thread uses a connection at a time; the library's own locking is not needed.
    flags |= SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        SetError(rc);
        Close();
        return false;
    }
    sqlite3_extended_result_codes(db_, 1);
    // A reader can meet the file's locks for a moment while the checkpointer or another run's
    // writer holds them; every connection waits for that rather than failing at once.
    sqlite3_busy_timeout(db_, 2000);
    return true;
}

void TSqlite::Close() {
    if (db_ != nullptr)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

void TSqlite::SetError(int code) {
    errorCode_ = code;
    const char* text = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
    error_ = text != nullptr ? text : sqlite3_errstr(code);
}

bool TSqlite::Exec(const char* sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        errorCode_ = rc;
        error_ = message != nullptr ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        return false;
    }
    return true;
}

int64_t TSqlite::QueryInt(const char* sql, int64_t fallback) {
    TSqlStatement s(*this, sql);
    if (!s.Ok() || s.Step() != SQLITE_ROW || s.IsNull(0))
        return fallback;
    return s.Int(0);
}

std::string TSqlite::QueryText(const char* sql) {
    TSqlStatement s(*this, sql);
    if (!s.Ok() || s.Step() != SQLITE_ROW)
        return {};
    return std::string(s.Text(0));
}

bool TSqlStatement::Prepare(TSqlite& db, const char* sql) {
    Finalize();
    db_ = &db;
    const int rc =
        sqlite3_prepare_v3(db.Handle(), sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        db.SetError(rc);
        stmt_ = nullptr;
        return false;
    }
    return true;
}

void TSqlStatement::Finalize() {
    if (stmt_ != nullptr)
        sqlite3_finalize(stmt_);
    stmt_ = nullptr;
}

void TSqlStatement::Bind(int i, int64_t value) {
    sqlite3_bind_int64(stmt_, i, value);
}
void TSqlStatement::BindDouble(int i, double value) {
    sqlite3_bind_double(stmt_, i, value);
}
void TSqlStatement::BindText(int i, std::string_view text) {
    sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}
void TSqlStatement::BindBlob(int i, const void* data, int size) {
    sqlite3_bind_blob(stmt_, i, data, size, SQLITE_TRANSIENT);
}
void TSqlStatement::BindNull(int i) {
    sqlite3_bind_null(stmt_, i);
}

int TSqlStatement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE && db_ != nullptr)
        db_->SetError(rc);
    return rc;
}

void TSqlStatement::Reset() {
    sqlite3_reset(stmt_);
}

bool TSqlStatement::IsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}
int64_t TSqlStatement::Int(int column) const {
    return sqlite3_column_int64(stmt_, column);
}
double TSqlStatement::Double(int column) const {
    return sqlite3_column_double(stmt_, column);
}
std::string_view TSqlStatement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return text == nullptr ? std::string_view() : std::string_view(text, size);
}
std::string_view TSqlStatement::Blob(int column) const {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return data == nullptr ? std::string_view() : std::string_view(data, size);
}

} // namespace corvane
