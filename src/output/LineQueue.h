// Log lines for a descriptor that a reader may stop reading (the service's standard output on a
// pipe). A thread of its own writes them, so a full pipe never holds up the caller: at most
// Capacity lines wait, lines beyond them are dropped and counted, and once the descriptor takes
// data again one line says how many went.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace corvane {

class TLineQueue {
public:
    // Makes a message into the line written (without its line end), e.g. stamped with the time.
    // Called on the caller's thread for every message and on the writer's for the dropped-lines
    // line, so it must be safe on both.
    using TStamp = std::function<std::string(std::string_view message)>;
    // What the destructor gives the writer: enough for any backlog a descriptor that takes data
    // can swallow, short enough for a quit to stay well within a second.
    static constexpr std::chrono::milliseconds DefaultGrace{300};

    TLineQueue(int fd, size_t capacity, TStamp stamp);
    ~TLineQueue();
    TLineQueue(const TLineQueue&) = delete;
    TLineQueue& operator=(const TLineQueue&) = delete;

    // Queues the stamped message; false when it was dropped because the queue is full.
    bool Push(std::string_view message);
    // Gives the writer up to grace to write what waits, then leaves it to itself: a descriptor
    // that takes nothing never holds up the end of the run. Later pushes are dropped.
    void Stop(std::chrono::milliseconds grace);
    // Every line dropped so far.
    uint64_t Dropped() const;

    // "<n> log lines dropped: standard output is not being read"
    static std::string DroppedText(uint64_t count);

private:
    struct TShared;
    static void Write(const std::shared_ptr<TShared>& shared);

    // Shared with the writer, which may outlive this object when its descriptor stays blocked.
    std::shared_ptr<TShared> shared_;
    std::thread writer_;
};

} // namespace corvane
