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

void TAlerts::SetExpectations(TExpectations expectations) {
    expect_ = std::move(expectations);
    rowExpectKnown_.fill(false);
}

TExpectation TAlerts::SensorExpectation(uint16_t row) const {
    const int64_t serNo = store_.Sensors[row].SerNo;
    if (!rowExpectKnown_[row] || rowExpectSerNo_[row] != serNo) {
        rowExpect_[row] = expect_.Sensor(serNo);
        rowExpectSerNo_[row] = serNo;
        rowExpectKnown_[row] = true;
    }
    return rowExpect_[row];
}

TExpectation TAlerts::Expectation(TAlertKind kind, uint16_t index) const {
    if (!InUse(kind, index))
        return {};
    switch (kind) {
    case TAlertKind::Sensor:
        return SensorExpectation(index);
    case TAlertKind::Repeat:
        return expect_.Repeater(store_.Repeats[index].Id);
    default:
        return expect_.Entry(store_.Entries[index].Id);
    }
}

bool TAlerts::InUse(TAlertKind kind, uint16_t index) const {
    switch (kind) {
    case TAlertKind::Sensor:
        return index < store_.SensorCount;
    case TAlertKind::Repeat:
        return index < store_.RepeatCount;
    default:
        return index < store_.EntryCount;
    }
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

const TAlerts::TTrack& TAlerts::Track(TAlertKind kind, uint16_t index) const {
    return const_cast<TAlerts*>(this)->Track(kind, index);
}

TAlertState TAlerts::State(TAlertKind kind, uint16_t index) const {
    return Track(kind, index).State;
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
        if (!Muted(kind, index))
            WriteLine(kind, index, " back after ", SecondsDiff(track.LastRead, now), nullptr);
        SetState(kind, track, TAlertState::Reporting);
        Notify(kind, index, TAlertState::Reporting);
        // Records behind this one that stay late or silent are so of their own now.
        if (track.Dependants > 0)
            GiveCauses(now);
    }
    track.LastRead = now;
}

int32_t TAlerts::Silence(TAlertKind kind, uint16_t index, TDateTime now) const {
    const size_t count = kind == TAlertKind::Sensor   ? sensors_.size()
                         : kind == TAlertKind::Repeat ? repeats_.size()
                                                      : entries_.size();
    if (index >= count)
        return -1;
    const TTrack& track = Track(kind, index);
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

bool TAlerts::UsualGap(TAlertKind kind, uint16_t index, float& gap) const {
    if (!InUse(kind, index))
        return false;
    if (const TExpectation x = Expectation(kind, index); x.GapSec > 0) {
        gap = static_cast<float>(x.GapSec);
        return true;
    }
    if (kind != TAlertKind::Sensor)
        return OwnerUsualGap(kind, static_cast<uint8_t>(index), gap);
    const TStats& st = store_.Sensors[index].Stats;
    if (!UsualGapKnown(st))
        return false;
    gap = st.AvgGap;
    return true;
}

void TAlerts::Judge(TDateTime now) {
    if (!Settings.Alerts)
        return;
    risenCount_ = 0;
    JudgeRows(now);
    float gap = 0;
    // An expected gap judges a record from its first read on, also once its reads expired: it
    // is against the newest read seen that the silence is measured then.
    for (uint8_t r = 0; r < store_.RepeatCount; ++r) {
        if (const TExpectation x = expect_.Repeater(store_.Repeats[r].Id); x.GapSec > 0) {
            if (repeats_[r].LastRead != NoTime)
                JudgeOne(TAlertKind::Repeat, r, repeats_[r], repeats_[r].LastRead,
                         static_cast<float>(x.GapSec), now);
        } else if (OwnerUsualGap(TAlertKind::Repeat, r, gap)) {
            JudgeOne(TAlertKind::Repeat, r, repeats_[r],
                     store_.Reads[store_.Repeats[r].Newest].Time, gap, now);
        }
    }
    for (uint8_t e = 0; e < store_.EntryCount; ++e) {
        if (const TExpectation x = expect_.Entry(store_.Entries[e].Id); x.GapSec > 0) {
            if (entries_[e].LastRead != NoTime)
                JudgeOne(TAlertKind::Entry, e, entries_[e], entries_[e].LastRead,
                         static_cast<float>(x.GapSec), now);
        } else if (OwnerUsualGap(TAlertKind::Entry, e, gap)) {
            JudgeOne(TAlertKind::Entry, e, entries_[e], store_.Reads[store_.Entries[e].Newest].Time,
                     gap, now);
        }
    }
    GiveCauses(now);
    for (int32_t k = 0; k < risenCount_; ++k) {
        const TRise& rise = risen_[k];
        TTrack& track = Track(rise.Kind, rise.Index);
        track.Risen = false;
        if (!Muted(rise.Kind, rise.Index))
            WriteStateLine(rise.Kind, rise.Index, track.State, rise.Silence, rise.Gap, track.Cause);
        Notify(rise.Kind, rise.Index, track.State);
    }
    risenCount_ = 0;
}

void TAlerts::JudgeRows(TDateTime now) {
    for (uint16_t row = 0; row < store_.SensorCount; ++row) {
        TTrack& track = sensors_[row];
        if (const TExpectation x = SensorExpectation(row); x.GapSec > 0) {
            if (track.LastRead != NoTime)
                JudgeOne(TAlertKind::Sensor, row, track, track.LastRead,
                         static_cast<float>(x.GapSec), now);
            continue;
        }
        const TStats& st = store_.Sensors[row].Stats;
        // A sensor whose reads all expired keeps its state until a read comes.
        if (UsualGapKnown(st))
            JudgeOne(TAlertKind::Sensor, row, track, st.LastTime, st.AvgGap, now);
    }
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
    SetState(kind, track, judged);
    if (!track.Risen) {
        track.Risen = true;
        risen_[risenCount_++] = TRise{kind, index, s, gap};
    }
}

void TAlerts::Notify(TAlertKind kind, uint16_t index, TAlertState state) {
    for (TAlertListener* l : listeners_)
        if (l != nullptr)
            l->AlertStateChanged(kind, index, state);
}

void TAlerts::WriteStateLine(TAlertKind kind, uint16_t index, TAlertState state, int32_t silence,
                             float gap, TAlertCause cause) {
    WriteLine(kind, index,
              state == TAlertState::Silent ? " silent: no read for " : " late: no read for ",
              silence, gap >= 0 ? &gap : nullptr, cause);
}

void TAlerts::WriteLine(TAlertKind kind, uint16_t index, std::string_view what, int32_t silence,
                        const float* gap, TAlertCause cause) {
    TTextBuffer<160> text;
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
    if (cause.Kind == TAlertKind::Repeat && cause.Any())
        text.Append(" (behind repeater ")
            .Append(std::string_view(&store_.Repeats[cause.Index].Id, 1))
            .Append(")");
    else if (cause.Any())
        text.Append(" (behind entry ").Append(entryLabels_[cause.Index].View()).Append(")");
    log_.AddLogLine(text.View());
}

void TAlerts::Clear() {
    sensors_.fill(TTrack{});
    repeats_.fill(TTrack{});
    entries_.fill(TTrack{});
    rowExpectKnown_.fill(false);
    risenCount_ = 0;
    late_ = silent_ = ownLate_ = ownSilent_ = behind_ = 0;
    for (TAlertListener* l : listeners_)
        if (l != nullptr)
            l->AlertsCleared();
}

} // namespace corvane
