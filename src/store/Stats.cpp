// A sensor's figures are recomputed from its chain whenever the chain changes, together with the
// same figures restricted to one repeater and one entry point; then every view that shows them is
// told.
#include <cmath>

#include "store/ActivityStore.h"
#include "store/ChainWalk.h"
#include "util/TextBuffer.h"

namespace corvane {

int32_t SecondsDiff(TDateTime earlier, TDateTime later) {
    const double d = later - earlier;
    if (!(std::fabs(d) < 2147483647.0 / 86400.0))
        return 2147483647;
    return static_cast<int32_t>(d * 86400.0 + 0.5);
}

void ResetStats(TStats& stats) {
    stats = TStats{};
}

float MeanGap(const uint16_t* buffer, int n) {
    if (n <= 0)
        return 0;
    float sum = 0;
    for (int i = 0; i < n; ++i)
        sum += static_cast<float>(buffer[i]);
    return sum / static_cast<float>(n);
}

bool TStore::IsDuplicate(int32_t older, int32_t newer) const {
    if (older == NoRead || newer == NoRead)
        return false;
    const TRead& a = Reads[older];
    const TRead& b = Reads[newer];
    if (Settings.DuplicateCRCCheck && a.Crc != b.Crc)
        return false;
    return SecondsDiff(a.Time, b.Time) <= Settings.DuplicateTimeSec;
}

namespace {

struct TCounting {
    TStats& Stats;
    uint16_t Gaps[8] = {};

    void Count(TDateTime time, TDateTime wall, bool duplicate) {
        TStats& t = Stats;
        if (t.Count != 0 && !duplicate) {
            int32_t diff = SecondsDiff(t.LastTime, time);
            if (diff > 65535)
                diff = 65535;
            const uint16_t g = static_cast<uint16_t>(diff);
            if (g < t.MinGap)
                t.MinGap = g;
            if (g > t.MaxGap)
                t.MaxGap = g;
            // A first counted read that was itself a duplicate leaves Count - Dups - 1 at -1;
            // the position still has to fall inside the buffer.
            const int32_t position = ((t.Count - t.Dups - 1) % 8 + 8) % 8;
            Gaps[position] = g;
        }
        t.LastTime = time;
        t.LastWall = wall;
        ++t.Count;
        if (duplicate)
            ++t.Dups;
    }

    void Finish() {
        int32_t n = Stats.Count - Stats.Dups - 1;
        if (n > 8)
            n = 8;
        Stats.AvgGap = MeanGap(Gaps, n);
        Stats.RunAvg = Stats.AvgGap;
    }
};

} // namespace

void TStore::ComputeStats(uint16_t row, uint8_t repeat, uint8_t entry, TStats& viaRepeat,
                          TStats& viaEntry) {
    TSensor& s = Sensors[row];
    ResetStats(s.Stats);
    ResetStats(viaRepeat);
    ResetStats(viaEntry);
    TCounting own{s.Stats};
    TCounting byRepeat{viaRepeat};
    TCounting byEntry{viaEntry};
    for (int32_t i : Chain(Reads, s.Oldest, &TRead::SensorNewer)) {
        const TRead& r = Reads[i];
        own.Count(r.Time, r.Wall, r.SensorOlder != NoRead && IsDuplicate(r.SensorOlder, i));
        if (repeat != NoIndex && r.Repeat == repeat)
            byRepeat.Count(r.Time, r.Wall,
                           r.RepeatOlder != NoRead && IsDuplicate(r.RepeatOlder, i));
        if (entry != NoIndex && r.Entry == entry)
            byEntry.Count(r.Time, r.Wall, r.EntryOlder != NoRead && IsDuplicate(r.EntryOlder, i));
    }
    own.Finish();
    byRepeat.Finish();
    byEntry.Finish();
}

void TStore::RefreshSensor(uint16_t row, uint8_t repeat, uint8_t entry) {
    TStats viaRepeat;
    TStats viaEntry;
    KeptStats(row, repeat, entry, viaRepeat, viaEntry);
    if (repeat != NoIndex)
        RefreshOwner(TOwnerKind::Repeat, repeat);
    if (entry != NoIndex)
        RefreshOwner(TOwnerKind::Entry, entry);
    const TSensor& s = Sensors[row];
    views_.Tree.StatsChanged(row, TStatsGroup::Statistics, 0, s.Stats);
    views_.List.RowChanged(*this, row, clock_.Now());
    if (entry != NoIndex) {
        const uint8_t k = FindSlot(Entries[entry].Id, s.EntrySlotIds, s.EntrySlotCount);
        if (k != NoIndex)
            views_.Tree.StatsChanged(row, TStatsGroup::Entry, k, viaEntry);
    }
    if (repeat != NoIndex) {
        const uint8_t k = FindSlot(Repeats[repeat].Id, s.RepeatSlotIds, s.RepeatSlotCount);
        if (k != NoIndex)
            views_.Tree.StatsChanged(row, TStatsGroup::Repeat, k, viaRepeat);
    }
}

} // namespace corvane
