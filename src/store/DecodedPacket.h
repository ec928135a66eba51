// A packet as the intake decoded it from a receiver's line: what registration stores and what
// anything that hears of a registered read is told of it.
#pragma once

#include <cstdint>
#include <string_view>

namespace corvane {

struct TDecodedPacket {
    char RepeaterId = '\0'; // '\0': heard directly
    uint8_t Kind = 0;
    uint8_t Marked = 0;
    int64_t SerNo = 0;
    uint16_t Crc = 0; // the computed CRC-16/ARC of bytes 0..10
    uint8_t Packet[14] = {};
    uint8_t EntryId = 255;
    std::string_view EntryName;  // valid until the decoder's next line
    std::string_view SensorName; // likewise
};

} // namespace corvane
