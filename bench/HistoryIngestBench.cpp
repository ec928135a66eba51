// The history database against the intake: the core's ingest with every read recorded (compare
// with IngestTypicalWithTexts of the same run), and a run's start that takes the newest reads
// back from a full file.
//
//   taskset -c 1 bench_history --benchmark_filter='IngestTypicalWithTexts|HistoryRestore'
//
// The writer is slower than the intake, so each benchmark's Time is the writer's pace; its CPU is
// the intake's own thread (what recording holds the intake up) or, for process_time, all threads
// (what recording costs in all).
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "HistoryRig.h"
#include "IngestRig.h"
#include "app/HistoryRecording.h"
#include "app/Monitor.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryRestore.h"
#include "history/HistoryWriter.h"
#include "support/TempDir.h"
#include "support/TextMakingListener.h"

namespace {

using namespace corvane;
using namespace corvane::bench;

// FillRing, with a Flush after each batch's worth of reads.
void FillRingRecording(TMonitor& monitor, TManualClock& clock,
                       const std::vector<std::string>& lines, THistoryWriter& writer) {
    for (int i = 0; i < MaxReads; ++i) {
        monitor.ParsePacketLine(nullptr, lines[static_cast<size_t>(i & 8191)]);
        clock.AdvanceSeconds(0.01);
        if ((i + 1) % THistoryWriter::BatchMax == 0)
            writer.Flush();
    }
    writer.Flush();
}

// IngestTypicalWithTexts with a writer and a recorder attached, the file in a folder of its
// own. The ring is filled with recording on, so that the file's index is as deep as it is after
// a while; one Flush per batch's worth of reads keeps the queue from running over, so that every
// read is recorded and the writer's work is part of the figure.
void IngestTypicalWithTextsRecording(benchmark::State& state) {
    TTempDir dir;
    TManualClock clock;
    testing::TTextMakingListener views;
    auto monitor = std::make_unique<TMonitor>(clock, views);
    auto writer = OpenWriter(dir.Path() + "/corvane_history.db", WallToUnixMs(clock.WallNow()));
    int64_t batches = 0;
    writer->BeforeBatch = [&batches](TSqlite&) { ++batches; };
    if (!writer->Start()) {
        state.SkipWithError("the history database does not record");
        return;
    }
    THistoryRecorder recorder(*writer, monitor->Store());
    monitor->AddReadObserver(&recorder);
    const auto lines = MakeLines({2000, 32, 32}, 8192);
    FillRingRecording(*monitor, clock, lines, *writer);
    const uint64_t recordedBefore = writer->Recorded();
    const int64_t batchesBefore = batches;
    size_t i = 0;
    for (auto _ : state) {
        monitor->ParsePacketLine(nullptr, lines[i++ & 8191]);
        clock.AdvanceSeconds(0.01);
        if (i % THistoryWriter::BatchMax == 0) {
            writer->SetWallNow(WallToUnixMs(clock.WallNow()));
            writer->Flush();
        }
    }
    writer->Flush();
    state.SetItemsProcessed(state.iterations());
    const auto recorded = static_cast<double>(writer->Recorded() - recordedBefore);
    state.counters["recorded"] = recorded;
    state.counters["not_recorded"] = static_cast<double>(writer->NotRecorded());
    state.counters["reads_per_batch"] = recorded / static_cast<double>(batches - batchesBefore);
    monitor->RemoveReadObserver(&recorder);
    writer->Stop();
}
// CPU: the intake's thread alone, what recording holds the intake up; Time includes the waits for
// the writer at each Flush.
BENCHMARK(IngestTypicalWithTextsRecording)->Unit(benchmark::kMicrosecond);
// CPU: every thread, the writer's with the intake's.
BENCHMARK(IngestTypicalWithTextsRecording)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

constexpr double kStartDays = 46000.0; // the restoring run's clock

// A full file for a run starting at kStartDays (see MakeFullHistory).
std::string MakeFull(const TTempDir& dir, int64_t oldReads) {
    const std::string path = dir.Path() + "/" + std::to_string(oldReads) + ".db";
    return MakeFullHistory(path, WallToUnixMs(kStartDays), oldReads) ? path : std::string();
}

// Each file is made once for the benchmarks that read it; empty when it could not be made.
const std::string& PrepareFull(int64_t oldReads) {
    static TTempDir dir;
    static std::map<int64_t, std::string> made;
    auto [at, isNew] = made.try_emplace(oldReads);
    if (isNew)
        at->second = MakeFull(dir, oldReads);
    return at->second;
}

// THistoryRecording::Start on the prepared file: opening and checking it, taking the newest
// reads back, registering them in a fresh monitor and starting the writer. The argument is the
// number of older reads in the file besides the 80000 young ones.
void HistoryRestore(benchmark::State& state) {
    const std::string& path = PrepareFull(state.range(0));
    if (path.empty()) {
        state.SkipWithError("cannot prepare the file");
        return;
    }
    int32_t restored = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TManualClock clock(kStartDays);
        TNullListener views;
        auto monitor = std::make_unique<TMonitor>(clock, views);
        auto history = std::make_unique<THistoryRecording>(*monitor, [](std::string_view) {});
        state.ResumeTiming();
        history->Start(path, THistorySettings{}, "bench");
        state.PauseTiming();
        restored = history->RestoredReads();
        history.reset();
        monitor.reset();
        state.ResumeTiming();
    }
    state.counters["restored"] = restored;
}
BENCHMARK(HistoryRestore)
    ->Arg(0)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

// The parts of the restore apart: the file opened and checked (argument 0), and the newest reads
// loaded from it (1), on the file with a million older reads; and the file opened with its
// quick check at start whatever its size, as before large files were checked after the start (2).
void HistoryRestoreParts(benchmark::State& state) {
    const std::string& path = PrepareFull(1000000);
    size_t loaded = 0;
    for (auto _ : state) {
        THistoryFile file;
        std::vector<std::string> log;
        TManualClock clock(kStartDays);
        if (state.range(0) != 1) {
            file.Open(path, clock, log,
                      state.range(0) == 0 ? THistoryFile::CheckAtStartBytes : INT64_MAX);
            continue;
        }
        state.PauseTiming();
        file.Open(path, clock, log);
        state.ResumeTiming();
        TRunMapping mapping;
        mapping.Now = mapping.CurrentStart = clock.Now();
        mapping.WallNowMs = WallToUnixMs(clock.WallNow());
        std::vector<TStoredRead> reads;
        std::string error;
        LoadRecentReads(file.Db(), mapping, 10800, MaxReads, reads, error);
        loaded = reads.size();
    }
    state.counters["loaded"] = static_cast<double>(loaded);
}
BENCHMARK(HistoryRestoreParts)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

} // namespace
