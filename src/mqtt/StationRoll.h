// The stations a broker names under the topic root, each with what its retained status said,
// as the reading subscriber's events tell them: for choosing stations to read, before any of
// them is read. Kept in name order (letters without regard to case, then byte by byte), so
// that a station heard late takes its place among the others rather than at the end.
// Qt-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mqtt/MqttSubscriber.h"

namespace corvane {

class TStationRoll {
public:
    enum class TState : uint8_t { Unknown, Online, Offline };
    struct TEntry {
        std::string Name; // Latin-1
        TState State = TState::Unknown;
    };
    // What one event did to the roll: a row added at Row, a row's state changed, or nothing.
    struct TChange {
        enum class TKind : uint8_t { None, Added, Changed };
        TKind Kind = TKind::None;
        size_t Row = 0;
    };

    TChange Apply(const TStationEvent& event);
    void Clear();

    const std::vector<TEntry>& Entries() const { return entries_; }
    size_t Count(TState state) const;
    // Whether the subscriber's station index has a row, and the row a new name would take:
    // for a view that must hear of a row before it is there.
    bool Knows(uint16_t station) const;
    size_t PlaceOf(const std::string& name) const;

private:
    std::vector<TEntry> entries_;
    // The subscriber's station index -> row; -1 for an index not heard yet.
    std::vector<int> rowOf_;
};

// "online", "offline", or "no status" for a station that has published none.
const char* StationStateName(TStationRoll::TState state);

} // namespace corvane
