// What the server sends, one emission at a time: a line (or damaged text), when it is due, and
// how it goes over the wire.
#pragma once

#include "SimOptions.h"

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace corvane::sim {

// How the summary counts an emission. Invalid: a replayed or scripted line that the monitor
// would reject; Raw: scripted text sent without a line end.
enum class LineKind {
    Valid,
    BadCrc,
    Lowercase,
    Short,
    Garbage,
    LongLine,
    BadEntry,
    Cut,
    Invalid,
    Raw,
    None
};
constexpr int LineKindCount = static_cast<int>(LineKind::None);
const char* LineKindName(LineKind k);

struct Piece {
    std::string Bytes;
    double GapBefore = 0; // seconds to wait after the previous piece went out
};

struct Emission {
    double At = 0; // seconds on the source's own time line
    LineKind Kind = LineKind::None;
    std::vector<Piece> Pieces;
    bool Split = false;      // the line goes out in several writes
    bool CloseAfter = false; // drop the connection once it went out
};

class LineSource {
public:
    virtual ~LineSource() = default;
    // Nothing when the source has no more to send.
    virtual std::optional<Emission> Next() = 0;
    // A live source keeps going while nobody listens (lines due then are lost, as on air);
    // a recorded one waits for a client.
    virtual bool Live() const { return false; }
};

// Adds the transport faults (split writes, disconnects mid-line) to another source's lines.
class TransportFaults : public LineSource {
public:
    TransportFaults(std::unique_ptr<LineSource> inner, const SimOptions& o);
    std::optional<Emission> Next() override;
    bool Live() const override { return FInner->Live(); }

private:
    std::unique_ptr<LineSource> FInner;
    bool FSplit;
    bool FDisconnect;
    double FRate;
    std::mt19937_64 FRng;
};

// Cuts a line (given with its line end) into two or three pieces at random points inside it.
std::vector<Piece> SplitLine(const std::string& line, std::mt19937_64& rng);
// Where a disconnect cuts the line: inside the packet digits, before any comma, so the line that
// follows on the same stream is still read correctly.
size_t CutPoint(const std::string& line, std::mt19937_64& rng);

} // namespace corvane::sim
