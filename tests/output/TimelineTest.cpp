#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/Timeline.h"
#include "store/ActivityStore.h"

using namespace corvane;

namespace {

const TDateTime Start = EncodeDateTime(2025, 6, 9, 12, 0, 0);

// Reads at the given seconds after Start, oldest first; the history holds them newest first,
// as the window does.
THistory Reads(const std::vector<double>& seconds, const std::vector<bool>& dups = {}) {
    THistory h;
    for (size_t k = seconds.size(); k-- > 0;) {
        THistRead r{};
        r.Time = Start + seconds[k] / 86400.0;
        r.Shown = r.Time;
        r.Entry = NoIndex;
        r.Dup = k < dups.size() && dups[k];
        h.Rows.push_back(r);
    }
    return h;
}

std::vector<int> Counted(const TTimeline& t) {
    std::vector<int> c;
    for (const TTimelineColumn& col : t.Columns)
        c.push_back(col.Counted);
    return c;
}

TEST(Timeline, ReadsOnColumnEdgesFallIntoTheColumnTheyStart) {
    // 100 s over 10 columns: a read every 10 s sits exactly on a column's left edge; the last,
    // on the right edge of the band, belongs to the last column.
    std::vector<double> s;
    for (int k = 0; k <= 10; ++k)
        s.push_back(10.0 * k);
    TTimeline t;
    BinTimeline(Reads(s), 10, t);
    EXPECT_EQ(Counted(t), (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 1, 2}));
    // Just before an edge stays left of it.
    BinTimeline(Reads({0, 9.999, 100}), 10, t);
    EXPECT_EQ(t.Columns[0].Counted, 2);
    EXPECT_EQ(t.Counted, 3);
}

TEST(Timeline, NearestReadAndReach) {
    // Column 0 covers 0..10 s: of reads at 1 s and 6 s the latter is nearer its middle (5 s).
    TTimeline t;
    const THistory h = Reads({1, 6, 100});
    BinTimeline(h, 10, t);
    EXPECT_EQ(h.Rows[t.Columns[0].Nearest].Time, Start + 6 / 86400.0);
    EXPECT_EQ(t.Columns[4].Nearest, -1);
    EXPECT_EQ(t.ReadAt(2, 1), -1);
    EXPECT_EQ(t.ReadAt(2, 2), t.Columns[0].Nearest);
    EXPECT_EQ(t.ReadAt(7, 2), 0) << "the newest read, in the last column";
    EXPECT_EQ(t.ReadAt(-5, 3), -1);
}

TEST(Timeline, OneReadSitsInTheMiddleOfAMinute) {
    TTimeline t;
    BinTimeline(Reads({0}), 101, t);
    EXPECT_TRUE(t.Widened);
    EXPECT_EQ(t.SpanMs, 60000);
    EXPECT_EQ(t.Columns[50].Counted, 1);
    EXPECT_EQ(t.Counted + t.Dups, 1);
    EXPECT_TRUE(t.Gaps.empty());
    // No reads, or no width: empty columns and no crash.
    BinTimeline(THistory{}, 50, t);
    EXPECT_EQ(t.Width(), 50);
    EXPECT_EQ(t.Counted, 0);
    BinTimeline(Reads({0, 5}), 0, t);
    EXPECT_EQ(t.Width(), 0);
    EXPECT_EQ(t.ReadAt(0, 3), -1);
}

TEST(Timeline, DuplicatesAreBinnedApart) {
    TTimeline t;
    BinTimeline(Reads({0, 1, 50, 51, 52}, {false, true, false, true, true}), 2, t);
    EXPECT_EQ(t.Columns[0].Counted, 1);
    EXPECT_EQ(t.Columns[0].Dups, 1);
    EXPECT_EQ(t.Columns[1].Counted, 1);
    EXPECT_EQ(t.Columns[1].Dups, 2);
    EXPECT_EQ(t.Dups, 3);
}

TEST(Timeline, EightyThousandReadsAllLand) {
    std::vector<double> s;
    std::vector<bool> d;
    for (int k = 0; k < MaxReads; ++k) {
        s.push_back(k * 2.5);
        d.push_back(k % 7 == 0);
    }
    TTimeline t;
    BinTimeline(Reads(s, d), 1000, t);
    int64_t counted = 0, dups = 0;
    for (const TTimelineColumn& c : t.Columns) {
        counted += c.Counted;
        dups += c.Dups;
        EXPECT_GE(c.Nearest, 0) << "evenly spread reads leave no column empty";
    }
    EXPECT_EQ(counted + dups, MaxReads);
    EXPECT_EQ(dups, (MaxReads + 6) / 7);
    EXPECT_EQ(t.Columns.front().Counted + t.Columns.front().Dups, 80);
}

TEST(Timeline, SilencesLongerThanThreeAverageGapsAreShaded) {
    // Average gap 10 s: a 30 s silence is not long, 31 s and 200 s are.
    THistory h = Reads({0, 10, 20, 50, 60, 91, 100, 300, 310});
    h.AvgGap = 10;
    TTimeline t;
    BinTimeline(h, 310, t);
    EXPECT_EQ(t.LongGaps, 2);
    ASSERT_EQ(t.Gaps.size(), 2u);
    EXPECT_EQ(t.Gaps[0].From, 60);
    EXPECT_EQ(t.Gaps[0].To, 91);
    EXPECT_EQ(t.Gaps[1].From, 100);
    EXPECT_EQ(t.Gaps[1].To, 300);
    // Squeezed into few columns, touching silences become one span.
    BinTimeline(h, 3, t);
    EXPECT_EQ(t.LongGaps, 2);
    ASSERT_EQ(t.Gaps.size(), 1u);
    EXPECT_EQ(t.Gaps[0].From, 0);
    EXPECT_EQ(t.Gaps[0].To, 2);
    // No average gap yet: nothing counts as long.
    h.AvgGap = 0;
    BinTimeline(h, 310, t);
    EXPECT_TRUE(t.Gaps.empty());
}

TEST(Timeline, AxisTicksFallOnWholeMinutesAndHours) {
    TTimeline t;
    // 11:58:30 to 12:21:30 over 230 columns: at least 50 columns apart means every 5 minutes.
    BinTimeline(Reads({-90, 1290}), 230, t);
    const std::vector<TAxisTick> ticks = AxisTicks(t, 50);
    ASSERT_EQ(ticks.size(), 5u);
    EXPECT_STREQ(ticks[0].Text, "06/09 12:00");
    EXPECT_EQ(ticks[0].X, 15);
    EXPECT_STREQ(ticks[4].Text, "06/09 12:20");
    EXPECT_EQ(ticks[4].X, 215);
    // Two days in 200 columns, 40 apart: every 12 hours, starting at midnight or noon.
    BinTimeline(Reads({0, 2 * 86400.0}), 200, t);
    const std::vector<TAxisTick> days = AxisTicks(t, 40);
    ASSERT_EQ(days.size(), 5u);
    EXPECT_STREQ(days[1].Text, "06/10 00:00");
    // Labels follow the local time shown, not the run's time line.
    THistory shifted = Reads({0, 600});
    for (THistRead& r : shifted.Rows)
        r.Shown += 2 / 24.0;
    BinTimeline(shifted, 100, t);
    EXPECT_STREQ(AxisTicks(t, 10).front().Text, "06/09 14:00");
}

// A span from the history database is shown whole. Where no run was listening the band says so,
// and that time neither makes a silence long nor is shaded as one.
TEST(Timeline, TimeNotListeningIsNoSilence) {
    auto at = [](double s) { return Start + s / 86400.0; };
    THistory h = Reads({0, 10, 20, 30, 80, 90, 100});
    h.AvgGap = 10;
    h.FixedSpan = true;
    h.SpanFrom = at(0);
    h.SpanTo = at(200);
    h.NotListening = {{at(40), at(70)}, {at(150), at(260)}};
    TTimeline t;
    BinTimeline(h, 200, t);
    EXPECT_EQ(t.SpanMs, 200000);
    EXPECT_EQ(t.LongGaps, 0) << "of 50 s silent, 30 s were not listened to";
    EXPECT_TRUE(t.Gaps.empty());
    ASSERT_EQ(t.NotListening.size(), 2u);
    EXPECT_EQ(t.NotListening[0].From, 40);
    EXPECT_EQ(t.NotListening[0].To, 70);
    EXPECT_EQ(t.NotListening[1].To, 199) << "clipped to the span";
    EXPECT_EQ(t.NotListeningMs, 80000);

    // Listened to for 40 s of the 50: long, and shaded only where it was listened to.
    h.NotListening = {{at(40), at(50)}};
    BinTimeline(h, 200, t);
    EXPECT_EQ(t.LongGaps, 1);
    ASSERT_EQ(t.Gaps.size(), 2u);
    EXPECT_EQ(t.Gaps[0].From, 30);
    EXPECT_EQ(t.Gaps[0].To, 40);
    EXPECT_EQ(t.Gaps[1].From, 50);
    EXPECT_EQ(t.Gaps[1].To, 80);

    // Without reads the span still shows, its ticks on local time; a read after its end (one
    // followed since it was loaded) stretches it.
    THistory empty;
    empty.FixedSpan = true;
    empty.SpanFrom = at(0);
    empty.SpanTo = at(3600);
    empty.LocalOffset = 2 / 24.0;
    BinTimeline(empty, 100, t);
    EXPECT_EQ(t.Counted, 0);
    EXPECT_EQ(t.SpanMs, 3600000);
    EXPECT_EQ(FormatDateTimeShort(t.FirstShown), "06/09 14:00:00");
    EXPECT_FALSE(AxisTicks(t, 20).empty());
    h.NotListening.clear();
    h.Rows.insert(h.Rows.begin(), h.Rows.front());
    h.Rows.front().Time = at(300);
    BinTimeline(h, 300, t);
    EXPECT_EQ(t.SpanMs, 300000);
    EXPECT_EQ(t.Columns[299].Counted, 1);
}

// The snapshot a loaded history holds: gaps from the moment of loading, duplicates as the
// statistics count them, and the route.
TEST(Timeline, LoadedHistoryFlagsDuplicatesLikeTheStatistics) {
    TManualClock clock(Start);
    TNullListener listener;
    auto store = TStore::Create(clock, listener);
    store->Settings.DuplicateTimeSec = 5;
    store->AddEntry(3);
    store->Entries[0].Name.Assign("North Gate");
    store->AddRepeat('c');
    const uint16_t row = store->AddSensor(10, 0x1234);
    store->InsertRead(0, 0, 1, row);
    store->RefreshSensor(row, 0, 0);
    clock.AdvanceSeconds(3);
    store->InsertRead(NoIndex, NoIndex, 1, row);
    store->RefreshSensor(row, NoIndex, NoIndex);
    clock.AdvanceSeconds(60);
    store->InsertRead(0, 0, 1, row);
    store->RefreshSensor(row, 0, 0);
    clock.AdvanceSeconds(7);

    THistory h;
    ASSERT_TRUE(LoadHistory(*store, row, clock.Now(), h));
    ASSERT_EQ(h.Rows.size(), 3u);
    EXPECT_EQ(h.Rows[0].Gap, 7);
    EXPECT_EQ(h.Rows[1].Gap, 60);
    EXPECT_FALSE(h.Rows[0].Dup);
    EXPECT_TRUE(h.Rows[1].Dup);
    EXPECT_EQ(h.Rows[1].Repeater, '\0');
    EXPECT_EQ(h.Rows[1].Entry, NoIndex);
    EXPECT_EQ(h.Rows[2].Repeater, 'c');
    EXPECT_EQ(h.EntryName(h.Rows[2]), "North Gate");
    EXPECT_EQ(h.AvgGap, store->Sensors[row].Stats.AvgGap);
    EXPECT_FALSE(LoadHistory(*store, row + 1, clock.Now(), h));
    EXPECT_EQ(h.Rows.size(), 3u);

    // Reads registered since go on top: the newest with its gap to now, the old top row with
    // its gap to the read above it now. A name the store's slots do not have is added once.
    std::vector<THistRead> newer(2, h.Rows[0]);
    newer[0].Time = clock.Now() + 1 / 86400.0;
    newer[1].Time = clock.Now() + 4 / 86400.0;
    newer[1].Entry = h.EntryIndex("West");
    AddNewerReads(h, newer, clock.Now() + 9 / 86400.0);
    ASSERT_EQ(h.Rows.size(), 5u);
    EXPECT_EQ(h.Rows[0].Gap, 5);
    EXPECT_EQ(h.Rows[1].Gap, 3);
    EXPECT_EQ(h.Rows[2].Gap, 8);
    EXPECT_EQ(h.Rows[3].Gap, 60) << "below the old top, nothing changes";
    EXPECT_EQ(h.EntryName(h.Rows[0]), "West");
    EXPECT_EQ(h.EntryIndex("West"), h.Rows[0].Entry);
    EXPECT_EQ(h.EntryIndex("North Gate"), 0);
}

} // namespace
