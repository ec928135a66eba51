#include "LineBuilder.h"
#include "LineSource.h"
#include "tools/SimCheck.h"
#include "util/untConst.h"

#include <gtest/gtest.h>

namespace corvane::sim {
namespace {

using test::PassesIndependentCheck;

Packet ExamplePacket() {
    return Packet{0x10, 0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

LineParts ExampleParts() {
    return LineParts{'a', true, 2, "North Gate", "Tank 7"};
}

TEST(SimLines, BuildsTheReceiversLineWithItsCheckWord) {
    const auto* digits = reinterpret_cast<const uint8_t*>("123456789");
    ASSERT_EQ(test::BitwiseCrc(digits, 9), 0xBB3D); // the test's own CRC is right

    Packet p = ExamplePacket();
    SealPacket(p);
    EXPECT_EQ(BuildLine(p, ExampleParts()), "aa1078563412000000000000CFBB00,2,North Gate,Tank 7");
    EXPECT_EQ(BuildLine(p, LineParts{}), "1078563412000000000000CFBB00");
    EXPECT_TRUE(LinePasses(BuildLine(p, ExampleParts())));
    EXPECT_EQ(LineEnd(false), "\r");
    EXPECT_EQ(LineEnd(true), "\r\n");
}

TEST(SimLines, TailLeavesOutWhatHasNoName) {
    Packet p = ExamplePacket();
    SealPacket(p);
    const std::string digits = PacketDigits(p);
    EXPECT_EQ(BuildLine(p, LineParts{0, true, 2, "North Gate", ""}), digits + ",2,North Gate");
    EXPECT_EQ(BuildLine(p, LineParts{0, true, 3, "", "Tank 7"}), digits + ",3,,Tank 7");
    EXPECT_EQ(BuildLine(p, LineParts{'%', true, 3, "", ""}), "%%" + digits + ",3");
}

TEST(SimLines, OwnCheckRejectsWhatTheMonitorRejects) {
    const std::string good = "aa1078563412000000000000CFBB00,2,North Gate,Tank 7";
    EXPECT_TRUE(LinePasses(good));
    EXPECT_TRUE(LinePasses("1078563412000000000000CFBB00,,North"));
    EXPECT_FALSE(LinePasses("aa1078563412000000000000CEBB00,2,North Gate"));
    EXPECT_FALSE(LinePasses("1078563412000000000000cfbb00"));
    EXPECT_FALSE(LinePasses("1078563412000000000000CFBB00 "));
    EXPECT_FALSE(LinePasses("1078563412000000000000CFBB00,x,North"));
    EXPECT_FALSE(LinePasses("078563412000000000000CFBB00,2"));
}

TEST(SimLines, DamagedLinesFailForTheReasonTheyClaim) {
    std::mt19937_64 rng(7);
    Packet p = ExamplePacket();
    for (int i = 0; i < 200; ++i) {
        p[5] = static_cast<uint8_t>(i);
        std::string bad = BadCrcLine(p, ExampleParts(), rng);
        std::optional<test::Decoded> d = test::Decode(bad);
        ASSERT_TRUE(d) << bad; // well-formed digits, only the check word is off
        EXPECT_FALSE(test::CrcMatches(*d)) << bad;

        std::string lower = LowercaseLine(p, ExampleParts());
        EXPECT_NE(lower.find_first_of("abcdef", 2), std::string::npos) << lower;
        std::string upper = lower;
        for (size_t k = 2; k < 30; ++k)
            upper[k] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[k])));
        EXPECT_FALSE(LinePasses(lower));
        EXPECT_TRUE(PassesIndependentCheck(upper)) << "only the case may be wrong: " << lower;

        EXPECT_LT(ShortLine(p, ExampleParts(), rng).size(), 28u);

        // Sound digits and check word; only the entry field is no number, with or without a
        // tail of its own.
        for (const LineParts& parts : {ExampleParts(), LineParts{}}) {
            std::string badEntry = BadEntryLine(p, parts);
            std::optional<test::Decoded> e = test::Decode(badEntry);
            ASSERT_TRUE(e) << badEntry;
            EXPECT_TRUE(test::CrcMatches(*e)) << badEntry;
            EXPECT_FALSE(LinePasses(badEntry)) << badEntry;
            EXPECT_FALSE(PassesIndependentCheck(badEntry)) << badEntry;
        }

        std::string garbage = GarbageLine(rng);
        EXPECT_GE(garbage.size(), 28u);
        EXPECT_EQ(garbage.find_first_of(std::string("\r\n,", 3)), std::string::npos);
        EXPECT_FALSE(PassesIndependentCheck(garbage));
    }
}

TEST(SimLines, LongLineDoesNotSpoilTheLineAfterIt) {
    std::mt19937_64 rng(3);
    Packet p = ExamplePacket();
    SealPacket(p);
    const std::string direct = BuildLine(p, LineParts{0, true, 2, "North Gate", ""});
    for (int i = 0; i < 20; ++i) {
        std::string text = LongLineText(rng);
        EXPECT_GT(text.size(), 1024u);
        EXPECT_EQ(text.find_first_of(std::string("\r\n,", 3) + std::string(RepeaterChars)),
                  std::string::npos);
        // The monitor sees the two as one line: the packet must still read, heard directly.
        std::optional<test::Decoded> d = test::Decode(text + direct);
        ASSERT_TRUE(d);
        EXPECT_TRUE(test::CrcMatches(*d));
        EXPECT_FALSE(d->Marker[0] == d->Marker[1] && IsRepeaterChar(d->Marker[0])) << d->Marker;
    }
}

TEST(SimLines, SplitAndCutPoints) {
    std::mt19937_64 rng(11);
    const std::string line = "aa1078563412000000000000CFBB00,2,North Gate,Tank 7\r";
    for (int i = 0; i < 200; ++i) {
        std::vector<Piece> pieces = SplitLine(line, rng);
        ASSERT_GE(pieces.size(), 2u);
        ASSERT_LE(pieces.size(), 3u);
        std::string joined;
        for (size_t k = 0; k < pieces.size(); ++k) {
            EXPECT_FALSE(pieces[k].Bytes.empty());
            EXPECT_EQ(pieces[k].GapBefore > 0, k > 0);
            joined += pieces[k].Bytes;
        }
        EXPECT_EQ(joined, line);

        // Cut inside the digits: the leftover, joined to the next line, still reads correctly.
        size_t cut = CutPoint(line, rng);
        EXPECT_GE(cut, 3u);
        EXPECT_LT(cut, 30u);
        std::string joinedLine = line.substr(0, cut) + "1078563412000000000000CFBB00,2";
        std::optional<test::Decoded> d = test::Decode(joinedLine);
        ASSERT_TRUE(d && test::CrcMatches(*d));
        EXPECT_NE(d->Marker, "aa");
    }
}

} // namespace
} // namespace corvane::sim
