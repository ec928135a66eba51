// How well a connection's link carries lines: how many arrived, how many the decoder took, why
// the others were turned away, and what the receive buffer had to throw away. Counts only: a
// rejected line still gets no message and no log entry. Fixed storage, so that counting costs
// the packet path no allocation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "util/untTime.h"

namespace corvane {

// What became of one line that a connection received.
enum class TLineFate : uint8_t {
    Passed,   // carried a packet that passed every check
    Short,    // fewer than 28 characters before its carriage return: never delivered
    NoPacket, // no 28 upper-case hexadecimal digits where the packet has to stand
    BadCrc,   // the check word does not match the packet
    BadEntry, // the entry field of the tail is not a number
    Invalid,  // a broker's message that held no line (no JSON, no UTF-8, too long)
};

struct TLinkCounts {
    uint64_t Received = 0; // every line, whatever became of it
    uint64_t Passed = 0;
    uint64_t Short = 0;
    uint64_t NoPacket = 0;
    uint64_t BadCrc = 0;
    uint64_t BadEntry = 0;
    uint64_t Invalid = 0;
    uint64_t Dropped = 0; // characters cut off by the receive buffer's cap
    uint64_t Rejected() const { return Received - Passed; }
};

struct TMinuteCounts {
    uint32_t Lines = 0;
    uint32_t Rejected = 0;
};

class TLinkStats {
public:
    void Count(TLineFate fate, TDateTime now);
    void Drop(size_t characters) { totals_.Dropped += characters; }
    void Reset();
    const TLinkCounts& Totals() const { return totals_; }
    // The lines counted in the 60 whole seconds up to now, the current one included.
    TMinuteCounts LastMinute(TDateTime now) const;

private:
    struct TSecond {
        int64_t Stamp = INT64_MIN; // the second of the time line these counts belong to
        uint32_t Lines = 0;
        uint32_t Rejected = 0;
    };
    std::array<TSecond, 60> seconds_{};
    TLinkCounts totals_;
};

inline TMinuteCounts& operator+=(TMinuteCounts& sum, const TMinuteCounts& more) {
    sum.Lines += more.Lines;
    sum.Rejected += more.Rejected;
    return sum;
}

// The share of rejected lines in percent, 0 when there were no lines.
double RejectedPercent(const TMinuteCounts& counts);
// "Rejected 3.2 % of lines (last minute)", empty when nothing was rejected.
std::string RejectedShareText(const TMinuteCounts& counts);

} // namespace corvane
