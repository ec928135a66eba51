// Wall-clock instants as the messages and the service's log show them.
#pragma once

#include <string>

#include "util/untTime.h"

namespace corvane {

// A wall-clock instant (UTC-based, as TClock::WallNow) as ISO 8601 local time with milliseconds
// and the offset from UTC in force at that instant: "2026-12-08T15:20:39.123+01:00".
std::string FormatIsoTime(TDateTime wall);

} // namespace corvane
