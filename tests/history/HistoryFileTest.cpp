#include "history/HistoryFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "history/HistorySchema.h"
#include "support/DamagedHistory.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

TEST(HistoryFileTest, MakesTheTablesOnceAndSaysWhenAnotherRunHoldsTheFile) {
    TTempDir dir;
    const std::string path = dir.Path() + "/corvane_history.db";
    TManualClock clock;
    std::vector<std::string> log;
    THistoryFile first;
    ASSERT_EQ(first.Open(path, clock, log), THistoryOpen::Recording);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(first.Db().QueryInt("PRAGMA user_version"), kHistorySchemaVersion);
    EXPECT_EQ(first.Db().QueryText("PRAGMA journal_mode"), "wal");
    EXPECT_EQ(first.Db().QueryInt("SELECT count(*) FROM reads"), 0);

    THistoryFile second;
    EXPECT_EQ(second.Open(path, clock, log), THistoryOpen::InUse);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "History database in use by another run; not recording");
    // What the first run records may still be read.
    EXPECT_EQ(second.Db().QueryInt("SELECT count(*) FROM runs"), 0);

    first.Close();
    log.clear();
    EXPECT_EQ(second.Open(path, clock, log), THistoryOpen::Recording);
    EXPECT_TRUE(log.empty());
}

// A file that is no database, or one cut short, is kept aside under a dated name and a new one
// is made; nothing of it is read.
TEST(HistoryFileTest, PutsADamagedFileAsideAndStartsANewOne) {
    TTempDir dir;
    const std::string path = dir.Path() + "/corvane_history.db";
    TManualClock clock(EncodeDateTime(2026, 12, 9, 14, 5, 7));
    {
        std::ofstream out(path, std::ios::binary);
        out << "these are the settings, not a database\n";
    }
    std::vector<std::string> log;
    THistoryFile file;
    ASSERT_EQ(file.Open(path, clock, log), THistoryOpen::Recording);
    const std::string aside = THistoryFile::BrokenName(path, clock.WallNow());
    EXPECT_NE(aside.find(".broken-2026"), std::string::npos) << aside;
    EXPECT_TRUE(fs::exists(aside));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("kept as " + aside + ", starting a new one"), std::string::npos)
        << log[0];
    EXPECT_EQ(file.Db().QueryInt("SELECT count(*) FROM reads"), 0);

    // Cut short: a database of many pages losing its second half.
    ASSERT_TRUE(file.Db().Exec("CREATE TABLE filler(x BLOB);"
                               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n "
                               "WHERE i < 2000) INSERT INTO filler SELECT randomblob(500) FROM n;"
                               "PRAGMA wal_checkpoint(TRUNCATE);"));
    file.Close();
    fs::resize_file(path, fs::file_size(path) / 2);
    clock.AdvanceSeconds(1);
    log.clear();
    // Found by the header alone, as for a file too large for its quick check at start.
    ASSERT_EQ(file.Open(path, clock, log, 0), THistoryOpen::Recording);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("is damaged (file is cut short: "), std::string::npos) << log[0];
    EXPECT_EQ(file.Db().QueryInt("SELECT count(*) FROM sqlite_master WHERE name = 'filler'"), 0);
}

// A page in the middle written over: only the quick check finds it. A small file has it at
// start; a large one is opened and left to the check after the start (the writer's).
TEST(HistoryFileTest, AFileDamagedWithinIsFoundAtStartUnlessItIsLarge) {
    TTempDir dir;
    const std::string path = dir.Path() + "/corvane_history.db";
    TManualClock clock(EncodeDateTime(2026, 12, 9, 14, 5, 7));
    std::vector<std::string> log;
    ASSERT_TRUE(MakeDamagedWithin(path));
    fs::copy_file(path, path + ".copy");

    THistoryFile file;
    ASSERT_EQ(file.Open(path, clock, log), THistoryOpen::Recording);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("is damaged"), std::string::npos) << log[0];
    EXPECT_FALSE(file.CheckLater());
    file.Close();

    log.clear();
    fs::rename(path + ".copy", path);
    ASSERT_EQ(file.Open(path, clock, log, 0), THistoryOpen::Recording);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(file.CheckLater());
}

TEST(HistoryFileTest, LeavesAFileOfANewerVersionAlone) {
    TTempDir dir;
    const std::string path = dir.Path() + "/corvane_history.db";
    TManualClock clock;
    std::vector<std::string> log;
    {
        THistoryFile file;
        ASSERT_EQ(file.Open(path, clock, log), THistoryOpen::Recording);
        ASSERT_TRUE(file.Db().Exec("PRAGMA user_version = 99"));
    }
    THistoryFile file;
    EXPECT_EQ(file.Open(path, clock, log), THistoryOpen::Newer);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("newer version"), std::string::npos);
    TSqlite db;
    ASSERT_TRUE(db.Open(path, false));
    EXPECT_EQ(db.QueryInt("PRAGMA user_version"), 99);
}

} // namespace
} // namespace corvane
