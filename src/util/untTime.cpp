#include "util/untTime.h"

#include <cmath>
#include <cstdint>
#include <ctime>

namespace corvane {

TFormatSettings FormatSettings;

namespace {

constexpr int64_t MsPerDay = 86400000;
// 0001-01-01 and 9999-12-31 as day numbers; texts outside these years are not meaningful.
constexpr double MinDay = -693593.0;
constexpr double MaxDay = 2958465.0;

// Days from 1970-01-01 to a proleptic Gregorian date.
constexpr int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

constexpr int64_t EpochOffset = DaysFromCivil(1899, 12, 30);

struct TCivil {
    int Year, Month, Day, Hour, Minute, Second;
};

TCivil CivilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    return {static_cast<int>(y), static_cast<int>(m), static_cast<int>(d), 0, 0, 0};
}

// Whole milliseconds first, so a value a hair below a full second shows that second.
TCivil Decode(TDateTime t) {
    if (std::isnan(t))
        t = 0.0;
    t = t < MinDay ? MinDay : (t > MaxDay ? MaxDay : t);
    const auto totalMs = static_cast<int64_t>(std::llround(t * static_cast<double>(MsPerDay)));
    int64_t days = totalMs / MsPerDay;
    int64_t ms = totalMs % MsPerDay;
    if (ms < 0) {
        ms += MsPerDay;
        --days;
    }
    TCivil c = CivilFromDays(days + EpochOffset);
    const int64_t secs = ms / 1000;
    c.Hour = static_cast<int>(secs / 3600);
    c.Minute = static_cast<int>(secs / 60 % 60);
    c.Second = static_cast<int>(secs % 60);
    return c;
}

char* Put2(char* p, int v) {
    p[0] = static_cast<char>('0' + v / 10 % 10);
    p[1] = static_cast<char>('0' + v % 10);
    return p + 2;
}

char* PutTime(char* p, const TCivil& c) {
    p = Put2(p, c.Hour);
    *p++ = FormatSettings.TimeSeparator;
    p = Put2(p, c.Minute);
    *p++ = FormatSettings.TimeSeparator;
    return Put2(p, c.Second);
}

char* PutMonthDay(char* p, const TCivil& c) {
    p = Put2(p, c.Month);
    *p++ = FormatSettings.DateSeparator;
    return Put2(p, c.Day);
}

size_t Finish(char* out, char* end) {
    *end = '\0';
    return static_cast<size_t>(end - out);
}

} // namespace

// 1970-01-01 00:00 as a day number.
constexpr double UnixEpochDay = 25569.0;

double BootSeconds() {
    timespec ts{};
    // Counts on through a suspend, unlike CLOCK_MONOTONIC, so ages stay true after one.
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

TSystemClock::TSystemClock() : startTicks_(BootSeconds()), startLocal_(LocalNow()) {}

TDateTime TSystemClock::Now() const {
    return startLocal_ + (BootSeconds() - startTicks_) / 86400.0;
}

TDateTime TSystemClock::WallNow() const {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    const int64_t ms = static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    return UnixEpochDay + static_cast<double>(ms) / static_cast<double>(MsPerDay);
}

TDateTime TSystemClock::ToLocal(TDateTime wall) const {
    if (std::isnan(wall))
        return wall;
    const double ms = std::round((wall - UnixEpochDay) * static_cast<double>(MsPerDay));
    if (!(std::fabs(ms) < 1e17)) // far outside any calendar shown: left as it is
        return wall;
    const auto total = static_cast<int64_t>(ms);
    int64_t secs = total / 1000;
    int64_t rest = total % 1000;
    if (rest < 0) {
        rest += 1000;
        --secs;
    }
    const time_t t = static_cast<time_t>(secs);
    tm local{};
    if (localtime_r(&t, &local) == nullptr)
        return wall;
    const double second = local.tm_sec + static_cast<double>(rest) / 1000.0;
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, second);
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, double second) {
    const int64_t days = DaysFromCivil(year, month, day) - EpochOffset;
    return static_cast<double>(days) + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

size_t FormatDateTimeFull(TDateTime t, char* out) {
    const TCivil c = Decode(t);
    char* p = PutMonthDay(out, c);
    *p++ = FormatSettings.DateSeparator;
    p = Put2(p, c.Year % 100);
    *p++ = ' ';
    return Finish(out, PutTime(p, c));
}

size_t FormatDateTimeShort(TDateTime t, char* out) {
    const TCivil c = Decode(t);
    char* p = PutMonthDay(out, c);
    *p++ = ' ';
    return Finish(out, PutTime(p, c));
}

size_t FormatTimeOfDay(TDateTime t, char* out) {
    return Finish(out, PutTime(out, Decode(t)));
}

std::string FormatDateTimeFull(TDateTime t) {
    char buf[18];
    return std::string(buf, FormatDateTimeFull(t, buf));
}

std::string FormatDateTimeShort(TDateTime t) {
    char buf[18];
    return std::string(buf, FormatDateTimeShort(t, buf));
}

std::string FormatTimeOfDay(TDateTime t) {
    char buf[18];
    return std::string(buf, FormatTimeOfDay(t, buf));
}

} // namespace corvane
