// Whether a station's clock agrees with this run's: each line's own time (as the station
// stamped it) against its arrival here. One late line says little (a broker's queue, a busy
// moment); the median of the last Window lines is what is judged, so only a clock that really
// differs by more than ToleranceSec counts, and each change of the judged difference is said
// once. Qt-free, fixed storage.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace corvane {

class TStationClock {
public:
    static constexpr size_t Window = 100;
    static constexpr double ToleranceSec = 2.0;

    // One line: the station's instant minus its arrival here, in seconds.
    void Note(double differenceSec);
    // The judged difference in whole seconds (0 while within the tolerance) when it changed
    // since the last call that returned true; the first lines judge nothing until there are a
    // few of them.
    bool Changed(int& seconds);
    // The median of the lines noted; 0 before any.
    double Median() const;

private:
    std::array<double, Window> samples_{};
    size_t count_ = 0;
    size_t next_ = 0;
    int reported_ = 0;
};

// "Station <name> clock differs by <n> s", or "... agrees again" for 0.
std::string StationClockText(const std::string& name, int seconds);

} // namespace corvane
