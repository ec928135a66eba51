#include "mqtt/MqttSubscriber.h"

#include <mosquitto.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "mqtt/MqttNames.h"
#include "mqtt/MqttPublisher.h"
#include "util/ThreadPriority.h"

namespace corvane {

namespace {

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// The reader's client id: never the publisher's of the same run, nor another reader's on the
// same machine, for a broker ends the older of two connections with one id.
TMqttSettings ReaderSettings(TMqttSettings settings) {
    settings.ClientId += "-reader-" + std::to_string(::getpid());
    return settings;
}

void Bump(int fd) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

} // namespace

TMqttSubscriber::TMqttSubscriber(const TMqttSettings& settings, TLog log)
    : raw_(ReaderSettings(settings)), settings_(MqttSettingsAsUtf8(raw_)), log_(std::move(log)),
      table_(settings_.Topic) {
    lineTopic_ = settings_.Topic + "/+/line";
    statusTopic_ = settings_.Topic + "/+/status";
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    readyFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

TMqttSubscriber::~TMqttSubscriber() {
    Stop();
    if (mosq_)
        mosquitto_destroy(mosq_);
    for (const int fd : {wakeFd_, readyFd_})
        if (fd >= 0)
            ::close(fd);
}

std::string TMqttSubscriber::BrokerName() const {
    return raw_.Host + ':' + std::to_string(raw_.Port);
}

bool TMqttSubscriber::Start() {
    InitLibrary();
    if (running_)
        return true;
    auto fail = [this](std::string_view what) {
        log_("MQTT broker " + BrokerName() + " not read: " + std::string(what));
        return false;
    };
    if (const std::string problem = MqttSettingsProblem(raw_); !problem.empty())
        return fail(problem);
    if (wakeFd_ < 0 || readyFd_ < 0)
        return fail(std::strerror(EMFILE));
    if (!mosq_)
        mosq_ = mosquitto_new(settings_.ClientId.c_str(), true, this);
    if (!mosq_)
        return fail(std::strerror(errno));
    if (const int rc = Configure(); rc != MOSQ_ERR_SUCCESS)
        return fail(mosquitto_strerror(rc));
    retry_.Reset();
    stream_.Reset();
    const int rc = mosquitto_connect_async(mosq_, settings_.Host.c_str(), settings_.Port,
                                           settings_.KeepAliveSec);
    if (rc == MOSQ_ERR_INVAL)
        return fail(mosquitto_strerror(rc));
    if (rc != MOSQ_ERR_SUCCESS)
        ReportLost(MqttReason(rc));
    stopping_ = false;
    running_ = true;
    thread_ = std::thread([this] {
        NameThisThread("mqtt reader");
        Run();
    });
    return true;
}

int TMqttSubscriber::Configure() {
    mosquitto_connect_callback_set(mosq_, &TMqttSubscriber::OnConnect);
    mosquitto_disconnect_callback_set(mosq_, &TMqttSubscriber::OnDisconnect);
    mosquitto_message_callback_set(mosq_, &TMqttSubscriber::OnMessage);
    // Its acknowledgements and pings go out at once, as the publisher's messages do.
    mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
    return SetLogin(mosq_, settings_);
}

void TMqttSubscriber::Stop() {
    if (!running_)
        return;
    running_ = false;
    stopping_ = true;
    Bump(wakeFd_);
    thread_.join();
    connected_ = false;
}

void TMqttSubscriber::DrainReady() {
    uint64_t count;
    [[maybe_unused]] const ssize_t n = ::read(readyFd_, &count, sizeof count);
}

size_t TMqttSubscriber::Take(std::vector<TStationEvent>& events) {
    bool wasFull;
    size_t n;
    {
        std::lock_guard lock(queueMutex_);
        std::swap(queue_, events);
        n = queued_;
        wasFull = queued_ >= QueueMax;
        queued_ = 0;
        signalled_ = false;
    }
    if (wasFull)
        Bump(wakeFd_); // reading waits for this room
    return n;
}

std::string TMqttSubscriber::Trouble() const {
    std::lock_guard lock(eventsMutex_);
    return trouble_;
}

void TMqttSubscriber::Poll() {
    std::vector<std::string> events;
    {
        std::lock_guard lock(eventsMutex_);
        events.swap(events_);
    }
    for (const std::string& e : events)
        log_(e);
}

// Under queueMutex_: the next free slot, its texts' room kept.
TStationEvent& TMqttSubscriber::Next() {
    if (queued_ == queue_.size())
        queue_.emplace_back();
    TStationEvent& e = queue_[queued_++];
    e.Fault = TMessageFault::None;
    return e;
}

void TMqttSubscriber::Signal() {
    if (signalled_)
        return;
    signalled_ = true;
    Bump(readyFd_);
}

void TMqttSubscriber::Message(std::string_view topic, std::string_view payload) {
    ++received_;
    const TStationTable::TTopic t = table_.Classify(topic);
    if (t.Fault != TTopicFault::None) {
        ++topicDrops_[size_t(t.Fault)];
        return;
    }
    thread_local TStationLine parsed;
    TMessageFault fault = TMessageFault::None;
    if (t.Kind == TTopicKind::Line)
        fault = ParseStationLine(payload, parsed);
    // A retained status cleared, or one this run does not know, says nothing of the station;
    // but the table has it now, and its name must reach the caller before its first line.
    const bool said = t.Kind == TTopicKind::Line || payload == "online" || payload == "offline";
    if (!said && !t.New)
        return;
    std::lock_guard lock(queueMutex_);
    if (t.New) {
        TStationEvent& e = Next();
        e.Kind = TStationEvent::TKind::New;
        e.Station = uint16_t(t.Station);
        e.Message.Line = table_.Names()[size_t(t.Station)];
    }
    if (!said) {
        Signal();
        return;
    }
    TStationEvent& e = Next();
    e.Station = uint16_t(t.Station);
    if (t.Kind == TTopicKind::Status) {
        e.Kind = payload == "online" ? TStationEvent::TKind::Online : TStationEvent::TKind::Offline;
    } else if (fault != TMessageFault::None) {
        e.Kind = TStationEvent::TKind::Fault;
        e.Fault = fault;
    } else {
        e.Kind = TStationEvent::TKind::Line;
        e.Message.Line.assign(parsed.Line);
        e.Message.Conn.assign(parsed.Conn);
        e.Message.HasTime = parsed.HasTime;
        e.Message.Wall = parsed.Wall;
    }
    Signal();
}

void TMqttSubscriber::Report(std::string text) {
    {
        std::lock_guard lock(eventsMutex_);
        events_.push_back(std::move(text));
    }
    std::lock_guard lock(queueMutex_);
    Signal();
}

void TMqttSubscriber::ReportLost(std::string_view reason) {
    {
        std::lock_guard lock(eventsMutex_);
        trouble_.assign(reason);
    }
    if (reported_ == 0)
        return;
    reported_ = 0;
    Report("MQTT broker " + BrokerName() + " lost: " + std::string(reason));
}

void TMqttSubscriber::OnConnect(mosquitto* m, void* obj, int rc) {
    auto* self = static_cast<TMqttSubscriber*>(obj);
    if (rc != 0) {
        self->ReportLost(mosquitto_connack_string(rc));
        return;
    }
    // A clean session each time: what was subscribed went with the last connection.
    mosquitto_subscribe(m, nullptr, self->statusTopic_.c_str(), 0);
    mosquitto_subscribe(m, nullptr, self->lineTopic_.c_str(), 0);
    {
        std::lock_guard lock(self->eventsMutex_);
        self->trouble_.clear();
    }
    self->connected_ = true;
    self->retry_.Connected(
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count());
    if (self->reported_ != 1) {
        self->reported_ = 1;
        self->Report("MQTT broker " + self->BrokerName() + " connected");
    }
}

void TMqttSubscriber::OnDisconnect(mosquitto*, void* obj, int rc) {
    auto* self = static_cast<TMqttSubscriber*>(obj);
    self->connected_ = false;
    if (rc != 0)
        self->ReportLost(MqttReason(rc));
}

void TMqttSubscriber::OnMessage(mosquitto*, void* obj, const mosquitto_message* message) {
    if (!message)
        return;
    const std::string_view payload(static_cast<const char*>(message->payload),
                                   message->payload ? size_t(message->payloadlen) : 0);
    static_cast<TMqttSubscriber*>(obj)->Message(message->topic ? message->topic : "", payload);
}

} // namespace corvane
