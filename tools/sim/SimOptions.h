// Command line of the receiving-station simulator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::sim {

// What may go wrong on the simulated receiver, each requested by name with --faults.
enum class Fault {
    BadCrc,
    Lowercase,
    Short,
    Garbage,
    Split,
    LongLine,
    Disconnect,
    Silent,
    BadEntry
};

struct SimOptions {
    int Port = 1070;
    bool Pty = false;
    int Sensors = 24;
    int Repeaters = 4;
    int Entries = 3;
    double Rate =
        -1; // lines per second; 0: as fast as the client reads; <0: the network's own pace
    uint64_t Seed = 1;
    std::vector<Fault> Faults;
    double FaultRate = 0.1; // share of lines that carry one of the requested faults
    std::string ReplayFile;
    std::string ScriptFile;
    double Speed = 1.0;
    int64_t Count = -1; // stop after this many lines; <0: no limit
    bool CrLf = false;
    bool Once = false;
    bool Help = false;
    double PeriodMin = 2; // --periods MIN-MAX
    double PeriodMax = 20;
    double SilenceAt = -1; // --silence AT[-UNTIL]
    double SilenceUntil = -1;
    int SilenceSensors = 3; // --silence-sensors N

    bool HasFault(Fault f) const;
};

struct ParseResult {
    bool Ok = false;
    SimOptions Options;
    std::string Error; // one line, for stderr
};

ParseResult ParseArgs(const std::vector<std::string>& args);
std::string UsageText();

const char* FaultName(Fault f);

} // namespace corvane::sim
