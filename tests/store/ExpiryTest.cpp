#include <random>

#include "support/StoreFixture.h"

namespace corvane::testing {
namespace {

using ExpiryTest = StoreFixture;

TEST_F(ExpiryTest, ReadExpiresWhenItsRoundedAgeExceedsMaxAge) {
    const uint16_t s = Sensor(1);
    Read(s);
    Wait(10800.4);
    store->ExpireTick();
    EXPECT_EQ(store->ReadCount, 1);
    Wait(0.15); // days as doubles hold the time to about a microsecond here
    store->ExpireTick();
    EXPECT_EQ(store->ReadCount, 0);
    EXPECT_EQ(store->ReadHead, 0);
    EXPECT_EQ(store->ReadTail, 0);
    EXPECT_EQ(views.Log.back(), "Equal: True Wrap: False");
    // The sensor stays, with its figures at zero, and is no longer aged.
    EXPECT_EQ(views.Rows[s].Count, "0");
    EXPECT_EQ(views.Rows[s].Age, "");
    EXPECT_EQ(views.Rows[s].RunAvg, "0.00");
}

TEST_F(ExpiryTest, ExpiringTheRingsLastSlotWrapsToZero) {
    // Spread over many sensors: each expiry walks its sensor's whole chain.
    for (int i = 0; i < MaxReads; ++i)
        store->InsertRead(NoIndex, NoIndex, 0, Sensor(i % 400));
    Wait(100);
    store->InsertRead(NoIndex, NoIndex, 0, Sensor(1)); // evicts slot 0; 1..79999 are old
    store->Settings.MaxAge = 50;
    store->ExpireTick();
    EXPECT_EQ(store->ReadCount, 1);
    EXPECT_EQ(store->ReadTail, 0);
    EXPECT_EQ(store->ReadHead, 0);
    ASSERT_FALSE(views.Log.empty());
    EXPECT_EQ(views.Log.back(), "Equal: False Wrap: True");
    EXPECT_EQ(CheckInvariants(*store), "");
}

TEST_F(ExpiryTest, RunningAverageClimbsWhileSilent) {
    const uint16_t s = Sensor(1);
    for (int i = 0; i < 5; ++i) {
        Read(s);
        Wait(60);
    }
    // Four gaps of 60 s; the store now holds AvgGap 60 and Count 5.
    ASSERT_EQ(StatsOf(s).AvgGap, 60.0f);
    store->ExpireTick(); // silent 60 s: unchanged
    EXPECT_EQ(views.Rows[s].RunAvg, "60.00");
    EXPECT_EQ(views.Rows[s].Age, "60");
    Wait(90);
    store->ExpireTick(); // silent 150 s: (9 * 60 + 150) / 10
    EXPECT_EQ(views.Rows[s].RunAvg, "69.00");
    EXPECT_EQ(views.Rows[s].Age, "150");
    EXPECT_EQ(views.AgeingBatches, 2);
    EXPECT_FALSE(views.InAgeing);
}

TEST_F(ExpiryTest, SingleReadShowsItsAgeAsRunningAverage) {
    const uint16_t s = Sensor(1);
    Read(s);
    Wait(42);
    store->ExpireTick();
    EXPECT_EQ(views.Rows[s].RunAvg, "42.00");
}

TEST_F(ExpiryTest, WeightBelowOneCountsAsOne) {
    store->Settings.Points2Average = 0;
    const uint16_t s = Sensor(1);
    Read(s);
    Wait(20);
    Read(s);
    Wait(50);
    store->ExpireTick();
    EXPECT_EQ(views.Rows[s].RunAvg, "50.00");
}

// The recent counts kept by cursors must equal a plain walk from the newest read, also when the
// clock jumps back and forth.
TEST_F(ExpiryTest, RecentCountsMatchAWalkFromTheNewestRead) {
    std::mt19937 rng(7);
    const uint8_t e = Entry(1);
    const uint8_t r = Repeat('a');
    const uint16_t sensors[3] = {Sensor(1), Sensor(2), Sensor(3)};
    auto walk = [&](int32_t newest, int minutes, bool entry) {
        int32_t n = 0;
        const TDateTime now = clock.Now();
        for (int32_t i = newest; i != NoRead && !(now - store->Reads[i].Time > minutes / 1440.0);
             i = entry ? store->Reads[i].EntryOlder : store->Reads[i].RepeatOlder)
            ++n;
        return n;
    };
    store->Settings.MaxAge = 1500;
    for (int step = 0; step < 4000; ++step) {
        const int action = static_cast<int>(rng() % 100);
        if (action < 60)
            Read(sensors[rng() % 3], rng() % 2 ? e : NoIndex, rng() % 2 ? r : NoIndex);
        else if (action < 97)
            Wait(static_cast<double>(rng() % 90));
        else
            Wait(-static_cast<double>(rng() % 400)); // the wall clock was set back
        if (step % 7 == 0)
            store->ExpireTick();
        for (int minutes : {5, 10}) {
            ASSERT_EQ(store->RecentCount(TOwnerKind::Entry, e, minutes, clock.Now()),
                      walk(store->Entries[e].Newest, minutes, true))
                << "step " << step;
            ASSERT_EQ(store->RecentCount(TOwnerKind::Repeat, r, minutes, clock.Now()),
                      walk(store->Repeats[r].Newest, minutes, false))
                << "step " << step;
        }
    }
    EXPECT_EQ(CheckInvariants(*store), "");
}

} // namespace
} // namespace corvane::testing

namespace corvane::testing {
namespace {

// Expiring a long run of one sensor's reads shows the same texts as refreshing after each read.
TEST_F(ExpiryTest, RunOfOneSensorsReadsShowsTheFinalFigures) {
    const uint8_t e = Entry(1), r = Repeat('k');
    const uint16_t s = Sensor(1), other = Sensor(2);
    for (int i = 0; i < 3000; ++i) {
        Read(i % 500 == 0 ? other : s, e, r);
        Wait(i % 7 == 0 ? 3 : 12);
    }
    store->Settings.MaxAge = 20000;
    store->ExpireTick();
    ASSERT_LT(store->ReadCount, 3000);
    const auto rows = views.Rows;
    const auto stats = views.StatsLines;
    const auto activity = views.Activity;
    store->RefreshSensor(s, r, e); // the last read expired was one of s's
    EXPECT_EQ(views.StatsLines, stats);
    EXPECT_EQ(views.Activity, activity);
    EXPECT_EQ(views.Rows[s].Count, rows.at(s).Count);
    EXPECT_EQ(views.Rows[s].RunAvg, rows.at(s).RunAvg);
    EXPECT_EQ(CheckInvariants(*store), "");
}

} // namespace
} // namespace corvane::testing
