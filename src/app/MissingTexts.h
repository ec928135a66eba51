// The missing list's texts: each column of a known record that the store has let go, and the
// line above the list. Qt-free; 8-bit text stays 8-bit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "history/KnownRecords.h"

namespace corvane {

std::string_view KnownKindName(TKnownKind kind); // "Sensor", "Repeater", "Entry point"

// How long ago, to the largest two units that matter: "45 s", "12 min", "2 h 20 min",
// "3 d 4 h".
std::string AgoText(int64_t ms);

// "30 s", rounded to whole seconds; empty while unknown.
std::string UsualGapText(float usualGap);

// A sensor's last route: "North via R", "North (direct)", "via R" when no entry point is known;
// empty for repeaters and entry points.
std::string RouteText(const TKnownRecord& record);

// "2 sensors, 1 repeater and 1 entry point not heard for over 10800 s", or that none is missing.
std::string GoneSummary(const std::vector<TKnownRecord>& records, int32_t maxAge);
constexpr std::string_view NoneGone = "No sensor, repeater or entry point is missing";

} // namespace corvane
