#include "conn/LinkStats.h"

#include <cmath>
#include <cstdio>

namespace corvane {

namespace {
// The second of the time line that holds the instant. A thousandth of a second absorbs the
// rounding of day fractions, so that an instant set to a whole second stays in that second.
int64_t SecondOf(TDateTime t) {
    return static_cast<int64_t>(std::floor(t * 86400.0 + 0.001));
}
} // namespace

void TLinkStats::Count(TLineFate fate, TDateTime now) {
    ++totals_.Received;
    const bool rejected = fate != TLineFate::Passed;
    switch (fate) {
    case TLineFate::Passed:
        ++totals_.Passed;
        break;
    case TLineFate::Short:
        ++totals_.Short;
        break;
    case TLineFate::NoPacket:
        ++totals_.NoPacket;
        break;
    case TLineFate::BadCrc:
        ++totals_.BadCrc;
        break;
    case TLineFate::BadEntry:
        ++totals_.BadEntry;
        break;
    case TLineFate::Invalid:
        ++totals_.Invalid;
        break;
    }
    const int64_t second = SecondOf(now);
    TSecond& slot = seconds_[static_cast<size_t>(((second % 60) + 60) % 60)];
    if (slot.Stamp != second)
        slot = TSecond{second, 0, 0};
    ++slot.Lines;
    slot.Rejected += rejected ? 1 : 0;
}

void TLinkStats::Reset() {
    seconds_.fill(TSecond{});
    totals_ = TLinkCounts{};
}

TMinuteCounts TLinkStats::LastMinute(TDateTime now) const {
    const int64_t second = SecondOf(now);
    TMinuteCounts sum;
    for (const TSecond& slot : seconds_)
        if (slot.Stamp <= second && slot.Stamp > second - 60) {
            sum.Lines += slot.Lines;
            sum.Rejected += slot.Rejected;
        }
    return sum;
}

double RejectedPercent(const TMinuteCounts& counts) {
    return counts.Lines == 0 ? 0.0 : 100.0 * counts.Rejected / counts.Lines;
}

std::string RejectedShareText(const TMinuteCounts& counts) {
    if (counts.Rejected == 0)
        return {};
    const double percent = RejectedPercent(counts);
    // A single bad line among thousands is still worth seeing: it does not read as 0.0.
    if (percent < 0.05)
        return "Rejected under 0" + std::string(1, FormatSettings.DecimalSeparator) +
               "1 % of lines (last minute)";
    char text[64];
    std::snprintf(text, sizeof text, "Rejected %.1f %% of lines (last minute)", percent);
    for (char* c = text; *c != '\0'; ++c)
        if (*c == '.')
            *c = FormatSettings.DecimalSeparator;
    return text;
}

} // namespace corvane
