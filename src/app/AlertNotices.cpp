#include "app/AlertNotices.h"

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

std::string RecordName(const TAlertChange& c) {
    switch (c.Kind) {
    case TAlertKind::Sensor:
        return "Sensor " + c.Label;
    case TAlertKind::Repeat:
        return "Repeater " + c.Id;
    case TAlertKind::Entry:
        break;
    }
    return "Entry " + c.Label;
}

std::string Counted(int64_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

} // namespace

std::string NoticeTitle(const TAlertChange& c) {
    std::string title = RecordName(c) + " " + std::string(AlertEventName(c.Event));
    if (c.BehindCount > 0 && c.Event != TAlertEvent::Back) {
        title += "; " + Counted(c.BehindCount, "sensor", "sensors") + " behind it";
    }
    return title;
}

std::string NoticeDetail(const TAlertChange& c) {
    if (c.Event == TAlertEvent::Back)
        return c.SilenceS < 0 ? "Back" : "Back after " + std::to_string(c.SilenceS) + " s";
    std::string detail = "No read for " + std::to_string(c.SilenceS) + " s";
    if (c.UsualGapS >= 0)
        detail += ", usual gap " + std::to_string(c.UsualGapS) + " s";
    return detail;
}

void TNoticePace::Add(const TAlertChange& change) {
    const TKey key{change.Kind, change.Id};
    const bool back = change.Event == TAlertEvent::Back;
    // Its cause tells of it; its return is told only when its going was.
    if (!change.OwnCause() && !back)
        return;
    auto at = std::find_if(waiting_.begin(), waiting_.end(), [&](const TAlertChange& w) {
        return w.Kind == change.Kind && w.Id == change.Id;
    });
    if (back && told_.count(key) == 0) {
        // Gone and back before anything was told: there is nothing to tell.
        if (at != waiting_.end())
            waiting_.erase(at);
        return;
    }
    if (at != waiting_.end())
        *at = change;
    else
        waiting_.push_back(change);
}

double TNoticePace::SecondsToNext(TDateTime now) const {
    if (waiting_.empty())
        return -1;
    if (!sent_)
        return 0;
    return std::max(0.0, EverySec - (now - last_) * 86400.0);
}

std::optional<TNotice> TNoticePace::Take(TDateTime now) {
    // Whole milliseconds, so that 10 s measured on day fractions is never 9.999 s.
    if (waiting_.empty() || (sent_ && std::llround((now - last_) * 86400000.0) < EverySec * 1000))
        return std::nullopt;
    TNotice notice = waiting_.size() == 1
                         ? TNotice{NoticeTitle(waiting_[0]), NoticeDetail(waiting_[0]),
                                   waiting_[0].Event == TAlertEvent::Silent}
                         : Together();
    for (const TAlertChange& c : waiting_) {
        if (c.Event == TAlertEvent::Back)
            told_.erase({c.Kind, c.Id});
        else
            told_.insert({c.Kind, c.Id});
    }
    waiting_.clear();
    last_ = now;
    sent_ = true;
    return notice;
}

// "2 silent, 1 late, 1 back", and a line for each record.
TNotice TNoticePace::Together() const {
    int64_t counts[3] = {};
    for (const TAlertChange& c : waiting_)
        ++counts[static_cast<int>(c.Event)];
    TNotice notice;
    for (TAlertEvent e : {TAlertEvent::Silent, TAlertEvent::Late, TAlertEvent::Back}) {
        if (counts[static_cast<int>(e)] == 0)
            continue;
        if (!notice.Summary.empty())
            notice.Summary += ", ";
        notice.Summary += std::to_string(counts[static_cast<int>(e)]) + " ";
        notice.Summary += AlertEventName(e);
    }
    notice.Urgent = counts[static_cast<int>(TAlertEvent::Silent)] > 0;
    for (size_t i = 0; i < waiting_.size() && i < kBodyLines; ++i) {
        if (i > 0)
            notice.Body += '\n';
        notice.Body += NoticeTitle(waiting_[i]);
    }
    if (waiting_.size() > kBodyLines)
        notice.Body += "\nand " + std::to_string(waiting_.size() - kBodyLines) + " more";
    return notice;
}

void TNoticePace::Clear() {
    waiting_.clear();
    told_.clear();
}

} // namespace corvane
