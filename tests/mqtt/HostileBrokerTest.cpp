// Brokers that break the protocol or never answer, and names that cannot make topics: the
// publisher ends such a connection, says why, stays bounded in memory and tries again later.
#include <gtest/gtest.h>

#include <QThread>

#include <set>

#include "Broker.h"
#include "FakeBroker.h"
#include "app/Monitor.h"
#include "mqtt/BrokerStream.h"
#include "mqtt/MqttNames.h"
#include "mqtt/MqttPublisher.h"
#include "support/Packets.h"

namespace corvane {
namespace {

using testing::TFakeBroker;

bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
    for (int i = 0; i < ms / 10 && !done(); ++i)
        QThread::msleep(10);
    return done();
}

class HostileBrokerTest : public ::testing::Test {
protected:
    void Start(int port) {
        TMqttSettings settings;
        settings.Host = "127.0.0.1";
        settings.Port = port;
        settings.Station = "plant-1";
        settings.ClientId = "corvane-test";
        name = "MQTT broker 127.0.0.1:" + std::to_string(port);
        publisher = std::make_unique<TMqttPublisher>(settings, [this](std::string_view line) {
            std::lock_guard lock(mutex);
            log.emplace_back(line);
        });
        ASSERT_TRUE(publisher->Start());
    }
    // Waits until the log holds text (polling the publisher), at most ms.
    bool WaitLog(const std::string& text, int ms = 10000) {
        for (int i = 0; i < ms / 10; ++i) {
            publisher->Poll();
            std::lock_guard lock(mutex);
            if (std::find(log.begin(), log.end(), text) != log.end())
                return true;
            QThread::msleep(10);
        }
        return false;
    }
    std::string name;
    std::mutex mutex;
    std::vector<std::string> log;
    std::unique_ptr<TMqttPublisher> publisher;
};

// QoS 2 messages that are never released would all be kept by the library: the first PUBLISH
// ends the connection, and the next attempt comes after the back-off.
TEST_F(HostileBrokerTest, AFloodOfUnreleasedQos2MessagesEndsTheConnection) {
    const size_t before = testing::ResidentBytes();
    TFakeBroker broker([](const auto& send) {
        if (!send(TFakeBroker::Connack()))
            return;
        const std::string message = TFakeBroker::Publish("x/y", std::string(1000, 'p'), 2);
        for (int i = 0; i < 60000 && send(message); ++i) {
        }
    });
    Start(broker.Port());
    ASSERT_TRUE(WaitLog(name + " lost: unexpected message from the broker"));
    ASSERT_TRUE(WaitFor([&] { return broker.ClosedByClient() >= 1; }));
    EXPECT_LT(broker.BytesWritten(), 20'000'000u) << "the client read on";
    ASSERT_TRUE(WaitFor([&] { return broker.Connections() >= 2; }, 5000)) << "tried again";
    EXPECT_LT(testing::ResidentBytes(), before + 32'000'000);
    publisher->Stop();
}

// A packet that announces 256 MB is refused before the library reads any of it.
TEST_F(HostileBrokerTest, APublishAnnouncingAQuarterGigabyteIsNotRead) {
    const size_t before = testing::ResidentBytes();
    TFakeBroker broker([](const auto& send) {
        if (!send(TFakeBroker::Connack()))
            return;
        if (!send(TFakeBroker::PublishHeader(256u << 20)))
            return;
        const std::string chunk(1 << 20, 'z');
        for (int i = 0; i < 256 && send(chunk); ++i) {
        }
    });
    Start(broker.Port());
    ASSERT_TRUE(WaitLog(name + " lost: unexpected message from the broker"));
    ASSERT_TRUE(WaitFor([&] { return broker.ClosedByClient() >= 1; }));
    EXPECT_LT(broker.BytesWritten(), 64'000'000u);
    EXPECT_LT(testing::ResidentBytes(), before + 32'000'000);
    publisher->Stop();
}

// A QoS 0 message is delivered at once by the library: it ends the connection all the same,
// and the summary at the stop tells how the connection ended.
TEST_F(HostileBrokerTest, AnyPublishFromTheBrokerIsUnexpected) {
    TFakeBroker broker(
        [](const auto& send) { send(TFakeBroker::Connack() + TFakeBroker::Publish("a", "b", 0)); });
    Start(broker.Port());
    ASSERT_TRUE(WaitLog(name + " lost: unexpected message from the broker"));
    publisher->Stop();
    EXPECT_EQ(publisher->Summary().rfind(name + ": lost (unexpected message from the broker)", 0),
              0u)
        << publisher->Summary();
}

// A broker that takes the connection and never answers CONNECT is given up after 10 s.
TEST_F(HostileBrokerTest, AConnectWithoutAnswerIsGivenUp) {
    TFakeBroker broker([](const auto&) {});
    Start(broker.Port());
    ASSERT_TRUE(WaitLog(name + " lost: no answer to connect within 10 s", 15000));
    publisher->Stop();
    EXPECT_EQ(publisher->Summary().rfind(name + ": never connected", 0), 0u)
        << publisher->Summary();
}

// A broker that accepts and drops at once gets ever longer waits: 1, 2, 4 s between the
// attempts, where starting over at 1 s after each accepted connection made one a second.
TEST_F(HostileBrokerTest, AFlappingBrokerIsNotRetriedEverySecond) {
    TFakeBroker flapping([](const auto& send) { send(TFakeBroker::Connack()); }, false);
    Start(flapping.Port());
    QThread::msleep(7500);
    // Attempts at 0, 1, 3 and 7 s.
    EXPECT_LE(flapping.Connections(), 4);
    publisher->Stop();
}

TEST(BrokerStream, FollowsPacketsAndRefusesWhatAPublisherIsNeverSent) {
    TBrokerStream s;
    using V = TBrokerStream::TVerdict;
    EXPECT_EQ(s.Check(0, std::string("\x20\x02\x00\x00", 4)), V::Fine); // CONNACK
    EXPECT_EQ(s.Check(2, std::string("\x00\x00", 2)), V::Fine) << "inside the CONNACK";
    EXPECT_EQ(s.Check(4, std::string("\x40", 1)), V::NeedMore) << "half a header";
    EXPECT_EQ(s.Check(4, std::string("\x40\x02\x00\x01", 4)), V::Fine); // PUBACK
    EXPECT_EQ(s.Check(8, std::string("\xD0\x00", 2)), V::Fine);         // PINGRESP
    EXPECT_EQ(s.Check(10, std::string("\x30\x05", 2)), V::Unexpected);  // PUBLISH
    EXPECT_EQ(s.Check(10, std::string("\x34\x05", 2)), V::Unexpected);  // PUBLISH, QoS 2
    EXPECT_EQ(s.Check(10, std::string("\x40\x80\x80\x01", 4)), V::Unexpected) << "16 KB PUBACK";
    EXPECT_EQ(s.Check(10, std::string("\x40\xFF\xFF\xFF\xFF", 5)), V::Unexpected);
    EXPECT_EQ(s.Check(10, std::string("\x90\x03\x00\x01\x00", 5)), V::Unexpected) << "SUBACK";
    s.Reset();
    EXPECT_EQ(s.Check(0, std::string("\x20\x02\x00\x00", 4)), V::Fine);
}

TEST(MqttNames, RadioTextMakesValidDistinctLevels) {
    EXPECT_EQ(TopicLevel("a"), "a");
    EXPECT_EQ(TopicLevel("#"), "%23");
    EXPECT_EQ(TopicLevel("%"), "%25");
    EXPECT_EQ(TopicLevel("+/"), "%2B%2F");
    EXPECT_EQ(TopicLevel(std::string("\0\xE9 ", 3)), "%00%E9%20");
    // Every letter of the repeater alphabet keeps a level of its own.
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz!@#$%^";
    std::set<std::string> levels;
    for (const char c : alphabet) {
        const std::string level = TopicLevel(std::string(1, c));
        EXPECT_EQ(level.find_first_of("#+/"), std::string::npos) << level;
        levels.insert(level);
    }
    EXPECT_EQ(levels.size(), alphabet.size());
}

TEST(MqttNames, SettingsThatCannotFormTopicsAreNamed) {
    TMqttSettings s;
    s.Topic = "site/corvane";
    s.Station = "plant-1";
    s.ClientId = "corvane-plant-1";
    EXPECT_EQ(MqttNamesProblem(s), "");
    s.Station = "a+b";
    EXPECT_EQ(MqttNamesProblem(s), "[MQTT] Station=a+b holds '+', which no topic may hold");
    s.Station = "a/b";
    EXPECT_NE(MqttNamesProblem(s).find("Station=a/b holds '/'"), std::string::npos);
    s.Station = std::string("a\0b", 3);
    EXPECT_EQ(MqttNamesProblem(s), "[MQTT] Station=a\\0b holds a NUL character");
    s.Station = "Hall\xE9";
    EXPECT_EQ(MqttNamesProblem(s), "") << "8-bit names are sent as UTF-8";
    s.Topic = "site/#";
    EXPECT_EQ(MqttNamesProblem(s), "[MQTT] Topic=site/# holds '#', which no topic may hold");
    s.Topic = "corvane";
    s.ClientId = "id+#/";
    EXPECT_EQ(MqttNamesProblem(s), "") << "a client id is no topic";
    s.ClientId = "";
    EXPECT_EQ(MqttNamesProblem(s), "[MQTT] ClientId= is empty");

    std::vector<std::string> log;
    s.Host = "127.0.0.1";
    s.ClientId = "x";
    s.Station = "a#";
    TMqttPublisher publisher(s, [&log](std::string_view line) { log.emplace_back(line); });
    EXPECT_FALSE(publisher.Start());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "MQTT broker 127.0.0.1:1883 not used: [MQTT] Station=a# holds '#', which "
                      "no topic may hold");
}

TEST(MqttNames, AMissingAuthorityFileIsSaidPlainly) {
    TMqttSettings s;
    s.Host = "127.0.0.1";
    s.Station = "plant-1";
    s.ClientId = "c";
    s.Tls = true;
    s.CaFile = "/nonexistent/ca.crt";
    std::vector<std::string> log;
    TMqttPublisher publisher(s, [&log](std::string_view line) { log.emplace_back(line); });
    EXPECT_FALSE(publisher.Start());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "MQTT broker 127.0.0.1:1883 not used: CAFile /nonexistent/ca.crt cannot be "
                      "read: No such file or directory");
}

// A repeater letter that is a wildcard still has its state published, under its encoded level,
// and an 8-bit station name reaches the broker as UTF-8.
TEST(MqttNames, EveryRepeaterAndAn8BitStationReachTheBroker) {
    testing::TBroker broker;
    ASSERT_TRUE(broker.Start());
    testing::TSubscriber sub(broker.Port(), "corvane/#");
    ASSERT_TRUE(sub.WaitConnected());
    TMqttSettings s;
    s.Host = "127.0.0.1";
    s.Port = broker.Port();
    s.Station = "Hall\xE9";
    s.ClientId = "corvane-Hall\xE9";
    std::vector<std::string> log;
    TMqttPublisher publisher(s, [&log](std::string_view line) { log.emplace_back(line); });
    ASSERT_TRUE(publisher.Start());
    ASSERT_TRUE(WaitFor([&] { return publisher.Connected(); }, 5000));
    TManualClock clock{EncodeDateTime(2026, 3, 4, 10, 20, 30.25)};
    TNullListener listener;
    TMonitor monitor{clock, listener};
    ASSERT_TRUE(monitor.ParsePacketLine(nullptr, testing::SensorLine(0x42, ",5", '#')));
    publisher.PublishStates(monitor.Store());
    const std::string base = "corvane/Hall\xC3\xA9";
    ASSERT_TRUE(sub.WaitFor(1, base + "/repeater/%23")) << "no state of repeater #";
    EXPECT_EQ(sub.On(base + "/repeater/%23")[0].Json()["repeater"].toString(), "#");
    EXPECT_EQ(sub.On(base + "/status")[0].Payload, "online");
    publisher.Stop();
    EXPECT_EQ(publisher.Dropped(), 0u);
}

} // namespace
} // namespace corvane
