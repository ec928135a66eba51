#include "util/untUtils.h"

#include <array>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
namespace {

// 16 digits to 8 bytes at once; false when any of them is no upper-case hexadecimal digit.
bool Hex16ToBytes(const char* text, uint8_t* dest) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
    // Signed compares: characters from 0x80 up are negative and fail both ranges.
    const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(c, _mm_set1_epi8('0' - 1)),
                                        _mm_cmplt_epi8(c, _mm_set1_epi8('9' + 1)));
    const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(c, _mm_set1_epi8('A' - 1)),
                                         _mm_cmplt_epi8(c, _mm_set1_epi8('F' + 1)));
    // A digit's value is its low four bits; a letter's is those plus 9.
    const __m128i value = _mm_add_epi8(_mm_and_si128(c, _mm_set1_epi8(0x0F)),
                                       _mm_and_si128(letter, _mm_set1_epi8(9)));
    // Each 16-bit lane holds the high digit in its low byte and the low digit above it.
    const __m128i pairs = _mm_or_si128(_mm_slli_epi16(value, 4), _mm_srli_epi16(value, 8));
    const __m128i bytes =
        _mm_packus_epi16(_mm_and_si128(pairs, _mm_set1_epi16(0x00FF)), _mm_setzero_si128());
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dest), bytes);
    return _mm_movemask_epi8(_mm_or_si128(digit, letter)) == 0xFFFF;
}

} // namespace
#endif

bool HexToBytesChecked(std::string_view text, uint8_t* dest, size_t count) {
    if (text.size() != 2 * count)
        return false;
#if defined(__SSE2__)
    // Every line's packet: eight bytes a step, the last step overlapping the one before.
    if (count >= 8) {
        bool ok = true;
        size_t i = 0;
        for (; i + 8 <= count; i += 8)
            ok &= Hex16ToBytes(text.data() + 2 * i, dest + i);
        if (i < count)
            ok &= Hex16ToBytes(text.data() + 2 * (count - 8), dest + count - 8);
        return ok;
    }
#endif
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
