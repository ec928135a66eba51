// The store as a sliding window over time: old reads expire, silent sensors age, and entry points
// and repeaters report their recent activity.
#include "store/ActivityStore.h"
#include "store/ChainWalk.h"
#include "util/TextBuffer.h"

namespace corvane {

void TStore::ExpireTick() {
    // A refresh is put off while the next expired read belongs to the same sensor, repeater and
    // entry point: the next refresh sets exactly the same texts again, so only the last one of
    // such a run shows. A sensor with a long chain then costs one walk per tick, not one per read.
    bool pending = false;
    uint16_t row = 0;
    uint8_t repeat = NoIndex;
    uint8_t entry = NoIndex;
    while (ReadCount > 0 && SecondsDiff(Reads[ReadTail].Time, clock_.Now()) > Settings.MaxAge) {
        const bool equal = ReadTail == ReadHead;
        const bool wrap = ReadTail == MaxReads - 1;
        int32_t next = ReadTail + 1;
        if (equal || wrap) {
            TTextBuffer<32> text;
            text.Append("Equal: ").Append(equal ? "True" : "False");
            text.Append(" Wrap: ").Append(wrap ? "True" : "False");
            views_.Shell.AddLogLine(text.View());
            next = 0;
        }
        const TRead& r = Reads[ReadTail];
        if (pending && (r.Sensor != row || r.Repeat != repeat || r.Entry != entry))
            RefreshSensor(row, repeat, entry);
        pending = true;
        row = r.Sensor;
        repeat = r.Repeat;
        entry = r.Entry;
        UnlinkOldest();
        ReadTail = next;
        if (ReadCount == 0)
            ReadHead = 0;
    }
    if (pending)
        RefreshSensor(row, repeat, entry);
    AgeRows(clock_.Now());
    Alerts.Judge(clock_.Now());
}

void TStore::AgeRows(TDateTime now) {
    // A weight below 1 would divide by zero or flip the sign; it counts as 1 (no blending).
    const int32_t p = Settings.Points2Average < 1 ? 1 : Settings.Points2Average;
    views_.List.BeginAgeing();
    for (uint16_t row = 0; row < SensorCount; ++row) {
        TStats& st = Sensors[row].Stats;
        if (st.Count <= 0)
            continue;
        const int32_t age = SecondsDiff(st.LastTime, now);
        const bool moved = static_cast<float>(age) > st.AvgGap;
        if (moved) {
            if (st.Count == 1)
                st.RunAvg = static_cast<float>(age);
            else
                st.RunAvg =
                    static_cast<float>(((p - 1) * static_cast<double>(st.AvgGap) + age) / p);
        }
        views_.List.RowAged(*this, row, moved, age);
    }
    views_.List.EndAgeing();
}

int32_t TStore::RecentCount(TOwnerKind kind, uint8_t index, int minutes, TDateTime now) {
    const bool entry = kind == TOwnerKind::Entry;
    const int32_t newest = entry ? Entries[index].Newest : Repeats[index].Newest;
    auto olderOf = [&](int32_t i) { return entry ? Reads[i].EntryOlder : Reads[i].RepeatOlder; };
    auto newerOf = [&](int32_t i) { return entry ? Reads[i].EntryNewer : Reads[i].RepeatNewer; };
    const double window = minutes / 1440.0;
    auto exceeds = [&](int32_t i) { return now - Reads[i].Time > window; };

    if (disorderedReads_ > 0) {
        // Times out of order: only the plain walk from the newest read gives the right count.
        int32_t count = 0;
        for (int32_t i : Chain(Reads, newest, entry ? &TRead::EntryOlder : &TRead::RepeatOlder)) {
            if (exceeds(i))
                break;
            ++count;
        }
        return count;
    }
    // In time order the reads within the window are the chain's newest ones, so a cursor on the
    // oldest of them only moves as far as time and the chain have moved since the last count.
    TRecentCursor& c = entry ? (minutes == 5 ? Entries[index].Recent5 : Entries[index].Recent10)
                             : (minutes == 5 ? Repeats[index].Recent5 : Repeats[index].Recent10);
    while (c.First != NoRead && exceeds(c.First)) {
        c.First = newerOf(c.First);
        --c.Count;
    }
    for (int32_t i = c.First == NoRead ? newest : olderOf(c.First); i != NoRead && !exceeds(i);
         i = olderOf(i)) {
        c.First = i;
        ++c.Count;
    }
    return c.Count;
}

int64_t TStore::TotalCount(TOwnerKind kind, uint8_t index) const {
    if (kind == TOwnerKind::Entry)
        return entryTotals_[Entries[index].Id];
    return repeatTotals_[static_cast<unsigned char>(Repeats[index].Id)];
}

void TStore::RefreshOwner(TOwnerKind kind, uint8_t index) {
    const TDateTime now = clock_.Now();
    const int32_t newest =
        kind == TOwnerKind::Entry ? Entries[index].Newest : Repeats[index].Newest;
    TActivityFigures f;
    f.LastLocal = newest == NoRead ? NoTime : clock_.ToLocal(Reads[newest].Wall);
    f.Last5 = RecentCount(kind, index, 5, now);
    f.Last10 = RecentCount(kind, index, 10, now);
    f.Total = TotalCount(kind, index);
    views_.Tree.ActivityChanged(kind, index, f);
}

} // namespace corvane
