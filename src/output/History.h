// What the history window holds of one sensor: its reads as the ring had them when the window
// was filled, or as the history database keeps them over a span of time, newest first, with
// everything its table, its timeline, Copy and Export show.
#pragma once

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
    uint16_t Entry;  // index into THistory::EntryNames, NoIndex without an entry point
    char Repeater;   // the repeater's Id, '\0' without one
    bool Dup;        // repeats the read before it, as the statistics count it
};

// A stretch of the run's time line, From before To.
struct TTimeSpan {
    TDateTime From;
    TDateTime To;
};

struct THistory {
    std::vector<THistRead> Rows;
    // The entry points' names the rows use (8-bit text). The reads held name them by the store's
    // index, so the first MaxEntries are the store's names when the window was filled and the
    // snapshot stays one; names the store does not hold (a stored read's, a renamed entry point)
    // follow them. Index NoIndex means none and is never a name's.
    std::vector<std::string> EntryNames;
    // The sensor's average gap in seconds, as its statistics have it (0 without one).
    float AvgGap = 0;
    // Reads from the history database cover a span of their own, which the timeline shows whole
    // whatever reads it holds; without one (the reads held) the reads' own span is shown.
    bool FixedSpan = false;
    TDateTime SpanFrom = 0; // on the run's time line
    TDateTime SpanTo = 0;
    // Local date-time less the time line when the span was loaded, for the axis of a span
    // without reads.
    TDateTime LocalOffset = 0;
    // Where in the span no run was listening, oldest first and apart.
    std::vector<TTimeSpan> NotListening;

    std::string_view EntryName(const THistRead& read) const {
        return read.Entry != NoIndex && read.Entry < EntryNames.size()
                   ? std::string_view(EntryNames[read.Entry])
                   : std::string_view();
    }
    bool HasEntry(const THistRead& read) const { return read.Entry != NoIndex; }
    // The index of a name among EntryNames, added at their end when new; NoIndex when the names
    // are full.
    uint16_t EntryIndex(std::string_view name);
    void Clear();
};

// Appends the sensor's reads, newest first, with their gaps measured from now; a row that is
// not in use appends nothing and returns false.
bool LoadHistory(const TStore& store, uint16_t row, TDateTime now, THistory& history);

// Puts reads registered since the history was filled on top of it, newest first: the newest
// gets its gap to now, every other its gap to the read above it, the old top row among them.
// reads are oldest first; their gaps are set here.
void AddNewerReads(THistory& history, std::vector<THistRead>& reads, TDateTime now);

} // namespace corvane
