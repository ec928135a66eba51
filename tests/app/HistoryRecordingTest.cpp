// A run that stops and starts again from its history database shows what a run that never
// stopped shows for the same reads.
#include "app/HistoryRecording.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <sstream>

#include "app/ListTexts.h"
#include "app/Monitor.h"
#include "history/HistoryTime.h"
#include "history/HistoryWriter.h"
#include "history/Sqlite.h"
#include "support/Packets.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

using testing::SensorLine;

struct TLogged : TNullListener {
    std::vector<std::string> Lines;
    void AddLogLine(std::string_view line) override { Lines.emplace_back(line); }
};

// One run: a monitor on its own clock, recording into the folder's database when asked.
struct TRun {
    explicit TRun(TDateTime start) : Clock(start) {}
    TManualClock Clock;
    TLogged Views;
    TMonitor Monitor{Clock, TViews(Views)};
    THistoryRecording History{Monitor, [this](std::string_view l) { Views.AddLogLine(l); }};

    void Record(const std::string& path) { History.Start(path, THistorySettings{}, "desk"); }
    void Line(const std::string& line) { ASSERT_TRUE(Monitor.ParsePacketLine(nullptr, line)); }
};

std::string Ms(TDateTime t) {
    return std::to_string(std::llround(t * 86400000.0));
}

// Everything the list, the tree and the alerts show, and the ring's reads in order.
std::string Snapshot(TMonitor& monitor) {
    TStore& st = monitor.Store();
    const TDateTime now = monitor.Clock().Now();
    std::ostringstream out;
    TListTexts texts;
    for (uint16_t row = 0; row < st.SensorCount; ++row) {
        const TSensor& s = st.Sensors[row];
        texts.New(st, row);
        texts.Changed(st, row, now);
        out << texts.Label << ' ' << texts.Kind << ' ' << texts.Count << ' ' << texts.Dups << ' '
            << texts.RunAvg << ' ' << texts.Age << ' ' << texts.Loss << ' ' << texts.Routes << ' '
            << s.Stats.AvgGap << ' ' << s.Stats.MaxGap << ' ' << s.Stats.MinGap << ' '
            << int(s.Marked) << ' ' << int(st.Alerts.State(TAlertKind::Sensor, row));
        for (int k = 0; k < s.EntrySlotCount; ++k)
            out << " e" << int(s.EntrySlotIds[k]) << ':' << s.EntrySlots[k].Count;
        for (int k = 0; k < s.RepeatSlotCount; ++k)
            out << " r" << s.RepeatSlotIds[k] << ':' << s.RepeatSlots[k].Count;
        out << '\n';
    }
    for (uint8_t i = 0; i < st.EntryCount; ++i)
        out << "entry " << int(st.Entries[i].Id) << ' ' << st.Entries[i].Name.View() << ' '
            << st.TotalCount(TOwnerKind::Entry, i) << ' '
            << st.RecentCount(TOwnerKind::Entry, i, 10, now) << ' '
            << int(st.Alerts.State(TAlertKind::Entry, i)) << '\n';
    for (uint8_t i = 0; i < st.RepeatCount; ++i)
        out << "repeater " << st.Repeats[i].Id << ' ' << st.TotalCount(TOwnerKind::Repeat, i) << ' '
            << st.RecentCount(TOwnerKind::Repeat, i, 5, now) << ' '
            << int(st.Alerts.State(TAlertKind::Repeat, i)) << '\n';
    for (int32_t k = 0, n = st.ReadTail; k < st.ReadCount; ++k, n = (n + 1) % MaxReads) {
        const TRead& r = st.Reads[n];
        out << st.Sensors[r.Sensor].SerNo << ' ' << int(r.Entry) << ' ' << int(r.Repeat) << ' '
            << Ms(r.Time) << ' ' << Ms(r.Wall) << ' ' << st.IsDuplicate(r.SensorOlder, n) << '\n';
    }
    out << "late " << st.Alerts.LateCount() << " silent " << st.Alerts.SilentCount() << '\n';
    return out.str();
}

// A mixed network: sensors heard over several routes, duplicates, names coming and going.
std::vector<std::pair<int, std::string>> Traffic(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::pair<int, std::string>> lines;
    const char repeaters[] = {'\0', 'a', 'b', '#'};
    const char* entries[] = {",1,North,", ",2,South,", ",3,Gate \xC4,"};
    for (int i = 0; i < count; ++i) {
        const uint32_t serial = 0x100 + random() % 25;
        std::string tail = entries[random() % 3];
        if (random() % 4 == 0)
            tail += "Pump \xE9" + std::to_string(serial % 7);
        const int seconds = static_cast<int>(random() % 12);
        lines.emplace_back(seconds, SensorLine(serial, tail, repeaters[random() % 4],
                                               static_cast<uint8_t>(random() % 3)));
    }
    return lines;
}

TEST(HistoryRecordingTest, ARestartedRunShowsWhatARunThatNeverStoppedShows) {
    for (unsigned seed : {1u, 2u, 3u}) {
        TTempDir dir;
        const std::string path = dir.Path() + "/corvane_history.db";
        const auto traffic = Traffic(600, seed);
        const size_t split = 250 + seed * 40;
        const TDateTime start = EncodeDateTime(2026, 12, 9, 10, 0, 0);

        TRun steady(start);
        auto first = std::make_unique<TRun>(start);
        first->Record(path);
        for (size_t i = 0; i < split; ++i) {
            for (TRun* run : {&steady, first.get()}) {
                run->Clock.AdvanceSeconds(traffic[i].first);
                run->Line(traffic[i].second);
            }
        }
        first.reset(); // stops cleanly

        // Down for two minutes; the steady run hears nothing in that time either.
        steady.Clock.AdvanceSeconds(120);
        TRun second(steady.Clock.Now());
        second.Record(path);
        ASSERT_EQ(Snapshot(second.Monitor), Snapshot(steady.Monitor)) << "seed " << seed;
        for (size_t i = split; i < traffic.size(); ++i) {
            for (TRun* run : {&steady, &second}) {
                run->Clock.AdvanceSeconds(traffic[i].first);
                run->Line(traffic[i].second);
                if (i % 50 == 0)
                    run->Monitor.ExpireTick();
            }
        }
        for (TRun* run : {&steady, &second}) {
            run->Clock.AdvanceSeconds(400);
            run->Monitor.ExpireTick();
        }
        EXPECT_EQ(Snapshot(second.Monitor), Snapshot(steady.Monitor)) << "seed " << seed;
        const std::string restored = "Restored " + std::to_string(split) + " reads of ";
        EXPECT_EQ(std::count_if(second.Views.Lines.begin(), second.Views.Lines.end(),
                                [&](const std::string& l) { return l.rfind(restored, 0) == 0; }),
                  1);
    }
}

// The silence is measured across the restart: the sensor went quiet while nothing listened.
TEST(HistoryRecordingTest, ASensorThatDiedWhileTheRunWasDownIsSilentAtTheFirstTick) {
    TTempDir dir;
    const std::string path = dir.Path() + "/corvane_history.db";
    const TDateTime start = EncodeDateTime(2026, 3, 29, 0, 30, 0);
    TDateTime stop;
    {
        TRun first(start);
        first.Record(path);
        for (int i = 0; i < 6; ++i) {
            first.Clock.AdvanceSeconds(15);
            first.Line(SensorLine(0xABC, ",1,North,Well 3"));
        }
        stop = first.Clock.Now();
    }
    TRun second(stop + 2400 / 86400.0);
    second.Record(path);
    EXPECT_EQ(second.Views.Lines.back(), "Restored 6 reads of 1 sensors from " + path);
    second.Clock.AdvanceSeconds(1);
    second.Monitor.ExpireTick();
    const auto& lines = second.Views.Lines;
    EXPECT_NE(
        std::find(lines.begin(), lines.end(),
                  "Sensor Well 3 silent: no read for 2401 s, usual gap 15 s (behind entry North)"),
        lines.end());
}

// Durations come from each run's steady time line: a wall clock set back an hour during the
// first run (or between runs) reorders nothing and stretches no gap.
TEST(HistoryRecordingTest, AWallClockSetBackChangesNoOrderOrGap) {
    TTempDir dir;
    const std::string path = dir.Path() + "/corvane_history.db";
    const TDateTime start = EncodeDateTime(2026, 10, 25, 1, 0, 0);
    TRun steady(start);
    {
        TRun first(start);
        first.Record(path);
        for (int i = 0; i < 8; ++i) {
            for (TRun* run : {&steady, &first}) {
                run->Clock.AdvanceSeconds(20);
                if (i == 4)
                    run->Clock.StepWall(-3600);
                run->Line(SensorLine(0x77, ",2,South,"));
            }
        }
    }
    steady.Clock.AdvanceSeconds(30);
    TRun second(steady.Clock.Now());
    second.Clock.StepWall(-3600); // still as it was set
    second.Record(path);
    const TStore& a = steady.Monitor.Store();
    const TStore& b = second.Monitor.Store();
    ASSERT_EQ(b.ReadCount, a.ReadCount);
    EXPECT_FLOAT_EQ(b.Sensors[0].Stats.AvgGap, 20.0f);
    EXPECT_EQ(b.Sensors[0].Stats.MaxGap, a.Sensors[0].Stats.MaxGap);
    EXPECT_EQ(b.Sensors[0].Stats.MinGap, a.Sensors[0].Stats.MinGap);
    for (int32_t k = 0, n = a.ReadTail; k < a.ReadCount; ++k, n = (n + 1) % MaxReads) {
        EXPECT_EQ(Ms(b.Reads[n].Time), Ms(a.Reads[n].Time)) << k;
        EXPECT_EQ(Ms(b.Reads[n].Wall), Ms(a.Reads[n].Wall)) << k;
    }
}

// Summer time ending between two reads: each read keeps the offset it was made under, and the
// gap between them stays the ten minutes it was.
TEST(HistoryRecordingTest, AnOffsetChangeIsKeptPerReadAndBendsNoGap) {
    TTempDir dir;
    const std::string path = dir.Path() + "/corvane_history.db";
    const TDateTime change = EncodeDateTime(2026, 10, 25, 1, 0, 0); // UTC
    const TDateTime start = change - 15 / 1440.0;
    TDateTime stop;
    {
        TRun first(start);
        first.Clock.SetZone(change, 2, 1);
        first.Record(path);
        for (int i = 0; i < 3; ++i) {
            first.Clock.AdvanceSeconds(600);
            first.Line(SensorLine(0x55, ",1,North,"));
        }
        stop = first.Clock.Now();
    }
    TSqlite db;
    ASSERT_TRUE(db.Open(path, false, true));
    EXPECT_EQ(db.QueryText("SELECT group_concat(utc_offset_min) FROM reads"), "120,60,60");
    TRun second(stop + 60 / 86400.0);
    second.Clock.SetZone(change, 2, 1);
    second.Record(path);
    const TSensor& s = second.Monitor.Store().Sensors[0];
    EXPECT_EQ(s.Stats.MaxGap, 600);
    EXPECT_EQ(s.Stats.MinGap, 600);
    TListTexts texts;
    texts.New(second.Monitor.Store(), 0);
    texts.Changed(second.Monitor.Store(), 0, second.Clock.Now());
    EXPECT_EQ(texts.Age, "60");
}

TEST(HistoryRecordingTest, KeepZeroTouchesNoFileAndASecondRunRecordsNothing) {
    TTempDir dir;
    const std::string path = dir.Path() + "/corvane_history.db";
    {
        TRun off(46000.0);
        THistorySettings settings;
        settings.Keep = false;
        off.History.Start(path, settings, "desk");
        off.Line(SensorLine(0x10));
        EXPECT_FALSE(off.History.Recording());
        EXPECT_TRUE(off.History.ReadablePath().empty());
    }
    EXPECT_FALSE(std::filesystem::exists(path));

    TRun first(46000.0);
    first.Record(path);
    first.Line(SensorLine(0x11, ",1,North,"));
    first.History.Writer()->Flush();
    TRun second(46000.0 + 1 / 86400.0);
    second.Record(path);
    EXPECT_FALSE(second.History.Recording());
    EXPECT_EQ(second.History.ReadablePath(), path);
    EXPECT_EQ(second.Views.Lines.front(), "History database in use by another run; not recording");
    // It still shows what the recording run has kept.
    EXPECT_EQ(second.Monitor.Store().ReadCount, 1);
}

} // namespace
} // namespace corvane
