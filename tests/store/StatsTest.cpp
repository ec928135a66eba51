#include "support/StoreFixture.h"

namespace corvane::testing {
namespace {

TEST(SecondsDiffTest, RoundsHalfUpAndSaturates) {
    const double s = 1.0 / 86400.0;
    EXPECT_EQ(SecondsDiff(100.0, 100.0 + 0.5 * s), 1);
    EXPECT_EQ(SecondsDiff(100.0, 100.0 + 0.49 * s), 0);
    EXPECT_EQ(SecondsDiff(100.0, 100.0 + 10800.4 * s), 10800);
    EXPECT_EQ(SecondsDiff(100.0, 100.0 + 10800.5 * s), 10801);
    EXPECT_EQ(SecondsDiff(-10000.0, 46000.0), 2147483647);
    EXPECT_EQ(SecondsDiff(46000.0, -10000.0), 2147483647);
    EXPECT_EQ(SecondsDiff(100.0, 99.0), -86399); // d * 86400 + 0.5, cut toward zero
}

TEST(MeanGapTest, AveragesTheFirstEntries) {
    const uint16_t gaps[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(MeanGap(gaps, 0), 0.0f);
    EXPECT_EQ(MeanGap(gaps, -1), 0.0f);
    EXPECT_EQ(MeanGap(gaps, 2), 1.5f);
    EXPECT_EQ(MeanGap(gaps, 8), 4.5f);
}

class StatsTest : public StoreFixture {};

TEST_F(StatsTest, SingleReadHasNoGap) {
    const uint16_t s = Sensor(255);
    Read(s);
    EXPECT_EQ(StatsOf(s).Count, 1);
    EXPECT_EQ(StatsOf(s).Dups, 0);
    EXPECT_EQ(StatsOf(s).MaxGap, 0);
    EXPECT_EQ(StatsOf(s).MinGap, 65535);
    EXPECT_EQ(StatsOf(s).AvgGap, 0.0f);
    EXPECT_EQ(views.Stats(s),
              (std::vector<std::string>{"Count: 1", "Duplicates: 0", "Max Gap: (undefined)",
                                        "Min Gap: (undefined)"}));
    EXPECT_EQ(views.Rows[s].Label, "00000000000000FF");
    EXPECT_EQ(views.Rows[s].RunAvg, "0.00");
    EXPECT_EQ(views.Rows[s].Age, "0");
}

TEST_F(StatsTest, DuplicateRuleWithAndWithoutCrcCheck) {
    store->Settings.DuplicateTimeSec = 5;
    const uint16_t s = Sensor(1);
    Read(s, NoIndex, NoIndex, 0x1111);
    Wait(5);
    Read(s, NoIndex, NoIndex, 0x2222);
    EXPECT_EQ(StatsOf(s).Count, 2);
    EXPECT_EQ(StatsOf(s).Dups, 1); // different CRC, but no CRC check
    EXPECT_EQ(StatsOf(s).MinGap, 65535);

    store->Settings.DuplicateCRCCheck = true;
    store->RefreshSensor(s, NoIndex, NoIndex);
    EXPECT_EQ(StatsOf(s).Dups, 0);
    EXPECT_EQ(StatsOf(s).MaxGap, 5);
    EXPECT_EQ(views.Stats(s)[2], "Max Gap: 5");
}

TEST_F(StatsTest, GapAfterDuplicateIsMeasuredFromIt) {
    const uint16_t s = Sensor(1);
    Read(s);
    Wait(2);
    Read(s);
    Wait(60);
    Read(s);
    EXPECT_EQ(StatsOf(s).Dups, 1);
    EXPECT_EQ(StatsOf(s).MinGap, 60);
    EXPECT_EQ(StatsOf(s).MaxGap, 60);
    EXPECT_EQ(StatsOf(s).AvgGap, 60.0f);
}

TEST_F(StatsTest, AverageOfTheLatestEightGaps) {
    const uint16_t s = Sensor(1);
    Read(s);
    for (int gap = 10; gap <= 18; ++gap) { // gaps beyond the duplicate window
        Wait(gap);
        Read(s);
    }
    EXPECT_EQ(StatsOf(s).Count, 10);
    EXPECT_EQ(StatsOf(s).MaxGap, 18);
    EXPECT_EQ(StatsOf(s).MinGap, 10);
    EXPECT_EQ(StatsOf(s).AvgGap, 14.5f); // 11..18
    EXPECT_EQ(views.Rows[s].RunAvg, "14.50");
}

TEST_F(StatsTest, LongGapIsCappedAt65535) {
    const uint16_t s = Sensor(1);
    Read(s);
    Wait(100000);
    Read(s);
    EXPECT_EQ(StatsOf(s).MaxGap, 65535);
}

TEST_F(StatsTest, FiguresPerRepeaterAndEntryPoint) {
    const uint8_t e1 = Entry(1), e2 = Entry(2);
    const uint8_t ra = Repeat('a');
    const uint16_t s = Sensor(1);
    Read(s, e1, ra);
    Wait(30);
    Read(s, e2);
    Wait(30);
    Read(s, e1, ra);
    EXPECT_EQ(StatsOf(s).Count, 3);
    EXPECT_EQ(
        views.Stats(s, TStatsGroup::Entry, 0),
        (std::vector<std::string>{"Count: 2", "Duplicates: 0", "Max Gap: 60", "Min Gap: 60"}));
    EXPECT_EQ(views.Stats(s, TStatsGroup::Repeat, 0)[0], "Count: 2");
    // The entry point 2 slot keeps the figures of the last refresh that named it.
    EXPECT_EQ(views.Stats(s, TStatsGroup::Entry, 1)[0], "Count: 1");
}

TEST_F(StatsTest, FirstCountedReadOnARepeaterMayBeADuplicateOfAnotherSensor) {
    const uint8_t r = Repeat('b');
    const uint16_t a = Sensor(1), b = Sensor(2);
    Read(a, NoIndex, r);
    Wait(1);
    Read(b, NoIndex, r); // duplicate of a's read on the repeater chain
    for (int i = 0; i < 10; ++i) {
        Wait(20);
        Read(b, NoIndex, r);
    }
    EXPECT_EQ(views.Stats(b, TStatsGroup::Repeat, 0)[1], "Duplicates: 1");
    EXPECT_EQ(CheckInvariants(*store), "");
}

TEST_F(StatsTest, OwnerActivityLines) {
    const uint8_t e = Entry(1);
    const uint16_t s = Sensor(1);
    Read(s, e);
    Wait(3 * 60);
    Read(s, e);
    Wait(4 * 60); // reads are now 7 and 4 minutes old
    Read(Sensor(2), e);
    const auto& lines = views.Activity[{int(TOwnerKind::Entry), e}];
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("Last Activitiy: ", 0), 0u);
    EXPECT_EQ(lines[1], "Last 5 min. Count: 2");
    EXPECT_EQ(lines[2], "Last 10 min. Count: 3");
    EXPECT_EQ(lines[3], "Total Count: 3");
}

} // namespace
} // namespace corvane::testing
