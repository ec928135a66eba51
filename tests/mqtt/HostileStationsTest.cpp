// A broker of the test's own that hands a reader what no station writes: each message is
// dropped or bounded and counted, the connection and the memory stay, and the good line after
// them all still arrives.
#include <gtest/gtest.h>

#include <QThread>

#include "FakeBroker.h"
#include "mqtt/BrokerStream.h"
#include "mqtt/MqttSubscriber.h"

namespace corvane {
namespace {

using testing::TFakeBroker;

struct TCollected {
    std::vector<TStationEvent> Events;
    std::vector<std::string> Names;
    std::vector<std::string> Lines;
    size_t Faults[kMessageFaults] = {};
};

// Takes what the subscriber queued until done holds or the time is up.
bool Collect(TMqttSubscriber& s, TCollected& c, const std::function<bool()>& done, int ms = 20000) {
    std::vector<TStationEvent> events;
    for (int i = 0; i < ms / 10; ++i) {
        s.DrainReady();
        s.Poll();
        const size_t n = s.Take(events);
        for (size_t k = 0; k < n; ++k) {
            const TStationEvent& e = events[k];
            c.Events.push_back(e);
            if (e.Kind == TStationEvent::TKind::New)
                c.Names.push_back(e.Message.Line);
            else if (e.Kind == TStationEvent::TKind::Line)
                c.Lines.push_back(e.Message.Line);
            else if (e.Kind == TStationEvent::TKind::Fault)
                ++c.Faults[size_t(e.Fault)];
        }
        if (done())
            return true;
        QThread::msleep(10);
    }
    return done();
}

std::string Good(const std::string& line) {
    return "{\"time\":\"2026-12-08T15:20:39.123+01:00\",\"conn\":\"x\",\"line\":\"" + line + "\"}";
}

TEST(HostileStations, WhatNoStationWritesIsDroppedCountedAndBounded) {
    TFakeBroker broker([](const auto& send) {
        if (!send(TFakeBroker::Connack()))
            return;
        send(TFakeBroker::Publish("corvane/a/line", Good(std::string(1 << 20, 'A')), 0));
        send(TFakeBroker::Publish("corvane/a/line", "{\"line\":", 0));
        send(TFakeBroker::Publish("corvane/a/line", "{\"line\":\"\xFF\"}", 0));
        send(TFakeBroker::Publish("corvane/a/line", Good(std::string(2000, 'B')), 0));
        for (const std::string& topic :
             {std::string("corvane/+/line"), std::string("corvane/#/line"),
              std::string("corvane/\xFF\xFE/line"), "corvane/" + std::string(1000, 'x') + "/line"})
            send(TFakeBroker::Publish(topic, Good("C"), 0));
        for (int i = 0; i < 10000; ++i)
            send(TFakeBroker::Publish("corvane/s" + std::to_string(i) + "/status", "online", 0));
        send(TFakeBroker::Publish("corvane/a/line", Good("the good line"), 0));
    });
    TMqttSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = broker.Port();
    settings.Station = "desk";
    settings.ClientId = "corvane-desk";
    std::vector<std::string> log;
    std::mutex mutex;
    TMqttSubscriber s(settings, [&](std::string_view line) {
        std::lock_guard lock(mutex);
        log.emplace_back(line);
    });
    const size_t before = testing::ResidentBytes();
    ASSERT_TRUE(s.Start());
    TCollected c;
    ASSERT_TRUE(Collect(s, c, [&] { return !c.Lines.empty(); }))
        << s.Received() << " received, " << s.Oversized() << " oversized, " << c.Names.size()
        << " stations, " << (log.empty() ? std::string() : log.front() + " / " + log[1]);
    EXPECT_EQ(c.Lines, std::vector<std::string>{"the good line"});
    EXPECT_EQ(s.Oversized(), 1u);
    EXPECT_EQ(c.Faults[size_t(TMessageFault::BadJson)], 1u);
    EXPECT_EQ(c.Faults[size_t(TMessageFault::BadUtf8)], 1u);
    EXPECT_EQ(c.Faults[size_t(TMessageFault::TooLong)], 1u);
    EXPECT_EQ(s.DroppedTopics(TTopicFault::BadName), 3u);
    EXPECT_EQ(s.DroppedTopics(TTopicFault::TooLong), 1u);
    EXPECT_EQ(c.Names.size(), TStationTable::MaxStations);
    EXPECT_EQ(s.DroppedTopics(TTopicFault::Full), 10000 - (TStationTable::MaxStations - 1));
    // One connection throughout: none of it was a reason to leave.
    EXPECT_EQ(broker.Connections(), 1);
    EXPECT_LT(testing::ResidentBytes(), before + 32u * 1024 * 1024);
    s.Stop();
}

// A station first heard through a status this run does not know (a retained status cleared,
// a word of a newer station's) is still named before its lines: else they belong to nobody.
TEST(HostileStations, AStationFirstHeardThroughAnUnknownStatusIsNamedBeforeItsLines) {
    TFakeBroker broker([](const auto& send) {
        if (!send(TFakeBroker::Connack()))
            return;
        send(TFakeBroker::Publish("corvane/b/status", "", 0));
        send(TFakeBroker::Publish("corvane/c/status", "starting", 0));
        send(TFakeBroker::Publish("corvane/b/line", Good("b's line"), 0));
        send(TFakeBroker::Publish("corvane/c/status", "online", 0));
    });
    TMqttSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = broker.Port();
    settings.Station = "desk";
    settings.ClientId = "corvane-desk";
    TMqttSubscriber s(settings, [](std::string_view) {});
    ASSERT_TRUE(s.Start());
    TCollected c;
    ASSERT_TRUE(Collect(s, c, [&] { return c.Events.size() >= 4; }));
    using TKind = TStationEvent::TKind;
    ASSERT_EQ(c.Events.size(), 4u);
    EXPECT_EQ(c.Names, (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(c.Events[2].Kind, TKind::Line);
    EXPECT_EQ(c.Events[2].Station, 0);
    EXPECT_EQ(c.Events[3].Kind, TKind::Online);
    EXPECT_EQ(c.Events[3].Station, 1);
    s.Stop();
}

TEST(HostileStations, AnOversizedPacketOfAnyOtherKindEndsTheConnection) {
    TFakeBroker broker([](const auto& send) {
        if (send(TFakeBroker::Connack()))
            send(std::string("\x90\xFF\xFF\xFF\x7F", 5)); // a SUBACK of 256 MB
    });
    TMqttSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = broker.Port();
    settings.Station = "desk";
    std::vector<std::string> log;
    std::mutex mutex;
    TMqttSubscriber s(settings, [&](std::string_view line) {
        std::lock_guard lock(mutex);
        log.emplace_back(line);
    });
    ASSERT_TRUE(s.Start());
    TCollected c;
    const std::string lost = "MQTT broker 127.0.0.1:" + std::to_string(broker.Port()) +
                             " lost: unexpected message from the broker";
    EXPECT_TRUE(Collect(s, c, [&] {
        std::lock_guard lock(mutex);
        return std::find(log.begin(), log.end(), lost) != log.end();
    }));
    s.Stop();
}

TEST(BrokerStream, AReaderPassesOverALongPublishAndRefusesAnyOtherLongPacket) {
    TBrokerStream s(1000);
    using V = TBrokerStream::TVerdict;
    EXPECT_EQ(s.Check(0, std::string("\x30\x05", 2)), V::Fine);
    EXPECT_TRUE(s.AtPublish());
    EXPECT_EQ(s.HeaderBytes(), 2u);
    EXPECT_EQ(s.Check(7, std::string("\x90\x03\x00\x01\x00", 5)), V::Fine); // SUBACK
    EXPECT_FALSE(s.AtPublish());
    EXPECT_EQ(s.Check(12, std::string("\x30\xE9\x07", 3)), V::Skip); // 1001 bytes
    EXPECT_EQ(s.SkipBytes(), 1004u);
    EXPECT_EQ(s.Check(1016, std::string("\x30\x02", 2)), V::Fine) << "the packet after it";
    EXPECT_EQ(s.Check(1020, std::string("\x90\x80\x80\x01", 4)), V::Unexpected);
}

} // namespace
} // namespace corvane
