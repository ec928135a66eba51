// The receiver's packet type codes, the sensor kinds and the value encodings shared by the views.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

constexpr int SensorKindCount = 27;
extern const std::array<std::string_view, SensorKindCount> SensorKindNames;
// The kind's name; empty for a kind outside the table.
inline std::string_view SensorKindName(uint8_t kind) {
    return kind < SensorKindCount ? SensorKindNames[kind] : std::string_view();
}

// The repeater alphabet: a repeater is named by one of these 32 characters.
constexpr std::string_view RepeaterChars = "abcdefghijklmnopqrstuvwxyz!@#$%^";

struct TPacketType {
    uint8_t Kind = 0;
    uint8_t SerialMode = 0; // 0: serial number from bytes 1..4, 1: from bytes 1..8
    uint8_t Marked = 0;     // 1: the sensor's list row shows the marker image
};

struct TPacketTypeEntry {
    char Code[3]; // two upper-case hexadecimal digits
    TPacketType Type;
};

constexpr int PacketTypeCount = 47;
// Sorted by code; filled once and never changed.
extern const std::array<TPacketTypeEntry, PacketTypeCount> PacketTypes;

// Binary search, letter case ignored; nothing for an unknown code or a code not two characters.
std::optional<TPacketType> FindPacketType(std::string_view code);

// Exactly 16 upper-case hexadecimal digits of the 64-bit pattern.
std::string SerialToHex(int64_t serNo);
// Allocation-free form: writes 16 characters to out.
void SerialToHex(int64_t serNo, char out[16]);

bool IsRepeaterChar(char c);
// ((data[4] & 0x03) << 4) + (data[5] >> 4): 0..63.
int LocatorIndex(const uint8_t* data);
// The repeater alphabet's character at n (0..31), else a single blank.
std::string LocatorChar(int n);

} // namespace corvane
