#include <algorithm>
#include <cmath>
#include <vector>

#include "store/ListSort.h"
#include "support/StoreFixture.h"

namespace corvane::testing {
namespace {

class HealthTest : public StoreFixture {
protected:
    // Reads of a sensor at the given seconds from now on, each with a radio repeat 0.3 s later
    // when repeats is set; the clock ends at the last read.
    void ReadsAt(uint16_t row, const std::vector<int>& seconds, bool repeats = false) {
        double at = 0;
        for (int t : seconds) {
            Wait(t - at);
            at = t;
            Read(row);
            if (repeats) {
                Wait(0.3);
                Read(row);
                at += 0.3;
            }
        }
    }
    std::string Loss(uint16_t row) {
        char buffer[16];
        return std::string(store->LossText(row, buffer));
    }
    std::string Routes(uint16_t row) {
        char buffer[16];
        return std::string(store->RoutesText(row, buffer));
    }
};

TEST_F(HealthTest, EveryThirdPacketOfATenSecondSensorLost) {
    const uint16_t s = Sensor(1);
    std::vector<int> kept;
    for (int k = 0; k < 30; ++k)
        if (k % 3 != 2)
            kept.push_back(10 * k);
    ReadsAt(s, kept, true); // the repeats are duplicates and count for nothing
    ASSERT_EQ(StatsOf(s).Count - StatsOf(s).Dups, 20);
    // t = 10 (gaps 10 and 20, ten of 10), T = 280, n = 20: 100 x (1 - 20 / 29) = 31.03
    EXPECT_EQ(store->Health(s).LossTenths, 310);
    EXPECT_EQ(Loss(s), "31.0");
}

TEST_F(HealthTest, LowerMedianOfAnEvenNumberOfGaps) {
    const uint16_t s = Sensor(1);
    ReadsAt(s, {0, 10, 20, 50, 80}); // gaps 10 10 30 30: t = 10, T = 80, n = 5
    EXPECT_EQ(Loss(s), "44.4");
}

TEST_F(HealthTest, LossNeedsThreeCountedReadsAndIsNeverNegative) {
    const uint16_t s = Sensor(1);
    ReadsAt(s, {0, 10}, true);
    EXPECT_EQ(Loss(s), ""); // four reads, two counted
    ReadsAt(s, {10});       // counted at 0, 10 and 20.3
    EXPECT_EQ(Loss(s), "0.0");
    store->Settings.DuplicateTimeSec = 0;
    const uint16_t early = Sensor(2);
    ReadsAt(early, {0, 1, 11, 21}); // t = 10, T = 21, n = 4: more reads than the period allows
    EXPECT_EQ(Loss(early), "0.0");
}

TEST_F(HealthTest, RoutesCountDistinctEntryAndRepeaterPairsOfHeldReads) {
    store->Settings.MaxAge = 100;
    const uint16_t s = Sensor(1);
    EXPECT_EQ(Routes(s), "0");
    const uint8_t e0 = Entry(1), e1 = Entry(2);
    const uint8_t a = Repeat('a');
    Read(s, e0, a);
    Read(s, e0, NoIndex);
    Read(s, e1, a);
    Read(s, e0, a);
    Read(s, NoIndex, NoIndex);
    EXPECT_EQ(Routes(s), "4");
    Wait(200);
    Read(s, e1, a);
    store->ExpireTick(); // the first five expire: the figure follows the chain
    EXPECT_EQ(store->Health(s).Routes, 1);
    EXPECT_EQ(store->Health(s).LossTenths, -1);
}

class HealthSortTest : public HealthTest {};

TEST_F(HealthSortTest, LossLargestFirstRoutesFewestFirstTiesByThePreviousColumn) {
    const uint16_t none = Sensor(1), lossy = Sensor(2), clean = Sensor(3), lossyToo = Sensor(4);
    const uint8_t e = Entry(1);
    const uint8_t a = Repeat('a'), b = Repeat('b');
    ReadsAt(lossy, {0, 10, 20, 50, 80});
    ReadsAt(lossyToo, {0, 10, 20, 50, 80});
    Read(lossyToo); // one more read held, the same loss
    ReadsAt(clean, {0, 10, 20});
    Read(none, e, a);
    Read(none, e, b);
    Read(clean, e, a);
    ASSERT_EQ(Loss(lossyToo), Loss(lossy));

    EXPECT_FALSE(TSortState::DefaultReverse(LossColumn));
    EXPECT_FALSE(TSortState::DefaultReverse(RoutesColumn));
    TSortState state;
    state.ColumnClick(2); // Count, largest first, breaks the ties below
    state.ColumnClick(LossColumn);
    EXPECT_EQ(Sorted(state), (std::vector<uint16_t>{lossyToo, lossy, clean, none}));
    state.ColumnClick(LossColumn);
    EXPECT_EQ(Sorted(state), (std::vector<uint16_t>{none, clean, lossyToo, lossy}));

    // Routes: lossy and lossyToo 1 (no entry, no repeater), clean 2, none 2. Ties go to Loss %
    // reversed as it stood, where lossy and lossyToo tie again and keep their order.
    state.ColumnClick(RoutesColumn);
    EXPECT_EQ(Sorted(state), (std::vector<uint16_t>{lossy, lossyToo, none, clean}));
    state.ColumnClick(RoutesColumn);
    EXPECT_EQ(Sorted(state), (std::vector<uint16_t>{none, clean, lossy, lossyToo}));
}

} // namespace
} // namespace corvane::testing
