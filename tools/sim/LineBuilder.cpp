#include "LineBuilder.h"

#include "util/untUtils.h"

#include <cctype>

namespace corvane::sim {

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

size_t Below(std::mt19937_64& rng, size_t n) {
    return static_cast<size_t>(rng() % n);
}

bool IsUpperHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

std::string Tail(const LineParts& parts) {
    if (!parts.HasTail)
        return {};
    std::string t = "," + std::to_string(parts.EntryNumber);
    if (!parts.EntryName.empty() || !parts.SensorName.empty())
        t += "," + parts.EntryName;
    if (!parts.SensorName.empty())
        t += "," + parts.SensorName;
    return t;
}

std::string Marker(const LineParts& parts) {
    return parts.Repeater ? std::string(2, parts.Repeater) : std::string();
}

// The entry field may be empty, or an optionally signed decimal number.
bool EntryFieldOk(std::string_view tail) {
    std::string_view field = tail.substr(0, tail.find(','));
    if (field.empty())
        return true;
    size_t i = (field[0] == '+' || field[0] == '-') ? 1 : 0;
    if (i == field.size())
        return false;
    for (; i < field.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(field[i])))
            return false;
    }
    return true;
}

} // namespace

void SealPacket(Packet& p) {
    uint16_t check = static_cast<uint16_t>(~CalcCrc16(p.data(), 11));
    p[11] = static_cast<uint8_t>(check & 0xFF);
    p[12] = static_cast<uint8_t>(check >> 8);
}

std::string PacketDigits(const Packet& p) {
    std::string s;
    s.reserve(28);
    for (uint8_t b : p) {
        s += HexDigits[b >> 4];
        s += HexDigits[b & 0xF];
    }
    return s;
}

std::string BuildLine(const Packet& p, const LineParts& parts) {
    return Marker(parts) + PacketDigits(p) + Tail(parts);
}

std::string LineEnd(bool crLf) {
    return crLf ? "\r\n" : "\r";
}

bool LinePasses(std::string_view line) {
    size_t comma = line.find(',');
    size_t end = comma == std::string_view::npos ? line.size() : comma;
    if (end < 28)
        return false;
    if (comma != std::string_view::npos && !EntryFieldOk(line.substr(comma + 1)))
        return false;
    std::string_view digits = line.substr(end - 28, 28);
    if (!IsHexText(digits))
        return false;
    Packet p{};
    HexToBytes(digits, p.data(), p.size());
    uint16_t crc = CalcCrc16(p.data(), 11);
    return static_cast<uint16_t>(crc + (p[11] | (p[12] << 8))) == 0xFFFF;
}

std::string BadCrcLine(Packet p, const LineParts& parts, std::mt19937_64& rng) {
    SealPacket(p);
    uint16_t flip = static_cast<uint16_t>(1 + Below(rng, 0xFFFF));
    p[11] ^= static_cast<uint8_t>(flip & 0xFF);
    p[12] ^= static_cast<uint8_t>(flip >> 8);
    return BuildLine(p, parts);
}

std::string LowercaseLine(Packet p, const LineParts& parts) {
    // Byte 13 is outside the check; giving it letters makes sure there is something to lower.
    p[13] = 0xAF;
    SealPacket(p);
    std::string digits = PacketDigits(p);
    for (char& c : digits)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return Marker(parts) + digits + Tail(parts);
}

std::string ShortLine(const Packet& p, const LineParts& parts, std::mt19937_64& rng) {
    std::string full = Marker(parts) + PacketDigits(p);
    return full.substr(0, 1 + Below(rng, 27));
}

std::string BadEntryLine(Packet p, const LineParts& parts) {
    SealPacket(p);
    std::string tail = Tail(parts);
    if (tail.empty())
        tail = ",0";
    tail.insert(1, "E"); // ",E2,North Gate": the entry field reads as no number
    return Marker(parts) + PacketDigits(p) + tail;
}

std::string GarbageLine(std::mt19937_64& rng) {
    size_t length = 28 + Below(rng, 60);
    std::string s;
    s.reserve(length);
    while (s.size() < length) {
        char c = static_cast<char>(Below(rng, 256));
        // No line ends or commas (they would cut the line differently), no upper-case digits
        // (so the last 28 characters can never read as a packet).
        if (c != '\r' && c != '\n' && c != ',' && !IsUpperHex(c))
            s += c;
    }
    return s;
}

std::string LongLineText(std::mt19937_64& rng) {
    size_t length = 2048 + Below(rng, 30000);
    std::string s(length, '0');
    for (char& c : s)
        c = HexDigits[Below(rng, 16)];
    return s;
}

} // namespace corvane::sim
