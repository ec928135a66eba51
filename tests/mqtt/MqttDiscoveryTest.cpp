// The discovery messages as a home-automation system reads them: only the keys its MQTT sensor
// documents, and every entity pointing at a field that the device's real retained state message
// has.
#include "mqtt/MqttDiscovery.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QThread>
#include <set>

#include "Broker.h"
#include "app/Monitor.h"
#include "mqtt/MqttPublisher.h"
#include "support/Packets.h"

namespace corvane {
namespace {

using testing::SensorLine;
using testing::TBroker;
using testing::TSubscriber;

// The MQTT sensor's configuration variables and the device map's, as Home Assistant documents
// them (integrations/sensor.mqtt).
const std::set<QString> kSensorKeys{"availability",
                                    "availability_mode",
                                    "availability_template",
                                    "availability_topic",
                                    "device",
                                    "device_class",
                                    "enabled_by_default",
                                    "encoding",
                                    "entity_category",
                                    "entity_picture",
                                    "expire_after",
                                    "force_update",
                                    "icon",
                                    "json_attributes_template",
                                    "json_attributes_topic",
                                    "last_reset_value_template",
                                    "name",
                                    "default_entity_id",
                                    "options",
                                    "payload_available",
                                    "payload_not_available",
                                    "platform",
                                    "qos",
                                    "state_class",
                                    "state_topic",
                                    "suggested_display_precision",
                                    "unique_id",
                                    "unit_of_measurement",
                                    "value_template"};
const std::set<QString> kDeviceKeys{"configuration_url", "connections",  "hw_version",
                                    "identifiers",       "manufacturer", "model",
                                    "model_id",          "name",         "serial_number",
                                    "suggested_area",    "sw_version",   "via_device"};
const std::set<QString> kDeviceClasses{"enum", "timestamp"};
const std::set<QString> kStateClasses{"measurement", "total", "total_increasing"};

TEST(DiscoveryId, KeepsLettersDigitsAndDashesAndEncodesTheRestDistinctly) {
    EXPECT_EQ(DiscoveryId("north-1"), "north-1");
    EXPECT_EQ(DiscoveryId("#"), "_23");
    EXPECT_EQ(DiscoveryId("a b"), "a_20b");
    EXPECT_NE(DiscoveryId("_23"), DiscoveryId("#"));
    EXPECT_EQ(DiscoveryId("\xE9"), "_e9");
}

class DiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(broker.Start());
        settings.Host = "127.0.0.1";
        settings.Port = broker.Port();
        settings.Station = "Nord \xC4";
        settings.ClientId = "corvane-discovery";
        settings.Discovery = true;
    }
    void Start() {
        publisher = std::make_unique<TMqttPublisher>(settings, [](std::string_view) {});
        ASSERT_TRUE(publisher->Start());
        monitor.AddReadObserver(publisher.get());
        for (int i = 0; i < 500 && !publisher->Connected(); ++i)
            QThread::msleep(10);
        ASSERT_TRUE(publisher->Connected());
    }
    void TearDown() override {
        if (publisher)
            monitor.RemoveReadObserver(publisher.get());
    }

    TBroker broker;
    TMqttSettings settings;
    TManualClock clock{EncodeDateTime(2026, 3, 4, 10, 20, 30.25)};
    TNullListener listener;
    TMonitor monitor{clock, listener};
    std::unique_ptr<TMqttPublisher> publisher;
};

TEST_F(DiscoveryTest, EveryEntityIsDocumentedAndReadsAFieldOfARealStateMessage) {
    TSubscriber sub(broker.Port(), "#");
    ASSERT_TRUE(sub.WaitConnected());
    Start();
    ASSERT_TRUE(monitor.ParsePacketLine(nullptr, SensorLine(0x42, ",5,East,Tank \xE9", '#')));
    publisher->PublishStates(monitor.Store());
    // 5 sensor entities, 4 each for the repeater and the entry point, and their 3 states.
    ASSERT_TRUE(sub.WaitFor(2 + 13 + 3));
    QThread::msleep(200);

    const std::string node = "homeassistant/sensor/corvane_Nord_20_c4/";
    std::set<QString> uniqueIds;
    int configs = 0;
    static const QRegularExpression field("^\\{\\{ value_json\\.([a-z_0-9]+) \\}\\}$");
    for (const auto& m : sub.Messages()) {
        if (m.Topic.rfind("homeassistant/", 0) != 0)
            continue;
        ++configs;
        EXPECT_EQ(m.Topic.rfind(node, 0), 0u) << m.Topic;
        const QJsonObject c = m.Json();
        for (const QString& key : c.keys())
            EXPECT_TRUE(kSensorKeys.count(key)) << m.Topic << ": " << key.toStdString();
        for (const QString& key : c["device"].toObject().keys())
            EXPECT_TRUE(kDeviceKeys.count(key)) << m.Topic << ": device " << key.toStdString();
        EXPECT_TRUE(uniqueIds.insert(c["unique_id"].toString()).second) << m.Topic;
        EXPECT_FALSE(c["device"].toObject()["identifiers"].toArray().isEmpty());
        if (c.contains("device_class")) {
            EXPECT_TRUE(kDeviceClasses.count(c["device_class"].toString())) << m.Topic;
        }
        if (c.contains("state_class")) {
            EXPECT_TRUE(kStateClasses.count(c["state_class"].toString())) << m.Topic;
        }
        EXPECT_EQ(c["availability_topic"].toString(),
                  QString::fromUtf8("corvane/Nord \xC3\x84/status"));

        // The state topic holds a retained message with the field the template takes.
        const std::string stateTopic = c["state_topic"].toString().toStdString();
        const auto states = sub.On(stateTopic);
        ASSERT_FALSE(states.empty()) << m.Topic << " reads " << stateTopic;
        const auto match = field.match(c["value_template"].toString());
        ASSERT_TRUE(match.hasMatch()) << c["value_template"].toString().toStdString();
        EXPECT_TRUE(states.back().Json().contains(match.captured(1)))
            << stateTopic << " has no " << match.captured(1).toStdString();
    }
    EXPECT_EQ(configs, 13);
    const auto sensorState = sub.On(node + "sensor_0000000000000042_state/config");
    ASSERT_EQ(sensorState.size(), 1u);
    const QJsonObject state = sensorState[0].Json();
    EXPECT_EQ(state["device"].toObject()["name"].toString(), QString::fromUtf8("Tank \xC3\xA9"));
    EXPECT_EQ(state["options"].toArray().size(), 3);
    EXPECT_EQ(sub.On(node + "repeater__23_state/config").size(), 1u);
    // Retained: a system that starts later still finds every device.
    TSubscriber late(broker.Port(), "homeassistant/#");
    ASSERT_TRUE(late.WaitFor(13));
    for (const auto& m : late.Messages())
        EXPECT_TRUE(m.Retained) << m.Topic;

    // Once per connection: the next state round announces nothing again.
    publisher->PublishStates(monitor.Store());
    ASSERT_TRUE(sub.WaitFor(2 + 13 + 6));
    QThread::msleep(200);
    EXPECT_EQ(sub.On(node + "sensor_0000000000000042_state/config").size(), 1u);
}

TEST_F(DiscoveryTest, NothingIsAnnouncedWithDiscoveryOff) {
    settings.Discovery = false;
    TSubscriber sub(broker.Port(), "homeassistant/#");
    ASSERT_TRUE(sub.WaitConnected());
    Start();
    ASSERT_TRUE(monitor.ParsePacketLine(nullptr, SensorLine(0x42, ",5,East")));
    publisher->PublishStates(monitor.Store());
    QThread::msleep(400);
    EXPECT_TRUE(sub.Messages().empty());
}

} // namespace
} // namespace corvane
