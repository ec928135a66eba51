// From receiver line to refreshed statistics, with a listener that does nothing: the core's
// share of the work per packet, on a full ring; the "WithTexts" runs also make every text the
// list and the tree would show.
#include <benchmark/benchmark.h>

#include <numeric>
#include <string_view>
#include <vector>

#include "IngestRig.h"
#include "app/Monitor.h"
#include "store/ListSort.h"
#include "support/TextMakingListener.h"

namespace {

using namespace corvane;
using namespace corvane::testing;

using bench::FillRing;
using bench::MakeLines;
using Network = bench::TNetwork;

// Fills the ring with packets spread over the last minutes, then measures further packets.
template <typename TListener = TNullListener>
void Ingest(benchmark::State& state, Network n, double secondsPerLine) {
    TManualClock clock;
    TListener views;
    auto monitor = std::make_unique<TMonitor>(clock, views);
    const auto lines = MakeLines(n, 8192);
    FillRing(*monitor, clock, lines, secondsPerLine);
    size_t i = 0;
    for (auto _ : state) {
        monitor->ParsePacketLine(nullptr, lines[i++ & 8191]);
        clock.AdvanceSeconds(secondsPerLine);
    }
    state.SetItemsProcessed(state.iterations());
}

// 2000 sensors through 32 repeaters (the alphabet's letters) and 32 entry points, ring full.
void IngestTypical(benchmark::State& state) {
    Ingest(state, {2000, 32, 32}, 0.01);
}
BENCHMARK(IngestTypical)->Unit(benchmark::kMicrosecond);

void IngestTypicalWithTexts(benchmark::State& state) {
    Ingest<TTextMakingListener>(state, {2000, 32, 32}, 0.01);
}
BENCHMARK(IngestTypicalWithTexts)->Unit(benchmark::kMicrosecond);

// One entry point and one repeater carry all 80000 reads, all within the last five minutes.
void IngestOneRoute(benchmark::State& state) {
    Ingest(state, {2000, 1, 1}, 0.002);
}
BENCHMARK(IngestOneRoute)->Unit(benchmark::kMicrosecond);

// One sensor owns the whole ring: a receiver flooding with a single sensor through one entry
// point, a thousand lines a second, so that nearly every read is a duplicate of the one before.
void IngestOneSensor(benchmark::State& state) {
    Ingest(state, {1, 1, 1}, 0.001);
}
BENCHMARK(IngestOneSensor)->Unit(benchmark::kMicrosecond);

// The sensor list's re-sort by Run Avg after one frame at 5000 lines/s (83 packets) over 2000
// sensors: the whole list stably sorted (0), or only the rows that changed put back in place (1).
void ResortAfterFrame(benchmark::State& state) {
    TManualClock clock;
    TNullListener views;
    auto monitor = std::make_unique<TMonitor>(clock, views);
    const auto lines = MakeLines({2000, 32, 32}, 8192);
    FillRing(*monitor, clock, lines, 0.01);
    const TStore& store = monitor->Store();
    TSortState sort;
    sort.ColumnClick(4);
    std::vector<uint16_t> order(store.SensorCount), sorted, changed;
    std::iota(order.begin(), order.end(), uint16_t{0});
    StableSortRows(store, sort, order);
    size_t i = MaxReads;
    for (auto _ : state) {
        state.PauseTiming();
        changed.clear();
        for (int k = 0; k < 83; ++k) {
            monitor->ParsePacketLine(nullptr, lines[i++ & 8191]);
            changed.push_back(store.Reads[store.ReadHead].Sensor);
            clock.AdvanceSeconds(0.0002);
        }
        state.ResumeTiming();
        if (state.range(0) == 0) {
            sorted = order;
            StableSortRows(store, sort, sorted);
        } else {
            SortAfterChanges(store, sort, order, changed, sorted);
        }
        order.swap(sorted);
    }
}
BENCHMARK(ResortAfterFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// One expiry and ageing tick over 2000 sensors with nothing to expire.
template <typename TListener = TNullListener>
void ExpiryTick(benchmark::State& state) {
    TManualClock clock;
    TListener views;
    auto monitor = std::make_unique<TMonitor>(clock, views);
    const auto lines = MakeLines({2000, 32, 32}, 8192);
    FillRing(*monitor, clock, lines, 0.01);
    for (auto _ : state) {
        clock.AdvanceSeconds(1);
        monitor->ExpireTick();
    }
    state.counters["store_bytes"] = static_cast<double>(sizeof(TStore));
}
BENCHMARK(ExpiryTick<>)->Name("ExpiryTick")->Unit(benchmark::kMicrosecond);
BENCHMARK(ExpiryTick<TTextMakingListener>)
    ->Name("ExpiryTickWithTexts")
    ->Unit(benchmark::kMicrosecond);

// One expiry tick with alerts judged over 2000 sensors, 32 repeaters and 32 entry points on a
// full ring. A quarter of the sensors and the repeater 'a' stop after the ring is full; the
// others read once more, and every record goes silent as the ticks run on.
void ExpiryTickWithAlerts(benchmark::State& state) {
    TManualClock clock;
    TNullListener views;
    auto monitor = std::make_unique<TMonitor>(clock, views);
    monitor->Store().Alerts.Settings.AlertMinSec = 0;
    const auto lines = MakeLines({2000, 32, 32}, 8192);
    FillRing(*monitor, clock, lines, 0.01);
    clock.AdvanceSeconds(1000);
    for (int i = 0; i < 8192; ++i)
        if (i % 2000 >= 500 && lines[i].front() != 'a')
            monitor->ParsePacketLine(nullptr, lines[i]);
    monitor->ExpireTick(); // the states change once, here
    for (auto _ : state) {
        clock.AdvanceSeconds(1);
        monitor->ExpireTick();
    }
    state.counters["silent"] = monitor->Store().Alerts.SilentCount();
}
BENCHMARK(ExpiryTickWithAlerts)->Unit(benchmark::kMicrosecond);

// The alert core's tick alone (TAlerts::Judge) over 2000 sensors, 32 repeaters and 32 entry points
// on a full ring of the network above. Arg 0: all reporting (every record judged against its
// usual gap); arg 1: a quarter of the sensors and the repeater 'a' stopped, the rest read once
// more, 1000 s later: most records late or silent, and the causes of all of them given again on
// each tick. With per-device settings where the build has them: 500 sensors and 8 repeaters with an
// expected gap or muted.
void AlertCoreTick(benchmark::State& state) {
    TManualClock clock;
    TNullListener views;
    auto monitor = std::make_unique<TMonitor>(clock, views);
    TAlerts& alerts = monitor->Store().Alerts;
    alerts.Settings.AlertMinSec = 0;
    const auto lines = MakeLines({2000, 32, 32}, 8192);
    FillRing(*monitor, clock, lines, 0.01);
#if __has_include("store/Expectations.h")
    TExpectations expect;
    for (uint16_t row = 0; row < 2000; row += 4)
        expect.SetSensor(monitor->Store().Sensors[row].SerNo, {row % 8 == 0 ? 600 : 0, true});
    for (char id : std::string_view("bcdefghi"))
        expect.SetRepeater(id, {id % 2 == 0 ? 0 : 120, id % 2 == 0});
    alerts.SetExpectations(expect);
#endif
    if (state.range(0) == 1) {
        clock.AdvanceSeconds(1000);
        for (int i = 0; i < 8192; ++i)
            if (i % 2000 >= 500 && lines[i].front() != 'a')
                monitor->ParsePacketLine(nullptr, lines[i]);
        alerts.Judge(clock.Now());
    }
    // The same instant each time: every tick judges the records as they stand, no state moves.
    for (auto _ : state)
        alerts.Judge(clock.Now());
    state.counters["late"] = alerts.LateCount();
    state.counters["silent"] = alerts.SilentCount();
}
BENCHMARK(AlertCoreTick)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
