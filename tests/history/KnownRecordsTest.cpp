#include "history/KnownRecords.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "history/HistoryFile.h"
#include "support/KnownDatabase.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

constexpr int64_t kNow = 1780000000000; // a wall instant in 2026
constexpr int32_t kMaxAge = 10800;
constexpr int64_t kHour = 3600 * 1000;

// Past MaxAge by the store's whole seconds: 10800.5 s rounds to 10801, 10800.499 s to 10800.
constexpr int64_t kJustGone = kNow - kMaxAge * 1000LL - 500;
constexpr int64_t kJustKept = kNow - kMaxAge * 1000LL - 499;

struct KnownRecordsTest : ::testing::Test {
    TTempDir dir;
    testing::TKnownDatabase known{dir.Path() + "/corvane_history.db"};

    std::vector<TKnownRecord> Gone(int32_t maxAge = kMaxAge) {
        std::vector<TKnownRecord> records;
        std::string error;
        EXPECT_TRUE(LoadGoneRecords(known.Db(), kNow, maxAge, records, error)) << error;
        return records;
    }
};

TEST_F(KnownRecordsTest, ListsWhatTheStoreHasLetGoNewestFirst) {
    known.Entry(3, "North", kNow - 4 * kHour, 31.0);
    known.Sensor(0x11, "Kept", kJustKept, 30.0, 3, 'R');
    known.Sensor(0x12, "Gone just now", kJustGone, 29.6, 3, 'R');
    known.Sensor(0x13, "Heard lately", kNow - 10'000, 30.0, 3, 'R');
    known.Sensor(0x14, "Two days", kNow - 48 * kHour, -1, 3, '\0');
    known.Repeater('R', kNow - 5 * kHour, -1);
    known.Repeater('S', kNow - 60'000, 12.0);

    const std::vector<TKnownRecord> gone = Gone();
    ASSERT_EQ(gone.size(), 4u);
    EXPECT_EQ(gone[0].Kind, TKnownKind::Sensor);
    EXPECT_EQ(gone[0].Label, "Gone just now");
    EXPECT_EQ(gone[0].LastMs, kJustGone);
    EXPECT_FLOAT_EQ(gone[0].UsualGap, 29.6f);
    EXPECT_EQ(gone[1].Kind, TKnownKind::Entry);
    EXPECT_EQ(gone[1].Label, "North");
    EXPECT_FLOAT_EQ(gone[1].UsualGap, 31.0f);
    EXPECT_TRUE(gone[1].Entry.empty());
    EXPECT_EQ(gone[2].Kind, TKnownKind::Repeater);
    EXPECT_EQ(gone[2].Label, "R");
    EXPECT_EQ(gone[2].UsualGap, -1);
    EXPECT_EQ(gone[3].Label, "Two days");
    EXPECT_EQ(gone[3].UsualGap, -1);

    EXPECT_EQ(CountGoneSensors(known.Db(), kNow, kMaxAge), 2);
    // A longer MaxAge keeps more in the store.
    EXPECT_EQ(CountGoneSensors(known.Db(), kNow, 24 * 3600), 1);
    ASSERT_EQ(Gone(24 * 3600).size(), 1u);
    EXPECT_EQ(MissingSensorsLine(known.Db(), kNow, kMaxAge),
              "2 known sensors not heard for over 10800 s");
    EXPECT_EQ(MissingSensorsLine(known.Db(), kNow, 3 * 24 * 3600), "");
}

// The route of a sensor's last read: the entry point by its name, by its number when the entries
// table has no name for it, nothing when none is known; the repeater or none.
TEST_F(KnownRecordsTest, ASensorsRouteNamesItsEntryPointAsBestItCan) {
    const int64_t at = kNow - 6 * kHour;
    known.Entry(3, "North", kNow, -1);
    known.Entry(9, "", at - 1, -1);
    known.Sensor(0x1, "Via repeater", at, -1, 3, 'Q');
    known.Sensor(0x2, "Unknown entry", at - 2, -1, 7, '\0');
    known.Sensor(0x3, "Unnamed entry", at - 3, -1, 9, '\0');
    known.Sensor(0x4, "No entry", at - 4, -1, -1, 'Q');

    const std::vector<TKnownRecord> gone = Gone();
    ASSERT_EQ(gone.size(), 5u);
    EXPECT_EQ(gone[0].Entry, "North");
    EXPECT_EQ(gone[0].Repeater, 'Q');
    EXPECT_EQ(gone[1].Kind, TKnownKind::Entry);
    EXPECT_EQ(gone[1].Label, "Entry 9");
    EXPECT_EQ(gone[2].Entry, "Entry 7");
    EXPECT_EQ(gone[2].Repeater, '\0');
    EXPECT_EQ(gone[3].Entry, "Entry 9");
    EXPECT_EQ(gone[4].Entry, "");
    EXPECT_EQ(gone[4].Repeater, 'Q');
}

// 8-bit names are UTF-8 in the file and come back as the very bytes the receiver sent.
TEST_F(KnownRecordsTest, EightBitNamesComeBackExactly) {
    const std::string sensor = "Pumpe S\xFC"
                               "d \xB0\xFF";
    const std::string entry = "N\xF6rdlich \xA7";
    const char letter = '\xE9';
    known.Entry(4, entry, kNow - 7 * kHour, -1);
    known.Repeater(letter, kNow - 8 * kHour, -1);
    known.Sensor(0x5, sensor, kNow - 6 * kHour, -1, 4, letter);
    // Stored as UTF-8: two bytes for each of the 8-bit characters.
    EXPECT_EQ(known.Db().QueryText("SELECT label FROM sensors"), "Pumpe S\xC3\xBC"
                                                                 "d \xC2\xB0\xC3\xBF");

    const std::vector<TKnownRecord> gone = Gone();
    ASSERT_EQ(gone.size(), 3u);
    EXPECT_EQ(gone[0].Label, sensor);
    EXPECT_EQ(gone[0].Entry, entry);
    EXPECT_EQ(gone[0].Repeater, letter);
    EXPECT_EQ(gone[1].Label, entry);
    EXPECT_EQ(gone[2].Label, std::string(1, letter));
}

// The missing list reads while the run records; without a file there is no history to read,
// and a file of a newer program is not read.
TEST_F(KnownRecordsTest, OpensTheFileToReadBesideTheRecordingRunOrSaysWhyNot) {
    known.Sensor(0x1, "Gone", kNow - 6 * kHour, -1, -1, '\0');
    TSqlite reader;
    std::string error;
    ASSERT_TRUE(OpenHistoryToRead(reader, known.Path(), error)) << error;
    EXPECT_EQ(MissingSensorsLine(reader, kNow, kMaxAge),
              "1 known sensors not heard for over 10800 s");
    reader.Close();
    known.Close();
    ASSERT_TRUE(OpenHistoryToRead(reader, known.Path(), error)) << error;
    EXPECT_EQ(CountGoneSensors(reader, kNow, kMaxAge), 1);
    reader.Close();

    const std::string none = dir.Path() + "/none.db";
    EXPECT_FALSE(OpenHistoryToRead(reader, none, error));
    EXPECT_EQ(error, "no history database at " + none);
    EXPECT_FALSE(std::filesystem::exists(none));

    {
        TSqlite newer;
        ASSERT_TRUE(newer.Open(known.Path(), false));
        ASSERT_TRUE(newer.Exec("PRAGMA user_version = 99"));
    }
    EXPECT_FALSE(OpenHistoryToRead(reader, known.Path(), error));
    EXPECT_EQ(error, known.Path() + " was made by a newer version of Corvane");
    EXPECT_FALSE(reader.IsOpen());
}

TEST_F(KnownRecordsTest, AFileThatIsNoDatabaseGivesNothing) {
    const std::string path = dir.Path() + "/text.db";
    std::ofstream(path) << "these are the settings, not a database\n";
    TSqlite reader;
    std::string error;
    EXPECT_FALSE(OpenHistoryToRead(reader, path, error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    // An open file without the tables: no line rather than a wrong one.
    ASSERT_TRUE(reader.Open(dir.Path() + "/empty.db", true));
    std::vector<TKnownRecord> records{TKnownRecord{}};
    EXPECT_FALSE(LoadGoneRecords(reader, kNow, kMaxAge, records, error));
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(CountGoneSensors(reader, kNow, kMaxAge), -1);
    EXPECT_EQ(MissingSensorsLine(reader, kNow, kMaxAge), "");
}

} // namespace
} // namespace corvane
