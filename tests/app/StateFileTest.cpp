// What the window may read as its state file, and what a save clears away first.
#include "app/StateFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;

class StateFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("corvane-statefile-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Path(const char* name) const { return (dir / name).string(); }
    std::string File(const char* name, std::uintmax_t size) const {
        std::ofstream(Path(name), std::ios::binary) << std::string(size, ';');
        return Path(name);
    }
    std::string Fifo(const char* name) const {
        EXPECT_EQ(::mkfifo(Path(name).c_str(), 0600), 0);
        return Path(name);
    }

    fs::path dir;
};

TEST_F(StateFileTest, OnlyARegularFileOfAtMostOneMegabyteIsRead) {
    EXPECT_TRUE(IsReadableStateFile(File("saved.ini", 3000)));
    EXPECT_TRUE(IsReadableStateFile(File("empty.ini", 0)));
    EXPECT_TRUE(IsReadableStateFile(File("full.ini", kMaxStateFileBytes)));
    EXPECT_FALSE(IsReadableStateFile(File("over.ini", kMaxStateFileBytes + 1)));
    EXPECT_FALSE(IsReadableStateFile(Fifo("fifo.ini")));
    fs::create_directory(dir / "folder.ini");
    EXPECT_FALSE(IsReadableStateFile(Path("folder.ini")));
    EXPECT_FALSE(IsReadableStateFile(Path("missing.ini")));
    EXPECT_FALSE(IsReadableStateFile("/dev/zero"));
}

TEST_F(StateFileTest, LinksAreJudgedByWhatTheyLeadTo) {
    File("saved.ini", 100);
    Fifo("fifo");
    fs::create_symlink(dir / "saved.ini", dir / "to-file.ini");
    fs::create_symlink(dir / "fifo", dir / "to-fifo.ini");
    fs::create_symlink(dir / "nowhere", dir / "dangling.ini");
    EXPECT_TRUE(IsReadableStateFile(Path("to-file.ini")));
    EXPECT_FALSE(IsReadableStateFile(Path("to-fifo.ini")));
    EXPECT_FALSE(IsReadableStateFile(Path("dangling.ini")));
}

TEST_F(StateFileTest, ASaveReplacesWhatMayNotBeReadAndKeepsTheRest) {
    const std::string saved = File("saved.ini", 100);
    EXPECT_TRUE(ClearWayForStateFile(saved));
    EXPECT_TRUE(fs::exists(saved));
    EXPECT_TRUE(ClearWayForStateFile(Path("missing.ini")));

    for (const std::string& path : {Fifo("fifo.ini"), File("over.ini", kMaxStateFileBytes + 1)}) {
        EXPECT_TRUE(ClearWayForStateFile(path)) << path;
        EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << path;
    }

    // A link to something unreadable goes; what it leads to stays.
    Fifo("fifo");
    fs::create_symlink(dir / "fifo", dir / "to-fifo.ini");
    fs::create_symlink(dir / "saved.ini", dir / "to-file.ini");
    EXPECT_TRUE(ClearWayForStateFile(Path("to-fifo.ini")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "to-fifo.ini")));
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    EXPECT_TRUE(ClearWayForStateFile(Path("to-file.ini")));
    EXPECT_TRUE(fs::is_symlink(dir / "to-file.ini"));

    fs::create_directories(dir / "folder.ini" / "inside");
    EXPECT_FALSE(ClearWayForStateFile(Path("folder.ini")));
    EXPECT_TRUE(fs::exists(dir / "folder.ini" / "inside"));
}

} // namespace
} // namespace corvane
