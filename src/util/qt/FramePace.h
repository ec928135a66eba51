// The views catch up with the store at most once per frame of the screen: a busy receiver may
// change rows many times between two frames, and painting each change would spend the time the
// store needs. Views ask for a catch-up; the pace gathers every ask of a frame into one turn of
// the event loop, so that the list and the tree repaint together.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <functional>
#include <vector>

namespace corvane {

class TFramePace : public QObject {
public:
    using TClock = std::chrono::steady_clock;

    // The one pace of the program, created on first use.
    static TFramePace& Instance();

    // Runs `flush` in the next frame's turn, unless the owner has gone by then; an owner that has
    // asked already is not asked for again.
    void Ask(QObject* owner, std::function<void()> flush);
    // The shortest time between two catch-ups: one frame of the primary screen unless set.
    // Zero catches up in the next turn, as tests that look after every turn need.
    void SetInterval(std::chrono::milliseconds interval);
    std::chrono::milliseconds Interval() const { return interval_; }

private:
    TFramePace();
    void Run();

    struct TAsk {
        QPointer<QObject> Owner;
        std::function<void()> Flush;
    };
    std::vector<TAsk> asks_;
    QTimer timer_;
    std::chrono::milliseconds interval_;
    TClock::time_point last_{};
};

} // namespace corvane
