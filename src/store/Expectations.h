// What the user expects of single devices, from sections [Sensors], [Repeaters] and [Entries] of
// the settings file: a usual gap to judge the device against instead of the one its reads show,
// and whether its alerts are muted. Sensors are keyed by serial number, repeaters by their
// character, entry points by their number, so that a setting holds across runs and Clear All.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace corvane {

struct TExpectation {
    int32_t GapSec = 0; // the usual gap to judge against; 0: the one the reads show
    bool Mute = false;  // no alert lines (nor anything else that tells of a change) for it

    bool Any() const { return GapSec > 0 || Mute; }
    bool operator==(const TExpectation&) const = default;
};

class TExpectations {
public:
    // Replaces the sensor's expectation; one without any setting is removed.
    void SetSensor(int64_t serNo, TExpectation e);
    void SetRepeater(char id, TExpectation e) { repeaters_[static_cast<unsigned char>(id)] = e; }
    void SetEntry(uint8_t id, TExpectation e) { entries_[id] = e; }

    // A sensor without a setting has the default one. No allocation: asked on the packet path.
    TExpectation Sensor(int64_t serNo) const;
    TExpectation Repeater(char id) const { return repeaters_[static_cast<unsigned char>(id)]; }
    TExpectation Entry(uint8_t id) const { return entries_[id]; }

    // The sensors with a setting, by serial number.
    const std::vector<std::pair<int64_t, TExpectation>>& Sensors() const { return sensors_; }

private:
    std::vector<std::pair<int64_t, TExpectation>> sensors_; // sorted by serial number
    std::array<TExpectation, 256> repeaters_{};
    std::array<TExpectation, 256> entries_{};
};

} // namespace corvane
