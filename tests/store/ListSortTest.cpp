#include <algorithm>
#include <random>
#include <vector>

#include "store/ListSort.h"
#include "support/StoreFixture.h"

namespace corvane::testing {
namespace {

class ListSortTest : public StoreFixture {};

TEST(SortStateTest, ClicksMoveThePrimaryToTheTie) {
    TSortState s;
    s.ColumnClick(2);
    EXPECT_EQ(s.SortColumn, 2);
    EXPECT_FALSE(s.SortReverse);
    EXPECT_EQ(s.TieColumn, 0);
    EXPECT_FALSE(s.TieReverse);
    s.ColumnClick(2);
    EXPECT_TRUE(s.SortReverse);
    s.ColumnClick(5);
    EXPECT_EQ(s.SortColumn, 5);
    EXPECT_TRUE(s.SortReverse);
    EXPECT_EQ(s.TieColumn, 2);
    EXPECT_TRUE(s.TieReverse);
}

TEST_F(ListSortTest, CountThenAgeBreaksTiesByCount) {
    const uint16_t quiet = Sensor(1), busy = Sensor(2), busyToo = Sensor(3), never = Sensor(4);
    Read(quiet);
    Wait(30);
    for (int i = 0; i < 3; ++i) {
        Read(busy);
        Read(busyToo);
        Read(busyToo);
        Wait(20);
    }
    TSortState state;
    state.ColumnClick(2); // largest count first
    EXPECT_EQ(Sorted(state), (std::vector<uint16_t>{busyToo, busy, quiet, never}));
    state.ColumnClick(2);
    EXPECT_EQ(Sorted(state), (std::vector<uint16_t>{never, quiet, busy, busyToo}));
    state.ColumnClick(5); // longest silence first; sensors without reads before all
    const auto byAge = Sorted(state);
    EXPECT_EQ(byAge.front(), never);
    EXPECT_EQ(byAge[1], quiet);
    // busy and busyToo were last heard at the same moment: the count order in force decides.
    EXPECT_EQ(byAge[2], busy);
    EXPECT_EQ(byAge[3], busyToo);
}

TEST_F(ListSortTest, LabelsCompareLettersWithoutCaseAndShorterFirst) {
    const uint16_t a = Sensor(1), b = Sensor(2), c = Sensor(3), d = Sensor(4);
    store->Sensors[a].Name.Assign("tank");
    store->Sensors[b].Name.Assign("Tank 7");
    store->Sensors[c].Name.Assign("TANK");
    store->Sensors[d].Name.Assign("_x"); // '_' sorts by its code, after the letters
    EXPECT_EQ(CompareColumn(*store, 0, false, a, c), 0);
    EXPECT_LT(CompareColumn(*store, 0, false, a, b), 0);
    EXPECT_GT(CompareColumn(*store, 0, false, d, b), 0);
    EXPECT_LT(CompareColumn(*store, 0, true, d, b), 0);
}

TEST_F(ListSortTest, RunAverageSmallestFirstOnFirstClick) {
    const uint16_t slow = Sensor(1), fast = Sensor(2);
    Read(slow);
    Wait(100);
    Read(slow);
    Read(fast);
    Wait(20);
    Read(fast);
    TSortState state;
    state.ColumnClick(4);
    EXPECT_EQ(Sorted(state), (std::vector<uint16_t>{fast, slow}));
}

// The frame's re-sort moves only the rows that changed; whatever changed, the order must be the
// one a stable sort of the previous order gives, ties included.
TEST_F(ListSortTest, SortAfterChangesGivesTheStableSortsOrder) {
    std::mt19937 rng(15);
    std::vector<uint16_t> rows;
    for (int i = 0; i < 300; ++i)
        rows.push_back(Sensor(1000 + i));
    for (const uint16_t row : rows)
        if (rng() % 3 != 0) // a third without reads: equal Count, Run Avg and Age
            Read(row);
    for (const int column : {4, 5, 2, 0, 4}) {
        TSortState state;
        state.ColumnClick(column);
        std::vector<uint16_t> order = Sorted(state), sorted;
        for (int step = 0; step < 60; ++step) {
            std::vector<uint16_t> changed;
            const int reads = step % 10 == 9 ? 80 : int(rng() % 8); // now and then too many
            for (int k = 0; k < reads; ++k) {
                const uint16_t row = rows[rng() % rows.size()];
                Read(row);
                // Now and then a row changes without being named, or is named twice.
                if (rng() % 5 != 0)
                    changed.push_back(row);
                if (rng() % 7 == 0)
                    changed.push_back(row);
            }
            Wait(double(rng() % 3)); // often within one second: equal ages
            std::vector<uint16_t> want = order;
            StableSortRows(*store, state, want);
            SortAfterChanges(*store, state, order, changed, sorted);
            ASSERT_EQ(sorted, want) << "column " << column << ", step " << step;
            order = sorted;
        }
    }
    // A row that is not in the list is no change of its order.
    TSortState state;
    std::vector<uint16_t> order = Sorted(state), sorted;
    const uint16_t missing = order.back();
    order.pop_back();
    SortAfterChanges(*store, state, order, std::vector<uint16_t>{missing, 9999}, sorted);
    EXPECT_EQ(sorted, order);
}

} // namespace
} // namespace corvane::testing
