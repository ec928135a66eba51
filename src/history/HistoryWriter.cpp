#include "history/HistoryWriter.h"

#include <algorithm>
#include <sys/stat.h>

#include "history/HistoryTables.h"
#include "history/HistoryTime.h"
#include "util/ThreadPriority.h"

namespace corvane {

namespace {

constexpr size_t kAlertsMax = 10000;
constexpr auto kHousekeepingEvery = std::chrono::seconds(1);

unsigned long long InodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<unsigned long long>(st.st_ino) : 0;
}

} // namespace

THistoryWriter::THistoryWriter(std::unique_ptr<THistoryFile> file, THistorySettings settings,
                               THistoryRun run, TLog log)
    : file_(std::move(file)), settings_(settings), run_(std::move(run)), log_(std::move(log)),
      path_(file_->Path()), checkpointer_(path_), wallMs_(run_.StartWallMs) {}

THistoryWriter::~THistoryWriter() {
    Stop();
}

int64_t THistoryWriter::Wall() const {
    return wallMs_.load();
}

THistoryWriter::TClockPoint THistoryWriter::Steady() const {
    return SteadyNow ? SteadyNow() : std::chrono::steady_clock::now();
}

bool THistoryWriter::Start() {
    tables_ = std::make_unique<THistoryTables>(file_->Db());
    int64_t id = -1;
    if (!tables_->Load() || !tables_->BeginRun(run_, id)) {
        Say("History database: " + tables_->Error() + "; not recording");
        Poll();
        return false;
    }
    runId_ = id;
    inode_ = InodeOf(path_);
    checkpointer_.Watch(file_->Db().Handle());
    if (file_->CheckLater())
        check_ = std::make_unique<THistoryCheck>(path_);
    ring_.resize(QueueMax);
    batch_.reserve(BatchMax);
    started_ = true;
    thread_ = std::thread([this] {
        SetThisThreadNice(kBackgroundNice);
        NameThisThread("history writer");
        Loop();
    });
    return true;
}

void THistoryWriter::Stop() {
    if (!started_)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
    check_.reset();
    checkpointer_.Stop();
    started_ = false;
    // Tried even while paused: the disk may have room again. A run whose end is not in the file
    // counts as stopped uncleanly, when it was last alive.
    if (tables_ && !tables_->EndRun(runId_, Wall()) && !paused_.load())
        Say("History database: " + tables_->Error() + "; the run's end is not recorded");
    tables_.reset();
    file_->Close();
}

bool THistoryWriter::Push(const THistoryRead& read) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (count_ >= QueueMax || !started_) {
        ++behind_;
        return false;
    }
    ring_[(head_ + count_) % QueueMax] = read;
    ++pushed_;
    if (++count_ == BatchMax)
        wake_.notify_one();
    return true;
}

void THistoryWriter::PushAlert(const THistoryAlert& alert) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (alerts_.size() < kAlertsMax)
        alerts_.push_back(alert);
}

void THistoryWriter::Flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!started_)
        return;
    const uint64_t target = pushed_;
    flushTo_ = std::max(flushTo_, target);
    wake_.notify_one();
    done_.wait(lock, [&] { return handled_ >= target; });
}

void THistoryWriter::Poll() {
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> lock(eventsMutex_);
        lines.swap(events_);
    }
    for (const std::string& line : lines)
        if (log_)
            log_(line);
    uint64_t behind = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (behind_ > 0 && count_ < QueueMax) {
            behind = behind_;
            behind_ = 0;
        }
    }
    if (behind > 0) {
        behindTotal_ += behind;
        if (log_)
            log_("History database is behind: " + std::to_string(behind) + " reads not recorded");
    }
}

void THistoryWriter::Say(std::string line) {
    std::lock_guard<std::mutex> lock(eventsMutex_);
    events_.push_back(std::move(line));
}

void THistoryWriter::Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        // Reads that came while the last batch was written wait for the next BatchMs like any
        // other; only a flush has them written at once.
        wake_.wait_for(lock, std::chrono::milliseconds(BatchMs),
                       [&] { return stop_ || count_ >= BatchMax || handled_ < flushTo_; });
        const bool stopping = stop_;
        TakeBatch(lock);
        lock.unlock();
        WriteTaken();
        Housekeeping();
        lock.lock();
        handled_ += batch_.size();
        done_.notify_all();
        if (stopping && count_ == 0)
            return;
    }
}

// The reads are copied with the queue unlocked, so that the intake never waits for the copy:
// their slots stay counted until they are released, and Push writes only to slots past them.
bool THistoryWriter::TakeBatch(std::unique_lock<std::mutex>& lock) {
    const size_t n = count_ < BatchMax ? count_ : BatchMax;
    const size_t head = head_;
    batchAlerts_.clear();
    batchAlerts_.swap(alerts_);
    lock.unlock();
    batch_.clear();
    for (size_t i = 0; i < n; ++i)
        batch_.push_back(ring_[(head + i) % QueueMax]);
    lock.lock();
    head_ = (head_ + n) % QueueMax;
    count_ -= n;
    return n > 0;
}

void THistoryWriter::WriteTaken() {
    if (batch_.empty() && batchAlerts_.empty())
        return;
    if (paused_.load()) {
        notRecorded_ += batch_.size();
        return;
    }
    if (BeforeBatch)
        BeforeBatch(file_->Db());
    if (tables_->WriteBatch(runId_, batch_, batchAlerts_, Wall())) {
        recorded_ += batch_.size();
        return;
    }
    notRecorded_ += batch_.size();
    Pause(tables_->Error());
}

void THistoryWriter::Pause(const std::string& reason) {
    paused_ = true;
    retryAt_ = Steady() + std::chrono::seconds(RetrySec);
    Say("History database: " + reason + "; recording paused");
}

bool THistoryWriter::FileStillThere() {
    return InodeOf(path_) == inode_ && inode_ != 0;
}

// A removed file is made anew, with this run's row in it again; a file that is still there is
// tried with the write that failed last time being retried by the next batch.
bool THistoryWriter::Resume() {
    retryAt_ = Steady() + std::chrono::seconds(RetrySec);
    std::vector<std::string> lines;
    const bool ok = FileStillThere() && tables_ ? tables_->Load() : Renew(lines, false, {});
    for (std::string& line : lines)
        Say(std::move(line));
    if (!ok)
        return false;
    if (BeforeBatch)
        BeforeBatch(file_->Db());
    if (!tables_->WriteBatch(runId_, {}, {}, Wall()))
        return false;
    paused_ = false;
    Say("History database recording again");
    return true;
}

// The file made anew, with this run's row in it again: when it was removed, or found damaged
// by the quick check after the start (then put aside first, as at start).
bool THistoryWriter::Renew(std::vector<std::string>& lines, bool damaged, const std::string& why) {
    tables_.reset();
    TSystemClock clock;
    const THistoryOpen opened =
        damaged ? file_->Replace(clock, lines, why) : file_->Open(path_, clock, lines);
    if (opened != THistoryOpen::Recording)
        return false;
    inode_ = InodeOf(path_);
    checkpointer_.Watch(file_->Db().Handle());
    tables_ = std::make_unique<THistoryTables>(file_->Db());
    int64_t id = -1;
    if (!tables_->Load() || !tables_->BeginRun(run_, id))
        return false;
    runId_ = id;
    return true;
}

// What was recorded before the check found the file damaged goes aside with it.
void THistoryWriter::TakeCheckResult() {
    if (!check_ || !check_->Done())
        return;
    const std::string result = check_->Result();
    check_.reset();
    if (result.empty() || result == "ok")
        return;
    std::vector<std::string> lines;
    const bool ok = Renew(lines, true, result);
    for (std::string& line : lines)
        Say(std::move(line));
    if (ok) {
        paused_ = false;
        return;
    }
    Pause(tables_ ? tables_->Error() : "the damaged file cannot be made anew");
}

void THistoryWriter::Housekeeping() {
    TakeCheckResult();
    if (paused_.load()) {
        if (Steady() >= retryAt_)
            Resume();
        return;
    }
    const TClockPoint now = Steady();
    if (now < nextHousekeeping_)
        return;
    if (!FileStillThere()) {
        Pause("the file was removed");
        return;
    }
    Prune();
}

// One step at a time, between batches; while a limit is still passed the next step follows
// after the next batch rather than after a second.
void THistoryWriter::Prune() {
    const int64_t keepBefore = Wall() - int64_t{settings_.KeepDays} * 86400000;
    const int64_t maxBytes = settings_.MaxMB * 1024 * 1024;
    const TClockPoint start = std::chrono::steady_clock::now();
    bool more = false;
    int32_t deleted = 0;
    if (!tables_->PruneStep(keepBefore, maxBytes, pruneStep_, more, deleted)) {
        Pause(tables_->Error());
        return;
    }
    const auto took = std::chrono::steady_clock::now() - start;
    if (more && took > std::chrono::milliseconds(PruneStepMs / 2) && pruneStep_ > 100)
        pruneStep_ /= 2;
    else if (more && took < std::chrono::milliseconds(PruneStepMs / 4) && pruneStep_ < 50000)
        pruneStep_ *= 2;
    nextHousekeeping_ = more ? TClockPoint{} : Steady() + kHousekeepingEvery;
}

} // namespace corvane
