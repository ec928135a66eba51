// Every command-line option, in one table: the parser matches arguments against it and --help
// prints it, so an option cannot be accepted without being listed or listed without working.
#pragma once

#include <array>
#include <string_view>

namespace corvane {

enum class TOptionKind { Local, Address, Serial, Mqtt, Headless, Help, Version };

// Which runs act on the option: the window, the service (--headless) or both.
enum class TOptionUse { Window, Headless, Both };

struct TOption {
    TOptionKind Kind;
    std::string_view Name;
    // How the value follows the name, joined without a blank; empty for options without one.
    std::string_view Argument;
    std::string_view Description;
    TOptionUse Use;
};

// The receiving station's port when an option names none.
constexpr int kDefaultPort = 1070;
// The serial ports the serial dialog offers.
constexpr int kMinSerialPort = 1;
constexpr int kMaxSerialPort = 32;

inline constexpr std::array<TOption, 7> kOptions{{
    {TOptionKind::Local, "-I", "[port]",
     "connect to a receiver on this computer (port 1070 without one)", TOptionUse::Both},
    {TOptionKind::Address, "-A", "address[:port]",
     "connect to a receiver at address (port 1070 without one)", TOptionUse::Both},
    {TOptionKind::Serial, "-S", "<n>", "open serial port n (1 to 32)", TOptionUse::Both},
    {TOptionKind::Mqtt, "-M", "[host[:port]]",
     "read every station under [MQTT] Topic from a broker (host and port default to [MQTT])",
     TOptionUse::Both},
    {TOptionKind::Headless, "--headless", "",
     "run as a service without a window, logging to standard output", TOptionUse::Headless},
    {TOptionKind::Help, "--help", "", "print this help and exit", TOptionUse::Both},
    {TOptionKind::Version, "--version", "", "print the version and exit", TOptionUse::Both},
}};

// The option arg is: one whose name it begins with when the option takes a value, one whose name
// it is otherwise (letter case counts). nullptr for any other argument.
const TOption* FindOption(std::string_view arg);

} // namespace corvane
