#include "util/qt/FramePace.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace corvane {

namespace {

std::chrono::milliseconds ScreenFrame() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double rate = screen ? screen->refreshRate() : 0;
    // A screen that reports no rate, or an absurd one, is taken as the common 60 Hz.
    const double hz = rate >= 20 && rate <= 500 ? rate : 60;
    return std::chrono::milliseconds(static_cast<int>(1000 / hz));
}

} // namespace

TFramePace& TFramePace::Instance() {
    static TFramePace* pace = new TFramePace; // lives as long as the program's event loop
    return *pace;
}

TFramePace::TFramePace() : interval_(ScreenFrame()) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TFramePace::Run);
}

void TFramePace::SetInterval(std::chrono::milliseconds interval) {
    interval_ = std::max(interval, std::chrono::milliseconds(0));
}

void TFramePace::Ask(QObject* owner, std::function<void()> flush) {
    const bool known = std::any_of(asks_.begin(), asks_.end(),
                                   [owner](const TAsk& a) { return a.Owner == owner; });
    if (!known)
        asks_.push_back({owner, std::move(flush)});
    if (timer_.isActive())
        return;
    // After a quiet spell the first change shows in the next turn; within a frame of the last
    // catch-up it waits for the rest of the frame.
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - last_);
    timer_.start(std::max(interval_ - since, std::chrono::milliseconds(0)));
}

void TFramePace::Run() {
    last_ = TClock::now();
    // A flush may ask again (a re-sort that repaints): that ask belongs to the next frame.
    std::vector<TAsk> due;
    due.swap(asks_);
    for (const TAsk& a : due)
        if (a.Owner)
            a.Flush();
}

} // namespace corvane
