// The retained messages that describe each sensor, repeater and entry point as it stands.
#include "mqtt/MqttPublisher.h"

#include <algorithm>

#include "mqtt/MqttNames.h"
#include "store/ActivityStore.h"
#include "util/untConst.h"

namespace corvane {

namespace {
// The newest held read's wall instant, as the packet messages give their time; null without one.
void LastSeen(TJsonText& j, const TStore& store, int32_t newest) {
    if (newest == NoRead)
        j.Null("last_seen");
    else
        j.Field("last_seen", FormatIsoTime(store.Reads[newest].Wall));
}

// What the device is behind, as the topic level of that device under the base: "repeater/a",
// "entry/7"; null while it is behind nothing late or silent.
void Behind(TJsonText& j, const TStore& store, TAlertKind kind, uint16_t index) {
    const TAlertCause cause = store.Alerts.Cause(kind, index);
    if (!cause.Any())
        j.Null("behind");
    else if (cause.Kind == TAlertKind::Repeat)
        j.Field("behind",
                "repeater/" + TopicLevel(std::string_view(&store.Repeats[cause.Index].Id, 1)));
    else
        j.Field("behind", "entry/" + std::to_string(int(store.Entries[cause.Index].Id)));
}

std::vector<uint8_t>& StatesOf(TAlertKind kind, std::vector<uint8_t>& sensors,
                               std::vector<uint8_t>& repeats, std::vector<uint8_t>& entries) {
    return kind == TAlertKind::Sensor ? sensors : kind == TAlertKind::Repeat ? repeats : entries;
}
} // namespace

void TMqttPublisher::OnStateChanged(TStore& store, TAlertKind kind, int index, TAlertState state) {
    std::vector<uint8_t>& states = StatesOf(kind, sensorStates_, repeatStates_, entryStates_);
    if (index < 0 || size_t(index) >= states.size())
        return;
    states[size_t(index)] = uint8_t(state);
    if (kind == TAlertKind::Sensor && index < store.SensorCount)
        PublishSensor(store, uint16_t(index));
    else if (kind == TAlertKind::Repeat && index < store.RepeatCount)
        PublishRepeater(store, uint8_t(index));
    else if (kind == TAlertKind::Entry && index < store.EntryCount)
        PublishEntry(store, uint8_t(index));
}

void TMqttPublisher::WatchAlerts(TStore& store) {
    if (store.Alerts.Subscribe(this))
        alertStore_ = &store;
}

void TMqttPublisher::AlertStateChanged(TAlertKind kind, uint16_t index, TAlertState state) {
    if (alertStore_)
        OnStateChanged(*alertStore_, kind, index, state);
}

void TMqttPublisher::AlertCauseChanged(TAlertKind kind, uint16_t index, TAlertCause) {
    const std::vector<uint8_t>& states = StatesOf(kind, sensorStates_, repeatStates_, entryStates_);
    if (alertStore_ && index < states.size())
        OnStateChanged(*alertStore_, kind, index, TAlertState(states[index]));
}

void TMqttPublisher::AlertsCleared() {
    // The devices are gone with the store's records; the next ones start as reporting.
    std::fill(sensorStates_.begin(), sensorStates_.end(), uint8_t(TAlertState::Reporting));
    std::fill(repeatStates_.begin(), repeatStates_.end(), uint8_t(TAlertState::Reporting));
    std::fill(entryStates_.begin(), entryStates_.end(), uint8_t(TAlertState::Reporting));
    for (auto* announced : {&sensorAnnounced_, &repeatAnnounced_, &entryAnnounced_})
        std::fill(announced->begin(), announced->end(), 0u);
}

// Skipped while the queue is more than half full: the state round after comes back for it,
// rather than pushing out messages that were there first.
void TMqttPublisher::Announce(std::vector<uint32_t>& announced, size_t index,
                              const TDiscoveryDevice& device) {
    const uint32_t connection = connections_.load();
    if (!settings_.Discovery || index >= announced.size() || announced[index] == connection)
        return;
    {
        std::lock_guard lock(queueMutex_);
        if (queued_ > size_t(QueueMax) / 2)
            return;
    }
    discoveryOut_.clear();
    discovery_.Messages(device, discoveryOut_);
    bool sent = true;
    for (const auto& [topic, payload] : discoveryOut_)
        sent = Send(topic, payload, 0, true) && sent;
    if (sent)
        announced[index] = connection;
}

void TMqttPublisher::PublishStates(TStore& store) {
    if (!running_ || !connected_.load())
        return; // the next round tells the broker; nothing is counted as dropped for it
    for (uint16_t row = 0; row < store.SensorCount; ++row)
        PublishSensor(store, row);
    for (uint8_t i = 0; i < store.RepeatCount; ++i)
        PublishRepeater(store, i);
    for (uint8_t i = 0; i < store.EntryCount; ++i)
        PublishEntry(store, i);
}

void TMqttPublisher::PublishSensor(TStore& store, uint16_t row) {
    const TSensor& s = store.Sensors[row];
    const TDateTime now = store.Clock().Now();
    char label[NameMax + 1];
    char serial[16];
    SerialToHex(s.SerNo, serial);
    TJsonText& j = json_.Begin();
    j.Field("state", DeviceStateName(TAlertState(sensorStates_[row])))
        .Field("label", store.SensorLabel(row, label))
        .Field("kind", SensorKindName(s.Kind));
    Behind(j, store, TAlertKind::Sensor, row);
    if (s.Stats.LastTime != NoTime)
        j.Field("age", int64_t(SecondsDiff(s.Stats.LastTime, now)));
    else
        j.Null("age");
    LastSeen(j, store, s.Newest);
    j.Field("count", int64_t(s.Stats.Count))
        .Field("dups", int64_t(s.Stats.Dups))
        .Field("run_avg", double(s.Stats.RunAvg))
        .Field("usual_gap", double(s.Stats.AvgGap));
    // The same figures as the list's "Loss %" and "Routes" columns.
    const THealth& health = store.Health(row);
    if (health.LossTenths >= 0)
        j.Field("loss_pct", health.LossTenths / 10.0);
    else
        j.Null("loss_pct");
    j.Field("routes", int64_t(health.Routes));
    if (settings_.Discovery)
        Announce(sensorAnnounced_, row,
                 {"sensor", std::string_view(serial, 16), store.SensorLabel(row, label),
                  SensorKindName(s.Kind), rawBase_ + "/sensor/" + std::string(serial, 16)});
    topic_ = base_ + "/sensor/" + std::string(serial, 16);
    Send(topic_, j.End(), 0, true);
}

void TMqttPublisher::PublishRepeater(TStore& store, uint8_t index) {
    const TDateTime now = store.Clock().Now();
    const char id = store.Repeats[index].Id;
    TJsonText& j = json_.Begin();
    j.Field("state", DeviceStateName(TAlertState(repeatStates_[index])))
        .Field("repeater", std::string_view(&id, 1));
    Behind(j, store, TAlertKind::Repeat, index);
    LastSeen(j, store, store.Repeats[index].Newest);
    j.Field("last_5_min", int64_t(store.RecentCount(TOwnerKind::Repeat, index, 5, now)))
        .Field("last_10_min", int64_t(store.RecentCount(TOwnerKind::Repeat, index, 10, now)))
        .Field("count", int64_t(store.TotalCount(TOwnerKind::Repeat, index)));
    const std::string level = TopicLevel(std::string_view(&id, 1));
    if (settings_.Discovery)
        Announce(repeatAnnounced_, index,
                 {"repeater", std::string_view(&id, 1), "Repeater " + std::string(1, id),
                  "Repeater", rawBase_ + "/repeater/" + level});
    topic_ = base_ + "/repeater/" + level;
    Send(topic_, j.End(), 0, true);
}

void TMqttPublisher::PublishEntry(TStore& store, uint8_t index) {
    const TDateTime now = store.Clock().Now();
    const TEntry& e = store.Entries[index];
    TJsonText& j = json_.Begin();
    j.Field("state", DeviceStateName(TAlertState(entryStates_[index])))
        .Field("entry", int(e.Id))
        .Field("name", e.Name.View());
    j.Null("behind"); // an entry point is behind nothing
    LastSeen(j, store, e.Newest);
    j.Field("last_5_min", int64_t(store.RecentCount(TOwnerKind::Entry, index, 5, now)))
        .Field("last_10_min", int64_t(store.RecentCount(TOwnerKind::Entry, index, 10, now)))
        .Field("count", int64_t(store.TotalCount(TOwnerKind::Entry, index)));
    const std::string number = std::to_string(int(e.Id));
    if (settings_.Discovery)
        Announce(entryAnnounced_, index,
                 {"entry", number, "Entry " + std::string(e.Name.View()), "Entry point",
                  rawBase_ + "/entry/" + number});
    topic_ = base_ + "/entry/" + number;
    Send(topic_, j.End(), 0, true);
}

} // namespace corvane
