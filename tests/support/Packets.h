// Builds receiver lines with valid check words, the way a receiving station sends them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "util/untUtils.h"

namespace corvane::testing {

// 28 digits: type code, serial number bytes (little-endian, as many as given), payload, check.
inline std::string PacketDigits(uint8_t type, uint64_t serial, uint8_t payload = 0) {
    uint8_t b[14] = {};
    b[0] = type;
    for (int i = 0; i < 8; ++i)
        b[1 + i] = static_cast<uint8_t>(serial >> (8 * i));
    b[9] = payload;
    b[10] = static_cast<uint8_t>(payload * 7);
    const uint16_t check = static_cast<uint16_t>(~CalcCrc16(b, 11));
    b[11] = static_cast<uint8_t>(check & 0xFF);
    b[12] = static_cast<uint8_t>(check >> 8);
    std::string s;
    char hex[3];
    for (uint8_t v : b) {
        std::snprintf(hex, sizeof hex, "%02X", v);
        s += hex;
    }
    return s;
}

// A mode-0 sensor (type 0x10, DualCounter) with the serial number in bytes 1..3.
inline std::string SensorLine(uint32_t serial, const std::string& tail = "", char repeater = '\0',
                              uint8_t payload = 0) {
    std::string line;
    if (repeater != '\0')
        line.append(2, repeater);
    line += PacketDigits(0x10, serial & 0xFFFFFF, payload);
    return line + tail;
}

} // namespace corvane::testing
