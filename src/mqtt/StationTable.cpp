#include "mqtt/StationTable.h"

namespace corvane {

TStationTable::TStationTable(std::string root) : prefix_(std::move(root) + '/') {}

bool StationNameFromLevel(std::string_view level, std::string& latin1) {
    latin1.clear();
    if (level.empty() || level.size() > TStationTable::MaxNameBytes)
        return false;
    for (size_t i = 0; i < level.size(); ++i) {
        const auto c = static_cast<unsigned char>(level[i]);
        if (c == '+' || c == '#' || c < 0x20 || c == 0x7F)
            return false;
        if (c < 0x80) {
            latin1 += char(c);
            continue;
        }
        // Two bytes for U+0080..U+00FF, nothing else: the publisher's names are Latin-1.
        if ((c != 0xC2 && c != 0xC3) || i + 1 >= level.size())
            return false;
        const auto next = static_cast<unsigned char>(level[++i]);
        if ((next & 0xC0) != 0x80)
            return false;
        const unsigned cp = ((c & 0x1F) << 6) | (next & 0x3F);
        if (cp < 0xA0) // C1 control characters are no name either
            return false;
        latin1 += char(cp);
    }
    return true;
}

TStationTable::TTopic TStationTable::Drop(TTopicFault fault) {
    ++dropped_[size_t(fault)];
    TTopic t;
    t.Fault = fault;
    return t;
}

uint64_t TStationTable::DroppedTotal() const {
    uint64_t sum = 0;
    for (const uint64_t n : dropped_)
        sum += n;
    return sum;
}

TStationTable::TTopic TStationTable::Classify(std::string_view topic) {
    if (topic.size() > MaxTopicBytes)
        return Drop(TTopicFault::TooLong);
    if (topic.substr(0, prefix_.size()) != prefix_)
        return Drop(TTopicFault::NotStations);
    const std::string_view rest = topic.substr(prefix_.size());
    const size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return Drop(TTopicFault::NotStations);
    const std::string_view level = rest.substr(0, slash);
    const std::string_view kind = rest.substr(slash + 1);
    TTopic t;
    if (kind == "line")
        t.Kind = TTopicKind::Line;
    else if (kind == "status")
        t.Kind = TTopicKind::Status;
    else if (kind.find_first_of("+#") != std::string_view::npos)
        return Drop(TTopicFault::BadName);
    else
        return Drop(TTopicFault::NotStations);
    scratch_.assign(level);
    if (const auto it = index_.find(scratch_); it != index_.end()) {
        t.Station = it->second;
        return t;
    }
    std::string name;
    if (!StationNameFromLevel(level, name))
        return Drop(TTopicFault::BadName);
    if (names_.size() >= MaxStations)
        return Drop(TTopicFault::Full);
    t.Station = int(names_.size());
    t.New = true;
    index_.emplace(scratch_, t.Station);
    names_.push_back(std::move(name));
    return t;
}

} // namespace corvane
