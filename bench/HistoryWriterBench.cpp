// The history writer alone, on prepared records of the typical network: how many reads a second
// it stores in batches, and how many transactions and bytes written a steady 5000 reads a second
// make.
//
//   taskset -c 1 bench_history --benchmark_filter=HistoryWriter
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <thread>
#include <vector>

#include "HistoryRig.h"
#include "history/HistoryWriter.h"
#include "history/Sqlite.h"
#include "support/TempDir.h"

namespace {

using namespace corvane;
using namespace corvane::bench;

constexpr int64_t kStartMs = 1'796'000'000'000; // December 2026

// What the writer's connection is told before each batch, as an experiment on the benchmark's
// own file: nothing (0); the per-sensor index dropped, to show its share (1); a 64 MB page cache
// and a checkpoint only every 400 MB of log (2); the writer taking its own checkpoints every
// 8 MB of log, as SQLite does by itself, instead of leaving them to the checkpointer (3).
void Tune(TSqlite& db, int64_t variant) {
    if (variant == 1) {
        db.Exec("DROP INDEX IF EXISTS reads_by_sensor");
    } else if (variant == 2) {
        db.Exec("PRAGMA cache_size=-65536");
        db.Exec("PRAGMA wal_autocheckpoint=100000");
    } else if (variant == 3) {
        db.Exec("PRAGMA wal_autocheckpoint=2000");
    }
}

// Bytes written (write calls) by this process so far.
double BytesWritten() {
    std::ifstream io("/proc/self/io");
    std::string key;
    double value = 0;
    while (io >> key >> value)
        if (key == "wchar:")
            return value;
    return 0;
}

// Pushes of 20000 reads and a Flush, into a file that already holds a ring's worth.
void HistoryWriterBatches(benchmark::State& state) {
    TTempDir dir;
    auto writer = OpenWriter(dir.Path() + "/corvane_history.db", kStartMs);
    int64_t batches = 0;
    const int64_t variant = state.range(0);
    writer->BeforeBatch = [&batches, variant](TSqlite& db) {
        ++batches;
        Tune(db, variant);
    };
    if (!writer->Start()) {
        state.SkipWithError("the history database does not record");
        return;
    }
    PushReads(*writer, Templates(), 0, MaxReads, 100);
    const int64_t batchesBefore = batches;
    const double writtenBefore = BytesWritten();
    constexpr int64_t kPerIteration = 20000;
    int64_t n = MaxReads;
    for (auto _ : state) {
        PushReads(*writer, Templates(), n, kPerIteration, 100);
        n += kPerIteration;
    }
    const auto reads = static_cast<double>(n - MaxReads);
    state.SetItemsProcessed(static_cast<int64_t>(reads));
    state.counters["reads_per_batch"] = reads / static_cast<double>(batches - batchesBefore);
    state.counters["written_B_per_read"] = (BytesWritten() - writtenBefore) / reads;
    state.counters["not_recorded"] = static_cast<double>(writer->NotRecorded());
    state.counters["checkpoints"] = static_cast<double>(writer->Checkpoints());
    writer->Stop();
}
BENCHMARK(HistoryWriterBatches)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// Two seconds of a steady 5000 reads a second, pushed in slices of the argument's milliseconds
// as the intake's socket reads would hand them over: the transactions they take, the bytes the
// process writes, and the processor time of the whole process, nearly all the writer's.
void HistoryWriterPaced(benchmark::State& state) {
    TTempDir dir;
    auto writer = OpenWriter(dir.Path() + "/corvane_history.db", kStartMs);
    int64_t batches = 0;
    writer->BeforeBatch = [&batches](TSqlite&) { ++batches; };
    if (!writer->Start()) {
        state.SkipWithError("the history database does not record");
        return;
    }
    PushReads(*writer, Templates(), 0, MaxReads, 100);
    const int64_t batchesBefore = batches;
    const double writtenBefore = BytesWritten();
    const auto slice = std::chrono::milliseconds(state.range(0));
    const int64_t perSlice = 5000 * state.range(0) / 1000;
    const int64_t slices = 2000 / state.range(0);
    int64_t n = MaxReads;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int64_t k = 0; k < slices; ++k) {
            PushReads(*writer, Templates(), n, perSlice, 100, false);
            n += perSlice;
            std::this_thread::sleep_until(start + (k + 1) * slice);
        }
    }
    writer->Flush();
    const double seconds = static_cast<double>(state.iterations()) * 2.0;
    const auto taken = static_cast<double>(batches - batchesBefore);
    state.counters["batches_per_s"] = taken / seconds;
    state.counters["reads_per_batch"] = static_cast<double>(n - MaxReads) / taken;
    state.counters["written_MB_per_s"] = (BytesWritten() - writtenBefore) / 1e6 / seconds;
    state.counters["not_recorded"] = static_cast<double>(writer->NotRecorded());
    writer->Stop();
}
BENCHMARK(HistoryWriterPaced)
    ->Arg(1)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

} // namespace
