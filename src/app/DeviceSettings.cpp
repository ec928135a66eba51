#include "app/DeviceSettings.h"

#include "app/SettingKeys.h"
#include "store/ActivityStore.h"
#include "util/untConst.h"
#include "util/untUtils.h"

namespace corvane {

namespace {

// Ten days: a gap beyond any sensor's, and far from the silence's overflow at 68 years.
constexpr int32_t kMaxGapSec = 864000;

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    return CompareNoCase(a, b) == 0;
}

std::optional<int64_t> ParseSerial(std::string_view key) {
    if (key.size() != 16)
        return std::nullopt;
    uint64_t v = 0;
    for (char c : key) {
        const int d = (c >= '0' && c <= '9')   ? c - '0'
                      : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                               : -1;
        if (d < 0)
            return std::nullopt;
        v = v << 4 | static_cast<uint64_t>(d);
    }
    return static_cast<int64_t>(v);
}

// A repeater's character; '#' and ';' begin a comment line, so they are written in quotes.
std::optional<char> ParseRepeaterKey(std::string_view key) {
    if (key.size() == 3 && key.front() == '"' && key.back() == '"')
        key = key.substr(1, 1);
    if (key.size() != 1)
        return std::nullopt;
    return key.front();
}

void Warn(TSettingWarnings* warnings, std::string_view section, const std::string& key,
          const std::string& value) {
    if (warnings != nullptr)
        warnings->push_back("[" + std::string(section) + "] " + key + "=" + value +
                            " is not understood; ignored");
}

} // namespace

std::optional<TExpectation> ParseExpectation(std::string_view value) {
    TExpectation e;
    while (!value.empty()) {
        const size_t comma = value.find(',');
        const std::string_view option = Trimmed(value.substr(0, comma));
        value = comma == std::string_view::npos ? std::string_view{} : value.substr(comma + 1);
        if (option.empty())
            continue;
        if (SameNoCase(option, "mute")) {
            e.Mute = true;
            continue;
        }
        const size_t eq = option.find('=');
        if (eq == std::string_view::npos || !SameNoCase(Trimmed(option.substr(0, eq)), "gap"))
            return std::nullopt;
        const std::string_view digits = Trimmed(option.substr(eq + 1));
        const std::optional<int32_t> gap = ParseIniInteger(digits);
        if (!gap || *gap < 1 || *gap > kMaxGapSec)
            return std::nullopt;
        e.GapSec = *gap;
    }
    return e;
}

std::string ExpectationText(const TExpectation& e) {
    std::string text;
    if (e.GapSec > 0)
        text = "gap=" + std::to_string(e.GapSec);
    if (e.Mute)
        text += text.empty() ? "mute" : ",mute";
    return text;
}

TExpectations ReadExpectations(const TIniFile& file, TSettingWarnings* warnings) {
    TExpectations x;
    for (const auto& [key, value] : file.ReadSection(kSectionSensors)) {
        const auto serial = ParseSerial(key);
        const auto e = ParseExpectation(value);
        if (serial && e)
            x.SetSensor(*serial, *e);
        else
            Warn(warnings, kSectionSensors, key, value);
    }
    for (const auto& [key, value] : file.ReadSection(kSectionRepeaters)) {
        const auto id = ParseRepeaterKey(key);
        const auto e = ParseExpectation(value);
        if (id && e)
            x.SetRepeater(*id, *e);
        else
            Warn(warnings, kSectionRepeaters, key, value);
    }
    for (const auto& [key, value] : file.ReadSection(kSectionEntries)) {
        const auto number = ParseIniInteger(key);
        const auto e = ParseExpectation(value);
        if (number && *number >= 0 && *number <= 255 && e)
            x.SetEntry(static_cast<uint8_t>(*number), *e);
        else
            Warn(warnings, kSectionEntries, key, value);
    }
    return x;
}

TExpectationKey ExpectationKeyOf(const TStore& store, TAlertKind kind, uint16_t index) {
    switch (kind) {
    case TAlertKind::Sensor:
        return {kSectionSensors, SerialToHex(store.Sensors[index].SerNo)};
    case TAlertKind::Repeat: {
        const char id = store.Repeats[index].Id;
        const bool quoted = id == '#' || id == ';' || id == '"' || id == '=' || id == '[';
        return {kSectionRepeaters, quoted ? std::string{'"', id, '"'} : std::string(1, id)};
    }
    default:
        return {kSectionEntries, std::to_string(int(store.Entries[index].Id))};
    }
}

void WriteExpectation(TIniFile& file, const TExpectationKey& key, const TExpectation& e) {
    if (e.Any())
        file.WriteString(key.Section, key.Key, ExpectationText(e));
    else
        file.DeleteKey(key.Section, key.Key);
}

} // namespace corvane
