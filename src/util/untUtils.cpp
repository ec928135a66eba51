#include "util/untUtils.h"

#include <array>
#include <cmath>

namespace corvane {

namespace {

// One entry per byte value: the CRC of that byte fed into a zero register, bit by bit.
constexpr std::array<uint16_t, 256> MakeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : (crc >> 1);
        table[i] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> CrcTable = MakeCrcTable();

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

uint16_t CalcCrc16(const uint8_t* data, uint16_t length) {
    uint16_t crc = 0;
    for (uint16_t i = 0; i < length; ++i)
        crc = static_cast<uint16_t>((crc >> 8) ^ CrcTable[(crc ^ data[i]) & 0xFF]);
    return crc;
}

bool IsHexText(std::string_view text) {
    if (text.size() % 2 != 0)
        return false;
    for (char c : text) {
        if (HexValue(c) < 0)
            return false;
    }
    return true;
}

size_t HexToBytes(std::string_view text, uint8_t* dest, size_t maxCount) {
    size_t n = text.size() / 2;
    if (n > maxCount)
        n = maxCount;
    for (size_t i = 0; i < n; ++i) {
        // Callers check with IsHexText first; a stray character still yields a defined value.
        int hi = HexValue(text[2 * i]);
        int lo = HexValue(text[2 * i + 1]);
        dest[i] = static_cast<uint8_t>(((hi < 0 ? 0 : hi) << 4) | (lo < 0 ? 0 : lo));
    }
    return n;
}

int CompareNoCase(std::string_view a, std::string_view b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'a' && ca <= 'z')
            ca = static_cast<unsigned char>(ca - 'a' + 'A');
        if (cb >= 'a' && cb <= 'z')
            cb = static_cast<unsigned char>(cb - 'a' + 'A');
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

double HalfAwayFromZero(double value, int decimals) {
    // A binary value lies exactly half-way between two of d decimals only when value * 2^(d+1)
    // is an odd whole number (the half's denominator 2 * 10^d must reduce to a power of two);
    // scaling by a power of two is exact, so the test is too.
    const double scaled = std::ldexp(value, decimals + 1);
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9007199254740992.0 ||
        std::trunc(scaled) != scaled || std::fmod(scaled, 2.0) == 0.0)
        return value;
    // One step past the half, away from zero: the nearest decimal is then the one further out.
    return std::nextafter(value, value < 0 ? -INFINITY : INFINITY);
}

} // namespace corvane
