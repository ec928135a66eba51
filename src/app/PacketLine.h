// The receiver's line format: up to 28 hexadecimal digits of a 14-byte packet with its check word,
// an optional repeater marker before them and an optional comma tail with the entry number,
// entry name and sensor name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "conn/LinkStats.h"
#include "util/untToken.h"

namespace corvane {

class TConn;

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

// Decodes lines one after another, keeping its working storage between them so that a steady
// stream of lines allocates nothing.
class TPacketDecoder {
public:
    // False when the line fails a check. conn is asked for its Close-entry position and its
    // description when the line has no comma; it may be null (no entry, empty description).
    bool Decode(std::string_view line, const TConn* conn, TDecodedPacket& out);
    // Why the last line that Decode turned down failed: the first check it did not pass.
    TLineFate Rejection() const { return rejection_; }

private:
    bool Reject(TLineFate why) {
        rejection_ = why;
        return false;
    }

    TLineFate rejection_ = TLineFate::NoPacket;
    std::string tail_;        // the line's comma tail, which the names are views of
    char entryName_[32] = {}; // "Entry " and any 32-bit number, whole
    std::string description_;
};

// The entry number of field 1: an optionally signed decimal integer; false when it is none.
bool ParseEntryNumber(std::string_view text, int64_t& value);

} // namespace corvane
