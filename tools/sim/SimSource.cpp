#include "SimSource.h"

namespace corvane::sim {

namespace {

NetworkParams ParamsOf(const SimOptions& o) {
    return NetworkParams{o.Sensors,   o.Repeaters, o.Entries,      o.Seed,          o.PeriodMin,
                         o.PeriodMax, o.SilenceAt, o.SilenceUntil, o.SilenceSensors};
}

Emission Line(double at, LineKind kind, std::string bytes) {
    Emission e;
    e.At = at;
    e.Kind = kind;
    e.Pieces.push_back(Piece{std::move(bytes), 0});
    return e;
}

} // namespace

SimSource::SimSource(const SimOptions& o)
    : FNet(ParamsOf(o)), FEnd(LineEnd(o.CrLf)), FRate(o.FaultRate) {
    for (Fault f : {Fault::BadCrc, Fault::Lowercase, Fault::Short, Fault::Garbage, Fault::LongLine,
                    Fault::BadEntry}) {
        if (o.HasFault(f))
            FFaults.push_back(f);
    }
}

std::optional<Emission> SimSource::Next() {
    if (FHeld) {
        std::optional<Emission> e = std::move(FHeld);
        FHeld.reset();
        return e;
    }
    SimRead read = FNet.Next();
    LineParts parts = FNet.PartsOf(read);
    std::mt19937_64& rng = FNet.Rng();
    if (!FFaults.empty() && static_cast<double>(rng() >> 11) * 0x1.0p-53 < FRate) {
        Fault f = FFaults[rng() % FFaults.size()];
        return Damaged(f, read, parts);
    }
    return Line(read.At, LineKind::Valid, BuildLine(read.Data, parts) + FEnd);
}

Emission SimSource::Damaged(Fault f, const SimRead& read, const LineParts& parts) {
    std::mt19937_64& rng = FNet.Rng();
    switch (f) {
    case Fault::BadCrc:
        return Line(read.At, LineKind::BadCrc, BadCrcLine(read.Data, parts, rng) + FEnd);
    case Fault::Lowercase:
        return Line(read.At, LineKind::Lowercase, LowercaseLine(read.Data, parts) + FEnd);
    case Fault::Short:
        return Line(read.At, LineKind::Short, ShortLine(read.Data, parts, rng) + FEnd);
    case Fault::BadEntry:
        return Line(read.At, LineKind::BadEntry, BadEntryLine(read.Data, parts) + FEnd);
    default:
        break;
    }
    // Garbage and long lines come on top of the packet, which follows intact.
    FHeld = Line(read.At, LineKind::Valid, BuildLine(read.Data, parts) + FEnd);
    if (f == Fault::Garbage)
        return Line(read.At, LineKind::Garbage, GarbageLine(rng) + FEnd);
    return Line(read.At, LineKind::LongLine, LongLineText(rng));
}

} // namespace corvane::sim
