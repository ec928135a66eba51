// Recording into the history database on a thread of its own, so that the intake never waits
// for the disk. The intake appends reads to a bounded queue; the writer takes them in batches of
// at most BatchMax reads or BatchMs milliseconds, one transaction each. When the queue is full
// the read is not recorded but counted, and the log says so once the episode is over. A write
// that fails (a full disk, an I/O error, the file removed) pauses the recording; it is tried
// again every RetrySec seconds, making the file anew when it is gone.
// Qt-free; what the writer has to say reaches the log from Poll, on the intake's thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "history/HistoryCheck.h"
#include "history/HistoryCheckpointer.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecord.h"

namespace corvane {

class THistoryTables;

class THistoryWriter {
public:
    static constexpr size_t QueueMax = 32768;
    static constexpr size_t BatchMax = 5000;
    static constexpr int BatchMs = 100;
    static constexpr int RetrySec = 60;
    // A prune step deletes this many reads at first, and adapts so that one step keeps the
    // writer from its queue for at most PruneStepMs.
    static constexpr int32_t PruneStepFirst = 2000;
    static constexpr int PruneStepMs = 20;

    using TLog = std::function<void(std::string_view)>;
    // The file must be open for recording (THistoryOpen::Recording).
    THistoryWriter(std::unique_ptr<THistoryFile> file, THistorySettings settings, THistoryRun run,
                   TLog log);
    ~THistoryWriter();
    THistoryWriter(const THistoryWriter&) = delete;
    THistoryWriter& operator=(const THistoryWriter&) = delete;

    // Writes this run's row and starts the thread; false (with a log line) when the file
    // refuses even that.
    bool Start();
    // Records what is queued, marks the run as stopped cleanly and ends the thread.
    void Stop();

    // Intake: false when the queue is full and the read is not recorded.
    bool Push(const THistoryRead& read);
    void PushAlert(const THistoryAlert& alert);
    // Intake: delivers the writer's log lines and says when an episode of a full queue ended.
    void Poll();
    // Intake: the wall clock now, which the pruning and the run's alive instant go by. Until
    // told, the run's start.
    void SetWallNow(int64_t wallMs) { wallMs_ = wallMs; }
    // Waits until every read pushed so far is written or given up; for tests and benchmarks.
    void Flush();

    int64_t RunId() const { return runId_; }
    const THistoryRun& Run() const { return run_; }
    uint64_t Recorded() const { return recorded_.load(); }
    uint64_t Checkpoints() const { return checkpointer_.Checkpoints(); }
    uint64_t NotRecorded() const { return notRecorded_.load() + behindTotal_.load(); }
    bool Paused() const { return paused_.load(); }
    const std::string& Path() const { return path_; }

    // Test seams, set before Start. BeforeBatch runs on the writer's thread with its connection
    // before each batch (a test makes the disk full with PRAGMA max_page_count); SteadyNow is
    // the clock of the retries.
    std::function<void(TSqlite&)> BeforeBatch;
    std::function<std::chrono::steady_clock::time_point()> SteadyNow;

private:
    using TClockPoint = std::chrono::steady_clock::time_point;
    void Loop();
    bool TakeBatch(std::unique_lock<std::mutex>& lock);
    void WriteTaken();
    void Pause(const std::string& reason);
    bool Resume();
    void TakeCheckResult();
    bool Renew(std::vector<std::string>& lines, bool damaged, const std::string& why);
    bool FileStillThere();
    void Housekeeping();
    void Prune();
    void Say(std::string line);
    int64_t Wall() const;
    TClockPoint Steady() const;

    std::unique_ptr<THistoryFile> file_;
    std::unique_ptr<THistoryTables> tables_;
    THistorySettings settings_;
    THistoryRun run_;
    TLog log_;
    std::string path_;
    THistoryCheckpointer checkpointer_;
    std::atomic<int64_t> runId_{-1};
    std::thread thread_;
    bool started_ = false;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::vector<THistoryRead> ring_;
    size_t head_ = 0;
    size_t count_ = 0;
    std::vector<THistoryAlert> alerts_;
    bool stop_ = false;
    uint64_t pushed_ = 0;  // reads taken into the queue
    uint64_t handled_ = 0; // of those, written or given up
    uint64_t flushTo_ = 0; // a flush waits until handled_ is here
    uint64_t behind_ = 0;  // refused since the queue was last found with room

    // Writer thread only.
    std::vector<THistoryRead> batch_;
    std::vector<THistoryAlert> batchAlerts_;
    TClockPoint retryAt_{};
    TClockPoint nextHousekeeping_{};
    int32_t pruneStep_ = PruneStepFirst;
    unsigned long long inode_ = 0;
    std::unique_ptr<THistoryCheck> check_; // a large file's quick check, while it runs

    std::atomic<int64_t> wallMs_{0};
    std::atomic<bool> paused_{false};
    std::atomic<uint64_t> recorded_{0};
    std::atomic<uint64_t> notRecorded_{0};
    std::atomic<uint64_t> behindTotal_{0};
    std::mutex eventsMutex_;
    std::vector<std::string> events_;
};

} // namespace corvane
