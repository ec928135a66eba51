// The receiver's line format: up to 28 hexadecimal digits of a 14-byte packet with its check word,
// an optional repeater marker before them and an optional comma tail with the entry number,
// entry name and sensor name.
//
//   ... text ... [rr] 28 upper-case hex digits (byte 0 first, high digit first)
//   [,entry,name,sensor]
//
// The 14 packet bytes:
//
//   byte   0    1    2    3    4    5    6    7    8    9   10   11   12   13
//        +----+----+----+----+----+----+----+----+----+----+----+----+----+----+
//        | TT | S0 | S1 | S2 | S3 | S4 | S5 | S6 | S7 | .. | .. | CL | CH | -- |
//        +----+----+----+----+----+----+----+----+----+----+----+----+----+----+
//        |<---------------------- CRC-16/ARC ------------------->|<- check ->|
//
//   TT     type code: its two digits as written key the packet type table (kind, serial mode,
//          marker); a code not in the table is kind 0, serial mode 0, no marker
//   S0..S7 serial number, least significant byte first:
//            serial mode 0: S0 S1 S2 and the upper six bits of S3 (byte 4 AND 0xFC)
//            serial mode 1: S0 .. S7, all 64 bits, nothing masked
//          (a RepeaterII keeps its 6-bit locator in byte 4 bits 0-1 and byte 5 bits 4-7)
//   0..10  the bytes the CRC covers, and the 11 bytes kept with the sensor as its data
//   CL CH  check word, little-endian: valid when CRC + check word = 0xFFFF in 16 bits
//   --     byte 13, not interpreted
//   rr     two equal repeater characters right before the digits name the relaying repeater
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "conn/LinkStats.h"
#include "store/DecodedPacket.h"
#include "util/untConst.h"
#include "util/untToken.h"

namespace corvane {

class TConn;

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

// The packet type its first byte names (kind 0, serial mode 0, no marker for a code not in the
// table).
TPacketType PacketTypeOfByte(uint8_t typeCode);

// The entry number of field 1: an optionally signed decimal integer; false when it is none.
bool ParseEntryNumber(std::string_view text, int64_t& value);

} // namespace corvane
