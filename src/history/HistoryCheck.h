// The quick check of a large history database, on a thread of its own. It reads every page, so
// on a file of gigabytes it takes seconds; done at start it would hold the first connection and
// the restore back that long. Its own read-only connection sees the file as it was when it
// began, whatever the writer adds meanwhile.
// Qt-free.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

struct sqlite3;

namespace corvane {

class THistoryCheck {
public:
    // Starts checking the file at path.
    explicit THistoryCheck(std::string path);
    // Breaks a check under way off and waits for its thread.
    ~THistoryCheck();
    THistoryCheck(const THistoryCheck&) = delete;
    THistoryCheck& operator=(const THistoryCheck&) = delete;

    bool Done() const { return done_.load(); }
    // Once done: "ok", what the check found wrong, or empty when it could not be made at all.
    std::string Result() const;

private:
    void Run(const std::string& path);

    mutable std::mutex mutex_;
    sqlite3* running_ = nullptr; // the connection to interrupt, while the check runs
    bool ending_ = false;
    std::string result_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

} // namespace corvane
