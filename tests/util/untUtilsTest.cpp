#include "util/untUtils.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <utility>

#include "util/TextBuffer.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

uint16_t BitwiseCrc(const uint8_t* data, size_t n) {
    uint16_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = data[i];
        for (int k = 0; k < 8; ++k) {
            crc = ((b ^ crc) & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : (crc >> 1);
            b >>= 1;
        }
    }
    return crc;
}

TEST(Crc16, CheckValueAndExamplePacket) {
    const auto* digits = reinterpret_cast<const uint8_t*>("123456789");
    EXPECT_EQ(CalcCrc16(digits, 9), 0xBB3D);
    EXPECT_EQ(CalcCrc16(digits, 0), 0);

    const std::string_view hex = "1078563412000000000000CFBB00";
    ASSERT_TRUE(IsHexText(hex));
    uint8_t packet[14] = {};
    ASSERT_EQ(HexToBytes(hex, packet, sizeof packet), 14u);
    const uint16_t crc = CalcCrc16(packet, 11);
    EXPECT_EQ(crc, 0x4430);
    EXPECT_EQ(static_cast<uint16_t>(crc + packet[11] + 256 * packet[12]), 0xFFFF);
}

TEST(Crc16, TableMatchesBitwiseForm) {
    uint8_t buf[256];
    uint32_t x = 12345;
    for (auto& b : buf) {
        x = x * 1103515245 + 12345;
        b = static_cast<uint8_t>(x >> 16);
    }
    for (size_t n : {1u, 2u, 11u, 100u, 256u})
        EXPECT_EQ(CalcCrc16(buf, static_cast<uint16_t>(n)), BitwiseCrc(buf, n)) << n;
    // The packet check's own form, at every offset of the random bytes and for each single byte
    // value at each place.
    for (size_t at = 0; at + 11 <= sizeof buf; ++at)
        ASSERT_EQ(CalcPacketCrc16(buf + at), BitwiseCrc(buf + at, 11)) << at;
    for (size_t place = 0; place < 11; ++place)
        for (unsigned b = 0; b < 256; ++b) {
            uint8_t one[11] = {};
            one[place] = static_cast<uint8_t>(b);
            ASSERT_EQ(CalcPacketCrc16(one), BitwiseCrc(one, 11)) << place << " " << b;
        }
}

TEST(Hex, OnlyUpperCaseDigitsInPairs) {
    EXPECT_TRUE(IsHexText(""));
    EXPECT_TRUE(IsHexText("0123456789ABCDEF"));
    EXPECT_FALSE(IsHexText("ABC"));
    EXPECT_FALSE(IsHexText("ab"));
    EXPECT_FALSE(IsHexText("0G"));
    EXPECT_FALSE(IsHexText("0 "));
    EXPECT_FALSE(IsHexText(std::string_view("0\0", 2)));
}

TEST(Hex, BytesStopAtMaximumCount) {
    uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(HexToBytes("00FF7A", out, 2), 2u);
    EXPECT_EQ(out[0], 0x00);
    EXPECT_EQ(out[1], 0xFF);
    EXPECT_EQ(out[2], 0xEE);
    EXPECT_EQ(HexToBytes("A5", out, 4), 1u);
    EXPECT_EQ(out[0], 0xA5);
    EXPECT_EQ(out[1], 0xFF);
}

// The checked form works eight bytes at a time where it can: every character at every place must
// still be judged and converted as one at a time would.
TEST(Hex, CheckedFormJudgesEveryCharacterAtEveryPlace) {
    const auto oneAtATime = [](std::string_view text, uint8_t* dest) {
        bool ok = IsHexText(text);
        for (size_t i = 0; ok && i < text.size() / 2; ++i)
            ok = HexToBytes(text.substr(2 * i, 2), dest + i, 1) == 1;
        return ok;
    };
    std::mt19937 rng(11);
    const std::string_view digits = "0123456789ABCDEF";
    for (size_t count : {1u, 7u, 8u, 9u, 14u, 16u, 20u}) {
        std::string text(2 * count, '0');
        for (char& c : text)
            c = digits[rng() % 16];
        for (size_t at = 0; at < text.size(); ++at)
            for (unsigned c = 0; c < 256; ++c) {
                std::string probe = text;
                probe[at] = static_cast<char>(c);
                uint8_t got[20] = {}, want[20] = {};
                const bool valid = oneAtATime(probe, want);
                ASSERT_EQ(HexToBytesChecked(probe, got, count), valid)
                    << count << " " << at << " " << c;
                if (valid) {
                    ASSERT_EQ(std::string_view(reinterpret_cast<char*>(got), count),
                              std::string_view(reinterpret_cast<char*>(want), count));
                }
            }
    }
    uint8_t out[14];
    EXPECT_FALSE(HexToBytesChecked("00", out, 14)); // the length must match
}

TEST(Fixed2, ExactHalvesRoundAwayFromZeroOthersAsBefore) {
    const std::pair<double, const char*> cases[] = {
        {10.125, "10.13"}, {0.125, "0.13"},       {-10.125, "-10.13"}, {2.375, "2.38"},
        {0.005, "0.01"},   {1.015, "1.01"},       {10.124, "10.12"},   {5.0, "5.00"},
        {0.0, "0.00"},     {65535.0, "65535.00"}, {33.25, "33.25"},    {7.5, "7.50"}};
    // 0.005 lies just above its half in binary and 1.015 just below: neither is an exact half.
    for (const auto& [value, text] : cases) {
        TTextBuffer<32> out;
        out.AppendFixed2(value);
        EXPECT_EQ(out.View(), text) << value;
    }
    EXPECT_EQ(HalfAwayFromZero(0.25, 1), std::nextafter(0.25, 1.0));
    EXPECT_EQ(HalfAwayFromZero(0.5, 1), 0.5);
    EXPECT_EQ(HalfAwayFromZero(1e300, 2), 1e300);
}

TEST(Fixed2, EveryRunningAverageReadsAsTheLibraryConversionGivesIt) {
    // Running averages are floats: the short way must agree with the general conversion for all
    // of them, halves included, and for the doubles it hands on to the library.
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> any(-70000.0f, 70000.0f);
    for (int i = 0; i < 200000; ++i) {
        const float f = i % 4 == 0 ? static_cast<float>(rng() % 6553600) / 800.0f : any(rng);
        const double v = i % 8 == 7 ? f / 3.0 : f;
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.2f", HalfAwayFromZero(v, 2));
        TTextBuffer<64> out;
        out.AppendFixed2(v);
        ASSERT_EQ(out.View(), expected) << v;
    }
}

} // namespace
} // namespace corvane
