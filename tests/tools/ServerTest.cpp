// Runs the built simulator and talks to it as the monitor does.
#include "tools/SimCheck.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace corvane::sim {
namespace {

const std::string Poll("\x02US\r", 4);

class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args) {
        FErrPath = testing::TempDir() + "corvane_sim_err_" + std::to_string(getpid()) + "_" +
                   std::to_string(Counter++);
        int out[2];
        EXPECT_EQ(pipe(out), 0);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_addclose(&fa, out[0]);
        posix_spawn_file_actions_addopen(&fa, 2, FErrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        args.insert(args.begin(), CORVANE_SIM_PATH);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&FPid, CORVANE_SIM_PATH, &fa, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&fa);
        close(out[1]);
        FOut = out[0];
    }
    ~SimProcess() {
        if (FPid > 0) {
            kill(FPid, SIGKILL);
            waitpid(FPid, nullptr, 0);
        }
        close(FOut);
        unlink(FErrPath.c_str());
    }

    std::string StdoutLine() {
        std::string line;
        char c;
        while (Readable(FOut, 5000) && read(FOut, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    // Exit status, or -1 when it did not end within the time.
    int Wait(int ms = 5000) {
        for (int waited = 0; waited < ms; waited += 10) {
            int status = 0;
            if (waitpid(FPid, &status, WNOHANG) == FPid) {
                FPid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            usleep(10000);
        }
        return -1;
    }
    void Signal(int sig) { kill(FPid, sig); }
    std::string Stderr() const {
        std::ifstream f(FErrPath);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }

    static bool Readable(int fd, int ms) {
        pollfd p{fd, POLLIN, 0};
        return poll(&p, 1, ms) > 0;
    }

private:
    static inline int Counter = 0;
    pid_t FPid = -1;
    int FOut = -1;
    std::string FErrPath;
};

int Connect(const std::string& described) {
    int port = std::stoi(described.substr(described.rfind(':') + 1));
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << described;
    return fd;
}

// Reads until the peer closes, the line count is reached or nothing comes for a while.
std::string ReadAll(int fd, size_t lines = SIZE_MAX, int quietMs = 3000) {
    std::string data;
    char buf[65536];
    while (static_cast<size_t>(std::count(data.begin(), data.end(), '\r')) < lines &&
           SimProcess::Readable(fd, quietMs)) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        data.append(buf, static_cast<size_t>(n));
    }
    return data;
}

std::vector<std::string> CutAtCr(const std::string& data) {
    std::vector<std::string> lines;
    std::string current;
    for (char c : data) {
        if (c == '\r') {
            lines.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    return lines;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(SimServer, ScriptOverTcpAndThePollSummary) {
    const std::string script = testing::TempDir() + "corvane_sim_script.txt";
    std::ofstream(script) << "aa1078563412000000000000CFBB00,2,North Gate,Tank 7\n"
                          << "1078563412000000000000CEBB00\nsleep 200\n"
                          << "4001020304050607080000EFAD00\n";
    SimProcess sim({"--port", "0", "--script", script});
    std::string where = sim.StdoutLine();
    ASSERT_TRUE(Has(where, "tcp: 127.0.0.1:")) << where;
    int fd = Connect(where);
    ASSERT_EQ(write(fd, Poll.data(), Poll.size()), 4);
    auto start = std::chrono::steady_clock::now();
    std::string data = ReadAll(fd, 3);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(data, "aa1078563412000000000000CFBB00,2,North Gate,Tank 7\r"
                    "1078563412000000000000CEBB00\r4001020304050607080000EFAD00\r");
    EXPECT_GE(took, std::chrono::milliseconds(180));
    close(fd); // the script waits for this
    EXPECT_EQ(sim.Wait(), 0);
    std::string summary = sim.Stderr();
    EXPECT_TRUE(Has(summary, "valid: 2") && Has(summary, "invalid: 1")) << summary;
    EXPECT_TRUE(Has(summary, "polls: 1")) << summary;
    std::remove(script.c_str());
}

TEST(SimServer, CountedRunWithSplitWritesDeliversWholeLines) {
    SimProcess sim({"--port", "0", "--rate", "0", "--count", "400", "--sensors", "60", "--faults",
                    "split", "--fault-rate", "0.05", "--seed", "3"});
    int fd = Connect(sim.StdoutLine());
    std::string data = ReadAll(fd);
    close(fd);
    EXPECT_EQ(sim.Wait(), 0);
    std::vector<std::string> lines = CutAtCr(data);
    ASSERT_EQ(lines.size(), 400u);
    EXPECT_EQ(data.back(), '\r');
    for (const std::string& l : lines)
        EXPECT_TRUE(test::PassesIndependentCheck(l)) << l;
    std::string summary = sim.Stderr();
    EXPECT_TRUE(Has(summary, "valid: 400")) << summary;
    EXPECT_TRUE(Has(summary, "split across writes:")) << summary;
}

// A slow client that polls near the end of a counted run still gets every line: a poll reaching a
// closed socket (or left unread at the close) makes TCP reset the connection, which throws away
// what the simulator had written but not yet sent.
TEST(SimServer, CountedRunDeliversEveryLineToALateReader) {
    SimProcess sim({"--port", "0", "--rate", "0", "--count", "3000"});
    const std::string where = sim.StdoutLine();
    int port = std::stoi(where.substr(where.rfind(':') + 1));
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int small = 4096; // a slow reader's window: most of the run waits in the simulator
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    usleep(300000); // the simulator has written the whole run by now
    ASSERT_EQ(write(fd, Poll.data(), Poll.size()), 4);
    std::string data = ReadAll(fd);
    close(fd);
    EXPECT_EQ(CutAtCr(data).size(), 3000u);
    EXPECT_EQ(sim.Wait(), 0);
}

TEST(SimServer, DisconnectCutsMidLineAndSignalEndsCleanly) {
    SimProcess sim({"--port", "0", "--rate", "0", "--faults", "disconnect", "--fault-rate", "0.1",
                    "--seed", "8"});
    int fd = Connect(sim.StdoutLine());
    std::string data = ReadAll(fd);
    close(fd);
    ASSERT_FALSE(data.empty());
    EXPECT_NE(data.back(), '\r');
    std::string cut = data.substr(data.rfind('\r') + 1);
    EXPECT_EQ(cut.find(','), std::string::npos) << cut;
    for (const std::string& l : CutAtCr(data))
        EXPECT_TRUE(test::PassesIndependentCheck(l)) << l;

    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
    std::string summary = sim.Stderr();
    EXPECT_TRUE(Has(summary, "cut: 1")) << summary;
    EXPECT_TRUE(Has(summary, "valid: " + std::to_string(CutAtCr(data).size()))) << summary;
}

TEST(SimServer, OnceEndsWhenTheSimulatorDropsTheConnection) {
    SimProcess sim(
        {"--port", "0", "--rate", "0", "--faults", "disconnect", "--fault-rate", "1", "--once"});
    int fd = Connect(sim.StdoutLine());
    std::string data = ReadAll(fd);
    close(fd);
    EXPECT_EQ(data.find('\r'), std::string::npos) << "the first line is already cut";
    EXPECT_EQ(sim.Wait(), 0);
    EXPECT_TRUE(Has(sim.Stderr(), "cut: 1")) << sim.Stderr();
}

TEST(SimServer, SilentReceiverListensButNeverSends) {
    SimProcess sim({"--port", "0", "--faults", "silent", "--once"});
    int fd = Connect(sim.StdoutLine());
    ASSERT_EQ(write(fd, Poll.data(), Poll.size()), 4);
    EXPECT_FALSE(SimProcess::Readable(fd, 400));
    close(fd);
    EXPECT_EQ(sim.Wait(), 0);
    std::string summary = sim.Stderr();
    EXPECT_TRUE(Has(summary, "0 lines sent") && Has(summary, "polls: 1")) << summary;
}

TEST(SimServer, PtyDeliversRawLines) {
    SimProcess sim({"--pty", "--rate", "0", "--count", "50", "--crlf"});
    std::string where = sim.StdoutLine();
    ASSERT_EQ(where.rfind("pty: /dev/", 0), 0u) << where;
    int fd = open(where.substr(5).c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    std::string data = ReadAll(fd, 50, 2000);
    close(fd);
    std::vector<std::string> lines = CutAtCr(data);
    ASSERT_EQ(lines.size(), 50u);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string l = i == 0 ? lines[i] : lines[i].substr(1); // the LF of the line before
        EXPECT_TRUE(test::PassesIndependentCheck(l)) << l;
    }
    EXPECT_EQ(sim.Wait(), 0); // done, and the reader has gone
}

TEST(SimServer, BadArgumentsExitWithTwo) {
    SimProcess bad({"--sensors", "many"});
    EXPECT_EQ(bad.Wait(), 2);
    EXPECT_TRUE(Has(bad.Stderr(), "many")) << bad.Stderr();
    SimProcess missing({"--replay", "/nonexistent/log.txt"});
    EXPECT_EQ(missing.Wait(), 2);
    SimProcess help({"--help"});
    EXPECT_TRUE(Has(help.StdoutLine(), "Usage"));
    EXPECT_EQ(help.Wait(), 0);
}

} // namespace
} // namespace corvane::sim
