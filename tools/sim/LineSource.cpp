#include "LineSource.h"

#include <algorithm>
#include <iterator>

namespace corvane::sim {

const char* LineKindName(LineKind k) {
    static const char* const names[] = {"valid",   "badcrc",   "lowercase", "short",
                                        "garbage", "longline", "badentry",  "cut",
                                        "invalid", "raw",      "none"};
    static_assert(std::size(names) == LineKindCount + 1);
    return names[static_cast<int>(k)];
}

std::vector<Piece> SplitLine(const std::string& line, std::mt19937_64& rng) {
    if (line.size() < 3)
        return {Piece{line, 0}};
    std::vector<size_t> cuts;
    size_t count = 1 + rng() % 2;
    while (cuts.size() < count) {
        size_t at = 1 + rng() % (line.size() - 1);
        if (std::find(cuts.begin(), cuts.end(), at) == cuts.end())
            cuts.push_back(at);
    }
    std::sort(cuts.begin(), cuts.end());
    std::vector<Piece> pieces;
    size_t from = 0;
    cuts.push_back(line.size());
    for (size_t at : cuts) {
        // A short pause between writes, so the client's reads really see the pieces apart.
        double gap = pieces.empty() ? 0.0 : 0.005 + static_cast<double>(rng() % 50) / 1000;
        pieces.push_back(Piece{line.substr(from, at - from), gap});
        from = at;
    }
    return pieces;
}

size_t CutPoint(const std::string& line, std::mt19937_64& rng) {
    size_t end = std::min(line.find(','), line.find('\r'));
    if (end == std::string::npos)
        end = line.size();
    // Past the repeater marker, so the leftover never looks like one.
    size_t from = end >= 28 ? end - 27 : 1;
    if (end <= from)
        return std::min<size_t>(1, line.size());
    return from + rng() % (end - from);
}

TransportFaults::TransportFaults(std::unique_ptr<LineSource> inner, const SimOptions& o)
    : FInner(std::move(inner)), FSplit(o.HasFault(Fault::Split)),
      FDisconnect(o.HasFault(Fault::Disconnect)), FRate(o.FaultRate), FRng(o.Seed ^ 0x5EEDu) {}

std::optional<Emission> TransportFaults::Next() {
    std::optional<Emission> e = FInner->Next();
    if (!e || e->Pieces.size() != 1 || (!FSplit && !FDisconnect))
        return e;
    if (e->Kind == LineKind::Raw || e->Kind == LineKind::None || e->Kind == LineKind::LongLine)
        return e;
    if (static_cast<double>(FRng() >> 11) * 0x1.0p-53 >= FRate)
        return e;
    bool cut = FDisconnect && (!FSplit || (FRng() & 1));
    const std::string& line = e->Pieces[0].Bytes;
    if (cut) {
        e->Pieces[0].Bytes = line.substr(0, CutPoint(line, FRng));
        e->Kind = LineKind::Cut;
        e->CloseAfter = true;
    } else {
        e->Pieces = SplitLine(line, FRng);
        e->Split = true;
    }
    return e;
}

} // namespace corvane::sim
