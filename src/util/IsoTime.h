// Wall-clock instants as the messages and the service's log show them.
#pragma once

#include <string>
#include <string_view>

#include "util/untTime.h"

namespace corvane {

// A wall-clock instant (UTC-based, as TClock::WallNow) as ISO 8601 local time with milliseconds
// and the offset from UTC in force at that instant: "2026-12-08T15:20:39.123+01:00".
std::string FormatIsoTime(TDateTime wall);

} // namespace corvane

namespace corvane {

// Back again: "yyyy-mm-ddThh:nn:ss[.fff...]" followed by "Z" or "+hh:mm" / "-hh:mm", as any
// station writes it, to the wall-clock instant (UTC-based). False for any other text.
bool ParseIsoTime(std::string_view text, TDateTime& wall);

} // namespace corvane
