// Lines of the simulated network, with the content faults that were asked for.
#pragma once

#include "LineSource.h"
#include "SimNetwork.h"

namespace corvane::sim {

class SimSource : public LineSource {
public:
    explicit SimSource(const SimOptions& o);
    std::optional<Emission> Next() override;
    bool Live() const override { return true; }

    const SimNetwork& Network() const { return FNet; }

private:
    Emission Damaged(Fault f, const SimRead& read, const LineParts& parts);

    SimNetwork FNet;
    std::string FEnd;
    std::vector<Fault> FFaults; // the content faults requested
    double FRate;
    std::optional<Emission> FHeld; // the line that follows inserted garbage
};

} // namespace corvane::sim
