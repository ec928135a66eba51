#include "app/MissingTexts.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TKnownRecord Record(TKnownKind kind, std::string entry = {}, char repeater = '\0') {
    TKnownRecord r;
    r.Kind = kind;
    r.Entry = std::move(entry);
    r.Repeater = repeater;
    return r;
}

// Each unit from where the one below it stops, and a clock set back (a last read ahead of now)
// as no time at all.
TEST(MissingTextsTest, AgoKeepsTheTwoLargestUnits) {
    EXPECT_EQ(AgoText(-5000), "0 s");
    EXPECT_EQ(AgoText(59'999), "59 s");
    EXPECT_EQ(AgoText(60'000), "1 min");
    EXPECT_EQ(AgoText(3'599'999), "59 min");
    EXPECT_EQ(AgoText(3'600'000), "1 h 0 min");
    EXPECT_EQ(AgoText((3 * 3600 + 25 * 60 + 59) * 1000LL), "3 h 25 min");
    EXPECT_EQ(AgoText(86'400'000), "1 d 0 h");
    EXPECT_EQ(AgoText((400 * 86400 + 23 * 3600 + 3599) * 1000LL), "400 d 23 h");
    EXPECT_EQ(UsualGapText(-1), "");
    EXPECT_EQ(UsualGapText(0), "0 s");
    EXPECT_EQ(UsualGapText(29.5f), "30 s");
}

TEST(MissingTextsTest, RouteSaysTheEntryPointAndTheRepeaterOfTheLastRead) {
    EXPECT_EQ(RouteText(Record(TKnownKind::Sensor, "North", 'R')), "North via R");
    EXPECT_EQ(RouteText(Record(TKnownKind::Sensor, "North")), "North (direct)");
    EXPECT_EQ(RouteText(Record(TKnownKind::Sensor, "", '\xE9')), "via \xE9");
    EXPECT_EQ(RouteText(Record(TKnownKind::Sensor)), "");
    EXPECT_EQ(RouteText(Record(TKnownKind::Repeater, "North", 'R')), "");
}

TEST(MissingTextsTest, SummaryCountsEachKindThatIsMissing) {
    std::vector<TKnownRecord> records;
    EXPECT_EQ(GoneSummary(records, 10800), "No sensor, repeater or entry point is missing");
    records.push_back(Record(TKnownKind::Repeater));
    EXPECT_EQ(GoneSummary(records, 10800), "1 repeater not heard for over 10800 s");
    records.push_back(Record(TKnownKind::Sensor));
    records.push_back(Record(TKnownKind::Sensor));
    EXPECT_EQ(GoneSummary(records, 60), "2 sensors and 1 repeater not heard for over 60 s");
    records.push_back(Record(TKnownKind::Entry));
    records.push_back(Record(TKnownKind::Entry));
    EXPECT_EQ(GoneSummary(records, 60),
              "2 sensors, 1 repeater and 2 entry points not heard for over 60 s");
}

} // namespace
} // namespace corvane
