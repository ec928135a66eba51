#include "mqtt/MqttPublisher.h"

#include <mosquitto.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/PacketLine.h"
#include "store/ActivityStore.h"
#include "util/untConst.h"

namespace corvane {

namespace {

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

void AppendHex(std::string& out, const uint8_t* bytes, size_t n) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    for (size_t i = 0; i < n; ++i) {
        out += Hex[bytes[i] >> 4];
        out += Hex[bytes[i] & 0xF];
    }
}

// What the library's code says, in words.
std::string Reason(int rc) {
    return rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc);
}

// Days since 1899-12-30 to seconds since 1970-01-01, both on the local wall clock.
constexpr double UnixEpochDays = 25569.0;

} // namespace

std::string_view DeviceStateName(TAlertState state) {
    switch (state) {
    case TAlertState::Late:
        return "late";
    case TAlertState::Silent:
        return "silent";
    default:
        return "reporting";
    }
}

std::string FormatIsoTime(TDateTime wall) {
    auto ms = static_cast<int64_t>(std::llround((wall - UnixEpochDays) * 86400000.0));
    int64_t secs = ms / 1000;
    ms %= 1000;
    if (ms < 0) {
        ms += 1000;
        --secs;
    }
    // The zone's rules are asked once per second of reads: they decide the fields and the offset
    // together, so a change of summer time shows the offset that was in force at that instant.
    // Within the second only the milliseconds change.
    thread_local int64_t cachedSecs = INT64_MIN;
    thread_local char text[40];
    thread_local int length = 0;
    if (secs != cachedSecs) {
        const auto t = static_cast<time_t>(secs);
        std::tm fields{};
        if (localtime_r(&t, &fields) == nullptr)
            fields = std::tm{};
        const long offset = fields.tm_gmtoff;
        length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.000%c%02ld:%02ld",
                               fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                               fields.tm_hour, fields.tm_min, fields.tm_sec, offset < 0 ? '-' : '+',
                               std::labs(offset) / 3600, std::labs(offset) % 3600 / 60);
        cachedSecs = secs;
    }
    std::string out(text, size_t(length));
    const size_t dot = out.find('.'); // after the seconds, whatever width the year took
    out[dot + 1] = char('0' + ms / 100);
    out[dot + 2] = char('0' + ms / 10 % 10);
    out[dot + 3] = char('0' + ms % 10);
    return out;
}

TMqttPublisher::TMqttPublisher(TMqttSettings settings, TLog log)
    : settings_(std::move(settings)), log_(std::move(log)), sensorStates_(MaxSensors),
      repeatStates_(MaxRepeats), entryStates_(MaxEntries) {
    base_ = settings_.Topic + '/' + settings_.Station;
    packetTopic_ = base_ + "/packet";
    statusTopic_ = base_ + "/status";
}

TMqttPublisher::~TMqttPublisher() {
    if (alertStore_)
        alertStore_->Alerts.Unsubscribe(this);
    Stop();
    if (mosq_)
        mosquitto_destroy(mosq_);
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

std::string TMqttPublisher::BrokerName() const {
    return settings_.Host + ':' + std::to_string(settings_.Port);
}

bool TMqttPublisher::Start() {
    InitLibrary();
    if (running_)
        return true;
    auto fail = [this](std::string_view what) {
        log_("MQTT broker " + BrokerName() + " not used: " + std::string(what));
        return false;
    };
    if (!mosq_)
        mosq_ = mosquitto_new(settings_.ClientId.c_str(), true, this);
    if (!mosq_)
        return fail(std::strerror(errno));
    mosquitto_connect_callback_set(mosq_, &TMqttPublisher::OnConnect);
    mosquitto_disconnect_callback_set(mosq_, &TMqttPublisher::OnDisconnect);
    mosquitto_publish_callback_set(mosq_, &TMqttPublisher::OnPublish);
    if (!settings_.User.empty())
        mosquitto_username_pw_set(mosq_, settings_.User.c_str(),
                                  settings_.Password.empty() ? nullptr
                                                             : settings_.Password.c_str());
    if (settings_.Tls) {
        const char* ca = settings_.CaFile.empty() ? nullptr : settings_.CaFile.c_str();
        // Without a file of its own the system's trusted authorities vouch for the broker.
        const char* caPath = ca ? nullptr : "/etc/ssl/certs";
        const int rc = mosquitto_tls_set(mosq_, ca, caPath, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return fail(mosquitto_strerror(rc));
    }
    static constexpr char Offline[] = "offline";
    mosquitto_will_set(mosq_, statusTopic_.c_str(), int(sizeof Offline - 1), Offline, 1, true);
    if (wakeFd_ < 0)
        wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0)
        return fail(std::strerror(errno));
    retry_.Reset();
    // The first attempt is made here, so that settings the library cannot use at all are said
    // at once; the thread makes every later one.
    const int rc = mosquitto_connect_async(mosq_, settings_.Host.c_str(), settings_.Port, 30);
    if (rc == MOSQ_ERR_INVAL)
        return fail(mosquitto_strerror(rc));
    if (rc != MOSQ_ERR_SUCCESS)
        ReportLost(Reason(rc));
    stopping_ = false;
    running_ = true;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void TMqttPublisher::Stop() {
    if (!running_)
        return;
    running_ = false;
    stopping_ = true;
    Wake();
    thread_.join();
    connected_ = false;
    Poll();
}

void TMqttPublisher::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

namespace {
void DrainWake(int fd) {
    uint64_t count;
    [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
}
} // namespace

void TMqttPublisher::Run() {
    using Clock = std::chrono::steady_clock;
    bool hadSocket = mosquitto_socket(mosq_) >= 0;
    Clock::time_point next = Clock::now();
    if (!hadSocket)
        next += std::chrono::seconds(retry_.Next());
    while (!stopping_.load()) {
        if (mosquitto_socket(mosq_) >= 0) {
            hadSocket = true;
            Service(1000);
            continue;
        }
        if (hadSocket) {
            // Gone, whether refused, failed or dropped: whatever the library held goes with it.
            hadSocket = false;
            connected_ = false;
            dropped_ += uint64_t(pending_.exchange(0));
            next = Clock::now() + std::chrono::seconds(retry_.Next());
        }
        DropQueued();
        const auto now = Clock::now();
        if (now >= next) {
            if (!Attempt())
                next = now + std::chrono::seconds(retry_.Next());
            continue;
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now);
        pollfd wake{wakeFd_, POLLIN, 0};
        if (::poll(&wake, 1, int(std::min<int64_t>(wait.count() + 1, 1000))) > 0)
            DrainWake(wakeFd_);
    }
    Farewell();
}

bool TMqttPublisher::Attempt() {
    const int rc = mosquitto_reconnect_async(mosq_);
    if (rc == MOSQ_ERR_SUCCESS)
        return true;
    ReportLost(Reason(rc));
    return false;
}

void TMqttPublisher::Service(int timeoutMs) {
    const int sock = mosquitto_socket(mosq_);
    pollfd fds[2] = {{sock, short(POLLIN | (mosquitto_want_write(mosq_) ? POLLOUT : 0)), 0},
                     {wakeFd_, POLLIN, 0}};
    {
        // Asleep only with nothing queued; the intake wakes the thread only while it sleeps.
        std::lock_guard lock(queueMutex_);
        if (queued_ > 0 && connected_.load())
            timeoutMs = 0;
        else
            idle_ = true;
    }
    const int n = ::poll(fds, 2, timeoutMs);
    {
        std::lock_guard lock(queueMutex_);
        idle_ = false;
    }
    if (n > 0 && (fds[1].revents & POLLIN))
        DrainWake(wakeFd_);
    int rc = MOSQ_ERR_SUCCESS;
    if (n > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP)))
        rc = mosquitto_loop_read(mosq_, 1);
    if (rc == MOSQ_ERR_SUCCESS && connected_.load())
        HandOver();
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(mosq_) >= 0 && mosquitto_want_write(mosq_))
        rc = mosquitto_loop_write(mosq_, 1);
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(mosq_) >= 0)
        rc = mosquitto_loop_misc(mosq_);
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN)
        ReportLost(Reason(rc));
}

void TMqttPublisher::HandOver() {
    {
        std::lock_guard lock(queueMutex_);
        if (queued_ == 0)
            return;
        std::swap(queue_, work_);
        worked_ = queued_;
        queued_ = 0;
    }
    // The batch leaves in as few segments as it fills rather than one per message.
    const int sock = mosquitto_socket(mosq_);
    const int on = 1, off = 0;
    ::setsockopt(sock, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
    for (size_t i = 0; i < worked_; ++i) {
        const TOutMessage& m = work_[i];
        if (pending_.load() >= QueueMax) {
            ++dropped_;
            continue;
        }
        ++pending_;
        const int rc = mosquitto_publish(mosq_, nullptr, m.Topic.c_str(), int(m.Payload.size()),
                                         m.Payload.data(), m.Qos, m.Retain);
        if (rc != MOSQ_ERR_SUCCESS) {
            int pending = pending_.load();
            while (pending > 0 && !pending_.compare_exchange_weak(pending, pending - 1)) {
            }
            ++dropped_;
        }
    }
    ::setsockopt(sock, IPPROTO_TCP, TCP_CORK, &off, sizeof off);
    worked_ = 0;
}

void TMqttPublisher::DropQueued() {
    std::lock_guard lock(queueMutex_);
    dropped_ += queued_;
    queued_ = 0;
}

void TMqttPublisher::Farewell() {
    if (mosquitto_socket(mosq_) < 0) {
        DropQueued();
        return;
    }
    if (connected_.load()) {
        HandOver();
        static constexpr char Offline[] = "offline";
        mosquitto_publish(mosq_, nullptr, statusTopic_.c_str(), int(sizeof Offline - 1), Offline, 1,
                          true);
    }
    mosquitto_disconnect(mosq_);
    // What is still unwritten gets a second at most.
    for (int i = 0; i < 10 && mosquitto_socket(mosq_) >= 0 && mosquitto_want_write(mosq_); ++i) {
        pollfd out{mosquitto_socket(mosq_), POLLOUT, 0};
        ::poll(&out, 1, 100);
        if (mosquitto_loop_write(mosq_, 1) != MOSQ_ERR_SUCCESS)
            break;
    }
    DropQueued();
}

void TMqttPublisher::Report(std::string text) {
    std::lock_guard lock(eventsMutex_);
    events_.push_back(std::move(text));
}

void TMqttPublisher::ReportLost(std::string_view reason) {
    if (reported_ == 0)
        return;
    reported_ = 0;
    Report("MQTT broker " + BrokerName() + " lost: " + std::string(reason));
}

void TMqttPublisher::OnConnect(mosquitto* m, void* obj, int rc) {
    auto* self = static_cast<TMqttPublisher*>(obj);
    if (rc != 0) {
        self->ReportLost(mosquitto_connack_string(rc));
        return;
    }
    static constexpr char Online[] = "online";
    mosquitto_publish(m, nullptr, self->statusTopic_.c_str(), int(sizeof Online - 1), Online, 1,
                      true);
    self->connected_ = true;
    self->retry_.Reset();
    if (self->reported_ != 1) {
        self->reported_ = 1;
        self->Report("MQTT broker " + self->BrokerName() + " connected");
    }
}

void TMqttPublisher::OnDisconnect(mosquitto*, void* obj, int rc) {
    auto* self = static_cast<TMqttPublisher*>(obj);
    self->connected_ = false;
    // What the library still held for the lost connection is gone with it.
    self->dropped_ += uint64_t(self->pending_.exchange(0));
    if (rc != 0)
        self->ReportLost(Reason(rc));
}

void TMqttPublisher::OnPublish(mosquitto*, void* obj, int) {
    auto* self = static_cast<TMqttPublisher*>(obj);
    int pending = self->pending_.load();
    while (pending > 0 && !self->pending_.compare_exchange_weak(pending, pending - 1)) {
    }
    ++self->sent_;
}

bool TMqttPublisher::Send(const std::string& topic, std::string_view payload, int qos,
                          bool retain) {
    if (!running_ || !connected_.load()) {
        ++dropped_;
        return false;
    }
    bool asleep;
    {
        std::lock_guard lock(queueMutex_);
        if (queued_ >= size_t(QueueMax)) {
            ++dropped_;
            return false;
        }
        if (queued_ == queue_.size())
            queue_.emplace_back();
        TOutMessage& m = queue_[queued_++];
        m.Topic.assign(topic);
        m.Payload.assign(payload);
        m.Qos = qos;
        m.Retain = retain;
        asleep = idle_;
        idle_ = false;
    }
    // A thread at work takes what was queued meanwhile on its next turn unasked.
    if (asleep)
        Wake();
    return true;
}

void TMqttPublisher::Poll() {
    std::vector<std::string> events;
    {
        std::lock_guard lock(eventsMutex_);
        events.swap(events_);
    }
    for (const std::string& e : events)
        log_(e);
}

std::string TMqttPublisher::Summary() const {
    std::string text = "MQTT broker " + BrokerName() + ": ";
    text += connected_.load() ? "connected" : "not connected";
    return text + ", " + std::to_string(Sent()) + " sent, " + std::to_string(Dropped()) +
           " dropped";
}

void TMqttPublisher::OnRead(const TStore& store, const TRegisteredRead& read) {
    if (!running_ || !connected_.load()) {
        ++dropped_; // nothing to build for a broker that is not there
        return;
    }
    const TDecodedPacket& p = read.Packet;
    char label[NameMax + 1];
    char serial[16];
    SerialToHex(p.SerNo, serial);
    TJsonText& j = json_.Begin();
    j.Field("time", FormatIsoTime(read.Wall))
        .Field("serial", std::string_view(serial, 16))
        .Field("label", store.SensorLabel(read.Row, label))
        .Field("kind", SensorKindName(p.Kind))
        .Field("kind_id", int(p.Kind));
    if (read.Repeat != NoIndex)
        j.Field("repeater", std::string_view(&store.Repeats[read.Repeat].Id, 1));
    else
        j.Null("repeater");
    if (read.Entry != NoIndex)
        j.Field("entry", int(store.Entries[read.Entry].Id))
            .Field("entry_name", store.Entries[read.Entry].Name.View());
    else
        j.Null("entry").Null("entry_name");
    std::string hex;
    hex.reserve(22);
    AppendHex(hex, p.Packet, 11);
    j.Field("duplicate", read.Duplicate).Field("data", hex);
    const uint8_t crc[2] = {uint8_t(p.Crc >> 8), uint8_t(p.Crc & 0xFF)};
    hex.clear();
    AppendHex(hex, crc, 2);
    j.Field("crc", hex);
    Send(packetTopic_, j.End(), 0, false);
}

} // namespace corvane
