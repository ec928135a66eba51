// Link quality: what became of every line a connection received, counted by the connection base
// and the monitor together, with the last minute on the settable clock.
#include <gtest/gtest.h>

#include "app/Monitor.h"
#include "conn/Conn.h"
#include "support/Packets.h"
#include "support/RecordingListener.h"

namespace corvane::testing {
namespace {

class TLineConn : public TConn {
public:
    std::string GetDescription() const override { return "Line"; }
    bool Open() override { return true; }
    void Close() override { SetState(TConnState::Close); }
};

class LinkTest : public ::testing::Test {
protected:
    TManualClock clock;
    TRecordingListener views;
    TMonitor monitor{clock, views};
    TLineConn conn;

    void SetUp() override {
        conn.OnLine = [this](TConn& c, std::string_view line) {
            return monitor.ParsePacketLine(&c, line);
        };
        conn.Clock = &clock;
        conn.SetState(TConnState::Open);
    }
    static std::string Good(uint32_t serial = 0x123456) { return SensorLine(serial, ",1,North"); }
};

TEST_F(LinkTest, EachRejectionIsCountedOnceByItsCauseAndStaysSilent) {
    std::string badCrc = Good();
    badCrc[22] = badCrc[22] == '0' ? '1' : '0'; // a digit of the check word
    const std::string lower = "aa1078563412000000000000cfbb00,2,North Gate";
    // One reception holding one line of each kind, an empty piece between CR CR among them.
    conn.Receive("0123456789\r" +                             // too short
                 lower + "\r" +                               // no upper-case packet
                 std::string(40, 'x') + "\r\r" +              // no packet at all
                 badCrc + "\r" +                              // check word does not match
                 PacketDigits(0x10, 0x42) + ",North,Gate\r"); // entry field is no number
    const TLinkCounts& t = conn.Link.Totals();
    EXPECT_EQ(t.Received, 5u);
    EXPECT_EQ(t.Passed, 0u);
    EXPECT_EQ(t.Short, 1u);
    EXPECT_EQ(t.NoPacket, 2u);
    EXPECT_EQ(t.BadCrc, 1u);
    EXPECT_EQ(t.BadEntry, 1u);
    EXPECT_EQ(t.Rejected(), 5u);
    EXPECT_EQ(t.Dropped, 0u);
    EXPECT_TRUE(views.Log.empty()); // counts only: no message for a rejected line
    EXPECT_EQ(monitor.Store().SensorCount, 0);

    conn.Receive(Good() + "\r" + PacketDigits(0x10, 0x77) + "\r");
    EXPECT_EQ(t.Received, 7u);
    EXPECT_EQ(t.Passed, 2u);
    EXPECT_EQ(t.Rejected(), 5u);
}

TEST_F(LinkTest, ReceiveBufferCapCountsTheCharactersItDrops) {
    conn.Receive(std::string(TConn::RxKeep + 100, '7'));
    EXPECT_EQ(conn.Link.Totals().Dropped, 100u);
    conn.Receive(std::string(50, '7'));
    EXPECT_EQ(conn.Link.Totals().Dropped, 150u);
    // What is kept still ends in a packet: the line passes, nothing more is dropped.
    conn.Receive(Good() + "\r");
    EXPECT_EQ(conn.Link.Totals().Dropped, 150u);
    EXPECT_EQ(conn.Link.Totals().Passed, 1u);
}

TEST_F(LinkTest, LastMinuteFollowsTheClock) {
    clock.Set(46000.0); // a whole second
    conn.Receive(Good() + "\r" + Good() + "\r" + Good() + "\r");
    clock.AdvanceSeconds(30);
    conn.Receive("short\rshort\r");
    TMinuteCounts m = conn.Link.LastMinute(clock.Now());
    EXPECT_EQ(m.Lines, 5u);
    EXPECT_EQ(m.Rejected, 2u);
    EXPECT_EQ(RejectedShareText(m), "Rejected 40.0 % of lines (last minute)");

    clock.AdvanceSeconds(29.5); // 59.5 s after the first three: still within the minute
    EXPECT_EQ(conn.Link.LastMinute(clock.Now()).Lines, 5u);
    clock.AdvanceSeconds(0.5); // a minute after them: gone
    m = conn.Link.LastMinute(clock.Now());
    EXPECT_EQ(m.Lines, 2u);
    EXPECT_EQ(m.Rejected, 2u);
    // A line a minute on falls into the slot of the first three and replaces them.
    conn.Receive(Good() + "\r");
    m = conn.Link.LastMinute(clock.Now());
    EXPECT_EQ(m.Lines, 3u);
    EXPECT_EQ(m.Rejected, 2u);
    clock.AdvanceSeconds(60);
    m = conn.Link.LastMinute(clock.Now());
    EXPECT_EQ(m.Lines, 0u);
    EXPECT_EQ(RejectedShareText(m), "");
    EXPECT_EQ(conn.Link.Totals().Received, 6u); // the totals keep everything
}

TEST_F(LinkTest, RejectedShareReadsWithTheDecimalSeparatorAndNeverAsZero) {
    const char separator = FormatSettings.DecimalSeparator;
    FormatSettings.DecimalSeparator = ',';
    EXPECT_EQ(RejectedShareText({3, 1}), "Rejected 33,3 % of lines (last minute)");
    EXPECT_EQ(RejectedShareText({5000, 1}), "Rejected under 0,1 % of lines (last minute)");
    EXPECT_EQ(RejectedShareText({2, 2}), "Rejected 100,0 % of lines (last minute)");
    FormatSettings.DecimalSeparator = separator;
}

TEST_F(LinkTest, CountsStartOverWhenTheConnectionCloses) {
    conn.Receive(Good() + "\rshort\r" + std::string(TConn::RxKeep + 5, '7'));
    ASSERT_EQ(conn.Link.Totals().Received, 2u);
    conn.Close();
    const TLinkCounts& t = conn.Link.Totals();
    EXPECT_EQ(t.Received, 0u);
    EXPECT_EQ(t.Passed, 0u);
    EXPECT_EQ(t.Short, 0u);
    EXPECT_EQ(t.Dropped, 0u);
    EXPECT_EQ(conn.Link.LastMinute(clock.Now()).Lines, 0u);
    // Opened again, it counts from nothing.
    conn.SetState(TConnState::Open);
    conn.Receive(Good() + "\r");
    EXPECT_EQ(conn.Link.Totals().Received, 1u);
    EXPECT_EQ(conn.Link.LastMinute(clock.Now()).Lines, 1u);
}

} // namespace
} // namespace corvane::testing
