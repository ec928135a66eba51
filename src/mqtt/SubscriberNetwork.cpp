// The reading network's thread: connecting, reading the stations' messages with a look at each
// fixed header first, passing over what is too long, and holding back while the queue is full.
#include <mosquitto.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "mqtt/MqttPublisher.h"
#include "mqtt/MqttSubscriber.h"

namespace corvane {

namespace {

constexpr char kUnexpected[] = "unexpected message from the broker";
// Packets read in one go before the caller is handed what they carried and the socket is
// polled again.
constexpr int kPacketsPerTurn = 512;
// How long the reader waits for a fixed header's missing bytes before looking again.
constexpr int kHeaderWaitMs = 1;

double Seconds(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

void DrainWake(int fd) {
    uint64_t count;
    [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
}

bool Waiting(int sock) {
    int n = 0;
    return ::ioctl(sock, FIONREAD, &n) == 0 && n > 0;
}

} // namespace

void TMqttSubscriber::Run() {
    using Clock = std::chrono::steady_clock;
    bool hadSocket = mosquitto_socket(mosq_) >= 0;
    socketSince_ = Clock::now();
    Clock::time_point next = Clock::now();
    if (!hadSocket)
        next += std::chrono::seconds(retry_.Next(Seconds(next)));
    while (!stopping_.load()) {
        if (mosquitto_socket(mosq_) >= 0) {
            if (!hadSocket)
                socketSince_ = Clock::now();
            hadSocket = true;
            Service();
            Watch();
            continue;
        }
        const auto now = Clock::now();
        if (hadSocket) {
            hadSocket = false;
            connected_ = false;
            if (unexpected_)
                Forget();
            const int wait = retry_.Next(Seconds(now));
            next = now + std::chrono::seconds(wait);
            Report("Reconnecting to MQTT broker " + BrokerName() + " in " + std::to_string(wait) +
                   " s");
        }
        if (now >= next) {
            if (!Attempt())
                next = now + std::chrono::seconds(retry_.Next(Seconds(now)));
            continue;
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now);
        pollfd wake{wakeFd_, POLLIN, 0};
        if (::poll(&wake, 1, int(std::min<int64_t>(wait.count() + 1, 1000))) > 0)
            DrainWake(wakeFd_);
    }
    if (mosquitto_socket(mosq_) >= 0)
        mosquitto_disconnect(mosq_);
    if (mosquitto_socket(mosq_) >= 0 && mosquitto_want_write(mosq_))
        mosquitto_loop_write(mosq_, 1);
}

bool TMqttSubscriber::Attempt() {
    stream_.Reset();
    skipLeft_ = 0;
    const int rc = mosquitto_connect_async(mosq_, settings_.Host.c_str(), settings_.Port,
                                           settings_.KeepAliveSec);
    if (rc == MOSQ_ERR_SUCCESS)
        return true;
    ReportLost(MqttReason(rc));
    return false;
}

void TMqttSubscriber::Service() {
    bool full;
    {
        std::lock_guard lock(queueMutex_);
        full = queued_ >= QueueMax;
    }
    if (full)
        ++heldBack_;
    const int sock = mosquitto_socket(mosq_);
    // While the queue is full the socket is not read: the broker waits, not this run's memory.
    const short in = full ? 0 : short(POLLIN | POLLRDHUP);
    pollfd fds[2] = {{sock, short(in | (mosquitto_want_write(mosq_) ? POLLOUT : 0)), 0},
                     {wakeFd_, POLLIN, 0}};
    const int n = ::poll(fds, 2, full ? 100 : 1000);
    if (n > 0 && (fds[1].revents & POLLIN))
        DrainWake(wakeFd_);
    int rc = MOSQ_ERR_SUCCESS;
    if (n > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP | POLLRDHUP))) {
        rc = ReadAll(fds[0].revents & POLLRDHUP);
        if (rc == ReadUnexpected) {
            Drop(kUnexpected);
            return;
        }
    }
    if (unexpected_ && mosquitto_socket(mosq_) >= 0) {
        Drop(kUnexpected);
        return;
    }
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(mosq_) >= 0 && mosquitto_want_write(mosq_))
        rc = mosquitto_loop_write(mosq_, 1);
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(mosq_) >= 0)
        rc = mosquitto_loop_misc(mosq_);
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN)
        ReportLost(MqttReason(rc));
}

// Packets while they are waiting, the queue has room and the turn lasts.
int TMqttSubscriber::ReadAll(bool peerClosed) {
    int rc = MOSQ_ERR_SUCCESS;
    for (int i = 0; i < kPacketsPerTurn && rc == MOSQ_ERR_SUCCESS; ++i) {
        rc = ReadOne(peerClosed);
        const int sock = mosquitto_socket(mosq_);
        if (sock < 0 || !Waiting(sock))
            break;
        std::lock_guard lock(queueMutex_);
        if (queued_ >= QueueMax)
            break;
    }
    return rc;
}

int TMqttSubscriber::ReadOne(bool peerClosed) {
    const int sock = mosquitto_socket(mosq_);
    if (sock >= 0 && skipLeft_ > 0) {
        char sink[16 * 1024];
        const ssize_t n =
            ::recv(sock, sink, size_t(std::min<uint64_t>(skipLeft_, sizeof sink)), MSG_DONTWAIT);
        if (n > 0)
            skipLeft_ -= uint64_t(n);
        else if (n == 0 || peerClosed)
            return mosquitto_loop_read(mosq_, 1); // gone: the library tidies up
        return MOSQ_ERR_SUCCESS;
    }
    uint64_t consumed = 0;
    char head[5];
    size_t length = 0;
    // Under TLS the bytes cannot be looked at; the library reads what the broker sends.
    if (!settings_.Tls && sock >= 0 && ReadStreamHead(sock, consumed, head, length)) {
        switch (stream_.Check(consumed, std::string_view(head, length))) {
        case TBrokerStream::TVerdict::Unexpected:
            return ReadUnexpected;
        case TBrokerStream::TVerdict::Skip:
            ++oversized_;
            skipLeft_ = stream_.SkipBytes();
            return ReadOne(peerClosed);
        case TBrokerStream::TVerdict::NeedMore:
            if (!peerClosed) {
                ::poll(nullptr, 0, kHeaderWaitMs);
                return MOSQ_ERR_SUCCESS;
            }
            break;
        case TBrokerStream::TVerdict::Fine:
            break;
        }
    }
    return mosquitto_loop_read(mosq_, 1);
}

void TMqttSubscriber::Watch() {
    if (mosquitto_socket(mosq_) < 0 || connected_.load())
        return;
    const auto up = std::chrono::steady_clock::now() - socketSince_;
    if (up >= std::chrono::seconds(TMqttPublisher::ConnectAnswerSec))
        Drop("no answer to connect within " + std::to_string(TMqttPublisher::ConnectAnswerSec) +
             " s");
}

void TMqttSubscriber::Drop(const std::string& reason) {
    ReportLost(reason);
    unexpected_ = true;
    CutConnection(mosq_);
}

void TMqttSubscriber::Forget() {
    unexpected_ = false;
    mosquitto_reinitialise(mosq_, settings_.ClientId.c_str(), true, this);
    Configure();
}

} // namespace corvane
