#include "mqtt/PublishRun.h"

namespace corvane {

namespace {

constexpr unsigned char kPublishQos0 = 0x30; // type 3; DUP, QoS and RETAIN bits aside
constexpr unsigned char kTypeAndQos = 0xF6;  // RETAIN may be set (a retained status is)

// The packet at the start of bytes, when it is a whole QoS 0 PUBLISH: its size in all.
size_t WholePublish(std::string_view bytes, uint32_t maxPublish, TPublished& out) {
    if (bytes.empty() || (static_cast<unsigned char>(bytes[0]) & kTypeAndQos) != kPublishQos0)
        return 0;
    uint32_t length = 0;
    size_t header = 0;
    for (size_t i = 1; i < 5 && header == 0; ++i) {
        if (i >= bytes.size())
            return 0;
        const auto byte = static_cast<unsigned char>(bytes[i]);
        length |= uint32_t(byte & 0x7F) << (7 * (i - 1));
        if ((byte & 0x80) == 0)
            header = i + 1;
    }
    if (header == 0 || length > maxPublish || bytes.size() - header < length || length < 2)
        return 0;
    const auto topicLength = size_t(static_cast<unsigned char>(bytes[header])) << 8 |
                             static_cast<unsigned char>(bytes[header + 1]);
    if (topicLength == 0 || topicLength > length - 2)
        return 0;
    out.Topic = bytes.substr(header + 2, topicLength);
    out.Payload = bytes.substr(header + 2 + topicLength, length - 2 - topicLength);
    return header + length;
}

} // namespace

size_t SplitPublishes(std::string_view bytes, uint32_t maxPublish, size_t max,
                      std::vector<TPublished>& out) {
    size_t taken = 0;
    TPublished one;
    for (size_t n = 0; n < max; ++n) {
        const size_t size = WholePublish(bytes.substr(taken), maxPublish, one);
        if (size == 0)
            break;
        out.push_back(one);
        taken += size;
    }
    return taken;
}

} // namespace corvane
