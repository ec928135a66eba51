// The run of PUBLISH packets the reader takes past the library: only whole QoS 0 packets from
// the first byte on, and nothing the library must see (an answer, a QoS 1 message, a packet
// that breaks the protocol, one not all there) is ever taken.
#include <gtest/gtest.h>

#include <string>

#include "mqtt/PublishRun.h"

namespace corvane {
namespace {

std::string Publish(const std::string& topic, const std::string& payload,
                    unsigned char first = 0x30) {
    const size_t length = 2 + topic.size() + payload.size();
    std::string p(1, char(first));
    size_t rest = length;
    do {
        unsigned char byte = rest & 0x7F;
        rest >>= 7;
        p += char(rest ? byte | 0x80 : byte);
    } while (rest);
    p += char(topic.size() >> 8);
    p += char(topic.size() & 0xFF);
    return p + topic + payload;
}

TEST(PublishRun, WholeQos0PacketsAreTakenUpToTheFirstThatIsNot) {
    const std::string a = Publish("c/a/line", "{\"line\":\"1\"}");
    const std::string b = Publish("c/b/status", "online", 0x31);        // retained
    const std::string big = Publish("c/a/line", std::string(300, 'x')); // two length bytes
    const std::string pingResp("\xD0\x00", 2);
    std::vector<TPublished> out;
    const std::string bytes = a + b + big + pingResp + a;
    EXPECT_EQ(SplitPublishes(bytes, 4096, 100, out), a.size() + b.size() + big.size());
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].Topic, "c/a/line");
    EXPECT_EQ(out[0].Payload, "{\"line\":\"1\"}");
    EXPECT_EQ(out[1].Payload, "online");
    EXPECT_EQ(out[2].Payload, std::string(300, 'x'));

    // At most max of them; and a packet not all there is left, header or body.
    out.clear();
    EXPECT_EQ(SplitPublishes(bytes, 4096, 1, out), a.size());
    for (const size_t cut : {size_t(1), size_t(2), big.size() - 1}) {
        out.clear();
        EXPECT_EQ(SplitPublishes(a + big.substr(0, cut), 4096, 100, out), a.size()) << cut;
        EXPECT_EQ(out.size(), 1u);
    }
}

TEST(PublishRun, WhatTheLibraryMustReadIsNeverTaken) {
    const std::string good = Publish("c/a/line", "x");
    std::string noTopic = Publish("", "payload");
    std::string topicPastEnd = Publish("c/a/line", "");
    topicPastEnd[3] = char(200); // the topic's length says 200 bytes, the packet holds 8
    const std::string cases[] = {
        Publish("c/a/line", "x", 0x32),              // QoS 1: the library acknowledges it
        Publish("c/a/line", "x", 0x36),              // QoS bits of 3
        std::string("\x90\x03\x00\x01\x00", 5),      // SUBACK
        Publish("c/a/line", std::string(5000, 'x')), // longer than any station message
        noTopic,
        topicPastEnd,
        std::string("\x30\xFF\xFF\xFF\xFF\x01", 6), // a fifth length byte
        std::string("\x30\x01\x00", 3),             // too short for a topic's length
    };
    for (const std::string& c : cases) {
        std::vector<TPublished> out;
        EXPECT_EQ(SplitPublishes(c + good, 4096, 100, out), 0u) << testing::PrintToString(c);
        EXPECT_TRUE(out.empty());
        // Behind a good packet, the good one alone is taken.
        EXPECT_EQ(SplitPublishes(good + c, 4096, 100, out), good.size());
    }
}

} // namespace
} // namespace corvane
