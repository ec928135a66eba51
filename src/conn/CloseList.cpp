#include "conn/CloseList.h"

#include <algorithm>

namespace corvane {

int TCloseList::TEntry::Position() const {
    const auto& entries = list_.entries_;
    const auto at = std::find_if(entries.begin(), entries.end(),
                                 [this](const auto& entry) { return entry.get() == this; });
    return at == entries.end() ? -1 : int(at - entries.begin());
}

void TCloseList::StateChanged(TConn& conn, TConnState state) {
    if (state == TConnState::Open) {
        if (conn.CloseItem == nullptr) {
            entries_.push_back(std::make_unique<TEntry>(*this));
            conn.CloseItem = entries_.back().get();
        }
        return;
    }
    const auto at = std::find_if(entries_.begin(), entries_.end(), [&conn](const auto& entry) {
        return entry.get() == conn.CloseItem;
    });
    if (at == entries_.end())
        return;
    conn.CloseItem = nullptr;
    entries_.erase(at);
}

} // namespace corvane
