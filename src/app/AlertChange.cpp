#include "app/AlertChange.h"

#include "app/AppIni.h"
#include "app/SettingKeys.h"
#include "store/ActivityStore.h"
#include "util/untConst.h"

namespace corvane {

namespace {

int32_t RoundedGap(float gap) {
    return static_cast<int32_t>(gap + 0.5f);
}

// The newest read of the record, as the alerts judged it: the time of its newest read held.
TDateTime NewestRead(const TStore& store, TAlertKind kind, uint16_t index) {
    int32_t newest = NoRead;
    switch (kind) {
    case TAlertKind::Sensor:
        return store.Sensors[index].Stats.LastTime;
    case TAlertKind::Repeat:
        newest = store.Repeats[index].Newest;
        break;
    case TAlertKind::Entry:
        newest = store.Entries[index].Newest;
        break;
    }
    return newest == NoRead ? NoTime : store.Reads[newest].Time;
}

int32_t UsualGap(const TStore& store, TAlertKind kind, uint16_t index) {
    if (kind == TAlertKind::Sensor) {
        const TStats& st = store.Sensors[index].Stats;
        return TAlerts::UsualGapKnown(st) ? RoundedGap(st.AvgGap) : -1;
    }
    float gap = 0;
    return store.Alerts.OwnerUsualGap(kind, static_cast<uint8_t>(index), gap) ? RoundedGap(gap)
                                                                              : -1;
}

void Name(const TStore& store, TAlertKind kind, uint16_t index, TAlertChange& c) {
    switch (kind) {
    case TAlertKind::Sensor: {
        c.Id = SerialToHex(store.Sensors[index].SerNo);
        char buffer[NameMax + 1];
        c.Label = store.SensorLabel(index, buffer);
        break;
    }
    case TAlertKind::Repeat:
        c.Id = std::string(1, store.Repeats[index].Id);
        c.Label = c.Id;
        break;
    case TAlertKind::Entry:
        c.Id = std::to_string(int(store.Entries[index].Id));
        c.Label = store.Entries[index].Name.View();
        break;
    }
}

// What the record is behind, and what is behind it, as the alerts judged the tick. A cause is
// named as the state messages name it: "repeater/a", "entry/3".
void Explain(const TStore& store, TAlertKind kind, uint16_t index, TAlertChange& c) {
    const TAlertCause cause = store.Alerts.Cause(kind, index);
    if (cause.Any())
        c.Behind = cause.Kind == TAlertKind::Repeat
                       ? "repeater/" + std::string(1, store.Repeats[cause.Index].Id)
                       : "entry/" + std::to_string(int(store.Entries[cause.Index].Id));
    if (kind != TAlertKind::Sensor && c.Event != TAlertEvent::Back)
        c.BehindCount = store.Alerts.SensorsBehind(kind, static_cast<uint8_t>(index));
}

} // namespace

std::string_view AlertEventName(TAlertEvent event) {
    switch (event) {
    case TAlertEvent::Late:
        return "late";
    case TAlertEvent::Silent:
        return "silent";
    case TAlertEvent::Back:
        break;
    }
    return "back";
}

std::string_view AlertKindName(TAlertKind kind) {
    switch (kind) {
    case TAlertKind::Sensor:
        return "sensor";
    case TAlertKind::Repeat:
        return "repeater";
    case TAlertKind::Entry:
        break;
    }
    return "entry";
}

TAlertChange MakeAlertChange(const TStore& store, TAlertKind kind, uint16_t index,
                             TAlertState state, TDateTime now) {
    TAlertChange c;
    c.Kind = kind;
    c.Event = state == TAlertState::Late     ? TAlertEvent::Late
              : state == TAlertState::Silent ? TAlertEvent::Silent
                                             : TAlertEvent::Back;
    Name(store, kind, index, c);
    // Back: the read that ends the silence is not yet the newest seen.
    c.SilenceS = store.Alerts.Silence(kind, index, now);
    if (c.Event != TAlertEvent::Back || c.SilenceS < 0) {
        const TDateTime last = NewestRead(store, kind, index);
        c.SilenceS = last == NoTime ? -1 : SecondsDiff(last, now);
    }
    c.UsualGapS = UsualGap(store, kind, index);
    Explain(store, kind, index, c);
    return c;
}

TAlertOutSettings ReadAlertOutSettings(const TIniFile& file) {
    const std::string section = kSectionAlerts;
    TAlertOutSettings s;
    s.Notify = file.ReadBool(section, "Notify", s.Notify);
    s.Command = file.ReadString(section, "Command", "");
    return s;
}

TAlertChangeFeed::TAlertChangeFeed(TStore& store) : store_(store) {
    subscribed_ = store_.Alerts.Subscribe(this);
}

TAlertChangeFeed::~TAlertChangeFeed() {
    store_.Alerts.Unsubscribe(this);
}

void TAlertChangeFeed::AddOutlet(TAlertOutlet* outlet) {
    for (auto& slot : outlets_)
        if (slot == nullptr || slot == outlet) {
            slot = outlet;
            return;
        }
}

void TAlertChangeFeed::RemoveOutlet(TAlertOutlet* outlet) {
    for (auto& slot : outlets_)
        if (slot == outlet)
            slot = nullptr;
}

void TAlertChangeFeed::AlertStateChanged(TAlertKind kind, uint16_t index, TAlertState state) {
    bool any = false;
    for (TAlertOutlet* o : outlets_)
        any = any || o != nullptr;
    // A muted record keeps its state for the views only.
    if (!any || store_.Alerts.Muted(kind, index))
        return;
    const TAlertChange change = MakeAlertChange(store_, kind, index, state, store_.Clock().Now());
    for (TAlertOutlet* o : outlets_)
        if (o != nullptr)
            o->AlertChanged(change);
}

void TAlertChangeFeed::AlertsCleared() {
    for (TAlertOutlet* o : outlets_)
        if (o != nullptr)
            o->AlertsCleared();
}

} // namespace corvane
