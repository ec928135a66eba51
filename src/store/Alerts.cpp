#include "store/Alerts.h"

#include "store/ActivityStore.h"
#include "util/TextBuffer.h"

namespace corvane {

namespace {

// The gaps an owner's usual gap is taken over: those between its last nine reads.
constexpr int OwnerGaps = 8;

} // namespace

bool TAlerts::Subscribe(TAlertListener* listener) {
    for (auto& slot : listeners_)
        if (slot == nullptr || slot == listener) {
            slot = listener;
            return true;
        }
    return false;
}

void TAlerts::Unsubscribe(TAlertListener* listener) {
    for (auto& slot : listeners_)
        if (slot == listener)
            slot = nullptr;
}

void TAlerts::SetEntryLabel(uint8_t entry, std::string_view label) {
    entryLabels_[entry].Assign(label);
}

TAlerts::TTrack& TAlerts::Track(TAlertKind kind, uint16_t index) {
    switch (kind) {
    case TAlertKind::Sensor:
        return sensors_[index];
    case TAlertKind::Repeat:
        return repeats_[index];
    default:
        return entries_[index];
    }
}

TAlertState TAlerts::State(TAlertKind kind, uint16_t index) const {
    return const_cast<TAlerts*>(this)->Track(kind, index).State;
}

void TAlerts::OnRead(uint16_t row, uint8_t repeat, uint8_t entry, TDateTime now) {
    Back(TAlertKind::Sensor, row, sensors_[row], now);
    if (repeat != NoIndex)
        Back(TAlertKind::Repeat, repeat, repeats_[repeat], now);
    if (entry != NoIndex)
        Back(TAlertKind::Entry, entry, entries_[entry], now);
}

void TAlerts::Back(TAlertKind kind, uint16_t index, TTrack& track, TDateTime now) {
    if (track.State != TAlertState::Reporting) {
        WriteLine(kind, index, " back after ", SecondsDiff(track.LastRead, now), nullptr);
        SetState(kind, index, track, TAlertState::Reporting);
    }
    track.LastRead = now;
}

int32_t TAlerts::Silence(TAlertKind kind, uint16_t index, TDateTime now) const {
    const size_t count = kind == TAlertKind::Sensor   ? sensors_.size()
                         : kind == TAlertKind::Repeat ? repeats_.size()
                                                      : entries_.size();
    if (index >= count)
        return -1;
    const TTrack& track = const_cast<TAlerts*>(this)->Track(kind, index);
    return track.LastRead == NoTime ? -1 : SecondsDiff(track.LastRead, now);
}

bool TAlerts::OwnerUsualGap(TAlertKind kind, uint8_t index, float& gap) const {
    const bool entry = kind == TAlertKind::Entry;
    const auto& reads = store_.Reads;
    int32_t i = entry ? store_.Entries[index].Newest : store_.Repeats[index].Newest;
    int32_t gaps = 0;
    int64_t sum = 0;
    while (i != NoRead && gaps < OwnerGaps) {
        const int32_t older = entry ? reads[i].EntryOlder : reads[i].RepeatOlder;
        if (older == NoRead)
            break;
        sum += SecondsDiff(reads[older].Time, reads[i].Time);
        ++gaps;
        i = older;
    }
    if (gaps < 2)
        return false;
    gap = static_cast<float>(static_cast<double>(sum) / gaps);
    return true;
}

void TAlerts::Judge(TDateTime now) {
    if (!Settings.Alerts)
        return;
    for (uint16_t row = 0; row < store_.SensorCount; ++row) {
        const TStats& st = store_.Sensors[row].Stats;
        // A sensor whose reads all expired keeps its state until a read comes.
        if (UsualGapKnown(st))
            JudgeOne(TAlertKind::Sensor, row, sensors_[row], st.LastTime, st.AvgGap, now);
    }
    float gap = 0;
    for (uint8_t r = 0; r < store_.RepeatCount; ++r)
        if (OwnerUsualGap(TAlertKind::Repeat, r, gap))
            JudgeOne(TAlertKind::Repeat, r, repeats_[r],
                     store_.Reads[store_.Repeats[r].Newest].Time, gap, now);
    for (uint8_t e = 0; e < store_.EntryCount; ++e)
        if (OwnerUsualGap(TAlertKind::Entry, e, gap))
            JudgeOne(TAlertKind::Entry, e, entries_[e], store_.Reads[store_.Entries[e].Newest].Time,
                     gap, now);
}

void TAlerts::JudgeOne(TAlertKind kind, uint16_t index, TTrack& track, TDateTime last, float gap,
                       TDateTime now) {
    if (track.State == TAlertState::Silent)
        return;
    const int32_t s = SecondsDiff(last, now);
    if (s < Settings.AlertMinSec)
        return;
    TAlertState judged = TAlertState::Reporting;
    if (s > static_cast<double>(Settings.SilentFactor) * gap)
        judged = TAlertState::Silent;
    else if (s > static_cast<double>(Settings.LateFactor) * gap)
        judged = TAlertState::Late;
    // Only a read lowers a state: a usual gap that grows as old reads expire does not end it.
    if (judged <= track.State)
        return;
    WriteLine(kind, index,
              judged == TAlertState::Silent ? " silent: no read for " : " late: no read for ", s,
              &gap);
    SetState(kind, index, track, judged);
}

void TAlerts::SetState(TAlertKind kind, uint16_t index, TTrack& track, TAlertState state) {
    auto tally = [this](TAlertState st, int32_t by) {
        if (st == TAlertState::Late)
            late_ += by;
        else if (st == TAlertState::Silent)
            silent_ += by;
    };
    tally(track.State, -1);
    tally(state, +1);
    track.State = state;
    for (TAlertListener* l : listeners_)
        if (l != nullptr)
            l->AlertStateChanged(kind, index, state);
}

void TAlerts::WriteLine(TAlertKind kind, uint16_t index, std::string_view what, int32_t silence,
                        const float* gap) {
    TTextBuffer<128> text;
    switch (kind) {
    case TAlertKind::Sensor: {
        char buffer[NameMax + 1];
        text.Append("Sensor ").Append(store_.SensorLabel(index, buffer));
        break;
    }
    case TAlertKind::Repeat:
        text.Append("Repeater ").Append(std::string_view(&store_.Repeats[index].Id, 1));
        break;
    case TAlertKind::Entry:
        text.Append("Entry ").Append(entryLabels_[index].View());
        break;
    }
    text.Append(what).AppendInt(silence).Append(" s");
    if (gap != nullptr)
        text.Append(", usual gap ").AppendInt(static_cast<int64_t>(*gap + 0.5)).Append(" s");
    log_.AddLogLine(text.View());
}

void TAlerts::Clear() {
    sensors_.fill(TTrack{});
    repeats_.fill(TTrack{});
    entries_.fill(TTrack{});
    late_ = silent_ = 0;
    for (TAlertListener* l : listeners_)
        if (l != nullptr)
            l->AlertsCleared();
}

} // namespace corvane
