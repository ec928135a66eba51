#include "Summary.h"

#include <cstdio>

namespace corvane::sim {

int64_t Summary::TotalLines() const {
    int64_t n = 0;
    for (int64_t c : FLines)
        n += c;
    return n;
}

void Summary::Print(std::ostream& out, double seconds) const {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f", seconds);
    out << "corvane-sim: " << TotalLines() << " lines sent in " << buf << " s\n";
    for (int k = 0; k < LineKindCount; ++k) {
        int64_t n = FLines[static_cast<size_t>(k)];
        if (n > 0 || static_cast<LineKind>(k) == LineKind::Valid)
            out << "  " << LineKindName(static_cast<LineKind>(k)) << ": " << n << "\n";
    }
    if (FSplits > 0)
        out << "  split across writes: " << FSplits << "\n";
    if (FSkipped > 0)
        out << "  replay lines skipped: " << FSkipped << "\n";
    out << "  clients: " << FClients << "\n";
    if (FDisconnects > 0)
        out << "  disconnects by the simulator: " << FDisconnects << "\n";
    out << "  polls: " << FPolls.size() << "\n";
    for (const PollRecord& p : FPolls) {
        std::snprintf(buf, sizeof buf, "%.3f", p.SinceConnect);
        out << "  poll at " << p.Clock << " (" << buf << " s after connect)\n";
    }
    if (FOtherBytes > 0)
        out << "  other bytes received: " << FOtherBytes << "\n";
}

} // namespace corvane::sim
