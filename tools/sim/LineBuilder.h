// Receiver lines: packets with their check word, the optional repeater marker and comma tail,
// and the damaged forms that the fault options send.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace corvane::sim {

using Packet = std::array<uint8_t, 14>;

// Writes the check word (bytes 11 low, 12 high): the one's complement of the CRC of bytes 0..10.
void SealPacket(Packet& p);
// 28 hexadecimal digits, upper case.
std::string PacketDigits(const Packet& p);

struct LineParts {
    char Repeater = 0;    // repeater letter, 0 when heard directly
    bool HasTail = false; // whether the line carries ",entry,entryName,sensorName"
    int EntryNumber = 0;
    std::string EntryName;  // may be empty
    std::string SensorName; // may be empty
};

// The line as the receiver sends it, without its line end.
std::string BuildLine(const Packet& p, const LineParts& parts);
std::string LineEnd(bool crLf);

// Whether the monitor would take the line (without its line end): at least 28 packet digits
// before the first comma, an integer or empty entry field, upper-case digits, a matching check
// word.
bool LinePasses(std::string_view line);

// Damaged forms. Each is guaranteed to be rejected by the monitor; the line end is not included.
std::string BadCrcLine(Packet p, const LineParts& parts, std::mt19937_64& rng);
std::string LowercaseLine(Packet p, const LineParts& parts);
std::string ShortLine(const Packet& p, const LineParts& parts, std::mt19937_64& rng);
std::string GarbageLine(std::mt19937_64& rng);
// A sound packet whose tail's entry field is no number (a tail is added when the line has none).
std::string BadEntryLine(Packet p, const LineParts& parts);
// Upper-case digits without a line end and without commas or repeater letters, so that the line
// after it still reads correctly once the monitor's framing joins the two.
std::string LongLineText(std::mt19937_64& rng);

} // namespace corvane::sim
