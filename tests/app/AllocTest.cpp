// Once warmed up, a steady stream of packets must not touch the heap: decoding, registration,
// the ring, statistics and every view text are built in fixed storage.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "app/Monitor.h"
#include "conn/Conn.h"
#include "support/Packets.h"
#include "support/TextMakingListener.h"
#include "util/untConst.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t n) {
    ++allocations;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace corvane::testing {
namespace {

TEST(PacketPathTest, NoHeapAllocationOnceWarm) {
    TManualClock clock;
    TTextMakingListener views; // every text the views show is made, as in the window
    TMonitor monitor(clock, views);
    monitor.Store().Settings.MaxAge = 1000000; // keep every read: the ring fills and evicts
    // Per-device settings on: a fifth of the sensors muted or with an expected gap, and two
    // repeaters. Every sensor is heard through one repeater, so each has a cause when it falls.
    TExpectations expect;
    for (int64_t serNo = 1; serNo <= 500; serNo += 5)
        expect.SetSensor(serNo, {serNo % 2 == 0 ? 40 : 0, serNo % 3 == 0});
    expect.SetRepeater(RepeaterChars[3], {0, true});
    expect.SetRepeater(RepeaterChars[4], {30, false});
    monitor.Store().Alerts.SetExpectations(expect);
    std::vector<std::string> lines;
    for (uint32_t i = 0; i < 3000; ++i)
        lines.push_back(SensorLine(
            i % 500 + 1, ",7,North Gate of the yard,Tank number " + std::to_string(i % 500),
            RepeaterChars[i % 20]));
    for (const auto& line : lines) { // warm-up: sensors, names and slots are made
        ASSERT_TRUE(monitor.ParsePacketLine(nullptr, line));
        clock.AdvanceSeconds(0.5);
    }
    int muted = 0;
    for (uint16_t row = 0; row < monitor.Store().SensorCount; ++row)
        muted += monitor.Store().Alerts.Muted(TAlertKind::Sensor, row) ? 1 : 0;
    ASSERT_EQ(muted, 33); // of 1, 6, 11 ... 496, those divisible by 3
    const long before = allocations.load();
    for (int round = 0; round < 30; ++round)
        for (const auto& line : lines) {
            monitor.ParsePacketLine(nullptr, line);
            clock.AdvanceSeconds(0.5);
        }
    monitor.ExpireTick();
    // Every sensor and repeater falls silent and comes back: alert lines on the tick and on
    // the reads are built in fixed storage too.
    clock.AdvanceSeconds(100000);
    monitor.ExpireTick();
    EXPECT_GT(monitor.Store().Alerts.SilentCount(), 500);
    EXPECT_GT(monitor.Store().Alerts.BehindCount(), 400);
    for (const auto& line : lines) {
        monitor.ParsePacketLine(nullptr, line);
        clock.AdvanceSeconds(0.5);
    }
    EXPECT_EQ(allocations.load() - before, 0);
    EXPECT_EQ(monitor.Store().Alerts.SilentCount(), 0);
    EXPECT_EQ(monitor.Store().ReadCount, MaxReads);
}

class TLineConn : public TConn {
public:
    std::string GetDescription() const override { return "Line"; }
    bool Open() override { return true; }
    void Close() override {}
};

// Lines through a connection, as a transport hands them over: the framing, the link counts of
// every kind of line, the last minute's slots and the cap on the receive buffer.
TEST(PacketPathTest, ConnectionCountsNoHeapAllocationOnceWarm) {
    TManualClock clock;
    TNullListener views;
    TMonitor monitor(clock, views);
    TLineConn conn;
    conn.OnLine = [&monitor](TConn& c, std::string_view line) {
        return monitor.ParsePacketLine(&c, line);
    };
    conn.Clock = &clock;
    conn.SetState(TConnState::Open);
    std::string reception;
    for (uint32_t i = 0; i < 200; ++i) {
        std::string bad = SensorLine(i + 1, ",7,North Gate");
        bad[22] = bad[22] == '0' ? '1' : '0';
        reception += SensorLine(i + 1, ",7,North Gate") + "\r" + bad + "\rshort\r" +
                     std::string(40, 'x') + "\r" + PacketDigits(0x10, i) + ",x\r";
    }
    const std::string endless(TConn::RxKeep + 200, '7');
    conn.Receive(reception); // warm-up: sensors, names and the buffer's room are made
    conn.Receive(endless);
    conn.Receive("\r");
    const long before = allocations.load();
    for (int round = 0; round < 100; ++round) {
        conn.Receive(reception);
        conn.Receive(endless);
        conn.Receive("\r");
        clock.AdvanceSeconds(0.7);
    }
    EXPECT_EQ(allocations.load() - before, 0);
    const TLinkCounts& t = conn.Link.Totals();
    EXPECT_EQ(t.Passed, 101u * 200);
    EXPECT_EQ(t.Rejected(), 101u * (4 * 200 + 1));
    EXPECT_GT(t.Dropped, 0u);
}

} // namespace
} // namespace corvane::testing
