// The publisher against a real broker: what a subscriber receives for the lines the monitor
// takes in, the retained status and device messages, and a broker that goes away and comes back.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QThread>

#include "Broker.h"
#include "app/AppIni.h"
#include "app/Monitor.h"
#include "app/ServiceSettings.h"
#include "mqtt/MqttPublisher.h"
#include "support/FakeConn.h"
#include "support/Packets.h"
#include "util/JsonText.h"
#include "util/untConst.h"

namespace corvane {
namespace {

using testing::SensorLine;
using testing::TBroker;
using testing::TMessage;
using testing::TSubscriber;

class PublisherTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Message times are local: the expected texts are written for a zone at UTC.
        setenv("TZ", "UTC", 1);
        tzset();
        ASSERT_TRUE(broker.Start());
        settings.Host = "127.0.0.1";
        settings.Port = broker.Port();
        settings.Station = "plant-1";
        settings.ClientId = "corvane-test";
    }

    // Starts publishing and waits until the broker has the connection.
    void StartPublisher() {
        publisher = std::make_unique<TMqttPublisher>(
            settings, [this](std::string_view line) { log.emplace_back(line); });
        ASSERT_TRUE(publisher->Start());
        monitor.AddReadObserver(publisher.get());
        ASSERT_TRUE(WaitConnected(true));
    }

    bool WaitConnected(bool connected) {
        for (int i = 0; i < 500; ++i) {
            publisher->Poll();
            if (publisher->Connected() == connected)
                return true;
            QThread::msleep(10);
        }
        return false;
    }

    int LogCount(const std::string& text) const {
        return int(std::count(log.begin(), log.end(), text));
    }

    TBroker broker;
    TMqttSettings settings;
    TManualClock clock{EncodeDateTime(2026, 3, 4, 10, 20, 30.25)};
    TNullListener listener;
    TMonitor monitor{clock, listener};
    std::unique_ptr<TMqttPublisher> publisher;
    std::vector<std::string> log;
};

TEST_F(PublisherTest, OnePacketMessagePerValidLineWithTheLinesFields) {
    TSubscriber sub(broker.Port(), "corvane/plant-1/packet");
    ASSERT_TRUE(sub.WaitConnected());
    StartPublisher();
    monitor.Store().Settings.DuplicateTimeSec = 9;

    EXPECT_TRUE(monitor.ParsePacketLine(nullptr, SensorLine(0x123456, ",3,North \"Gate\"")));
    EXPECT_FALSE(monitor.ParsePacketLine(nullptr, "noise that is no packet at all, none"));
    clock.AdvanceSeconds(2);
    EXPECT_TRUE(monitor.ParsePacketLine(nullptr, SensorLine(0x123456, "", 'b')));
    clock.AdvanceSeconds(60);
    EXPECT_TRUE(monitor.ParsePacketLine(nullptr, SensorLine(0xABCDEF, ",7,South,Tank\xE9")));

    ASSERT_TRUE(sub.WaitFor(3));
    QThread::msleep(200);
    const auto messages = sub.Messages();
    ASSERT_EQ(messages.size(), 3u);

    const QJsonObject first = messages[0].Json();
    EXPECT_EQ(first["serial"].toString(), "0000000000123456");
    EXPECT_EQ(first["kind"].toString().toStdString(),
              std::string(SensorKindName(uint8_t(first["kind_id"].toInt()))));
    EXPECT_FALSE(first["kind"].toString().isEmpty());
    EXPECT_TRUE(first["repeater"].isNull());
    EXPECT_EQ(first["entry"].toInt(), 3);
    EXPECT_EQ(first["entry_name"].toString(), "North \"Gate\"");
    EXPECT_FALSE(first["duplicate"].toBool());
    EXPECT_EQ(first["data"].toString().size(), 22);
    EXPECT_EQ(first["data"].toString(), first["data"].toString().toUpper());
    EXPECT_EQ(first["crc"].toString().size(), 4);
    EXPECT_TRUE(first["time"].toString().startsWith("2026-03-04T10:20:30.250"))
        << first["time"].toString().toStdString();

    const QJsonObject second = messages[1].Json();
    EXPECT_EQ(second["repeater"].toString(), "b");
    EXPECT_TRUE(second["entry"].isNull());
    EXPECT_TRUE(second["duplicate"].toBool()) << "2 s after the first read of the sensor";

    const QJsonObject third = messages[2].Json();
    EXPECT_EQ(third["label"].toString(), QString::fromUtf8("Tank\xC3\xA9"));
    EXPECT_FALSE(third["duplicate"].toBool());
}

// Every line a connection delivers goes out as the station received it, checked or not, so that
// a desk elsewhere can read the station as if it were connected to its receiver.
TEST_F(PublisherTest, EveryDeliveredLineIsPublishedAsReceived) {
    TSubscriber sub(broker.Port(), "corvane/plant-1/line");
    ASSERT_TRUE(sub.WaitConnected());
    StartPublisher();
    monitor.LineObserver = publisher.get();
    testing::TFakeConn conn;
    std::string bad = SensorLine(0x42, ",5,East");
    bad[20] = bad[20] == '0' ? '1' : '0'; // the check word no longer fits
    const std::string good = SensorLine(0x43, ",5,Caf\xE9");
    EXPECT_FALSE(monitor.ParsePacketLine(&conn, bad));
    EXPECT_TRUE(monitor.ParsePacketLine(&conn, good));
    ASSERT_TRUE(sub.WaitFor(2));
    const auto lines = sub.On("corvane/plant-1/line");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_FALSE(lines[0].Retained);
    EXPECT_EQ(lines[0].Json()["line"].toString().toStdString(), bad);
    EXPECT_EQ(lines[0].Json()["conn"].toString(), "Fake");
    EXPECT_EQ(lines[1].Json()["line"].toString(), QString::fromLatin1(good.c_str()));
    EXPECT_TRUE(lines[1].Json()["time"].toString().startsWith("2026-"));

    // Off: nothing more on the topic.
    settings.Lines = false;
    monitor.RemoveReadObserver(publisher.get());
    publisher.reset();
    StartPublisher();
    monitor.LineObserver = publisher.get();
    EXPECT_TRUE(monitor.ParsePacketLine(&conn, good));
    QThread::msleep(300);
    EXPECT_EQ(sub.On("corvane/plant-1/line").size(), 2u);
    monitor.LineObserver = nullptr;
}

TEST_F(PublisherTest, StatusIsRetainedAndDeviceStatesFollowTheirChanges) {
    StartPublisher();
    ASSERT_TRUE(monitor.ParsePacketLine(nullptr, SensorLine(0x42, ",5,East", 'c')));
    TStore& store = monitor.Store();
    publisher->OnStateChanged(store, TAlertKind::Sensor, 0, TAlertState::Late);
    publisher->OnStateChanged(store, TAlertKind::Sensor, 0, TAlertState::Silent);
    publisher->PublishStates(store);
    QThread::msleep(300);

    // A subscriber that comes later still learns the station is up, and how each device stands.
    TSubscriber late(broker.Port(), "corvane/plant-1/#");
    ASSERT_TRUE(late.WaitFor(4));
    QThread::msleep(200);
    const auto status = late.On("corvane/plant-1/status");
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0].Payload, "online");
    EXPECT_TRUE(status[0].Retained);
    const auto sensor = late.On("corvane/plant-1/sensor/0000000000000042");
    ASSERT_EQ(sensor.size(), 1u);
    const QJsonObject s = sensor[0].Json();
    EXPECT_EQ(s["state"].toString(), "silent");
    EXPECT_EQ(s["count"].toInt(), 1);
    EXPECT_EQ(s["routes"].toInt(), 1) << "one entry point and repeater pair";
    EXPECT_TRUE(s["loss_pct"].isNull()) << "fewer than three counted reads";
    const QString seen = s["last_seen"].toString();
    EXPECT_EQ(seen, QString::fromStdString(FormatIsoTime(store.Reads[store.ReadHead].Wall)));
    EXPECT_EQ(late.On("corvane/plant-1/repeater/c")[0].Json()["last_seen"].toString(), seen);
    EXPECT_EQ(late.On("corvane/plant-1/entry/5")[0].Json()["last_seen"].toString(), seen);
    ASSERT_EQ(late.On("corvane/plant-1/repeater/c").size(), 1u);
    EXPECT_EQ(late.On("corvane/plant-1/repeater/c")[0].Json()["state"].toString(), "reporting");
    ASSERT_EQ(late.On("corvane/plant-1/entry/5").size(), 1u);
    EXPECT_EQ(late.On("corvane/plant-1/entry/5")[0].Json()["name"].toString(), "East");

    publisher->OnStateChanged(store, TAlertKind::Sensor, 0, TAlertState::Reporting);
    ASSERT_TRUE(late.WaitFor(2, "corvane/plant-1/sensor/0000000000000042"));
    EXPECT_EQ(late.On("corvane/plant-1/sensor/0000000000000042")[1].Json()["state"].toString(),
              "reporting");

    // Stopping on purpose says so; the will is for dying without a word. The run's account ends
    // connected.
    publisher->Stop();
    EXPECT_NE(publisher->Summary().find(": connected"), std::string::npos) << publisher->Summary();
    ASSERT_TRUE(late.WaitFor(2, "corvane/plant-1/status"));
    EXPECT_EQ(late.On("corvane/plant-1/status")[1].Payload, "offline");
}

TEST_F(PublisherTest, ABrokerThatGoesAwayCostsCountedMessagesAndIsRejoined) {
    StartPublisher();
    const std::string name = "MQTT broker 127.0.0.1:" + std::to_string(broker.Port());
    EXPECT_EQ(LogCount(name + " connected"), 1);

    broker.Stop();
    ASSERT_TRUE(WaitConnected(false));
    const uint64_t before = publisher->Dropped();
    for (uint32_t i = 0; i < 100; ++i)
        ASSERT_TRUE(monitor.ParsePacketLine(nullptr, SensorLine(0x1000 + i)));
    EXPECT_EQ(publisher->Dropped(), before + 100);

    ASSERT_TRUE(broker.Start());
    TSubscriber sub(broker.Port(), "corvane/plant-1/packet");
    ASSERT_TRUE(sub.WaitConnected());
    // The library waits 1 s, then longer, between attempts.
    for (int i = 0; i < 10 && !publisher->Connected(); ++i)
        WaitConnected(true);
    ASSERT_TRUE(publisher->Connected());
    ASSERT_TRUE(monitor.ParsePacketLine(nullptr, SensorLine(0x2000)));
    ASSERT_TRUE(sub.WaitFor(1));
    publisher->Poll();
    int lost = 0;
    for (const std::string& line : log)
        lost += line.rfind(name + " lost: ", 0) == 0;
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(LogCount(name + " connected"), 2);
}

TEST_F(PublisherTest, SilenceAlertsOfTheStoreReachTheRetainedSensorMessage) {
    StartPublisher();
    TStore& store = monitor.Store();
    publisher->WatchAlerts(store);
    store.Alerts.Settings.AlertMinSec = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(monitor.ParsePacketLine(nullptr, SensorLine(0x77, ",2")));
        clock.AdvanceSeconds(10);
    }
    TSubscriber sub(broker.Port(), "corvane/plant-1/sensor/0000000000000077");
    ASSERT_TRUE(sub.WaitConnected());
    clock.AdvanceSeconds(21); // 31 s of silence against a usual gap of 10 s
    monitor.ExpireTick();
    ASSERT_TRUE(sub.WaitFor(1));
    EXPECT_EQ(sub.Messages().back().Json()["state"].toString(), "late");
    EXPECT_DOUBLE_EQ(sub.Messages().back().Json()["loss_pct"].toDouble(), 0.0);
    // Heard only through entry point 2, late in the same tick: that is its cause.
    EXPECT_EQ(sub.Messages().back().Json()["behind"].toString(), "entry/2");

    ASSERT_TRUE(monitor.ParsePacketLine(nullptr, SensorLine(0x77, ",2")));
    ASSERT_TRUE(sub.WaitFor(2));
    EXPECT_EQ(sub.Messages().back().Json()["state"].toString(), "reporting");
    EXPECT_TRUE(sub.Messages().back().Json()["behind"].isNull());
}

// [MQTT] TLS=1 with the authority of the broker's certificate in CAFile; any other authority is
// refused, which costs the messages and is said once however often the library tries again.
TEST(PublisherTls, PublishesOnlyToABrokerItsAuthorityVouchesFor) {
    TBroker broker(true);
    ASSERT_EQ(broker.TlsError(), "");
    ASSERT_TRUE(broker.Start());
    TSubscriber sub(broker.Port(), "corvane/#");
    ASSERT_TRUE(sub.WaitConnected());
    QTemporaryDir folder;
    TIniFile ini(folder.filePath("corvane.INI").toStdString());
    const auto publisherFor = [&](const std::string& station, const std::string& ca,
                                  std::vector<std::string>& log) {
        ini.ReplaceSection("MQTT", {{"Host", "127.0.0.1"},
                                    {"Port", std::to_string(broker.TlsPort())},
                                    {"Station", station},
                                    {"TLS", "1"},
                                    {"CAFile", ca}});
        auto p = std::make_unique<TMqttPublisher>(
            ReadMqttSettings(ini), [&log](std::string_view line) { log.emplace_back(line); });
        EXPECT_TRUE(p->Start());
        return p;
    };
    const auto waitConnected = [](TMqttPublisher& p, int ms) {
        for (int i = 0; i < ms / 10 && !p.Connected(); ++i)
            QThread::msleep(10);
        p.Poll();
        return p.Connected();
    };
    const std::string name = "MQTT broker 127.0.0.1:" + std::to_string(broker.TlsPort());
    TManualClock clock{EncodeDateTime(2026, 3, 4, 10, 20, 30.25)};
    TNullListener listener;

    std::vector<std::string> goodLog;
    auto good = publisherFor("tls-good", broker.CaFile(), goodLog);
    ASSERT_TRUE(waitConnected(*good, 5000)) << (goodLog.empty() ? "" : goodLog.back());
    TMonitor monitor{clock, listener};
    monitor.AddReadObserver(good.get());
    ASSERT_TRUE(monitor.ParsePacketLine(nullptr, SensorLine(0x5151)));
    ASSERT_TRUE(sub.WaitFor(1, "corvane/tls-good/packet"));
    EXPECT_EQ(sub.On("corvane/tls-good/packet")[0].Json()["serial"].toString(), "0000000000005151");
    EXPECT_EQ(goodLog, std::vector<std::string>{name + " connected"});

    std::vector<std::string> badLog;
    auto bad = publisherFor("tls-bad", broker.OtherCaFile(), badLog);
    // Long enough for the attempts after 1 and 2 s.
    EXPECT_FALSE(waitConnected(*bad, 3500));
    TMonitor other{clock, listener};
    other.AddReadObserver(bad.get());
    ASSERT_TRUE(other.ParsePacketLine(nullptr, SensorLine(0x5252)));
    EXPECT_EQ(bad->Dropped(), 1u);
    QThread::msleep(200);
    bad->Poll();
    ASSERT_EQ(badLog.size(), 1u);
    EXPECT_EQ(badLog[0].rfind(name + " lost: ", 0), 0u) << badLog[0];
    for (const TMessage& m : sub.Messages())
        EXPECT_EQ(m.Topic.find("tls-bad"), std::string::npos) << m.Topic;
    bad->Stop();
    good->Stop();
}

// The text of a second is kept and only its milliseconds are written anew.
TEST(IsoTime, MillisecondsOfOneSecondAndTheOffsetOfTheZone) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(FormatIsoTime(EncodeDateTime(2026, 3, 4, 10, 20, 30.25)),
              "2026-03-04T10:20:30.250+00:00");
    EXPECT_EQ(FormatIsoTime(EncodeDateTime(2026, 3, 4, 10, 20, 30.999)),
              "2026-03-04T10:20:30.999+00:00");
    EXPECT_EQ(FormatIsoTime(EncodeDateTime(2026, 3, 4, 10, 20, 31.007)),
              "2026-03-04T10:20:31.007+00:00");
    setenv("TZ", "<-0330>3:30", 1);
    tzset();
    EXPECT_EQ(FormatIsoTime(EncodeDateTime(2026, 12, 31, 23, 59, 59.0)),
              "2026-12-31T20:29:59.000-03:30");
    setenv("TZ", "UTC", 1);
    tzset();
}

// Texts from a receiver are 8-bit; whatever bytes they hold, the document stays valid JSON.
TEST(JsonText, AnyLatin1TextMakesAValidDocument) {
    std::string every;
    for (int c = 1; c < 256; ++c)
        every += char(c);
    TJsonText json;
    json.Begin().Field("text", every).Field("n", int64_t(-5)).Field("x", 1.5).Null("none");
    json.BeginArray("list").Item("a\"b").Item(int64_t(7)).EndArray().Field("ok", true);
    QJsonParseError error;
    const std::string_view text = json.End();
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray(text.data(), qsizetype(text.size())), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.View();
    const QJsonObject o = doc.object();
    EXPECT_EQ(o["text"].toString(), QString::fromLatin1(every.data(), qsizetype(every.size())));
    EXPECT_EQ(o["n"].toInt(), -5);
    EXPECT_DOUBLE_EQ(o["x"].toDouble(), 1.5);
    EXPECT_TRUE(o["none"].isNull());
    EXPECT_EQ(o["list"].toArray()[0].toString(), "a\"b");
    EXPECT_TRUE(o["ok"].toBool());
}

} // namespace
} // namespace corvane
