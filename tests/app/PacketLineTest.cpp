#include <gtest/gtest.h>

#include "app/PacketLine.h"
#include "conn/Conn.h"
#include "support/Packets.h"

namespace corvane::testing {
namespace {

class FakeCloseItem : public TCloseItem {
public:
    explicit FakeCloseItem(int position) : position_(position) {}
    int Position() const override { return position_; }

private:
    int position_;
};

class FakeConn : public TConn {
public:
    std::string Description = "Local";
    std::string GetDescription() const override { return Description; }
    bool Open() override { return true; }
    void Close() override {}
};

const std::string Example = "aa1078563412000000000000CFBB00,2,North Gate,Tank 7";

class PacketLineTest : public ::testing::Test {
protected:
    TPacketDecoder decoder;
    TDecodedPacket p;
    bool Decode(const std::string& line, const TConn* conn = nullptr) {
        return decoder.Decode(line, conn, p);
    }
};

TEST_F(PacketLineTest, WorkedExample) {
    ASSERT_TRUE(Decode(Example));
    EXPECT_EQ(p.Crc, 0x4430);
    EXPECT_EQ(p.Packet[11], 0xCF);
    EXPECT_EQ(p.Packet[12], 0xBB);
    EXPECT_EQ(p.Kind, 2);
    EXPECT_EQ(p.Marked, 1);
    EXPECT_EQ(p.SerNo, 0x10345678);
    EXPECT_EQ(p.RepeaterId, 'a');
    EXPECT_EQ(p.EntryId, 2);
    EXPECT_EQ(p.EntryName, "North Gate");
    EXPECT_EQ(p.SensorName, "Tank 7");
}

TEST_F(PacketLineTest, RejectsBadDigitsAndCheckWords) {
    std::string lower = Example;
    for (size_t i = 2; i < 30; ++i)
        lower[i] = static_cast<char>(std::tolower(lower[i]));
    EXPECT_FALSE(Decode(lower));
    std::string badCheck = Example;
    badCheck.replace(26, 2, "CE");
    EXPECT_FALSE(Decode(badCheck));
    EXPECT_FALSE(Decode(Example.substr(0, 29) + Example.substr(30))); // 27 digits before comma
    EXPECT_FALSE(Decode(Example.substr(2, 28) + " "));                // text after the digits
    EXPECT_FALSE(Decode("aa1078563412000000000000CFBB00,x,North"));
    EXPECT_FALSE(Decode(""));
    EXPECT_FALSE(Decode(","));
    EXPECT_FALSE(Decode(std::string(28, '\0')));
    EXPECT_FALSE(Decode("aa1078563412000000000000CFBB00,99999999999,North"));
}

TEST_F(PacketLineTest, SerialModeOneUsesEightBytes) {
    ASSERT_TRUE(Decode("4001020304050607080000EFAD00"));
    EXPECT_EQ(p.Kind, 8);
    EXPECT_EQ(p.SerNo, 0x0807060504030201);
}

TEST_F(PacketLineTest, UnknownTypeIsKindZeroInModeZero) {
    ASSERT_TRUE(Decode(PacketDigits(0x00, 0xFFFFFFFFFFull)));
    EXPECT_EQ(p.Kind, 0);
    EXPECT_EQ(p.Marked, 0);
    EXPECT_EQ(p.SerNo, 0xFCFFFFFF); // upper six bits of byte 4 only
}

TEST_F(PacketLineTest, BareLineTakesItsEntryFromTheConnection) {
    const std::string digits = Example.substr(2, 28);
    FakeConn conn;
    ASSERT_TRUE(Decode(digits, &conn));
    EXPECT_EQ(p.EntryId, 255); // no Close entry yet
    FakeCloseItem first(0), third(2);
    conn.CloseItem = &first;
    ASSERT_TRUE(Decode(digits, &conn));
    EXPECT_EQ(p.EntryId, 254);
    EXPECT_EQ(p.EntryName, "Local");
    EXPECT_EQ(p.RepeaterId, '\0');
    EXPECT_EQ(p.SensorName, "");
    conn.CloseItem = &third;
    ASSERT_TRUE(Decode("\n" + digits, &conn)); // a CR LF receiver's leading line feed
    EXPECT_EQ(p.EntryId, 252);
}

TEST_F(PacketLineTest, RepeaterMarker) {
    const std::string digits = Example.substr(2, 28);
    struct Case {
        std::string prefix;
        char expected;
    } cases[] = {{"ab", '\0'}, {"AA", '\0'}, {"a", '\0'}, {"%%", '%'}, {"x^^", '^'}, {"", '\0'}};
    for (const auto& c : cases) {
        ASSERT_TRUE(Decode(c.prefix + digits + ",1")) << c.prefix;
        EXPECT_EQ(p.RepeaterId, c.expected) << c.prefix;
    }
}

TEST_F(PacketLineTest, DefaultEntryNameHoldsTheWholeNumber) {
    const std::string digits = Example.substr(2, 28);
    for (const char* number : {"1000000001", "-1000000000", "-2147483648", "2147483647"}) {
        ASSERT_TRUE(Decode(digits + "," + number)) << number;
        EXPECT_EQ(p.EntryName, std::string("Entry ") + number);
    }
    ASSERT_TRUE(Decode(digits + ",+1000000001"));
    EXPECT_EQ(p.EntryName, "Entry 1000000001");
}

TEST_F(PacketLineTest, TailFields) {
    const std::string digits = Example.substr(2, 28);
    ASSERT_TRUE(Decode(digits + ",5"));
    EXPECT_EQ(p.EntryId, 5);
    EXPECT_EQ(p.EntryName, "Entry 5");
    ASSERT_TRUE(Decode(digits + ",,North"));
    EXPECT_EQ(p.EntryId, 255);
    EXPECT_EQ(p.EntryName, "North");
    ASSERT_TRUE(Decode(digits + ","));
    EXPECT_EQ(p.EntryId, 255);
    EXPECT_EQ(p.EntryName, "");
    ASSERT_TRUE(Decode(digits + ",7,,Tank,extra"));
    EXPECT_EQ(p.EntryName, "Entry 7");
    EXPECT_EQ(p.SensorName, "Tank");
    ASSERT_TRUE(Decode(digits + ",+3, Gate "));
    EXPECT_EQ(p.EntryId, 3);
    EXPECT_EQ(p.EntryName, " Gate ");
    ASSERT_TRUE(Decode(digits + ",258"));
    EXPECT_EQ(p.EntryId, 2); // the low eight bits
    EXPECT_FALSE(Decode(digits + ", 5"));
}

// The commas are found many characters a step: names of every length, with commas at every
// place a step can end, must come out as a plain split of the tail gives them.
TEST_F(PacketLineTest, TailFieldsOfEveryLengthAndPlace) {
    const std::string digits = Example.substr(2, 28);
    for (const std::string& before : {std::string(), std::string("aa"), std::string(13, 'x')})
        for (size_t entryLength = 0; entryLength < 40; ++entryLength)
            for (size_t sensorLength : {0u, 1u, 7u, 8u, 15u, 16u, 17u, 33u}) {
                const std::string entry(entryLength, 'E'), sensor(sensorLength, 'S');
                for (const std::string& after :
                     {std::string(), std::string(","), std::string(",x,y,z")}) {
                    const std::string line = before + digits + ",4," + entry + "," + sensor + after;
                    ASSERT_TRUE(Decode(line)) << line;
                    EXPECT_EQ(p.EntryId, 4);
                    ASSERT_EQ(p.EntryName, entryLength ? entry : "Entry 4") << line;
                    ASSERT_EQ(p.SensorName, sensor) << line;
                }
            }
    // A comma among the digits ends them early: no packet.
    std::string broken = digits + ",1,a,b";
    broken[20] = ',';
    EXPECT_FALSE(Decode(broken));
}

TEST(EntryNumberTest, Syntax) {
    int64_t v = 0;
    EXPECT_TRUE(ParseEntryNumber("12", v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(ParseEntryNumber("-1", v));
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(ParseEntryNumber("+7", v));
    EXPECT_FALSE(ParseEntryNumber("", v));
    EXPECT_FALSE(ParseEntryNumber("+", v));
    EXPECT_FALSE(ParseEntryNumber("++1", v));
    EXPECT_FALSE(ParseEntryNumber("1x", v));
    EXPECT_FALSE(ParseEntryNumber("0x10", v));
    EXPECT_FALSE(ParseEntryNumber("4294967296", v));
}

} // namespace
} // namespace corvane::testing
