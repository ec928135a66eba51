// The history database file of a run: taken for this run alone, checked, and brought to the
// current tables before anything is read from it or written to it.
//
// One run records into a file at a time. The hold is an flock() on the database file itself,
// which the kernel lets go when the run ends however it ends; SQLite's own locks are fcntl()
// locks, which flock() neither meets nor disturbs on Linux. The descriptor behind the hold is
// closed only after the connection, since closing any descriptor of the file would drop the
// connection's fcntl() locks with it.
#pragma once

#include <cstdint>
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

    // Files up to this size are given their quick check at start; a larger one only has its
    // header and size checked, and CheckLater says the quick check is still to be made.
    static constexpr int64_t CheckAtStartBytes = 64LL << 20;

    // Opens the file at path, making it when missing. A file that is not a database, is cut
    // short or fails its quick check is put aside as <path>.broken-<yyyymmdd-hhnnss> (local
    // time) and a new one made. What happened is appended to log, as the log pane says it.
    THistoryOpen Open(const std::string& path, const TClock& clock, std::vector<std::string>& log,
                      int64_t checkAtStartBytes = CheckAtStartBytes);
    // A file found damaged after it was opened (why says how): put aside and made anew, as
    // Open does.
    THistoryOpen Replace(const TClock& clock, std::vector<std::string>& log,
                         const std::string& why);
    bool CheckLater() const { return checkLater_; }
    void Close();

    TSqlite& Db() { return db_; }
    const std::string& Path() const { return path_; }
    THistoryOpen State() const { return state_; }

    // The name a broken file is put aside under, for the local date-time given.
    static std::string BrokenName(const std::string& path, TDateTime wall);

private:
    bool Hold(); // the flock on path_; false when another run has it
    enum class TCheck { Ready, Damaged, Newer, Unusable };
    TCheck CheckAndPrepare(std::string& problem, int64_t checkAtStartBytes);
    bool PutAside(const TClock& clock, std::vector<std::string>& log, const std::string& why);

    std::string path_;
    TSqlite db_;
    int holdFd_ = -1;
    bool checkLater_ = false;
    THistoryOpen state_ = THistoryOpen::Failed;
};

} // namespace corvane
