// An independent reading of receiver lines for the simulator's tests: nothing here comes from
// the code under test, so a fault shared by both cannot hide.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::sim::test {

inline uint16_t BitwiseCrc(const uint8_t* data, size_t n) {
    uint16_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = data[i];
        for (int k = 0; k < 8; ++k) {
            crc = ((b ^ crc) & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : (crc >> 1);
            b >>= 1;
        }
    }
    return crc;
}

struct Decoded {
    std::array<uint8_t, 14> Bytes{};
    std::string Marker; // the two characters before the digits, if any
    std::string Tail;   // from the first comma on
};

// The 28 digits before the first comma (or the end), upper case only, read into bytes.
inline std::optional<Decoded> Decode(std::string_view line) {
    size_t comma = line.find(',');
    size_t end = comma == std::string_view::npos ? line.size() : comma;
    if (end < 28)
        return std::nullopt;
    Decoded d;
    std::string_view digits = line.substr(end - 28, 28);
    auto value = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < 14; ++i) {
        int hi = value(digits[2 * i]), lo = value(digits[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        d.Bytes[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    if (end >= 30)
        d.Marker = std::string(line.substr(end - 30, 2));
    if (comma != std::string_view::npos)
        d.Tail = std::string(line.substr(comma));
    return d;
}

inline bool CrcMatches(const Decoded& d) {
    uint16_t check = static_cast<uint16_t>(d.Bytes[11] | (d.Bytes[12] << 8));
    return static_cast<uint16_t>(BitwiseCrc(d.Bytes.data(), 11) + check) == 0xFFFF;
}

// The entry field of the tail: empty, or decimal digits after an optional sign.
inline bool EntryFieldIsNumber(std::string_view tail) {
    if (tail.empty())
        return true;
    std::string_view field = tail.substr(1, tail.find(',', 1) - 1);
    if (field.empty())
        return true;
    if (field[0] == '+' || field[0] == '-')
        field.remove_prefix(1);
    return !field.empty() && field.find_first_not_of("0123456789") == std::string_view::npos;
}

inline bool PassesIndependentCheck(std::string_view line) {
    std::optional<Decoded> d = Decode(line);
    return d && CrcMatches(*d) && EntryFieldIsNumber(d->Tail);
}

} // namespace corvane::sim::test
