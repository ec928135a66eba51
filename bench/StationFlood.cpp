#include "StationFlood.h"

#include <mosquitto.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdlib>

#include "LineBuilder.h"
#include "util/IsoTime.h"
#include "util/untConst.h"

namespace corvane::bench {

namespace {

constexpr double kUnixEpochDays = 25569.0;
constexpr char kOnline[] = "online";
constexpr char kOffline[] = "offline";

void Cork(mosquitto* m, int on) {
    const int sock = mosquitto_socket(m);
    if (sock >= 0)
        ::setsockopt(sock, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
}

} // namespace

int64_t WallMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

TStationFlood::TStationFlood(int port, const std::string& topic, int stations) : topic_(topic) {
    mosquitto_lib_init();
    for (int s = 0; s < stations; ++s) {
        const std::string name = "s" + std::to_string(s);
        mosquitto* m = mosquitto_new(("bench-" + name).c_str(), true, nullptr);
        // As a station's own publisher does; BENCH_STATIONS_NAGLE=1 leaves the socket's
        // default, to compare.
        if (!std::getenv("BENCH_STATIONS_NAGLE"))
            mosquitto_int_option(m, MOSQ_OPT_TCP_NODELAY, 1);
        const std::string status = topic + "/" + name + "/status";
        mosquitto_will_set(m, status.c_str(), int(sizeof kOffline - 1), kOffline, 1, true);
        mosquitto_connect(m, "127.0.0.1", port, 60);
        mosquitto_publish(m, nullptr, status.c_str(), int(sizeof kOnline - 1), kOnline, 1, true);
        clients_.push_back(m);
        lineTopics_.push_back(topic + "/" + name + "/line");
    }
}

TStationFlood::~TStationFlood() {
    if (thread_.joinable())
        thread_.join();
    for (size_t s = 0; s < clients_.size(); ++s) {
        const std::string status = topic_ + "/s" + std::to_string(s) + "/status";
        mosquitto_publish(clients_[s], nullptr, status.c_str(), int(sizeof kOffline - 1), kOffline,
                          1, true);
        mosquitto_loop(clients_[s], 10, 1);
        mosquitto_disconnect(clients_[s]);
        mosquitto_destroy(clients_[s]);
    }
}

bool TStationFlood::WaitConnected(int milliseconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
        bool all = true;
        for (mosquitto* m : clients_)
            all = mosquitto_loop(m, 5, 1) == MOSQ_ERR_SUCCESS && !mosquitto_want_write(m) && all;
        if (all)
            return true;
    }
    return false;
}

std::string TStationFlood::Line(size_t index) const {
    const size_t stations = clients_.size();
    const size_t station = index % stations;
    const size_t k = index / stations;
    const uint32_t serial = uint32_t(station * kSensorsPerStation + k % kSensorsPerStation + 1);
    const uint32_t seq = uint32_t(k / kSensorsPerStation);
    sim::Packet p{};
    p[0] = 0x10;
    for (int i = 0; i < 3; ++i)
        p[size_t(1 + i)] = uint8_t(serial >> (8 * i));
    p[9] = uint8_t(seq);
    p[10] = uint8_t(seq >> 8);
    sim::SealPacket(p);
    // Two entry points per station; every fourth line through one of the station's repeaters.
    sim::LineParts parts;
    parts.HasTail = true;
    parts.EntryNumber = int(station * 2 + k % 2 + 1);
    parts.EntryName = "S" + std::to_string(station) + " gate " + std::to_string(k % 2);
    if (k % 4 == 3)
        parts.Repeater = RepeaterChars[station % RepeaterChars.size()];
    return sim::BuildLine(p, parts);
}

size_t TStationFlood::IndexOf(const std::string& dataHex) const {
    if (dataHex.size() < 22)
        return SIZE_MAX;
    auto byte = [&](int i) {
        return uint32_t(std::strtoul(dataHex.substr(size_t(2 * i), 2).c_str(), nullptr, 16));
    };
    const uint32_t serial = byte(1) | byte(2) << 8 | byte(3) << 16;
    if (serial == 0 || serial > clients_.size() * kSensorsPerStation)
        return SIZE_MAX;
    const size_t station = (serial - 1) / kSensorsPerStation;
    const size_t k =
        (byte(9) | byte(10) << 8) * size_t(kSensorsPerStation) + (serial - 1) % kSensorsPerStation;
    return k * clients_.size() + station;
}

void TStationFlood::Start(size_t first, size_t count, double rate) {
    if (thread_.joinable())
        thread_.join();
    if (at_.size() < first + count)
        at_.resize(first + count);
    running_ = true;
    thread_ = std::thread([=, this] { Run(first, count, rate); });
}

double TStationFlood::Wait() {
    if (thread_.joinable())
        thread_.join();
    return seconds_;
}

void TStationFlood::Service() {
    for (mosquitto* m : clients_)
        mosquitto_loop(m, 0, 1);
}

void TStationFlood::PublishOne(size_t index) {
    const size_t station = index % clients_.size();
    const int64_t now = WallMicros();
    const std::string payload =
        "{\"time\":\"" + FormatIsoTime(kUnixEpochDays + double(now) / 86400e6) +
        "\",\"conn\":\"TCP 127.0.0.1:9999\",\"line\":\"" + Line(index) + "\"}";
    at_[index] = now;
    mosquitto_publish(clients_[station], nullptr, lineTopics_[station].c_str(), int(payload.size()),
                      payload.data(), 0, false);
}

// In slices of a few milliseconds: each station's lines of a slice leave corked, as a station's
// publisher hands its batch over, and every client's socket is serviced between slices.
void TStationFlood::Run(size_t first, size_t count, double rate) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    size_t next = first;
    const size_t end = first + count;
    while (next < end) {
        const double t = std::chrono::duration<double>(Clock::now() - start).count();
        const size_t due = rate > 0 ? std::min(end, first + size_t(rate * t) + 1)
                                    : std::min(end, next + 100 * clients_.size());
        for (mosquitto* m : clients_)
            Cork(m, 1);
        for (; next < due; ++next)
            PublishOne(next);
        published_ = next - first;
        for (mosquitto* m : clients_) {
            Cork(m, 0);
            while (mosquitto_want_write(m) && mosquitto_loop_write(m, 1) == MOSQ_ERR_SUCCESS) {
            }
            mosquitto_loop_read(m, 1);
            mosquitto_loop_misc(m);
        }
        if (rate > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    seconds_ = std::chrono::duration<double>(Clock::now() - start).count();
    running_ = false;
}

} // namespace corvane::bench
