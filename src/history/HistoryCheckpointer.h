// Copying the write-ahead log back into the history database on a thread of its own. A
// checkpoint ends with the disk's flush; done by the writer after a commit, as SQLite does by
// itself, it kept the writer from its queue for that flush every few batches. Here the writer's
// commit only notes how long the log has grown, and a second connection copies it back while
// the writer goes on (SQLite lets one checkpoint run beside one writer).
// Qt-free.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

struct sqlite3;

namespace corvane {

class THistoryCheckpointer {
public:
    // A checkpoint is asked for once the log holds this many pages (16 MB of 4 KB pages).
    static constexpr int LogPages = 4096;
    // The log is cut back to this size when SQLite starts it over.
    static constexpr int64_t LogKeepBytes = 64LL << 20;

    explicit THistoryCheckpointer(std::string path);
    ~THistoryCheckpointer();
    THistoryCheckpointer(const THistoryCheckpointer&) = delete;
    THistoryCheckpointer& operator=(const THistoryCheckpointer&) = delete;

    // Takes the checkpoints of the writer's connection over (its own are turned off), starting
    // the thread on first use. Called again for a connection opened anew.
    void Watch(sqlite3* writer);
    // Ends the thread, after a checkpoint under way. The writer's connection is left alone:
    // closing it copies back whatever remains.
    void Stop();

    uint64_t Checkpoints() const { return checkpoints_.load(); }

private:
    static int OnCommit(void* self, sqlite3* db, const char* name, int pages);
    void Loop();
    void Checkpoint();

    std::string path_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool asked_ = false;
    bool stop_ = false;
    std::atomic<uint64_t> checkpoints_{0};
};

} // namespace corvane
