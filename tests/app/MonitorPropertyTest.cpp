// A long random mix of registrations, evictions, expiries and clears must keep the store's
// invariants: chains consistent both ways, counts matching, the ring's oldest read the oldest of
// each of its chains.
#include <random>

#include "app/Monitor.h"
#include "support/StoreFixture.h"

namespace corvane::testing {
namespace {

TDecodedPacket RandomPacket(std::mt19937& rng) {
    TDecodedPacket p;
    static const char repeaters[] = "abcdefghijklmnopqrstuvwxyz!@#$%^A0 ";
    p.RepeaterId = rng() % 4 == 0 ? '\0' : repeaters[rng() % (sizeof repeaters - 1)];
    p.Kind = static_cast<uint8_t>(rng() % 27);
    p.Marked = static_cast<uint8_t>(rng() % 2);
    // Mostly a few hundred sensors, sometimes anything, so that the table fills up.
    p.SerNo = rng() % 3 == 0 ? static_cast<int64_t>(uint64_t{rng()} << 32 | rng())
                             : static_cast<int64_t>(rng() % 400) - 200;
    p.Crc = static_cast<uint16_t>(rng() % 4);
    p.EntryId = static_cast<uint8_t>(rng() % 40 == 0 ? rng() % 256 : rng() % 6 + 250);
    static const std::string names[] = {"",
                                        "North",
                                        "north",
                                        "South Gate",
                                        "A\"quoted\"name",
                                        std::string(60, 'x'),
                                        std::string("\xE9t\xE9", 3)};
    p.EntryName = names[rng() % 7];
    p.SensorName = names[rng() % 7];
    return p;
}

TEST(StorePropertyTest, RandomMixKeepsInvariants) {
    TManualClock clock;
    TRecordingListener views;
    TMonitor monitor(clock, views);
    TStore& store = monitor.Store();
    store.Settings.MaxAge = 600;
    std::mt19937 rng(20261208);
    int checks = 0;
    for (int step = 0; step < 200000; ++step) {
        const unsigned action = rng() % 1000;
        if (action < 960) {
            monitor.RegisterPacket(RandomPacket(rng));
        } else if (action < 990) {
            clock.AdvanceSeconds(rng() % 30);
        } else if (action < 998) {
            monitor.ExpireTick();
        } else if (action < 999) {
            clock.AdvanceSeconds(-static_cast<double>(rng() % 100));
        } else if (rng() % 20 == 0) {
            monitor.ClearAll();
        }
        if (step % 10000 == 0 || action >= 999) {
            ASSERT_EQ(CheckInvariants(store), "") << "step " << step;
            ++checks;
        }
        ASSERT_LE(store.EntryCount, MaxEntries);
        ASSERT_LE(store.RepeatCount, MaxRepeats);
        ASSERT_EQ(store.SerNoTree.Count, store.SensorCount);
    }
    EXPECT_EQ(CheckInvariants(store), "");
    EXPECT_GT(checks, 20);
}

} // namespace
} // namespace corvane::testing
