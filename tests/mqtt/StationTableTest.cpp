// The stations a broker's topics name, and the clock each one keeps.
#include "mqtt/StationTable.h"

#include <gtest/gtest.h>

#include "mqtt/StationClock.h"

namespace corvane {
namespace {

TEST(StationTable, StationsAreNumberedInTheOrderFirstHeard) {
    TStationTable t("corvane");
    auto a = t.Classify("corvane/north/status");
    EXPECT_EQ(a.Fault, TTopicFault::None);
    EXPECT_EQ(a.Kind, TTopicKind::Status);
    EXPECT_TRUE(a.New);
    auto b = t.Classify("corvane/south/line");
    auto c = t.Classify("corvane/north/line");
    EXPECT_EQ(b.Station, 1);
    EXPECT_EQ(c.Station, 0);
    EXPECT_FALSE(c.New);
    EXPECT_EQ(c.Kind, TTopicKind::Line);
    // The publisher writes a Latin-1 name as UTF-8; it comes back as Latin-1.
    auto k = t.Classify("corvane/K\xC3\xBC"
                        "che/line");
    ASSERT_EQ(k.Fault, TTopicFault::None);
    EXPECT_EQ(t.Names()[size_t(k.Station)], "K\xFC"
                                            "che");
}

TEST(StationTable, TopicsNoStationWritesAreDroppedAndCounted) {
    TStationTable t("corvane");
    const std::pair<std::string, TTopicFault> cases[] = {
        {"corvane/a+b/line", TTopicFault::BadName},
        {"corvane/#/line", TTopicFault::BadName},
        {"corvane/+/line", TTopicFault::BadName},
        {"corvane/a\xFF/line", TTopicFault::BadName},
        {"corvane/a\xC3/line", TTopicFault::BadName},
        {"corvane/\xE2\x82\xAC/line", TTopicFault::BadName},
        {"corvane/a\x01/line", TTopicFault::BadName},
        {"corvane//line", TTopicFault::BadName},
        {"corvane/" + std::string(200, 'n') + "/line", TTopicFault::BadName},
        {"corvane/" + std::string(1000, 'n') + "/line", TTopicFault::TooLong},
        {"corvane/a/packet", TTopicFault::NotStations},
        {"corvane/a/b/line", TTopicFault::NotStations},
        {"other/a/line", TTopicFault::NotStations},
        {"corvane", TTopicFault::NotStations},
    };
    for (const auto& [topic, fault] : cases)
        EXPECT_EQ(t.Classify(topic).Fault, fault) << topic.substr(0, 40);
    EXPECT_TRUE(t.Names().empty());
    EXPECT_EQ(t.Dropped(TTopicFault::BadName), 9u);
    EXPECT_EQ(t.DroppedTotal(), std::size(cases));
}

TEST(StationTable, TenThousandNamesFillTheTableAndNoMore) {
    TStationTable t("corvane");
    for (int i = 0; i < 10000; ++i)
        t.Classify("corvane/s" + std::to_string(i) + "/line");
    EXPECT_EQ(t.Names().size(), TStationTable::MaxStations);
    EXPECT_EQ(t.Dropped(TTopicFault::Full), 10000 - TStationTable::MaxStations);
    // Those already known are still heard.
    EXPECT_EQ(t.Classify("corvane/s0/line").Fault, TTopicFault::None);
}

TEST(StationClock, AMedianBeyondTwoSecondsIsSaidOncePerChange) {
    TStationClock c;
    int s = 99;
    for (int i = 0; i < 100; ++i)
        c.Note(i % 10 == 0 ? 30.0 : 0.1); // a few late lines are no clock
    EXPECT_FALSE(c.Changed(s));
    for (int i = 0; i < 60; ++i)
        c.Note(5.4);
    ASSERT_TRUE(c.Changed(s));
    EXPECT_EQ(s, 5);
    c.Note(5.6); // rounds to 6, but has not moved a second
    EXPECT_FALSE(c.Changed(s));
    for (int i = 0; i < 100; ++i)
        c.Note(-8);
    ASSERT_TRUE(c.Changed(s));
    EXPECT_EQ(s, -8);
    EXPECT_EQ(StationClockText("north", s), "Station north clock differs by -8 s");
    for (int i = 0; i < 100; ++i)
        c.Note(0.5);
    ASSERT_TRUE(c.Changed(s));
    EXPECT_EQ(s, 0);
    EXPECT_FALSE(c.Changed(s));
}

} // namespace
} // namespace corvane
