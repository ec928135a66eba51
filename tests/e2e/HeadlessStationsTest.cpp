// corvane --headless -M: a desk that reads the stations beside their receivers through one
// broker. Its figures are those of a run wired to the receivers themselves; a station killed,
// restarted, or a broker restarted between them change nothing that was registered.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>

#include <map>
#include <memory>

#include "E2eSupport.h"
#include "HeadlessRun.h"
#include "mqtt/Broker.h"
#include "support/Packets.h"

namespace corvane::testing {
namespace {

constexpr char kTicks[] = "[Settings]\r\nLogRateSec=1\r\nDuplicateTimeSec=1\r\nLogPackets=1\r\n";

QByteArray StationSettings(int port, const char* station) {
    return QByteArray(kTicks) + "[MQTT]\r\nHost=127.0.0.1\r\nPort=" + QByteArray::number(port) +
           "\r\nStation=" + station + "\r\n";
}

QString ReadFrom(const TBroker& broker) {
    return QString("-M127.0.0.1:%1").arg(broker.Port());
}

QByteArray Connected(const TBroker& broker) {
    return QString("MQTT broker 127.0.0.1:%1 connected").arg(broker.Port()).toLatin1();
}

// A receiver of the test's own that one program connects to.
class TReceiver {
public:
    TReceiver() { server_.listen(QHostAddress::LocalHost, 0); }
    QString Target() const { return QString("-A127.0.0.1:%1").arg(server_.serverPort()); }
    bool WaitClient() {
        if (!WaitFor([&] { return server_.hasPendingConnections(); }, 10000))
            return false;
        client_.reset(server_.nextPendingConnection());
        return true;
    }
    void Send(const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            client_->write(QByteArray::fromStdString(line + "\r"));
        client_->flush();
    }

private:
    QTcpServer server_;
    std::unique_ptr<QTcpSocket> client_;
};

// The statistics log's newest block: each sensor's reads and duplicates.
std::map<std::string, std::pair<std::string, std::string>> Counts(const QString& folder) {
    QFile file(folder + "/corvane_01.LOG");
    std::map<std::string, std::pair<std::string, std::string>> rows;
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    std::string time;
    const auto lines = SplitLines(file.readAll());
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        std::vector<std::string> f;
        size_t start = 0;
        for (size_t at; (at = it->find(',', start)) != std::string::npos; start = at + 1)
            f.push_back(it->substr(start, at - start));
        f.push_back(it->substr(start));
        if (f.size() != 10 || (!time.empty() && f[0] != time))
            break;
        time = f[0];
        rows[f[1]] = {f[5], f[6]};
    }
    return rows;
}

// Lines that the north receiver hears, and the south one: some sensors through both entry
// points at once (duplicates), and lines the checks turn away.
std::vector<std::string> NorthLines() {
    std::vector<std::string> lines;
    for (uint32_t i = 0; i < 8; ++i)
        lines.push_back(SensorLine(0x300 + i, ",1,North Gate"));
    lines.push_back("too short");
    std::string bad = SensorLine(0x3FF, ",1");
    bad[5] = bad[5] == '0' ? '1' : '0';
    lines.push_back(bad);
    return lines;
}

std::vector<std::string> SouthLines() {
    std::vector<std::string> lines;
    for (uint32_t i = 0; i < 4; ++i)
        lines.push_back(SensorLine(0x300 + i, ",2,South Gate", 'r'));
    lines.push_back(SensorLine(0x400, ",2,South Gate"));
    return lines;
}

bool HasSensors(const QString& folder, size_t n) {
    return Counts(folder).size() >= n;
}

TEST(HeadlessStations, ADeskReadingTwoStationsCountsAsOneRunWiredToBothReceivers) {
    TBroker broker;
    ASSERT_TRUE(broker.Start());
    TSubscriber deskLines(broker.Port(), "corvane/desk/line");
    ASSERT_TRUE(deskLines.WaitConnected());
    // The desk publishes too: what it read from the broker must not go back there.
    THeadlessRun desk(StationSettings(broker.Port(), "desk"));
    ASSERT_TRUE(desk.Start({ReadFrom(broker)}));
    ASSERT_TRUE(desk.WaitOut(Connected(broker), 2));

    TReceiver northRx, southRx;
    THeadlessRun north(StationSettings(broker.Port(), "north"));
    THeadlessRun south(StationSettings(broker.Port(), "south"));
    ASSERT_TRUE(north.Start({northRx.Target()}));
    ASSERT_TRUE(south.Start({southRx.Target()}));
    ASSERT_TRUE(northRx.WaitClient());
    ASSERT_TRUE(southRx.WaitClient());
    ASSERT_TRUE(desk.WaitOut("Station north online"));
    ASSERT_TRUE(desk.WaitOut("Station south online"));

    TReceiver northDirect, southDirect;
    THeadlessRun direct(kTicks);
    ASSERT_TRUE(direct.Start({northDirect.Target(), southDirect.Target()}));
    ASSERT_TRUE(northDirect.WaitClient());
    ASSERT_TRUE(southDirect.WaitClient());

    northRx.Send(NorthLines());
    northDirect.Send(NorthLines());
    southRx.Send(SouthLines());
    southDirect.Send(SouthLines());

    ASSERT_TRUE(WaitFor([&] { return HasSensors(desk.Folder(), 9); }, 10000)) << desk.Out().data();
    ASSERT_TRUE(WaitFor([&] { return HasSensors(direct.Folder(), 9); }, 10000));
    // A tick later both hold every line.
    WaitFor([] { return false; }, 1500);
    const auto read = Counts(desk.Folder());
    EXPECT_EQ(read, Counts(direct.Folder()));
    EXPECT_EQ(read.at("\"0000000000000300\"").second, "1"); // heard through both entry points
    EXPECT_EQ(desk.LoggedPackets(), direct.LoggedPackets());
    EXPECT_EQ(deskLines.Count(), 0u);
}

// Short usual gaps, so that an entry point heard from no more goes late and silent within
// seconds: late after 2 s without a read, silent after 4 s.
constexpr char kQuickAlerts[] = "[Alerts]\r\nAlertMinSec=1\r\nLateFactor=2\r\nSilentFactor=4\r\n"
                                "[Entries]\r\n1=gap=1\r\n";

TEST(HeadlessStations, AStationKilledGoesOfflineItsEntryPointsSilentAndComesBackWithItsLines) {
    TBroker broker;
    ASSERT_TRUE(broker.Start());
    THeadlessRun desk(QByteArray(kTicks) + kQuickAlerts);
    ASSERT_TRUE(desk.Start({ReadFrom(broker)}));
    ASSERT_TRUE(desk.WaitOut(Connected(broker)));

    TReceiver rx;
    auto north = std::make_unique<THeadlessRun>(StationSettings(broker.Port(), "north"));
    ASSERT_TRUE(north->Start({rx.Target()}));
    ASSERT_TRUE(rx.WaitClient());
    ASSERT_TRUE(desk.WaitOut("Station north online"));
    rx.Send({SensorLine(0x500, ",1,North Gate")});
    ASSERT_TRUE(WaitFor([&] { return desk.LoggedPackets() == 1; }));

    north->Signal(SIGKILL);
    ASSERT_TRUE(desk.WaitOut("Station north offline"));
    // Nothing comes through the station's entry point any more: the desk says so, in order.
    const QByteArray late = "Entry North Gate late: no read for ";
    const QByteArray silent = "Entry North Gate silent: no read for ";
    ASSERT_TRUE(desk.WaitOut(silent)) << desk.Out().data();
    EXPECT_EQ(desk.Count(late), 1);
    EXPECT_LT(desk.Out().indexOf(late), desk.Out().indexOf(silent));

    north = std::make_unique<THeadlessRun>(StationSettings(broker.Port(), "north"));
    ASSERT_TRUE(north->Start({rx.Target()}));
    ASSERT_TRUE(rx.WaitClient());
    ASSERT_TRUE(desk.WaitOut("Station north online", 2));
    rx.Send({SensorLine(0x501, ",1,North Gate")});
    ASSERT_TRUE(WaitFor([&] { return desk.LoggedPackets() == 2; }));
    EXPECT_EQ(desk.Count("Station north offline"), 1);
    EXPECT_EQ(desk.Count(silent), 1);
}

TEST(HeadlessStations, TheDeskReadsOnAfterTheBrokerRestartsAndRegistersNothingTwice) {
    TBroker broker;
    ASSERT_TRUE(broker.Start());
    THeadlessRun desk(kTicks);
    ASSERT_TRUE(desk.Start({ReadFrom(broker)}));
    ASSERT_TRUE(desk.WaitOut(Connected(broker)));
    TReceiver rx;
    THeadlessRun north(StationSettings(broker.Port(), "north"));
    ASSERT_TRUE(north.Start({rx.Target()}));
    ASSERT_TRUE(rx.WaitClient());
    ASSERT_TRUE(desk.WaitOut("Station north online"));
    rx.Send({SensorLine(0x600, ",1"), SensorLine(0x601, ",1")});
    ASSERT_TRUE(WaitFor([&] { return desk.LoggedPackets() == 2; }));

    broker.Stop();
    ASSERT_TRUE(desk.WaitOut("lost"));
    ASSERT_TRUE(broker.Start());
    ASSERT_TRUE(desk.WaitOut(Connected(broker), 2, 20000));
    ASSERT_TRUE(north.WaitOut(Connected(broker), 2, 20000));
    // A broker that stops speaks its clients' wills first: the station was away from it too,
    // and says it is back once both have reconnected.
    ASSERT_TRUE(desk.WaitOut("Station north online", desk.Count("Station north offline") + 1));
    rx.Send({SensorLine(0x602, ",1")});
    ASSERT_TRUE(WaitFor([&] { return desk.LoggedPackets() == 3; }));
    WaitFor([] { return false; }, 1000);
    EXPECT_EQ(desk.LoggedPackets(), 3);
    EXPECT_LE(desk.Count("Station north offline"), 1) << desk.Out().data();
}

TEST(HeadlessStations, AnMOptionWithoutABrokerAnywhereIsRefused) {
    THeadlessRun desk;
    ASSERT_TRUE(desk.Start({"-M"}));
    ASSERT_TRUE(desk.Process().waitForFinished(10000));
    EXPECT_EQ(desk.Process().exitCode(), 2);
    EXPECT_TRUE(desk.Process().readAllStandardError().contains("-M: no broker"));
}

} // namespace
} // namespace corvane::testing

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
