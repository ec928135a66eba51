// What the simulator did, printed on stderr when it ends.
#pragma once

#include "LineSource.h"

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace corvane::sim {

struct PollRecord {
    std::string Clock;       // local time, hh:mm:ss.mmm
    double SinceConnect = 0; // seconds since the client connected
};

class Summary {
public:
    // A line counts once its last byte has gone to a client.
    void CountLine(LineKind k) { ++FLines[static_cast<size_t>(k)]; }
    void CountSplit() { ++FSplits; }
    void CountClient() { ++FClients; }
    void CountDisconnect() { ++FDisconnects; }
    void AddPoll(PollRecord p) { FPolls.push_back(std::move(p)); }
    void CountOtherBytes(size_t n) { FOtherBytes += n; }
    void NoteSkipped(int n) { FSkipped = n; }

    int64_t Lines(LineKind k) const { return FLines[static_cast<size_t>(k)]; }
    int64_t TotalLines() const;
    const std::vector<PollRecord>& Polls() const { return FPolls; }

    void Print(std::ostream& out, double seconds) const;

private:
    std::array<int64_t, LineKindCount> FLines{};
    int64_t FSplits = 0;
    int64_t FClients = 0;
    int64_t FDisconnects = 0;
    int64_t FOtherBytes = 0;
    int FSkipped = 0;
    std::vector<PollRecord> FPolls;
};

} // namespace corvane::sim
