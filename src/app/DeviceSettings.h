// Sections [Sensors], [Repeaters] and [Entries] of the settings file: what is expected of single
// devices, keyed by the sensor's 16-digit serial number, the repeater's character or the entry
// point's number, each with comma-separated options: "gap=<seconds>" (the usual gap its silence
// is judged against) and "mute" (no alert lines for it).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/AppIni.h"
#include "store/Alerts.h"
#include "store/Expectations.h"

namespace corvane {

// The options of one value; nullopt when one of them is not understood (or a gap is not a
// whole number of seconds from 1 to 10 days).
std::optional<TExpectation> ParseExpectation(std::string_view value);
// "gap=60,mute", "gap=60", "mute" or "".
std::string ExpectationText(const TExpectation& e);

// All three sections; a key or value not understood is skipped with a line in warnings.
TExpectations ReadExpectations(const TIniFile& file, TSettingWarnings* warnings = nullptr);

// The section and key a record's setting stands under.
struct TExpectationKey {
    std::string Section;
    std::string Key;
};
TExpectationKey ExpectationKeyOf(const TStore& store, TAlertKind kind, uint16_t index);
// Writes the record's setting in place (or removes its line when nothing is set), keeping every
// other line of the file as it is. Throws EIniWriteError.
void WriteExpectation(TIniFile& file, const TExpectationKey& key, const TExpectation& e);

} // namespace corvane
