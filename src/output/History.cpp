#include "output/History.h"

#include "store/ActivityStore.h"

namespace corvane {

bool LoadHistory(const TStore& store, uint16_t row, TDateTime now, THistory& history) {
    if (row >= store.SensorCount || row >= MaxSensors)
        return false;
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

} // namespace corvane
