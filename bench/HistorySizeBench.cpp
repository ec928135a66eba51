// How many bytes a read takes in the history database with a million of them, indexes included:
// the pages in use after a checkpoint, the file's size, each table's and index's share (SQLite's
// dbstat), and what each column of a read costs in its record.
//
//   bench_history --benchmark_filter=HistoryBytesPerRead
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sqlite3.h>
#include <string>
#include <vector>

#include "HistoryRig.h"
#include "history/Sqlite.h"
#include "support/TempDir.h"

namespace {

using namespace corvane;
using namespace corvane::bench;

constexpr int64_t kStartMs = 1'796'000'000'000; // December 2026
constexpr int64_t kReads = 1'000'000;

// A column's bytes in a record: its header byte and its value as SQLite stores it (integers in
// the fewest of 0, 1, 2, 3, 4, 6 or 8 bytes; 0 and 1 in the header alone).
std::string StoredSize(const std::string& column) {
    const std::string& c = column;
    return "1 + CASE WHEN typeof(" + c + ") = 'null' THEN 0 WHEN typeof(" + c +
           ") IN ('text', 'blob') THEN length(CAST(" + c + " AS BLOB)) WHEN typeof(" + c +
           ") = 'real' THEN 8 WHEN " + c + " IN (0, 1) THEN 0 WHEN " + c +
           " BETWEEN -128 AND 127 THEN 1 WHEN " + c + " BETWEEN -32768 AND 32767 THEN 2 WHEN " + c +
           " BETWEEN -8388608 AND 8388607 THEN 3 WHEN " + c +
           " BETWEEN -2147483648 AND 2147483647 THEN 4 WHEN " + c +
           " BETWEEN -140737488355328 AND 140737488355327 THEN 6 ELSE 8 END";
}

// The average bytes of each column of the reads table, largest first, on standard output.
void PrintColumnCosts(TSqlite& db) {
    std::vector<std::string> columns;
    TSqlStatement info(db, "SELECT name FROM pragma_table_info('reads')");
    while (info.Ok() && info.Step() == SQLITE_ROW)
        columns.emplace_back(info.Text(0));
    std::multimap<double, std::string, std::greater<>> costs;
    for (const std::string& c : columns) {
        // The id is the row's key, kept in the cell rather than in the record.
        const std::string size =
            c == "id" ? "CASE WHEN id < 8388608 THEN 3 ELSE 4 END" : StoredSize(c);
        const std::string sql = "SELECT avg(" + size + ") FROM reads";
        TSqlStatement s(db, sql.c_str());
        if (s.Ok() && s.Step() == SQLITE_ROW)
            costs.emplace(s.Double(0), c);
    }
    std::printf("bytes of a read's record by column (header byte included):");
    for (const auto& [bytes, c] : costs)
        std::printf(" %s %.2f", c.c_str(), bytes);
    std::printf("\n");
}

// Bytes per read of each table and index (dbstat), on standard output and as counters.
void CountObjects(TSqlite& db, benchmark::State& state) {
    TSqlStatement s(db, "SELECT name, sum(pgsize), sum(payload), sum(unused), count(*)"
                        " FROM dbstat GROUP BY name ORDER BY sum(pgsize) DESC");
    while (s.Ok() && s.Step() == SQLITE_ROW) {
        const auto perRead = static_cast<double>(s.Int(1)) / kReads;
        std::printf("%-16s %6.2f B/read in %lld pages, %5.1f %% payload, %5.1f %% unused\n",
                    std::string(s.Text(0)).c_str(), perRead, static_cast<long long>(s.Int(4)),
                    100.0 * static_cast<double>(s.Int(2)) / static_cast<double>(s.Int(1)),
                    100.0 * static_cast<double>(s.Int(3)) / static_cast<double>(s.Int(1)));
        const std::string name(s.Text(0));
        if (name == "reads" || name == "reads_by_sensor")
            state.counters[name + "_B"] = perRead;
    }
}

// A million reads 100 ms apart (a little over a day of the typical network's busiest hours)
// written as the writer writes them, then measured.
void HistoryBytesPerRead(benchmark::State& state) {
    for (auto _ : state) {
        TTempDir dir;
        const std::string path = dir.Path() + "/corvane_history.db";
        auto writer = OpenWriter(path, kStartMs);
        if (!writer || !writer->Start()) {
            state.SkipWithError("the history database does not record");
            return;
        }
        PushReads(*writer, Templates(), 0, kReads, 100);
        writer->Stop();
        state.PauseTiming();
        TSqlite db;
        db.Open(path, false);
        db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
        const int64_t used = db.QueryInt("PRAGMA page_count") * db.QueryInt("PRAGMA page_size");
        const auto file = static_cast<double>(std::filesystem::file_size(path));
        state.counters["B_per_read"] = static_cast<double>(used) / kReads;
        state.counters["file_B_per_read"] = file / kReads;
        state.counters["file_MB"] = file / 1e6;
        CountObjects(db, state);
        PrintColumnCosts(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(kReads);
}
BENCHMARK(HistoryBytesPerRead)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

} // namespace
