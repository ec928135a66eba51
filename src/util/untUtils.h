// Byte-level helpers of the packet check: CRC, hexadecimal text.
#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvane {

namespace crc_detail {

// One entry per byte value: the CRC of that byte fed into a zero register, bit by bit.
constexpr std::array<uint16_t, 256> MakeTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : (crc >> 1);
        table[i] = crc;
    }
    return table;
}

inline constexpr std::array<uint16_t, 256> Table = MakeTable();

// Two bytes at a time: the register after byte i and then a zero byte, so that both halves of
// the register are looked up at once.
constexpr std::array<uint16_t, 256> MakeTable2() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i)
        table[i] = static_cast<uint16_t>((Table[i] >> 8) ^ Table[Table[i] & 0xFF]);
    return table;
}

inline constexpr std::array<uint16_t, 256> Table2 = MakeTable2();

// The packet check always covers 11 bytes, and with no initial or final XOR the CRC of a message
// is the XOR of what each of its bytes gives alone at its place: one table per place, so that the
// eleven look-ups do not wait on each other as the running register's do.
constexpr size_t kPacketCrcBytes = 11;
constexpr std::array<std::array<uint16_t, 256>, kPacketCrcBytes> MakePlaceTables() {
    std::array<std::array<uint16_t, 256>, kPacketCrcBytes> tables{};
    for (unsigned b = 0; b < 256; ++b) {
        // The last byte's own entry, then one zero byte fed in per place further from the end.
        uint16_t crc = Table[b];
        for (size_t place = kPacketCrcBytes; place-- > 0;) {
            tables[place][b] = crc;
            crc = static_cast<uint16_t>((crc >> 8) ^ Table[crc & 0xFF]);
        }
    }
    return tables;
}

inline constexpr auto PlaceTables = MakePlaceTables();

} // namespace crc_detail

// CRC-16/ARC: reflected polynomial 0xA001, initial 0, no final XOR ("123456789" gives 0xBB3D).
// Inline: the packet check runs it on every line.
inline uint16_t CalcCrc16(const uint8_t* data, uint16_t length) {
    uint16_t crc = 0;
    uint16_t i = 0;
    for (; i + 1 < length; i += 2) {
        const unsigned x = crc ^ data[i] ^ (unsigned{data[i + 1]} << 8);
        crc = static_cast<uint16_t>(crc_detail::Table2[x & 0xFF] ^ crc_detail::Table[x >> 8]);
    }
    if (i < length)
        crc = static_cast<uint16_t>((crc >> 8) ^ crc_detail::Table[(crc ^ data[i]) & 0xFF]);
    return crc;
}
// CalcCrc16 of exactly the 11 bytes the packet check covers.
inline uint16_t CalcPacketCrc16(const uint8_t* data) {
    const auto& t = crc_detail::PlaceTables;
    return static_cast<uint16_t>(t[0][data[0]] ^ t[1][data[1]] ^ t[2][data[2]] ^ t[3][data[3]] ^
                                 t[4][data[4]] ^ t[5][data[5]] ^ t[6][data[6]] ^ t[7][data[7]] ^
                                 t[8][data[8]] ^ t[9][data[9]] ^ t[10][data[10]]);
}
// Even length and only "0123456789ABCDEF" (upper case); the empty text passes.
bool IsHexText(std::string_view text);
// Writes min(maxCount, text.size() / 2) bytes; text must have passed IsHexText.
size_t HexToBytes(std::string_view text, uint8_t* dest, size_t maxCount);
// Both at once: writes count bytes from exactly 2 x count characters and tells whether they
// all were hexadecimal digits (dest is written either way).
bool HexToBytesChecked(std::string_view text, uint8_t* dest, size_t count);
// Compares texts with the letters a to z as A to Z and every other character by its code; a
// text that begins another sorts first. Negative, 0 or positive.
int CompareNoCase(std::string_view a, std::string_view b);
// The whole text as a decimal number of type T: an optional "+", then an optional "-" and
// digits. False, value unchanged, when anything else stands or the number does not fit T.
template <class T>
bool ParseDecimal(std::string_view text, T& value) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    T v{};
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(text.data(), last, v, 10);
    if (text.empty() || ec != std::errc() || end != last)
        return false;
    value = v;
    return true;
}
// The value to format with the given number of decimals so that an exact half rounds away from
// zero, as a decimal picture does ("0.00" shows 10.125 as 10.13); the C library would round it
// to even. Any other value comes back unchanged.
double HalfAwayFromZero(double value, int decimals);

} // namespace corvane
