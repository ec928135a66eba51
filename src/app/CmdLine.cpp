#include "app/CmdLine.h"

#include <charconv>

#include "app/Options.h"
#include "util/untUtils.h"

namespace corvane {

namespace {

// The option's value: everything after its two characters, at most 100 of them.
std::string OptionValue(const std::string& arg) {
    return arg.substr(2, 100);
}

bool IsPort(const std::string& text) {
    int port = 0;
    return ParseDecimal(text, port) && port >= 1 && port <= 65535;
}

std::string PortProblem(const std::string& arg) {
    return arg + ": the port is no number from 1 to 65535";
}

// An address given after a blank is the next argument; the message shows it joined.
std::string AddressProblem(const std::string& arg, const std::string* next) {
    const bool looksLikeAddress = next != nullptr && !next->empty() && next->front() != '-';
    return arg + ": no address (write it joined: -A" +
           (looksLikeAddress ? *next : std::string("10.0.0.7:1070")) + ")";
}

std::string SerialProblem(const std::string& arg) {
    const std::string rest = OptionValue(arg);
    int port = 0;
    if (ParseDecimal(rest, port) && port >= kMinSerialPort && port <= kMaxSerialPort)
        return "";
    return arg + ": no serial port " + (rest.empty() ? std::string("number") : rest) + " (" +
           std::to_string(kMinSerialPort) + " to " + std::to_string(kMaxSerialPort) + ")";
}

std::string OptionProblem(const TOption& option, const std::string& arg, const std::string* next) {
    const std::string rest = OptionValue(arg);
    switch (option.Kind) {
    case TOptionKind::Local:
        return rest.empty() || IsPort(rest) ? "" : PortProblem(arg);
    case TOptionKind::Address: {
        const size_t colon = rest.find(':');
        if (colon == 0 || rest.empty())
            return AddressProblem(arg, next);
        return colon == std::string::npos || IsPort(rest.substr(colon + 1)) ? "" : PortProblem(arg);
    }
    case TOptionKind::Serial:
        return SerialProblem(arg);
    case TOptionKind::Mqtt: {
        const size_t colon = rest.find(':');
        return colon == std::string::npos || IsPort(rest.substr(colon + 1)) ? "" : PortProblem(arg);
    }
    default:
        return "";
    }
}

TCmdTarget AddressTarget(const std::string& rest) {
    const size_t colon = rest.find(':');
    if (colon == std::string::npos)
        return {rest, kDefaultPort};
    return {rest.substr(0, colon), DecimalOrDefault(rest.substr(colon + 1, 100), kDefaultPort)};
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
        const TOption* option = FindOption(arg);
        if (option == nullptr)
            continue;
        const std::string rest = OptionValue(arg);
        if (option->Kind == TOptionKind::Local) {
            const int port = rest.empty() ? kDefaultPort : DecimalOrDefault(rest, 0);
            if (port != 0)
                targets.push_back({"127.0.0.1", port});
        } else if (option->Kind == TOptionKind::Serial) {
            const int port = DecimalOrDefault(rest, 0);
            if (port > 0)
                targets.push_back({"", 0, port});
        } else if (option->Kind == TOptionKind::Address) {
            targets.push_back(AddressTarget(rest));
        } else if (option->Kind == TOptionKind::Mqtt) {
            TCmdTarget broker = rest.empty() ? TCmdTarget{} : AddressTarget(rest);
            if (rest.find(':') == std::string::npos)
                broker.Port = 0;
            broker.Mqtt = true;
            targets.push_back(broker);
        }
    }
    return targets;
}

std::vector<std::string> CommandLineProblems(const std::vector<std::string>& args) {
    std::vector<std::string> problems;
    for (size_t i = 0; i < args.size(); ++i) {
        const TOption* option = FindOption(args[i]);
        const std::string* next = i + 1 < args.size() ? &args[i + 1] : nullptr;
        if (option == nullptr)
            continue;
        if (std::string problem = OptionProblem(*option, args[i], next); !problem.empty())
            problems.push_back(std::move(problem));
    }
    return problems;
}

} // namespace corvane
