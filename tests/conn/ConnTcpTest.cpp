// The TCP/IP connection against a real receiver on the loopback interface.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>
#include <string>
#include <vector>

#include "conn/qt/ConnTcp.h"
#include "gui/QtTestSupport.h"
#include "util/qt/ErrorReport.h"

using namespace corvane;
using corvane::test::Pump;
using corvane::test::WaitFor;

namespace {

const QByteArray Poll("\x02\x55\x53\x0D", 4);

struct TcpFixture : ::testing::Test {
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    std::unique_ptr<TConnTcp> conn = std::make_unique<TConnTcp>(nullptr);
    std::vector<std::string> lines, messages, errors;
    std::vector<TConnState> states;
    QByteArray polled;

    void SetUp() override {
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        conn->OnLine = [this](TConn&, std::string_view l) {
            lines.emplace_back(l);
            return true;
        };
        conn->OnStateChange = [this](TConn&, TConnState s) { states.push_back(s); };
        conn->OnMessage = [this](std::string_view m) { messages.emplace_back(m); };
        SetErrorSink([this](const std::string& e) { errors.push_back(e); });
        LocalPort = 1070;
    }
    void TearDown() override { SetErrorSink(nullptr); }

    void ConnectToServer() {
        conn->SetTarget("127.0.0.1", server.serverPort());
        ASSERT_TRUE(conn->Open());
        ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections() || peer; }));
        peer = server.nextPendingConnection();
        ASSERT_TRUE(peer);
        ASSERT_TRUE(WaitFor([&] { return !states.empty(); }));
    }
    void ReadPolls() { polled += peer->readAll(); }
};

} // namespace

TEST_F(TcpFixture, PollsOnConnectAndCutsChunkedLines) {
    EXPECT_EQ(conn->GetDescription(), "TCP/IP: NA");
    ConnectToServer();
    EXPECT_EQ(states, std::vector{TConnState::Open});
    EXPECT_TRUE(conn->WasConnected);
    // Every 60.000 s from the connect: a coarse timer would let a poll come early.
    EXPECT_TRUE(conn->PollTimer().isActive());
    EXPECT_EQ(conn->PollTimer().interval(), 60000);
    EXPECT_EQ(conn->PollTimer().timerType(), Qt::PreciseTimer);
    const std::string port = std::to_string(server.serverPort());
    EXPECT_EQ(conn->GetDescription(), "TCP/IP: 127.0.0.1|" + port);
    LocalPort = server.serverPort();
    EXPECT_EQ(conn->GetDescription(), "Local");

    ASSERT_TRUE(WaitFor([&] {
        ReadPolls();
        return polled.size() >= 4;
    }));
    EXPECT_EQ(polled, Poll);

    const QByteArray line = "aa0123456789ABCDEF0123456789AB,12,North Gate Receiver,Tank 7 South";
    const QByteArray data = line + "\r" + line.left(28) + "\r";
    for (int i = 0; i < data.size(); i += 5) {
        peer->write(data.mid(i, 5));
        peer->flush();
        Pump(2);
    }
    ASSERT_TRUE(WaitFor([&] { return lines.size() == 2; }));
    EXPECT_EQ(lines[0], line.toStdString());
    EXPECT_EQ(lines[1], line.left(28).toStdString());
}

TEST_F(TcpFixture, PollsRepeatWhileConnectedAndStopAfterTheReceiverCloses) {
    conn->SetPollInterval(40);
    ConnectToServer();
    ASSERT_TRUE(WaitFor([&] {
        ReadPolls();
        return polled.size() >= 12;
    }));
    EXPECT_EQ(polled.left(12), Poll + Poll + Poll);

    // The receiver's last words still arrive before the connection reports Close.
    peer->write("0123456789ABCDEF0123456789AB\r");
    peer->flush();
    peer->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return states.size() == 2; }));
    EXPECT_EQ(states[1], TConnState::Close);
    EXPECT_EQ(lines.size(), 1u);
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(messages.empty());
    // The description stays as it was while open.
    EXPECT_EQ(conn->GetDescription(), "TCP/IP: 127.0.0.1|" + std::to_string(server.serverPort()));
    Pump(150);
    EXPECT_EQ(states.size(), 2u);
}

TEST_F(TcpFixture, PollsNeverComeBeforeTheirInterval) {
    // A coarse timer may fire up to a twentieth of the interval early; polls count from the
    // connect.
    conn->SetPollInterval(1000);
    QElapsedTimer sinceOpen;
    sinceOpen.start();
    ConnectToServer();
    std::vector<qint64> arrivals;
    ASSERT_TRUE(WaitFor(
        [&] {
            const qsizetype before = polled.size();
            ReadPolls();
            for (qsizetype n = before / 4; n < polled.size() / 4; ++n)
                arrivals.push_back(sinceOpen.elapsed());
            return arrivals.size() >= 3;
        },
        5000));
    EXPECT_GE(arrivals[1], 1000);
    EXPECT_GE(arrivals[2], 2000);
}

TEST_F(TcpFixture, ResetByTheReceiverIsAnOrdinaryClose) {
    ConnectToServer();
    // The poll bytes lie unread at the receiver, so closing its end resets the connection.
    ASSERT_TRUE(WaitFor([&] { return peer->bytesAvailable() >= 4; }));
    peer->abort();
    ASSERT_TRUE(WaitFor([&] { return states.size() == 2; }));
    EXPECT_EQ(states[1], TConnState::Close);
    Pump(20);
    EXPECT_TRUE(errors.empty());
}

TEST_F(TcpFixture, UserCloseReportsCloseWhileClosing) {
    ConnectToServer();
    conn->Close();
    ASSERT_EQ(states.size(), 2u); // reported before Close returned
    EXPECT_EQ(states[1], TConnState::Close);
    // A second Close finds nothing to close and says nothing.
    conn->Close();
    EXPECT_EQ(states.size(), 2u);
    ASSERT_TRUE(WaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
}

TEST_F(TcpFixture, RefusedConnectionIsOneLogMessageAndNoStateChange) {
    const quint16 port = server.serverPort();
    server.close(); // nobody listens there now
    conn->SetTarget("127.0.0.1", port);
    ASSERT_TRUE(conn->Open());
    ASSERT_TRUE(WaitFor([&] { return !messages.empty(); }));
    Pump(20);
    EXPECT_EQ(messages, std::vector<std::string>{"Unable to connect with TCP/IP: NA"});
    EXPECT_TRUE(states.empty());
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(conn->WasConnected);
}

TEST_F(TcpFixture, TargetsThatCannotBeUsed) {
    conn->SetTarget("", 1000);
    EXPECT_THROW(
        {
            try {
                conn->Open();
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "No address specified");
                throw;
            }
        },
        std::runtime_error);
    // A port no socket can have is refused like an unreachable receiver.
    auto other = std::make_unique<TConnTcp>(nullptr);
    other->OnMessage = conn->OnMessage;
    other->SetTarget("127.0.0.1", 70000);
    EXPECT_TRUE(other->Open());
    ASSERT_TRUE(WaitFor([&] { return !messages.empty(); }));
    EXPECT_EQ(messages[0], "Unable to connect with TCP/IP: NA");
    // Without a target and without a dialog there is nothing to connect to.
    TConnTcp bare(nullptr);
    EXPECT_FALSE(bare.Open());
}
