// Receptions through the connection base into the monitor: the framing, the decoder and the
// link counts of every line, one line in ten rejected, on a full ring.
#include <benchmark/benchmark.h>

#include <vector>

#include "app/Monitor.h"
#include "conn/Conn.h"
#include "support/Packets.h"
#include "util/untConst.h"

namespace {

using namespace corvane;
using namespace corvane::testing;

class TBenchConn : public TConn {
public:
    std::string GetDescription() const override { return "Bench"; }
    bool Open() override { return true; }
    void Close() override {}
};

// Receptions of four lines each, as a receiver at a steady pace delivers them.
std::vector<std::string> MakeReceptions(int count) {
    std::vector<std::string> receptions;
    int line = 0;
    for (int r = 0; r < count; ++r) {
        std::string text;
        for (int k = 0; k < 4; ++k, ++line) {
            std::string l = SensorLine(static_cast<uint32_t>(line % 2000 + 1),
                                       "," + std::to_string(line % 32) + ",Gate",
                                       RepeaterChars[(line * 7) % 32]);
            if (line % 10 == 9)
                l[24] = l[24] == '0' ? '1' : '0'; // a check word that does not match
            text += l + "\r";
        }
        receptions.push_back(std::move(text));
    }
    return receptions;
}

void IngestThroughConnection(benchmark::State& state) {
    TManualClock clock;
    TSystemClock linkClock; // as the window gives its connections
    TNullListener views;
    auto monitor = std::make_unique<TMonitor>(clock, views);
    TBenchConn conn;
    conn.OnLine = [&monitor](TConn& c, std::string_view line) {
        return monitor->ParsePacketLine(&c, line);
    };
    conn.Clock = &linkClock;
    conn.SetState(TConnState::Open);
    const auto receptions = MakeReceptions(4096);
    for (int i = 0; i < MaxReads / 4 + 4096; ++i) {
        conn.Receive(receptions[i & 4095]);
        clock.AdvanceSeconds(0.04);
    }
    size_t i = 0;
    for (auto _ : state) {
        conn.Receive(receptions[i++ & 4095]);
        clock.AdvanceSeconds(0.04);
    }
    state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(IngestThroughConnection)->Unit(benchmark::kMicrosecond);

} // namespace
