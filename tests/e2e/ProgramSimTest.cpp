// The real program against the receiving-station simulator over TCP: a scripted network whose
// packet log, statistics log, poll and shutdown are known in advance.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <map>

#include "E2eSupport.h"
#include "support/Packets.h"

namespace corvane::testing {
namespace {

class TSimulator {
public:
    bool Start(const QStringList& args) {
        process_.start(QStringLiteral(CORVANE_SIM), QStringList{"--port", "0"} + args);
        if (!process_.waitForStarted(5000))
            return false;
        return WaitFor([&] { return Port() != 0; }, 5000);
    }
    quint16 Port() {
        out_ += process_.readAllStandardOutput();
        const auto m = QRegularExpression("tcp: 127\\.0\\.0\\.1:(\\d+)").match(out_);
        return m.hasMatch() ? quint16(m.captured(1).toUInt()) : 0;
    }
    bool Finished(int ms) { return process_.waitForFinished(ms); }
    QString Summary() { return QString::fromLatin1(process_.readAllStandardError()); }
    ~TSimulator() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }

private:
    QProcess process_;
    QString out_;
};

QByteArray Latin1(const std::string& s) {
    return QByteArray::fromStdString(s);
}

// The packet log's lines without their time stamps.
std::vector<std::string> LoggedPackets(const QByteArray& log) {
    std::vector<std::string> lines = SplitLines(log);
    std::vector<std::string> packets;
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t at = lines[i].find(",,");
        packets.push_back(at == std::string::npos ? "?" : lines[i].substr(at + 2));
    }
    return packets;
}

// The statistics log's newest block, by serial number: its ten fields.
std::map<std::string, std::vector<std::string>> NewestBlock(const QByteArray& log) {
    std::map<std::string, std::vector<std::string>> rows;
    std::string time;
    const auto lines = SplitLines(log);
    for (auto it = lines.rbegin(); it != lines.rend() && it + 1 != lines.rend(); ++it) {
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t at; (at = it->find(',', start)) != std::string::npos; start = at + 1)
            fields.push_back(it->substr(start, at - start));
        fields.push_back(it->substr(start));
        if (fields.size() != 10)
            break;
        if (!time.empty() && fields[0] != time)
            break;
        time = fields[0];
        rows[fields[1]] = fields;
    }
    return rows;
}

TEST(EndToEndSimulator, ScriptedNetworkReachesTheLogsExactly) {
    const std::string tankA = SensorLine(0x0A0001, ",1,North Gate,Tank A");
    const std::string tankARepeated = SensorLine(0x0A0001, ",2,South Gate", 'c');
    const std::string pumpB = SensorLine(0x0B0002);
    std::string badCrc = SensorLine(0x0C0003, ",1");
    badCrc[5] = badCrc[5] == '0' ? '1' : '0';
    std::string lower = SensorLine(0x0D00AB, ",1");
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);

    QTemporaryDir scratch;
    QFile script(scratch.filePath("network.script"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(Latin1("sleep 300\n" + tankA + "\n" + tankA + "\n" + badCrc + "\n" + pumpB + "\n" +
                        "short line\n" + lower + "\n" + "sleep 3200\n" + tankARepeated + "\n" +
                        pumpB + "\n"));
    script.close();

    TProgramRun program("[Settings]\r\nLogPackets=1\r\nLogRateSec=1\r\nDuplicateTimeSec=1\r\n");
    TSimulator sim;
    ASSERT_TRUE(sim.Start({"--script", script.fileName(), "--once"}));
    ASSERT_TRUE(program.Start({QString("-I%1").arg(sim.Port())}));

    const std::vector<std::string> expected = {tankA, tankA, pumpB, tankARepeated, pumpB};
    ASSERT_TRUE(WaitFor(
        [&] { return LoggedPackets(program.ReadFile("corvane_01.txt")).size() >= 5; }, 20000));
    EXPECT_EQ(LoggedPackets(program.ReadFile("corvane_01.txt")), expected);

    // A statistics tick after the last line holds every sensor's figures.
    std::map<std::string, std::vector<std::string>> block;
    ASSERT_TRUE(WaitFor(
        [&] {
            block = NewestBlock(program.ReadFile("corvane_01.LOG"));
            return block.count("\"00000000000A0001\"") && block["\"00000000000A0001\""][5] == "3" &&
                   block.count("\"00000000000B0002\"") && block["\"00000000000B0002\""][5] == "2";
        },
        10000));
    const auto& a = block["\"00000000000A0001\""];
    EXPECT_EQ(a[2], "\"Tank A\"");
    EXPECT_EQ(a[3], "\"DualCounter\"");
    EXPECT_EQ(a[6], "1"); // the second line right after the first
    const int gap = std::stoi(a[8]);
    EXPECT_TRUE(gap == 3 || gap == 4) << gap; // 3.2 s of silence, rounded, plus delivery
    EXPECT_EQ(a[9], a[8]);
    const auto& b = block["\"00000000000B0002\""];
    EXPECT_EQ(b[6], "0");
    EXPECT_EQ(block.size(), 2u);

    // Asked to stop, the program closes its connection and ends; the simulator then ends too.
    EXPECT_EQ(program.Stop(), 0);
    ASSERT_TRUE(sim.Finished(10000));
    const QString summary = sim.Summary();
    EXPECT_TRUE(summary.contains(QRegularExpression("polls:\\s*1"))) << summary.toStdString();
}

TEST(EndToEndSimulator, SilentReceiverIsPolledAndLeftInPeace) {
    TProgramRun program("[Settings]\r\nLogPackets=1\r\n");
    TSimulator sim;
    ASSERT_TRUE(sim.Start({"--faults", "silent", "--once"}));
    ASSERT_TRUE(program.Start({QString("-I%1").arg(sim.Port())}));
    QThread::msleep(1500);
    EXPECT_EQ(program.Process().state(), QProcess::Running);
    EXPECT_TRUE(program.ReadFile("corvane_01.txt").isEmpty());
    EXPECT_EQ(program.Stop(), 0);
    ASSERT_TRUE(sim.Finished(10000));
    EXPECT_TRUE(sim.Summary().contains(QRegularExpression("polls:\\s*1")));
}

TEST(EndToEndSimulator, ReceiverDroppingMidLineDoesNotEndTheProgram) {
    TProgramRun program("[Settings]\r\nLogPackets=1\r\n");
    TSimulator sim;
    ASSERT_TRUE(sim.Start({"--sensors", "30", "--rate", "200", "--faults", "disconnect",
                           "--fault-rate", "0.05", "--once", "--seed", "3"}));
    ASSERT_TRUE(program.Start({QString("-I%1").arg(sim.Port())}));
    ASSERT_TRUE(sim.Finished(20000)); // the first cut ends the simulator's run
    QThread::msleep(300);
    EXPECT_EQ(program.Process().state(), QProcess::Running);
    const auto packets = LoggedPackets(program.ReadFile("corvane_01.txt"));
    for (const auto& p : packets)
        EXPECT_GE(p.size(), 28u);
    EXPECT_EQ(program.Stop(), 0);
}

} // namespace
} // namespace corvane::testing

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
