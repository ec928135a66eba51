// Publishing what the monitor hears to an MQTT broker through libmosquitto. The network runs on a
// thread of the publisher's own, which alone talks to the library: it connects, reconnects after
// 1, 2, 4, ... 60 s, and hands the library whatever the intake queued since its last turn, in one
// go. The intake only appends to that queue and wakes the thread when the queue was empty, so a
// busy intake costs one wake-up per batch rather than one per message.
// Messages that cannot go out (no broker, or more waiting than the queue holds) are dropped and
// counted, so a broker that is down or slow never holds the intake back or grows memory.
// Qt-free; whatever the network thread has to say reaches the log from Poll, on the caller's
// thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "conn/Backoff.h"
#include "mqtt/BrokerStream.h"
#include "mqtt/MqttDiscovery.h"
#include "mqtt/MqttSettings.h"
#include "store/Alerts.h"
#include "store/ReadObserver.h"
#include "util/IsoTime.h"
#include "util/JsonText.h"

struct mosquitto;
struct mosquitto_message;

namespace corvane {

std::string_view DeviceStateName(TAlertState state); // "reporting", "late", "silent"

class TMqttPublisher : public TReadObserver, public TLineObserver, public TAlertListener {
public:
    // Messages waiting for the network thread, and messages handed to the library and not yet
    // written to the broker: each at most this many.
    static constexpr int QueueMax = 10000;
    // A CONNECT unanswered for ConnectAnswerSec counts as lost; the keep-alive asked of the
    // broker is [MQTT] KeepAliveSec.
    static constexpr int ConnectAnswerSec = 10;

    using TLog = std::function<void(std::string_view)>;
    TMqttPublisher(TMqttSettings settings, TLog log);
    ~TMqttPublisher() override;
    TMqttPublisher(const TMqttPublisher&) = delete;
    TMqttPublisher& operator=(const TMqttPublisher&) = delete;

    // Starts the network thread; the first connection is made there. False (with a log line)
    // when the library refuses the settings.
    bool Start();
    // Says "offline" when connected, disconnects and ends the network thread.
    void Stop();

    // One packet message per registered read.
    void OnRead(const TStore& store, const TRegisteredRead& read) override;
    // One line message per line a connection delivered, passed or not ([MQTT] Lines).
    void OnLine(std::string_view connName, std::string_view line, TDateTime wall) override;
    // A device's state changed: its retained message goes out at once with the new state.
    void OnStateChanged(TStore& store, TAlertKind kind, int index, TAlertState state);
    // Follows the silence alerts of this store from now on, until the publisher goes.
    void WatchAlerts(TStore& store);
    void AlertStateChanged(TAlertKind kind, uint16_t index, TAlertState state) override;
    void AlertsCleared() override;
    // The device's retained message again, with what it is behind now.
    void AlertCauseChanged(TAlertKind kind, uint16_t index, TAlertCause cause) override;
    // Every device's retained message, with the state last reported for it.
    void PublishStates(TStore& store);
    // Delivers the network thread's log lines.
    void Poll();

    uint64_t Dropped() const { return dropped_.load(); }
    uint64_t Sent() const { return sent_.load(); }
    bool Connected() const { return connected_.load(); }
    // "MQTT broker host:port: connected, n sent, m dropped" (or "not connected"); once stopped,
    // what the connection was at the end: "connected", "lost (<reason>)" or "never connected".
    std::string Summary() const;
    const std::string& TopicBase() const { return base_; }
    const TMqttSettings& Settings() const { return settings_; }

private:
    struct TOutMessage {
        std::string Topic;
        std::string Payload;
        int Qos = 0;
        bool Retain = false;
    };

    int Configure(); // callbacks, credentials, TLS and the last will; a library code
    void Run();      // the network thread
    bool Attempt();
    void Watch();                         // the unanswered connect, the bytes, the back-off
    void Drop(const std::string& reason); // ends a connection the broker abused
    void Forget();                        // the library's state made anew after such an end
    void Service(int timeoutMs);
    void HandOver();
    void DropQueued();
    void Wake();
    void Farewell();
    bool Send(const std::string& topic, std::string_view payload, int qos, bool retain);
    void PublishSensor(TStore& store, uint16_t row);
    void PublishRepeater(TStore& store, uint8_t index);
    void PublishEntry(TStore& store, uint8_t index);
    // The device's discovery messages, once per connection to the broker ([MQTT] Discovery).
    void Announce(std::vector<uint32_t>& announced, size_t index, const TDiscoveryDevice& device);
    void Report(std::string text); // from the network thread
    void ReportLost(std::string_view reason);
    std::string BrokerName() const;

    static void OnConnect(mosquitto* m, void* self, int rc);
    static void OnDisconnect(mosquitto* m, void* self, int rc);
    static void OnPublish(mosquitto* m, void* self, int mid);
    static void OnMessage(mosquitto* m, void* self, const mosquitto_message* message);

    TMqttSettings settings_;    // as the broker wants them (UTF-8)
    TMqttSettings rawSettings_; // as written in the settings file
    TLog log_;
    std::string base_;
    std::string packetTopic_;
    std::string statusTopic_;
    std::string lineTopic_;
    mosquitto* mosq_ = nullptr;
    bool running_ = false;
    std::thread thread_;
    // Network thread only, once started.
    TBackoff retry_;
    TBrokerStream stream_;
    std::chrono::steady_clock::time_point socketSince_;
    bool unexpected_ = false; // the broker sent what nothing asked for
    bool everConnected_ = false;
    std::string lastLost_;
    std::string endState_; // set by Stop
    int wakeFd_ = -1;
    std::atomic<bool> stopping_{false};
    // The intake's side of the queue; the network thread swaps it with its own, keeping the
    // strings' room, so that a steady run allocates nothing here.
    std::mutex queueMutex_;
    std::vector<TOutMessage> queue_;
    size_t queued_ = 0;
    bool idle_ = false; // the network thread sleeps and wants waking for what is queued
    std::vector<TOutMessage> work_;
    size_t worked_ = 0;
    std::atomic<bool> connected_{false};
    std::atomic<int> pending_{0};
    std::atomic<uint64_t> dropped_{0};
    std::atomic<uint64_t> sent_{0};
    // Network thread only: what the log was told last, so that each change is said once.
    int reported_ = -1; // -1 nothing yet, 0 lost, 1 connected
    std::mutex eventsMutex_;
    std::vector<std::string> events_;
    std::vector<uint8_t> sensorStates_;
    std::vector<uint8_t> repeatStates_;
    std::vector<uint8_t> entryStates_;
    TJsonText json_;
    std::string topic_;
    TStore* alertStore_ = nullptr; // the store whose alerts are followed
    // Discovery: the connection each device was last announced on (0: never), counted by the
    // network thread; a broker that lost its retained messages hears them again.
    TDiscovery discovery_;
    std::string rawBase_; // the topic root and station as written (8-bit text)
    std::atomic<uint32_t> connections_{0};
    std::vector<uint32_t> sensorAnnounced_;
    std::vector<uint32_t> repeatAnnounced_;
    std::vector<uint32_t> entryAnnounced_;
    TMqttMessages discoveryOut_;
};

// One read of what the broker sent: on a plain connection the next packet's fixed header is
// looked at first, and the library reads only what a publisher may be sent. Returns the
// library's result, or ReadUnexpected for a packet nothing asked for.
constexpr int ReadUnexpected = -100;
int ReadFromBroker(mosquitto* mosq, TBrokerStream& stream, bool plain, bool peerClosed);

// Ends the library's connection at once, without a farewell and without reading on.
void CutConnection(mosquitto* mosq);

// A library result code in words.
std::string MqttReason(int rc);

// The user, password and TLS of the settings, told to the library before connecting; the
// library's result.
int SetLogin(mosquitto* mosq, const TMqttSettings& settings);

// Seconds on the steady time line, as the back-off takes them.
double SteadySeconds(std::chrono::steady_clock::time_point t);
// Takes what woke a network thread's eventfd.
void DrainWake(int fd);

} // namespace corvane
