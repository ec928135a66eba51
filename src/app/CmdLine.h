// The command-line options that open TCP/IP connections at start-up: -I[port] connects to this
// computer (port 1070 without a number), -A address[:port] to any receiver (port 1070 without
// one); -S<n> opens serial port n as the serial dialog would. Other arguments are ignored; the
// prefixes match in this letter case only.
#pragma once

#include <string>
#include <vector>

namespace corvane {

struct TCmdTarget {
    std::string Address;
    int Port = 0;
    int SerialPort = 0; // a serial port number instead of a TCP/IP target
    bool operator==(const TCmdTarget&) const = default;
};

// The connections asked for, in the order given. Every option also makes its port the one that
// describes a connection as "Local", so the last option's port is the one that counts.
std::vector<TCmdTarget> ParseCommandLine(const std::vector<std::string>& args);

// Optional sign and decimal digits, nothing else; def otherwise (or when out of range).
int DecimalOrDefault(const std::string& text, int def);

} // namespace corvane
