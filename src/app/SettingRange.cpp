#include "app/SettingRange.h"

namespace corvane {

int32_t ReadIntegerInRange(const TIniFile& file, const std::string& section, const std::string& key,
                           int32_t def, int32_t min, int32_t max, TSettingWarnings* warnings) {
    const std::string written = file.ReadString(section, key, "");
    const std::optional<int32_t> value = ParseIniInteger(written);
    if (!value)
        return def;
    if (*value >= min && *value <= max)
        return *value;
    if (warnings != nullptr)
        warnings->push_back("[" + section + "] " + key + "=" + written +
                            " is out of range; using " + std::to_string(def));
    return def;
}

} // namespace corvane
