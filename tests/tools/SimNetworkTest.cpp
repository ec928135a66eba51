#include "SimNetwork.h"
#include "SimSource.h"
#include "tools/SimCheck.h"
#include "util/untConst.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace corvane::sim {
namespace {

// The serial number the way the monitor builds it from a packet's bytes.
uint64_t SerialOf(const Packet& p, int mode) {
    if (mode == 0)
        return p[1] | (p[2] << 8) | (p[3] << 16) | (static_cast<uint64_t>(p[4] & 0xFC) << 24);
    uint64_t v = 0;
    for (int b = 8; b >= 1; --b)
        v = (v << 8) | p[b];
    return v;
}

std::vector<std::string> Lines(uint64_t seed, int count) {
    SimNetwork net(NetworkParams{60, 5, 4, seed});
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        SimRead r = net.Next();
        out.push_back(BuildLine(r.Data, net.PartsOf(r)));
    }
    return out;
}

TEST(SimNetwork, UsesEveryTypeCodeWithDistinctSerials) {
    SimNetwork net(NetworkParams{PacketTypeCount, 4, 3, 5});
    std::set<uint8_t> codes;
    std::set<uint64_t> serials;
    for (const SimSensor& s : net.Sensors()) {
        codes.insert(s.Code);
        serials.insert(s.SerNo);
    }
    EXPECT_EQ(codes.size(), static_cast<size_t>(PacketTypeCount));
    EXPECT_EQ(serials.size(), net.Sensors().size());
}

TEST(SimNetwork, EveryReadIsAValidLineOfItsSensor) {
    const int repeaters = 6, entries = 5;
    SimNetwork net(NetworkParams{200, repeaters, entries, 9});
    double last = 0;
    std::map<int, std::set<std::string>> routesBySensor;
    int marked = 0, direct = 0;
    for (int i = 0; i < 20000; ++i) {
        SimRead r = net.Next();
        ASSERT_GE(r.At, last);
        last = r.At;
        const SimSensor& s = net.Sensors()[static_cast<size_t>(r.Sensor)];
        std::string line = BuildLine(r.Data, net.PartsOf(r));
        std::optional<test::Decoded> d = test::Decode(line);
        ASSERT_TRUE(d && test::CrcMatches(*d)) << line;
        EXPECT_EQ(d->Bytes[0], s.Code);
        auto type = FindPacketType(line.substr(line.find(',') - 28, 2));
        ASSERT_TRUE(type) << line;
        EXPECT_EQ(SerialOf(d->Bytes, type->SerialMode), s.SerNo);
        if (d->Marker.size() == 2 && d->Marker[0] == d->Marker[1]) {
            EXPECT_LT(RepeaterChars.find(d->Marker[0]), static_cast<size_t>(repeaters));
            ++marked;
        } else {
            ++direct;
        }
        int entry = std::stoi(d->Tail.substr(1));
        EXPECT_GE(entry, 1);
        EXPECT_LE(entry, entries);
        routesBySensor[r.Sensor].insert(d->Marker + d->Tail);
    }
    EXPECT_GT(marked, 0);
    EXPECT_GT(direct, 0);
    int heardTwice = 0;
    for (const auto& [sensor, routes] : routesBySensor)
        heardTwice += routes.size() > 1;
    EXPECT_GT(heardTwice, 10);
}

TEST(SimNetwork, SomeNamesAreAbsentAndSomeSensorsFallSilent) {
    SimNetwork net(NetworkParams{300, 4, 12, 2});
    int unnamedSensors = 0, unnamedEntries = 0;
    for (const SimSensor& s : net.Sensors())
        unnamedSensors += s.Name.empty();
    for (const SimEntry& e : net.Entries())
        unnamedEntries += e.Name.empty();
    EXPECT_GT(unnamedSensors, 0);
    EXPECT_LT(unnamedSensors, 300);
    EXPECT_GT(unnamedEntries, 0);
    EXPECT_FALSE(net.Entries()[0].Name.empty());

    std::map<int, double> lastSeen, longestGap;
    for (double at = 0; at < 3000;) {
        SimRead r = net.Next();
        at = r.At;
        if (lastSeen.count(r.Sensor))
            longestGap[r.Sensor] = std::max(longestGap[r.Sensor], at - lastSeen[r.Sensor]);
        lastSeen[r.Sensor] = at;
    }
    int silent = 0;
    for (const auto& [sensor, gap] : longestGap)
        silent += gap > 4 * net.Sensors()[static_cast<size_t>(sensor)].Period;
    EXPECT_GT(silent, 0);
}

TEST(SimNetwork, SeedRepeatsTheRun) {
    EXPECT_EQ(Lines(4, 500), Lines(4, 500));
    EXPECT_NE(Lines(4, 500), Lines(5, 500));
}

TEST(SimNetwork, WithoutEntriesLinesHaveNoTail) {
    SimNetwork net(NetworkParams{30, 0, 0, 1});
    for (int i = 0; i < 300; ++i) {
        SimRead r = net.Next();
        std::string line = BuildLine(r.Data, net.PartsOf(r));
        EXPECT_EQ(line.size(), 28u) << line;
    }
}

TEST(SimSource, FaultsAreMixedInAndEveryValidLinePasses) {
    SimOptions o;
    o.Faults = {Fault::BadCrc,  Fault::Lowercase, Fault::Short,
                Fault::Garbage, Fault::LongLine,  Fault::BadEntry};
    o.FaultRate = 0.3;
    o.CrLf = true;
    SimSource source(o);
    std::map<LineKind, int> kinds;
    LineKind previous = LineKind::None;
    for (int i = 0; i < 3000; ++i) {
        Emission e = *source.Next();
        ASSERT_EQ(e.Pieces.size(), 1u);
        std::string bytes = e.Pieces[0].Bytes;
        ++kinds[e.Kind];
        if (e.Kind == LineKind::LongLine) {
            EXPECT_EQ(bytes.find('\r'), std::string::npos);
        } else {
            ASSERT_GE(bytes.size(), 2u);
            EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
            bytes.resize(bytes.size() - 2);
            EXPECT_EQ(test::PassesIndependentCheck(bytes), e.Kind == LineKind::Valid) << bytes;
        }
        // Garbage and long lines come on top of a packet, never instead of one.
        if (previous == LineKind::Garbage || previous == LineKind::LongLine) {
            EXPECT_EQ(e.Kind, LineKind::Valid);
        }
        previous = e.Kind;
    }
    for (LineKind k : {LineKind::Valid, LineKind::BadCrc, LineKind::Lowercase, LineKind::Short,
                       LineKind::Garbage, LineKind::LongLine, LineKind::BadEntry})
        EXPECT_GT(kinds[k], 40) << LineKindName(k);
}

} // namespace
} // namespace corvane::sim

namespace corvane::sim {
namespace {

TEST(SimNetwork, SilenceStopsTheFirstSensorsAndRepeaterAThenEnds) {
    NetworkParams p{20, 3, 2, 4};
    p.PeriodMin = 10;
    p.PeriodMax = 30;
    p.SilenceAt = 100;
    p.SilenceUntil = 300;
    p.SilenceSensors = 2;
    SimNetwork net(p);
    std::set<int> before, during, after;
    bool viaA = false;
    for (;;) {
        const SimRead r = net.Next();
        if (r.At >= 500)
            break;
        ASSERT_GE(r.Sensor, 0);
        if (r.At >= 100 && r.At < 300) {
            during.insert(r.Sensor);
            viaA = viaA || r.Route.Repeater == 0;
        } else {
            (r.At < 100 ? before : after).insert(r.Sensor);
        }
    }
    EXPECT_TRUE(before.count(0) && before.count(1) && after.count(0) && after.count(1));
    EXPECT_FALSE(during.count(0) || during.count(1));
    EXPECT_FALSE(viaA);
    EXPECT_GT(during.size(), 10u);
}

} // namespace
} // namespace corvane::sim
