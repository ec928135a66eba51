#include "mqtt/BrokerStream.h"

#include <cstddef>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace corvane {

namespace {

constexpr unsigned kPublish = 3;

// The packet types a publisher is ever sent (MQTT 3.1.1 and 5), and what a reader is sent
// besides.
bool Answer(unsigned type, bool reader) {
    switch (type) {
    case kPublish:
    case 9:  // SUBACK
    case 11: // UNSUBACK
        return reader;
    case 2:  // CONNACK
    case 4:  // PUBACK
    case 5:  // PUBREC
    case 7:  // PUBCOMP
    case 13: // PINGRESP
    case 14: // DISCONNECT
        return true;
    default:
        return false;
    }
}

bool TcpInfo(int socket, tcp_info& info) {
    socklen_t size = sizeof info;
    return ::getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 &&
           size >= offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received;
}

// The kernel's connection states after the peer's FIN (its tcp_states.h; the C library's names
// for them clash with the kernel header that has the byte count).
enum : uint8_t { kTimeWait = 6, kCloseWait = 8, kLastAck = 9, kClosing = 11 };

// The peer's FIN takes a place in the byte count though it carries no byte.
uint64_t DataBytesReceived(const tcp_info& info) {
    const uint8_t state = info.tcpi_state;
    const bool finReceived =
        state == kTimeWait || state == kCloseWait || state == kLastAck || state == kClosing;
    return info.tcpi_bytes_received - (finReceived && info.tcpi_bytes_received > 0 ? 1 : 0);
}

} // namespace

TBrokerStream::TVerdict TBrokerStream::Check(uint64_t consumed, std::string_view head) {
    atPublish_ = false;
    // Inside a packet already looked at, or past what can be followed: the library reads on.
    if (consumed != next_ || head.empty())
        return TVerdict::Fine;
    const auto first = static_cast<unsigned char>(head[0]);
    const unsigned type = first >> 4;
    if (!Answer(type, maxPublish_ != 0))
        return TVerdict::Unexpected;
    // The remaining length: seven bits a byte, at most four bytes.
    uint32_t length = 0;
    for (size_t i = 1; i < 5; ++i) {
        if (i >= head.size())
            return TVerdict::NeedMore;
        const auto byte = static_cast<unsigned char>(head[i]);
        length |= uint32_t(byte & 0x7F) << (7 * (i - 1));
        if ((byte & 0x80) == 0) {
            if (type != kPublish && length > MaxPacketBytes)
                return TVerdict::Unexpected;
            next_ += 1 + i + length;
            if (type == kPublish && length > maxPublish_) {
                skip_ = 1 + i + length;
                return TVerdict::Skip;
            }
            atPublish_ = type == kPublish;
            header_ = uint32_t(1 + i);
            skip_ = 1 + i + length;
            return TVerdict::Fine;
        }
    }
    return TVerdict::Unexpected; // a fifth length byte is no MQTT
}

bool ReadStreamHead(int socket, uint64_t& consumed, char head[5], size_t& headLength,
                    uint64_t* unread) {
    // The reader is this thread, so only arrivals move the counts between the calls: the
    // unread count asked before and after the total tells whether the two belong together.
    for (int attempt = 0; attempt < 4; ++attempt) {
        int before = 0;
        int after = 0;
        tcp_info info{};
        if (::ioctl(socket, FIONREAD, &before) != 0 || !TcpInfo(socket, info) ||
            ::ioctl(socket, FIONREAD, &after) != 0)
            return false;
        if (before != after)
            continue;
        const ssize_t n = ::recv(socket, head, 5, MSG_PEEK | MSG_DONTWAIT);
        headLength = n > 0 ? size_t(n) : 0;
        consumed = DataBytesReceived(info) - uint64_t(after);
        if (unread != nullptr)
            *unread = uint64_t(after);
        return true;
    }
    return false;
}

uint64_t BytesReceived(int socket) {
    tcp_info info{};
    return TcpInfo(socket, info) ? DataBytesReceived(info) : 0;
}

} // namespace corvane
