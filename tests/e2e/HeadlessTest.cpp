// corvane --headless as a service runs it: no display, its log on standard output, quit signals,
// a receiver that comes and goes, and publishing to a real broker from two stations at once.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

#include "E2eSupport.h"
#include "HeadlessRun.h"
#include "mqtt/Broker.h"
#include "support/Packets.h"

namespace {

using corvane::testing::SensorLine;
using corvane::testing::THeadlessRun;
using corvane::testing::WaitFor;

QByteArray Line(const std::string& text) {
    return QByteArray::fromStdString(text + "\r");
}

TEST(Headless, WithoutAConnectionItSaysHowToCallItAndExits2) {
    THeadlessRun run;
    ASSERT_TRUE(run.Start({"--verbose"}));
    ASSERT_TRUE(run.Process().waitForFinished(10000));
    EXPECT_EQ(run.Process().exitCode(), 2);
    const QByteArray err = run.Process().readAllStandardError();
    EXPECT_TRUE(err.startsWith("Usage: corvane --headless")) << err.toStdString();
    EXPECT_EQ(err.count('\n'), 1);
    EXPECT_TRUE(run.Out().isEmpty());
}

TEST(Headless, ServesAReceiverWithoutADisplayAndStopsOnSigterm) {
    QTcpServer receiver;
    ASSERT_TRUE(receiver.listen(QHostAddress::LocalHost, 0));
    THeadlessRun run("[Settings]\r\nLogPackets=1\r\n[Alerts]\r\nSilentFactor=0\r\n");
    ASSERT_TRUE(run.Start({QString("-I%1").arg(receiver.serverPort())}));
    ASSERT_TRUE(WaitFor([&] { return receiver.hasPendingConnections(); }, 10000));
    QTcpSocket* station = receiver.nextPendingConnection();
    ASSERT_TRUE(WaitFor([&] { return station->bytesAvailable() >= 4; }));
    EXPECT_EQ(station->readAll(), QByteArray("\x02\x55\x53\x0D", 4));
    station->write(Line(SensorLine(0x123456, ",4,North")) + "noise\r");
    station->flush();
    ASSERT_TRUE(run.WaitOut("Adding Entry 0"));

    // Every log line is stamped with date and time, one line each.
    const QRegularExpression stamped("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\S");
    const QList<QByteArray> lines = run.Out().trimmed().split('\n');
    ASSERT_GE(lines.size(), 6);
    for (const QByteArray& line : lines)
        EXPECT_TRUE(stamped.match(QString::fromLatin1(line)).hasMatch()) << line.toStdString();
    EXPECT_TRUE(run.Out().contains(" Entries Size: 1664\n"));
    EXPECT_EQ(run.Count(" [Alerts] SilentFactor=0 is out of range; using 10\n"), 1);

    QElapsedTimer stopping;
    stopping.start();
    run.Signal(SIGTERM);
    ASSERT_TRUE(run.Process().waitForFinished(5000));
    EXPECT_LT(stopping.elapsed(), 1000);
    EXPECT_EQ(run.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.Process().exitCode(), 0);
    EXPECT_TRUE(WaitFor([&] { return station->state() != QAbstractSocket::ConnectedState; }));
}

// A pipe for the program's standard output that the test reads only when it chooses to.
class TOutPipe {
public:
    TOutPipe() {
        int fds[2];
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        read_ = fds[0];
        write_ = fds[1];
        ::fcntl(read_, F_SETFL, O_NONBLOCK);
    }
    ~TOutPipe() {
        ::close(read_);
        CloseWriteEnd();
    }
    // Makes the pipe the standard output of a program started by run.
    void Attach(THeadlessRun& run) const {
        run.OnChildStart([fd = write_] { ::dup2(fd, STDOUT_FILENO); });
    }
    // Fills the pipe to the brim, as a reader that stopped reading long ago leaves it; the
    // number of bytes written is returned.
    int Fill() const {
        const int flags = ::fcntl(write_, F_GETFL);
        ::fcntl(write_, F_SETFL, flags | O_NONBLOCK);
        const std::string filler(4096, '.');
        int written = 0;
        for (ssize_t n; (n = ::write(write_, filler.data(), filler.size())) > 0;)
            written += int(n);
        ::fcntl(write_, F_SETFL, flags);
        return written;
    }
    // Only the program holds the writing end from here on.
    void CloseWriteEnd() {
        if (write_ >= 0)
            ::close(write_);
        write_ = -1;
    }
    QByteArray ReadAvailable() const {
        QByteArray text;
        char buffer[65536];
        for (ssize_t n; (n = ::read(read_, buffer, sizeof buffer)) > 0;)
            text.append(buffer, n);
        return text;
    }

private:
    int read_ = -1;
    int write_ = -1;
};

// The counts in "<n> log lines dropped: ..." lines, added up, and how many such lines there were.
std::pair<int, int> DroppedCounts(const QByteArray& text) {
    static const QRegularExpression dropped(
        "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d (\\d+) log lines dropped: standard output is "
        "not being read$",
        QRegularExpression::MultilineOption);
    int count = 0;
    int lines = 0;
    for (auto it = dropped.globalMatch(QString::fromLatin1(text)); it.hasNext(); ++lines)
        count += it.next().captured(1).toInt();
    return {count, lines};
}

TEST(Headless, AStandardOutputNobodyReadsHoldsUpNeitherTheIntakeNorTheQuit) {
    QTcpServer receiver;
    ASSERT_TRUE(receiver.listen(QHostAddress::LocalHost, 0));
    THeadlessRun run("[Settings]\r\nLogPackets=1\r\n");
    TOutPipe out;
    // Full before the service writes its first line: every line it writes must wait.
    const int filler = out.Fill();
    ASSERT_GT(filler, 0);
    out.Attach(run);
    // The test keeps a writing end too, to fill the pipe again later.
    ASSERT_TRUE(run.Start({QString("-I%1").arg(receiver.serverPort())}));
    ASSERT_TRUE(WaitFor([&] { return receiver.hasPendingConnections(); }, 10000));
    QTcpSocket* station = receiver.nextPendingConnection();
    // Each new entry point and repeater makes a log line; the packets go on to the packet log.
    constexpr int kLines = 2000;
    QByteArray data;
    for (int i = 0; i < kLines; ++i)
        data += Line(SensorLine(0x1000 + uint32_t(i), ',' + std::to_string(i % 32 + 1) + ",Gate",
                                "abcdefghijklmnopqrstuvwxyz!@#$%^"[i % 32]));
    station->write(data);
    ASSERT_TRUE(WaitFor([&] { return run.LoggedPackets() == kLines; }, 30000))
        << run.LoggedPackets();

    // Read again, the output brings what waited, in order, none of it lost.
    QByteArray text;
    ASSERT_TRUE(WaitFor(
        [&] {
            text += out.ReadAvailable();
            return text.count("Adding Repeater 31\n") == 1;
        },
        10000))
        << text.mid(filler).toStdString();
    text = text.mid(filler);
    EXPECT_TRUE(text.startsWith(QByteArray(text.left(20)) + "Entries Size: 1664\n"))
        << text.left(80).toStdString();
    EXPECT_EQ(text.count("Adding Entry "), 32);
    EXPECT_EQ(text.count("Adding Repeater "), 32);
    EXPECT_EQ(DroppedCounts(text).second, 0) << "nothing had to be dropped";

    // Left unread once more and full, the output does not hold up the quit.
    out.Fill();
    run.Signal(SIGTERM);
    ASSERT_TRUE(run.Process().waitForFinished(3000));
    EXPECT_EQ(run.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.Process().exitCode(), 0);
}

// As some supervisors start programs: standard input, output and error closed, or only some.
TEST(Headless, RunsWithItsStandardFilesClosed) {
    for (const std::vector<int>& closed : std::vector<std::vector<int>>{{0, 1, 2}, {1}}) {
        SCOPED_TRACE(closed.size() == 3 ? "all closed" : "standard output closed");
        QTcpServer receiver;
        ASSERT_TRUE(receiver.listen(QHostAddress::LocalHost, 0));
        THeadlessRun run("[Settings]\r\nLogPackets=1\r\n");
        run.OnChildStart([closed] {
            for (int fd : closed)
                ::close(fd);
        });
        ASSERT_TRUE(run.Start({QString("-I%1").arg(receiver.serverPort())}));
        ASSERT_TRUE(WaitFor([&] { return receiver.hasPendingConnections(); }, 10000));
        QTcpSocket* station = receiver.nextPendingConnection();
        for (uint32_t i = 0; i < 3; ++i)
            station->write(Line(SensorLine(0x300 + i, ",1,Gate")));
        ASSERT_TRUE(WaitFor([&] { return run.LoggedPackets() == 3; }, 10000));
        // Its log lines went where nothing of its own listens: it runs until told to stop.
        WaitFor([] { return false; }, 300);
        ASSERT_EQ(run.Process().state(), QProcess::Running);
        run.Signal(SIGTERM);
        ASSERT_TRUE(run.Process().waitForFinished(5000));
        EXPECT_EQ(run.Process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.Process().exitCode(), 0);
    }
}

// A folder for settings and logs that nobody, not even root, can write to.
TEST(Headless, AFolderThatCannotBeWrittenEndsTheRunAtOnceWithTheReason) {
    QTemporaryDir places;
    QFile plain(places.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    QString tooLong = places.path();
    while (tooLong.size() <= 5000)
        tooLong += "/abcdefghij";
    const std::vector<std::pair<QString, QString>> cases{
        {plain.fileName(), "Not a directory"},
        {plain.fileName() + "/corvane", "Not a directory"},
        {tooLong, "File name too long"}};
    for (const auto& [home, reason] : cases) {
        SCOPED_TRACE(reason.toStdString());
        THeadlessRun run("[Settings]\r\nLogPackets=1\r\n");
        run.SetEnv("CORVANE_HOME", home);
        ASSERT_TRUE(run.Start({"-I1"}));
        ASSERT_TRUE(run.Process().waitForFinished(10000));
        EXPECT_EQ(run.Process().exitCode(), 2);
        EXPECT_EQ(QString::fromLatin1(run.Process().readAllStandardError()),
                  "corvane: cannot write to " + home + ": " + reason + "\n");
        EXPECT_TRUE(run.Out().isEmpty());
    }
}

TEST(Headless, TriesAgainWhileTheReceiverRefusesThenAcceptsThenDrops) {
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    const QByteArray local = QString("127.0.0.1:%1").arg(port).toLatin1();
    THeadlessRun run;
    ASSERT_TRUE(run.Start({QString("-I%1").arg(port)}));
    ASSERT_TRUE(run.WaitOut("Reconnecting to " + local + " in 1 s"));
    ASSERT_TRUE(run.WaitOut("Reconnecting to " + local + " in 2 s"));

    QTcpServer receiver;
    ASSERT_TRUE(receiver.listen(QHostAddress::LocalHost, port));
    ASSERT_TRUE(WaitFor([&] { return receiver.hasPendingConnections(); }, 10000));
    QTcpSocket* first = receiver.nextPendingConnection();
    ASSERT_TRUE(WaitFor([&] { return first->bytesAvailable() >= 4; }));
    first->readAll();
    first->write(Line(SensorLine(0x111111, ",1,One")) + "0102");
    first->flush();
    ASSERT_TRUE(run.WaitOut("Adding Entry 0"));
    first->close(); // the receiver restarts

    // A connection that lasted less than a minute does not start the waits over; the
    // reconnected receiver is polled again.
    ASSERT_TRUE(run.WaitOut("Reconnecting to " + local + " in 4 s"));
    EXPECT_EQ(run.Count("Reconnecting to " + local + " in 1 s"), 1);
    ASSERT_TRUE(WaitFor([&] { return receiver.hasPendingConnections(); }, 10000));
    QTcpSocket* second = receiver.nextPendingConnection();
    ASSERT_TRUE(WaitFor([&] { return second->bytesAvailable() >= 4; }));
    EXPECT_EQ(second->readAll(), QByteArray("\x02\x55\x53\x0D", 4));
    second->write(Line(SensorLine(0x222222, ",2,Two")));
    second->flush();
    ASSERT_TRUE(run.WaitOut("Adding Entry 1"));

    run.Signal(SIGINT);
    ASSERT_TRUE(run.Process().waitForFinished(5000));
    EXPECT_EQ(run.Process().exitCode(), 0);
}

QByteArray MqttSettings(int port, const char* station) {
    return QString("[MQTT]\r\nHost=127.0.0.1\r\nPort=%1\r\nStation=%2\r\n")
        .arg(port)
        .arg(station)
        .toLatin1();
}

TEST(Headless, TwoStationsPublishUnderTheirOwnTopicsAndTheWillTellsOfAKill) {
    corvane::testing::TBroker broker;
    ASSERT_TRUE(broker.Start());
    corvane::testing::TSubscriber sub(broker.Port(), "corvane/#");
    ASSERT_TRUE(sub.WaitConnected());
    QTcpServer receiver;
    ASSERT_TRUE(receiver.listen(QHostAddress::LocalHost, 0));
    const QString target = QString("-A127.0.0.1:%1").arg(receiver.serverPort());

    THeadlessRun north(MqttSettings(broker.Port(), "north"));
    THeadlessRun south(MqttSettings(broker.Port(), "south"));
    ASSERT_TRUE(north.Start({target}));
    ASSERT_TRUE(WaitFor([&] { return receiver.hasPendingConnections(); }, 10000));
    QTcpSocket* toNorth = receiver.nextPendingConnection();
    ASSERT_TRUE(south.Start({target}));
    ASSERT_TRUE(WaitFor([&] { return receiver.hasPendingConnections(); }, 10000));
    QTcpSocket* toSouth = receiver.nextPendingConnection();
    ASSERT_TRUE(
        north.WaitOut(QString("MQTT broker 127.0.0.1:%1 connected").arg(broker.Port()).toLatin1()));
    ASSERT_TRUE(south.WaitOut("connected"));

    for (uint32_t i = 0; i < 5; ++i)
        toNorth->write(Line(SensorLine(0x100 + i)));
    toSouth->write(Line(SensorLine(0x200, "", 'q')) + "garbage\r");
    toNorth->flush();
    toSouth->flush();
    ASSERT_TRUE(sub.WaitFor(5, "corvane/north/packet"));
    ASSERT_TRUE(sub.WaitFor(1, "corvane/south/packet"));
    WaitFor([] { return false; }, 300);
    const auto northPackets = sub.On("corvane/north/packet");
    ASSERT_EQ(northPackets.size(), 5u);
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(northPackets[i].Json()["serial"].toString(),
                  QString("%1").arg(0x100 + i, 16, 16, QChar('0')).toUpper());
    const auto southPackets = sub.On("corvane/south/packet");
    ASSERT_EQ(southPackets.size(), 1u);
    EXPECT_EQ(southPackets[0].Json()["repeater"].toString(), "q");
    ASSERT_EQ(sub.On("corvane/north/status").size(), 1u);
    EXPECT_EQ(sub.On("corvane/north/status")[0].Payload, "online");

    // Killed without a chance to say goodbye: the broker speaks the will, after its keepalive
    // grace at the latest, and only for that station.
    north.Process().kill();
    ASSERT_TRUE(sub.WaitFor(2, "corvane/north/status", 10000));
    EXPECT_EQ(sub.On("corvane/north/status")[1].Payload, "offline");
    EXPECT_EQ(sub.On("corvane/south/status").size(), 1u);

    south.Signal(SIGTERM);
    ASSERT_TRUE(south.Process().waitForFinished(5000));
    EXPECT_EQ(south.Process().exitCode(), 0);
    ASSERT_TRUE(sub.WaitFor(2, "corvane/south/status"));
    EXPECT_EQ(sub.On("corvane/south/status")[1].Payload, "offline");
}

// The messages of the service's output that tell of its links, without their time stamps.
std::vector<std::string> LinkLines(const QByteArray& out) {
    static const QRegularExpression link(
        "^(Connected to|Connection to|Reconnecting to|Serial port|Unable to) ");
    std::vector<std::string> lines;
    for (const QByteArray& line : out.split('\n')) {
        const QString message = QString::fromLatin1(line.mid(20));
        if (link.match(message).hasMatch())
            lines.push_back(message.toStdString());
    }
    return lines;
}

TEST(Headless, SaysWhenATcpLinkOpensAndWhyItWentByAddressAndPort) {
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    const std::string name = "127.0.0.1:" + std::to_string(port);
    THeadlessRun run;
    ASSERT_TRUE(run.Start({QString("-I%1").arg(port)}));
    ASSERT_TRUE(run.WaitOut(QByteArray::fromStdString("Reconnecting to " + name + " in 1 s")));

    QTcpServer receiver;
    ASSERT_TRUE(receiver.listen(QHostAddress::LocalHost, port));
    ASSERT_TRUE(WaitFor([&] { return receiver.hasPendingConnections(); }, 10000));
    QTcpSocket* station = receiver.nextPendingConnection();
    ASSERT_TRUE(run.WaitOut(QByteArray::fromStdString("Connected to " + name)));
    station->close();
    ASSERT_TRUE(run.WaitOut(QByteArray::fromStdString("Reconnecting to " + name + " in 2 s")));
    run.Signal(SIGINT);
    ASSERT_TRUE(run.Process().waitForFinished(5000));

    const std::vector<std::string> expected{
        "Connection to " + name + " lost: Connection refused",
        "Reconnecting to " + name + " in 1 s", "Connected to " + name,
        "Connection to " + name + " lost: The remote host closed the connection",
        "Reconnecting to " + name + " in 2 s"};
    EXPECT_EQ(LinkLines(run.Out()), expected) << run.Out().toStdString();
    // The window's short description hides the port; the service never uses it.
    EXPECT_EQ(run.Count("Local"), 0);
}

TEST(Headless, SaysWhenASerialPortOpensAndWhyItWentByNumberAndDevice) {
    QTemporaryDir dir;
    const QString device = dir.filePath("receiver");
    const QString far = dir.filePath("far");
    QProcess socat;
    socat.start("socat", {"pty,raw,echo=0,link=" + device, "pty,raw,echo=0,link=" + far});
    ASSERT_TRUE(socat.waitForStarted(2000));
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(device) && QFile::exists(far); }));
    const std::string port = "port 3 (" + device.toStdString() + ")";

    THeadlessRun run(("[Serial Ports]\r\n3=" + device + "\r\n").toLatin1());
    ASSERT_TRUE(run.Start({"-S3"}));
    ASSERT_TRUE(run.WaitOut(QByteArray::fromStdString("Serial " + port + " opened")));
    socat.kill(); // the adapter is pulled
    socat.waitForFinished(2000);
    ASSERT_TRUE(
        run.WaitOut(QByteArray::fromStdString("Reconnecting to serial " + port + " in 1 s")));
    run.Signal(SIGINT);
    ASSERT_TRUE(run.Process().waitForFinished(5000));

    const std::vector<std::string> lines = LinkLines(run.Out());
    ASSERT_EQ(lines.size(), 3u) << run.Out().toStdString();
    EXPECT_EQ(lines[0], "Serial " + port + " opened");
    // The reason is the system's own words.
    EXPECT_EQ(lines[1].rfind("Serial " + port + " lost: ", 0), 0u) << lines[1];
    EXPECT_GT(lines[1].size(), ("Serial " + port + " lost: ").size());
    EXPECT_EQ(lines[2], "Reconnecting to serial " + port + " in 1 s");
    EXPECT_EQ(run.Count("Serial: 3"), 0);
}

// The entry point that a bare line takes on each of two -I receivers, as the program registers
// it for publishing: "<serial> <entry> <entry name>", the receivers' ports written <1> and <2>.
std::vector<std::string> BareLineEntries(corvane::testing::TSubscriber& sub,
                                         const std::string& station,
                                         const std::function<bool(const QStringList&)>& start) {
    QTcpServer first;
    QTcpServer second;
    if (!first.listen(QHostAddress::LocalHost, 0) || !second.listen(QHostAddress::LocalHost, 0))
        return {};
    const QString one = QString::number(first.serverPort());
    const QString two = QString::number(second.serverPort());
    if (!start({"-I" + one, "-I" + two}))
        return {};
    // Reads made before the broker has the station are dropped, not kept for it.
    if (!sub.WaitFor(1, "corvane/" + station + "/status", 10000))
        return {};
    std::vector<std::string> entries;
    uint32_t serial = 0x301;
    for (QTcpServer* receiver : {&first, &second}) {
        if (!WaitFor([&] { return receiver->hasPendingConnections(); }, 10000))
            return {};
        // Through a repeater: the packet digits alone are too short to be taken for a line.
        QTcpSocket* station = receiver->nextPendingConnection();
        station->write(Line(SensorLine(serial++, "", 'r')));
        station->flush();
    }
    const std::string topic = "corvane/" + station + "/packet";
    if (!sub.WaitFor(2, topic, 10000))
        return {};
    for (const corvane::testing::TMessage& message : sub.On(topic)) {
        const QJsonObject json = message.Json();
        QString name = json["entry_name"].toString();
        name.replace(one, "<1>").replace(two, "<2>");
        entries.push_back(json["serial"].toString().toStdString() + ' ' +
                          QString::number(json["entry"].toInt(-1)).toStdString() + ' ' +
                          name.toStdString());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

TEST(Headless, ABareLineTakesTheEntryPointItTakesInTheWindow) {
    corvane::testing::TBroker broker;
    ASSERT_TRUE(broker.Start());
    corvane::testing::TSubscriber sub(broker.Port(), "corvane/#");
    ASSERT_TRUE(sub.WaitConnected());

    corvane::testing::TProgramRun window(MqttSettings(broker.Port(), "window"));
    const std::vector<std::string> inWindow =
        BareLineEntries(sub, "window", [&](const QStringList& args) { return window.Start(args); });
    EXPECT_EQ(window.Stop(), 0);
    THeadlessRun service(MqttSettings(broker.Port(), "service"));
    const std::vector<std::string> inService = BareLineEntries(
        sub, "service", [&](const QStringList& args) { return service.Start(args); });

    // 254 less the connection's place among the open ones, named as the connection is: the
    // receiver at the port the command line named last is the local one.
    const std::vector<std::string> expected{"0000000000000301 254 TCP/IP: 127.0.0.1|<1>",
                                            "0000000000000302 253 Local"};
    EXPECT_EQ(inWindow, expected);
    EXPECT_EQ(inService, inWindow);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
