#include "history/HistoryCheckpointer.h"

#include <sqlite3.h>

#include "history/Sqlite.h"
#include "util/ThreadPriority.h"

namespace corvane {

THistoryCheckpointer::THistoryCheckpointer(std::string path) : path_(std::move(path)) {}

THistoryCheckpointer::~THistoryCheckpointer() {
    Stop();
}

void THistoryCheckpointer::Watch(sqlite3* writer) {
    // The hook replaces SQLite's own checkpoint after a commit.
    sqlite3_wal_hook(writer, &THistoryCheckpointer::OnCommit, this);
    const std::string limit = "PRAGMA journal_size_limit=" + std::to_string(LogKeepBytes);
    sqlite3_exec(writer, limit.c_str(), nullptr, nullptr, nullptr);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!thread_.joinable()) {
        stop_ = false;
        thread_ = std::thread([this] {
            SetThisThreadNice(kBackgroundNice);
            NameThisThread("history ckpt");
            Loop();
        });
    }
}

void THistoryCheckpointer::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

int THistoryCheckpointer::OnCommit(void* self, sqlite3*, const char*, int pages) {
    if (pages >= LogPages) {
        auto* me = static_cast<THistoryCheckpointer*>(self);
        {
            std::lock_guard<std::mutex> lock(me->mutex_);
            me->asked_ = true;
        }
        me->wake_.notify_one();
    }
    return SQLITE_OK;
}

void THistoryCheckpointer::Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || asked_; });
        if (stop_)
            return;
        asked_ = false;
        lock.unlock();
        Checkpoint();
        lock.lock();
    }
}

// A connection of its own for each checkpoint: it never creates the file, so a file removed
// under the run is not made anew here (the writer does that), and one made anew is the one
// copied into.
void THistoryCheckpointer::Checkpoint() {
    TSqlite db;
    if (!db.Open(path_, false))
        return;
    sqlite3_busy_timeout(db.Handle(), 1000);
    // A connection that has read nothing has not opened the log yet: SQLite then answers a
    // checkpoint with OK and copies nothing, and the log grew without end. One read opens it.
    if (db.QueryInt("PRAGMA schema_version") < 0)
        return;
    // Passive: it copies what no reader still needs and never waits for the writer.
    int logPages = -1, copied = -1;
    if (sqlite3_wal_checkpoint_v2(db.Handle(), "main", SQLITE_CHECKPOINT_PASSIVE, &logPages,
                                  &copied) == SQLITE_OK &&
        copied >= 0)
        ++checkpoints_;
}

} // namespace corvane
