// What a broker may send a run that only publishes: answers to what the run sent (CONNACK,
// PUBACK, PUBREC, PUBCOMP, PINGRESP) and DISCONNECT, each a few bytes. A PUBLISH, or a packet
// that announces more than a few kilobytes, is a broker that is broken or hostile: the library
// would keep every unreleased QoS 2 message and allocate whatever length a packet announces, so
// the publisher looks at each packet's fixed header before the library reads it.
// A run that reads stations is sent PUBLISH packets too (and the answers to its SUBSCRIBE): for
// it, a PUBLISH longer than any station's message is no reason to end the connection, but one
// to pass over: its bytes are taken from the socket unread by the library, and counted.
// Qt-free; the socket is asked what it holds without taking anything from it.
#pragma once

#include <cstdint>
#include <string_view>

namespace corvane {

class TBrokerStream {
public:
    // Control packets to a publisher hold a few bytes (a v5 CONNACK's properties a few
    // hundred); this leaves room for any well-meant one.
    static constexpr uint32_t MaxPacketBytes = 4096;

    enum class TVerdict {
        Fine,       // the library may read
        NeedMore,   // a fixed header is only partly there: wait for the rest before reading
        Unexpected, // drop the connection
        Skip,       // a PUBLISH too long for a reader: SkipBytes() of the stream go unread
    };

    TBrokerStream() = default;
    // A reader's stream: PUBLISH, SUBACK and UNSUBACK are answers too, a PUBLISH at most
    // maxPublishBytes after its fixed header.
    explicit TBrokerStream(uint32_t maxPublishBytes) : maxPublish_(maxPublishBytes) {}

    // A new connection: its stream starts at offset 0.
    void Reset() { next_ = 0; }
    // consumed: how many of the connection's bytes the library has taken; head: the first
    // bytes it has not taken yet (at most five are looked at).
    TVerdict Check(uint64_t consumed, std::string_view head);
    // The whole packet that the last Skip verdict was for, fixed header included.
    uint64_t SkipBytes() const { return skip_; }
    // The last Fine verdict was for a PUBLISH that starts where the library reads next: its
    // whole size and its fixed header's.
    bool AtPublish() const { return atPublish_; }
    uint32_t HeaderBytes() const { return header_; }
    // Whether the library, having taken consumed bytes, is at a packet's start not yet looked at.
    bool AtPacket(uint64_t consumed) const { return consumed == next_; }
    // The reader took whole packets of so many bytes from there itself (PublishRun.h).
    void Passed(uint64_t bytes) { next_ += bytes; }

private:
    uint64_t next_ = 0;       // offset of the next packet's first byte
    uint32_t maxPublish_ = 0; // 0: a publisher's stream, which no PUBLISH belongs in
    uint64_t skip_ = 0;
    bool atPublish_ = false;
    uint32_t header_ = 0;
};

// How many bytes of a TCP connection the reader has taken, and up to five of those it has not
// taken yet, without taking any; unread, when given, gets how many are waiting. False when the
// socket cannot tell.
bool ReadStreamHead(int socket, uint64_t& consumed, char head[5], size_t& headLength,
                    uint64_t* unread = nullptr);
// Bytes received on a TCP connection since it was opened; 0 when the socket cannot tell.
uint64_t BytesReceived(int socket);

} // namespace corvane
