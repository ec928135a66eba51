// A history database as a busy week leaves it, made once per benchmark program: a million reads
// of 2000 sensors over seven days in three runs with two stops between them, one sensor heard
// every 15 s or so (40,000 reads) among the others. The file stays held as a recording run
// holds it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "history/HistoryTime.h"
#include "support/HistoryDb.h"
#include "support/TempDir.h"

namespace corvane::bench {

constexpr int64_t kWeekSerNo = 0x00A1B2C3;
constexpr int64_t kWeekReads = 1000000;
constexpr int64_t kWeekSensors = 2000;
constexpr int64_t kWeekOfOne = 40000; // every 25th read is the one sensor's
inline const TDateTime kWeekNow = EncodeDateTime(2025, 6, 8, 12, 0, 0);

struct TWeekOfReads {
    TTempDir Dir;
    std::string Path = Dir.Path() + "/corvane_history.db";
    std::unique_ptr<test::THistoryDb> Db = std::make_unique<test::THistoryDb>(Path);
    int64_t CurrentRun = 0;
    int64_t CurrentStartMs = 0;

    TWeekOfReads() {
        constexpr int64_t kHour = 3600000;
        const int64_t now = WallToUnixMs(kWeekNow);
        const int64_t start = now - 7 * 24 * kHour;
        // Runs: days 0-2, 2 h off, to day 5, 1 h off, then this run until now.
        const int64_t runs[3][2] = {{start, start + 2 * 24 * kHour},
                                    {start + 50 * kHour, start + 5 * 24 * kHour},
                                    {start + 121 * kHour, now}};
        int64_t ids[3];
        for (int k = 0; k < 3; ++k)
            ids[k] = Db->AddRun(runs[k][0], runs[k][1],
                                k < 2 ? std::optional<int64_t>(runs[k][1]) : std::nullopt);
        CurrentRun = ids[2];
        CurrentStartMs = runs[2][0];
        for (int64_t s = 0; s < kWeekSensors; ++s)
            Db->AddSensor(s == 0 ? kWeekSerNo : 0x100000 + s, 30.0);
        const int64_t name = Db->AddName("North Gate");
        const int64_t listened =
            (runs[0][1] - runs[0][0]) + (runs[1][1] - runs[1][0]) + (runs[2][1] - runs[2][0]);
        Db->Exec("BEGIN");
        for (int64_t k = 0; k < kWeekReads; ++k) {
            int64_t at = k * listened / kWeekReads; // into the time listened to
            int run = 0;
            while (run < 2 && at >= runs[run][1] - runs[run][0]) {
                at -= runs[run][1] - runs[run][0];
                ++run;
            }
            test::TDbRead r;
            r.Run = ids[run];
            r.WallMs = runs[run][0] + at;
            r.MonoMs = at;
            r.Sensor = k % 25 == 0 ? 1 : 2 + k % (kWeekSensors - 1);
            r.Repeater = k % 3 == 0 ? "c" : "";
            r.Entry = 1;
            r.EntryName = name;
            r.Dup = k % 50 == 25;
            Db->AddRead(r);
            if (k % 5000 == 4999) // in batches, as the recording writes them
                Db->Exec("COMMIT; BEGIN");
        }
        Db->Exec("COMMIT");
    }

    TRunMapping Mapping() const {
        TRunMapping m;
        m.CurrentRun = CurrentRun;
        m.Now = kWeekNow;
        m.CurrentStart = UnixMsToWall(CurrentStartMs);
        m.WallNowMs = WallToUnixMs(kWeekNow);
        return m;
    }

    static const TWeekOfReads& Instance() {
        static const TWeekOfReads week;
        return week;
    }
};

} // namespace corvane::bench
