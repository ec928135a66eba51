#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "output/StoredHistory.h"
#include "support/HistoryDb.h"
#include "support/TempDir.h"

using namespace corvane;
using corvane::test::TDbRead;
using corvane::test::THistoryDb;

namespace {

constexpr int64_t kSec = 1000;
constexpr int64_t kMin = 60 * kSec;
constexpr int64_t kHour = 60 * kMin;
const TDateTime Noon = EncodeDateTime(2025, 6, 1, 12, 0, 0);
const int64_t NowMs = WallToUnixMs(Noon);

TDateTime Seconds(double s) {
    return s / 86400.0;
}

// A file held as the recording run holds it; this run (run 3, when made so) began startedAgo
// before noon, with its time line and the wall clock at one.
class StoredHistory : public ::testing::Test {
protected:
    TTempDir dir;
    std::string path = dir.Path() + "/corvane_history.db";
    THistoryDb db{path};
    TRunMapping mapping;
    int64_t tank = db.AddSensor(0x1234, 30.0);
    int64_t other = db.AddSensor(0x9999);

    void ThisRunSince(int64_t run, int64_t startedAgoMs) {
        mapping.CurrentRun = run;
        mapping.Now = Noon;
        mapping.CurrentStart = Noon - MsToDays(startedAgoMs);
        mapping.WallNowMs = NowMs;
    }
    THistory Load(THistSpan span, int64_t serNo = 0x1234) {
        TStoredQuery q;
        q.SerNo = serNo;
        q.Span = span;
        q.Mapping = mapping;
        THistory h;
        std::string error;
        EXPECT_TRUE(LoadStoredHistory(path, q, h, error)) << error;
        return h;
    }
    // A read of this run's, agoMs before noon on both clocks.
    void ReadAgo(int64_t run, int64_t sensor, int64_t agoMs, int64_t startedAgoMs) {
        TDbRead r;
        r.Run = run;
        r.Sensor = sensor;
        r.WallMs = NowMs - agoMs;
        r.MonoMs = startedAgoMs - agoMs;
        db.AddRead(r);
    }
};

std::vector<int32_t> Gaps(const THistory& h) {
    std::vector<int32_t> gaps;
    for (const THistRead& r : h.Rows)
        gaps.push_back(r.Gap);
    return gaps;
}

TEST_F(StoredHistory, SpansTakeTheSensorsReadsFromTheirStartNewestFirst) {
    const int64_t run = db.AddRun(NowMs - 10 * 24 * kHour, NowMs, std::nullopt);
    ThisRunSince(run, 10 * 24 * kHour);
    const int64_t started = 10 * 24 * kHour;
    for (int64_t ago : {8 * 24 * kHour, 3 * 24 * kHour, 90 * kMin, kHour, 59 * kMin, 10 * kSec}) {
        ReadAgo(run, tank, ago, started);
        ReadAgo(run, other, ago - kSec, started); // another sensor's, between them
    }
    // A read taken in but not yet committed by the recording run is not seen, nor waited for.
    db.Exec("BEGIN");
    ReadAgo(run, tank, 5 * kSec, started);

    // The hour's start is in it.
    const THistory hour = Load(THistSpan::LastHour);
    EXPECT_EQ(Gaps(hour), (std::vector<int32_t>{10, 59 * 60 - 10, 60}));
    EXPECT_TRUE(hour.FixedSpan);
    EXPECT_DOUBLE_EQ(hour.SpanFrom, Noon - 1 / 24.0);
    EXPECT_DOUBLE_EQ(hour.SpanTo, Noon);
    EXPECT_NEAR(hour.Rows[0].Time, Noon - Seconds(10), Seconds(0.001));
    EXPECT_EQ(hour.Rows[0].Shown, UnixMsToWall(NowMs - 10 * kSec));
    EXPECT_FLOAT_EQ(hour.AvgGap, 30.0f) << "the usual gap the file keeps";
    EXPECT_EQ(Load(THistSpan::LastDay).Rows.size(), 4u);
    EXPECT_EQ(Load(THistSpan::LastWeek).Rows.size(), 5u);
    const THistory all = Load(THistSpan::Everything);
    ASSERT_EQ(all.Rows.size(), 6u);
    EXPECT_DOUBLE_EQ(all.SpanFrom, all.Rows.back().Time) << "from the oldest read kept";
    db.Exec("COMMIT");
    EXPECT_EQ(Load(THistSpan::LastHour).Rows.size(), 4u);
    // A sensor the file does not know has no reads, and no usual gap.
    const THistory none = Load(THistSpan::LastHour, 0x4321);
    EXPECT_TRUE(none.Rows.empty());
    EXPECT_EQ(none.AvgGap, 0.0f);
    EXPECT_TRUE(none.FixedSpan);
}

// A wall clock set back an hour during the run: the reads stay in the order they came, their
// gaps go by the run's steady time line, and each shows the wall clock it was taken by.
TEST_F(StoredHistory, AWallClockSetBackKeepsTheOrderOfInsertion) {
    const int64_t run = db.AddRun(NowMs - 10 * kMin, NowMs, std::nullopt);
    ThisRunSince(run, 10 * kMin);
    for (int k = 0; k < 4; ++k) {
        TDbRead r;
        r.Run = run;
        r.Sensor = tank;
        r.MonoMs = k * 100 * kSec;
        r.WallMs = NowMs - 10 * kMin + r.MonoMs - (k >= 2 ? kHour : 0);
        r.OffsetMin = 120;
        db.AddRead(r);
    }
    const THistory h = Load(THistSpan::LastDay);
    ASSERT_EQ(h.Rows.size(), 4u);
    EXPECT_EQ(Gaps(h), (std::vector<int32_t>{300, 100, 100, 100}));
    EXPECT_NEAR(h.Rows[0].Time, Noon - Seconds(300), Seconds(0.001));
    EXPECT_EQ(FormatDateTimeShort(h.Rows[0].Shown), "06/01 12:55:00") << "UTC 10:55 at +2 h";
    EXPECT_EQ(FormatDateTimeShort(h.Rows[2].Shown), "06/01 13:51:40");
    // The span's start goes by the wall clock, as the index does.
    EXPECT_EQ(Load(THistSpan::LastHour).Rows.size(), 2u);
}

// Reads of earlier runs go by their run's origin, also when this run records nothing.
TEST_F(StoredHistory, EarlierRunsReadsGoByTheirOrigin) {
    // The wall clock was set forward 30 min during the earlier run: its newest read says so.
    const int64_t earlier = db.AddRun(NowMs - 5 * kHour, NowMs - 3 * kHour, NowMs - 3 * kHour,
                                      NowMs - 5 * kHour + 30 * kMin);
    TDbRead r;
    r.Run = earlier;
    r.Sensor = tank;
    r.MonoMs = kHour;
    r.WallMs = NowMs - 5 * kHour + 30 * kMin + kHour;
    db.AddRead(r);
    mapping.Now = Noon;
    mapping.CurrentStart = Noon;
    mapping.WallNowMs = NowMs;
    const THistory h = Load(THistSpan::LastDay);
    ASSERT_EQ(h.Rows.size(), 1u);
    EXPECT_EQ(FormatDateTimeShort(h.Rows[0].Time), "06/01 08:30:00");
    EXPECT_EQ(h.Rows[0].Gap, 3 * 3600 + 1800);
}

// Names come back from UTF-8 as the 8-bit text they were; an entry point the store never held
// is named all the same, and each name is kept once.
TEST_F(StoredHistory, EntryNamesAndRepeatersComeBackAsTheirLatin1) {
    const int64_t run = db.AddRun(NowMs - kHour, NowMs, std::nullopt);
    ThisRunSince(run, kHour);
    const int64_t nord = db.AddName("N\xC3\xB6rd \"Gate\"");
    const int64_t euro = db.AddName("Ost \xE2\x82\xAC"); // not 8-bit: edited by hand
    db.AddEntry(7, "S\xC3\xBC"
                   "d");
    auto add = [&](int entry, int64_t name, std::string_view repeater) {
        TDbRead r;
        r.Run = run;
        r.Sensor = tank;
        r.WallMs = NowMs - kMin;
        r.MonoMs = kHour - kMin;
        r.Entry = entry;
        r.EntryName = name;
        r.Repeater = repeater;
        db.AddRead(r);
    };
    add(3, nord, "\xC3\xA9");
    add(7, 0, "c"); // carried no name: the entry point's own
    add(-1, 0, "");
    add(3, nord, "c");
    add(4, euro, "");

    const THistory h = Load(THistSpan::LastHour);
    ASSERT_EQ(h.Rows.size(), 5u);
    EXPECT_EQ(h.EntryName(h.Rows[0]), "Ost ?");
    EXPECT_EQ(h.EntryName(h.Rows[1]), "N\xF6rd \"Gate\"");
    EXPECT_EQ(h.Rows[1].Repeater, 'c');
    EXPECT_FALSE(h.HasEntry(h.Rows[2]));
    EXPECT_EQ(h.Rows[2].Repeater, '\0');
    EXPECT_EQ(h.EntryName(h.Rows[3]), "S\xFC"
                                      "d");
    EXPECT_EQ(h.Rows[4].Entry, h.Rows[1].Entry);
    EXPECT_EQ(h.Rows[4].Repeater, '\xE9');
    EXPECT_EQ(h.EntryNames.size(), 3u);
}

// Not listening: before the first run, and from each run's end (its stop, or its last sign of
// life when it ended without one) to the next one's start; this run listens until now.
TEST_F(StoredHistory, TimeNotListeningLiesBetweenRuns) {
    db.AddRun(NowMs - 20 * kHour, NowMs - 18 * kHour, NowMs - 18 * kHour);
    db.AddRun(NowMs - 10 * kHour, NowMs - 6 * kHour, std::nullopt); // ended uncleanly
    const int64_t run = db.AddRun(NowMs - kHour, NowMs - 50 * kMin, std::nullopt);
    ThisRunSince(run, kHour);
    auto hours = [](const std::vector<TTimeSpan>& spans) {
        std::vector<std::pair<double, double>> h;
        for (const TTimeSpan& s : spans)
            h.emplace_back(std::round((s.From - Noon) * 1440.0) / 60.0,
                           std::round((s.To - Noon) * 1440.0) / 60.0);
        return h;
    };
    using THours = std::vector<std::pair<double, double>>;
    EXPECT_EQ(hours(Load(THistSpan::LastDay).NotListening),
              (THours{{-24, -20}, {-18, -10}, {-6, -1}}));
    EXPECT_EQ(hours(Load(THistSpan::LastHour).NotListening), THours{});
    // The span starts inside a time not listened to: clipped to it.
    const std::vector<TStoredRun> none;
    EXPECT_EQ(hours(NotListening(none, mapping, {Noon - 3 / 24.0, Noon})), (THours{{-3, -1}}));

    // A run that records nothing knows only the file's runs: the last one's end is the last
    // time heard.
    ThisRunSince(-1, 0);
    EXPECT_EQ(hours(Load(THistSpan::LastDay).NotListening),
              (THours{{-24, -20}, {-18, -10}, {-6, -1}, {-50 / 60.0, 0}}));
}

TEST_F(StoredHistory, AFileThatCannotBeReadSaysWhy) {
    TStoredQuery q;
    q.SerNo = 0x1234;
    THistory h;
    h.Rows.push_back({});
    std::string error;
    EXPECT_FALSE(LoadStoredHistory(dir.Path() + "/missing.db", q, h, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(h.Rows.empty());
    // Made by a newer program: its tables may mean something else.
    db.Exec("PRAGMA user_version = 99");
    error.clear();
    EXPECT_FALSE(LoadStoredHistory(path, q, h, error));
    EXPECT_NE(error.find("newer"), std::string::npos) << error;
    // Not a database at all.
    const std::string junk = dir.Path() + "/junk.db";
    std::ofstream(junk) << std::string(4096, 'x');
    error.clear();
    EXPECT_FALSE(LoadStoredHistory(junk, q, h, error));
    EXPECT_FALSE(error.empty());
}

} // namespace
