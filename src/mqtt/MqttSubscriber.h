// Reading stations from an MQTT broker through libmosquitto: one client per broker, subscribed
// to every station's line and status under the topic root. Like the publisher, the network runs
// on a thread of its own, which alone talks to the library; it connects, reconnects after 1, 2,
// 4, ... 60 s and subscribes again each time. It reads each message's topic and payload there
// (StationTable, StationLine) and queues what it made of them for the caller's thread, which is
// woken through ReadyFd when the queue stops being empty and takes everything queued at once.
// The queue is bounded: while it is full the thread stops reading, so the broker is held back by
// TCP's own flow control and nothing that reached this run is lost or grows memory.
// Qt-free; log lines reach the caller from Poll.
#pragma once

#include <array>
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
#include "mqtt/MqttSettings.h"
#include "mqtt/PublishRun.h"
#include "mqtt/StationLine.h"
#include "mqtt/StationTable.h"

struct mosquitto;
struct mosquitto_message;

namespace corvane {

struct TStationEvent {
    enum class TKind : uint8_t {
        New,     // a station first heard: Message.Line holds its name (Latin-1)
        Line,    // Message holds the line
        Online,  // its status said "online"
        Offline, // its status said "offline" (its last will, or a clean stop)
        Fault,   // a line message that was turned away for Fault
    };
    TKind Kind = TKind::Line;
    uint16_t Station = 0;
    TMessageFault Fault = TMessageFault::None;
    TStationLine Message;
};

class TMqttSubscriber {
public:
    // Events waiting for the caller's thread at most.
    static constexpr size_t QueueMax = 20000;
    // A PUBLISH longer than this is no station's line message; its topic is counted in.
    static constexpr uint32_t MaxPublishBytes = kMaxLineMessage + TStationTable::MaxTopicBytes + 16;

    using TLog = std::function<void(std::string_view)>;
    // settings: Host, Port, Topic, User, Password, TLS, CAFile, KeepAliveSec and ClientId as
    // written in the settings file (Latin-1); the client id is made this reader's own.
    TMqttSubscriber(const TMqttSettings& settings, TLog log);
    ~TMqttSubscriber();
    TMqttSubscriber(const TMqttSubscriber&) = delete;
    TMqttSubscriber& operator=(const TMqttSubscriber&) = delete;

    // Starts the network thread. False (with a log line) when the library refuses the settings.
    bool Start();
    void Stop();

    // Readable while events or log lines wait; the caller reads it empty, then calls Take.
    int ReadyFd() const { return readyFd_; }
    void DrainReady();
    // Swaps everything queued into events (whose first n entries are valid, n returned), keeping
    // the texts' room on both sides.
    size_t Take(std::vector<TStationEvent>& events);
    // Delivers the network thread's log lines.
    void Poll();

    bool Connected() const { return connected_.load(); }
    // Why the broker is not connected: the newest reason an attempt failed or the connection
    // was lost ("Connection refused", the broker's refusal of the login, ...); empty before any
    // attempt failed and again once connected.
    std::string Trouble() const;
    std::string BrokerName() const; // "host:port"
    // Topics turned away (StationTable), and PUBLISH packets passed over unread for their size.
    uint64_t DroppedTopics(TTopicFault fault) const { return topicDrops_[size_t(fault)].load(); }
    uint64_t Oversized() const { return oversized_.load(); }
    // How often the queue was full and reading waited for the caller.
    uint64_t HeldBack() const { return heldBack_.load(); }
    uint64_t Received() const { return received_.load(); }
    const TMqttSettings& Settings() const { return raw_; }

private:
    int Configure();
    void Run();
    bool Attempt();
    void Service();
    int ReadAll(bool peerClosed);
    int ReadOne(bool peerClosed);
    int PassOver(int sock, bool peerClosed);
    bool TopicReadable(int sock);
    bool LookAhead(int sock, bool known, uint64_t& consumed, char head[5], size_t& length,
                   uint64_t& unread);
    int ReadPublish(int sock, uint64_t consumed, uint64_t unread);
    int TakeRun(int sock, uint64_t consumed);
    void Watch();
    void Drop(const std::string& reason);
    void Forget();
    void Signal();
    void Report(std::string text);
    void ReportLost(std::string_view reason);
    void Message(std::string_view topic, std::string_view payload);
    TStationEvent& Next();

    static void OnConnect(mosquitto* m, void* self, int rc);
    static void OnDisconnect(mosquitto* m, void* self, int rc);
    static void OnMessage(mosquitto* m, void* self, const mosquitto_message* message);

    TMqttSettings raw_;
    TMqttSettings settings_; // as the broker wants them (UTF-8)
    TLog log_;
    std::string lineTopic_;
    std::string statusTopic_;
    mosquitto* mosq_ = nullptr;
    bool running_ = false;
    std::thread thread_;
    int wakeFd_ = -1;  // the network thread's: stop, or room in the queue again
    int readyFd_ = -1; // the caller's: something waits
    std::atomic<bool> stopping_{false};
    std::atomic<bool> connected_{false};
    // Network thread only.
    TBackoff retry_;
    TBrokerStream stream_{MaxPublishBytes};
    uint64_t skipLeft_ = 0;     // bytes of an oversized PUBLISH still to take from the socket
    bool topicPending_ = false; // a PUBLISH whose topic is to be looked at when all there
    // After a PUBLISH that was all there and that the library read whole, where the stream
    // stands and how many bytes still wait: the next header is looked at without asking the
    // socket for its counts again, which costs three calls a message.
    bool aheadKnown_ = false;
    uint64_t aheadConsumed_ = 0;
    uint64_t aheadUnread_ = 0;
    std::vector<char> run_;            // what is looked at for a run of PUBLISH packets
    std::vector<TPublished> runParts_; // the run's packets, into run_
    std::chrono::steady_clock::time_point socketSince_;
    bool unexpected_ = false;
    int reported_ = -1;
    TStationTable table_;
    // Shared with the caller's thread.
    std::mutex queueMutex_;
    std::vector<TStationEvent> queue_;
    size_t queued_ = 0;
    bool signalled_ = false;
    mutable std::mutex eventsMutex_;
    std::vector<std::string> events_;
    std::string trouble_;
    std::array<std::atomic<uint64_t>, kTopicFaults> topicDrops_{};
    std::atomic<uint64_t> oversized_{0};
    std::atomic<uint64_t> heldBack_{0};
    std::atomic<uint64_t> received_{0};
};

} // namespace corvane
