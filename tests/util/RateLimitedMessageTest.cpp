#include "util/RateLimitedMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

struct RateLimitedMessageTest : ::testing::Test {
    // 2025-06-01 14:05:09 on both time lines.
    TManualClock clock{EncodeDateTime(2025, 6, 1, 14, 5, 9)};
    TRateLimitedMessage message;
    std::vector<std::string> written;

    void Occur(int times = 1) {
        for (int i = 0; i < times; ++i)
            if (std::string_view line = message.Occur(clock, "Unable to add sensor"); !line.empty())
                written.emplace_back(line);
    }
};

TEST_F(RateLimitedMessageTest, FirstIsWrittenThenAtMostOnceAMinuteWithTheCountHeldBack) {
    Occur(5000);
    EXPECT_EQ(written, std::vector<std::string>{"Unable to add sensor"});
    clock.AdvanceSeconds(59.9);
    Occur();
    EXPECT_EQ(written.size(), 1u);
    clock.AdvanceSeconds(0.1); // a minute after the line written
    Occur(3);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[1], "Unable to add sensor (5000 more refused since 14:05:09)");
    // The minute and the count start again from the line just written.
    clock.AdvanceSeconds(60);
    Occur();
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written[2], "Unable to add sensor (2 more refused since 14:06:09)");
}

TEST_F(RateLimitedMessageTest, NothingHeldBackGivesThePlainText) {
    Occur();
    clock.AdvanceSeconds(600);
    Occur();
    EXPECT_EQ(written, (std::vector<std::string>{"Unable to add sensor", "Unable to add sensor"}));
}

// The minute is measured on the run's time line and the shown time is local: a wall clock set
// back or a change of zone neither releases the line early nor holds it.
TEST_F(RateLimitedMessageTest, MinuteOnTheRunsTimeLineTimeShownLocal) {
    clock.SetZone(0, 2, 2); // local is UTC + 2 h
    Occur();
    clock.StepWall(-3600);
    clock.AdvanceSeconds(30);
    Occur();
    EXPECT_EQ(written.size(), 1u);
    clock.AdvanceSeconds(30);
    Occur();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[1], "Unable to add sensor (1 more refused since 16:05:09)");
}

TEST(RateLimitedMessage, NamesWhatItCounts) {
    TManualClock clock{EncodeDateTime(2025, 6, 1, 23, 59, 30)};
    TRateLimitedMessage message("dropped");
    EXPECT_EQ(message.Occur(clock, "a"), "a");
    EXPECT_EQ(message.Occur(clock, "b"), "");
    clock.AdvanceSeconds(61);
    EXPECT_EQ(message.Occur(clock, "c"), "c (1 more dropped since 23:59:30)");
}

} // namespace
} // namespace corvane
