#include "Recorded.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace corvane::sim {
namespace {

TEST(SimReplay, TimeColumnGivesSecondsApart) {
    auto t = [](const char* text) { return ParseLogTime(text).value_or(-1); };
    EXPECT_EQ(t("12/06/26 18:40:33") - t("12/06/26 18:40:32"), 1);
    EXPECT_EQ(t("12/07/26 00:00:00") - t("12/06/26 23:59:59"), 1);
    EXPECT_EQ(t("01/01/27 00:00:00") - t("12/31/26 23:59:59"), 1);
    EXPECT_EQ(t("03/01/28 00:00:00") - t("02/28/28 00:00:00"), 2 * 86400); // leap year
    EXPECT_EQ(t("03/01/27 00:00:00") - t("02/28/27 00:00:00"), 86400);
    EXPECT_EQ(t("12.06.26 18.40.32"), t("12/06/26 18:40:32")); // other separators
    for (const char* bad : {"", "12/06/26 18:40", "13/06/26 18:40:32", "12/06/26 24:00:00",
                            "12/06/26 18:40:3x", "12/06/2618:40:32", "00/06/26 18:40:32"})
        EXPECT_FALSE(ParseLogTime(bad)) << bad;
}

TEST(SimReplay, LogLineKeepsTheWholeReceivedLine) {
    EXPECT_FALSE(ParseLogLine("\"Time\",\"Name\",\"Packet\"\r"));
    EXPECT_FALSE(ParseLogLine("12/06/26 18:40:32,1078563412000000000000CFBB00"));
    auto l = ParseLogLine("12/06/26 18:40:32,,aa1078563412000000000000CFBB00,2,North Gate\r\n");
    ASSERT_TRUE(l);
    EXPECT_EQ(l->Line, "aa1078563412000000000000CFBB00,2,North Gate");
}

TEST(SimReplay, PacesFromTheFirstLineAndNeverBackwards) {
    const std::string path = testing::TempDir() + "corvane_sim_replay.txt";
    {
        std::ofstream f(path, std::ios::binary);
        f << "\"Time\",\"Name\",\"Packet\"\r\n"
          << "12/06/26 18:40:30,,1078563412000000000000CFBB00\r\n"
          << "12/06/26 18:40:35,,1078563412000000000000CEBB00,2\r\n"
          << "damaged\r\n"
          << "12/06/26 18:40:31,,4001020304050607080000EFAD00\r\n";
    }
    ReplaySource source(path, false);
    ASSERT_TRUE(source.IsOpen());
    std::vector<Emission> got;
    while (auto e = source.Next())
        got.push_back(*e);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].At, 0);
    EXPECT_EQ(got[1].At, 5);
    EXPECT_EQ(got[2].At, 5); // the clock went back: sent at once
    EXPECT_EQ(got[0].Pieces[0].Bytes, "1078563412000000000000CFBB00\r");
    EXPECT_EQ(got[0].Kind, LineKind::Valid);
    EXPECT_EQ(got[1].Kind, LineKind::Invalid);
    EXPECT_EQ(source.Skipped(), 1);
    std::remove(path.c_str());
}

TEST(SimScript, SleepsRawTextAndClose) {
    std::istringstream in("1078563412000000000000CFBB00\r\nsleep 250\nraw 4001\nsleep 50\n"
                          "short line\nclose\n");
    std::string error;
    auto steps = ParseScript(in, true, error);
    ASSERT_TRUE(steps) << error;
    ASSERT_EQ(steps->size(), 4u);
    EXPECT_EQ((*steps)[0].Pieces[0].Bytes, "1078563412000000000000CFBB00\r\n");
    EXPECT_EQ((*steps)[0].Kind, LineKind::Valid);
    EXPECT_EQ((*steps)[1].At, 0.25);
    EXPECT_EQ((*steps)[1].Pieces[0].Bytes, "4001");
    EXPECT_EQ((*steps)[1].Kind, LineKind::Raw);
    EXPECT_EQ((*steps)[2].Kind, LineKind::Invalid);
    EXPECT_DOUBLE_EQ((*steps)[3].At, 0.3);
    EXPECT_TRUE((*steps)[3].CloseAfter);
    EXPECT_TRUE((*steps)[3].Pieces.empty());

    std::istringstream bad("line\nsleep soon\n");
    EXPECT_FALSE(ParseScript(bad, false, error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}

} // namespace
} // namespace corvane::sim
