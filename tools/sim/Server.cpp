#include "Server.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <ctime>
#include <iostream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace corvane::sim {

namespace {

volatile sig_atomic_t StopRequested = 0;
bool StopsBlocked = false;
sigset_t RunMask; // the mask while waiting: stop signals let through

void OnStop(int) {
    StopRequested = 1;
}

double MonoNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string ClockText() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
    return buf;
}

// What the monitor sends on connecting and every minute: STX, "U", "S", CR.
const std::string PollMessage("\x02US\r", 4);

constexpr size_t ReadyBacklog = 64 * 1024; // --rate 0: keep at most this much unsent per client
constexpr size_t MaxBacklog = 4 << 20;     // otherwise: a client this far behind holds the source
constexpr double PtyRecheck = 0.05;        // how often to look for a reader on the pty
constexpr double PtyCutPause = 1.0;        // a pty receiver "restarting" after half a line
constexpr int MaxPerRound = 1000;          // emissions queued before the loop looks at sockets

} // namespace

void InstallStopHandlers() {
    struct sigaction sa {};
    sa.sa_handler = OnStop;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // Stop signals are only taken inside ppoll, so none is missed between a check and the wait.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigprocmask(SIG_BLOCK, &stops, &RunMask);
    sigdelset(&RunMask, SIGINT);
    sigdelset(&RunMask, SIGTERM);
    StopsBlocked = true;
}

// Closing a socket with unread input makes TCP reset the connection, and the client then loses
// whatever it had not yet read. So: read what the client sent, shut down the sending side, and
// wait (a bounded time) for the client to close before closing.
static void CloseGracefully(int fd) {
    char buf[4096];
    shutdown(fd, SHUT_WR);
    const double until = MonoNow() + 5.0;
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            break;
        if (n > 0)
            continue;
        const double left = until - MonoNow();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, static_cast<int>(left * 1000) + 1);
    }
    close(fd);
}

Server::Server(const SimOptions& o, std::unique_ptr<LineSource> source, Summary& summary)
    : FOpt(o), FSource(std::move(source)), FSummary(summary) {}

Server::~Server() {
    for (auto& c : FClients) {
        if (!c->Pty && c->Fd >= 0)
            close(c->Fd);
    }
    if (FEndpoint.Fd >= 0)
        close(FEndpoint.Fd);
}

bool Server::Open(std::string& error) {
    FStartTime = MonoNow();
    return FOpt.Pty ? OpenPty(FEndpoint, error) : ListenTcp(FOpt.Port, FEndpoint, error);
}

double Server::Elapsed() const {
    return MonoNow() - FStartTime;
}

void Server::Run() {
    while (!StopRequested) {
        double now = MonoNow();
        AdmitClients(now);
        Produce(now);
        for (auto& c : FClients)
            Flush(*c, now);
        Sweep();
        if (Finished())
            break;
        WaitForEvents(now);
    }
}

bool Server::Finished() {
    if (FOpt.Once && FClientLeft)
        return true;
    bool drained =
        std::all_of(FClients.begin(), FClients.end(), [](const auto& c) { return c->Out.empty(); });
    bool countDone = CountReached();
    if (!drained || !(countDone || FExhausted))
        return false;
    // Over TCP the count ends the run: the sending side is shut down so that what was written
    // still reaches the client. A pty has no close the reader would see, so both there and after
    // a script or replay the simulator waits for the client to go.
    if (countDone && !FOpt.Pty) {
        for (auto& c : FClients) {
            if (c->Gone)
                continue;
            Receive(*c, MonoNow()); // the polls sent so far still count
            if (c->Gone)
                continue;
            CloseGracefully(c->Fd);
            c->Fd = -1;
            c->Gone = true;
        }
        return true;
    }
    return FEverConnected && FClients.empty();
}

void Server::AdmitClients(double now) {
    if (FOpt.Pty) {
        if (!FClients.empty() || !PtyHasReader(FEndpoint.Fd))
            return;
        auto c = std::make_unique<Client>();
        c->Fd = FEndpoint.Fd;
        c->Pty = true;
        c->Peer = FEndpoint.SlavePath;
        c->ConnectedAt = now;
        FClients.push_back(std::move(c));
    } else {
        std::string peer;
        int fd = AcceptClient(FEndpoint.Fd, peer);
        if (fd < 0)
            return;
        auto c = std::make_unique<Client>();
        c->Fd = fd;
        c->Peer = peer;
        c->ConnectedAt = now;
        FClients.push_back(std::move(c));
    }
    std::cerr << "corvane-sim: " << FClients.back()->Peer << " connected\n";
    FSummary.CountClient();
    FEverConnected = true;
}

// Lines still queued for a client that drops are lost, so they are sent again to the next one:
// the count is of lines that went out.
bool Server::CountReached() const {
    if (FOpt.Count < 0)
        return false;
    int64_t inFlight = 0;
    for (const auto& c : FClients)
        inFlight = std::max(inFlight, c->QueuedLines);
    return FSummary.TotalLines() + inFlight >= FOpt.Count;
}

bool Server::Backlogged() const {
    size_t limit = FOpt.Rate == 0 ? ReadyBacklog : MaxBacklog;
    return std::any_of(FClients.begin(), FClients.end(),
                       [&](const auto& c) { return c->Queued >= limit; });
}

double Server::DueTime(const Emission& e, double now) const {
    if (FOpt.Rate < 0)
        return FClockStart + e.At / FOpt.Speed;
    return FOpt.Rate == 0 ? now : FRateNext;
}

void Server::Produce(double now) {
    FWakeAt = -1;
    FHeldByBacklog = false;
    if (FOpt.HasFault(Fault::Silent))
        return;
    // Lines that fall due while nobody listens are lost only for the network at its own pace.
    bool onAir = FSource->Live() && FOpt.Rate < 0;
    for (int n = 0; n < MaxPerRound; ++n) {
        if (CountReached())
            return;
        if (FClients.empty() && !(onAir && FStarted))
            return;
        if (!FPending) {
            FPending = FSource->Next();
            if (!FPending) {
                FExhausted = true;
                return;
            }
        }
        if (!FStarted) {
            FStarted = true;
            FClockStart = now;
            FRateNext = now;
        }
        if (Backlogged()) {
            FHeldByBacklog = true;
            return;
        }
        double due = DueTime(*FPending, now);
        if (due > now) {
            FWakeAt = due;
            return;
        }
        Emission e = std::move(*FPending);
        FPending.reset();
        if (FClients.empty())
            continue;
        Enqueue(e, now);
        // Behind (a slow client, or none for a while): start afresh rather than burst.
        if (FOpt.Rate > 0)
            FRateNext = std::max(FRateNext + 1 / FOpt.Rate, now - 0.1);
    }
    FWakeAt = now;
}

void Server::Enqueue(const Emission& e, double now) {
    for (auto& c : FClients) {
        bool wasEmpty = c->Out.empty();
        size_t count = std::max<size_t>(e.Pieces.size(), 1);
        for (size_t i = 0; i < count; ++i) {
            Chunk k;
            if (i < e.Pieces.size()) {
                k.Bytes = e.Pieces[i].Bytes;
                k.GapBefore = e.Pieces[i].GapBefore;
            }
            bool last = i + 1 == count;
            k.Kind = last ? e.Kind : LineKind::None;
            k.Split = last && e.Split;
            k.CloseAfter = last && e.CloseAfter;
            c->Queued += k.Bytes.size();
            c->QueuedLines += k.Kind != LineKind::None;
            c->Out.push_back(std::move(k));
        }
        if (wasEmpty)
            StartFront(*c, now);
    }
}

void Server::StartFront(Client& c, double now) {
    if (!c.Out.empty())
        c.Out.front().NotBefore = std::max(now + c.Out.front().GapBefore, c.PauseUntil);
}

void Server::Flush(Client& c, double now) {
    while (!c.Gone && !c.Out.empty() && c.Out.front().NotBefore <= now) {
        // Everything due that follows without a pause goes in one write.
        iovec iov[64];
        int n = 0;
        size_t total = 0;
        for (size_t i = 0; i < c.Out.size() && n < 64; ++i) {
            Chunk& k = c.Out[i];
            if (i > 0 && (k.GapBefore > 0 || c.Out[i - 1].CloseAfter))
                break;
            iov[n++] = iovec{k.Bytes.data() + k.Off, k.Bytes.size() - k.Off};
            total += k.Bytes.size() - k.Off;
        }
        ssize_t w = writev(c.Fd, iov, n);
        if (w == 0 && total > 0)
            return;
        if (w < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                Drop(c, false);
            return;
        }
        if (!Advance(c, static_cast<size_t>(w), now))
            return;
    }
}

bool Server::Advance(Client& c, size_t written, double now) {
    while (!c.Out.empty()) {
        Chunk& f = c.Out.front();
        size_t left = f.Bytes.size() - f.Off;
        if (written < left) {
            f.Off += written;
            c.Queued -= written;
            return true;
        }
        written -= left;
        c.Queued -= left;
        if (f.Kind != LineKind::None) {
            FSummary.CountLine(f.Kind);
            --c.QueuedLines;
        }
        if (f.Split)
            FSummary.CountSplit();
        bool close = f.CloseAfter;
        c.Out.pop_front();
        if (close) {
            if (!c.Pty) {
                Drop(c, true);
                return false;
            }
            c.PauseUntil = now + PtyCutPause;
        }
        StartFront(c, now);
        if (!c.Out.empty() && c.Out.front().NotBefore > now)
            return false;
    }
    return false;
}

void Server::Receive(Client& c, double now) {
    char buf[4096];
    for (;;) {
        ssize_t n = read(c.Fd, buf, sizeof buf);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        if (n <= 0) {
            Drop(c, false);
            return;
        }
        c.In.append(buf, static_cast<size_t>(n));
        size_t at;
        while ((at = c.In.find(PollMessage)) != std::string::npos) {
            FSummary.CountOtherBytes(at);
            FSummary.AddPoll(PollRecord{ClockText(), now - c.ConnectedAt});
            c.In.erase(0, at + PollMessage.size());
        }
        // Keep only what could still begin a poll message.
        if (c.In.size() >= PollMessage.size()) {
            size_t drop = c.In.size() - (PollMessage.size() - 1);
            FSummary.CountOtherBytes(drop);
            c.In.erase(0, drop);
        }
    }
}

void Server::Drop(Client& c, bool bySimulator) {
    if (c.Gone)
        return;
    c.Gone = true;
    if (c.Pty) {
        DiscardPtyInput(FEndpoint.SlavePath);
    } else {
        close(c.Fd);
        c.Fd = -1;
    }
    if (bySimulator)
        FSummary.CountDisconnect();
    FClientLeft = true;
    std::cerr << "corvane-sim: " << c.Peer << (bySimulator ? " dropped\n" : " disconnected\n");
}

void Server::Sweep() {
    FClients.erase(
        std::remove_if(FClients.begin(), FClients.end(), [](const auto& c) { return c->Gone; }),
        FClients.end());
}

int Server::PollTimeoutMs(double now) const {
    double wake = FWakeAt;
    auto earlier = [&](double t) {
        if (wake < 0 || t < wake)
            wake = t;
    };
    for (const auto& c : FClients) {
        if (!c->Out.empty() && c->Out.front().NotBefore > now)
            earlier(c->Out.front().NotBefore);
    }
    if (FOpt.Pty && FClients.empty())
        earlier(now + PtyRecheck);
    // The writes since Produce() may have made room for more.
    if (FHeldByBacklog && !Backlogged())
        earlier(now);
    if (wake < 0)
        return -1;
    return static_cast<int>(std::ceil(std::max(0.0, wake - now) * 1000));
}

void Server::WaitForEvents(double now) {
    std::vector<pollfd> fds;
    if (!FOpt.Pty)
        fds.push_back(pollfd{FEndpoint.Fd, POLLIN, 0});
    for (const auto& c : FClients) {
        bool due = !c->Out.empty() && c->Out.front().NotBefore <= now;
        fds.push_back(pollfd{c->Fd, static_cast<short>(POLLIN | (due ? POLLOUT : 0)), 0});
    }
    int ms = PollTimeoutMs(now);
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    int r =
        ppoll(fds.data(), fds.size(), ms < 0 ? nullptr : &ts, StopsBlocked ? &RunMask : nullptr);
    if (r <= 0)
        return;
    size_t first = FOpt.Pty ? 0 : 1;
    double after = MonoNow();
    for (size_t i = first; i < fds.size(); ++i) {
        Client& c = *FClients[i - first];
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
            Receive(c, after);
    }
}

} // namespace corvane::sim
