// Stations publishing their receivers' lines to a broker, as `corvane --headless` beside a
// receiver does: one libmosquitto client per station, its retained "online" status (and
// "offline" as its last will), and line messages {"time","conn","line"} on <topic>/<station>/line.
// The lines are the simulator's, each one unique: line i comes from station i % stations, and
// its packet carries the station, a sensor of the station's own and a sequence number, so that
// what a desk registered can be told back to the line and the instant it was published.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

struct mosquitto;

namespace corvane::bench {

// Sensors per station: ten stations stay within the store's 2000 sensors.
constexpr int kSensorsPerStation = 150;

class TStationFlood {
public:
    TStationFlood(int port, const std::string& topic, int stations);
    ~TStationFlood();
    TStationFlood(const TStationFlood&) = delete;
    TStationFlood& operator=(const TStationFlood&) = delete;

    // Until every station is connected and has said it is online.
    bool WaitConnected(int milliseconds = 5000);
    // Publishes lines [first, first + count) on a thread of its own, at rate lines a second in
    // all (0: as fast as the clients take them).
    void Start(size_t first, size_t count, double rate);
    // Until the thread has handed every line to the sockets; the seconds it took.
    double Wait();
    bool Running() const { return running_.load(); }
    size_t Published() const { return published_.load(); }
    // Wall-clock microseconds of each line's publish, by line index, since the first Start.
    int64_t PublishedAt(size_t line) const { return line < at_.size() ? at_[line] : 0; }
    // Keeps the clients' connections alive while nothing is published.
    void Service();

    // The receiver's line (no line end) and the index back from a packet's first 11 bytes as
    // the desk publishes them ("data", 22 hex digits); SIZE_MAX for no line of the flood.
    std::string Line(size_t index) const;
    size_t IndexOf(const std::string& dataHex) const;
    int Stations() const { return int(clients_.size()); }

private:
    void Run(size_t first, size_t count, double rate);
    void PublishOne(size_t index);

    std::string topic_;
    std::vector<mosquitto*> clients_;
    std::vector<std::string> lineTopics_;
    std::vector<int64_t> at_;
    std::atomic<size_t> published_{0};
    std::atomic<bool> running_{false};
    double seconds_ = 0;
    std::thread thread_;
};

// Wall-clock microseconds since the epoch.
int64_t WallMicros();

} // namespace corvane::bench
