#include "output/History.h"

#include <algorithm>

#include "store/ActivityStore.h"

namespace corvane {

namespace {
// Names past this many would reach the index that stands for none.
constexpr size_t kMaxEntryNames = 0xFFFF;
} // namespace

uint16_t THistory::EntryIndex(std::string_view name) {
    const auto at = std::find(EntryNames.begin(), EntryNames.end(), name);
    if (at != EntryNames.end() && at - EntryNames.begin() != NoIndex)
        return static_cast<uint16_t>(at - EntryNames.begin());
    if (EntryNames.size() == NoIndex)
        EntryNames.emplace_back(); // the index of none holds no name
    if (EntryNames.size() >= kMaxEntryNames)
        return NoIndex;
    EntryNames.emplace_back(name);
    return static_cast<uint16_t>(EntryNames.size() - 1);
}

void THistory::Clear() {
    Rows.clear();
    EntryNames.clear();
    FixedSpan = false;
    SpanFrom = SpanTo = LocalOffset = 0;
    NotListening.clear();
}

bool LoadHistory(const TStore& store, uint16_t row, TDateTime now, THistory& history) {
    if (row >= store.SensorCount || row >= MaxSensors)
        return false;
    history.EntryNames.resize(std::max<size_t>(history.EntryNames.size(), MaxEntries));
    for (int e = 0; e < MaxEntries; ++e)
        history.EntryNames[e].assign(store.Entries[e].Name.View());
    const TSensor& s = store.Sensors[row];
    history.AvgGap = s.Stats.AvgGap;
    TDateTime previous = now;
    // A chain never holds more reads than the ring; the bound keeps a damaged chain from looping.
    int32_t left = MaxReads;
    for (int32_t n = s.Newest; n >= 0 && n < MaxReads && left-- > 0;) {
        const TRead& read = store.Reads[n];
        THistRead h;
        h.Time = read.Time;
        h.Shown = store.Clock().ToLocal(read.Wall);
        h.Gap = SecondsDiff(read.Time, previous);
        h.Entry = read.Entry < MaxEntries ? read.Entry : NoIndex;
        h.Repeater = read.Repeat < MaxRepeats ? store.Repeats[read.Repeat].Id : '\0';
        h.Dup = store.IsDuplicate(read.SensorOlder, n);
        history.Rows.push_back(h);
        previous = read.Time;
        n = read.SensorOlder;
    }
    return true;
}

void AddNewerReads(THistory& history, std::vector<THistRead>& reads, TDateTime now) {
    if (reads.empty())
        return;
    if (!history.Rows.empty())
        history.Rows.front().Gap = SecondsDiff(history.Rows.front().Time, reads.front().Time);
    for (size_t k = 0; k + 1 < reads.size(); ++k)
        reads[k].Gap = SecondsDiff(reads[k].Time, reads[k + 1].Time);
    reads.back().Gap = SecondsDiff(reads.back().Time, now);
    history.Rows.insert(history.Rows.begin(), reads.rbegin(), reads.rend());
}

} // namespace corvane
