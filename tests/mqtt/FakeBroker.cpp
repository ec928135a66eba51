#include "FakeBroker.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace corvane::testing {

namespace {

std::string RemainingLength(uint32_t n) {
    std::string out;
    do {
        char byte = char(n % 128);
        n /= 128;
        if (n > 0)
            byte = char(byte | 0x80);
        out += byte;
    } while (n > 0);
    return out;
}

// Reads what the client sent, without waiting longer than ms; false once it has gone.
bool Drain(int client, int ms) {
    pollfd p{client, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0)
        return true;
    char buffer[4096];
    return ::recv(client, buffer, sizeof buffer, MSG_DONTWAIT) != 0;
}

} // namespace

TFakeBroker::TFakeBroker(TBehaviour behaviour, bool hold)
    : behaviour_(std::move(behaviour)), hold_(hold) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 8);
    socklen_t size = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

TFakeBroker::~TFakeBroker() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

void TFakeBroker::Serve() {
    while (!stop_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        ++connections_;
        Handle(client);
        ::close(client);
    }
}

void TFakeBroker::Handle(int client) {
    // The CONNECT comes first; its content does not matter here.
    if (!Drain(client, 2000))
        return;
    ::fcntl(client, F_SETFL, ::fcntl(client, F_GETFL) | O_NONBLOCK);
    bool gone = false;
    bool counted = false;
    const auto send = [&](const std::string& bytes) {
        size_t at = 0;
        while (at < bytes.size() && !gone && !stop_) {
            const ssize_t n = ::send(client, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n > 0) {
                at += size_t(n);
                written_ += uint64_t(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                gone = true;
                break;
            }
            pollfd p{client, POLLOUT | POLLIN, 0};
            ::poll(&p, 1, 50);
            if ((p.revents & (POLLHUP | POLLERR)) || ((p.revents & POLLIN) && !Drain(client, 0)))
                gone = true;
        }
        if (!gone && !Drain(client, 0))
            gone = true;
        if (gone && !counted) {
            counted = true;
            ++closedByClient_;
        }
        return !gone;
    };
    behaviour_(send);
    // Holds the connection until the client leaves or the test ends.
    while (hold_ && !gone && !stop_)
        gone = !Drain(client, 50);
}

std::string TFakeBroker::Connack() {
    return std::string("\x20\x02\x00\x00", 4);
}

std::string TFakeBroker::Publish(const std::string& topic, const std::string& payload, int qos,
                                 int id) {
    std::string body;
    body += char(topic.size() >> 8);
    body += char(topic.size() & 0xFF);
    body += topic;
    if (qos > 0) {
        body += char(id >> 8);
        body += char(id & 0xFF);
    }
    body += payload;
    return char(0x30 | (qos << 1)) + RemainingLength(uint32_t(body.size())) + body;
}

std::string TFakeBroker::PublishHeader(uint32_t length) {
    return char(0x30) + RemainingLength(length);
}

size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * size_t(::sysconf(_SC_PAGESIZE));
}

} // namespace corvane::testing
