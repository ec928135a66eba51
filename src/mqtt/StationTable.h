// The stations under one topic root, as the messages' topics name them: <Topic>/<Station>/line
// and <Topic>/<Station>/status. A broker may hand a reader any topic at all, so what can be no
// station's is turned away and counted: a topic longer than any station's, one that holds a
// wildcard or a control character, bytes that are no UTF-8 of Latin-1 characters (the publisher
// writes a Latin-1 station name as UTF-8), a name that is empty or too long. The table is
// bounded: stations past MaxStations are counted and never heard.
// Qt-free; used by the reading network's thread alone.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvane {

enum class TTopicFault : uint8_t {
    None,
    TooLong,     // the topic is longer than MaxTopicBytes
    BadName,     // a wildcard, a control character, bytes of no Latin-1 text, an empty or long name
    Full,        // a new station while the table holds MaxStations
    NotStations, // outside the root, or another kind of message than line and status
};
constexpr size_t kTopicFaults = 5;

enum class TTopicKind : uint8_t { Line, Status };

class TStationTable {
public:
    static constexpr size_t MaxStations = 256;
    static constexpr size_t MaxNameBytes = 128; // as the broker has it, in UTF-8
    static constexpr size_t MaxTopicBytes = 512;

    // root: the topic root as the broker has it (UTF-8), e.g. "corvane".
    explicit TStationTable(std::string root);

    struct TTopic {
        TTopicFault Fault = TTopicFault::None;
        TTopicKind Kind = TTopicKind::Line;
        int Station = -1; // index into Names
        bool New = false; // the station was added by this topic
    };
    // The station and kind of a message's topic, adding the station when it is new.
    TTopic Classify(std::string_view topic);

    // Each station's name in Latin-1, by index, in the order first heard.
    const std::vector<std::string>& Names() const { return names_; }
    uint64_t Dropped(TTopicFault fault) const { return dropped_[size_t(fault)]; }
    uint64_t DroppedTotal() const;

private:
    TTopic Drop(TTopicFault fault);

    std::string prefix_; // root and '/'
    std::unordered_map<std::string, int> index_;
    std::vector<std::string> names_;
    std::array<uint64_t, kTopicFaults> dropped_{};
    std::string scratch_;
};

// The station name of a topic level (UTF-8) as Latin-1; false when the level cannot be one.
bool StationNameFromLevel(std::string_view level, std::string& latin1);

} // namespace corvane
