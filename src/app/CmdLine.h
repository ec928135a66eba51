// The command-line options that open connections at start-up (app/Options.h lists them):
// -I[port] connects to this computer (port 1070 without a number), -Aaddress[:port] to any
// receiver (port 1070 without one); -S<n> opens serial port n as the serial dialog would;
// -M[host[:port]] reads every station under the topic root from a broker (what it leaves out
// comes from section [MQTT]). Other
// arguments are ignored; the prefixes match in this letter case only.
#pragma once

#include <string>
#include <vector>

namespace corvane {

struct TCmdTarget {
    std::string Address;
    int Port = 0;
    int SerialPort = 0; // a serial port number instead of a TCP/IP target
    // A broker to read stations from instead: Address empty and Port 0 for [MQTT] Host, Port.
    bool Mqtt = false;
    bool operator==(const TCmdTarget&) const = default;
};

// The connections asked for, in the order given. Every option also makes its port the one that
// describes a connection as "Local", so the last option's port is the one that counts.
std::vector<TCmdTarget> ParseCommandLine(const std::vector<std::string>& args);

// What keeps an option from opening its connection, one line per such option, each beginning
// with the option as written: an -A without address, a port that is no number from 1 to 65535,
// a serial port outside 1 to 32. The window opens what it can and logs the rest; the service
// refuses to start, since a connection it can never open would leave it idle for good.
std::vector<std::string> CommandLineProblems(const std::vector<std::string>& args);

// Optional sign and decimal digits, nothing else; def otherwise (or when out of range).
int DecimalOrDefault(const std::string& text, int def);

} // namespace corvane
