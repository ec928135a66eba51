#include "app/Usage.h"

#include "CorvaneVersion.h"

namespace corvane {

std::string VersionLine() {
    return std::string("corvane ") + CORVANE_VERSION;
}

std::string UsageText() {
    return "Usage: corvane [option...]\n"
           "Monitors the packets of a wireless sensor network that a receiving station forwards.\n"
           "\n"
           "  -I[port]              connect to a receiver on this computer (port 1070 without "
           "one)\n"
           "  -Aaddress[:port]      connect to a receiver at address (port 1070 without one)\n"
           "  --help                print this help and exit\n"
           "  --version             print the version and exit\n"
           "\n"
           "CORVANE_HOME=<folder> keeps the settings, logs and error reports in that folder.\n";
}

std::optional<std::string> EarlyAnswer(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--help")
            return UsageText();
        if (arg == "--version")
            return VersionLine() + "\n";
    }
    return std::nullopt;
}

} // namespace corvane
