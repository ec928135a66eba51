// Where a run keeps its files: beside a program in a writable folder, in the user's XDG folders
// for an installed or unwritable copy, and in CORVANE_HOME when that is set.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <unistd.h>

#include "CorvaneVersion.h"
#include "app/FilePlaces.h"
#include "app/Options.h"
#include "app/Usage.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

struct FilePlacesTest : ::testing::Test {
    fs::path root;
    std::map<std::string, std::string> vars{{"HOME", "/home/ann"}};

    void SetUp() override {
        root = fs::temp_directory_path() /
               ("corvane-places-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "bin");
    }
    void TearDown() override { fs::remove_all(root); }

    TEnvLookup Env() const {
        return [this](const char* name) {
            const auto it = vars.find(name);
            return it == vars.end() ? std::string() : it->second;
        };
    }
    std::string Program() const { return (root / "bin" / "corvane").string(); }
};

} // namespace

TEST_F(FilePlacesTest, WritableProgramFolderKeepsEverythingBesideTheProgram) {
    const TFilePlaces p = ChooseFilePlaces(Program(), true, Env());
    const std::string bin = (root / "bin").string();
    EXPECT_EQ(p.Rule, TPlaceRule::BesideProgram);
    EXPECT_EQ(p.SettingsFile, bin + "/corvane.INI");
    EXPECT_EQ(p.LogBase, bin + "/corvane");
    EXPECT_EQ(p.ErrorReport, bin + "/corvane.err");
    EXPECT_EQ(p.HelpFile, bin + "/help/Corvane.html");
    // The window's state never goes into the settings file, wherever the settings are.
    EXPECT_EQ(p.StateFile, "/home/ann/.local/state/corvane/window.ini");

    // A renamed copy names its files after itself, as it always did.
    const TFilePlaces renamed = ChooseFilePlaces(bin + "/monitor.bin", true, Env());
    EXPECT_EQ(renamed.SettingsFile, bin + "/monitor.INI");
    EXPECT_EQ(renamed.LogBase, bin + "/monitor");
}

TEST_F(FilePlacesTest, InstalledTreeOrUnwritableFolderUsesTheUserFolders) {
    // Unwritable, with the XDG defaults under the home folder.
    TFilePlaces p = ChooseFilePlaces(Program(), false, Env());
    EXPECT_EQ(p.Rule, TPlaceRule::UserFolders);
    EXPECT_EQ(p.SettingsFile, "/home/ann/.config/corvane/corvane.INI");
    EXPECT_EQ(p.ConfigFolder, "/home/ann/.config/corvane");
    EXPECT_EQ(p.LogBase, "/home/ann/.local/share/corvane/corvane");
    EXPECT_EQ(p.ErrorReport, "/home/ann/.local/share/corvane/corvane.err");
    EXPECT_EQ(p.HelpFile, (root / "bin" / "help" / "Corvane.html").string());

    // An installed tree wins even when the folder is writable (root must never write beside
    // /usr/bin/corvane), and its guide comes from share/corvane. Set XDG folders count; a
    // relative one is ignored.
    fs::create_directories(root / "share" / "corvane");
    vars["XDG_CONFIG_HOME"] = "/cfg";
    vars["XDG_DATA_HOME"] = "relative/data";
    vars["XDG_STATE_HOME"] = "/st";
    p = ChooseFilePlaces(Program(), true, Env());
    EXPECT_EQ(p.Rule, TPlaceRule::UserFolders);
    EXPECT_EQ(p.SettingsFile, "/cfg/corvane/corvane.INI");
    EXPECT_EQ(p.LogBase, "/home/ann/.local/share/corvane/corvane");
    EXPECT_EQ(p.HelpFile, (root / "share" / "corvane" / "Corvane.html").string());
    EXPECT_EQ(p.StateFile, "/st/corvane/window.ini");
}

TEST_F(FilePlacesTest, CorvaneHomeHoldsSettingsLogsAndReportsInOneFolder) {
    fs::create_directories(root / "share" / "corvane");
    vars["CORVANE_HOME"] = "/data/site7";
    vars["XDG_CONFIG_HOME"] = "/cfg";
    for (const bool writable : {true, false}) {
        const TFilePlaces p = ChooseFilePlaces(Program(), writable, Env());
        EXPECT_EQ(p.Rule, TPlaceRule::CorvaneHome);
        EXPECT_EQ(p.SettingsFile, "/data/site7/corvane.INI");
        EXPECT_EQ(p.LogBase, "/data/site7/corvane");
        EXPECT_EQ(p.ErrorReport, "/data/site7/corvane.err");
        EXPECT_EQ(p.HelpFile, (root / "share" / "corvane" / "Corvane.html").string());
    }
    EXPECT_EQ(DescribePlaces(ChooseFilePlaces(Program(), true, Env())),
              "Settings: /data/site7/corvane.INI\nLogs: /data/site7");
}

TEST_F(FilePlacesTest, ThisRunSeesTheRealFolderAndMakesMissingFolders) {
    // A writable temporary folder without share/corvane: beside the program.
    EXPECT_EQ(FilePlacesForThisRun(Program()).Rule, TPlaceRule::BesideProgram);
    const std::string deep = (root / "a" / "b" / "c").string();
    EXPECT_TRUE(MakeFolder(deep));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(MakeFolder(deep)); // already there
    // Under a file there is no folder to make.
    const fs::path file = root / "bin" / "corvane.INI";
    FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_FALSE(MakeFolder((file / "x").string()));
}

// Every failure here stops root as well as anyone else: tests may run as root, for whom a folder
// without write permission is no obstacle.
TEST_F(FilePlacesTest, AFolderThatCannotBeWrittenIsNamedWithTheReason) {
    const std::string deep = (root / "logs" / "site7").string();
    EXPECT_EQ(CannotWriteTo(deep), "");
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(fs::is_empty(deep));    // the probe is gone again
    EXPECT_EQ(CannotWriteTo(deep), ""); // already there

    const fs::path file = root / "plain";
    FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    // The folder is a plain file, or lies under one.
    EXPECT_EQ(CannotWriteTo(file.string()),
              "cannot write to " + file.string() + ": Not a directory");
    const std::string under = (file / "corvane").string();
    EXPECT_EQ(CannotWriteTo(under), "cannot write to " + under + ": Not a directory");
    // A path longer than any the system takes.
    std::string tooLong = root.string();
    while (tooLong.size() <= 5000)
        tooLong += "/abcdefghij";
    EXPECT_EQ(CannotWriteTo(tooLong), "cannot write to " + tooLong + ": File name too long");
}

TEST(Usage, HelpAndVersionAreAnsweredOthersStartTheProgram) {
    EXPECT_EQ(VersionLine(), "corvane " CORVANE_VERSION);
    EXPECT_EQ(EarlyAnswer({"--version"}), VersionLine() + "\n");
    EXPECT_EQ(EarlyAnswer({"-I5001", "--help"}), UsageText());
    EXPECT_EQ(EarlyAnswer({"--help", "--version"}), UsageText());
    // Every option of the table, joined to its value as it is typed.
    for (const TOption& option : kOptions) {
        const std::string written = std::string(option.Name) + std::string(option.Argument);
        EXPECT_NE(UsageText().find("  " + written + " "), std::string::npos) << written;
    }
    EXPECT_NE(UsageText().find("man corvane"), std::string::npos);
    // Near misses are no early options: they go to the connection options, which ignore them.
    EXPECT_EQ(EarlyAnswer({}), std::nullopt);
    EXPECT_EQ(EarlyAnswer({"-I", "--Help", "-version", "--versions", "-h"}), std::nullopt);
}
