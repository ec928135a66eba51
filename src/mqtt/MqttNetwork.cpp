// The publisher's network thread: connecting, reading what the broker answers, handing the
// library what the intake queued, and the farewell.
#include <mosquitto.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "mqtt/MqttPublisher.h"
#include "mqtt/NetworkLoop.h"

namespace corvane {

int ReadFromBroker(mosquitto* mosq, TBrokerStream& stream, bool plain, bool peerClosed) {
    const int sock = mosquitto_socket(mosq);
    uint64_t consumed = 0;
    char head[5];
    size_t length = 0;
    // Enciphered bytes cannot be looked at: under TLS only their amount is judged (Watch).
    if (plain && sock >= 0 && ReadStreamHead(sock, consumed, head, length)) {
        switch (stream.Check(consumed, std::string_view(head, length))) {
        case TBrokerStream::TVerdict::Unexpected:
        case TBrokerStream::TVerdict::Skip: // no PUBLISH is a publisher's answer
            return ReadUnexpected;
        case TBrokerStream::TVerdict::NeedMore:
            // The rest of a header is on its way, unless the broker has gone: then the library
            // reads to the end and tidies up.
            if (!peerClosed) {
                ::poll(nullptr, 0, 10);
                return MOSQ_ERR_SUCCESS;
            }
            break;
        case TBrokerStream::TVerdict::Fine:
            break;
        }
    }
    return mosquitto_loop_read(mosq, 1);
}

void TMqttPublisher::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

namespace {
// The loss a broker that sends what nothing asked for is logged with.
constexpr char kUnexpected[] = "unexpected message from the broker";

} // namespace

void TMqttPublisher::Run() {
    TNetworkTurns turns;
    turns.Service = [this] {
        Service(1000);
        Watch();
    };
    turns.Lost = [this](int) {
        // Gone, whether refused, failed or dropped: whatever the library held goes with it.
        connected_ = false;
        dropped_ += uint64_t(pending_.exchange(0));
        if (unexpected_)
            Forget();
    };
    turns.Idle = [this] { DropQueued(); };
    turns.Attempt = [this] { return Attempt(); };
    RunNetwork(mosq_, retry_, wakeFd_, stopping_, socketSince_, turns);
    Farewell();
}

bool TMqttPublisher::Attempt() {
    stream_.Reset();
    // Host and port are given each time: a library state made anew knows neither.
    const int rc = mosquitto_connect_async(mosq_, settings_.Host.c_str(), settings_.Port,
                                           settings_.KeepAliveSec);
    if (rc == MOSQ_ERR_SUCCESS)
        return true;
    ReportLost(MqttReason(rc));
    return false;
}

void TMqttPublisher::Service(int timeoutMs) {
    const int sock = mosquitto_socket(mosq_);
    pollfd fds[2] = {
        {sock, short(POLLIN | POLLRDHUP | (mosquitto_want_write(mosq_) ? POLLOUT : 0)), 0},
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
    if (n > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP | POLLRDHUP))) {
        rc = ReadFromBroker(mosq_, stream_, !settings_.Tls, fds[0].revents & POLLRDHUP);
        if (rc == ReadUnexpected) {
            Drop(kUnexpected);
            return;
        }
    }
    if (unexpected_ && mosquitto_socket(mosq_) >= 0) {
        Drop(kUnexpected);
        return;
    }
    if (rc == MOSQ_ERR_SUCCESS && connected_.load())
        HandOver();
    if (const std::string lost = FinishTurn(mosq_, rc); !lost.empty())
        ReportLost(lost);
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
    lastLost_ = reason;
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
    ++self->connections_;
    self->connected_ = true;
    self->everConnected_ = true;
    // A connection that stays up earns the short waits back; one that drops at once does not.
    self->retry_.Connected(SteadySeconds(std::chrono::steady_clock::now()));
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
        self->ReportLost(MqttReason(rc));
}

void TMqttPublisher::OnMessage(mosquitto*, void* obj, const mosquitto_message*) {
    // Nothing was subscribed to: whatever the broker sends is no answer to this run.
    static_cast<TMqttPublisher*>(obj)->unexpected_ = true;
}

void TMqttPublisher::OnPublish(mosquitto*, void* obj, int) {
    auto* self = static_cast<TMqttPublisher*>(obj);
    int pending = self->pending_.load();
    while (pending > 0 && !self->pending_.compare_exchange_weak(pending, pending - 1)) {
    }
    ++self->sent_;
}

void TMqttPublisher::Watch() {
    const int sock = mosquitto_socket(mosq_);
    if (sock < 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    const auto up = now - socketSince_;
    if (!connected_.load() && up >= std::chrono::seconds(ConnectAnswerSec)) {
        Drop("no answer to connect within " + std::to_string(ConnectAnswerSec) + " s");
        return;
    }
    // Answers to a publisher are a few bytes a message at most: a broker that sends more than
    // this is sending what nothing asked for (under TLS the only sign of it that can be seen).
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(up).count();
    const uint64_t allowance = 256 * 1024 + 256 * uint64_t(seconds) + 64 * sent_.load();
    if (BytesReceived(sock) > allowance) {
        Drop(kUnexpected);
        return;
    }
}

void TMqttPublisher::Drop(const std::string& reason) {
    // Not connected from the moment the loss is told: a Stop that heard of it ends "lost".
    connected_ = false;
    ReportLost(reason);
    unexpected_ = true;
    CutConnection(mosq_);
}

double SteadySeconds(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

void DrainWake(int fd) {
    uint64_t count;
    [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
}

void CutConnection(mosquitto* mosq) {
    const int sock = mosquitto_socket(mosq);
    // The library has no call that drops a connection without a farewell. Its socket is swapped
    // for one whose peer is gone, so its next read finds the end at once and it tidies up as for
    // any lost broker, without reading what the broker sent.
    int ends[2];
    if (sock >= 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0) {
        ::close(ends[1]);
        ::dup2(ends[0], sock);
        ::close(ends[0]);
    }
    if (mosquitto_socket(mosq) >= 0)
        mosquitto_loop_read(mosq, 1);
}

void TMqttPublisher::Forget() {
    // What the library kept of a broker that broke the protocol (unreleased QoS 2 messages among
    // it) goes with a library state made anew.
    unexpected_ = false;
    mosquitto_reinitialise(mosq_, settings_.ClientId.c_str(), true, this);
    Configure();
}

} // namespace corvane
