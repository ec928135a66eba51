// The service end to end with publishing on: a loopback receiver sends lines as fast as the
// service takes them, a real broker passes the packet messages on, and a subscriber counts them.
// Reports lines per second from the first line sent to the last message received, and what the
// service dropped. Usage: bench_headless [lines] [sensors] [spread] [rate=N]
// The sensors' serial numbers are 1, 2, 3, ... unless "spread" is given: then they are scattered
// over the 32-bit range, as a real network's are. Without a rate the receiver sends everything at
// once, more than the publisher's queue holds, so some messages are dropped by design; with
// rate=N it sends N lines a second in 10 ms slices, as a busy station would, and every message
// should arrive. With [MQTT] Lines=1, as by default, each line is two messages: its packet and
// the line itself; "nolines" sets Lines=0, so that each line is its packet message alone. Then a
// minimal libmosquitto publisher sends as many messages of the same size to
// the same broker, the same way (at once or at the rate): what the broker and the machine allow,
// and the service's messages/s as a share of it.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <mosquitto.h>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

#include "ProcessUsage.h"
#include "mqtt/Broker.h"
#include "support/Packets.h"
#include "util/untConst.h"

namespace {

QByteArray MakeLines(int count, int sensors, bool spread) {
    QByteArray data;
    for (int i = 0; i < count; ++i) {
        const int sensor = i % sensors;
        const int entry = (i / sensors + sensor) % 8;
        const uint32_t serial = spread ? uint32_t(sensor + 1) * 2654435761u : uint32_t(sensor + 1);
        data += QByteArray::fromStdString(corvane::testing::SensorLine(
            serial, "," + std::to_string(entry) + ",Gate " + std::to_string(entry),
            corvane::RepeaterChars[size_t(i * 7) % 16]));
        data += '\r';
    }
    return data;
}

std::pair<double, long> Usage(qint64 pid) {
    return corvane::bench::ProcessUsage(pid);
}

// Waits until the subscriber has n messages or none arrived for quietMs; the time of the last
// arrival, measured from clock's start, goes to last.
bool WaitMessages(corvane::testing::TSubscriber& sub, size_t n, const QElapsedTimer& clock,
                  int quietMs, double& last) {
    size_t seen = sub.Count();
    qint64 seenAt = clock.nsecsElapsed();
    last = double(seenAt) / 1e9;
    while (seen < n) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const size_t now = sub.Count();
        if (now != seen) {
            seen = now;
            seenAt = clock.nsecsElapsed();
            last = double(seenAt) / 1e9;
        } else if ((clock.nsecsElapsed() - seenAt) / 1000000 > quietMs) {
            return false;
        }
    }
    return true;
}

// Writes data at rate lines a second, a 10 ms slice at a time, keeping the event loop turning.
void SendPaced(QTcpSocket* station, const QByteArray& data, int lines, int rate) {
    const double bytesPerLine = double(data.size()) / lines;
    QElapsedTimer clock;
    clock.start();
    qsizetype sent = 0;
    while (sent < data.size()) {
        const double due = double(clock.nsecsElapsed()) / 1e9 * rate;
        // Whole lines only: the slice ends after the last line terminator within it.
        qsizetype upTo = std::min<qsizetype>(data.size(), qsizetype(due * bytesPerLine));
        if (upTo > sent) {
            const qsizetype cut = data.lastIndexOf('\r', upTo - 1);
            if (cut >= sent) {
                station->write(data.constData() + sent, cut + 1 - sent);
                sent = cut + 1;
            }
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(2000);
    }
}

bool Wait(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The messages/s from the first publish to the last arrival of a bare client that publishes
// count copies of payload at QoS 0, as the service publishes its packet messages, at rate a
// second (0: all at once) from a thread of its own.
double MinimalPublisher(int port, corvane::testing::TSubscriber& sub, const QByteArray& payload,
                        int count, int rate) {
    mosquitto* m = mosquitto_new("bench-minimal", true, nullptr);
    if (!m || mosquitto_connect(m, "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS)
        return 0;
    mosquitto_loop_start(m);
    const size_t before = sub.Count();
    QElapsedTimer clock;
    clock.start();
    std::thread sender([&] {
        for (int i = 0; i < count; ++i) {
            if (rate > 0)
                while (double(clock.nsecsElapsed()) / 1e9 * rate < i)
                    QThread::usleep(2000);
            mosquitto_publish(m, nullptr, "bench/minimal/packet", int(payload.size()),
                              payload.constData(), 0, false);
        }
    });
    double seconds = 0;
    WaitMessages(sub, before + size_t(count), clock, 3000, seconds);
    sender.join();
    const size_t got = sub.Count() - before;
    mosquitto_disconnect(m);
    mosquitto_loop_stop(m, false);
    mosquitto_destroy(m);
    std::printf("minimal publisher: %zu of %d messages, %.0f messages/s\n", got, count,
                got / seconds);
    return got / seconds;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 200000;
    const int sensors = argc > 2 ? std::atoi(argv[2]) : 2000;
    bool spread = false;
    bool noLines = false;
    int rate = 0;
    for (int i = 3; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "spread")
            spread = true;
        else if (arg == "nolines")
            noLines = true;
        else if (arg.substr(0, 5) == "rate=")
            rate = std::atoi(argv[i] + 5);
    }

    corvane::testing::TBroker broker;
    if (!broker.Start()) {
        std::fprintf(stderr, "no broker\n");
        return 1;
    }
    corvane::testing::TSubscriber sub(broker.Port(), "bench/+/packet");
    sub.WaitConnected();
    QTcpServer receiver;
    receiver.listen(QHostAddress::LocalHost, 0);

    QTemporaryDir dir;
    const QString program = dir.filePath("corvane");
    QFile::copy(QStringLiteral(CORVANE_PROGRAM), program);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile ini(dir.filePath("corvane.INI"));
    ini.open(QIODevice::WriteOnly);
    ini.write(QString("[MQTT]\r\nHost=127.0.0.1\r\nPort=%1\r\nTopic=bench\r\nStation=s1\r\n"
                      "Lines=%2\r\n")
                  .arg(broker.Port())
                  .arg(noLines ? 0 : 1)
                  .toLatin1());
    ini.close();
    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(program, {"--headless", QString("-I%1").arg(receiver.serverPort())});
    if (!Wait([&] { return receiver.hasPendingConnections(); }, 10000))
        return 1;
    QTcpSocket* station = receiver.nextPendingConnection();
    // Publishing starts once the broker has the service.
    Wait([&] { return service.readAllStandardOutput().contains("connected"); }, 5000);
    QThread::msleep(300);

    const QByteArray data = MakeLines(lines, sensors, spread);
    const double cpuBefore = Usage(service.processId()).first;
    QElapsedTimer clock;
    clock.start();
    if (rate > 0)
        SendPaced(station, data, lines, rate);
    else
        station->write(data);
    double seconds = 0;
    const bool all = WaitMessages(sub, size_t(lines), clock, 3000, seconds);
    const size_t got = sub.Count();
    const std::vector<corvane::testing::TMessage> received = sub.Messages();
    const QByteArray sample = received.empty() ? QByteArray(200, 'x') : received.back().Payload;
    std::printf("lines %d, sensors %d, %s, messages received %zu%s\n", lines, sensors,
                rate > 0 ? qPrintable(QString("sent at %1 lines/s").arg(rate)) : "sent at once",
                got, all ? "" : " (the rest never came)");
    std::printf("%.3f s to the last message, %.0f messages/s end to end with publishing\n", seconds,
                got / seconds);
    const auto [cpu, rss] = Usage(service.processId());
    std::printf("service: %.2f CPU s for the lines, %.0f lines per CPU second, %ld kB resident\n",
                cpu - cpuBefore, lines / (cpu - cpuBefore), rss);
    ::kill(pid_t(service.processId()), SIGTERM);
    service.waitForFinished(5000);
    const double minimal = MinimalPublisher(broker.Port(), sub, sample, lines, rate);
    // The service's own account, the last thing it says: every message it sent (each line makes
    // a packet message and, unless nolines, a line message), against the minimal publisher's.
    for (const QByteArray& line : service.readAllStandardOutput().split('\n')) {
        if (!line.contains("MQTT broker") || !line.contains("dropped"))
            continue;
        std::printf("%s\n", line.constData());
        const qsizetype at = line.lastIndexOf(" sent");
        const double sent = line.left(at).mid(line.lastIndexOf(' ', at - 1) + 1).toDouble();
        if (minimal > 0 && sent > 0)
            std::printf("against the minimal publisher: packet messages %.2f, all messages the "
                        "service sent (%.0f/s) %.2f\n",
                        got / seconds / minimal, sent / seconds, sent / seconds / minimal);
    }
    return all ? 0 : 1;
}
