#include "store/Expectations.h"

#include <algorithm>

namespace corvane {

namespace {

bool SerNoBefore(const std::pair<int64_t, TExpectation>& a, int64_t serNo) {
    return a.first < serNo;
}

} // namespace

void TExpectations::SetSensor(int64_t serNo, TExpectation e) {
    auto at = std::lower_bound(sensors_.begin(), sensors_.end(), serNo, SerNoBefore);
    const bool found = at != sensors_.end() && at->first == serNo;
    if (!e.Any()) {
        if (found)
            sensors_.erase(at);
    } else if (found) {
        at->second = e;
    } else {
        sensors_.insert(at, {serNo, e});
    }
}

TExpectation TExpectations::Sensor(int64_t serNo) const {
    auto at = std::lower_bound(sensors_.begin(), sensors_.end(), serNo, SerNoBefore);
    return at != sensors_.end() && at->first == serNo ? at->second : TExpectation{};
}

} // namespace corvane
