// The causes of the silence alerts, and the counts kept with them: each record's state and
// cause are counted as they change, and each repeater and entry point knows how many records
// name it, so that the counts are never made by a walk over the records.
#include "store/ActivityStore.h"
#include "store/Alerts.h"

namespace corvane {

TAlertCause TAlerts::Cause(TAlertKind kind, uint16_t index) const {
    return InUse(kind, index) ? Track(kind, index).Cause : TAlertCause{};
}

int32_t TAlerts::SensorsBehind(TAlertKind kind, uint8_t index) const {
    if (kind == TAlertKind::Sensor || !InUse(kind, index))
        return 0;
    return Track(kind, index).SensorsBehind;
}

void TAlerts::Count(const TTrack& track, int by) {
    if (track.State == TAlertState::Reporting)
        return;
    const bool late = track.State == TAlertState::Late;
    (late ? late_ : silent_) += by;
    if (track.Cause.Any())
        behind_ += by;
    else
        (late ? ownLate_ : ownSilent_) += by;
}

// A sensor counts for its cause and, when that is a repeater with a cause, for the entry point
// behind it too; a repeater hands its sensors on to its cause.
void TAlerts::LinkCause(TAlertKind kind, const TTrack& track, int by) {
    if (!track.Cause.Any())
        return;
    TTrack& cause = Track(track.Cause.Kind, track.Cause.Index);
    cause.Dependants += by;
    if (kind != TAlertKind::Sensor) {
        cause.SensorsBehind += by * track.SensorsBehind;
        return;
    }
    cause.SensorsBehind += by;
    if (track.Cause.Kind == TAlertKind::Repeat && cause.Cause.Any())
        Track(cause.Cause.Kind, cause.Cause.Index).SensorsBehind += by;
}

void TAlerts::SetState(TAlertKind kind, TTrack& track, TAlertState state) {
    Count(track, -1);
    if (state == TAlertState::Reporting) {
        LinkCause(kind, track, -1);
        track.Cause = {};
    }
    track.State = state;
    Count(track, +1);
}

TAlertCause TAlerts::CauseFor(TAlertKind kind, uint16_t index) const {
    auto down = [this](TAlertKind k, uint8_t i) {
        return i != NoIndex && InUse(k, i) && Track(k, i).State != TAlertState::Reporting;
    };
    if (kind == TAlertKind::Entry)
        return {};
    if (kind == TAlertKind::Sensor) {
        if (const uint8_t r = store_.SoleRepeat(index); down(TAlertKind::Repeat, r))
            return {TAlertKind::Repeat, r};
    }
    const uint8_t e = kind == TAlertKind::Sensor
                          ? store_.SoleEntry(index)
                          : store_.RepeatSoleEntry(static_cast<uint8_t>(index));
    if (down(TAlertKind::Entry, e))
        return {TAlertKind::Entry, e};
    return {};
}

void TAlerts::GiveCauses(TDateTime now) {
    // Repeaters first: a sensor's cause counts for its repeater's cause as well.
    for (uint8_t r = 0; r < store_.RepeatCount; ++r)
        if (repeats_[r].State != TAlertState::Reporting)
            SetCause(TAlertKind::Repeat, r, repeats_[r], CauseFor(TAlertKind::Repeat, r), now);
    for (uint16_t row = 0; row < store_.SensorCount; ++row)
        if (sensors_[row].State != TAlertState::Reporting)
            SetCause(TAlertKind::Sensor, row, sensors_[row], CauseFor(TAlertKind::Sensor, row),
                     now);
}

void TAlerts::SetCause(TAlertKind kind, uint16_t index, TTrack& track, TAlertCause cause,
                       TDateTime now) {
    if (track.Cause == cause)
        return;
    Count(track, -1);
    LinkCause(kind, track, -1);
    track.Cause = cause;
    LinkCause(kind, track, +1);
    Count(track, +1);
    if (track.Risen) // its line and notice follow with the rest of the tick's
        return;
    // A cause that came back first leaves the record late or silent of its own: an alert of
    // its own from now on, said as one.
    if (!cause.Any() && !Muted(kind, index)) {
        float gap = -1;
        if (!UsualGap(kind, index, gap))
            gap = -1;
        WriteStateLine(kind, index, track.State, SecondsDiff(track.LastRead, now), gap, cause);
    }
    for (TAlertListener* l : listeners_)
        if (l != nullptr)
            l->AlertCauseChanged(kind, index, cause);
}

} // namespace corvane
