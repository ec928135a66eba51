#include "app/CmdLine.h"

#include <charconv>

#include "util/untUtils.h"

namespace corvane {

namespace {
// The option's value: everything after its two characters, at most 100 of them.
std::string OptionValue(const std::string& arg) {
    return arg.substr(2, 100);
}
} // namespace

int DecimalOrDefault(const std::string& text, int def) {
    int value = def;
    ParseDecimal(text, value);
    return value;
}

std::vector<TCmdTarget> ParseCommandLine(const std::vector<std::string>& args) {
    std::vector<TCmdTarget> targets;
    for (const std::string& arg : args) {
        if (arg.rfind("-I", 0) == 0) {
            const std::string rest = OptionValue(arg);
            const int port = rest.empty() ? 1070 : DecimalOrDefault(rest, 0);
            if (port != 0)
                targets.push_back({"127.0.0.1", port});
        } else if (arg.rfind("-S", 0) == 0) {
            const int port = DecimalOrDefault(OptionValue(arg), 0);
            if (port > 0)
                targets.push_back({"", 0, port});
        } else if (arg.rfind("-A", 0) == 0) {
            const std::string rest = OptionValue(arg);
            const size_t colon = rest.find(':');
            if (colon == std::string::npos)
                targets.push_back({rest, 1070});
            else
                targets.push_back(
                    {rest.substr(0, colon), DecimalOrDefault(rest.substr(colon + 1, 100), 1070)});
        }
    }
    return targets;
}

} // namespace corvane
