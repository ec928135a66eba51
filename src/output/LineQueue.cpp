#include "output/LineQueue.h"

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <unistd.h>
#include <utility>

#include "util/FileWrite.h"

namespace corvane {

struct TLineQueue::TShared {
    int Fd;
    size_t Capacity;
    TStamp Stamp;
    std::mutex Mutex;
    std::condition_variable Wake; // lines queued, or the end asked for
    std::condition_variable Done; // the writer has finished
    std::deque<std::string> Lines;
    uint64_t DroppedSince = 0; // since the last dropped-lines line
    uint64_t DroppedTotal = 0;
    bool Stopping = false;
    bool Abandoned = false; // the owner has gone: no more stamps
    bool Finished = false;
    bool Broken = false; // the descriptor failed: what comes is thrown away
};

TLineQueue::TLineQueue(int fd, size_t capacity, TStamp stamp)
    : shared_(std::make_shared<TShared>()) {
    shared_->Fd = fd;
    shared_->Capacity = capacity;
    shared_->Stamp = std::move(stamp);
    writer_ = std::thread(Write, shared_);
}

TLineQueue::~TLineQueue() {
    Stop(DefaultGrace);
}

bool TLineQueue::Push(std::string_view message) {
    std::string line = shared_->Stamp(message);
    line += '\n';
    {
        const std::lock_guard<std::mutex> lock(shared_->Mutex);
        if (shared_->Stopping || shared_->Lines.size() >= shared_->Capacity) {
            ++shared_->DroppedSince;
            ++shared_->DroppedTotal;
            return false;
        }
        shared_->Lines.push_back(std::move(line));
    }
    shared_->Wake.notify_one();
    return true;
}

void TLineQueue::Stop(std::chrono::milliseconds grace) {
    if (!writer_.joinable())
        return;
    std::unique_lock<std::mutex> lock(shared_->Mutex);
    shared_->Stopping = true;
    shared_->Wake.notify_one();
    const bool finished = shared_->Done.wait_for(lock, grace, [&] { return shared_->Finished; });
    shared_->Abandoned = true;
    lock.unlock();
    if (finished)
        writer_.join();
    else
        writer_.detach(); // blocked in a write; the process's end takes it away
}

uint64_t TLineQueue::Dropped() const {
    const std::lock_guard<std::mutex> lock(shared_->Mutex);
    return shared_->DroppedTotal;
}

std::string TLineQueue::DroppedText(uint64_t count) {
    return std::to_string(count) + " log lines dropped: standard output is not being read";
}

void TLineQueue::Write(const std::shared_ptr<TShared>& shared) {
    TShared& s = *shared;
    std::unique_lock<std::mutex> lock(s.Mutex);
    for (;;) {
        s.Wake.wait(lock, [&] { return !s.Lines.empty() || s.Stopping; });
        if (s.Lines.empty() || s.Abandoned)
            break;
        std::deque<std::string> batch;
        batch.swap(s.Lines);
        // Lines are dropped only while the queue is full, so every drop counted here came after
        // the whole batch and before anything queued from now on.
        const uint64_t dropped = std::exchange(s.DroppedSince, 0);
        lock.unlock();
        std::string text;
        for (const std::string& line : batch)
            text += line;
        bool written = !s.Broken && WriteAll(s.Fd, text);
        lock.lock();
        if (!written)
            s.Broken = true;
        if (dropped == 0 || s.Broken || s.Abandoned)
            continue;
        // The descriptor has taken data again: say what it missed, stamped now.
        const std::string notice = s.Stamp(DroppedText(dropped)) + '\n';
        lock.unlock();
        written = WriteAll(s.Fd, notice);
        lock.lock();
        s.Broken = s.Broken || !written;
    }
    s.Finished = true;
    s.Done.notify_all();
}

} // namespace corvane
