// The simulated sensor network: sensors of every packet type, repeaters named by the repeater
// alphabet, entry points, and the time line of the packets they produce.
#pragma once

#include "LineBuilder.h"

#include <cstdint>
#include <queue>
#include <random>
#include <string>
#include <vector>

namespace corvane::sim {

struct SimRoute {
    int Repeater = -1; // index into the repeater alphabet, -1: heard directly
    int Entry = -1;    // index into the entry points, -1: no tail
    double Delay = 0;  // seconds after the sensor sent the packet
};

struct SimSensor {
    uint8_t Code = 0;
    uint8_t SerialMode = 0;
    uint64_t SerNo = 0; // the bit pattern the monitor builds from the packet
    std::string Name;   // may be empty
    double Period = 0;  // seconds
    double Jitter = 0;  // share of the period, either way
    bool Flaky = false; // falls silent now and then
    std::vector<SimRoute> Routes;
    Packet Base{}; // serial bytes and the fixed part of the data
    uint32_t Counter = 0;
};

struct SimEntry {
    int Number = 0;
    std::string Name; // may be empty
};

// One packet as one route delivers it to the receiver.
struct SimRead {
    double At = 0; // seconds since the network started
    int Sensor = 0;
    Packet Data{};
    SimRoute Route;
};

struct NetworkParams {
    int Sensors = 24;
    int Repeaters = 4;
    int Entries = 3;
    uint64_t Seed = 1;
    // Reporting periods of the sensors, seconds.
    double PeriodMin = 2;
    double PeriodMax = 20;
    // From SilenceAt seconds on (<0: never) until SilenceUntil (<0: for good), the first
    // SilenceSensors sensors send nothing and the repeater 'a' relays nothing.
    double SilenceAt = -1;
    double SilenceUntil = -1;
    int SilenceSensors = 3;
};

class SimNetwork {
public:
    explicit SimNetwork(const NetworkParams& params);

    // The next packet in time order; the network never runs dry.
    SimRead Next();
    LineParts PartsOf(const SimRead& read) const;

    const std::vector<SimSensor>& Sensors() const { return FSensors; }
    const std::vector<SimEntry>& Entries() const { return FEntries; }
    int RepeaterCount() const { return FRepeaters; }
    std::mt19937_64& Rng() { return FRng; }

private:
    struct Event {
        double At;
        uint64_t Seq; // keeps equal times in the order they were scheduled
        int Sensor;
        int Route; // -1: the sensor sends; else a route delivers Data
        Packet Data;
        bool operator>(const Event& o) const { return At != o.At ? At > o.At : Seq > o.Seq; }
    };

    void MakeEntries(int count);
    void MakeSensors(int count);
    SimSensor MakeSensor(int index, uint8_t code, uint8_t serialMode);
    std::vector<SimRoute> MakeRoutes();
    void Fire(const Event& e);
    Packet NextPacket(SimSensor& s);
    void Schedule(double at, int sensor, int route, const Packet& data);
    double Uniform(double lo, double hi);
    bool Silenced(const SimRead& read) const;

    NetworkParams FParams;
    std::mt19937_64 FRng;
    int FRepeaters = 0;
    std::vector<SimEntry> FEntries;
    std::vector<SimSensor> FSensors;
    std::priority_queue<Event, std::vector<Event>, std::greater<Event>> FQueue;
    uint64_t FSeq = 0;
};

} // namespace corvane::sim
