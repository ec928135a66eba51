// The core's ingest benchmarks' network: receiver lines for a number of sensors, repeaters and
// entry points, and a ring filled with them before anything is measured.
#pragma once

#include <string>
#include <vector>

#include "app/Monitor.h"
#include "support/Packets.h"
#include "util/untConst.h"

namespace corvane::bench {

struct TNetwork {
    int Sensors, Repeaters, Entries;
};

inline std::vector<std::string> MakeLines(const TNetwork& n, int count) {
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        const int sensor = i % n.Sensors;
        const int entry = (i / n.Sensors + sensor) % n.Entries;
        lines.push_back(testing::SensorLine(
            static_cast<uint32_t>(sensor + 1),
            "," + std::to_string(entry) + ",Gate " + std::to_string(entry),
            RepeaterChars[static_cast<size_t>(i * 7) % static_cast<size_t>(n.Repeaters)]));
    }
    return lines;
}

// Feeds packets until the ring is full, spread secondsPerLine apart; lines has 8192 entries.
inline void FillRing(TMonitor& monitor, TManualClock& clock, const std::vector<std::string>& lines,
                     double secondsPerLine) {
    for (int i = 0; i < MaxReads; ++i) {
        monitor.ParsePacketLine(nullptr, lines[static_cast<size_t>(i & 8191)]);
        clock.AdvanceSeconds(secondsPerLine);
    }
}

} // namespace corvane::bench
