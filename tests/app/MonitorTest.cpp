#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/Monitor.h"
#include "output/LogCorv.h"
#include "support/Packets.h"
#include "support/RecordingListener.h"
#include "support/StoreFixture.h"
#include "util/untConst.h"

namespace corvane::testing {
namespace {

class MonitorTest : public ::testing::Test {
protected:
    TManualClock clock;
    TRecordingListener views;
    TMonitor monitor{clock, views};
    TStore& store = monitor.Store();

    bool Line(const std::string& line) { return monitor.ParsePacketLine(nullptr, line); }
};

TEST_F(MonitorTest, LineRunsIntoTheStoreAndTheViews) {
    ASSERT_TRUE(Line("aa1078563412000000000000CFBB00,2,North Gate,Tank 7"));
    ASSERT_EQ(store.SensorCount, 1);
    const TSensor& s = store.Sensors[0];
    EXPECT_EQ(s.SerNo, 0x10345678);
    EXPECT_EQ(s.Name.View(), "Tank 7");
    EXPECT_EQ(s.Kind, 2);
    EXPECT_EQ(s.Marked, 1);
    EXPECT_EQ(s.Data[0], 0x10);
    EXPECT_EQ(store.Entries[0].Name.View(), "North Gate");
    EXPECT_EQ(views.OwnerNodes[std::make_pair(0, 0)], "North Gate"); // named before the node
    EXPECT_EQ(views.OwnerNodes[std::make_pair(1, 0)], "a");
    EXPECT_EQ(views.Log, (std::vector<std::string>{"Adding Entry 0", "Adding Repeater 0"}));
    EXPECT_EQ(views.Rows[0].Label, "Tank 7");
    EXPECT_EQ(views.Rows[0].Kind, "DualCounter");
    EXPECT_EQ(views.Rows[0].Count, "1");
    EXPECT_TRUE(views.Rows[0].Marked);
    EXPECT_EQ(views.SensorNodes[0], "Tank 7");
    EXPECT_EQ(views.Captions[0], "Sensor (1)");
    EXPECT_EQ(views.Captions[2], "Count (1)");
    EXPECT_EQ(views.Activity[std::make_pair(0, 0)][3], "Total Count: 1");
    EXPECT_EQ(views.Stats(0, TStatsGroup::Entry, 0)[0], "Count: 1");
    EXPECT_EQ(views.Stats(0, TStatsGroup::Repeat, 0)[0], "Count: 1");
}

TEST_F(MonitorTest, EntryPointsAreNamedAndRenamedByTheirLines) {
    Line(SensorLine(1, ",7"));
    EXPECT_EQ(store.Entries[0].Id, 7);
    EXPECT_EQ(store.Entries[0].Name.View(), "Entry 7");
    Line(SensorLine(1, ",7,North"));
    EXPECT_EQ(store.Entries[0].Name.View(), "North");
    Line(SensorLine(1, ",7"));
    EXPECT_EQ(store.Entries[0].Name.View(), "Entry 7");
    Line(SensorLine(1, ",8,," + std::string(40, 'n')));
    EXPECT_EQ(store.Sensors[0].Name.View(), std::string(33, 'n'));
    EXPECT_EQ(store.Entries[1].Name.View(), "Entry 8");
}

TEST_F(MonitorTest, AlertLinesNameSensorsAsTheListAndEntryPointsAsTheTree) {
    store.Alerts.Settings.AlertMinSec = 0;
    for (const char* name : {"North Gate", "Renamed", "Renamed"}) {
        ASSERT_TRUE(Line(std::string("1078563412000000000000CFBB00,2,") + name + ",Tank 7"));
        clock.AdvanceSeconds(10);
    }
    views.Log.clear();
    clock.AdvanceSeconds(21);
    monitor.ExpireTick();
    EXPECT_EQ(views.Log, (std::vector<std::string>{
                             "Sensor Tank 7 late: no read for 31 s, usual gap 10 s (behind "
                             "entry North Gate)",
                             "Entry North Gate late: no read for 31 s, usual gap 10 s"}));
}

TEST_F(MonitorTest, LongEntryNumbersGiveWholeDefaultNames) {
    Line(SensorLine(1, ",1000000001"));
    Line(SensorLine(2, ",-1000000000"));
    EXPECT_EQ(store.Entries[0].Name.View(), "Entry 1000000001");
    EXPECT_EQ(store.Entries[1].Name.View(), "Entry -1000000000");
    EXPECT_EQ(monitor.EntryNames,
              (std::vector<std::string>{"Entry -1000000000", "Entry 1000000001"}));
}

TEST_F(MonitorTest, ByEntryIsEnabledWithTheSecondDifferentName) {
    Line(SensorLine(1, ",1,North"));
    Line(SensorLine(1, ",1,NORTH"));
    EXPECT_FALSE(views.ByEntryEnabled);
    EXPECT_EQ(monitor.EntryNames, (std::vector<std::string>{"North"}));
    Line(SensorLine(1, ",2,gate"));
    EXPECT_TRUE(views.ByEntryEnabled);
    Line(SensorLine(1, ",3,Alpha"));
    EXPECT_EQ(monitor.EntryNames, (std::vector<std::string>{"Alpha", "gate", "North"}));
    monitor.ClearAll();
    EXPECT_EQ(monitor.EntryNames.size(), 3u);
}

// A receiver inventing entry names (long or ever new) must not grow the list without bound.
TEST_F(MonitorTest, EntryNamesAreCutAndTheListIsBounded) {
    const std::string longName(200, 'L');
    Line(SensorLine(1, ",1," + longName));
    Line(SensorLine(1, ",1," + longName + "x")); // the same name once cut
    EXPECT_EQ(monitor.EntryNames, (std::vector<std::string>{std::string(33, 'L')}));
    monitor.EntryFilter = monitor.EntryNames[0]; // picked in the dialog: still matches
    EXPECT_TRUE(Line(SensorLine(2, ",1," + longName)));
    EXPECT_EQ(store.SensorCount, 2);
    monitor.EntryFilter.clear();

    for (int i = 1; i < 1024; ++i)
        Line(SensorLine(1, ",1,n" + std::to_string(i)));
    ASSERT_EQ(monitor.EntryNames.size(), 1024u);
    EXPECT_EQ(
        std::count(views.Log.begin(), views.Log.end(), "Entry name list is full (1024 names)"), 0);
    Line(SensorLine(1, ",1,one too many"));
    Line(SensorLine(1, ",1,and another"));
    EXPECT_EQ(monitor.EntryNames.size(), 1024u);
    EXPECT_FALSE(std::binary_search(monitor.EntryNames.begin(), monitor.EntryNames.end(),
                                    std::string("one too many")));
    EXPECT_EQ(
        std::count(views.Log.begin(), views.Log.end(), "Entry name list is full (1024 names)"), 1);
    EXPECT_EQ(store.Entries[0].Name.View(), "and another"); // the entry point still follows
    Line(SensorLine(1, ",1,N500")); // a known name (any case) is no new name
    EXPECT_EQ(
        std::count(views.Log.begin(), views.Log.end(), "Entry name list is full (1024 names)"), 1);
}

TEST_F(MonitorTest, EntryFilterIgnoresOtherEntryPointsSilently) {
    monitor.EntryFilter = "North";
    EXPECT_TRUE(Line(SensorLine(1, ",1,South")));
    EXPECT_TRUE(Line(SensorLine(2)));
    EXPECT_EQ(store.SensorCount, 0);
    EXPECT_TRUE(views.Log.empty());
    EXPECT_TRUE(Line(SensorLine(3, ",1,North")));
    EXPECT_EQ(store.SensorCount, 1);
}

TEST_F(MonitorTest, RepeaterOutsideTheAlphabetMeansHeardDirectly) {
    Line(SensorLine(1, ",1", 'A'));
    Line(SensorLine(1, ",1"));
    EXPECT_EQ(store.RepeatCount, 0);
    EXPECT_EQ(store.Reads[0].Repeat, NoIndex);
}

TEST_F(MonitorTest, RefusedSensorTakesBackWhatItsPacketMade) {
    for (uint32_t i = 0; i < MaxSensors; ++i)
        Line(SensorLine(i + 1, ",1"));
    EXPECT_EQ(store.SensorCount, MaxSensors);
    views.Log.clear();
    EXPECT_TRUE(Line(SensorLine(5000, ",9,New", 'z')));
    EXPECT_EQ(store.SensorCount, MaxSensors);
    EXPECT_EQ(store.EntryCount, 1);
    EXPECT_EQ(store.RepeatCount, 0);
    EXPECT_EQ(views.Log, (std::vector<std::string>{"Unable to add sensor"}));
    // The taken-back records are reused by the next creation.
    Line(SensorLine(7, ",9", 'z'));
    EXPECT_EQ(store.Entries[1].Id, 9);
    EXPECT_EQ(store.Repeats[0].Id, 'z');
    EXPECT_EQ(CheckInvariants(store), "");
}

TEST_F(MonitorTest, RefusedEntryAndRepeater) {
    for (int i = 0; i < MaxEntries; ++i)
        Line(SensorLine(1, "," + std::to_string(i)));
    Line(SensorLine(1, ",200"));
    EXPECT_EQ(views.Log.back(), "Unable to add entry");
    for (int i = 0; i < 32; ++i)
        Line(SensorLine(1, "", RepeaterChars[i]));
    EXPECT_EQ(store.RepeatCount, 32); // the alphabet has only 32 letters
}

// A receiver sending new serial numbers or entry numbers into full tables: each refusal is said
// once and then at most once a minute, with the count held back; the store stays as it was.
TEST_F(MonitorTest, AFullTableSaysSoOnceAMinute) {
    const TDateTime start = EncodeDateTime(2025, 3, 4, 9, 15, 0);
    clock.Set(start);
    for (uint32_t i = 0; i < MaxSensors; ++i)
        Line(SensorLine(i + 1, ",1"));
    views.Log.clear();
    for (uint32_t i = 0; i < 5000; ++i) {
        EXPECT_TRUE(Line(SensorLine(10000 + i, ",1")));
        clock.AdvanceSeconds(0.01);
    }
    EXPECT_EQ(views.Log, std::vector<std::string>{"Unable to add sensor"});
    EXPECT_EQ(store.SensorCount, MaxSensors);
    EXPECT_EQ(store.ReadCount, MaxSensors);

    clock.Set(start + 60.0 / 86400); // a minute after the line
    Line(SensorLine(20000, ",1"));
    ASSERT_EQ(views.Log.size(), 2u);
    EXPECT_EQ(views.Log[1], "Unable to add sensor (4999 more refused since 09:15:00)");
    EXPECT_EQ(CheckInvariants(store), "");
}

TEST_F(MonitorTest, AFullEntryTableSaysSoOnceAMinute) {
    clock.Set(EncodeDateTime(2025, 3, 4, 22, 0, 5));
    for (int i = 0; i < MaxEntries; ++i)
        Line(SensorLine(1, "," + std::to_string(i)));
    views.Log.clear();
    for (int i = 0; i < 100; ++i)
        Line(SensorLine(2, "," + std::to_string(100 + i)));
    EXPECT_EQ(views.Log, std::vector<std::string>{"Unable to add entry"});
    EXPECT_EQ(store.EntryCount, MaxEntries);
    EXPECT_EQ(store.SensorCount, 1); // a refused entry point's packet makes no sensor
    clock.AdvanceSeconds(60);
    Line(SensorLine(2, ",300"));
    EXPECT_EQ(views.Log.back(), "Unable to add entry (99 more refused since 22:00:05)");
}

TEST_F(MonitorTest, ExpiryIntervalFollowsTheSensorCount) {
    for (uint32_t i = 0; i < 100; ++i)
        Line(SensorLine(i + 1));
    EXPECT_EQ(views.ExpireInterval, 1000);
    Line(SensorLine(101));
    EXPECT_EQ(views.ExpireInterval, 3000);
    monitor.ClearAll();
    EXPECT_EQ(views.ExpireInterval, 1000);
}

TEST_F(MonitorTest, KindIsKeptWhileMarkDataAndNameFollowEveryPacket) {
    Line(PacketDigits(0x09, 77) + ",1,,First");
    Line(PacketDigits(0x10, 77, 5));
    const TSensor& s = store.Sensors[0];
    EXPECT_EQ(s.Kind, 1);
    EXPECT_EQ(s.Marked, 1);
    EXPECT_EQ(s.Data[9], 5);
    EXPECT_EQ(s.Name.View(), "First");
    EXPECT_EQ(store.ReadCount, 2);
}

TEST_F(MonitorTest, IdenticalPacketsASecondApartAreBothReadsOneDuplicate) {
    Line(SensorLine(1));
    clock.AdvanceSeconds(1);
    Line(SensorLine(1));
    EXPECT_EQ(store.ReadCount, 2);
    EXPECT_EQ(store.Sensors[0].Stats.Dups, 1);
}

TEST_F(MonitorTest, PacketLogHoldsEveryCheckedLineBeforeRegistration) {
    const auto dir = std::filesystem::temp_directory_path() / "corvane-monitor-test";
    std::filesystem::remove_all(dir);
    monitor.LogPackets = true;
    monitor.PacketLogPath = (dir / "corvane_01.txt").string();
    monitor.EntryFilter = "North";
    EXPECT_TRUE(Line(SensorLine(1, ",1,South")));
    EXPECT_FALSE(Line("garbage that is long enough to be looked at"));
    std::ifstream in(monitor.PacketLogPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string content = text.str();
    EXPECT_NE(content.find("\"Time\",\"Name\",\"Packet\"\r\n"), std::string::npos);
    EXPECT_NE(content.find(",," + SensorLine(1, ",1,South") + "\r\n"), std::string::npos);
    EXPECT_EQ(content.find("garbage"), std::string::npos);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace corvane::testing

namespace corvane::testing {
namespace {

// A full disk costs the log lines, silently; every packet is still registered.
TEST_F(MonitorTest, LogsOnAFullDiskLoseTheirLinesQuietly) {
    const auto dir = std::filesystem::temp_directory_path() / "corvane-monitor-full";
    std::filesystem::remove_all(dir);
    const TLogWriteFn saved = LogWriteFn;
    LogWriteFn = [](int, const iovec*, int) -> long {
        errno = ENOSPC;
        return -1;
    };
    monitor.LogPackets = true;
    monitor.PacketLogPath = (dir / "c_01.txt").string();
    monitor.StatsLogPath = (dir / "c_01.LOG").string();
    for (uint32_t i = 1; i <= 20; ++i)
        EXPECT_TRUE(Line(SensorLine(i, ",1,North")));
    monitor.LogTick();
    LogWriteFn = saved;
    EXPECT_EQ(store.SensorCount, 20);
    EXPECT_EQ(store.ReadCount, 20);
    EXPECT_EQ(std::count(views.Log.begin(), views.Log.end(), "Unable to add sensor"), 0);
    EXPECT_FALSE(std::filesystem::exists(monitor.PacketLogPath)); // no file without its header
    EXPECT_FALSE(std::filesystem::exists(monitor.StatsLogPath));
    monitor.LogTick(); // space again
    EXPECT_TRUE(std::filesystem::exists(dir / "c_01.LOG"));
    std::filesystem::remove_all(dir);
}

// Two monitors started together in one folder choose the same names; the second to write moves on.
TEST_F(MonitorTest, TwoRunsInOneFolderNeverShareALog) {
    const auto dir = std::filesystem::temp_directory_path() / "corvane-monitor-two";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    TRecordingListener otherViews;
    TMonitor other{clock, otherViews};
    for (TMonitor* m : {&monitor, &other}) {
        m->LogPackets = true;
        m->PacketLogPath = NextLogFileName((dir / "Corvane.txt").string());
        m->StatsLogPath = NextLogFileName((dir / "Corvane.LOG").string());
    }
    ASSERT_EQ(monitor.PacketLogPath, other.PacketLogPath);
    Line(SensorLine(1, ",1,North"));
    other.ParsePacketLine(nullptr, SensorLine(2, ",1,South"));
    Line(SensorLine(3, ",1,North"));
    other.ParsePacketLine(nullptr, SensorLine(4, ",1,South"));
    monitor.LogTick();
    other.LogTick();
    monitor.LogTick();

    EXPECT_EQ(monitor.PacketLogPath, (dir / "Corvane_01.txt").string());
    EXPECT_EQ(other.PacketLogPath, (dir / "Corvane_02.txt").string());
    EXPECT_EQ(other.StatsLogPath, (dir / "Corvane_02.LOG").string());
    EXPECT_EQ(views.Log, (std::vector<std::string>{"Adding Entry 0"})); // the first stays
    EXPECT_NE(std::find(otherViews.Log.begin(), otherViews.Log.end(),
                        "Packet log is now " + other.PacketLogPath),
              otherViews.Log.end());
    EXPECT_NE(std::find(otherViews.Log.begin(), otherViews.Log.end(),
                        "Statistics log is now " + other.StatsLogPath),
              otherViews.Log.end());
    auto read = [](const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string mine = read(monitor.PacketLogPath);
    const std::string theirs = read(other.PacketLogPath);
    EXPECT_EQ(std::count(mine.begin(), mine.end(), '\n'), 3); // header and two lines
    EXPECT_EQ(mine.find("South"), std::string::npos);
    EXPECT_EQ(theirs.find("North"), std::string::npos);
    EXPECT_EQ(std::count(theirs.begin(), theirs.end(), '\n'), 3);
    const std::string myStats = read(monitor.StatsLogPath);
    EXPECT_EQ(myStats.find("\"Time\""), 0u);
    EXPECT_EQ(myStats.find("\"Time\"", 1), std::string::npos); // one header, two blocks
    EXPECT_EQ(std::count(myStats.begin(), myStats.end(), '\n'), 5);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace corvane::testing
