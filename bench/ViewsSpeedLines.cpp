#include "ViewsSpeedLines.h"

#include <QtGlobal>

#include "SimNetwork.h"

namespace corvane::bench {

namespace {

// n lines of the simulated network params describes, each read made into its lines by add.
template <typename TAdd>
std::vector<std::string> LinesOf(const sim::NetworkParams& params, size_t n, TAdd add) {
    sim::SimNetwork net(params);
    std::vector<std::string> lines;
    lines.reserve(n);
    while (lines.size() < n)
        add(net, net.Next(), lines);
    return lines;
}

// One sensor heard over routes through 3 repeaters and as many entry points as routes / 3 (at
// least one): each packet comes once over each route, as a dense mesh delivers it.
std::vector<std::string> ManyRouteLines(size_t n, int routes) {
    sim::NetworkParams params;
    params.Sensors = 1;
    params.Repeaters = 0;
    params.Entries = 0;
    return LinesOf(params, n, [routes](sim::SimNetwork&, const sim::SimRead& read, auto& lines) {
        for (int r = 0; r < routes; ++r) {
            sim::LineParts parts;
            parts.Repeater = "abc"[r % 3];
            parts.HasTail = true;
            parts.EntryNumber = 1 + r / 3;
            parts.EntryName = "Entry " + std::to_string(parts.EntryNumber);
            lines.push_back(sim::BuildLine(read.Data, parts) + "\r");
        }
    });
}

} // namespace

std::vector<std::string> MakeLines(size_t n) {
    if (const int routes = qEnvironmentVariableIntValue("VIEWS_SPEED_ROUTES"); routes > 0)
        return ManyRouteLines(n, routes);
    sim::NetworkParams params;
    params.Sensors = qEnvironmentVariableIsSet("VIEWS_SPEED_ONE_SENSOR") ? 1 : 2000;
    if (const int sensors = qEnvironmentVariableIntValue("VIEWS_SPEED_SENSORS"); sensors > 0)
        params.Sensors = sensors;
    params.Repeaters = 64; // the alphabet has 32 letters: the simulator uses them all
    params.Entries = 32;
    return LinesOf(params, n, [](sim::SimNetwork& net, const sim::SimRead& read, auto& lines) {
        lines.push_back(sim::BuildLine(read.Data, net.PartsOf(read)) + "\r");
    });
}

} // namespace corvane::bench
