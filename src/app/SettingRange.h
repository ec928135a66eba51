// Numeric settings that only make sense within a range: a value outside it would stop what it
// tunes from working, so the default stands in and the log says so once at start-up.
#pragma once

#include <cstdint>
#include <string>

#include "app/AppIni.h"

namespace corvane {

// The key's value as TIniFile::ReadInteger reads it (def when missing or unreadable); def for a
// value outside min..max, with "[<section>] <key>=<value as written> is out of range; using
// <def>" added to warnings when given.
int32_t ReadIntegerInRange(const TIniFile& file, const std::string& section, const std::string& key,
                           int32_t def, int32_t min, int32_t max, TSettingWarnings* warnings);

} // namespace corvane
