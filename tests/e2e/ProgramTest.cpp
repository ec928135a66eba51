// The real program, started headless in a folder of its own with -I against a receiver on the
// loopback interface: it polls, and the lines it receives reach the packet and statistics logs.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include "E2eSupport.h"
#include "support/Packets.h"

namespace {

using corvane::testing::WaitFor;

QByteArray ReadLog(const QDir& dir, const QString& pattern) {
    const QStringList names = dir.entryList({pattern}, QDir::Files);
    if (names.isEmpty())
        return {};
    QFile file(dir.filePath(names.first()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(EndToEnd, LinesFromAReceiverReachTheLogs) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QDir dir(folder.path());
    const QString program = dir.filePath("corvane");
    ASSERT_TRUE(QFile::copy(CORVANE_PROGRAM, program));
    QFile ini(dir.filePath("corvane.INI"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Settings]\r\nLogPackets=1\r\nLogRateSec=1\r\n");
    ini.close();

    QTcpServer receiver;
    ASSERT_TRUE(receiver.listen(QHostAddress::LocalHost, 0));
    QProcess corvane;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    corvane.setProcessEnvironment(env);
    corvane.setWorkingDirectory(dir.path());
    corvane.start(program, {QString("-I%1").arg(receiver.serverPort())});
    ASSERT_TRUE(corvane.waitForStarted(3000));

    ASSERT_TRUE(WaitFor([&] { return receiver.hasPendingConnections(); }));
    QTcpSocket* station = receiver.nextPendingConnection();
    ASSERT_TRUE(WaitFor([&] { return station->bytesAvailable() >= 4; }));
    EXPECT_EQ(station->readAll(), QByteArray("\x02\x55\x53\x0D", 4));

    const std::string first = corvane::testing::SensorLine(0x123456, ",1,North Gate,Tank 7");
    const std::string second = corvane::testing::SensorLine(0x654321);
    const QByteArray data = QByteArray::fromStdString(first + "\r" + "noise\r" + second + "\r");
    for (int i = 0; i < data.size(); i += 7) {
        station->write(data.mid(i, 7));
        station->flush();
        QThread::msleep(1);
    }
    ASSERT_TRUE(WaitFor([&] {
        const QByteArray log = ReadLog(dir, "corvane_*.txt");
        return log.contains(QByteArray::fromStdString(second));
    })) << ReadLog(dir, "corvane_*.txt").toStdString();
    const QByteArray packets = ReadLog(dir, "corvane_*.txt");
    EXPECT_TRUE(packets.contains(QByteArray::fromStdString(first)));
    EXPECT_FALSE(packets.contains("noise"));
    ASSERT_TRUE(WaitFor([&] { return ReadLog(dir, "corvane_*.LOG").count("\r\n") >= 3; }));
    const QByteArray stats = ReadLog(dir, "corvane_*.LOG");
    EXPECT_TRUE(stats.contains("Tank 7")) << stats.toStdString();

    // The receiver going away does not end the program.
    station->disconnectFromHost();
    QThread::msleep(300);
    EXPECT_EQ(corvane.state(), QProcess::Running);
    corvane.kill();
    corvane.waitForFinished(3000);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Without any display the program says what to do instead, rather than being ended by the
// toolkit with a core dump.
TEST(EndToEnd, WithoutADisplayItSaysSoAndExits2) {
    QTemporaryDir dir;
    corvane::testing::CopyProgram(dir, {});
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    program.setProcessEnvironment(env);
    program.start(dir.filePath("corvane"), {"-I"});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_EQ(program.readAllStandardError(),
              "corvane: no display found; run it on a desktop, under xvfb-run, or as a service "
              "with --headless\n");
}
