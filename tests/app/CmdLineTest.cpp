// The start-up options -I, -A and -S, and what keeps them from opening a connection.
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

TEST(CommandLine, BrokerOptionLeavesToTheSettingsWhatItDoesNotName) {
    const auto targets = ParseCommandLine({"-M", "-Mbroker.lan", "-Mbroker.lan:8883", "-M:1884"});
    const std::vector<TCmdTarget> expected = {{"", 0, 0, true},
                                              {"broker.lan", 0, 0, true},
                                              {"broker.lan", 8883, 0, true},
                                              {"", 1884, 0, true}};
    EXPECT_EQ(targets, expected);
    EXPECT_EQ(CommandLineProblems({"-Mbroker.lan:0", "-Mbroker.lan", "-M:x"}),
              (std::vector<std::string>{"-Mbroker.lan:0: the port is no number from 1 to 65535",
                                        "-M:x: the port is no number from 1 to 65535"}));
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

TEST(CommandLine, OptionsThatCanOpenTheirConnectionHaveNoProblem) {
    EXPECT_TRUE(CommandLineProblems({"-I", "-I5001", "-I+1", "-I65535", "-A10.0.0.7", "-Ahost:1",
                                     "-A10.0.0.7:65535", "-S1", "-S32", "--headless", "x", "-a",
                                     "-s99", "-i0"})
                    .empty());
}

TEST(CommandLine, AnAddressOptionWithoutAddressSaysToWriteItJoined) {
    // An address after a blank is shown joined to the option.
    EXPECT_EQ(CommandLineProblems({"--headless", "-A", "127.0.0.1:1070"}),
              (std::vector<std::string>{"-A: no address (write it joined: -A127.0.0.1:1070)"}));
    EXPECT_EQ(CommandLineProblems({"-A"}),
              (std::vector<std::string>{"-A: no address (write it joined: -A10.0.0.7:1070)"}));
    EXPECT_EQ(CommandLineProblems({"-A", "-I"}),
              (std::vector<std::string>{"-A: no address (write it joined: -A10.0.0.7:1070)"}));
    EXPECT_EQ(CommandLineProblems({"-A:9"}),
              (std::vector<std::string>{"-A:9: no address (write it joined: -A10.0.0.7:1070)"}));
}

TEST(CommandLine, PortsThatAreNoNumberFrom1To65535) {
    for (const char* arg : {"-I0", "-I65536", "-I70000", "-I-5", "-Iabc", "-I50x", "-I0x10",
                            "-A10.0.0.7:", "-A10.0.0.7:0", "-A10.0.0.7:x", "-A10.0.0.7:1:2",
                            "-A10.0.0.7:99999999999"})
        EXPECT_EQ(CommandLineProblems({arg}),
                  (std::vector<std::string>{std::string(arg) +
                                            ": the port is no number from 1 to 65535"}))
            << arg;
}

TEST(CommandLine, SerialPortsOutsideTheDialogsRange) {
    EXPECT_EQ(CommandLineProblems({"-S99"}),
              (std::vector<std::string>{"-S99: no serial port 99 (1 to 32)"}));
    EXPECT_EQ(CommandLineProblems({"-S0"}),
              (std::vector<std::string>{"-S0: no serial port 0 (1 to 32)"}));
    EXPECT_EQ(CommandLineProblems({"-S33"}),
              (std::vector<std::string>{"-S33: no serial port 33 (1 to 32)"}));
    EXPECT_EQ(CommandLineProblems({"-Sx"}),
              (std::vector<std::string>{"-Sx: no serial port x (1 to 32)"}));
    EXPECT_EQ(CommandLineProblems({"-S"}),
              (std::vector<std::string>{"-S: no serial port number (1 to 32)"}));
}

TEST(CommandLine, EveryBadOptionIsNamedInTheOrderGiven) {
    EXPECT_EQ(CommandLineProblems({"-S99", "-I5001", "-I70000", "-A"}),
              (std::vector<std::string>{"-S99: no serial port 99 (1 to 32)",
                                        "-I70000: the port is no number from 1 to 65535",
                                        "-A: no address (write it joined: -A10.0.0.7:1070)"}));
}

// The window still opens what the options give, problems or not, and logs what fails.
TEST(CommandLine, TheWindowsTargetsStayAsTheyWere) {
    EXPECT_EQ(ParseCommandLine({"-A", "-I70000", "-S99", "-I-5"}),
              (std::vector<TCmdTarget>{
                  {"", 1070}, {"127.0.0.1", 70000}, {"", 0, 99}, {"127.0.0.1", -5}}));
}
