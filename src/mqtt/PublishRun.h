// The reader's way past the library for the bulk of what it is sent. Every station's line and
// status reaches this run as a PUBLISH at QoS 0 (it subscribes at QoS 0), and reading each one
// through the library costs a call per byte of its fixed header and another for the rest,
// besides the reader's own looks. While the bytes waiting on the socket begin with whole QoS 0
// PUBLISH packets, the reader instead looks at them all at once, takes them from the socket in
// one read and hands each on itself. The first packet that is anything else, or not all there
// yet, ends the run and the library reads it as before; the library is at a packet's start
// whenever it reads, so its own state never falls behind. MQTT 3.1.1, as the reader speaks it.
// Qt-free and socket-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace corvane {

struct TPublished {
    std::string_view Topic; // its bytes as sent: the caller checks that they are UTF-8
    std::string_view Payload;
};

// The whole QoS 0 PUBLISH packets at the start of bytes, at most max of them and none longer
// than maxPublish after its fixed header, appended to out; returns how many bytes they take.
// A packet that breaks the protocol (no topic, a topic longer than the packet, a fifth length
// byte, QoS bits of 3) is left to the library, which ends the connection over it.
size_t SplitPublishes(std::string_view bytes, uint32_t maxPublish, size_t max,
                      std::vector<TPublished>& out);

} // namespace corvane
