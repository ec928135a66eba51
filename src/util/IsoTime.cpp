#include "util/IsoTime.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace corvane {

namespace {
// Days since 1899-12-30 to seconds since 1970-01-01, both on the local wall clock.
constexpr double UnixEpochDays = 25569.0;
} // namespace

std::string FormatIsoTime(TDateTime wall) {
    auto ms = static_cast<int64_t>(std::llround((wall - UnixEpochDays) * 86400000.0));
    int64_t secs = ms / 1000;
    ms %= 1000;
    if (ms < 0) {
        ms += 1000;
        --secs;
    }
    // The zone's rules are asked once per second of reads: they decide the fields and the offset
    // together, so a change of summer time shows the offset that was in force at that instant.
    // Within the second only the milliseconds change.
    thread_local int64_t cachedSecs = INT64_MIN;
    thread_local char text[40];
    thread_local int length = 0;
    if (secs != cachedSecs) {
        const auto t = static_cast<time_t>(secs);
        std::tm fields{};
        if (localtime_r(&t, &fields) == nullptr)
            fields = std::tm{};
        const long offset = fields.tm_gmtoff;
        length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.000%c%02ld:%02ld",
                               fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                               fields.tm_hour, fields.tm_min, fields.tm_sec, offset < 0 ? '-' : '+',
                               std::labs(offset) / 3600, std::labs(offset) % 3600 / 60);
        cachedSecs = secs;
    }
    std::string out(text, size_t(length));
    const size_t dot = out.find('.'); // after the seconds, whatever width the year took
    out[dot + 1] = char('0' + ms / 100);
    out[dot + 2] = char('0' + ms / 10 % 10);
    out[dot + 3] = char('0' + ms % 10);
    return out;
}

} // namespace corvane
