#include "mqtt/StationRoll.h"

#include <algorithm>

namespace corvane {

namespace {

// Letters compare without regard to case ("east" before "North"); names equal that way are
// kept apart by their bytes.
bool NameBefore(const std::string& a, const std::string& b) {
    auto fold = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : int(u);
    };
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return fold(a[i]) < fold(b[i]);
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

} // namespace

const char* StationStateName(TStationRoll::TState state) {
    switch (state) {
    case TStationRoll::TState::Online:
        return "online";
    case TStationRoll::TState::Offline:
        return "offline";
    case TStationRoll::TState::Unknown:
        break;
    }
    return "no status";
}

size_t TStationRoll::PlaceOf(const std::string& name) const {
    const auto it = std::lower_bound(
        entries_.begin(), entries_.end(), name,
        [](const TEntry& e, const std::string& n) { return NameBefore(e.Name, n); });
    return size_t(it - entries_.begin());
}

TStationRoll::TChange TStationRoll::Apply(const TStationEvent& e) {
    using TKind = TStationEvent::TKind;
    TChange change;
    if (e.Kind == TKind::New) {
        if (Knows(e.Station))
            return change;
        if (rowOf_.size() <= e.Station)
            rowOf_.resize(size_t(e.Station) + 1, -1);
        const size_t row = PlaceOf(e.Message.Line);
        entries_.insert(entries_.begin() + std::ptrdiff_t(row), TEntry{e.Message.Line});
        for (int& r : rowOf_)
            if (r >= int(row))
                ++r;
        rowOf_[e.Station] = int(row);
        return {TChange::TKind::Added, row};
    }
    if (e.Kind != TKind::Online && e.Kind != TKind::Offline)
        return change;
    if (!Knows(e.Station))
        return change;
    const size_t row = size_t(rowOf_[e.Station]);
    const TState state = e.Kind == TKind::Online ? TState::Online : TState::Offline;
    if (entries_[row].State == state)
        return change;
    entries_[row].State = state;
    return {TChange::TKind::Changed, row};
}

bool TStationRoll::Knows(uint16_t station) const {
    return station < rowOf_.size() && rowOf_[station] >= 0;
}

void TStationRoll::Clear() {
    entries_.clear();
    rowOf_.clear();
}

size_t TStationRoll::Count(TState state) const {
    return size_t(std::count_if(entries_.begin(), entries_.end(),
                                [state](const TEntry& e) { return e.State == state; }));
}

} // namespace corvane
