// A history database edited by hand or written by something else: whatever values its rows
// hold, restoring them into the store and recording on top of them must not go wrong.
// The input is a list of rows; each row's columns are NULL, an integer, a text or a blob, as
// the bytes say.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/HistoryRecording.h"
#include "app/Monitor.h"
#include "history/HistoryRestore.h"
#include "history/HistorySchema.h"
#include "history/HistoryTables.h"
#include "history/Sqlite.h"

namespace {

using namespace corvane;

struct TInput {
    const uint8_t* Data;
    size_t Size;
    size_t At = 0;
    bool More() const { return At < Size; }
    uint8_t Byte() { return At < Size ? Data[At++] : 0; }
    int64_t Int() {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v = (v << 8) | Byte();
        return static_cast<int64_t>(v);
    }
    std::string Bytes() {
        const size_t n = Byte() % 40;
        std::string s;
        for (size_t i = 0; i < n && More(); ++i)
            s += static_cast<char>(Byte());
        return s;
    }
};

constexpr const char* kInserts[] = {
    "INSERT OR IGNORE INTO runs(id, started_ms, utc_offset_min, alive_ms, origin_ms, stopped_ms,"
    " clean, version, station) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
    "INSERT OR IGNORE INTO names(id, text) VALUES(?1, ?2)",
    "INSERT OR IGNORE INTO sensors(id, serno, kind, label, first_ms, last_ms, usual_gap_s, alert,"
    " last_entry, last_repeater) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)",
    "INSERT OR IGNORE INTO repeaters VALUES(?1, ?2, ?3, ?4, ?5)",
    "INSERT OR IGNORE INTO entries VALUES(?1, ?2, ?3, ?4, ?5, ?6)",
    "INSERT OR IGNORE INTO reads VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13,"
    " ?14, ?15)",
};
constexpr int kColumns[] = {9, 2, 10, 5, 6, 15};

void BindFrom(TInput& in, TSqlStatement& s, int i) {
    switch (in.Byte() % 5) {
    case 0:
        s.BindNull(i);
        break;
    case 1:
        s.Bind(i, in.Int());
        break;
    case 2:
        s.Bind(i, static_cast<int8_t>(in.Byte()));
        break;
    case 3:
        s.BindText(i, in.Bytes());
        break;
    default: {
        const std::string b = in.Bytes();
        s.BindBlob(i, b.data(), static_cast<int>(b.size()));
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TSqlite db;
    std::string error;
    if (!db.Open(":memory:", true) || PrepareSchema(db, error) != TSchemaResult::Ready)
        return 0;
    TInput in{data, size};
    for (int rows = 0; in.More() && rows < 64; ++rows) {
        const int table = in.Byte() % 6;
        TSqlStatement s(db, kInserts[table]);
        for (int c = 1; c <= kColumns[table]; ++c)
            BindFrom(in, s, c);
        s.Step();
    }
    // The store's tables take megabytes: one monitor serves every input, emptied before each.
    static TManualClock clock(46365.5);
    static TNullListener views;
    static TMonitor monitor(clock, TViews(views));
    monitor.ClearAll();
    TRunMapping mapping;
    mapping.Now = mapping.CurrentStart = clock.Now();
    mapping.WallNowMs = 1'796'000'000'000;
    std::vector<TStoredRead> reads;
    if (LoadRecentReads(db, mapping, 10800, MaxReads, reads, error))
        for (const TStoredRead& r : reads)
            ReplayStoredRead(monitor, r);
    monitor.ExpireTick();
    THistoryTables tables(db);
    if (tables.Load()) {
        std::vector<THistoryRead> batch(reads.size());
        for (size_t i = 0; i < reads.size(); ++i)
            batch[i] = reads[i].Read;
        tables.WriteBatch(1, batch, {{TAlertKind::Repeat, 'a', TAlertState::Late}}, 0);
        bool more = false;
        int32_t deleted = 0;
        tables.PruneStep(1'796'000'000'000, 1, 100, more, deleted);
    }
    return 0;
}
