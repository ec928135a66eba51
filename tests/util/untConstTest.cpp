#include "util/untConst.h"

#include <gtest/gtest.h>

#include <set>

namespace corvane {
namespace {

void ExpectType(std::string_view code, int kind, int mode, int marked) {
    auto t = FindPacketType(code);
    ASSERT_TRUE(t.has_value()) << code;
    EXPECT_EQ(t->Kind, kind) << code;
    EXPECT_EQ(t->SerialMode, mode) << code;
    EXPECT_EQ(t->Marked, marked) << code;
}

TEST(PacketTypes, TableIsSortedAndEveryEntryIsFound) {
    for (int i = 1; i < PacketTypeCount; ++i)
        EXPECT_LT(std::string_view(PacketTypes[i - 1].Code), std::string_view(PacketTypes[i].Code));
    std::set<int> kinds;
    for (const auto& e : PacketTypes) {
        ExpectType(e.Code, e.Type.Kind, e.Type.SerialMode, e.Type.Marked);
        kinds.insert(e.Type.Kind);
    }
    // Every kind but "Unknown" has at least one code.
    EXPECT_EQ(kinds.size(), static_cast<size_t>(SensorKindCount - 1));
    EXPECT_EQ(kinds.count(0), 0u);
}

TEST(PacketTypes, KnownCodes) {
    ExpectType("1F", 4, 1, 1);
    ExpectType("20", 4, 1, 0);
    ExpectType("10", 2, 0, 1);
    ExpectType("40", 8, 1, 1);
    ExpectType("7C", 23, 0, 1);
    ExpectType("1a", 3, 0, 0);
    ExpectType("4b", 13, 1, 1);
    for (std::string_view code : {"26", "49", "4D", "77", "79"}) {
        auto t = FindPacketType(code);
        ASSERT_TRUE(t.has_value()) << code;
        EXPECT_EQ(t->Marked, 0) << code;
    }
}

TEST(PacketTypes, UnknownCodesGiveNothing) {
    for (std::string_view code : {"00", "12", "7E", "FF", "", "1", "100", "1G"})
        EXPECT_FALSE(FindPacketType(code).has_value()) << code;
}

TEST(SensorKinds, Names) {
    EXPECT_EQ(SensorKindNames[0], "Unknown");
    EXPECT_EQ(SensorKindNames[2], "DualCounter");
    EXPECT_EQ(SensorKindNames[8], "Analog");
    EXPECT_EQ(SensorKindNames[23], "RepeaterII");
    EXPECT_EQ(SensorKindNames[26], "CountAnalog");
}

TEST(SerialToHex, SixteenUpperCaseDigits) {
    EXPECT_EQ(SerialToHex(0x10345678), "0000000010345678");
    EXPECT_EQ(SerialToHex(-1), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(SerialToHex(0x0807060504030201), "0807060504030201");
    EXPECT_EQ(SerialToHex(INT64_MIN), "8000000000000000");
    char out[17] = "xxxxxxxxxxxxxxxx";
    SerialToHex(0xABCDEF, out);
    EXPECT_STREQ(out, "0000000000ABCDEF");
}

TEST(Repeaters, AlphabetAndLocators) {
    for (char c : {'a', 'z', '!', '^', '%'})
        EXPECT_TRUE(IsRepeaterChar(c)) << c;
    for (char c : {'A', '0', '\0', ' ', '&'})
        EXPECT_FALSE(IsRepeaterChar(c)) << int(c);

    uint8_t data[11] = {};
    data[4] = 0x12;
    data[5] = 0x3F;
    EXPECT_EQ(LocatorIndex(data), 35);
    EXPECT_EQ(LocatorChar(35), " ");
    data[4] = 0x01;
    data[5] = 0x5F;
    EXPECT_EQ(LocatorIndex(data), 21);
    EXPECT_EQ(LocatorChar(21), "v");
    data[4] = 0xFF;
    data[5] = 0xFF;
    EXPECT_EQ(LocatorIndex(data), 63);

    EXPECT_EQ(LocatorChar(0), "a");
    EXPECT_EQ(LocatorChar(26), "!");
    EXPECT_EQ(LocatorChar(31), "^");
    EXPECT_EQ(LocatorChar(32), " ");
    EXPECT_EQ(LocatorChar(-1), " ");
}

} // namespace
} // namespace corvane
