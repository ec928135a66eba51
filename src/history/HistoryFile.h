// The history database file of a run: taken for this run alone, checked, and brought to the
// current tables before anything is read from it or written to it.
//
// One run records into a file at a time. The hold is an flock() on the database file itself,
// which the kernel lets go when the run ends however it ends; SQLite's own locks are fcntl()
// locks, which flock() neither meets nor disturbs on Linux. The descriptor behind the hold is
// closed only after the connection, since closing any descriptor of the file would drop the
// connection's fcntl() locks with it.
#pragma once

#include <string>
#include <vector>

#include "history/Sqlite.h"
#include "util/untTime.h"

namespace corvane {

enum class THistoryOpen {
    Recording, // held by this run, checked and ready
    InUse,     // another run records into it; it may still be read
    Newer,     // made by a newer program: neither read nor written
    Failed     // cannot be opened or made at all
};

class THistoryFile {
public:
    THistoryFile() = default;
    ~THistoryFile();
    THistoryFile(const THistoryFile&) = delete;
    THistoryFile& operator=(const THistoryFile&) = delete;

    // Opens the file at path, making it when missing. A file that is not a database or fails
    // its quick check is put aside as <path>.broken-<yyyymmdd-hhnnss> (local time) and a new
    // one made. What happened is appended to log, as the log pane says it.
    THistoryOpen Open(const std::string& path, const TClock& clock, std::vector<std::string>& log);
    void Close();

    TSqlite& Db() { return db_; }
    const std::string& Path() const { return path_; }
    THistoryOpen State() const { return state_; }

    // The name a broken file is put aside under, for the local date-time given.
    static std::string BrokenName(const std::string& path, TDateTime wall);

private:
    bool Hold(); // the flock on path_; false when another run has it
    enum class TCheck { Ready, Damaged, Newer, Unusable };
    TCheck CheckAndPrepare(std::string& problem);
    bool PutAside(const TClock& clock, std::vector<std::string>& log, const std::string& why);

    std::string path_;
    TSqlite db_;
    int holdFd_ = -1;
    THistoryOpen state_ = THistoryOpen::Failed;
};

} // namespace corvane
