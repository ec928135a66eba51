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

namespace corvane {

namespace {

// n decimal digits at text[at], or -1.
int Digits(std::string_view text, size_t at, size_t n) {
    if (at + n > text.size())
        return -1;
    int v = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        v = v * 10 + (text[i] - '0');
    }
    return v;
}

bool Separated(std::string_view text) {
    return text[4] == '-' && text[7] == '-' && (text[10] == 'T' || text[10] == ' ') &&
           text[13] == ':' && text[16] == ':';
}

} // namespace

bool ParseIsoTime(std::string_view text, TDateTime& wall) {
    if (text.size() < 20 || !Separated(text))
        return false;
    const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    const int hour = Digits(text, 11, 2), minute = Digits(text, 14, 2);
    const int second = Digits(text, 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60)
        return false;
    size_t at = 19;
    double fraction = 0;
    if (text[at] == '.') {
        double scale = 0.1;
        ++at;
        const size_t start = at;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10)
            fraction += (text[at] - '0') * scale;
        if (at == start || at - start > 9)
            return false;
    }
    int offsetMinutes = 0;
    if (at < text.size() && text[at] == 'Z') {
        ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        const int h = Digits(text, at + 1, 2), m = Digits(text, at + 4, 2);
        if (h < 0 || h > 23 || m < 0 || m > 59 || text[at + 3] != ':')
            return false;
        offsetMinutes = (text[at] == '-' ? -1 : 1) * (h * 60 + m);
        at += 6;
    } else {
        return false;
    }
    if (at != text.size())
        return false;
    wall =
        EncodeDateTime(year, month, day, hour, minute, second + fraction) - offsetMinutes / 1440.0;
    return true;
}

} // namespace corvane
