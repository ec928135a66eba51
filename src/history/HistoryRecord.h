// What the intake hands the history writer: a registered read, copied whole so that the writer's
// thread never looks into the store, and a record's change of alert state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/Alerts.h"
#include "store/Store.h"

namespace corvane {

struct THistoryRead {
    int64_t WallMs = 0; // the wall clock's instant, Unix milliseconds
    int64_t MonoMs = 0; // on the run's steady time line, from the run's start
    int64_t SerNo = 0;
    float UsualGap = -1;  // the sensor's usual gap in seconds; -1 while unknown
    float RepeatGap = -1; // the same for its repeater and entry point
    float EntryGap = -1;
    int16_t UtcOffsetMin = 0; // local time less UTC at the read's instant
    uint8_t Kind = 0;
    char Repeater = '\0';    // '\0': heard directly
    uint8_t Entry = NoIndex; // the entry number; 255: none
    bool Duplicate = false;
    uint8_t Data[11] = {}; // packet bytes 0..10, the type code first
    uint16_t Crc = 0;
    TName EntryName; // as the packet carried them (8-bit text); empty: none
    TName SensorName;
};

struct THistoryAlert {
    TAlertKind Kind = TAlertKind::Sensor;
    int64_t Id = 0; // serial number, repeater character or entry number
    TAlertState State = TAlertState::Reporting;
};

// Section [History] of the settings file.
struct THistorySettings {
    bool Keep = true;      // false: no database at all
    int32_t KeepDays = 30; // reads older than this are pruned
    int64_t MaxMB = 4096;  // and the oldest while the reads take more than this
};

// What the runs table says of this run.
struct THistoryRun {
    std::string Version;
    std::string Station;     // 8-bit, as the settings give it
    TDateTime StartTime = 0; // the run's time line at its start: mono_ms 0
    int64_t StartWallMs = 0; // the wall clock then
    int16_t UtcOffsetMin = 0;
};

std::string_view AlertStateName(TAlertState state); // "reporting", "late", "silent"

} // namespace corvane
