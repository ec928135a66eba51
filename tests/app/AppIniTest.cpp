#include "app/AppIni.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "corvane-ini-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }

    std::string Program() const { return (dir_ / "corvane.exe").string(); }
    std::string IniPath() const { return (dir_ / "corvane.INI").string(); }

    void WriteIni(const std::string& text) const {
        std::ofstream(IniPath(), std::ios::binary) << text;
    }
    std::string ReadIni() const {
        std::ifstream in(IniPath(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::vector<std::string> Recent(const TAppIni& ini) const {
        std::vector<std::string> list;
        ini.ReadRecentAddresses(list);
        return list;
    }

    fs::path dir_;
};

TEST(SettingsPath, ReplacesOnlyTheFileNamesExtension) {
    EXPECT_EQ(SettingsPathFor("/opt/corvane/corvane.exe"), "/opt/corvane/corvane.INI");
    EXPECT_EQ(SettingsPathFor("/opt/v1.5/corvane"), "/opt/v1.5/corvane.INI");
    EXPECT_EQ(SettingsPathFor("corvane"), "corvane.INI");
    EXPECT_EQ(SettingsPathFor("./corvane.bin.exe"), "./corvane.bin.INI");
}

TEST_F(SettingsTest, DefaultsWithoutFileAndReadsCreateNothing) {
    const TAppIni settings(Program());
    EXPECT_EQ(settings.File().Path(), IniPath());
    EXPECT_EQ(settings.ReadDuplicateTimeSec(), 9);
    EXPECT_FALSE(settings.ReadDuplicateCRCCheck());
    EXPECT_FALSE(settings.ReadLogPackets());
    EXPECT_EQ(settings.ReadLogRateSec(), 0);
    EXPECT_EQ(settings.ReadPoints2Average(), 10);
    EXPECT_EQ(settings.ReadMaxAge(), 10800);
    EXPECT_TRUE(Recent(settings).empty());
    EXPECT_EQ(settings.ReadSerialDevice(1), "");
    const TRunSettings run = settings.ReadRunSettings();
    EXPECT_EQ(run.LogRateSec, 0);
    EXPECT_TRUE(run.SerialPorts.empty());
    EXPECT_FALSE(fs::exists(IniPath()));
}

TEST_F(SettingsTest, IntegerForms) {
    const std::pair<const char*, int32_t> cases[] = {
        {"0x1E", 30},
        {"0X1e", 30},
        {"$1E", 30},
        {"-5", -5},
        {"+7", 7},
        {"  42  ", 42},
        {"007", 7},
        {"-2147483648", INT32_MIN},
        {"$FFFFFFFF", -1},
        {"-$10", -16},
        {"abc", 77},
        {"", 77},
        {"0x", 77},
        {"$", 77},
        {"12abc", 77},
        {"1 2", 77},
        {"2147483648", 77},
        {"0x1G", 77},
        {"$100000000", 77},
        {"-", 77},
        {"99999999999999999999", 77},
    };
    TIniFile ini(IniPath());
    for (const auto& [text, expected] : cases) {
        WriteIni(std::string("[Settings]\r\nLogRateSec=") + text + "\r\n");
        EXPECT_EQ(ini.ReadInteger("Settings", "LogRateSec", 77), expected) << '"' << text << '"';
    }
}

TEST_F(SettingsTest, TuningValuesFromFile) {
    WriteIni("[Settings]\r\nDuplicateTimeSec=5\r\nDuplicateCRCCheck=2\r\nLogPackets=-1\r\n"
             "LogRateSec=0x1E\r\nPoints2Average=abc\r\nMaxAge=$E10\r\n");
    TAppIni ini(Program());
    EXPECT_EQ(ini.ReadDuplicateTimeSec(), 5);
    EXPECT_TRUE(ini.ReadDuplicateCRCCheck());
    EXPECT_TRUE(ini.ReadLogPackets());
    EXPECT_EQ(ini.ReadLogRateSec(), 30);
    EXPECT_EQ(ini.ReadPoints2Average(), 10);
    EXPECT_EQ(ini.ReadMaxAge(), 3600);

    WriteIni("[Settings]\nDuplicateCRCCheck=0\nLogPackets=yes\n");
    EXPECT_FALSE(ini.ReadDuplicateCRCCheck());
    EXPECT_FALSE(ini.ReadLogPackets()); // unreadable: the default
}

TEST_F(SettingsTest, AlertValuesFromFileAndDefaults) {
    TAppIni ini(Program());
    TAlertSettings a = ini.ReadAlertSettings();
    EXPECT_EQ(a.LateFactor, 3);
    EXPECT_EQ(a.SilentFactor, 10);
    EXPECT_EQ(a.AlertMinSec, 30);
    EXPECT_TRUE(a.Alerts);

    WriteIni("[alerts]\r\nLateFactor=0x4\r\nSilentFactor=abc\r\nAlertMinSec=$3C\r\nAlerts=0\r\n");
    a = ini.ReadAlertSettings();
    EXPECT_EQ(a.LateFactor, 4);
    EXPECT_EQ(a.SilentFactor, 10);
    EXPECT_EQ(a.AlertMinSec, 60);
    EXPECT_FALSE(a.Alerts);
    WriteIni("[Alerts]\nAlerts=2\n");
    EXPECT_TRUE(ini.ReadAlertSettings().Alerts);
}

// A value that would stop what it tunes from working takes its default, and a line for the log
// says so with the value as written; values the run can work with are kept without a word.
TEST_F(SettingsTest, OutOfRangeValuesTakeTheirDefaultsAndSaySo) {
    WriteIni("[Alerts]\r\nLateFactor=0\r\nSilentFactor=-4\r\nAlertMinSec=$0\r\n"
             "[Settings]\r\nMaxAge= -1 \r\nDuplicateTimeSec=-5\r\nPoints2Average=0\r\n"
             "LogRateSec=-1\r\n");
    const TRunSettings run = TAppIni(Program()).ReadRunSettings();
    EXPECT_EQ(run.Alerts.LateFactor, 3);
    EXPECT_EQ(run.Alerts.SilentFactor, 10);
    EXPECT_EQ(run.Alerts.AlertMinSec, 30);
    EXPECT_EQ(run.Store.MaxAge, 10800);
    EXPECT_EQ(run.Warnings, (TSettingWarnings{
                                "[Settings] MaxAge=-1 is out of range; using 10800",
                                "[Alerts] LateFactor=0 is out of range; using 3",
                                "[Alerts] SilentFactor=-4 is out of range; using 10",
                                "[Alerts] AlertMinSec=$0 is out of range; using 30",
                            }));
    // Accepted as ever: no duplicates, no blending, no statistics log.
    EXPECT_EQ(run.Store.DuplicateTimeSec, -5);
    EXPECT_EQ(run.Store.Points2Average, 0);
    EXPECT_EQ(run.LogIntervalMs, 0);

    WriteIni("[Alerts]\nLateFactor=abc\nAlertMinSec=\n[Settings]\nMaxAge=1\n");
    EXPECT_TRUE(TAppIni(Program()).ReadRunSettings().Warnings.empty()); // unreadable: default
}

TEST_F(SettingsTest, AlertFactorRangesAndSilentAboveLate) {
    struct TCase {
        const char* text;
        int32_t late, silent;
        std::vector<std::string> warnings;
    };
    const TCase cases[] = {
        {"LateFactor=2\nSilentFactor=3", 2, 3, {}},
        {"LateFactor=100\nSilentFactor=1000", 100, 1000, {}},
        {"LateFactor=1", 3, 10, {"[Alerts] LateFactor=1 is out of range; using 3"}},
        {"LateFactor=101", 3, 10, {"[Alerts] LateFactor=101 is out of range; using 3"}},
        {"SilentFactor=1001", 3, 10, {"[Alerts] SilentFactor=1001 is out of range; using 10"}},
        // A silent sensor is late first; past a LateFactor of 10 the default moves with it.
        {"LateFactor=5\nSilentFactor=5",
         5,
         10,
         {"[Alerts] SilentFactor=5 is out of range; using 10"}},
        {"LateFactor=20", 20, 40, {}},
        {"LateFactor=20\nSilentFactor=15",
         20,
         40,
         {"[Alerts] SilentFactor=15 is out of range; using 40"}},
        {"LateFactor=9", 9, 10, {}},
    };
    for (const TCase& c : cases) {
        WriteIni("[Alerts]\n"s + c.text + "\n");
        TSettingWarnings warnings;
        const TAlertSettings a = TAppIni(Program()).ReadAlertSettings(&warnings);
        EXPECT_EQ(a.LateFactor, c.late) << c.text;
        EXPECT_EQ(a.SilentFactor, c.silent) << c.text;
        EXPECT_EQ(warnings, c.warnings) << c.text;
    }
}

TEST_F(SettingsTest, RewritingTheAddressListKeepsTheAlertsSection) {
    const std::string alerts = "[Alerts]\r\nLateFactor=5\r\nAlerts=0\r\n";
    WriteIni("[IP Addresses]\r\n" + alerts);
    TAppIni ini(Program());
    for (int i = 1; i <= 11; ++i)
        ini.AddRecentAddress("10.0.0." + std::to_string(i) + "|1000");
    EXPECT_EQ(ReadIni().substr(0, alerts.size()), alerts);
    EXPECT_EQ(ini.ReadAlertSettings().LateFactor, 5);
}

TEST_F(SettingsTest, LayoutToleratedOnRead) {
    WriteIni("MaxAge=1\n" // before any section: belongs to none
             "; comment\r\n"
             "  [ settings ]  \n"
             "garbage line without equals\n"
             "  maxage  =  60  \r\n"
             "MAXAGE=70\n" // the first of a key wins
             "#LogRateSec=5\n"
             "[Other]\n"
             "LogRateSec=8\n"
             "[SETTINGS]\n" // the section again: still the same section
             "Points2Average=4\n"
             "\x01\x02\xff\x00=\x00\n"
             "[broken\n"s);
    TAppIni ini(Program());
    EXPECT_EQ(ini.ReadMaxAge(), 60);
    EXPECT_EQ(ini.ReadLogRateSec(), 0);
    EXPECT_EQ(ini.ReadPoints2Average(), 4);
}

TEST_F(SettingsTest, BinaryContentGivesDefaults) {
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk += char((i * 131 + 7) & 0xFF);
    WriteIni(junk + "\0[Settings]\0MaxAge=5"s);
    TAppIni ini(Program());
    EXPECT_EQ(ini.ReadMaxAge(), 10800);
    EXPECT_EQ(ini.ReadDuplicateTimeSec(), 9);
    EXPECT_NO_THROW(ini.AddRecentAddress("10.0.0.1|1000"));
    EXPECT_EQ(Recent(ini), std::vector<std::string>{"10.0.0.1|1000"});
    EXPECT_NE(ReadIni().find("\0[Settings]\0MaxAge=5"s), std::string::npos);
}

TEST_F(SettingsTest, LongValueReadUpTo2047Characters) {
    WriteIni("[Serial Ports]\n1=" + std::string(3000, 'd') + "\n2=/dev/ttyUSB1\n");
    TAppIni ini(Program());
    EXPECT_EQ(ini.ReadSerialDevice(1), std::string(2047, 'd'));
    EXPECT_EQ(ini.ReadSerialDevice(2), "/dev/ttyUSB1");
    EXPECT_EQ(ini.ReadSerialDevice(3), "");
}

// The port map read once at start-up finds what a lookup by number finds, and nothing else.
TEST_F(SettingsTest, SerialPortMapMatchesLookupByNumber) {
    WriteIni("[Serial Ports]\n2=/dev/ttyUSB1\n05=/dev/zero\n7=\nx=/dev/x\n2=/dev/second\n"
             "[Settings]\nLogRateSec=30\n[serial ports]\n 9 = /dev/ttyS9 \n");
    const TAppIni ini(Program());
    const TRunSettings run = ini.ReadRunSettings();
    EXPECT_EQ(run.SerialPorts,
              (std::map<int, std::string>{{2, "/dev/ttyUSB1"}, {9, "/dev/ttyS9"}}));
    for (int port : {2, 5, 7, 9})
        EXPECT_EQ(run.SerialPorts.count(port) ? run.SerialPorts.at(port) : "",
                  ini.ReadSerialDevice(port))
            << port;
    EXPECT_EQ(run.LogRateSec, 30);
    EXPECT_EQ(run.LogIntervalMs, 30000);
}

TEST_F(SettingsTest, WritesKeepTheFilesOrder) {
    WriteIni("; tuning\n[Settings]\nMaxAge=60\n\n[IP Addresses]\n1=a|1\n\n[Tail]\nx=1\n");
    TIniFile ini(IniPath());
    ini.WriteString("ip addresses", "2", "b|2");
    ini.WriteString("IP ADDRESSES", "1", "c|3");
    ini.WriteString("New", "k", "v");
    EXPECT_EQ(ReadIni(), "; tuning\r\n[Settings]\r\nMaxAge=60\r\n\r\n[IP Addresses]\r\n1=c|3\r\n"
                         "2=b|2\r\n\r\n[Tail]\r\nx=1\r\n[New]\r\nk=v\r\n");
    ini.EraseSection("Tail");
    ini.EraseSection("Absent");
    EXPECT_EQ(ini.ReadString("Tail", "x", "none"), "none");
    EXPECT_EQ(ini.ReadString("new", "K", ""), "v");
    EXPECT_EQ(ini.ReadInteger("Settings", "MaxAge", 0), 60);
}

TEST_F(SettingsTest, RecentAddressesAddedOnceIgnoringCase) {
    TAppIni ini(Program());
    ini.AddRecentAddress("host.example|1000");
    ini.AddRecentAddress("10.0.0.1|1000");
    ini.AddRecentAddress("HOST.Example|1000");
    ini.AddRecentAddress("10.0.0.1|1000");
    EXPECT_EQ(Recent(ini), (std::vector<std::string>{"host.example|1000", "10.0.0.1|1000"}));
    EXPECT_EQ(ReadIni(), "[IP Addresses]\r\n1=host.example|1000\r\n2=10.0.0.1|1000\r\n");
}

TEST_F(SettingsTest, EleventhAddressDropsTheOldest) {
    WriteIni("[Settings]\r\nMaxAge=60\r\n");
    TAppIni ini(Program());
    std::vector<std::string> added;
    for (int i = 1; i <= 12; ++i) {
        added.push_back("10.0.0." + std::to_string(i) + "|1000");
        ini.AddRecentAddress(added.back());
    }
    std::vector<std::string> newest(added.end() - 10, added.end());
    EXPECT_EQ(Recent(ini), newest);
    std::string expected = "[Settings]\r\nMaxAge=60\r\n[IP Addresses]\r\n";
    for (int i = 0; i < 10; ++i)
        expected += std::to_string(i) + "=" + newest[i] + "\r\n";
    EXPECT_EQ(ReadIni(), expected);
    EXPECT_EQ(ini.ReadMaxAge(), 60);
    // Nothing but the settings file is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(SettingsTest, HandEditedKeysAreNotOverwritten) {
    WriteIni("[IP Addresses]\n2=b|2\n3=c|3\n");
    TAppIni ini(Program());
    ini.AddRecentAddress("d|4");
    EXPECT_EQ(Recent(ini), (std::vector<std::string>{"b|2", "c|3", "d|4"}));
}

TEST_F(SettingsTest, LineBreaksCannotAddLines) {
    TAppIni ini(Program());
    ini.AddRecentAddress("  1.2.3.4|1\r\n[Settings]\r\nMaxAge=1");
    EXPECT_EQ(ini.ReadMaxAge(), 10800);
    EXPECT_EQ(Recent(ini), std::vector<std::string>{"1.2.3.4|1"});
    ini.AddRecentAddress("1.2.3.4|1 ");
    EXPECT_EQ(Recent(ini).size(), 1u);
}

TEST_F(SettingsTest, RefusedWritesRaiseAndKeepTheFile) {
    const std::string before = "[IP Addresses]\r\n1=a|1\r\n";
    WriteIni(before);
    fs::permissions(IniPath(), fs::perms::owner_read | fs::perms::group_read);
    TAppIni ini(Program());
    try {
        ini.AddRecentAddress("b|2");
        FAIL() << "write to a read-only file succeeded";
    } catch (const EIniWriteError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + IniPath());
    }
    EXPECT_EQ(ReadIni(), before);
    EXPECT_EQ(Recent(ini), std::vector<std::string>{"a|1"});

    // A settings path that is a folder, or in a folder that does not exist.
    TAppIni folder((dir_ / "sub.exe").string());
    fs::create_directory(dir_ / "sub.INI");
    EXPECT_EQ(folder.ReadMaxAge(), 10800);
    EXPECT_THROW(folder.AddRecentAddress("a|1"), EIniWriteError);
    TAppIni nowhere((dir_ / "missing" / "corvane").string());
    EXPECT_THROW(nowhere.AddRecentAddress("a|1"), EIniWriteError);
}

TEST_F(SettingsTest, ReadOnlyFolderRaises) {
    if (geteuid() == 0)
        GTEST_SKIP() << "folder permissions do not bind a privileged user";
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    TAppIni ini(Program());
    EXPECT_THROW(ini.AddRecentAddress("a|1"), EIniWriteError);
    EXPECT_FALSE(fs::exists(IniPath()));
}

TEST_F(SettingsTest, WriteThroughLinkKeepsTheLink) {
    fs::create_directory(dir_ / "real");
    std::ofstream((dir_ / "real" / "target.INI").string()) << "[Settings]\nMaxAge=5\n";
    fs::create_symlink(dir_ / "real" / "target.INI", IniPath());
    TAppIni ini(Program());
    ini.AddRecentAddress("a|1");
    EXPECT_TRUE(fs::is_symlink(IniPath()));
    EXPECT_EQ(ini.ReadMaxAge(), 5);
    EXPECT_EQ(Recent(ini), std::vector<std::string>{"a|1"});
}

} // namespace
} // namespace corvane
