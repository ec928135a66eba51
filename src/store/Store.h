// The activity store: fixed tables of entry points, repeaters and sensors and a ring of the most
// recent reads, each read threaded into its entry point's, repeater's and sensor's chain.
// Everything is allocated once, when the store is made; nothing on the path of a packet.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "util/untTime.h"
#include "util/untTree.h"

namespace corvane {

constexpr int MaxEntries = 32;
constexpr int MaxRepeats = 64;
constexpr int MaxSensors = 2000;
constexpr int MaxReads = 80000;
constexpr int EntrySlotMax = 4;
constexpr int RepeatSlotMax = 16;
constexpr int NameMax = 33;

constexpr uint8_t NoIndex = 255;   // no entry point / no repeater
constexpr uint16_t NoRow = 0xFFFF; // no sensor row
constexpr int32_t NoRead = -1;     // no read
constexpr TDateTime NoTime = -10000.0;

// Up to 33 8-bit characters; longer text is cut.
struct TName {
    char Text[NameMax + 1] = {};
    uint8_t Length = 0;

    void Assign(std::string_view s) {
        Length = static_cast<uint8_t>(s.size() < NameMax ? s.size() : NameMax);
        if (Length > 0) // an empty view may carry no pointer at all
            std::memcpy(Text, s.data(), Length);
        Text[Length] = '\0';
    }
    // The characters up to the first NUL, as the files and the views show a name.
    std::string_view View() const { return std::string_view(Text, std::strlen(Text)); }
    bool Empty() const { return Text[0] == '\0'; }
};

struct TRead {
    TDateTime Time; // on the run's time line: for durations
    TDateTime Wall; // the wall clock's instant: for the date-time shown
    uint16_t Crc;
    uint8_t Entry;
    int32_t EntryNewer;
    int32_t EntryOlder;
    uint8_t Repeat;
    int32_t RepeatNewer;
    int32_t RepeatOlder;
    uint16_t Sensor;
    int32_t SensorNewer;
    int32_t SensorOlder;
};

// How many reads of a chain are younger than a window, kept as a cursor that moves with time
// instead of walking the whole chain on every refresh (see TStore::RecentCount).
struct TRecentCursor {
    int32_t First = NoRead; // oldest read the last count took in
    int32_t Count = 0;      // reads from First to the chain's newest
};

struct TEntry {
    uint8_t Id;
    TName Name;
    int32_t Newest;
    int32_t Oldest;
    TRecentCursor Recent5;
    TRecentCursor Recent10;
};

struct TRepeat {
    char Id;
    int32_t Newest;
    int32_t Oldest;
    TRecentCursor Recent5;
    TRecentCursor Recent10;
};

struct TStats {
    TDateTime LastTime = NoTime; // on the run's time line
    TDateTime LastWall = NoTime; // the same read's wall instant, for showing
    int32_t Count = 0;
    int32_t Dups = 0;
    float AvgGap = 0;
    float RunAvg = 0;
    uint16_t MaxGap = 0;
    uint16_t MinGap = 65535;
};

struct TSlot {
    TDateTime LastTime;
    int64_t Count; // lifetime reads, like the entry points' and repeaters' totals
};

struct TSensor {
    int64_t SerNo; // first field: the tree's comparisons read it through the record pointer
    TName Name;
    uint8_t Kind;
    uint8_t Marked;
    uint8_t Data[11];
    TStats Stats;
    int32_t Newest;
    int32_t Oldest;
    uint8_t EntrySlotCount;
    uint8_t EntrySlotIds[EntrySlotMax];
    TSlot EntrySlots[EntrySlotMax];
    uint8_t RepeatSlotCount;
    char RepeatSlotIds[RepeatSlotMax];
    TSlot RepeatSlots[RepeatSlotMax];
};

// First position below n whose id equals value, else 255.
template <typename T>
uint8_t FindSlot(T value, const T* ids, uint8_t n) {
    for (uint8_t k = 0; k < n; ++k)
        if (ids[k] == value)
            return k;
    return NoIndex;
}

} // namespace corvane
