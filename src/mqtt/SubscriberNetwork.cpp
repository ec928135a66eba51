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
// What one look at a run of PUBLISH packets takes in: a few hundred station lines.
constexpr size_t kRunBytes = 64 * 1024;
// After a turn that took messages the reader waits this long before it looks again. At a flood
// a look then takes dozens of messages and the caller is woken once for them all, where it was
// a wake, its calls and the caller's for every two or three: three quarters of the processor
// time a line. A line waits at most this much longer; a quiet network costs nothing.
constexpr int kLingerMs = 1;

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
        const uint64_t before = received_.load(std::memory_order_relaxed);
        rc = ReadAll(fds[0].revents & POLLRDHUP);
        if (received_.load(std::memory_order_relaxed) != before)
            ::poll(nullptr, 0, kLingerMs);
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
    // Under TLS the bytes cannot be looked at; the library reads what the broker sends.
    if (settings_.Tls || sock < 0)
        return mosquitto_loop_read(mosq_, 1);
    // Where the stream stands is known, so one look takes whatever whole PUBLISH packets wait.
    if (aheadKnown && stream_.AtPacket(aheadConsumed_))
        if (const int taken = TakeRun(sock, aheadConsumed_); taken != 0)
            return taken > 0 ? MOSQ_ERR_SUCCESS : ReadUnexpected;
    uint64_t consumed = 0;
    uint64_t unread = 0;
    char head[5];
    size_t length = 0;
    if (LookAhead(sock, aheadKnown, consumed, head, length, unread)) {
        if (!aheadKnown && stream_.AtPacket(consumed))
            if (const int taken = TakeRun(sock, consumed); taken != 0)
                return taken > 0 ? MOSQ_ERR_SUCCESS : ReadUnexpected;
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

// The whole QoS 0 PUBLISH packets waiting at the stream's offset consumed, where the library
// stands, taken from the socket in one read and handed on here (PublishRun.h), as many as the
// queue has room for. Returns how many, or -1 when the socket gave back less than it showed.
int TMqttSubscriber::TakeRun(int sock, uint64_t consumed) {
    size_t room;
    {
        std::lock_guard lock(queueMutex_);
        room = queued_ < QueueMax ? QueueMax - queued_ : 0;
    }
    run_.resize(kRunBytes);
    const ssize_t got = room ? ::recv(sock, run_.data(), run_.size(), MSG_PEEK | MSG_DONTWAIT) : 0;
    runParts_.clear();
    const size_t bytes =
        got > 0 ? SplitPublishes({run_.data(), size_t(got)}, MaxPublishBytes, room, runParts_) : 0;
    aheadUnread_ = got > 0 ? uint64_t(got) : 0;
    if (bytes == 0)
        return 0;
    // MSG_TRUNC: TCP drops the bytes without copying them again; were they copied, they would be
    // the very bytes the run was split from.
    for (size_t left = bytes; left > 0;) {
        const ssize_t n =
            ::recv(sock, run_.data(), std::min(left, run_.size()), MSG_TRUNC | MSG_DONTWAIT);
        if (n <= 0)
            return -1;
        left -= size_t(n);
    }
    stream_.Passed(bytes);
    aheadKnown_ = true;
    aheadConsumed_ = consumed + bytes;
    aheadUnread_ = uint64_t(got) - bytes;
    for (const TPublished& p : runParts_) {
        // The library would end the connection over such a topic; here one message is lost.
        if (mosquitto_validate_utf8(p.Topic.data(), int(p.Topic.size())) != MOSQ_ERR_SUCCESS)
            ++topicDrops_[size_t(TTopicFault::BadName)];
        else
            Message(p.Topic, p.Payload);
    }
    return int(runParts_.size());
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
    connected_ = false; // before the loss is told, as the publisher does
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
