// What the history database's benchmarks share: records as the recorder makes them from the
// typical network's lines, and a writer on a file of a benchmark's own.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "IngestRig.h"
#include "app/Monitor.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryTime.h"
#include "history/HistoryWriter.h"
#include "history/Sqlite.h"
#include "store/ActivityStore.h"

namespace corvane::bench {

// Keeps the record of every read the monitor registers.
class TRecordKeeper : public TReadObserver {
public:
    explicit TRecordKeeper(TDateTime runStart) : runStart_(runStart) {}
    void OnRead(const TStore& store, const TRegisteredRead& read) override {
        Records.emplace_back();
        THistoryRecorder::MakeRecord(store, read, runStart_, 60, Records.back());
    }
    std::vector<THistoryRead> Records;

private:
    TDateTime runStart_;
};

// The records of count reads of the typical network (2000 sensors, 32 repeaters, 32 entry
// points named "Gate n"), 10 ms apart; pushed again with new instants, they stand for any number.
inline std::vector<THistoryRead> TypicalRecords(int count) {
    TManualClock clock;
    TNullListener views;
    auto monitor = std::make_unique<TMonitor>(clock, TViews(views));
    TRecordKeeper keeper(clock.Now());
    monitor->AddReadObserver(&keeper);
    const std::vector<std::string> lines = MakeLines({2000, 32, 32}, 8192);
    for (int i = 0; i < count; ++i) {
        monitor->ParsePacketLine(nullptr, lines[static_cast<size_t>(i & 8191)]);
        clock.AdvanceSeconds(0.01);
    }
    monitor->RemoveReadObserver(&keeper);
    return std::move(keeper.Records);
}

// 8192 of them, made once.
inline const std::vector<THistoryRead>& Templates() {
    static const std::vector<THistoryRead> records = TypicalRecords(8192);
    return records;
}

// Opens the file at path for recording; a writer for a run that began at startWallMs.
inline std::unique_ptr<THistoryWriter> OpenWriter(const std::string& path, int64_t startWallMs,
                                                  THistorySettings settings = {}) {
    auto file = std::make_unique<THistoryFile>();
    TManualClock clock;
    std::vector<std::string> lines;
    if (file->Open(path, clock, lines) != THistoryOpen::Recording)
        return nullptr;
    THistoryRun run;
    run.Version = "bench";
    run.Station = "bench";
    run.StartTime = UnixMsToWall(startWallMs);
    run.StartWallMs = startWallMs;
    run.UtcOffsetMin = 60;
    auto writer =
        std::make_unique<THistoryWriter>(std::move(file), settings, run, [](std::string_view line) {
            std::fprintf(stderr, "%.*s\n", int(line.size()), line.data());
        });
    writer->SetWallNow(startWallMs);
    return writer;
}

// Pushes count reads of the templates, spacingMs apart from the run's start, Flushing whenever
// the queue would run full and, unless told otherwise, at the end; the first read is number
// first of the run.
inline constexpr int64_t kFlushEvery = static_cast<int64_t>(
    THistoryWriter::QueueMax / 2 / THistoryWriter::BatchMax * THistoryWriter::BatchMax);

inline void PushReads(THistoryWriter& writer, const std::vector<THistoryRead>& templates,
                      int64_t first, int64_t count, int64_t spacingMs, bool flushAtEnd = true) {
    const int64_t start = writer.Run().StartWallMs;
    THistoryRead r;
    for (int64_t n = first; n < first + count; ++n) {
        r = templates[static_cast<size_t>(n) % templates.size()];
        r.MonoMs = n * spacingMs;
        r.WallMs = start + r.MonoMs;
        writer.Push(r);
        if ((n + 1) % static_cast<int64_t>(THistoryWriter::BatchMax) == 0)
            writer.SetWallNow(r.WallMs);
        // Flushing at a whole number of batches keeps the benchmark's own pacing from cutting
        // batches short, which the intake never does.
        if ((n + 1 - first) % kFlushEvery == 0)
            writer.Flush();
    }
    writer.SetWallNow(r.WallMs);
    if (flushAtEnd)
        writer.Flush();
}

// A file as after a long life, for a run starting at nowMs: oldReads from two days before (all
// older than the store's MaxAge), then a run that ended 100 s before with a ring's worth of reads
// over the 800 s before that; checkpointed. False when it could not be made.
inline bool MakeFullHistory(const std::string& path, int64_t nowMs, int64_t oldReads) {
    if (oldReads > 0) {
        auto old = OpenWriter(path, nowMs - 2 * 86400000);
        if (!old || !old->Start())
            return false;
        PushReads(*old, Templates(), 0, oldReads, 100);
        old->Stop();
    }
    auto young = OpenWriter(path, nowMs - 900000);
    if (!young || !young->Start())
        return false;
    PushReads(*young, Templates(), 0, MaxReads, 10);
    young->Stop();
    TSqlite db;
    return db.Open(path, false) && db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
}

} // namespace corvane::bench
