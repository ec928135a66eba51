// The figures kept read by read must be exactly those of a walk of the chains, for the sensor and
// for each of its entry and repeater slots, after any mix of new reads, duplicates, evictions on
// a full ring, expiry and a clock that goes back.
#include <random>

#include "app/Monitor.h"
#include "support/StoreFixture.h"
#include "util/untConst.h"

namespace corvane::testing {
namespace {

std::string Differs(const TStats& kept, const TStats& walked) {
    auto field = [](const char* name, auto a, auto b) {
        return a == b ? std::string()
                      : std::string(name) + " " + std::to_string(a) + " vs " + std::to_string(b) +
                            "; ";
    };
    return field("LastTime", kept.LastTime, walked.LastTime) +
           field("LastWall", kept.LastWall, walked.LastWall) +
           field("Count", kept.Count, walked.Count) + field("Dups", kept.Dups, walked.Dups) +
           field("AvgGap", kept.AvgGap, walked.AvgGap) +
           field("RunAvg", kept.RunAvg, walked.RunAvg) +
           field("MaxGap", kept.MaxGap, walked.MaxGap) +
           field("MinGap", kept.MinGap, walked.MinGap);
}

// Compares the kept figures of a row, and of every slot it has, with the walk; the shown
// figures (which ageing may have moved) are left as they were.
std::string CheckRow(TStore& store, uint16_t row) {
    TSensor& s = store.Sensors[row];
    const TStats shown = s.Stats;
    std::string out;
    auto compare = [&](uint8_t repeat, uint8_t entry, const char* what) {
        TStats keptRepeat, keptEntry, walkedRepeat, walkedEntry;
        store.KeptStats(row, repeat, entry, keptRepeat, keptEntry);
        const TStats kept = s.Stats;
        store.ComputeStats(row, repeat, entry, walkedRepeat, walkedEntry);
        std::string d = Differs(kept, s.Stats) + Differs(keptRepeat, walkedRepeat) +
                        Differs(keptEntry, walkedEntry);
        if (!d.empty())
            out += "row " + std::to_string(row) + " " + what + ": " + d + "\n";
    };
    compare(NoIndex, NoIndex, "own");
    for (uint8_t k = 0; k < s.EntrySlotCount; ++k)
        compare(NoIndex, store.FindEntry(s.EntrySlotIds[k]), "entry slot");
    for (uint8_t k = 0; k < s.RepeatSlotCount; ++k)
        compare(store.FindRepeat(s.RepeatSlotIds[k]), NoIndex, "repeat slot");
    s.Stats = shown;
    return out;
}

struct TMix {
    int Sensors;       // serial numbers drawn from 0..Sensors-1
    int Repeaters;     // of the alphabet, plus reads heard directly
    int Entries;       // entry numbers 0..Entries-1, plus reads without one
    double MaxStepSec; // time between reads drawn from 0..MaxStepSec
};

TDecodedPacket MixPacket(std::mt19937& rng, const TMix& mix) {
    TDecodedPacket p;
    const unsigned repeater = rng() % (mix.Repeaters + 1);
    p.RepeaterId = repeater == 0 ? '\0' : RepeaterChars[repeater - 1];
    p.Kind = 1;
    p.SerNo = rng() % mix.Sensors;
    p.Crc = static_cast<uint16_t>(rng() % 3);
    const unsigned entry = rng() % (mix.Entries + 1);
    p.EntryId = entry == 0 ? 255 : static_cast<uint8_t>(entry - 1);
    p.EntryName = "Gate";
    return p;
}

// Runs random steps and checks the rows they touched after each, every row now and then.
void RunMix(uint32_t seed, const TMix& mix, int steps, int fullCheckEvery) {
    std::mt19937 rng(seed);
    TManualClock clock;
    TRecordingListener views;
    TMonitor monitor(clock, views);
    TStore& store = monitor.Store();
    store.Settings.DuplicateTimeSec = static_cast<int32_t>(rng() % 12);
    store.Settings.DuplicateCRCCheck = rng() % 2 == 0;
    store.Settings.Points2Average = static_cast<int32_t>(rng() % 12);
    store.Settings.MaxAge = 300 + static_cast<int32_t>(rng() % 3000);
    SCOPED_TRACE(::testing::Message()
                 << "seed " << seed << " dup " << store.Settings.DuplicateTimeSec << " crc "
                 << store.Settings.DuplicateCRCCheck << " maxAge " << store.Settings.MaxAge);
    std::uniform_real_distribution<double> step(0, mix.MaxStepSec);
    for (int i = 0; i < steps; ++i) {
        const unsigned action = rng() % 10000;
        uint16_t evicted = NoRow;
        if (store.ReadCount == MaxReads)
            evicted = store.Reads[store.ReadTail].Sensor;
        if (action < 9980) {
            clock.AdvanceSeconds(step(rng));
            monitor.RegisterPacket(MixPacket(rng, mix));
        } else if (action < 9998) {
            clock.AdvanceSeconds(rng() % 600);
            monitor.ExpireTick();
        } else {
            clock.AdvanceSeconds(-static_cast<double>(rng() % 100));
        }
        std::string d;
        if (i % fullCheckEvery == 0 || (action >= 9980 && action % 8 == 0)) {
            for (uint16_t row = 0; row < store.SensorCount; ++row)
                d += CheckRow(store, row);
        } else {
            if (store.ReadCount > 0)
                d += CheckRow(store, store.Reads[store.ReadHead].Sensor);
            if (evicted != NoRow)
                d += CheckRow(store, evicted);
        }
        ASSERT_EQ(d, "") << "step " << i;
    }
}

TEST(KeptStatsTest, ManySensorsWrapTheRingWithEvictionsAndExpiry) {
    // 240000 reads: the ring wraps three times; both ends of short and long chains move.
    RunMix(1, {300, 32, 32, 0.05}, 240000, 20000);
    RunMix(2, {40, 3, 2, 2.0}, 120000, 20000);
}

TEST(KeptStatsTest, FewRoutesAndDenseDuplicates) {
    // Fast reads over one or two routes: most reads are duplicates, some judged against another
    // sensor's read through the same repeater or entry point.
    for (uint32_t seed = 3; seed < 9; ++seed)
        RunMix(seed, {4, 1, 1, 3.0}, 8000, 1000);
}

TEST(KeptStatsTest, OneSensorOwnsTheWholeRing) {
    TManualClock clock;
    // No texts: the list's Loss % and Routes texts walk the chain on every read, which would
    // make this run quadratic in the ring's size, and what is checked here is the store's own.
    TNullListener views;
    TMonitor monitor(clock, views);
    TStore& store = monitor.Store();
    std::mt19937 rng(20261209);
    for (int i = 0; i < MaxReads + 3000; ++i) {
        TMix mix{1, 2, 2, 0};
        clock.AdvanceSeconds(rng() % 7 == 0 ? rng() % 40 : 0.25);
        monitor.RegisterPacket(MixPacket(rng, mix));
        if (i % 9973 == 0 || i >= MaxReads + 2990) {
            ASSERT_EQ(CheckRow(store, 0), "") << "read " << i;
        }
    }
    EXPECT_EQ(store.ReadCount, MaxReads);
    EXPECT_EQ(store.Sensors[0].Stats.Count, MaxReads);
    // Expiry takes the chain down from its oldest end to nothing.
    store.Settings.MaxAge = 60;
    for (int tick = 0; tick < 3 && store.ReadCount > 0; ++tick) {
        clock.AdvanceSeconds(tick == 0 ? 20 : 100000);
        monitor.ExpireTick();
        ASSERT_EQ(CheckRow(store, 0), "") << "tick " << tick;
    }
    EXPECT_EQ(store.Sensors[0].Stats.Count, 0);
}

} // namespace
} // namespace corvane::testing
