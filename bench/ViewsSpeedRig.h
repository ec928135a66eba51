// The pieces of views_speed that are not the window: a receiving station on loopback that sends
// lines at a rate, the clocks, and a watcher of the machine's own pauses.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace corvane::bench {

inline double CpuSecondsOf(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// One receiving station on loopback: accepts one client and sends lines at a rate (0: as fast
// as the socket takes them) for a while, then closes.
class TReceiver {
public:
    TReceiver(const std::vector<std::string>& lines, double rate, double seconds)
        : lines_(lines), rate_(rate), seconds_(seconds) {
        listen_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listen_, 1);
        socklen_t len = sizeof a;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~TReceiver() {
        thread_.join();
        close(listen_);
    }
    int Port() const { return port_; }
    size_t Sent() const { return sent_; }
    bool Done() const { return done_; }
    // The processor time the receiver used, once it is done.
    double CpuSeconds() const { return cpu_; }

private:
    void Run() {
        const int fd = accept(listen_, nullptr, nullptr);
        const auto start = std::chrono::steady_clock::now();
        size_t next = 0;
        for (;;) {
            const double t =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (t >= seconds_)
                break;
            const size_t due = rate_ > 0 ? static_cast<size_t>(rate_ * t) : sent_ + 200;
            std::string chunk;
            for (; sent_ < due; ++sent_)
                chunk += lines_[next++ % lines_.size()];
            if (!chunk.empty() && write(fd, chunk.data(), chunk.size()) < 0)
                break;
            if (rate_ > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        // Half-close and wait for the window to close its end: closing with the window's poll
        // message unread would reset the connection and drop lines still on their way.
        shutdown(fd, SHUT_WR);
        char sink[256];
        while (read(fd, sink, sizeof sink) > 0) {
        }
        cpu_ = CpuSecondsOf(CLOCK_THREAD_CPUTIME_ID);
        done_ = true;
        close(fd);
    }

    const std::vector<std::string>& lines_;
    double rate_, seconds_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<size_t> sent_{0};
    std::atomic<bool> done_{false};
    std::atomic<double> cpu_{0};
    std::thread thread_;
};

inline int64_t Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline int64_t ThreadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// An idle thread that notices when the whole process was not run (the machine paused it): such
// pauses are no fault of the event loop and are reported apart.
class TPauseWatch {
public:
    // A sleep of 1 ms that took longer than this was a pause of the processor for the whole
    // program (its other threads give way to the watcher within a slice of the scheduler's).
    static inline const int64_t kPauseNs =
        int64_t(1e6 * (qEnvironmentVariableIsSet("VIEWS_SPEED_PAUSE_MS")
                           ? qEnvironmentVariable("VIEWS_SPEED_PAUSE_MS").toDouble()
                           : 20.0));
    TPauseWatch() : thread_([this] { Run(); }) {}
    ~TPauseWatch() {
        stop_ = true;
        thread_.join();
    }
    // The processor time the watcher itself used, so that it is not charged to the window.
    double CpuSeconds() {
        clockid_t id{};
        pthread_getcpuclockid(thread_.native_handle(), &id);
        return CpuSecondsOf(id);
    }
    // Milliseconds of [from, to] (steady-clock nanoseconds) that the watcher saw paused.
    double PausedMs(int64_t from, int64_t to) {
        std::lock_guard<std::mutex> lock(mutex_);
        int64_t sum = 0;
        for (auto [a, b] : pauses_)
            sum += std::max<int64_t>(0, std::min(b, to) - std::max(a, from));
        return sum / 1e6;
    }

private:
    void Run() {
        int64_t last = Now();
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const int64_t now = Now();
            if (now - last > kPauseNs) {
                std::lock_guard<std::mutex> lock(mutex_);
                pauses_.emplace_back(last, now);
            }
            last = now;
        }
    }

    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::pair<int64_t, int64_t>> pauses_;
    std::thread thread_;
};

} // namespace corvane::bench
