// The service and its history database across a restart: what it restores, and what it tells
// the broker of a sensor that went quiet while it was not running.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

#include "HeadlessRun.h"
#include "history/HistoryFile.h"
#include "history/HistoryTime.h"
#include "history/HistoryWriter.h"
#include "mqtt/Broker.h"
#include "support/Packets.h"

namespace corvane {
namespace {

using testing::THeadlessRun;
using testing::WaitFor;

int64_t WallNowMs() {
    TSystemClock clock;
    return WallToUnixMs(clock.WallNow());
}

// A database as an earlier run left it: one sensor heard every 15 s until silenceSec ago.
void WriteEarlierRun(const std::string& path, int64_t silenceSec) {
    auto file = std::make_unique<THistoryFile>();
    TManualClock clock;
    std::vector<std::string> lines;
    ASSERT_EQ(file->Open(path, clock, lines), THistoryOpen::Recording);
    const int64_t last = WallNowMs() - silenceSec * 1000;
    THistoryRun run;
    run.Version = "earlier";
    run.StartWallMs = last - 6 * 15'000;
    THistoryWriter writer(std::move(file), {}, run, nullptr);
    writer.SetWallNow(run.StartWallMs);
    ASSERT_TRUE(writer.Start());
    for (int i = 1; i <= 6; ++i) {
        THistoryRead r;
        r.SerNo = 0xABC;
        r.WallMs = run.StartWallMs + i * 15'000;
        r.MonoMs = i * 15'000;
        r.Kind = 1;
        r.Data[0] = 0x10;
        r.Data[1] = 0xBC;
        r.Data[2] = 0x0A;
        r.Entry = 1;
        r.EntryName.Assign("North");
        r.SensorName.Assign("Well 3");
        r.UsualGap = i >= 3 ? 15.0f : -1.0f;
        writer.Push(r);
    }
    writer.SetWallNow(last);
    writer.Stop();
}

TEST(HeadlessHistory, ASensorThatWentQuietWhileTheServiceWasDownIsSilentAtOnceAlsoAtTheBroker) {
    testing::TBroker broker;
    ASSERT_TRUE(broker.Start());
    testing::TSubscriber sub(broker.Port(), "corvane/#");
    ASSERT_TRUE(sub.WaitConnected());
    QTcpServer receiver;
    ASSERT_TRUE(receiver.listen(QHostAddress::LocalHost, 0));

    THeadlessRun run(QByteArray("[MQTT]\r\nHost=127.0.0.1\r\nStation=north\r\nPort=") +
                     QByteArray::number(broker.Port()) + "\r\n");
    const std::string path = run.Folder().toStdString() + "/corvane_history.db";
    WriteEarlierRun(path, 2400);
    ASSERT_TRUE(run.Start({QString("-I%1").arg(receiver.serverPort())}));
    ASSERT_TRUE(
        run.WaitOut(QByteArray::fromStdString("Restored 6 reads of 1 sensors from " + path)))
        << run.Out().toStdString();
    ASSERT_TRUE(run.WaitOut("Sensor Well 3 silent: no read for 240")) << run.Out().toStdString();
    EXPECT_TRUE(QString::fromLatin1(run.Out()).contains(
        QRegularExpression("Sensor Well 3 silent: no read for 240[0-9] s, usual gap 15 s "
                           "\\(behind entry North\\)\n")));

    const std::string topic = "corvane/north/sensor/0000000000000ABC";
    ASSERT_TRUE(WaitFor(
        [&] {
            const auto messages = sub.On(topic);
            return !messages.empty() && messages.back().Json()["state"].toString() == "silent";
        },
        10000));
    run.Signal(SIGTERM);
    ASSERT_TRUE(run.Process().waitForFinished(5000));
    EXPECT_EQ(run.Process().exitCode(), 0);

    // Two runs in the file now, the service's ended cleanly; nothing was read again into it.
    TSqlite db;
    ASSERT_TRUE(db.Open(path, false, true));
    EXPECT_EQ(db.QueryInt("SELECT count(*) FROM runs WHERE clean = 1"), 2);
    EXPECT_EQ(db.QueryInt("SELECT count(*) FROM reads"), 6);
    EXPECT_EQ(db.QueryText("SELECT alert FROM sensors"), "silent");
}

// A sensor gone for longer than the store holds reads is not restored, but the start says that
// the network knew it.
TEST(HeadlessHistory, SaysHowManyKnownSensorsWentQuietLongBeforeTheStart) {
    QTcpServer receiver;
    ASSERT_TRUE(receiver.listen(QHostAddress::LocalHost, 0));
    THeadlessRun run;
    const std::string path = run.Folder().toStdString() + "/corvane_history.db";
    WriteEarlierRun(path, 5 * 3600);
    ASSERT_TRUE(run.Start({QString("-I%1").arg(receiver.serverPort())}));
    ASSERT_TRUE(run.WaitOut("1 known sensors not heard for over 10800 s"))
        << run.Out().toStdString();
    EXPECT_EQ(run.Count("Restored "), 0);
    run.Signal(SIGTERM);
    ASSERT_TRUE(run.Process().waitForFinished(5000));
}

// A file that is not a database at all is kept aside, and the service records into a new one.
TEST(HeadlessHistory, ADamagedFileIsKeptAsideAndTheServiceRecordsAnew) {
    QTcpServer receiver;
    ASSERT_TRUE(receiver.listen(QHostAddress::LocalHost, 0));
    THeadlessRun run;
    const std::string path = run.Folder().toStdString() + "/corvane_history.db";
    {
        QFile junk(QString::fromStdString(path));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(8192, 'x'));
    }
    ASSERT_TRUE(run.Start({QString("-I%1").arg(receiver.serverPort())}));
    ASSERT_TRUE(run.WaitOut(", starting a new one")) << run.Out().toStdString();
    ASSERT_TRUE(WaitFor([&] { return receiver.hasPendingConnections(); }, 10000));
    QTcpSocket* station = receiver.nextPendingConnection();
    station->write("0000000000000000000000000000 junk\r");
    station->write(
        QByteArray::fromStdString(testing::SensorLine(0x123456, ",1,Gate,Tank \xC4") + "\r"));
    station->flush();
    ASSERT_TRUE(run.WaitOut("Adding Entry 0"));
    run.Signal(SIGTERM);
    ASSERT_TRUE(run.Process().waitForFinished(5000));
    TSqlite db;
    ASSERT_TRUE(db.Open(path, false, true));
    EXPECT_EQ(db.QueryInt("SELECT count(*) FROM reads"), 1);
    EXPECT_EQ(db.QueryText("SELECT label FROM read_list"), "Tank \xC3\x84");
    const QStringList aside =
        QDir(run.Folder()).entryList({"corvane_history.db.broken-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
}

} // namespace
} // namespace corvane

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
