// The simulator's command line: the input, cut at NUL bytes, is the list of arguments. Besides
// the sanitizers, it checks that a command line is either refused with a message or gives
// options inside the ranges the usage text names.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "SimOptions.h"

using namespace corvane::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args;
    if (size) {
        args.emplace_back();
        for (size_t i = 0; i < size; ++i) {
            if (data[i] == 0)
                args.emplace_back();
            else
                args.back() += static_cast<char>(data[i]);
        }
    }
    ParseResult r = ParseArgs(args);
    if (!r.Ok) {
        if (r.Error.empty())
            abort();
        return 0;
    }
    const SimOptions& o = r.Options;
    if (!r.Error.empty() || o.Port < 0 || o.Port > 65535 || o.Sensors < 1 || o.Sensors > 100000 ||
        o.Repeaters < 0 || o.Repeaters > 32 || o.Entries < 0 || o.Entries > 250 ||
        !(o.FaultRate >= 0 && o.FaultRate <= 1) || !(o.Speed >= 1e-3 && o.Speed <= 1e6) ||
        !std::isfinite(o.Rate) ||
        !(o.PeriodMin > 0 && o.PeriodMin <= o.PeriodMax && std::isfinite(o.PeriodMax)) ||
        o.SilenceSensors < 0 || o.SilenceSensors > 100000)
        abort();
    for (Fault f : o.Faults)
        if (std::string(FaultName(f)) == "?")
            abort();
    return 0;
}
