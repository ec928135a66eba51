#include "util/untUtils.h"

#include <array>
#include <cmath>

namespace corvane {

namespace {

constexpr uint8_t NotHex = 0xFF;

constexpr std::array<uint8_t, 256> MakeHexTable() {
    std::array<uint8_t, 256> table{};
    for (unsigned c = 0; c < 256; ++c)
        table[c] = c >= '0' && c <= '9'   ? static_cast<uint8_t>(c - '0')
                   : c >= 'A' && c <= 'F' ? static_cast<uint8_t>(c - 'A' + 10)
                                          : NotHex;
    return table;
}

constexpr std::array<uint8_t, 256> HexTable = MakeHexTable();

uint8_t HexValue(char c) {
    return HexTable[static_cast<unsigned char>(c)];
}

} // namespace

bool IsHexText(std::string_view text) {
    if (text.size() % 2 != 0)
        return false;
    unsigned bad = 0;
    for (char c : text)
        bad |= HexValue(c) & 0x10; // only NotHex has the bit set
    return bad == 0;
}

size_t HexToBytes(std::string_view text, uint8_t* dest, size_t maxCount) {
    size_t n = text.size() / 2;
    if (n > maxCount)
        n = maxCount;
    for (size_t i = 0; i < n; ++i) {
        // Callers check with IsHexText first; a stray character still yields a defined value.
        const uint8_t hi = HexValue(text[2 * i]);
        const uint8_t lo = HexValue(text[2 * i + 1]);
        dest[i] = static_cast<uint8_t>(((hi == NotHex ? 0 : hi) << 4) | (lo == NotHex ? 0 : lo));
    }
    return n;
}

bool HexToBytesChecked(std::string_view text, uint8_t* dest, size_t count) {
    if (text.size() != 2 * count)
        return false;
    unsigned bad = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t hi = HexValue(text[2 * i]);
        const uint8_t lo = HexValue(text[2 * i + 1]);
        bad |= (hi | lo) & 0x10;
        dest[i] = static_cast<uint8_t>((hi << 4) | (lo & 0x0F));
    }
    return bad == 0;
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
