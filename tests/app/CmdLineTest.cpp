// The start-up options -I and -A.
#include <gtest/gtest.h>

#include "app/CmdLine.h"

using namespace corvane;

TEST(CommandLine, LocalOption) {
    EXPECT_EQ(ParseCommandLine({"-I"}), (std::vector<TCmdTarget>{{"127.0.0.1", 1070}}));
    EXPECT_EQ(ParseCommandLine({"-I5001"}), (std::vector<TCmdTarget>{{"127.0.0.1", 5001}}));
    EXPECT_TRUE(ParseCommandLine({"-Iabc"}).empty());
    EXPECT_TRUE(ParseCommandLine({"-I0"}).empty());
    EXPECT_TRUE(ParseCommandLine({"-I50x"}).empty());
}

TEST(CommandLine, AddressOption) {
    EXPECT_EQ(ParseCommandLine({"-A10.0.0.7:1001"}), (std::vector<TCmdTarget>{{"10.0.0.7", 1001}}));
    EXPECT_EQ(ParseCommandLine({"-A10.0.0.7"}), (std::vector<TCmdTarget>{{"10.0.0.7", 1070}}));
    EXPECT_EQ(ParseCommandLine({"-A10.0.0.7:x"}), (std::vector<TCmdTarget>{{"10.0.0.7", 1070}}));
    EXPECT_EQ(ParseCommandLine({"-A:9"}), (std::vector<TCmdTarget>{{"", 9}}));
    EXPECT_EQ(ParseCommandLine({"-A10.0.0.7:1:2"}), (std::vector<TCmdTarget>{{"10.0.0.7", 1070}}));
}

TEST(CommandLine, OrderPrefixCaseAndLength) {
    EXPECT_EQ(
        ParseCommandLine({"-I5001", "-a10.0.0.7", "x", "-A1.2.3.4", "-i", "-I5002"}),
        (std::vector<TCmdTarget>{{"127.0.0.1", 5001}, {"1.2.3.4", 1070}, {"127.0.0.1", 5002}}));
    // Only 100 characters after the option letter count.
    const std::string longAddress(120, '9');
    EXPECT_EQ(ParseCommandLine({"-A" + longAddress})[0].Address.size(), 100u);
}

TEST(CommandLine, DecimalOrDefault) {
    EXPECT_EQ(DecimalOrDefault("1000", 7), 1000);
    EXPECT_EQ(DecimalOrDefault("-12", 7), -12);
    EXPECT_EQ(DecimalOrDefault("+12", 7), 12);
    EXPECT_EQ(DecimalOrDefault("", 7), 7);
    EXPECT_EQ(DecimalOrDefault("0x10", 7), 7);
    EXPECT_EQ(DecimalOrDefault("99999999999", 7), 7);
}

TEST(CommandLine, SerialOptionKeepsItsPlaceAmongTheOthers) {
    EXPECT_EQ(ParseCommandLine({"-I5001", "-S2", "-A10.0.0.7"}),
              (std::vector<TCmdTarget>{{"127.0.0.1", 5001}, {"", 0, 2}, {"10.0.0.7", 1070}}));
    EXPECT_TRUE(ParseCommandLine({"-S"}).empty());
    EXPECT_TRUE(ParseCommandLine({"-S0"}).empty());
    EXPECT_TRUE(ParseCommandLine({"-Sx"}).empty());
    EXPECT_TRUE(ParseCommandLine({"-s3", "--headless"}).empty());
}
