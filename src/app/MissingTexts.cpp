#include "app/MissingTexts.h"

#include <array>

namespace corvane {

namespace {

std::string Counted(int64_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + ' ' + std::string(n == 1 ? one : many);
}

} // namespace

std::string_view KnownKindName(TKnownKind kind) {
    switch (kind) {
    case TKnownKind::Repeater:
        return "Repeater";
    case TKnownKind::Entry:
        return "Entry point";
    case TKnownKind::Sensor:
        break;
    }
    return "Sensor";
}

std::string AgoText(int64_t ms) {
    const int64_t s = ms < 0 ? 0 : ms / 1000;
    if (s < 60)
        return std::to_string(s) + " s";
    if (s < 3600)
        return std::to_string(s / 60) + " min";
    if (s < 86400)
        return std::to_string(s / 3600) + " h " + std::to_string(s / 60 % 60) + " min";
    return std::to_string(s / 86400) + " d " + std::to_string(s / 3600 % 24) + " h";
}

std::string UsualGapText(float usualGap) {
    if (usualGap < 0)
        return {};
    return std::to_string(static_cast<int64_t>(usualGap + 0.5f)) + " s";
}

std::string RouteText(const TKnownRecord& r) {
    if (r.Kind != TKnownKind::Sensor)
        return {};
    if (r.Repeater != '\0')
        return (r.Entry.empty() ? "via " : r.Entry + " via ") + r.Repeater;
    return r.Entry.empty() ? std::string() : r.Entry + " (direct)";
}

std::string GoneSummary(const std::vector<TKnownRecord>& records, int32_t maxAge) {
    if (records.empty())
        return std::string(NoneGone);
    std::array<int64_t, 3> counts{};
    for (const TKnownRecord& r : records)
        ++counts[static_cast<size_t>(r.Kind)];
    std::vector<std::string> parts;
    if (counts[0] > 0)
        parts.push_back(Counted(counts[0], "sensor", "sensors"));
    if (counts[1] > 0)
        parts.push_back(Counted(counts[1], "repeater", "repeaters"));
    if (counts[2] > 0)
        parts.push_back(Counted(counts[2], "entry point", "entry points"));
    std::string text = parts[0];
    for (size_t i = 1; i < parts.size(); ++i)
        text += (i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return text + " not heard for over " + std::to_string(maxAge) + " s";
}

} // namespace corvane
