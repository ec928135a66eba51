// The missing list and the service's start line over a history database of many known sensors,
// half of them gone, each last heard through one of 32 entry points and 32 repeaters.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "history/KnownRecords.h"
#include "support/KnownDatabase.h"
#include "support/TempDir.h"

namespace {

using namespace corvane;

constexpr int64_t kNow = 1780000000000;
constexpr int32_t kMaxAge = 10800;

struct TKnownFile {
    TTempDir Dir;
    testing::TKnownDatabase Known{Dir.Path() + "/corvane_history.db"};

    explicit TKnownFile(int sensors) {
        Known.Db().Exec("BEGIN");
        for (int e = 0; e < 32; ++e)
            Known.Entry(e, "Gate " + std::to_string(e), kNow - 60'000, 30);
        for (int r = 0; r < 32; ++r)
            Known.Repeater(static_cast<char>('A' + r), kNow - (r % 2) * 86'400'000LL, 30);
        // Every other sensor last heard a day ago, the rest a minute ago.
        for (int i = 0; i < sensors; ++i)
            Known.Sensor(0x100000 + i, "Sensor " + std::to_string(i),
                         kNow - (i % 2 == 0 ? 86'400'000LL : 60'000) - i, 30, i % 32,
                         static_cast<char>('A' + i % 32));
        Known.Db().Exec("COMMIT");
    }
};

void GoneRecords(benchmark::State& state) {
    TKnownFile file(static_cast<int>(state.range(0)));
    std::vector<TKnownRecord> records;
    std::string error;
    for (auto _ : state) {
        LoadGoneRecords(file.Known.Db(), kNow, kMaxAge, records, error);
        benchmark::DoNotOptimize(records.data());
    }
    state.counters["gone"] = static_cast<double>(records.size());
}
BENCHMARK(GoneRecords)->Arg(2000)->Arg(50000)->Unit(benchmark::kMillisecond);

void MissingLine(benchmark::State& state) {
    TKnownFile file(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(MissingSensorsLine(file.Known.Db(), kNow, kMaxAge));
}
BENCHMARK(MissingLine)->Arg(2000)->Arg(50000)->Unit(benchmark::kMillisecond);

} // namespace
