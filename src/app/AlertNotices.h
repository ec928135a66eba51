// What the desktop's notifications say of the alert changes, and how often. Only a record with
// a cause of its own is told of (a sensor behind a silent repeater is part of the repeater's
// notice), and its return only when its going was told. The first change is told at once;
// those that follow within kEverySec of a notice wait and are told together in the next,
// each record once with its newest change.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/AlertChange.h"
#include "util/untTime.h"

namespace corvane {

// 8-bit texts, as the labels are.
struct TNotice {
    std::string Summary; // "Repeater a silent; 8 sensors behind it"
    std::string Body;    // "No read for 2400 s, usual gap 15 s"
    bool Urgent = false; // something went silent
};

// "Sensor Tank 7 late", or "Repeater a silent; 8 sensors behind it".
std::string NoticeTitle(const TAlertChange& change);
// "No read for 95 s, usual gap 30 s" or "Back after 130 s".
std::string NoticeDetail(const TAlertChange& change);

class TNoticePace {
public:
    static constexpr int kEverySec = 10;
    // A notice's lines about single records, at most; the rest are counted.
    static constexpr size_t kBodyLines = 6;

    // The shortest time between two notices; tests shorten it.
    int EverySec = kEverySec;

    void Add(const TAlertChange& change);
    // The notice due at now: what was added since the last one, told in one. Nothing while
    // nothing waits or the last notice was less than EverySec ago.
    std::optional<TNotice> Take(TDateTime now);
    // Seconds from now until Take gives what waits; -1 when nothing waits.
    double SecondsToNext(TDateTime now) const;
    // Clear All: the records are gone, and so is what was told of them.
    void Clear();

private:
    using TKey = std::pair<TAlertKind, std::string>;

    TNotice Together() const;

    std::vector<TAlertChange> waiting_; // one per record, in the order first added
    std::set<TKey> told_;               // records whose going was told and not their return
    TDateTime last_ = 0;
    bool sent_ = false;
};

} // namespace corvane
