// The line message read back: what a station's publisher writes comes back as the same 8-bit
// line, and what no station writes is turned away with its cause.
#include "mqtt/StationLine.h"

#include <gtest/gtest.h>

#include <cmath>

#include "util/IsoTime.h"
#include "util/JsonText.h"

namespace corvane {
namespace {

std::string Message(std::string_view line,
                    std::string_view time = "2026-12-08T15:20:39.123+01:00") {
    TJsonText j;
    j.Begin().Field("time", time).Field("conn", "10.0.0.7:1070").Field("line", line);
    return std::string(j.End());
}

TEST(StationLine, WhatThePublisherWritesComesBackByteForByte) {
    std::string line = "0010000300000000000000000000,1,Gate \xC4\xE9\xFF \"q\" \\ \x01";
    TStationLine out;
    ASSERT_EQ(ParseStationLine(Message(line), out), TMessageFault::None);
    EXPECT_EQ(out.Line, line);
    EXPECT_EQ(out.Conn, "10.0.0.7:1070");
    ASSERT_TRUE(out.HasTime);
    EXPECT_EQ(FormatIsoTime(out.Wall).substr(0, 0), "");
    // 14:20:39.123 UTC
    TDateTime utc = 0;
    ASSERT_TRUE(ParseIsoTime("2026-12-08T14:20:39.123Z", utc));
    EXPECT_NEAR((out.Wall - utc) * 86400.0, 0.0, 1e-3);
}

TEST(StationLine, FieldsInAnyOrderOthersSkippedTimeOptional) {
    TStationLine out;
    ASSERT_EQ(ParseStationLine(R"( { "x":[1,{"a":null},-2.5e3,true], "line":"A\u00e9B" } )", out),
              TMessageFault::None);
    EXPECT_EQ(out.Line, "A\xE9"
                        "B");
    EXPECT_FALSE(out.HasTime);
    EXPECT_TRUE(out.Conn.empty());
    // A time no clock wrote is no time, and no reason to turn the line away.
    ASSERT_EQ(ParseStationLine(Message("L", "yesterday"), out), TMessageFault::None);
    EXPECT_FALSE(out.HasTime);
}

TEST(StationLine, EachFaultHasItsCause) {
    TStationLine out;
    const std::pair<std::string, TMessageFault> cases[] = {
        {"", TMessageFault::BadJson},
        {"[]", TMessageFault::BadJson},
        {R"({"line":"a")", TMessageFault::BadJson},
        {R"({"line":"a"} x)", TMessageFault::BadJson},
        {R"({"line":"a\q"})", TMessageFault::BadJson},
        {"{\"line\":\"a\x01\"}", TMessageFault::BadJson}, // a raw control character
        {R"({"line":12})", TMessageFault::NoLine},
        {R"({"conn":"x"})", TMessageFault::NoLine},
        {"{\"line\":\"\xC3\"}", TMessageFault::BadUtf8},
        {"{\"line\":\"\xC0\xAF\"}", TMessageFault::BadUtf8},     // overlong
        {"{\"line\":\"\xED\xA0\x80\"}", TMessageFault::BadUtf8}, // a surrogate
        {"{\"line\":\"\xE2\x82\xAC\"}", TMessageFault::BadUtf8}, // no Latin-1 character
        {R"({"line":"\ud83d\ude00"})", TMessageFault::BadUtf8},
        {R"({"line":"\ud83d"})", TMessageFault::BadUtf8},
        {"{\"x\":" + std::string(20, '[') + std::string(20, ']') + ",\"line\":\"a\"}",
         TMessageFault::BadJson},
        {Message(std::string(kMaxStationLine + 1, 'A')), TMessageFault::TooLong},
        {std::string(kMaxLineMessage + 1, ' '), TMessageFault::TooLong},
    };
    for (const auto& [payload, fault] : cases)
        EXPECT_EQ(ParseStationLine(payload, out), fault) << payload.substr(0, 60);
    // Invalid UTF-8 in a field nobody reads still makes no JSON text.
    EXPECT_EQ(ParseStationLine("{\"x\":\"\xFF\",\"line\":\"a\"}", out), TMessageFault::BadUtf8);
    EXPECT_EQ(ParseStationLine(Message(std::string(kMaxStationLine, 'A')), out),
              TMessageFault::None);
}

TEST(IsoTime, ReadsWhatItWritesAndNothingElse) {
    const TDateTime wall = 46365.6393 + 0.5 / 86400000.0;
    TDateTime back = 0;
    ASSERT_TRUE(ParseIsoTime(FormatIsoTime(wall), back));
    EXPECT_NEAR((back - wall) * 86400.0, 0.0, 0.001);
    ASSERT_TRUE(ParseIsoTime("2026-01-01T00:00:00-05:30", back));
    TDateTime utc = 0;
    ASSERT_TRUE(ParseIsoTime("2026-01-01T05:30:00Z", utc));
    EXPECT_NEAR((back - utc) * 86400.0, 0.0, 1e-6);
    for (const char* bad : {"2026-01-01T00:00:00", "2026-13-01T00:00:00Z", "2026-01-01T00:00:00.Z",
                            "2026-01-01T00:00:00+0100", "2026-01-01T00:00:00Zx", "x"})
        EXPECT_FALSE(ParseIsoTime(bad, back)) << bad;
}

} // namespace
} // namespace corvane
