// Byte-level helpers of the packet check: CRC, hexadecimal text.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvane {

// CRC-16/ARC: reflected polynomial 0xA001, initial 0, no final XOR ("123456789" gives 0xBB3D).
uint16_t CalcCrc16(const uint8_t* data, uint16_t length);
// Even length and only "0123456789ABCDEF" (upper case); the empty text passes.
bool IsHexText(std::string_view text);
// Writes min(maxCount, text.size() / 2) bytes; text must have passed IsHexText.
size_t HexToBytes(std::string_view text, uint8_t* dest, size_t maxCount);
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
