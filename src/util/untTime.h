// Date-times are days since 1899-12-30 00:00 local time, as 64-bit floats; only differences and
// formatted texts are used. "Now" comes from a clock that tests can set.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

using TDateTime = double;

class TClock {
public:
    virtual ~TClock() = default;
    virtual TDateTime Now() const = 0;
};

// The local wall clock.
class TSystemClock final : public TClock {
public:
    TDateTime Now() const override;
};

// A clock that only moves when told to.
class TManualClock final : public TClock {
public:
    explicit TManualClock(TDateTime start = 46000.0) : now_(start) {}
    TDateTime Now() const override { return now_; }
    void Set(TDateTime t) { now_ = t; }
    void AdvanceSeconds(double s) { now_ += s / 86400.0; }

private:
    TDateTime now_;
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
