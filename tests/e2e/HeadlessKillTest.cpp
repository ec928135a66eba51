// corvane --headless killed without warning while it records a flood: twenty runs in one
// CORVANE_HOME, each fed 20000 lines a second and killed with SIGKILL after 0.3 to 1.5 s. After
// every kill the history database is whole and holds every read whose line was sent over a
// second before, and the next run takes the newest reads back.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <future>
#include <mutex>
#include <random>
#include <sqlite3.h>
#include <string>
#include <thread>
#include <vector>

#include "history/Sqlite.h"
#include "store/Store.h"
#include "util/untConst.h"
#include "util/untUtils.h"

namespace {

using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kRuns = 20;
constexpr int kRate = 20000; // lines a second
constexpr int kSliceMs = 5;
constexpr uint32_t kSensors = 500;

// A mode-0 sensor's line (28 digits: 14 bytes) whose packet carries its sequence number in
// bytes 5..8 (the serial number is bytes 1..3), through one of 16 repeaters and 8 named entry
// points.
std::string FloodLine(uint32_t seq) {
    uint8_t b[14] = {0x10};
    const uint32_t serial = 1 + seq % kSensors;
    for (int i = 0; i < 3; ++i)
        b[1 + i] = static_cast<uint8_t>(serial >> (8 * i));
    for (int i = 0; i < 4; ++i)
        b[5 + i] = static_cast<uint8_t>(seq >> (8 * i));
    const auto check = static_cast<uint16_t>(~corvane::CalcCrc16(b, 11));
    b[11] = static_cast<uint8_t>(check & 0xFF);
    b[12] = static_cast<uint8_t>(check >> 8);
    const char repeater = corvane::RepeaterChars[seq % 16];
    std::string line(2, repeater);
    char hex[3];
    for (uint8_t v : b) {
        std::snprintf(hex, sizeof hex, "%02X", v);
        line += hex;
    }
    const std::string entry = std::to_string(seq % 8);
    return line + "," + entry + ",Gate " + entry + "\r";
}

uint32_t SeqOf(std::string_view data) {
    uint32_t seq = 0;
    for (int i = 3; i >= 0 && data.size() >= 9; --i)
        seq = (seq << 8) | static_cast<uint8_t>(data[static_cast<size_t>(5 + i)]);
    return seq;
}

// A receiving station on loopback: takes the service's connection and floods it at kRate in
// slices of kSliceMs, noting when each slice was written, until the connection breaks or it is
// told to stop.
class TFlood {
public:
    TFlood() {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listen_, 4);
        socklen_t len = sizeof a;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~TFlood() {
        Stop();
        ::close(listen_);
    }
    int Port() const { return port_; }

    // Sends lines numbered from first on in a thread of its own, once the service connects.
    void Begin(uint32_t first) {
        next_ = first;
        slices_.clear();
        connected_ = false;
        stop_ = false;
        thread_ = std::thread([this] { Run(); });
    }
    bool WaitConnected(std::chrono::milliseconds limit) {
        const auto until = TClock::now() + limit;
        while (!connected_ && TClock::now() < until)
            std::this_thread::sleep_for(1ms);
        return connected_;
    }
    void Stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    // The first line not written yet, once stopped.
    uint32_t Next() const { return next_; }
    // Lines [first, end) were written whole at the time.
    struct TSlice {
        uint32_t First, End;
        TClock::time_point At;
    };
    const std::vector<TSlice>& Slices() const { return slices_; }

private:
    void Run();

    int listen_ = -1;
    int port_ = 0;
    uint32_t next_ = 0;
    std::vector<TSlice> slices_;
    std::atomic<bool> connected_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void TFlood::Run() {
    pollfd p{listen_, POLLIN, 0};
    while (!stop_ && ::poll(&p, 1, 50) == 0) {
    }
    if (stop_)
        return;
    const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    connected_ = true;
    const auto start = TClock::now();
    constexpr uint32_t kPerSlice = kRate * kSliceMs / 1000;
    for (int slice = 1; !stop_; ++slice) {
        std::string chunk;
        for (uint32_t i = 0; i < kPerSlice; ++i)
            chunk += FloodLine(next_ + i);
        const bool whole =
            ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) == ssize_t(chunk.size());
        if (whole)
            slices_.push_back({next_, next_ + kPerSlice, TClock::now()});
        next_ += kPerSlice; // a part of a chunk does not count as sent, nor is it sent again
        if (!whole)
            break; // the service is gone
        std::this_thread::sleep_until(start + slice * std::chrono::milliseconds(kSliceMs));
    }
    ::close(fd);
}

// One run of the service in the home folder, its log kept.
class TService {
public:
    explicit TService(const QString& home) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CORVANE_HOME", home);
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(home);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~TService() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }
    bool Start(int port) {
        process_.start(QStringLiteral(CORVANE_PROGRAM), {"--headless", QString("-I%1").arg(port)});
        return process_.waitForStarted(10000);
    }
    void Signal(int sig) { ::kill(static_cast<pid_t>(process_.processId()), sig); }
    bool WaitFinished() { return process_.waitForFinished(20000); }
    int ExitCode() const { return process_.exitCode(); }
    std::string Out() {
        out_ += process_.readAllStandardOutput();
        return out_.toStdString();
    }

private:
    QProcess process_;
    QByteArray out_;
};

// What the file holds after a run.
struct TFileState {
    int64_t Reads = 0;
    int64_t NewestSensors = 0;     // of the reads a run restores
    std::vector<uint32_t> LastRun; // the sequence numbers of the newest run's reads, sorted
    int64_t UncleanRuns = 0;
};

TFileState Inspect(const std::string& path) {
    TFileState state;
    corvane::TSqlite db;
    if (!db.Open(path, false))
        return state;
    state.Reads = db.QueryInt("SELECT count(*) FROM reads");
    const std::string newest = "SELECT count(DISTINCT sensor) FROM (SELECT sensor FROM reads"
                               " ORDER BY id DESC LIMIT " +
                               std::to_string(corvane::MaxReads) + ")";
    state.NewestSensors = db.QueryInt(newest.c_str());
    state.UncleanRuns = db.QueryInt("SELECT count(*) FROM runs WHERE clean = 0");
    corvane::TSqlStatement s(db, "SELECT data FROM reads WHERE run = (SELECT max(id) FROM runs)");
    while (s.Ok() && s.Step() == SQLITE_ROW)
        state.LastRun.push_back(SeqOf(s.Blob(0)));
    std::sort(state.LastRun.begin(), state.LastRun.end());
    return state;
}

std::string IntegrityOf(const std::string& path) {
    corvane::TSqlite db;
    if (!db.Open(path, false))
        return db.Error();
    return db.QueryText("PRAGMA integrity_check");
}

// The file as a killed run left it, with its write-ahead log, copied to to: the next run may
// start on the file itself while the copy is checked, which takes longer than a run.
bool CopyAside(const std::string& path, const std::string& to) {
    for (const char* part : {"", "-wal", "-shm"})
        QFile::remove(QString::fromStdString(to + part));
    const QString wal = QString::fromStdString(path + "-wal");
    return QFile::copy(QString::fromStdString(path), QString::fromStdString(to)) &&
           (!QFile::exists(wal) || QFile::copy(wal, QString::fromStdString(to + "-wal")));
}

// The lines written more than a second before the kill whose reads are not in the file.
std::vector<uint32_t> MissingBefore(const TFlood& flood, TClock::time_point killedAt,
                                    const std::vector<uint32_t>& present) {
    std::vector<uint32_t> missing;
    for (const TFlood::TSlice& slice : flood.Slices()) {
        if (slice.At >= killedAt - 1s)
            break;
        for (uint32_t seq = slice.First; seq < slice.End; ++seq)
            if (!std::binary_search(present.begin(), present.end(), seq))
                missing.push_back(seq);
    }
    return missing;
}

// The line a run logs of what it restored from the file as the run before left it.
std::string RestoredLine(const TFileState& before, const std::string& path) {
    const int64_t n = std::min<int64_t>(before.Reads, corvane::MaxReads);
    return "Restored " + std::to_string(n) + " reads of " + std::to_string(before.NewestSensors) +
           " sensors from " + path + "\n";
}

std::chrono::milliseconds KillAfter(std::mt19937& rng) {
    return std::chrono::milliseconds(std::uniform_int_distribution<int>(300, 1500)(rng));
}

// One run, killed after 0.3 to 1.5 s of the flood, its lines numbered from next on.
struct TKilledRun {
    std::string Out;
    TClock::time_point KilledAt;
};

TKilledRun RunAndKill(const QString& home, TFlood& flood, uint32_t next, std::mt19937& rng) {
    TService service(home);
    flood.Begin(next);
    EXPECT_TRUE(service.Start(flood.Port()));
    EXPECT_TRUE(flood.WaitConnected(20s));
    std::this_thread::sleep_for(KillAfter(rng));
    TKilledRun run;
    run.KilledAt = TClock::now();
    service.Signal(SIGKILL);
    EXPECT_TRUE(service.WaitFinished());
    flood.Stop();
    run.Out = service.Out();
    return run;
}

// What a killed run left: every read of a line written over a second before the kill is in
// the file; the file's integrity is checked on a copy, beside the next run.
TFileState CheckKilled(const std::string& path, const std::string& copy, const TFlood& flood,
                       const TKilledRun& killed, std::future<std::string>& integrity) {
    EXPECT_TRUE(CopyAside(path, copy));
    TFileState state = Inspect(copy);
    integrity = std::async(std::launch::async, IntegrityOf, copy);
    const std::vector<uint32_t> missing = MissingBefore(flood, killed.KilledAt, state.LastRun);
    EXPECT_TRUE(missing.empty()) << missing.size() << " reads missing, the first of line "
                                 << missing.front() << "; " << state.LastRun.size()
                                 << " recorded of " << flood.Slices().size() << " slices";
    return state;
}

TEST(HeadlessKill, EachKillLeavesAWholeFileWithTheReadsOfOverASecondBefore) {
    QTemporaryDir home, scratch;
    ASSERT_TRUE(home.isValid() && scratch.isValid());
    const std::string path = home.filePath("corvane_history.db").toStdString();
    // Small enough that the runs prune while they record, and are killed while they prune.
    QFile ini(home.filePath("corvane.INI"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[History]\r\nMaxMB=8\r\n");
    ini.close();
    const unsigned seed = std::random_device{}();
    std::printf("kill times from seed %u\n", seed);
    std::mt19937 rng(seed);
    TFlood flood;
    TFileState before;
    std::future<std::string> integrity;
    for (int run = 1; run <= kRuns; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const TKilledRun killed = RunAndKill(home.path(), flood, flood.Next(), rng);
        if (run > 1) {
            EXPECT_NE(killed.Out.find(RestoredLine(before, path)), std::string::npos) << killed.Out;
            EXPECT_EQ(integrity.get(), "ok") << "after run " << run - 1;
        }
        before = CheckKilled(path, scratch.filePath("killed.db").toStdString(), flood, killed,
                             integrity);
    }
    EXPECT_EQ(integrity.get(), "ok") << "after run " << kRuns;

    // A last run takes back what the twentieth left and ends cleanly; the killed runs stay
    // marked as ended uncleanly.
    TService last(home.path());
    flood.Begin(flood.Next());
    ASSERT_TRUE(last.Start(flood.Port()));
    ASSERT_TRUE(flood.WaitConnected(20s));
    last.Signal(SIGTERM);
    ASSERT_TRUE(last.WaitFinished());
    flood.Stop();
    EXPECT_EQ(last.ExitCode(), 0);
    EXPECT_NE(last.Out().find(RestoredLine(before, path)), std::string::npos) << last.Out();
    EXPECT_EQ(IntegrityOf(path), "ok");
    EXPECT_EQ(Inspect(path).UncleanRuns, kRuns);
}

} // namespace
