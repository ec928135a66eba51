// corvane --headless with [Alerts] Command: a receiver's sensor goes silent and comes back,
// and the program named runs for each change with the change in its environment; its failure
// is in the service's log.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <csignal>

#include "E2eSupport.h"
#include "HeadlessRun.h"
#include "support/Packets.h"

namespace {

using corvane::testing::SensorLine;
using corvane::testing::THeadlessRun;
using corvane::testing::WaitFor;

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(HeadlessAlertCommand, RunsTheProgramForEachChangeAndLogsItsFailure) {
    THeadlessRun run;
    const QString hook = run.Folder() + "/hook";
    const QString out = run.Folder() + "/changes.txt";
    {
        QFile script(hook);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$CORVANE_EVENT $CORVANE_KIND $CORVANE_ID "
                     "$CORVANE_LABEL [$CORVANE_BEHIND] $CORVANE_STATION\" >> '" +
                     out.toUtf8() + "'\necho 'no relay' >&2\nexit 2\n");
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile ini(run.Folder() + "/corvane.INI");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Settings]\r\nDuplicateTimeSec=0\r\nDuplicateCRCCheck=1\r\n[Alerts]\r\n"
                  "AlertMinSec=1\r\nCommand=" +
                  hook.toUtf8() + "\r\n[MQTT]\r\nStation=east\r\n[History]\r\nKeep=0\r\n");
    }
    QTcpServer receiver;
    ASSERT_TRUE(receiver.listen(QHostAddress::LocalHost, 0));
    ASSERT_TRUE(run.Start({QString("-I%1").arg(receiver.serverPort())}));
    ASSERT_TRUE(WaitFor([&] { return receiver.hasPendingConnections(); }, 10000));
    QTcpSocket* station = receiver.nextPendingConnection();
    // Three reads at once (other check words): a usual gap of 0 s, silent a second on.
    for (uint8_t payload = 1; payload <= 3; ++payload)
        station->write(QByteArray::fromStdString(SensorLine(0x123456, "", '\0', payload) + "\r"));
    station->flush();
    ASSERT_TRUE(run.WaitOut(" silent: no read for "));
    ASSERT_TRUE(run.WaitOut("Alert command failed (2): no relay"));
    station->write(QByteArray::fromStdString(SensorLine(0x123456, "", '\0', 4) + "\r"));
    station->flush();
    ASSERT_TRUE(run.WaitOut(" back after "));
    // The sensor and the entry point it came through, the runs in whichever order they ended; the
    // sensor went silent behind the entry point, and is back of its own.
    ASSERT_TRUE(WaitFor([&] { return ReadAll(out).count('\n') == 4; }));
    QList<QByteArray> lines = ReadAll(out).trimmed().split('\n');
    std::sort(lines.begin(), lines.end());
    const QList<QByteArray> expected{
        "back entry 254 Local [] east", "back sensor 0000000000123456 0000000000123456 [] east",
        "silent entry 254 Local [] east",
        "silent sensor 0000000000123456 0000000000123456 [entry/254] east"};
    EXPECT_EQ(lines, expected);

    run.Signal(SIGTERM);
    ASSERT_TRUE(run.Process().waitForFinished(5000));
    EXPECT_EQ(run.Process().exitCode(), 0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
