#include "mqtt/MqttDiscovery.h"

#include "CorvaneVersion.h"
#include "mqtt/MqttSettings.h"
#include "util/JsonText.h"

namespace corvane {

namespace {

const std::vector<TDiscoveryEntity> kSensorEntities{
    {"state", "State", "state", "enum", "", ""},
    {"last_seen", "Last seen", "last_seen", "timestamp", "", ""},
    {"loss", "Loss", "loss_pct", "", "measurement", "%"},
    {"routes", "Routes", "routes", "", "measurement", ""},
    {"count", "Reads", "count", "", "total_increasing", ""},
};
const std::vector<TDiscoveryEntity> kOwnerEntities{
    {"state", "State", "state", "enum", "", ""},
    {"last_seen", "Last seen", "last_seen", "timestamp", "", ""},
    {"count", "Reads", "count", "", "total_increasing", ""},
    {"last_10_min", "Reads in 10 minutes", "last_10_min", "", "measurement", ""},
};

} // namespace

std::string DiscoveryId(std::string_view text) {
    static constexpr char Hex[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-') {
            out += char(c);
        } else {
            out += '_';
            out += Hex[c >> 4];
            out += Hex[c & 0xF];
        }
    }
    return out;
}

TDiscovery::TDiscovery(const TMqttSettings& settings)
    : prefix_(Latin1AsUtf8(settings.DiscoveryPrefix)),
      node_("corvane_" + DiscoveryId(settings.Station)), station_(settings.Station),
      availability_(settings.Topic + "/" + settings.Station + "/status") {}

const std::vector<TDiscoveryEntity>& TDiscovery::Entities(std::string_view kind) {
    return kind == "sensor" ? kSensorEntities : kOwnerEntities;
}

void TDiscovery::Messages(const TDiscoveryDevice& d, TMqttMessages& out) const {
    const std::string device = node_ + "_" + std::string(d.Kind) + "_" + DiscoveryId(d.Id);
    TJsonText j;
    for (const TDiscoveryEntity& e : Entities(d.Kind)) {
        const std::string object =
            std::string(d.Kind) + "_" + DiscoveryId(d.Id) + "_" + std::string(e.Key);
        j.Begin()
            .Field("name", e.Name)
            .Field("unique_id", device + "_" + std::string(e.Key))
            .Field("state_topic", d.StateTopic)
            .Field("value_template", "{{ value_json." + std::string(e.Field) + " }}")
            .Field("availability_topic", availability_)
            .Field("payload_available", "online")
            .Field("payload_not_available", "offline");
        if (!e.DeviceClass.empty())
            j.Field("device_class", e.DeviceClass);
        if (e.DeviceClass == "enum")
            j.BeginArray("options").Item("reporting").Item("late").Item("silent").EndArray();
        if (!e.StateClass.empty())
            j.Field("state_class", e.StateClass);
        if (!e.Unit.empty())
            j.Field("unit_of_measurement", e.Unit);
        j.BeginObject("device")
            .BeginArray("identifiers")
            .Item(device)
            .EndArray()
            .Field("name", d.Name)
            .Field("manufacturer", "Corvane")
            .Field("model", d.Model)
            .Field("sw_version", CORVANE_VERSION)
            .Field("suggested_area", station_)
            .EndObject();
        std::string payload(j.End());
        out.emplace_back(prefix_ + "/sensor/" + node_ + "/" + object + "/config",
                         std::move(payload));
    }
}

} // namespace corvane
