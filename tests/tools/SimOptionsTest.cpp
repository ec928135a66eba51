#include "SimOptions.h"

#include <gtest/gtest.h>

namespace corvane::sim {
namespace {

ParseResult Parse(std::vector<std::string> args) {
    return ParseArgs(args);
}

TEST(SimOptions, DefaultsServeTheLocalPort) {
    ParseResult r = Parse({});
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Options.Port, 1070);
    EXPECT_FALSE(r.Options.Pty);
    EXPECT_LT(r.Options.Rate, 0); // the network's own pace
    EXPECT_EQ(r.Options.Count, -1);
}

TEST(SimOptions, ReadsEveryOption) {
    ParseResult r =
        Parse({"--port",       "0",        "--pty",     "--sensors", "2000",
               "--repeaters",  "32",       "--entries", "0",         "--rate",
               "2000",         "--seed",   "42",        "--faults",  "split,disconnect,split",
               "--fault-rate", "0.5",      "--count",   "10",        "--crlf",
               "--once",       "--replay", "x.txt",     "--speed",   "2.5"});
    ASSERT_TRUE(r.Ok) << r.Error;
    const SimOptions& o = r.Options;
    EXPECT_EQ(o.Port, 0);
    EXPECT_TRUE(o.Pty && o.CrLf && o.Once);
    EXPECT_EQ(o.Sensors, 2000);
    EXPECT_EQ(o.Repeaters, 32);
    EXPECT_EQ(o.Entries, 0);
    EXPECT_EQ(o.Rate, 2000);
    EXPECT_EQ(o.Seed, 42u);
    EXPECT_EQ(o.Faults, (std::vector<Fault>{Fault::Split, Fault::Disconnect}));
    EXPECT_EQ(o.FaultRate, 0.5);
    EXPECT_EQ(o.Count, 10);
    EXPECT_EQ(o.ReplayFile, "x.txt");
    EXPECT_EQ(o.Speed, 2.5);
    EXPECT_TRUE(Parse({"--rate", "0"}).Ok);
}

TEST(SimOptions, BadArgumentsAreNamed) {
    struct Case {
        std::vector<std::string> Args;
        std::string Mentions;
    };
    const Case cases[] = {
        {{"--bogus"}, "--bogus"},
        {{"--port"}, "needs a value"},
        {{"--port", "65536"}, "--port"},
        {{"--sensors", "12x"}, "12x"},
        {{"--sensors", "0"}, "--sensors"},
        {{"--repeaters", "33"}, "--repeaters"},
        {{"--rate", "-1"}, "--rate"},
        {{"--rate", "fast"}, "fast"},
        {{"--speed", "0"}, "--speed"},
        {{"--fault-rate", "1.5"}, "--fault-rate"},
        {{"--faults", "badcrc,oops"}, "oops"},
        {{"--faults", ""}, "unknown fault"},
        {{"--replay", "a", "--script", "b"}, "exclude"},
        {{"--replay", "a", "--faults", "badcrc"}, "badcrc"},
    };
    for (const Case& c : cases) {
        ParseResult r = Parse(c.Args);
        EXPECT_FALSE(r.Ok) << c.Args[0];
        EXPECT_NE(r.Error.find(c.Mentions), std::string::npos) << r.Error;
    }
    // Transport faults do apply to recorded lines.
    EXPECT_TRUE(Parse({"--script", "a", "--faults", "split,disconnect,silent"}).Ok);
}

} // namespace
} // namespace corvane::sim

namespace corvane::sim {
namespace {

TEST(SimOptions, PeriodsAndSilence) {
    ParseResult r =
        ParseArgs({"--periods", "15-90", "--silence", "60-600", "--silence-sensors", "5"});
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(r.Options.PeriodMin, 15);
    EXPECT_EQ(r.Options.PeriodMax, 90);
    EXPECT_EQ(r.Options.SilenceAt, 60);
    EXPECT_EQ(r.Options.SilenceUntil, 600);
    EXPECT_EQ(r.Options.SilenceSensors, 5);
    r = ParseArgs({"--silence", "30"});
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(r.Options.SilenceAt, 30);
    EXPECT_LT(r.Options.SilenceUntil, 0); // for good
    for (auto bad : {"20-10", "x", "60-60", "-5"})
        EXPECT_FALSE(ParseArgs({"--silence", bad}).Ok) << bad;
    for (auto bad : {"0-10", "30", "9-3"})
        EXPECT_FALSE(ParseArgs({"--periods", bad}).Ok) << bad;
    EXPECT_NE(UsageText().find("--silence AT[-UNTIL]"), std::string::npos);
}

} // namespace
} // namespace corvane::sim
