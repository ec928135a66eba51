// The serial connection on a pseudo-terminal pair made by socat: the program's end is mapped to a
// port number in the port map handed in, the test writes into the other end.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

#include "conn/qt/ConnSer.h"
#include "conn/qt/fmConnSer.h"
#include "gui/QtTestSupport.h"
#include "util/qt/ErrorReport.h"

using namespace corvane;
using corvane::test::Pump;
using corvane::test::WaitFor;

namespace {

struct SerialFixture : ::testing::Test {
    QProcess socat;
    QString portEnd, testEnd;
    TSerialPorts ports;
    int writer = -1;
    std::vector<std::string> lines, messages, errors;
    std::vector<TConnState> states;

    void SetUp() override {
        const QString base =
            QString("/tmp/corvane-ser-%1-").arg(QCoreApplication::applicationPid());
        portEnd = base + "port";
        testEnd = base + "test";
        SetErrorSink([this](const std::string& e) { errors.push_back(e); });
        ASSERT_NO_FATAL_FAILURE(StartDevice());

        ports = {{5, portEnd.toStdString()}, {6, "/tmp/corvane-no-such-device"}};
    }
    // The device appears: a new pseudo-terminal pair behind the same names.
    void StartDevice() {
        QFile::remove(portEnd);
        QFile::remove(testEnd);
        socat.start("socat", {"-d", "-d", "pty,raw,echo=0,link=" + portEnd,
                              "pty,raw,echo=0,link=" + testEnd});
        ASSERT_TRUE(socat.waitForStarted(2000));
        ASSERT_TRUE(WaitFor([&] { return QFile::exists(portEnd) && QFile::exists(testEnd); }));
        writer = ::open(testEnd.toLocal8Bit().constData(), O_WRONLY | O_NOCTTY);
        ASSERT_GE(writer, 0);
    }
    // The device goes away, as a pulled adapter does.
    void StopDevice() {
        if (writer >= 0)
            ::close(writer);
        writer = -1;
        socat.kill();
        socat.waitForFinished(2000);
    }
    void TearDown() override {
        StopDevice();
        SetErrorSink(nullptr);
    }
    void Attach(TConn& conn) {
        conn.OnLine = [this](TConn&, std::string_view l) {
            lines.emplace_back(l);
            return true;
        };
        conn.OnStateChange = [this](TConn&, TConnState s) { states.push_back(s); };
        conn.OnMessage = [this](std::string_view m) { messages.emplace_back(m); };
    }
    void Write(const std::string& data, size_t chunk) {
        for (size_t i = 0; i < data.size(); i += chunk) {
            const std::string piece = data.substr(i, chunk);
            ASSERT_EQ(::write(writer, piece.data(), piece.size()), ssize_t(piece.size()));
            Pump(1);
        }
    }
};

} // namespace

TEST_F(SerialFixture, PortNumberMapsThroughThePortMap) {
    EXPECT_EQ(SerialDeviceFor(ports, 5), portEnd);
    EXPECT_EQ(SerialDeviceFor(ports, 6), "/tmp/corvane-no-such-device");
}

TEST_F(SerialFixture, LinesWrittenInSmallChunksArriveWhole) {
    TConnSer conn(nullptr, ports);
    Attach(conn);
    EXPECT_EQ(conn.GetDescription(), "Serial: NA");
    conn.SetPort(5);
    ASSERT_TRUE(conn.OpenPort());
    EXPECT_EQ(states, std::vector{TConnState::Open});
    EXPECT_EQ(conn.GetDescription(), "Serial: 5");

    const std::string line = "aa0123456789ABCDEF0123456789AB,12,North Gate Receiver,Tank 7 South";
    Write(line + "\r" + line.substr(0, 28) + "\r", 3);
    ASSERT_TRUE(WaitFor([&] { return lines.size() == 2; }));
    EXPECT_EQ(lines[0], line);
    EXPECT_EQ(lines[1], line.substr(0, 28));

    conn.Close();
    ASSERT_EQ(states.size(), 2u); // reported while Close ran
    EXPECT_EQ(states[1], TConnState::Close);
    EXPECT_EQ(conn.GetDescription(), "Serial: 5");
    conn.Close();
    EXPECT_EQ(states.size(), 2u);
}

TEST_F(SerialFixture, VanishedDeviceIsReportedAndClosed) {
    auto conn = std::make_unique<TConnSer>(nullptr, ports);
    Attach(*conn);
    conn->SetPort(5);
    ASSERT_TRUE(conn->OpenPort());
    ::close(writer);
    writer = -1;
    socat.kill();
    ASSERT_TRUE(WaitFor([&] { return states.size() == 2; }));
    EXPECT_EQ(states[1], TConnState::Close);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("Serial: 5 lost", 0), 0u) << messages[0];
    Pump(20);
    EXPECT_EQ(states.size(), 2u);
    EXPECT_TRUE(errors.empty()) << errors.size() << " " << errors[0];
    conn.reset();
}

size_t CountOf(const std::vector<std::string>& messages, const std::string& text) {
    return size_t(std::count(messages.begin(), messages.end(), text));
}

TEST_F(SerialFixture, WithReconnectAVanishedDeviceIsTriedAgainUntilClosed) {
    TConnSer conn(nullptr, ports);
    Attach(conn);
    conn.Reconnect = true; // as [Connections] Reconnect=1 sets it
    conn.SetPort(5);
    ASSERT_TRUE(conn.OpenPort());

    const std::string line = "aa0123456789ABCDEF0123456789AB,12,North Gate Receiver,Tank 7 South";
    // A whole line and the start of another when the device goes.
    Write(line + "\r" + "bbFEDCBA98", 100);
    ASSERT_TRUE(WaitFor([&] { return lines.size() == 1; }));
    StopDevice();
    const std::string first = "Reconnecting to Serial: 5 in 1 s";
    const std::string second = "Reconnecting to Serial: 5 in 2 s";
    ASSERT_TRUE(WaitFor([&] { return CountOf(messages, first) == 1; }));
    EXPECT_EQ(messages[0].rfind("Serial: 5 lost", 0), 0u) << messages[0];
    // The first attempt finds no device and waits twice as long.
    ASSERT_TRUE(WaitFor([&] { return CountOf(messages, second) == 1; }, 3000));
    EXPECT_EQ(states, std::vector{TConnState::Open}); // the Close entry stays while it waits

    ASSERT_NO_FATAL_FAILURE(StartDevice());
    const std::string after = "cc0123456789ABCDEF0123456789AB,13,North Gate Receiver,Pump 2";
    // Written until the port is open again; nothing of the rest from before joins it.
    ASSERT_TRUE(WaitFor(
        [&] {
            Write(after + "\r", 100);
            return lines.size() > 1;
        },
        4000));
    EXPECT_EQ(lines[0], line);
    EXPECT_EQ(lines[1], after);
    EXPECT_EQ(states, std::vector{TConnState::Open});
    EXPECT_TRUE(errors.empty());

    // Back for less than a minute, the waits go on growing; Close ends them and the entry goes.
    StopDevice();
    ASSERT_TRUE(
        WaitFor([&] { return CountOf(messages, "Reconnecting to Serial: 5 in 4 s") == 1; }));
    EXPECT_EQ(CountOf(messages, first), 1u);
    conn.Close();
    EXPECT_EQ(states, (std::vector{TConnState::Open, TConnState::Close}));
    const size_t said = messages.size();
    Pump(1500);
    EXPECT_EQ(messages.size(), said) << messages.back();
    EXPECT_EQ(states.size(), 2u);
}

TEST_F(SerialFixture, UnopenablePortThrowsAndReportsNoState) {
    TConnSer conn(nullptr, ports);
    Attach(conn);
    conn.SetPort(6);
    EXPECT_THROW(conn.OpenPort(), std::runtime_error);
    EXPECT_TRUE(states.empty());
    EXPECT_EQ(conn.GetDescription(), "Serial: NA");
}

TEST_F(SerialFixture, DialogChoosesThePortOrCancels) {
    TfrmConnSer dialog(ports);
    TConnSer conn(&dialog, ports);
    Attach(conn);
    QTimer::singleShot(0, &dialog, [&] { dialog.reject(); });
    EXPECT_FALSE(conn.Open());
    EXPECT_TRUE(states.empty());

    QTimer::singleShot(0, &dialog, [&] {
        dialog.spePort->setValue(5);
        EXPECT_EQ(dialog.lblDevice->text(), portEnd);
        dialog.accept();
    });
    EXPECT_TRUE(conn.Open());
    EXPECT_EQ(states, std::vector{TConnState::Open});
    EXPECT_EQ(conn.GetDescription(), "Serial: 5");

    conn.Close();
}

// Typed as a user types: every keystroke goes through the box's own checks.
TEST_F(SerialFixture, TypedPortNumbersAreClampedNotRefused) {
    TfrmConnSer dialog(ports);
    dialog.show();
    auto* edit = dialog.spePort->findChild<QLineEdit*>();
    const auto type = [&](const char* keys) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, keys);
    };
    type("40");
    EXPECT_EQ(edit->text(), "40");
    EXPECT_EQ(dialog.Port(), 32);
    type("7");
    EXPECT_EQ(dialog.Port(), 7);
    type("");
    EXPECT_EQ(dialog.Port(), 1);
    type("123");
    EXPECT_EQ(edit->text(), "12"); // at most two characters
    type("4x");
    EXPECT_EQ(edit->text(), "4");
    // Leaving the box shows the number that will be used.
    type("99");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(dialog.spePort->value(), 32);
    EXPECT_EQ(edit->text(), "32");
}
