// A desk reading stations through a broker: a real Mosquitto on a free loopback port and
// stations published by the benchmark itself (one libmosquitto client each, see StationFlood.h).
// Three runs, each with a broker and a desk of its own:
//   throughput: 10 stations publish lines as fast as they can; first to a subscriber that only
//     counts (the broker's own ceiling here), then to the service's reader and intake in this
//     process (InProcessDesk.h), which counts every registration; then paced. Lines/s, and the
//     lines lost: a broker drops messages for a client that falls behind (Mosquitto counts them
//     in $SYS/broker/publish/messages/dropped), so only a paced run that the desk keeps up with
//     registers every line.
//   latency: 10 stations at 5000 lines/s in all to the real `corvane --headless -M` (DeskRun.h),
//     which publishes what it registers: each packet message's time (the read's registration,
//     in milliseconds) is set against the instant the line was published.
//   memory: 5 stations at 2000 lines/s to the real desk, which keeps its packet log to count
//     what it registered; its resident memory every 10 s.
// Usage: bench_stations [throughput] [latency] [memory] [lines=N] [paced=N] [rate=N]
//   [seconds=N] [memory=SECONDS]; without a run named, all three. lines: each throughput run's
//   (default 500000), flat out and then paced at paced lines/s (50000); rate: the latency
//   run's (5000); seconds: the latency run's length (10); memory: the memory run's length (60).
//   BENCH_STATIONS_HISTORY=0 has the real desk keep no history database ([History] Keep=0).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QTimer>

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "DeskRun.h"
#include "InProcessDesk.h"
#include "ProcessUsage.h"
#include "StationFlood.h"
#include "mqtt/Broker.h"
#include "util/IsoTime.h"

using namespace corvane;
using namespace corvane::bench;
using corvane::testing::TBroker;

namespace {

struct TOptions {
    bool Throughput = false, Latency = false, Memory = false;
    size_t Lines = 500000;
    double Rate = 5000;
    double Paced = 50000;
    double Seconds = 10;
    double MemorySeconds = 60;
};

TOptions ReadOptions(int argc, char** argv) {
    TOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const auto value = [&](std::string_view key) {
            return a.substr(0, key.size()) == key ? std::atof(argv[i] + key.size()) : -1.0;
        };
        o.Throughput |= a == "throughput";
        o.Latency |= a == "latency";
        o.Memory |= a == "memory";
        if (const double v = value("lines="); v > 0)
            o.Lines = size_t(v);
        if (const double v = value("paced="); v > 0)
            o.Paced = v;
        if (const double v = value("rate="); v > 0)
            o.Rate = v;
        if (const double v = value("seconds="); v > 0)
            o.Seconds = v;
        if (const double v = value("memory="); v > 0)
            o.MemorySeconds = v;
    }
    if (!o.Throughput && !o.Latency && !o.Memory)
        o.Throughput = o.Latency = o.Memory = true;
    return o;
}

// The event loop for ms, asleep while nothing happens: the benchmark shares the machine's two
// processors with the broker and the desk, and must not spin beside them.
void Turn(int ms = 10) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A subscriber that does nothing but count the line messages, on libmosquitto's own thread.
class TCounter {
public:
    explicit TCounter(int port) {
        m_ = mosquitto_new(nullptr, true, this);
        mosquitto_connect_callback_set(m_, [](mosquitto* m, void*, int) {
            mosquitto_subscribe(m, nullptr, "bench/+/line", 0);
        });
        mosquitto_subscribe_callback_set(m_, [](mosquitto*, void* self, int, int, const int*) {
            static_cast<TCounter*>(self)->subscribed_ = true;
        });
        mosquitto_message_callback_set(m_, [](mosquitto*, void* self, const mosquitto_message*) {
            auto* c = static_cast<TCounter*>(self);
            c->last_ = SteadySecondsNow();
            ++c->count_;
        });
        mosquitto_connect(m_, "127.0.0.1", port, 60);
        mosquitto_loop_start(m_);
    }
    ~TCounter() {
        mosquitto_disconnect(m_);
        mosquitto_loop_stop(m_, false);
        mosquitto_destroy(m_);
    }
    bool Subscribed() const { return subscribed_.load(); }
    size_t Count() const { return count_.load(); }
    double Last() const { return last_.load(); }

private:
    mosquitto* m_;
    std::atomic<bool> subscribed_{false};
    std::atomic<size_t> count_{0};
    std::atomic<double> last_{0};
};

bool WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        Turn(5);
    }
    return true;
}

// The flood to a subscriber that only counts: what the broker and the stations manage alone.
double BrokerCeiling(int port, TStationFlood& flood, size_t lines) {
    TCounter counter(port);
    WaitUntil([&] { return counter.Subscribed(); }, 5000);
    const double start = SteadySecondsNow();
    flood.Start(0, lines, 0);
    const double published = flood.Wait();
    size_t seen = 0;
    WaitUntil(
        [&] {
            const bool moved = counter.Count() != seen;
            seen = counter.Count();
            return seen >= lines || (!moved && SteadySecondsNow() - counter.Last() > 3);
        },
        120000);
    const double rate = double(counter.Count()) / (counter.Last() - start);
    std::printf("broker alone: %zu of %zu lines to a counting subscriber, %.0f lines/s "
                "(stations published for %.2f s, %.0f lines/s)\n",
                counter.Count(), lines, rate, published, double(lines) / published);
    return rate;
}

std::string Load() {
    QFile f("/proc/loadavg");
    f.open(QIODevice::ReadOnly);
    return f.readAll().trimmed().toStdString();
}

// Until the desk's packet log has want lines, or it stood still for quietS seconds after the
// flood ended; the lines it has.
uint64_t WaitLogged(TDeskRun& desk, const TStationFlood& flood, uint64_t want, double quietS) {
    uint64_t n = 0;
    double moved = SteadySecondsNow();
    while (n < want) {
        const uint64_t now = desk.Logged();
        if (now != n)
            moved = SteadySecondsNow();
        n = now;
        if (!flood.Running() && SteadySecondsNow() - moved > quietS)
            break;
        desk.Out();
        Turn(50);
    }
    return n;
}

double ProcessCpu() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// What the broker says it dropped ($SYS, published every 10 s): messages for a client whose
// queue was full.
std::string BrokerDropped(int port) {
    testing::TSubscriber sys(port, "$SYS/broker/publish/messages/dropped");
    sys.WaitConnected();
    sys.WaitFor(1, {}, 12000);
    const auto m = sys.Messages();
    return m.empty() ? "unknown" : m.back().Payload.toStdString();
}

// Lines [first, first + n) from the stations at rate (0: flat out) to the in-process desk.
void DeskFlood(TInProcessDesk& desk, TStationFlood& flood, size_t first, size_t n, double rate,
               double ceiling) {
    const uint64_t before = desk.Registered();
    const double cpu = ProcessCpu();
    const double reader = ThreadsCpu("mqtt reader");
    const double intake = ThreadsCpu({});
    const double start = SteadySecondsNow();
    flood.Start(first, n, rate);
    const auto got = [&] { return desk.Registered() - before; };
    WaitUntil(
        [&] {
            return got() >= n ||
                   (!flood.Running() && SteadySecondsNow() - std::max(desk.LastAt(), start) > 3);
        },
        600000);
    const double published = flood.Wait();
    const double lps = double(got()) / (desk.LastAt() - start);
    const std::string how = rate > 0 ? "at " + std::to_string(int(rate)) + " lines/s" : "flat out";
    std::printf("desk, stations publishing %s: %llu of %zu lines registered (%llu lost), %.0f "
                "lines/s from the first publish to the last registration, %.0f %% of the broker "
                "alone flat out (stations published for %.2f s); %.2f CPU s in the benchmark's "
                "process (stations and desk)\n",
                how.c_str(), static_cast<unsigned long long>(got()), n,
                static_cast<unsigned long long>(n - got()), lps, 100 * lps / ceiling, published,
                ProcessCpu() - cpu);
    const double readerCpu = ThreadsCpu("mqtt reader") - reader;
    const double intakeCpu = ThreadsCpu({}) - intake;
    const double deskCpu = readerCpu + intakeCpu;
    std::printf("  the desk's own threads: reader %.2f, intake %.2f CPU s, %.1f us a line: %.0f "
                "lines for each second of a processor\n",
                readerCpu, intakeCpu, 1e6 * deskCpu / double(std::max<uint64_t>(got(), 1)),
                double(got()) / std::max(deskCpu, 1e-9));
}

void Throughput(const TOptions& o) {
    TBroker broker;
    broker.Start();
    TStationFlood flood(broker.Port(), "bench", 10);
    flood.WaitConnected();
    const double ceiling = BrokerCeiling(broker.Port(), flood, o.Lines);
    TInProcessDesk desk(broker.Port());
    if (!desk.Start())
        std::printf("the desk did not start\n");
    WaitUntil([&] { return desk.Stations() >= 10 && desk.Subscriber().Connected(); }, 10000);
    WaitUntil([] { return false; }, 300);
    DeskFlood(desk, flood, o.Lines, o.Lines, 0, ceiling);
    DeskFlood(desk, flood, 2 * o.Lines, o.Lines, o.Paced, ceiling);
    std::printf("the reader held back %llu times; the broker dropped %s messages in all\n",
                static_cast<unsigned long long>(desk.Subscriber().HeldBack()),
                BrokerDropped(broker.Port()).c_str());
}

void Latency(const TOptions& o) {
    TBroker broker;
    broker.Start();
    TStationFlood flood(broker.Port(), "bench", 10);
    flood.WaitConnected();
    TDeskRun desk(broker.Port(), "desk", false);
    desk.Start();
    desk.WaitOnline(10);
    WaitUntil([&] { return desk.Out().count("connected") >= 2; }, 10000);
    testing::TSubscriber packets(broker.Port(), "bench/desk/packet");
    packets.WaitConnected();
    const size_t n = size_t(o.Rate * o.Seconds);
    flood.Start(0, n, o.Rate);
    WaitUntil([&] { return !flood.Running(); }, int(o.Seconds * 1000) + 60000);
    flood.Wait();
    WaitUntil([&] { return packets.Count() >= n; }, 10000);
    std::vector<double> ms;
    for (const testing::TMessage& m : packets.Messages()) {
        const QJsonObject j = m.Json();
        const size_t line = flood.IndexOf(j["data"].toString().toStdString());
        TDateTime wall = 0;
        if (line >= n || !ParseIsoTime(j["time"].toString().toStdString(), wall))
            continue;
        const double registered = (wall - 25569.0) * 86400e6;
        ms.push_back((registered - double(flood.PublishedAt(line))) / 1000);
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) {
        return ms.empty() ? 0 : ms[size_t(q * double(ms.size() - 1))];
    };
    std::printf("latency at %.0f lines/s from 10 stations: %zu of %zu lines registered; publish to "
                "registration median %.1f ms, 99th percentile %.1f ms, 99.9th %.1f ms, "
                "longest %.1f ms\n",
                o.Rate, ms.size(), n, at(0.5), at(0.99), at(0.999), at(1));
    desk.Stop();
}

void Memory(const TOptions& o) {
    TBroker broker;
    broker.Start();
    TStationFlood flood(broker.Port(), "bench", 5);
    flood.WaitConnected();
    TDeskRun desk(broker.Port(), {}, true);
    desk.Start();
    desk.WaitOnline(5);
    const double rate = 2000;
    const size_t n = size_t(rate * o.MemorySeconds);
    flood.Start(0, n, rate);
    std::vector<long> kb;
    const double start = SteadySecondsNow();
    while (flood.Running()) {
        desk.Logged();
        desk.Out();
        if (SteadySecondsNow() - start >= 10.0 * double(kb.size() + 1)) {
            kb.push_back(desk.Usage().second);
            const auto [anon, file] = desk.ResidentParts();
            std::printf("  %3zu s: %.1f MB resident (heap and stacks %.1f MB, mapped files %.1f "
                        "MB)\n",
                        kb.size() * 10, double(kb.back()) / 1024, double(anon) / 1024,
                        double(file) / 1024);
            std::fflush(stdout);
        }
        Turn(50);
    }
    const uint64_t registered = WaitLogged(desk, flood, n, 5);
    kb.push_back(desk.Usage().second);
    std::printf("  end: %.1f MB resident\n", double(kb.back()) / 1024);
    std::printf("memory at %.0f lines/s from 5 stations for %.0f s: %llu of %zu lines registered; "
                "resident first %.1f MB, last %.1f MB, most %.1f MB\n",
                rate, o.MemorySeconds, static_cast<unsigned long long>(registered), n,
                double(kb.front()) / 1024, double(kb.back()) / 1024,
                double(*std::max_element(kb.begin(), kb.end())) / 1024);
    desk.Stop();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const TOptions o = ReadOptions(argc, argv);
    std::printf("load average before: %s\n", Load().c_str());
    if (o.Throughput)
        Throughput(o);
    if (o.Latency)
        Latency(o);
    if (o.Memory)
        Memory(o);
    std::printf("load average after: %s\n", Load().c_str());
    return 0;
}
