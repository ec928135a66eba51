// The history database keeps instants as whole milliseconds since 1970-01-01 00:00 UTC (what
// sqlite3, Python and dashboards take as a Unix time) and durations on each run's own steady
// time line; the program's date-times are days since 1899-12-30.
#pragma once

#include <cmath>
#include <cstdint>

#include "util/untTime.h"

namespace corvane {

constexpr double kUnixEpochDays = 25569.0; // 1970-01-01 as a date-time
constexpr double kMsPerDay = 86400000.0;

inline int64_t WallToUnixMs(TDateTime wall) {
    return static_cast<int64_t>(std::llround((wall - kUnixEpochDays) * kMsPerDay));
}
inline TDateTime UnixMsToWall(int64_t ms) {
    return kUnixEpochDays + static_cast<double>(ms) / kMsPerDay;
}
// Whole milliseconds from one date-time to a later one.
inline int64_t DaysToMs(TDateTime from, TDateTime to) {
    return static_cast<int64_t>(std::llround((to - from) * kMsPerDay));
}
inline TDateTime MsToDays(int64_t ms) {
    return static_cast<double>(ms) / kMsPerDay;
}
// a less b, wrapping rather than overflowing: instants read from a file that something else
// wrote may be anything.
inline int64_t MsLess(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}

} // namespace corvane

namespace corvane {

// Puts stored reads on this run's time line, where durations are measured: reads of this run by
// their own steady time, reads of earlier runs by the wall clock's distance between their run's
// origin (runs.origin_ms, else runs.started_ms) and now. An earlier run ended before this one
// began, so none of its reads lands later than this run's start, whatever the wall clock did in
// between.
struct TRunMapping {
    int64_t CurrentRun = -1;    // runs.id of this run; -1 when it records nothing
    TDateTime CurrentStart = 0; // this run's time line when it began (mono_ms 0)
    TDateTime Now = 0;          // this run's time line now
    int64_t WallNowMs = 0;      // the wall clock now, as stored instants are

    TDateTime TimeOf(int64_t run, int64_t runOriginMs, int64_t monoMs) const {
        if (run == CurrentRun)
            return CurrentStart + MsToDays(monoMs);
        // In days, where no sum of stored instants can overflow.
        const TDateTime t = Now + (MsToDays(runOriginMs) + MsToDays(monoMs) - MsToDays(WallNowMs));
        const TDateTime latest = CurrentRun >= 0 && CurrentStart < Now ? CurrentStart : Now;
        return t < latest ? t : latest;
    }
};

} // namespace corvane
