// Date-times are days since 1899-12-30 00:00, as 64-bit floats; only differences and formatted
// texts are used. "Now" comes from a clock that tests can set.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

using TDateTime = double;

// Two time lines. Now() is the run's own: every duration (gaps, ages, duplicate windows, expiry,
// silence) is measured on it, so it follows a clock that neither jumps with time-zone rules or a
// wall clock set by hand nor runs backwards; it starts at the local date-time the run began.
// WallNow() is the wall clock's instant (UTC-based) that a shown date-time is made from, and
// ToLocal turns such an instant into local time under the time-zone rules in force when it is
// called.
class TClock {
public:
    virtual ~TClock() = default;
    virtual TDateTime Now() const = 0;
    virtual TDateTime WallNow() const = 0;
    virtual TDateTime ToLocal(TDateTime wall) const = 0;
    TDateTime LocalNow() const { return ToLocal(WallNow()); }
};

// The machine's clocks: the boot-time clock for the run's time line, the real-time clock for the
// wall instants, the C library's local time for the zone.
class TSystemClock final : public TClock {
public:
    TSystemClock();
    TDateTime Now() const override;
    TDateTime WallNow() const override;
    TDateTime ToLocal(TDateTime wall) const override;

private:
    double startTicks_;    // seconds of the boot-time clock when the run began
    TDateTime startLocal_; // local date-time then
};

// A clock that only moves when told to. Its wall instant starts equal to its time line and its
// zone is UTC until told otherwise, so unless a test shifts them, shown times are the time line.
class TManualClock final : public TClock {
public:
    explicit TManualClock(TDateTime start = 46000.0) : now_(start), wall_(start) {}
    TDateTime Now() const override { return now_; }
    TDateTime WallNow() const override { return wall_; }
    TDateTime ToLocal(TDateTime wall) const override {
        return wall + (wall < zoneChange_ ? offsetBefore_ : offsetAfter_) / 24.0;
    }
    // Both time lines to t, as a clock without a steady time line would jump.
    void Set(TDateTime t) { now_ = wall_ = t; }
    void AdvanceSeconds(double s) {
        now_ += s / 86400.0;
        wall_ += s / 86400.0;
    }
    // The wall clock set by hand: the run's time line does not move.
    void StepWall(double seconds) { wall_ += seconds / 86400.0; }
    // Local time is UTC plus offsetBefore hours for instants before at, plus offsetAfter from it
    // on.
    void SetZone(TDateTime at, double offsetBefore, double offsetAfter) {
        zoneChange_ = at;
        offsetBefore_ = offsetBefore;
        offsetAfter_ = offsetAfter;
    }

private:
    TDateTime now_;
    TDateTime wall_;
    TDateTime zoneChange_ = 0;
    double offsetBefore_ = 0;
    double offsetAfter_ = 0;
};

// Builds a date-time from calendar fields (no range checks beyond the calendar's own).
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, double second);

// The separators of the formatted texts. The defaults are those of the C locale.
struct TFormatSettings {
    char DateSeparator = '/';
    char TimeSeparator = ':';
    char DecimalSeparator = '.';
};
extern TFormatSettings FormatSettings;

// Each writes the text and a closing NUL into out (at least 18 characters) and returns the
// length of the text.
size_t FormatDateTimeFull(TDateTime t, char* out);  // "mm/dd/yy hh:nn:ss"
size_t FormatDateTimeShort(TDateTime t, char* out); // "mm/dd hh:nn:ss"
size_t FormatTimeOfDay(TDateTime t, char* out);     // "hh:nn:ss"
std::string FormatDateTimeFull(TDateTime t);
std::string FormatDateTimeShort(TDateTime t);
std::string FormatTimeOfDay(TDateTime t);

} // namespace corvane
