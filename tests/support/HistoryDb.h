// A history database filled by hand with plain SQL into the tables the recording writes, for
// tests and benchmarks of what reads the file: the file is made and held as a recording run
// holds it, so that readers meet it as they would beside a running program.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "history/HistoryFile.h"
#include "history/Sqlite.h"

namespace corvane::test {

struct TDbRead {
    int64_t Run = 1;
    int64_t WallMs = 0;
    int64_t MonoMs = 0;
    int64_t Sensor = 1; // sensors.id
    int16_t OffsetMin = 0;
    std::string_view Repeater; // UTF-8; empty: heard directly
    int Entry = -1;            // the entry number; -1: none
    int64_t EntryName = 0;     // names.id; 0: none
    bool Dup = false;
};

class THistoryDb {
public:
    explicit THistoryDb(const std::string& path) {
        TManualClock clock;
        std::vector<std::string> log;
        if (file_.Open(path, clock, log) != THistoryOpen::Recording)
            throw std::runtime_error("cannot make " + path);
        insert_.Prepare(Db(), "INSERT INTO reads(run, wall_ms, utc_offset_min, mono_ms, sensor,"
                              " kind, type_code, repeater, entry, entry_name, duplicate, data,"
                              " crc) VALUES(?1, ?2, ?3, ?4, ?5, 10, 16, ?6, ?7, ?8, ?9,"
                              " x'1000000000000000000000', 0)");
    }

    TSqlite& Db() { return file_.Db(); }
    void Exec(const std::string& sql) {
        if (!Db().Exec(sql.c_str()))
            throw std::runtime_error(Db().Error() + " in " + sql);
    }

    // stopped empty: still running, or ended without saying so.
    int64_t AddRun(int64_t startedMs, int64_t aliveMs, std::optional<int64_t> stoppedMs,
                   std::optional<int64_t> originMs = std::nullopt) {
        TSqlStatement s(Db(), "INSERT INTO runs(started_ms, utc_offset_min, alive_ms, origin_ms,"
                              " stopped_ms, clean, version, station) VALUES(?1, 0, ?2, ?3, ?4, ?5,"
                              " '1', '')");
        s.Bind(1, startedMs);
        s.Bind(2, aliveMs);
        Optional(s, 3, originMs);
        Optional(s, 4, stoppedMs);
        s.Bind(5, stoppedMs ? 1 : 0);
        return Insert(s);
    }
    int64_t AddSensor(int64_t serNo, std::optional<double> usualGap = std::nullopt) {
        TSqlStatement s(Db(), "INSERT INTO sensors(serno, kind, label, first_ms, last_ms,"
                              " usual_gap_s) VALUES(?1, 10, '', 0, 0, ?2)");
        s.Bind(1, serNo);
        if (usualGap)
            s.BindDouble(2, *usualGap);
        else
            s.BindNull(2);
        return Insert(s);
    }
    int64_t AddName(std::string_view utf8) {
        TSqlStatement s(Db(), "INSERT INTO names(text) VALUES(?1)");
        s.BindText(1, utf8);
        return Insert(s);
    }
    void AddEntry(int number, std::string_view utf8) {
        TSqlStatement s(Db(), "INSERT INTO entries(number, name, first_ms, last_ms)"
                              " VALUES(?1, ?2, 0, 0)");
        s.Bind(1, number);
        s.BindText(2, utf8);
        Insert(s);
    }
    void AddRead(const TDbRead& r) {
        TSqlStatement& s = insert_;
        s.Reset();
        s.Bind(1, r.Run);
        s.Bind(2, r.WallMs);
        s.Bind(3, r.OffsetMin);
        s.Bind(4, r.MonoMs);
        s.Bind(5, r.Sensor);
        if (r.Repeater.empty())
            s.BindNull(6);
        else
            s.BindText(6, r.Repeater);
        Optional(s, 7, r.Entry >= 0 ? std::optional<int64_t>(r.Entry) : std::nullopt);
        Optional(s, 8, r.EntryName > 0 ? std::optional<int64_t>(r.EntryName) : std::nullopt);
        s.Bind(9, r.Dup ? 1 : 0);
        Insert(s);
    }

private:
    static void Optional(TSqlStatement& s, int i, std::optional<int64_t> value) {
        if (value)
            s.Bind(i, *value);
        else
            s.BindNull(i);
    }
    int64_t Insert(TSqlStatement& s) {
        if (!s.Ok() || s.Step() != SQLITE_DONE)
            throw std::runtime_error(Db().Error());
        return sqlite3_last_insert_rowid(Db().Handle());
    }

    THistoryFile file_;
    TSqlStatement insert_;
};

} // namespace corvane::test
