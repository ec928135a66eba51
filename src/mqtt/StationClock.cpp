#include "mqtt/StationClock.h"

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {
// Lines before a station's clock is judged at all.
constexpr size_t kFirstJudged = 10;
} // namespace

void TStationClock::Note(double differenceSec) {
    if (!std::isfinite(differenceSec))
        return;
    samples_[next_] = differenceSec;
    next_ = (next_ + 1) % Window;
    count_ = std::min(count_ + 1, Window);
}

double TStationClock::Median() const {
    if (count_ == 0)
        return 0;
    std::array<double, Window> sorted = samples_;
    auto mid = sorted.begin() + count_ / 2;
    std::nth_element(sorted.begin(), mid, sorted.begin() + count_);
    return *mid;
}

bool TStationClock::Changed(int& seconds) {
    if (count_ < kFirstJudged)
        return false;
    const double median = Median();
    const int judged = std::fabs(median) <= ToleranceSec
                           ? 0
                           : int(std::clamp(std::lround(median), -(1L << 30), 1L << 30));
    // A median near a half second must not say a new difference with every line: a judged
    // difference changes only once the median has moved a whole second from it.
    if (judged == reported_ ||
        (judged != 0 && reported_ != 0 && std::fabs(median - reported_) < 1.0))
        return false;
    reported_ = judged;
    seconds = judged;
    return true;
}

std::string StationClockText(const std::string& name, int seconds) {
    if (seconds == 0)
        return "Station " + name + " clock agrees again";
    return "Station " + name + " clock differs by " + std::to_string(seconds) + " s";
}

} // namespace corvane
