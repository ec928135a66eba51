// What the history window holds of one sensor: its reads as the ring had them when the window
// was filled, newest first, with everything its table, its timeline, Copy and Export show.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/Store.h"
#include "util/untTime.h"

namespace corvane {

class TStore;

struct THistRead {
    TDateTime Time;  // on the run's time line: positions and gaps
    TDateTime Shown; // local date-time, as the table shows it
    int32_t Gap;     // whole seconds to the read above (the first: to the moment of filling)
    uint8_t Entry;   // entry-point index or NoIndex
    char Repeater;   // the repeater's Id, '\0' without one
    bool Dup;        // repeats the read before it, as the statistics count it
};

struct THistory {
    std::vector<THistRead> Rows;
    // The entry points' names when the window was filled, so that the snapshot stays one.
    std::array<std::string, MaxEntries> EntryNames;
    // The sensor's average gap in seconds, as its statistics have it (0 without one).
    float AvgGap = 0;

    std::string_view EntryName(const THistRead& read) const {
        return read.Entry < MaxEntries ? std::string_view(EntryNames[read.Entry])
                                       : std::string_view();
    }
    void Clear() { Rows.clear(); }
};

// Appends the sensor's reads, newest first, with their gaps measured from now; a row that is
// not in use appends nothing and returns false.
bool LoadHistory(const TStore& store, uint16_t row, TDateTime now, THistory& history);

} // namespace corvane
