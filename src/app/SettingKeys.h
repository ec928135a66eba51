// Every section and key of the settings file that a reader of it uses, with its default and
// range as the documents give them. The readers take the section names from here; the
// documents test checks that every key here is documented and that every key a reader names
// is here.
#pragma once

#include <array>
#include <string_view>

namespace corvane {

inline constexpr char kSectionSettings[] = "Settings";
inline constexpr char kSectionIpAddresses[] = "IP Addresses";
inline constexpr char kSectionSerialPorts[] = "Serial Ports";
inline constexpr char kSectionAlerts[] = "Alerts";
inline constexpr char kSectionConnections[] = "Connections";
inline constexpr char kSectionMqtt[] = "MQTT";
inline constexpr char kSectionHistory[] = "History";
inline constexpr char kSectionSensors[] = "Sensors";
inline constexpr char kSectionRepeaters[] = "Repeaters";
inline constexpr char kSectionEntries[] = "Entries";

struct TSettingKey {
    std::string_view Section;
    // "<n>" for sections whose keys are numbers, "<serial>" and "<letter>" for those keyed by
    // a sensor's serial number and a repeater's character.
    std::string_view Key;
    // As written in the file; empty when missing and empty are the same or the default is made
    // at start-up (the host name).
    std::string_view Default;
    std::string_view Range;
};

inline constexpr std::array<TSettingKey, 35> kSettingKeys{{
    {kSectionSettings, "DuplicateTimeSec", "9", "seconds"},
    {kSectionSettings, "DuplicateCRCCheck", "0", "0 or 1"},
    {kSectionSettings, "LogPackets", "0", "0 or 1"},
    {kSectionSettings, "LogRateSec", "0", "seconds; 0: no statistics log"},
    {kSectionSettings, "Points2Average", "10", "reads"},
    {kSectionSettings, "MaxAge", "10800", "seconds, at least 1"},
    {kSectionIpAddresses, "<n>", "", "the last 10 TCP/IP targets, written by the window"},
    {kSectionSerialPorts, "<n>", "", "the device of serial port n"},
    {kSectionAlerts, "LateFactor", "3", "2 to 100"},
    {kSectionAlerts, "SilentFactor", "10", "above LateFactor, at most 1000"},
    {kSectionAlerts, "AlertMinSec", "30", "at least 1"},
    {kSectionAlerts, "Alerts", "1", "0 or 1"},
    {kSectionAlerts, "Notify", "1", "0 or 1; the window's desktop notifications"},
    {kSectionAlerts, "Command", "", "a program run for each alert change; empty: none"},
    {kSectionConnections, "Reconnect", "", "0 or 1; 1 with --headless, 0 in the window"},
    {kSectionMqtt, "Host", "", "empty: no publishing"},
    {kSectionMqtt, "Port", "1883", "1 to 65535"},
    {kSectionMqtt, "Topic", "corvane", "no +, # or NUL"},
    {kSectionMqtt, "Station", "", "the host name when empty; no +, #, / or NUL"},
    {kSectionMqtt, "ClientId", "", "corvane-<Station> when empty"},
    {kSectionMqtt, "User", "", ""},
    {kSectionMqtt, "Password", "", "never logged"},
    {kSectionMqtt, "TLS", "0", "0 or 1"},
    {kSectionMqtt, "CAFile", "", "a PEM file"},
    {kSectionMqtt, "StateEverySec", "60", "1 to 86400"},
    {kSectionMqtt, "KeepAliveSec", "30", "5 to 3600"},
    {kSectionMqtt, "Lines", "1", "0 or 1"},
    {kSectionMqtt, "Discovery", "0", "0 or 1"},
    {kSectionMqtt, "DiscoveryPrefix", "homeassistant", "no +, # or NUL"},
    {kSectionHistory, "Keep", "1", "0 or 1; 0: no history database"},
    {kSectionHistory, "KeepDays", "30", "1 to 36500"},
    {kSectionHistory, "MaxMB", "4096", "at least 1"},
    {kSectionSensors, "<serial>", "", "gap=<seconds>,mute; either or both"},
    {kSectionRepeaters, "<letter>", "", "gap=<seconds>,mute; either or both"},
    {kSectionEntries, "<n>", "", "gap=<seconds>,mute; either or both"},
}};

} // namespace corvane
