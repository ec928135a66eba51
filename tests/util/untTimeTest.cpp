#include "util/untTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include <cmath>
#include <ctime>

namespace corvane {
namespace {

TEST(DateTime, EncodeCountsDaysFrom18991230) {
    EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime(1900, 1, 1, 0, 0, 0), 2.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime(1900, 3, 1, 0, 0, 0), 61.0); // 1900 is no leap year
    EXPECT_DOUBLE_EQ(EncodeDateTime(2000, 1, 1, 12, 0, 0), 36526.5);
    EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 29, 0, 0, 0), -1.0);
}

TEST(DateTime, FormatsWithSeparators) {
    const TDateTime t = EncodeDateTime(2024, 2, 29, 7, 5, 9.25);
    EXPECT_EQ(FormatDateTimeFull(t), "02/29/24 07:05:09");
    EXPECT_EQ(FormatDateTimeShort(t), "02/29 07:05:09");
    EXPECT_EQ(FormatTimeOfDay(t), "07:05:09");

    const TFormatSettings saved = FormatSettings;
    FormatSettings.DateSeparator = '.';
    FormatSettings.TimeSeparator = '-';
    EXPECT_EQ(FormatDateTimeFull(t), "02.29.24 07-05-09");
    FormatSettings = saved;

    char buf[18];
    EXPECT_EQ(FormatDateTimeFull(t, buf), 17u);
    EXPECT_STREQ(buf, "02/29/24 07:05:09");
}

TEST(DateTime, RoundTripsThroughTheCalendar) {
    struct {
        int y, mo, d, h, mi, s;
        const char* text;
    } cases[] = {
        {1999, 12, 31, 23, 59, 59, "12/31/99 23:59:59"},
        {2000, 1, 1, 0, 0, 0, "01/01/00 00:00:00"},
        {2100, 3, 1, 12, 30, 0, "03/01/00 12:30:00"},
        {1900, 2, 28, 1, 2, 3, "02/28/00 01:02:03"},
        {2038, 1, 19, 3, 14, 8, "01/19/38 03:14:08"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatDateTimeFull(EncodeDateTime(c.y, c.mo, c.d, c.h, c.mi, c.s)), c.text);
}

TEST(DateTime, NearlyWholeSecondShowsTheNextSecond) {
    const TDateTime t = EncodeDateTime(2024, 12, 31, 23, 59, 59.9999999);
    EXPECT_EQ(FormatDateTimeFull(t), "01/01/25 00:00:00");
    EXPECT_EQ(FormatTimeOfDay(EncodeDateTime(2024, 5, 1, 10, 0, 4.9999999)), "10:00:05");
    EXPECT_EQ(FormatTimeOfDay(EncodeDateTime(2024, 5, 1, 10, 0, 4.9994)), "10:00:04");
}

TEST(DateTime, OddValuesFormatWithoutFault) {
    // -10000 marks "no read yet" and may reach a formatter.
    EXPECT_EQ(FormatDateTimeFull(-10000.0), "08/13/72 00:00:00");
    EXPECT_EQ(FormatDateTimeShort(-0.5), "12/29 12:00:00");
    for (double t : {double(NAN), double(INFINITY), -double(INFINITY), 1e300, -1e300}) {
        EXPECT_EQ(FormatDateTimeFull(t).size(), 17u);
        EXPECT_EQ(FormatTimeOfDay(t).size(), 8u);
    }
}

TEST(Clock, SystemClockIsLocalWallTime) {
    const time_t before = time(nullptr);
    const TDateTime now = TSystemClock().Now();
    tm local{};
    localtime_r(&before, &local);
    const TDateTime expected = EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                              local.tm_hour, local.tm_min, local.tm_sec);
    EXPECT_NEAR((now - expected) * 86400.0, 0.5, 1.5);
}

// Shown times come from the wall instant under the zone in force when shown; the run's time line
// keeps to the steady clock.
TEST(Clock, SystemClockShowsWallInstantsInTheZoneInForce) {
    const char* saved = getenv("TZ");
    const std::string before = saved ? saved : "";
    TSystemClock clock;
    // 2026-07-01 12:00:00 UTC and, in a zone with summer time, 2026-12-01 12:00:00 UTC.
    const TDateTime july = EncodeDateTime(2026, 7, 1, 12, 0, 0);
    const TDateTime december = EncodeDateTime(2026, 12, 1, 12, 0, 0);
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_EQ(FormatDateTimeFull(clock.ToLocal(july)), "07/01/26 12:00:00");
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    EXPECT_EQ(FormatDateTimeFull(clock.ToLocal(july)), "07/01/26 14:00:00");
    EXPECT_EQ(FormatDateTimeFull(clock.ToLocal(december)), "12/01/26 13:00:00");
    const TDateTime start = clock.Now();
    usleep(20000);
    const double elapsed = (clock.Now() - start) * 86400.0;
    EXPECT_GT(elapsed, 0.015);
    EXPECT_LT(elapsed, 1.0);
    if (saved)
        setenv("TZ", before.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(Clock, ManualClockMovesOnlyWhenTold) {
    TManualClock clock(100.0);
    EXPECT_EQ(clock.Now(), 100.0);
    clock.AdvanceSeconds(43200);
    EXPECT_DOUBLE_EQ(clock.Now(), 100.5);
    clock.Set(5.0);
    EXPECT_EQ(clock.Now(), 5.0);
}

} // namespace
} // namespace corvane
