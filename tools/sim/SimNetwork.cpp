#include "SimNetwork.h"

#include "util/untConst.h"

#include <algorithm>
#include <set>

namespace corvane::sim {

namespace {

const char* const SensorWords[] = {"Tank", "Pump",  "Boiler", "Freezer", "Silo",  "Cooler",
                                   "Vent", "Meter", "Door",   "Press",   "Kiln",  "Chiller",
                                   "Fan",  "Valve", "Hopper", "Oven",    "Dryer", "Mixer"};
const char* const EntryNames[] = {"North Gate", "South Yard", "Plant Room", "Warehouse",
                                  "Office",     "Dock",       "Cold Store", "Workshop"};

// Sensors that send through more than one route (their packets arrive more than once).
constexpr double DuplicateShare = 0.25;
constexpr double NamedSensorShare = 0.7;
constexpr double NamedEntryShare = 0.75;
constexpr double FlakyShare = 0.1;
constexpr double SilenceChance = 0.15; // per packet of a flaky sensor

uint8_t HexByte(const char* code) {
    return static_cast<uint8_t>(std::stoi(std::string(code, 2), nullptr, 16));
}

} // namespace

SimNetwork::SimNetwork(const NetworkParams& params) : FParams(params), FRng(params.Seed) {
    FRepeaters = std::clamp(params.Repeaters, 0, static_cast<int>(RepeaterChars.size()));
    MakeEntries(params.Entries);
    MakeSensors(params.Sensors);
}

double SimNetwork::Uniform(double lo, double hi) {
    return lo + (hi - lo) * static_cast<double>(FRng() >> 11) * 0x1.0p-53;
}

void SimNetwork::MakeEntries(int count) {
    for (int i = 0; i < count; ++i) {
        SimEntry e;
        e.Number = i + 1;
        // The first entry point always has a name, so a small network shows one.
        if (i == 0 || Uniform(0, 1) < NamedEntryShare) {
            constexpr size_t n = std::size(EntryNames);
            e.Name = EntryNames[i % n];
            if (i >= static_cast<int>(n))
                e.Name += " " + std::to_string(i / n + 1);
        }
        FEntries.push_back(e);
    }
}

void SimNetwork::MakeSensors(int count) {
    // Every type code in turn, in an order of the seed's choosing, so that a network of at least
    // as many sensors as codes uses each one.
    std::vector<const TPacketTypeEntry*> codes;
    for (const auto& t : PacketTypes)
        codes.push_back(&t);
    std::shuffle(codes.begin(), codes.end(), FRng);
    std::set<uint64_t> used;
    for (int i = 0; i < count; ++i) {
        const TPacketTypeEntry* t = codes[static_cast<size_t>(i) % codes.size()];
        SimSensor s;
        do {
            s = MakeSensor(i, HexByte(t->Code), t->Type.SerialMode);
        } while (!used.insert(s.SerNo).second);
        FSensors.push_back(s);
        Schedule(Uniform(0, std::min(s.Period, 5.0)), i, -1, {});
    }
}

SimSensor SimNetwork::MakeSensor(int index, uint8_t code, uint8_t serialMode) {
    SimSensor s;
    s.Code = code;
    s.SerialMode = serialMode;
    s.Base[0] = code;
    for (int b = 1; b <= 10; ++b)
        s.Base[b] = static_cast<uint8_t>(FRng());
    s.SerNo = 0;
    if (serialMode == 0) {
        for (int b = 1; b <= 3; ++b)
            s.SerNo |= static_cast<uint64_t>(s.Base[b]) << (8 * (b - 1));
        s.SerNo |= static_cast<uint64_t>(s.Base[4] & 0xFC) << 24;
    } else {
        for (int b = 1; b <= 8; ++b)
            s.SerNo |= static_cast<uint64_t>(s.Base[b]) << (8 * (b - 1));
    }
    if (Uniform(0, 1) < NamedSensorShare)
        s.Name = std::string(SensorWords[FRng() % std::size(SensorWords)]) + " " +
                 std::to_string(index + 1);
    s.Period = Uniform(FParams.PeriodMin, FParams.PeriodMax);
    s.Jitter = Uniform(0, 0.2);
    s.Flaky = Uniform(0, 1) < FlakyShare;
    s.Routes = MakeRoutes();
    return s;
}

std::vector<SimRoute> SimNetwork::MakeRoutes() {
    auto pick = [this] {
        SimRoute r;
        if (FRepeaters > 0 && (FRng() & 1))
            r.Repeater = static_cast<int>(FRng() % static_cast<uint64_t>(FRepeaters));
        if (!FEntries.empty())
            r.Entry = static_cast<int>(FRng() % FEntries.size());
        return r;
    };
    std::vector<SimRoute> routes{pick()};
    if (Uniform(0, 1) >= DuplicateShare)
        return routes;
    int extra = 1 + static_cast<int>(FRng() % 2);
    for (int tries = 0; tries < 10 && extra > 0; ++tries) {
        SimRoute r = pick();
        bool known = std::any_of(routes.begin(), routes.end(), [&](const SimRoute& o) {
            return o.Repeater == r.Repeater && o.Entry == r.Entry;
        });
        if (known)
            continue;
        r.Delay = Uniform(0.02, 0.4);
        routes.push_back(r);
        --extra;
    }
    return routes;
}

Packet SimNetwork::NextPacket(SimSensor& s) {
    Packet p = s.Base;
    ++s.Counter;
    // The data bytes after the serial number change from packet to packet, as readings do.
    if (s.SerialMode == 0) {
        p[5] = static_cast<uint8_t>((s.Base[5] & 0xF0) | (s.Counter & 0x0F)); // keeps the locator
        p[6] = static_cast<uint8_t>(s.Counter >> 4);
        for (int b = 7; b <= 10; ++b)
            p[b] = static_cast<uint8_t>(FRng());
    } else {
        p[9] = static_cast<uint8_t>(s.Counter);
        p[10] = static_cast<uint8_t>(FRng());
    }
    p[13] = 0;
    SealPacket(p);
    return p;
}

void SimNetwork::Schedule(double at, int sensor, int route, const Packet& data) {
    FQueue.push(Event{at, FSeq++, sensor, route, data});
}

void SimNetwork::Fire(const Event& e) {
    SimSensor& s = FSensors[static_cast<size_t>(e.Sensor)];
    Packet p = NextPacket(s);
    for (size_t r = 0; r < s.Routes.size(); ++r)
        Schedule(e.At + s.Routes[r].Delay, e.Sensor, static_cast<int>(r), p);
    double next = s.Period * Uniform(1 - s.Jitter, 1 + s.Jitter);
    if (s.Flaky && Uniform(0, 1) < SilenceChance)
        next += s.Period * Uniform(5, 20);
    Schedule(e.At + next, e.Sensor, -1, {});
}

SimRead SimNetwork::Next() {
    for (;;) {
        Event e = FQueue.top();
        FQueue.pop();
        if (e.Route < 0) {
            Fire(e);
            continue;
        }
        const SimSensor& s = FSensors[static_cast<size_t>(e.Sensor)];
        SimRead read{e.At, e.Sensor, e.Data, s.Routes[static_cast<size_t>(e.Route)]};
        if (!Silenced(read))
            return read;
    }
}

bool SimNetwork::Silenced(const SimRead& read) const {
    if (FParams.SilenceAt < 0 || read.At < FParams.SilenceAt)
        return false;
    if (FParams.SilenceUntil >= 0 && read.At >= FParams.SilenceUntil)
        return false;
    return read.Sensor < FParams.SilenceSensors || read.Route.Repeater == 0;
}

LineParts SimNetwork::PartsOf(const SimRead& read) const {
    LineParts parts;
    if (read.Route.Repeater >= 0)
        parts.Repeater = RepeaterChars[static_cast<size_t>(read.Route.Repeater)];
    if (read.Route.Entry >= 0) {
        const SimEntry& e = FEntries[static_cast<size_t>(read.Route.Entry)];
        parts.HasTail = true;
        parts.EntryNumber = e.Number;
        parts.EntryName = e.Name;
        parts.SensorName = FSensors[static_cast<size_t>(read.Sensor)].Name;
    }
    return parts;
}

} // namespace corvane::sim
