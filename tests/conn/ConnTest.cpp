// Line framing of the connection base: what reaches the owner for any way the bytes arrive.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conn/Conn.h"
#include "support/FakeConn.h"
#include "util/untTime.h"

using namespace corvane;

namespace {

using corvane::testing::TFakeConn;

struct Recorder {
    std::vector<std::string> lines;
    std::vector<TConnState> states;
    std::vector<std::string> messages;

    void Attach(TConn& conn) {
        conn.OnLine = [this](TConn&, std::string_view line) {
            lines.emplace_back(line);
            return true;
        };
        conn.OnStateChange = [this](TConn&, TConnState s) { states.push_back(s); };
        conn.OnMessage = [this](std::string_view m) { messages.emplace_back(m); };
    }
};

std::string Digits(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += "0123456789ABCDEF"[i % 16];
    return s;
}

} // namespace

TEST(ConnFraming, ShortestLineIs28Characters) {
    TFakeConn conn;
    Recorder rec;
    rec.Attach(conn);
    conn.Receive(Digits(27) + "\r");
    EXPECT_TRUE(rec.lines.empty());
    conn.Receive(Digits(28) + "\r");
    ASSERT_EQ(rec.lines.size(), 1u);
    EXPECT_EQ(rec.lines[0], Digits(28));
    EXPECT_TRUE(conn.RxBuffer.empty());
    // Empty segments between carriage returns are dropped too.
    conn.Receive("\r\r\r");
    EXPECT_EQ(rec.lines.size(), 1u);
}

TEST(ConnFraming, SeveralLinesInOneReceptionKeepTheirOrderAndTheRemainder) {
    TFakeConn conn;
    Recorder rec;
    rec.Attach(conn);
    const std::string a = "aa" + Digits(28) + ",2,North Gate,Tank 7";
    const std::string b = Digits(28);
    conn.Receive(a + "\r" + b + "\r" + "1234");
    ASSERT_EQ(rec.lines.size(), 2u);
    EXPECT_EQ(rec.lines[0], a);
    EXPECT_EQ(rec.lines[1], b);
    EXPECT_EQ(conn.RxBuffer, "1234");
}

TEST(ConnFraming, LineFeedOfCrLfLeadsTheNextLine) {
    TFakeConn conn;
    Recorder rec;
    rec.Attach(conn);
    conn.Receive(Digits(28) + "\r\n" + Digits(28) + "\r\n");
    ASSERT_EQ(rec.lines.size(), 2u);
    EXPECT_EQ(rec.lines[0].size(), 28u);
    EXPECT_EQ(rec.lines[1], "\n" + Digits(28));
    EXPECT_EQ(conn.RxBuffer, "\n");
}

TEST(ConnFraming, LongLineInSmallChunksArrivesWhole) {
    // Serial data comes a few bytes at a time; a line with an entry tail must survive that.
    const std::string line = "aa" + Digits(28) + ",12,North Gate Receiver,Tank 7 South";
    ASSERT_GE(line.size(), 60u);
    for (size_t chunk = 1; chunk <= 8; ++chunk) {
        TFakeConn conn;
        Recorder rec;
        rec.Attach(conn);
        const std::string data = line + "\r" + line + "\r";
        for (size_t i = 0; i < data.size(); i += chunk)
            conn.Receive(std::string_view(data).substr(i, chunk));
        ASSERT_EQ(rec.lines.size(), 2u) << "chunk " << chunk;
        EXPECT_EQ(rec.lines[0], line) << "chunk " << chunk;
        EXPECT_EQ(rec.lines[1], line) << "chunk " << chunk;
    }
}

TEST(ConnFraming, ReceiverWithoutCarriageReturnCannotGrowTheBuffer) {
    TFakeConn conn;
    Recorder rec;
    rec.Attach(conn);
    const std::string block(4096, 'A');
    for (int i = 0; i < 256; ++i) { // one megabyte
        conn.Receive(block);
        ASSERT_LE(conn.RxBuffer.size(), TConn::RxKeep);
    }
    EXPECT_EQ(conn.RxBuffer.size(), TConn::RxKeep);
    // The tail that is kept is the newest data: a line ending now is its last characters.
    conn.Receive(Digits(30) + "\r");
    ASSERT_EQ(rec.lines.size(), 1u);
    EXPECT_EQ(rec.lines[0], std::string(TConn::RxKeep, 'A') + Digits(30));
    EXPECT_TRUE(conn.RxBuffer.empty());
}

TEST(ConnState, OpenEmptiesTheBufferBeforeTellingTheOwner) {
    TFakeConn conn;
    Recorder rec;
    size_t seenSize = 99;
    conn.OnStateChange = [&](TConn& c, TConnState s) {
        seenSize = c.RxBuffer.size();
        rec.states.push_back(s);
    };
    conn.Receive("stale bytes before open");
    conn.SetState(TConnState::Open);
    EXPECT_EQ(seenSize, 0u);
    conn.Receive("kept");
    conn.SetState(TConnState::Close);
    EXPECT_EQ(conn.RxBuffer, "kept");
    EXPECT_EQ(rec.states, (std::vector{TConnState::Open, TConnState::Close}));
}

TEST(ConnState, HandlersThatAreNotSetAreNotCalled) {
    TFakeConn conn;
    conn.Receive(Digits(40) + "\r");
    EXPECT_FALSE(conn.DeliverLine(Digits(28)));
    conn.SetState(TConnState::Open);
    conn.ReportMessage("nobody listens");
    Recorder rec;
    rec.Attach(conn);
    conn.ReportMessage("hello");
    EXPECT_EQ(rec.messages, std::vector<std::string>{"hello"});
    EXPECT_EQ(ConnStateName(TConnState::Open), "Open");
    EXPECT_EQ(ConnStateName(TConnState::Close), "Close");
    EXPECT_EQ(ConnStateName(TConnState::Error), "Error");
}

namespace {
TEST(Backoff, DoublesUpToAMinute) {
    TFakeConn conn;
    std::vector<std::string> said;
    conn.OnMessage = [&](std::string_view m) { said.emplace_back(m); };
    std::vector<int> waits;
    for (int i = 0; i < 9; ++i)
        waits.push_back(conn.AnnounceRetry());
    EXPECT_EQ(waits, (std::vector<int>{1, 2, 4, 8, 16, 32, 60, 60, 60}));
    EXPECT_EQ(said[2], "Reconnecting to Fake in 4 s");
}

// A peer that accepts and drops at once, or after anything short of a minute, is tried ever less
// often; only a connection that lasted a minute makes the next wait the first one again.
TEST(Backoff, StartsOverOnlyAfterAConnectionStayedUpAMinute) {
    TManualClock clock;
    TFakeConn conn;
    conn.Clock = &clock;
    std::vector<int> waits;
    auto flap = [&](double upSec) {
        conn.NoteConnected();
        clock.AdvanceSeconds(upSec);
        waits.push_back(conn.AnnounceRetry());
        clock.AdvanceSeconds(waits.back());
    };
    for (int i = 0; i < 8; ++i)
        flap(0);
    EXPECT_EQ(waits, (std::vector<int>{1, 2, 4, 8, 16, 32, 60, 60}));

    waits.clear();
    flap(59.9);
    flap(60);
    flap(1);
    flap(3600);
    EXPECT_EQ(waits, (std::vector<int>{60, 1, 2, 1}));

    // Refusals after a long connection: its reset counts once, not for each failed attempt.
    waits.clear();
    for (int i = 0; i < 3; ++i)
        waits.push_back(conn.AnnounceRetry());
    EXPECT_EQ(waits, (std::vector<int>{2, 4, 8}));
}

// The publisher's way: its own steady time line, no connection object.
TEST(Backoff, TakesAnyTimeLineInSeconds) {
    TBackoff retry;
    EXPECT_EQ(retry.Next(1000.0), 1);
    retry.Connected(1001.0);
    EXPECT_EQ(retry.Next(1002.0), 2);
    retry.Connected(1010.0);
    EXPECT_EQ(retry.Next(1070.0), 1);
    retry.Reset();
    EXPECT_EQ(retry.Next(), 1);
}
} // namespace
