// The receiver's lines for views_speed: a simulated network of 2000 sensors through 64 repeaters
// and 32 entry points, or what VIEWS_SPEED_ONE_SENSOR, VIEWS_SPEED_SENSORS and
// VIEWS_SPEED_ROUTES ask for instead.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace corvane::bench {

// n lines, each ending in the carriage return a receiver sends.
std::vector<std::string> MakeLines(size_t n);

} // namespace corvane::bench
