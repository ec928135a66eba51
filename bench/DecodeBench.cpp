// Lines per second through the decoder alone.
#include <benchmark/benchmark.h>

#include <vector>

#include "app/PacketLine.h"
#include "support/Packets.h"

namespace {

using namespace corvane;
using namespace corvane::testing;

std::vector<std::string> MakeLines(int kind) {
    std::vector<std::string> lines;
    for (uint32_t i = 0; i < 1024; ++i) {
        switch (kind) {
        case 0:
            lines.push_back(SensorLine(i, ",12,North Gate,Tank " + std::to_string(i), 'c'));
            break;
        case 1:
            lines.push_back(SensorLine(i));
            break;
        default: {
            std::string bad = SensorLine(i, ",3,South");
            bad[10] = bad[10] == 'A' ? 'B' : 'A'; // check word no longer matches
            lines.push_back(bad);
        }
        }
    }
    return lines;
}

void Decode(benchmark::State& state) {
    const auto lines = MakeLines(static_cast<int>(state.range(0)));
    TPacketDecoder decoder;
    TDecodedPacket out;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(decoder.Decode(lines[i++ & 1023], nullptr, out));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(state.range(0) == 0   ? "valid with tail"
                   : state.range(0) == 1 ? "valid bare"
                                         : "rejected");
}
BENCHMARK(Decode)->Arg(0)->Arg(1)->Arg(2);

} // namespace
