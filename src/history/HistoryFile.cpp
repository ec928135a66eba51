#include "history/HistoryFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "history/HistorySchema.h"
#include "util/IsoTime.h"

namespace corvane {

namespace {

// Writers never wait for readers (a dashboard reading the file holds nobody up). A connection
// that records has its checkpoints taken over by the writer's checkpointer; for the others,
// SQLite's own after every few megabytes keep the write-ahead log small.
bool Configure(TSqlite& db) {
    sqlite3_busy_timeout(db.Handle(), 2000);
    // The index by sensor takes each batch's reads on pages all over it: a cache of 16 MB keeps
    // them at hand, where SQLite's 2 MB would read and write them again for every batch.
    return db.Exec("PRAGMA journal_mode=WAL") && db.Exec("PRAGMA synchronous=NORMAL") &&
           db.Exec("PRAGMA cache_size=-16384") && db.Exec("PRAGMA foreign_keys=OFF") &&
           db.Exec("PRAGMA wal_autocheckpoint=2000");
}

void RemoveQuietly(const std::string& path) {
    std::remove(path.c_str());
}

int64_t SizeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
}

uint32_t BigEndian(const unsigned char* p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

// What the file's first 100 bytes say against its size: empty when nothing is wrong (or the
// file is new), else why it cannot be the database it claims to be. The page count in the
// header is trusted only when SQLite itself would trust it (the change counter matches the
// number it was written with), and only without a write-ahead log: a checkpoint broken off
// may have written the first page before the file grew to it, and the log still holds the
// rest. A file shorter than a count that stands alone was cut short.
std::string HeaderProblem(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return {};
    unsigned char h[100];
    const size_t got = std::fread(h, 1, sizeof h, f);
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    if (size == 0)
        return {};
    if (got < sizeof h || std::memcmp(h, "SQLite format 3", 16) != 0)
        return "file is not a database";
    const uint32_t raw = BigEndian(h + 16, 2);
    const int64_t pageSize = raw == 1 ? 65536 : raw;
    const int64_t pages = BigEndian(h + 28, 4);
    const bool countValid = pages > 0 && BigEndian(h + 24, 4) == BigEndian(h + 92, 4);
    if (countValid && SizeOf(path + "-wal") == 0 && size < pages * pageSize)
        return "file is cut short: " + std::to_string(size) + " bytes of " +
               std::to_string(pages * pageSize);
    return {};
}

} // namespace

THistoryFile::~THistoryFile() {
    Close();
}

void THistoryFile::Close() {
    db_.Close();
    if (holdFd_ >= 0)
        ::close(holdFd_);
    holdFd_ = -1;
}

std::string THistoryFile::BrokenName(const std::string& path, TDateTime wall) {
    // "2026-12-08T15:20:39.123+01:00" -> "20261208-152039"
    const std::string iso = FormatIsoTime(wall);
    std::string stamp;
    for (size_t i = 0; i < 19 && i < iso.size(); ++i) {
        const char c = iso[i];
        if (c >= '0' && c <= '9')
            stamp += c;
        else if (c == 'T')
            stamp += '-';
    }
    return path + ".broken-" + stamp;
}

bool THistoryFile::Hold() {
    holdFd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (holdFd_ < 0)
        return true; // the connection's own open will say why
    if (::flock(holdFd_, LOCK_EX | LOCK_NB) == 0)
        return true;
    ::close(holdFd_);
    holdFd_ = -1;
    return false;
}

THistoryFile::TCheck THistoryFile::CheckAndPrepare(std::string& problem,
                                                   int64_t checkAtStartBytes) {
    checkLater_ = false;
    problem = HeaderProblem(path_);
    if (!problem.empty())
        return TCheck::Damaged;
    if (!db_.Open(path_, true)) {
        problem = db_.Error();
        return TCheck::Unusable;
    }
    // A large file is only read as far as its tables; its quick check comes after the start.
    checkLater_ = SizeOf(path_) > checkAtStartBytes;
    const std::string check =
        checkLater_ ? (db_.QueryInt("SELECT count(*) FROM sqlite_master") >= 0 ? std::string("ok")
                                                                               : std::string())
                    : db_.QueryText("PRAGMA quick_check");
    if (check != "ok") {
        const int code = db_.ErrorCode() & 0xFF;
        problem = check.empty() ? db_.Error() : check;
        if (check.empty() && code != SQLITE_NOTADB && code != SQLITE_CORRUPT)
            return TCheck::Unusable;
        return TCheck::Damaged;
    }
    std::string error;
    if (!Configure(db_)) {
        problem = db_.Error();
        return TCheck::Unusable;
    }
    switch (PrepareSchema(db_, error)) {
    case TSchemaResult::Ready:
        return TCheck::Ready;
    case TSchemaResult::Newer:
        return TCheck::Newer;
    case TSchemaResult::Failed:
        break;
    }
    problem = error;
    return TCheck::Unusable;
}

bool THistoryFile::PutAside(const TClock& clock, std::vector<std::string>& log,
                            const std::string& why) {
    Close();
    const std::string aside = BrokenName(path_, clock.WallNow());
    if (std::rename(path_.c_str(), aside.c_str()) != 0) {
        log.push_back("History database " + path_ + " is damaged (" + why +
                      ") and cannot be put aside: " + std::strerror(errno));
        return false;
    }
    // A log or index of the damaged file would be taken for the new file's.
    std::rename((path_ + "-wal").c_str(), (aside + "-wal").c_str());
    RemoveQuietly(path_ + "-shm");
    log.push_back("History database " + path_ + " is damaged (" + why + "); kept as " + aside +
                  ", starting a new one");
    return true;
}

THistoryOpen THistoryFile::Replace(const TClock& clock, std::vector<std::string>& log,
                                   const std::string& why) {
    if (!PutAside(clock, log, why))
        return state_ = THistoryOpen::Failed;
    return Open(path_, clock, log);
}

THistoryOpen THistoryFile::Open(const std::string& path, const TClock& clock,
                                std::vector<std::string>& log, int64_t checkAtStartBytes) {
    Close();
    path_ = path;
    state_ = THistoryOpen::Failed;
    if (!Hold()) {
        log.push_back("History database in use by another run; not recording");
        // What the other run has recorded may still be read.
        if (!db_.Open(path_, false, true) ||
            db_.QueryInt("PRAGMA user_version") != kHistorySchemaVersion)
            db_.Close();
        return state_ = THistoryOpen::InUse;
    }
    std::string problem;
    TCheck check = CheckAndPrepare(problem, checkAtStartBytes);
    if (check == TCheck::Damaged) {
        if (!PutAside(clock, log, problem))
            return state_;
        check = Hold() ? CheckAndPrepare(problem, checkAtStartBytes) : TCheck::Unusable;
    }
    switch (check) {
    case TCheck::Ready:
        return state_ = THistoryOpen::Recording;
    case TCheck::Newer:
        log.push_back("History database " + path_ +
                      " was made by a newer version of the program; not recording");
        Close();
        return state_ = THistoryOpen::Newer;
    default:
        log.push_back("History database: " + problem + "; not recording");
        Close();
        return state_;
    }
}

} // namespace corvane
