// A line message as a station publishes it to <Topic>/<Station>/line:
// {"time":"<ISO 8601 with offset>","conn":"<link>","line":"<the line>"}, texts in UTF-8 of
// Latin-1 characters. The reader takes the three fields back to the 8-bit text the intake
// wants; a message that is no such object is turned away with its cause, never half-read.
// Qt-free; nothing is allocated beyond the room the output's texts already have.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/untTime.h"

namespace corvane {

enum class TMessageFault : uint8_t {
    None,
    TooLong, // the message or its line beyond the bounds below
    BadUtf8, // bytes that are no UTF-8, or characters above U+00FF, which no receiver sends
    BadJson, // no JSON object, or one nested deeper than any station writes
    NoLine,  // an object without a "line" text
};
constexpr size_t kMessageFaults = 5;
std::string_view MessageFaultName(TMessageFault fault); // "too long", "invalid UTF-8", ...

struct TStationLine {
    std::string Line; // Latin-1
    std::string Conn; // Latin-1; empty when the message names none
    bool HasTime = false;
    TDateTime Wall = 0; // the station's wall-clock instant of the line (UTC-based)
};

// A line longer than a connection's receive buffer keeps could never have come from one.
constexpr size_t kMaxStationLine = 1024;
// Room for such a line with every character escaped as \u00XX, and the other fields.
constexpr size_t kMaxLineMessage = 8 * 1024;

TMessageFault ParseStationLine(std::string_view payload, TStationLine& out);

} // namespace corvane
