// A store with a settable clock and a listener that keeps what the views would show.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "store/ActivityStore.h"
#include "store/ListSort.h"
#include "support/RecordingListener.h"

namespace corvane::testing {

class StoreFixture : public ::testing::Test {
protected:
    // Every sensor row in the order the list shows them under this sort state.
    std::vector<uint16_t> Sorted(const TSortState& state) {
        std::vector<uint16_t> rows(store->SensorCount);
        for (uint16_t i = 0; i < rows.size(); ++i)
            rows[i] = i;
        StableSortRows(*store, state, rows);
        return rows;
    }

    TManualClock clock{46000.0};
    TRecordingListener views;
    std::unique_ptr<TStore> store = TStore::Create(clock, views);

    uint16_t Sensor(int64_t serNo) {
        uint16_t row = store->FindSensor(serNo);
        return row != NoRow ? row : store->AddSensor(2, serNo);
    }
    uint8_t Entry(uint8_t id) {
        uint8_t e = store->FindEntry(id);
        return e != NoIndex ? e : store->AddEntry(id);
    }
    uint8_t Repeat(char id) {
        uint8_t r = store->FindRepeat(id);
        return r != NoIndex ? r : store->AddRepeat(id);
    }
    // What registration does with a packet once its records exist.
    void Read(uint16_t row, uint8_t entry = NoIndex, uint8_t repeat = NoIndex, uint16_t crc = 0) {
        store->InsertRead(entry, repeat, crc, row);
        store->RefreshSensor(row, repeat, entry);
    }
    void Wait(double seconds) { clock.AdvanceSeconds(seconds); }
    const TStats& StatsOf(uint16_t row) const { return store->Sensors[row].Stats; }
};

// Every invariant of the ring and its chains; empty when all hold.
template <typename NewerOf, typename OlderOf, typename Belongs>
std::string CheckChain(const TStore& s, const char* what, int32_t newest, int32_t oldest,
                       NewerOf newerOf, OlderOf olderOf, Belongs belongs, std::set<int32_t>& seen) {
    std::ostringstream err;
    if ((newest == NoRead) != (oldest == NoRead))
        return std::string(what) + ": one end missing";
    int32_t prev = NoRead;
    int32_t steps = 0;
    for (int32_t i = oldest; i != NoRead; i = newerOf(s.Reads[i])) {
        if (++steps > MaxReads)
            return std::string(what) + ": cycle";
        if (olderOf(s.Reads[i]) != prev)
            return std::string(what) + ": older link broken";
        if (!belongs(s.Reads[i]))
            return std::string(what) + ": foreign read";
        seen.insert(i);
        prev = i;
    }
    if (prev != newest)
        return std::string(what) + ": walk does not end at newest";
    return err.str();
}

inline bool InRing(const TStore& s, int32_t i) {
    if (s.ReadCount == 0)
        return false;
    const int32_t offset = (i - s.ReadTail + MaxReads) % MaxReads;
    return offset < s.ReadCount;
}

inline std::string CheckInvariants(const TStore& s) {
    if (s.ReadCount < 0 || s.ReadCount > MaxReads)
        return "ReadCount out of range";
    if (s.ReadCount == 0 && (s.ReadHead != 0 || s.ReadTail != 0))
        return "empty ring not at 0";
    if (s.ReadCount > 0 && (s.ReadHead - s.ReadTail + MaxReads) % MaxReads != s.ReadCount - 1)
        return "head, tail and count disagree";
    std::set<int32_t> bySensor, byEntry, byRepeat;
    for (uint16_t row = 0; row < s.SensorCount; ++row) {
        const TSensor& t = s.Sensors[row];
        auto e = CheckChain(
            s, "sensor", t.Newest, t.Oldest, [](const TRead& r) { return r.SensorNewer; },
            [](const TRead& r) { return r.SensorOlder; },
            [row](const TRead& r) { return r.Sensor == row; }, bySensor);
        if (!e.empty())
            return e;
        if (t.Oldest != NoRead && s.Reads[s.ReadTail].Sensor == row && t.Oldest != s.ReadTail)
            return "ring's oldest read is not its sensor's oldest";
        if (t.Stats.Count < t.Stats.Dups || t.Stats.Dups < 0)
            return "stats counts";
        for (int a = 0; a < t.EntrySlotCount; ++a)
            for (int b = a + 1; b < t.EntrySlotCount; ++b)
                if (t.EntrySlotIds[a] == t.EntrySlotIds[b])
                    return "entry slot twice";
        for (int a = 0; a < t.RepeatSlotCount; ++a)
            for (int b = a + 1; b < t.RepeatSlotCount; ++b)
                if (t.RepeatSlotIds[a] == t.RepeatSlotIds[b])
                    return "repeat slot twice";
    }
    for (uint8_t i = 0; i < s.EntryCount; ++i) {
        const TEntry& t = s.Entries[i];
        auto e = CheckChain(
            s, "entry", t.Newest, t.Oldest, [](const TRead& r) { return r.EntryNewer; },
            [](const TRead& r) { return r.EntryOlder; },
            [i](const TRead& r) { return r.Entry == i; }, byEntry);
        if (!e.empty())
            return e;
        if (t.Oldest != NoRead && s.Reads[s.ReadTail].Entry == i && t.Oldest != s.ReadTail)
            return "ring's oldest read is not its entry point's oldest";
    }
    for (uint8_t i = 0; i < s.RepeatCount; ++i) {
        const TRepeat& t = s.Repeats[i];
        auto e = CheckChain(
            s, "repeat", t.Newest, t.Oldest, [](const TRead& r) { return r.RepeatNewer; },
            [](const TRead& r) { return r.RepeatOlder; },
            [i](const TRead& r) { return r.Repeat == i; }, byRepeat);
        if (!e.empty())
            return e;
        if (t.Oldest != NoRead && s.Reads[s.ReadTail].Repeat == i && t.Oldest != s.ReadTail)
            return "ring's oldest read is not its repeater's oldest";
    }
    if (static_cast<int32_t>(bySensor.size()) != s.ReadCount)
        return "sensor chains do not hold exactly the ring's reads";
    for (int32_t i : bySensor)
        if (!InRing(s, i))
            return "chained read outside the ring";
    int32_t withEntry = 0, withRepeat = 0;
    for (int32_t k = 0; k < s.ReadCount; ++k) {
        const TRead& r = s.Reads[(s.ReadTail + k) % MaxReads];
        if (r.Entry != NoIndex)
            ++withEntry;
        else if (r.EntryNewer != NoRead || r.EntryOlder != NoRead)
            return "read without entry point has entry links";
        if (r.Repeat != NoIndex)
            ++withRepeat;
        else if (r.RepeatNewer != NoRead || r.RepeatOlder != NoRead)
            return "read without repeater has repeater links";
    }
    if (static_cast<int32_t>(byEntry.size()) != withEntry)
        return "entry chains miss reads";
    if (static_cast<int32_t>(byRepeat.size()) != withRepeat)
        return "repeater chains miss reads";
    return {};
}

} // namespace corvane::testing
