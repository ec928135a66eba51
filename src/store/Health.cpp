// How well a sensor is heard: the share of its packets that never arrived, estimated from its
// held reads, and over how many routes (entry point and repeater pairs) they came.
#include <algorithm>
#include <bitset>

#include "store/ActivityStore.h"
#include "store/ChainWalk.h"
#include "util/TextBuffer.h"

namespace corvane {

namespace {

// Route keys: entry index 0..31 or none, times repeater index 0..63 or none.
constexpr int EntryKeys = MaxEntries + 1;
constexpr int RepeatKeys = MaxRepeats + 1;

int RouteKey(uint8_t entry, uint8_t repeat) {
    const int e = entry == NoIndex ? MaxEntries : entry;
    const int r = repeat == NoIndex ? MaxRepeats : repeat;
    return e * RepeatKeys + r;
}

} // namespace

const THealth& TStore::Health(uint16_t row) const {
    if (healthStale_[row]) {
        ComputeHealth(row, health_[row]);
        healthStale_[row] = false;
    }
    return health_[row];
}

void TStore::ComputeHealth(uint16_t row, THealth& health) const {
    health = THealth{};
    std::bitset<EntryKeys * RepeatKeys> routes;
    int32_t counted = 0;
    TDateTime first = NoTime;
    TDateTime last = NoTime;
    for (int32_t i : Chain(Reads, Sensors[row].Oldest, &TRead::SensorNewer)) {
        const TRead& r = Reads[i];
        const int key = RouteKey(r.Entry, r.Repeat);
        if (!routes.test(key)) {
            routes.set(key);
            ++health.Routes;
        }
        if (r.SensorOlder != NoRead && IsDuplicate(r.SensorOlder, i))
            continue;
        if (counted == 0)
            first = r.Time;
        else
            gapScratch_[counted - 1] = SecondsDiff(last, r.Time);
        last = r.Time;
        ++counted;
    }
    if (counted < 3)
        return;
    // The lower median: with an even number of gaps, the smaller of the two middle ones.
    const int32_t gaps = counted - 1;
    int32_t* begin = gapScratch_.data();
    int32_t* middle = begin + (gaps - 1) / 2;
    std::nth_element(begin, middle, begin + gaps);
    const int32_t t = *middle;
    if (t <= 0) // most reads came within the same second: no period to measure losses by
        return;
    const double span = SecondsDiff(first, last);
    const double loss = 100.0 * (1.0 - counted / (span / t + 1.0));
    health.LossTenths = loss <= 0 ? 0 : static_cast<int32_t>(loss * 10.0 + 0.5);
}

std::string_view TStore::LossText(uint16_t row, char (&buffer)[16]) const {
    const int32_t tenths = Health(row).LossTenths;
    if (tenths < 0)
        return {};
    TTextBuffer<16> text;
    text.AppendInt(tenths / 10).Append(std::string_view(&FormatSettings.DecimalSeparator, 1));
    text.AppendInt(tenths % 10);
    const std::string_view v = text.View();
    std::copy(v.begin(), v.end(), buffer);
    return std::string_view(buffer, v.size());
}

std::string_view TStore::RoutesText(uint16_t row, char (&buffer)[16]) const {
    TTextBuffer<16> text;
    text.AppendInt(Health(row).Routes);
    const std::string_view v = text.View();
    std::copy(v.begin(), v.end(), buffer);
    return std::string_view(buffer, v.size());
}

} // namespace corvane
