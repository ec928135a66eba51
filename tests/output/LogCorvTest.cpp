#include "output/LogCorv.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "OutputFixture.h"

namespace corvane::test {
namespace {

namespace fs = std::filesystem;

const TDateTime Tick = EncodeDateTime(2026, 12, 6, 18, 40, 32);
const std::string StatsHeader = std::string(StatisticsLogHeader) + "\r\n";

using NextLogFileNameTest = OutputTest;

TEST_F(NextLogFileNameTest, NumbersFollowTheHighestRunWithoutFillingGaps) {
    EXPECT_EQ(NextLogFileName(Path("Corvane.LOG")), Path("Corvane_01.LOG"));
    Touch("Corvane_01.LOG");
    EXPECT_EQ(NextLogFileName(Path("Corvane.LOG")), Path("Corvane_02.LOG"));
    Touch("Corvane_05.LOG");
    EXPECT_EQ(NextLogFileName(Path("Corvane.LOG")), Path("Corvane_06.LOG"));
    // The two extensions count separately.
    EXPECT_EQ(NextLogFileName(Path("Corvane.txt")), Path("Corvane_01.txt"));
}

TEST_F(NextLogFileNameTest, RunsPastNinetyNineKeepCounting) {
    Touch("Corvane_99.LOG");
    EXPECT_EQ(NextLogFileName(Path("Corvane.LOG")), Path("Corvane_100.LOG"));
    Touch("Corvane_100.LOG");
    EXPECT_EQ(NextLogFileName(Path("Corvane.LOG")), Path("Corvane_101.LOG"));
    Touch("Corvane_101.LOG");
    Touch("Corvane_07.LOG");
    EXPECT_EQ(NextLogFileName(Path("Corvane.LOG")), Path("Corvane_102.LOG"));
}

TEST_F(NextLogFileNameTest, NamesThatAreNotRunsAreIgnored) {
    Touch("Corvane_03.LOG");
    Touch("Corvane_a.LOG");
    Touch("Corvane_1x.LOG");
    Touch("Corvane_.LOG");
    Touch("Corvane_-9.LOG");
    Touch("Corvane_99999999999999999999.LOG");
    Touch("Corvane_50.LOG.bak");
    Touch("Corvane_60.log"); // another case is another name here
    Touch("Other_70.LOG");
    Touch("Corvane70.LOG");
    EXPECT_EQ(NextLogFileName(Path("Corvane.LOG")), Path("Corvane_04.LOG"));
}

TEST_F(NextLogFileNameTest, EntriesOfAnyKindCount) {
    fs::create_directory(dir_ / "Corvane_08.LOG");
    EXPECT_EQ(NextLogFileName(Path("Corvane.LOG")), Path("Corvane_09.LOG"));
}

TEST_F(NextLogFileNameTest, BaseEndsAtTheFirstDotAndMayHoldUnderscores) {
    Touch("my_app_02.LOG");
    EXPECT_EQ(NextLogFileName(Path("my_app.LOG")), Path("my_app_03.LOG"));
    Touch("Corvane_04.tar.LOG");
    EXPECT_EQ(NextLogFileName(Path("Corvane.tar.LOG")), Path("Corvane_05.tar.LOG"));
}

TEST_F(NextLogFileNameTest, NameWithoutDotGetsLogExtension) {
    Touch("Corvane_03.LOG");
    EXPECT_EQ(NextLogFileName(Path("Corvane")), Path("Corvane_04.LOG"));
}

TEST_F(NextLogFileNameTest, MissingDirectoryStartsAtOne) {
    EXPECT_EQ(NextLogFileName(Dir() + "none/Corvane.LOG"), Dir() + "none/Corvane_01.LOG");
}

using LogFileTest = OutputTest;

TEST_F(LogFileTest, HeaderOnlyWhenCreatedAndLinesAppended) {
    const std::string path = Path("a.LOG");
    {
        TLogCorv log;
        ASSERT_EQ(log.Open(path, "\"H\""), 1);
        EXPECT_TRUE(log.IsOpen());
        log.WriteLine("one");
        EXPECT_EQ(log.Close(), 1);
        EXPECT_FALSE(log.IsOpen());
    }
    {
        TLogCorv log;
        ASSERT_EQ(log.Open(path, "\"H\""), 1);
        log.WriteLine(std::string_view("t\0o", 3));
        // Closed by the destructor.
    }
    EXPECT_EQ(ReadAll(path), std::string("\"H\"\r\none\r\nt\0o\r\n", 15));
}

TEST_F(LogFileTest, OpenCreatesMissingFolders) {
    const std::string path = Dir() + "x/y/z/b.txt";
    TLogCorv log;
    ASSERT_EQ(log.Open(path, "h"), 1);
    log.Close();
    EXPECT_EQ(ReadAll(path), "h\r\n");
}

TEST_F(LogFileTest, UnopenablePathFailsQuietlyAndCreatesNothing) {
    Touch("plain");
    const std::string path = Dir() + "plain/sub/c.LOG";
    TLogCorv log;
    EXPECT_EQ(log.Open(path, "h"), 0);
    EXPECT_FALSE(log.IsOpen());
    log.WriteLine("lost");
    EXPECT_EQ(log.Close(), 1);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(ReadAll(Path("plain")), "x");

    EXPECT_EQ(WriteStatisticsLog(path, *store_, Tick), 0);
    EXPECT_EQ(WritePacketLog(path, "line", Tick), 0);
    // A folder of that name cannot be opened as a log either.
    fs::create_directory(dir_ / "d.LOG");
    EXPECT_EQ(log.Open(Path("d.LOG"), "h"), 0);
}

// A disk that takes this many more bytes and then is full.
long FullDiskBudget = -1;

long FillingWrite(int fd, const iovec* parts, int count) {
    if (FullDiskBudget == 0) {
        errno = ENOSPC;
        return -1;
    }
    long wanted = 0;
    for (int i = 0; i < count; ++i)
        wanted += static_cast<long>(parts[i].iov_len);
    if (FullDiskBudget < 0 || wanted <= FullDiskBudget) {
        if (FullDiskBudget > 0)
            FullDiskBudget -= wanted;
        return static_cast<long>(writev(fd, parts, count));
    }
    // Only the first part of the first piece fits.
    const long n = write(fd, parts[0].iov_base,
                         std::min(static_cast<size_t>(FullDiskBudget), parts[0].iov_len));
    FullDiskBudget = 0;
    return n;
}

class FullDiskTest : public OutputTest {
protected:
    void SetUp() override {
        OutputTest::SetUp();
        LogWriteFn = FillingWrite;
        FullDiskBudget = -1;
    }
    void TearDown() override {
        LogWriteFn = saved_;
        OutputTest::TearDown();
    }
    TLogWriteFn saved_ = LogWriteFn;
};

TEST_F(FullDiskTest, LogIsCreatedWithItsHeaderOrNotAtAll) {
    const std::string path = Path("s.LOG");
    FullDiskBudget = 0;
    EXPECT_EQ(WriteStatisticsLog(path, *store_, Tick), 0);
    EXPECT_FALSE(fs::exists(path));
    FullDiskBudget = 10; // room for part of the header only
    EXPECT_EQ(WriteStatisticsLog(path, *store_, Tick), 0);
    EXPECT_FALSE(fs::exists(path));
    TLogCorv log;
    FullDiskBudget = 0;
    EXPECT_EQ(log.Open(path, "h", TLogCorv::CreateOnly), 0);
    EXPECT_FALSE(fs::exists(path));

    FullDiskBudget = -1; // space again: the next write makes the file, header first
    AddSensor(1, "a", 3).Stats.LastTime = Tick;
    EXPECT_EQ(WriteStatisticsLog(path, *store_, Tick), 1);
    EXPECT_EQ(ReadAll(path), StatsHeader + "12/06/26 18:40:32,\"0000000000000001\",\"a\","
                                           "\"AngTemp\",0,0,0,0.0,0,0\r\n");
}

TEST_F(FullDiskTest, RecordsAreWrittenWholeOrNotAtAll) {
    const std::string path = Path("p.txt");
    ASSERT_EQ(WritePacketLog(path, "first", Tick), 1);
    FullDiskBudget = 12; // the time fits, the rest does not
    EXPECT_EQ(WritePacketLog(path, "second", Tick), 1);
    FullDiskBudget = 0;
    EXPECT_EQ(WritePacketLog(path, "third", Tick), 1);
    FullDiskBudget = -1;
    ASSERT_EQ(WritePacketLog(path, "fourth", Tick), 1);
    EXPECT_EQ(ReadAll(path), "\"Time\",\"Name\",\"Packet\"\r\n"
                             "12/06/26 18:40:32,,first\r\n"
                             "12/06/26 18:40:32,,fourth\r\n");

    TLogCorv log;
    ASSERT_EQ(log.Open(path, "h"), 1);
    FullDiskBudget = 3;
    EXPECT_FALSE(log.WriteLine("cut short"));
    FullDiskBudget = -1;
    EXPECT_TRUE(log.WriteLine("whole"));
    log.Close();
    EXPECT_TRUE(ReadAll(path).ends_with("fourth\r\nwhole\r\n"));
}

TEST_F(LogFileTest, CreateOnlyRefusesAFileThatExists) {
    Touch("taken.LOG");
    TLogCorv log;
    EXPECT_EQ(log.Open(Path("taken.LOG"), "h", TLogCorv::CreateOnly), -1);
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(ReadAll(Path("taken.LOG")), "x");
    EXPECT_EQ(LogBasePath(Path("Corvane_07.LOG")), Path("Corvane.LOG"));
    EXPECT_EQ(LogBasePath("my_app_102.tar.LOG"), "my_app.tar.LOG");
    EXPECT_EQ(LogBasePath("Corvane_x.LOG"), "Corvane_x.LOG");
    EXPECT_EQ(LogBasePath("_07.LOG"), "_07.LOG");
}

using StatisticsLogTest = OutputTest;

TEST_F(StatisticsLogTest, OneLinePerSensorInRowOrder) {
    TSensor& a = AddSensor(0x1234ABCD, "North Gate", 10);
    a.Stats.LastTime = Tick - 90.7 / 86400.0;
    a.Stats.Count = 12;
    a.Stats.Dups = 3;
    a.Stats.RunAvg = 30.5f;
    a.Stats.MaxGap = 65535;
    a.Stats.MinGap = 7;
    TSensor& b = AddSensor(-1, "", 0);
    b.Stats.LastTime = Tick + 2.5 / 86400.0; // the clock went back: cut toward zero
    b.Stats.RunAvg = 5.0f;
    b.Stats.MaxGap = 0;
    b.Stats.MinGap = 65535;
    TSensor& c = AddSensor(1, "Tank \"7\", east", 11);
    c.Stats.LastTime = Tick;
    c.Stats.RunAvg = 123.46f;

    ASSERT_EQ(WriteStatisticsLog(Path("s.LOG"), *store_, Tick), 1);
    EXPECT_EQ(ReadAll(Path("s.LOG")),
              StatsHeader +
                  "12/06/26 18:40:32,\"000000001234ABCD\",\"North Gate\",\"Temperature\","
                  "90,12,3,30.5,65535,7\r\n"
                  "12/06/26 18:40:32,\"FFFFFFFFFFFFFFFF\",\"\",\"Unknown\",-2,0,0,5.0,0,0\r\n"
                  "12/06/26 18:40:32,\"0000000000000001\",\"Tank \"\"7\"\", east\",\"Humidity\","
                  "0,0,0,123.5,0,0\r\n");
}

TEST_F(StatisticsLogTest, RunAvgPaddedToThreeWithSystemSeparator) {
    AddSensor(1, "a", 1).Stats.RunAvg = 0.0f;
    AddSensor(2, "b", 1).Stats.RunAvg = 0.04f;
    AddSensor(3, "c", 1).Stats.RunAvg = 1234.56f;
    for (int i = 0; i < 3; ++i)
        store_->Sensors[i].Stats.LastTime = Tick;
    FormatSettings.DecimalSeparator = ',';
    FormatSettings.DateSeparator = '.';
    ASSERT_EQ(WriteStatisticsLog(Path("s.LOG"), *store_, Tick), 1);
    EXPECT_EQ(
        ReadAll(Path("s.LOG")),
        StatsHeader +
            "12.06.26 18:40:32,\"0000000000000001\",\"a\",\"2CntRange\",0,0,0,0,0,0,0\r\n"
            "12.06.26 18:40:32,\"0000000000000002\",\"b\",\"2CntRange\",0,0,0,0,0,0,0\r\n"
            "12.06.26 18:40:32,\"0000000000000003\",\"c\",\"2CntRange\",0,0,0,1234,6,0,0\r\n");
}

TEST_F(StatisticsLogTest, NoReadYetGivesAgeFromTheEmptyTime) {
    AddSensor(1, "a", 1); // LastTime still -10000 days
    ASSERT_EQ(WriteStatisticsLog(Path("s.LOG"), *store_, Tick), 1);
    std::string text = ReadAll(Path("s.LOG")).substr(StatsHeader.size());
    size_t start = text.find("\"2CntRange\",") + 12;
    long long age = std::stoll(text.substr(start));
    EXPECT_NEAR(static_cast<double>(age), (Tick + 10000.0) * 86400.0, 1.0);
    EXPECT_GT(age, 4'000'000'000LL);
}

TEST_F(StatisticsLogTest, EveryTickAppendsABlockUnderOneHeader) {
    ASSERT_EQ(WriteStatisticsLog(Path("s.LOG"), *store_, Tick), 1);
    EXPECT_EQ(ReadAll(Path("s.LOG")), StatsHeader);
    AddSensor(1, "a", 3).Stats.LastTime = Tick;
    ASSERT_EQ(WriteStatisticsLog(Path("s.LOG"), *store_, Tick + 1.4 / 86400), 1);
    ASSERT_EQ(WriteStatisticsLog(Path("s.LOG"), *store_, Tick + 2.6 / 86400), 1);
    EXPECT_EQ(ReadAll(Path("s.LOG")),
              StatsHeader +
                  "12/06/26 18:40:33,\"0000000000000001\",\"a\",\"AngTemp\",1,0,0,0.0,0,0\r\n"
                  "12/06/26 18:40:34,\"0000000000000001\",\"a\",\"AngTemp\",2,0,0,0.0,0,0\r\n");
}

using PacketLogTest = OutputTest;

TEST_F(PacketLogTest, LineLoggedWholeAfterTimeAndTwoCommas) {
    const std::string line = "a0123456789ABCDEF0123456789AB,2,North Gate,Tank 7";
    ASSERT_EQ(WritePacketLog(Path("p.txt"), line, Tick), 1);
    ASSERT_EQ(WritePacketLog(Path("p.txt"), "\"x\xff", Tick), 1);
    EXPECT_EQ(ReadAll(Path("p.txt")), "\"Time\",\"Name\",\"Packet\"\r\n"
                                      "12/06/26 18:40:32,," +
                                          line +
                                          "\r\n"
                                          "12/06/26 18:40:32,,\"x\xff\r\n");
}

TEST_F(PacketLogTest, LineEndsOfTheReceiverAreLeftOut) {
    const std::string digits = "0123456789ABCDEF0123456789AB";
    ASSERT_EQ(WritePacketLog(Path("p.txt"), "\na" + digits + ",2", Tick), 1);
    ASSERT_EQ(WritePacketLog(Path("p.txt"), "\n\r" + digits + ",x\ry\n", Tick), 1);
    EXPECT_EQ(ReadAll(Path("p.txt")), "\"Time\",\"Name\",\"Packet\"\r\n"
                                      "12/06/26 18:40:32,,a" +
                                          digits +
                                          ",2\r\n"
                                          "12/06/26 18:40:32,," +
                                          digits + ",xy\r\n");
}

TEST_F(StatisticsLogTest, RunAvgRoundsExactHalvesAwayFromZero) {
    const float values[] = {0.25f, 0.75f, 10.125f, 0.35f, 0.05f, 2.5f};
    for (int i = 0; i < 6; ++i) {
        AddSensor(i + 1, "a", 1).Stats.RunAvg = values[i];
        store_->Sensors[i].Stats.LastTime = Tick;
    }
    ASSERT_EQ(WriteStatisticsLog(Path("s.LOG"), *store_, Tick), 1);
    std::istringstream lines(ReadAll(Path("s.LOG")).substr(StatsHeader.size()));
    std::vector<std::string> averages;
    for (std::string line; std::getline(lines, line);) {
        const size_t last = line.rfind(',', line.rfind(',') - 1); // before Age and the last field
        const size_t first = line.rfind(',', last - 1);
        averages.push_back(line.substr(first + 1, last - first - 1));
    }
    // 0.35f and 0.05f lie a little below and above their halves in binary: rounded as before.
    EXPECT_EQ(averages, (std::vector<std::string>{"0.3", "0.8", "10.1", "0.3", "0.1", "2.5"}));
}

TEST(AppendQuotedTest, QuotesDoubledOtherBytesUnchanged) {
    std::string out = "<";
    AppendQuoted(out, "");
    AppendQuoted(out, "a,b\xe9");
    AppendQuoted(out, "\"");
    AppendQuoted(out, "x\"\"y\"");
    EXPECT_EQ(out, "<\"\"\"a,b\xe9\"\"\"\"\"\"x\"\"\"\"y\"\"\"");
}

} // namespace
} // namespace corvane::test
