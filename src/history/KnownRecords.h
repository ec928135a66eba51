// The known sensors, repeaters and entry points that have gone: the history database remembers
// every one ever heard, the store only those heard within MaxAge. These are the ones the store
// has let go, as the missing list and the service's start line tell of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

class TSqlite;

enum class TKnownKind : uint8_t { Sensor, Repeater, Entry };

struct TKnownRecord {
    TKnownKind Kind = TKnownKind::Sensor;
    // 8-bit text, as the receiver sent it: a sensor's name (else its serial number as 16 hex
    // digits), a repeater's letter, an entry point's name (else "Entry <n>").
    std::string Label;
    int64_t LastMs = 0;  // the last read, Unix ms
    float UsualGap = -1; // seconds; -1 while unknown
    // Sensors only: the route of the last read. Entry is the entry point's name, "Entry <n>"
    // when the entries table has none, empty when no entry point is known; Repeater is '\0'
    // when the sensor was heard directly.
    std::string Entry;
    char Repeater = '\0';
};

// A record is gone when its last read is older than maxAge seconds at the wall instant
// wallNowMs, its age counted in whole seconds, rounded, as the store counts it when it lets a
// read go: exactly then it has left the store.

// Every known record whose last read is gone, newest first (equal instants by kind, then label);
// false with error when the file cannot be read.
bool LoadGoneRecords(TSqlite& db, int64_t wallNowMs, int32_t maxAge,
                     std::vector<TKnownRecord>& records, std::string& error);

// How many known sensors are gone; -1 when the file cannot be read.
int64_t CountGoneSensors(TSqlite& db, int64_t wallNowMs, int32_t maxAge);

// The service's start line: "<n> known sensors not heard for over <maxAge> s", or empty when
// none is gone or the file cannot be read.
std::string MissingSensorsLine(TSqlite& db, int64_t wallNowMs, int32_t maxAge);

// Opens the history file at path for reading beside a run that records into it; false with
// error ("no history database at <path>" when there is none yet).
bool OpenHistoryToRead(TSqlite& db, const std::string& path, std::string& error);

} // namespace corvane
