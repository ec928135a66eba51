// The reading network's thread: connecting, reading the stations' messages with a look at each
// fixed header first, passing over what is too long, and holding back while the queue is full.
#include <mosquitto.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "mqtt/MqttPublisher.h"
#include "mqtt/MqttSubscriber.h"
#include "mqtt/NetworkLoop.h"

namespace corvane {

namespace {

constexpr char kUnexpected[] = "unexpected message from the broker";
// Packets read in one go before the caller is handed what they carried and the socket is
// polled again.
constexpr int kPacketsPerTurn = 512;
// How long the reader waits for a fixed header's missing bytes before looking again.
constexpr int kHeaderWaitMs = 1;

bool Waiting(int sock) {
    int n = 0;
    return ::ioctl(sock, FIONREAD, &n) == 0 && n > 0;
}

} // namespace

void TMqttSubscriber::Run() {
    TNetworkTurns turns;
    turns.Service = [this] {
        Service();
        Watch();
    };
    turns.Lost = [this](int wait) {
        connected_ = false;
        if (unexpected_)
            Forget();
        Report("Reconnecting to MQTT broker " + BrokerName() + " in " + std::to_string(wait) +
               " s");
    };
    turns.Attempt = [this] { return Attempt(); };
    RunNetwork(mosq_, retry_, wakeFd_, stopping_, socketSince_, turns);
    if (mosquitto_socket(mosq_) >= 0)
        mosquitto_disconnect(mosq_);
    if (mosquitto_socket(mosq_) >= 0 && mosquitto_want_write(mosq_))
        mosquitto_loop_write(mosq_, 1);
}

bool TMqttSubscriber::Attempt() {
    stream_.Reset();
    skipLeft_ = 0;
    topicPending_ = false;
    aheadKnown_ = false;
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
    if (const std::string lost = FinishTurn(mosq_, rc); !lost.empty())
        ReportLost(lost);
}

// Packets while they are waiting, the queue has room and the turn lasts.
int TMqttSubscriber::ReadAll(bool peerClosed) {
    int rc = MOSQ_ERR_SUCCESS;
    for (int i = 0; i < kPacketsPerTurn && rc == MOSQ_ERR_SUCCESS; ++i) {
        rc = ReadOne(peerClosed);
        const int sock = mosquitto_socket(mosq_);
        if (sock < 0 || !((aheadKnown_ && aheadUnread_ > 0) || Waiting(sock)))
            break;
        std::lock_guard lock(queueMutex_);
        if (queued_ >= QueueMax)
            break;
    }
    return rc;
}

int TMqttSubscriber::ReadOne(bool peerClosed) {
    const int sock = mosquitto_socket(mosq_);
    const bool aheadKnown = std::exchange(aheadKnown_, false); // until a PUBLISH is read whole
    if (sock >= 0 && skipLeft_ > 0)
        return PassOver(sock, peerClosed);
    // A PUBLISH looked at already, whose topic was not all there.
    if (sock >= 0 && topicPending_) {
        if (!TopicReadable(sock))
            return peerClosed ? mosquitto_loop_read(mosq_, 1) : MOSQ_ERR_SUCCESS;
        return mosquitto_loop_read(mosq_, 1);
    }
    uint64_t consumed = 0;
    uint64_t unread = 0;
    char head[5];
    size_t length = 0;
    // Under TLS the bytes cannot be looked at; the library reads what the broker sends.
    if (!settings_.Tls && sock >= 0 &&
        LookAhead(sock, aheadKnown, consumed, head, length, unread)) {
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
            if (!stream_.AtPublish())
                break;
            if (!TopicReadable(sock))
                return peerClosed ? mosquitto_loop_read(mosq_, 1) : MOSQ_ERR_SUCCESS;
            return ReadPublish(sock, consumed, unread);
        }
    }
    return mosquitto_loop_read(mosq_, 1);
}

// Takes what is left of an oversized PUBLISH from the socket, unread by the library.
int TMqttSubscriber::PassOver(int sock, bool peerClosed) {
    char sink[16 * 1024];
    const ssize_t n =
        ::recv(sock, sink, size_t(std::min<uint64_t>(skipLeft_, sizeof sink)), MSG_DONTWAIT);
    if (n > 0)
        skipLeft_ -= uint64_t(n);
    else if (n == 0 || peerClosed)
        return mosquitto_loop_read(mosq_, 1); // gone: the library tidies up
    return MOSQ_ERR_SUCCESS;
}

// The stream's counts as the last PUBLISH left them, while bytes wait; else the socket's.
bool TMqttSubscriber::LookAhead(int sock, bool known, uint64_t& consumed, char head[5],
                                size_t& length, uint64_t& unread) {
    if (known && aheadUnread_ >= 5 && ::recv(sock, head, 5, MSG_PEEK | MSG_DONTWAIT) == 5) {
        consumed = aheadConsumed_;
        length = 5;
        unread = aheadUnread_; // at least: more may have come since
        return true;
    }
    return ReadStreamHead(sock, consumed, head, length, &unread);
}

// A PUBLISH at the stream's offset consumed, looked at; when it was all there, the library reads
// exactly it and no more, so where the stream stands after it is known without asking.
int TMqttSubscriber::ReadPublish(int sock, uint64_t consumed, uint64_t unread) {
    const uint64_t size = stream_.SkipBytes();
    const int rc = mosquitto_loop_read(mosq_, 1);
    if (rc == MOSQ_ERR_SUCCESS && unread >= size && mosquitto_socket(mosq_) == sock &&
        !unexpected_) {
        aheadKnown_ = true;
        aheadConsumed_ = consumed + size;
        aheadUnread_ = unread - size;
    }
    return rc;
}

// The library ends the connection over a topic that is no UTF-8; a broker that passes on such
// a topic loses one message, not the reader. False when the packet was passed over, or its
// topic is not all there yet.
bool TMqttSubscriber::TopicReadable(int sock) {
    const size_t header = stream_.HeaderBytes();
    char buffer[5 + 2 + TStationTable::MaxTopicBytes + 1];
    topicPending_ = false;
    if (stream_.SkipBytes() < header + 2)
        return true; // no room for a topic: the library says what is wrong with it
    auto wait = [this] {
        topicPending_ = true;
        ::poll(nullptr, 0, kHeaderWaitMs);
        return false;
    };
    // One look takes in the longest topic the table keeps; what follows it is only looked at.
    const ssize_t got =
        ::recv(sock, buffer, header + 2 + TStationTable::MaxTopicBytes, MSG_PEEK | MSG_DONTWAIT);
    if (got < ssize_t(header + 2))
        return wait();
    const size_t length = size_t(uint8_t(buffer[header])) << 8 | uint8_t(buffer[header + 1]);
    if (length > TStationTable::MaxTopicBytes)
        return true; // the table turns it away; the library can read any valid one
    if (got < ssize_t(header + 2 + length))
        return wait();
    if (mosquitto_validate_utf8(buffer + header + 2, int(length)) == MOSQ_ERR_SUCCESS)
        return true;
    ++topicDrops_[size_t(TTopicFault::BadName)];
    skipLeft_ = stream_.SkipBytes();
    return false;
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
