#include "SimOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

namespace corvane::sim {

namespace {

const std::map<std::string, Fault> FaultNames = {
    {"badcrc", Fault::BadCrc},         {"lowercase", Fault::Lowercase},
    {"short", Fault::Short},           {"garbage", Fault::Garbage},
    {"split", Fault::Split},           {"longline", Fault::LongLine},
    {"disconnect", Fault::Disconnect}, {"silent", Fault::Silent},
    {"badentry", Fault::BadEntry},
};

bool ParseInt(const std::string& text, int64_t lo, int64_t hi, int64_t& out) {
    int64_t v = 0;
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || p != end || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

bool ParseReal(const std::string& text, double lo, double hi, double& out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v) || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

bool ParseFaults(const std::string& list, std::vector<Fault>& out, std::string& error) {
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string name =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        auto it = FaultNames.find(name);
        if (it == FaultNames.end()) {
            error = "unknown fault '" + name +
                    "' (known: badcrc, lowercase, short, garbage, badentry, split, longline, "
                    "disconnect, silent)";
            return false;
        }
        if (std::find(out.begin(), out.end(), it->second) == out.end())
            out.push_back(it->second);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return true;
}

// Faults that change what a line says; they need lines the simulator builds itself.
bool IsContentFault(Fault f) {
    return f == Fault::BadCrc || f == Fault::Lowercase || f == Fault::Short ||
           f == Fault::Garbage || f == Fault::LongLine || f == Fault::BadEntry;
}

std::string CheckCombination(const SimOptions& o) {
    if (!o.ReplayFile.empty() && !o.ScriptFile.empty())
        return "--replay and --script exclude each other";
    if (!o.ReplayFile.empty() || !o.ScriptFile.empty()) {
        for (Fault f : o.Faults) {
            if (IsContentFault(f))
                return std::string("fault '") + FaultName(f) +
                       "' applies to the simulated network only, not to --replay or --script";
        }
    }
    return {};
}

// "A-B" with A <= B, or "A" alone when single is allowed (then B stays as it was).
bool ParseRange(const std::string& text, bool single, double& a, double& b) {
    const size_t dash = text.find('-');
    double lo = 0, hi = 0;
    if (dash == std::string::npos) {
        if (!single || !ParseReal(text, 0, 1e9, lo))
            return false;
        a = lo;
        return true;
    }
    if (!ParseReal(text.substr(0, dash), 0, 1e9, lo) ||
        !ParseReal(text.substr(dash + 1), 0, 1e9, hi) || hi < lo)
        return false;
    a = lo;
    b = hi;
    return true;
}

} // namespace

bool SimOptions::HasFault(Fault f) const {
    return std::find(Faults.begin(), Faults.end(), f) != Faults.end();
}

const char* FaultName(Fault f) {
    for (const auto& [name, fault] : FaultNames) {
        if (fault == f)
            return name.c_str();
    }
    return "?";
}

ParseResult ParseArgs(const std::vector<std::string>& args) {
    ParseResult r;
    SimOptions& o = r.Options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                r.Error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto integer = [&](int64_t lo, int64_t hi, auto& out) {
            std::string text;
            int64_t v = 0;
            if (!value(text))
                return false;
            if (!ParseInt(text, lo, hi, v)) {
                r.Error = a + ": '" + text + "' is not a whole number from " + std::to_string(lo) +
                          " to " + std::to_string(hi);
                return false;
            }
            out = static_cast<std::remove_reference_t<decltype(out)>>(v);
            return true;
        };
        auto real = [&](double lo, double hi, double& out) {
            std::string text;
            if (!value(text))
                return false;
            if (!ParseReal(text, lo, hi, out)) {
                r.Error = a + ": '" + text + "' is not a number from " + std::to_string(lo) +
                          " to " + std::to_string(hi);
                return false;
            }
            return true;
        };
        bool ok = true;
        std::string text;
        if (a == "--help" || a == "-h")
            o.Help = true;
        else if (a == "--port")
            ok = integer(0, 65535, o.Port);
        else if (a == "--pty")
            o.Pty = true;
        else if (a == "--sensors")
            ok = integer(1, 100000, o.Sensors);
        else if (a == "--repeaters")
            ok = integer(0, 32, o.Repeaters);
        else if (a == "--entries")
            ok = integer(0, 250, o.Entries);
        else if (a == "--rate")
            ok = real(0, 1e7, o.Rate);
        else if (a == "--seed")
            ok = integer(0, INT64_MAX, o.Seed);
        else if (a == "--faults")
            ok = value(text) && ParseFaults(text, o.Faults, r.Error);
        else if (a == "--fault-rate")
            ok = real(0, 1, o.FaultRate);
        else if (a == "--replay")
            ok = value(o.ReplayFile);
        else if (a == "--script")
            ok = value(o.ScriptFile);
        else if (a == "--speed")
            ok = real(1e-3, 1e6, o.Speed);
        else if (a == "--count")
            ok = integer(0, INT64_MAX, o.Count);
        else if (a == "--crlf")
            o.CrLf = true;
        else if (a == "--once")
            o.Once = true;
        else if (a == "--periods") {
            ok =
                value(text) && ParseRange(text, false, o.PeriodMin, o.PeriodMax) && o.PeriodMin > 0;
            if (!ok && r.Error.empty())
                r.Error = "--periods: '" + text + "' is not MIN-MAX seconds, 0 < MIN <= MAX";
        } else if (a == "--silence") {
            ok = value(text) && ParseRange(text, true, o.SilenceAt, o.SilenceUntil) &&
                 o.SilenceUntil != o.SilenceAt;
            if (!ok && r.Error.empty())
                r.Error = "--silence: '" + text + "' is not AT or AT-UNTIL seconds, AT < UNTIL";
        } else if (a == "--silence-sensors")
            ok = integer(0, 100000, o.SilenceSensors);
        else {
            r.Error = "unknown argument '" + a + "' (see --help)";
            ok = false;
        }
        if (!ok)
            return r;
    }
    r.Error = CheckCombination(o);
    r.Ok = r.Error.empty();
    return r;
}

std::string UsageText() {
    return R"(Usage: corvane-sim [options]
Simulates a receiving station: serves receiver lines to the monitor over TCP
(127.0.0.1) or a pseudo-terminal, and prints a summary on stderr when it ends.

  --port N          TCP port to listen on (default 1070; 0 picks a free one)
  --pty             serve on a pseudo-terminal instead; its path is printed first
  --sensors N       sensors in the simulated network (default 24)
  --repeaters N     repeaters, 0 to 32 (default 4)
  --entries N       entry points, 0 to 250 (default 3; 0 sends lines without a tail)
  --rate R          lines per second (0: as fast as the client reads;
                    default: each sensor's own reporting period)
  --seed N          seed of the random choices (default 1)
  --faults LIST     comma list of: badcrc, lowercase, short, garbage, badentry,
                    split, longline, disconnect, silent (badentry: a tail whose
                    entry field is no number)
  --fault-rate P    share of lines that carry a fault, 0 to 1 (default 0.1)
  --replay FILE     replay a packet log written by the monitor, paced by its time column
  --speed X         play the time line X times faster (default 1)
  --script FILE     send the lines of FILE; a line "sleep MS" pauses, "raw TEXT" sends
                    TEXT without a line end, "close" drops the connection; then waits
                    for the client to close
  --count N         stop after N lines: over TCP the connection is then closed, on the
                    pty the simulator waits for the reader to close the device
  --crlf            end lines in CR LF instead of CR
  --once            exit when the first connection ends
  --periods MIN-MAX sensors report every MIN to MAX seconds, each at its own
                    period (default 2-20)
  --silence AT[-UNTIL]
                    from AT seconds after the start, the first sensors (see
                    --silence-sensors) send nothing and repeater 'a' relays
                    nothing, so that the monitor shows them late and then
                    silent; from UNTIL seconds on they report again
                    (example: --silence 60-600)
  --silence-sensors N  how many sensors --silence stops (default 3)
  --help            show this text

On the pseudo-terminal, "disconnect" sends half a line and pauses, as a receiver
that restarts does. Exit status: 0 when done or stopped by a signal, 1 on a
failure to serve, 2 on bad arguments.
)";
}

} // namespace corvane::sim
