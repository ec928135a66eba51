// The history window's week of one sensor from a database of a million reads: loading the
// span through the index (a new read-only connection each time, as opening the window makes),
// and loading it and binning its timeline.
#include <benchmark/benchmark.h>

#include "WeekOfReads.h"
#include "output/StoredHistory.h"
#include "output/Timeline.h"

namespace {

using namespace corvane;
using corvane::bench::TWeekOfReads;

TStoredQuery WeekQuery() {
    TStoredQuery q;
    q.SerNo = corvane::bench::kWeekSerNo;
    q.Span = THistSpan::LastWeek;
    q.Mapping = TWeekOfReads::Instance().Mapping();
    return q;
}

void Load(THistory& h) {
    std::string error;
    if (!LoadStoredHistory(TWeekOfReads::Instance().Path, WeekQuery(), h, error))
        throw std::runtime_error(error);
}

void BM_StoredWeekLoad(benchmark::State& state) {
    THistory h;
    Load(h);
    for (auto _ : state) {
        Load(h);
        benchmark::DoNotOptimize(h.Rows.data());
    }
    state.counters["reads"] = static_cast<double>(h.Rows.size());
}
BENCHMARK(BM_StoredWeekLoad)->Unit(benchmark::kMillisecond);

void BM_StoredWeekLoadAndBin(benchmark::State& state) {
    THistory h;
    TTimeline t;
    Load(h);
    for (auto _ : state) {
        Load(h);
        BinTimeline(h, static_cast<int>(state.range(0)), t);
        benchmark::DoNotOptimize(t.Columns.data());
    }
    state.counters["reads"] = static_cast<double>(t.Counted + t.Dups);
    state.counters["quiet"] = static_cast<double>(t.NotListening.size());
}
BENCHMARK(BM_StoredWeekLoadAndBin)->Arg(384)->Arg(1280)->Unit(benchmark::kMillisecond);

} // namespace
