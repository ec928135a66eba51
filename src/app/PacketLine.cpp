#include "app/PacketLine.h"

#include <charconv>
#include <cstdio>

#include "conn/Conn.h"
#include "util/untConst.h"
#include "util/untUtils.h"

namespace corvane {

namespace {
constexpr size_t PacketDigits = 28;
}

bool ParseEntryNumber(std::string_view text, int64_t& value) {
    int32_t v = 0; // a receiver's entry numbers are small; anything past 32 bits is no number
    if (!ParseDecimal(text, v))
        return false;
    value = v;
    return true;
}

bool TPacketDecoder::Decode(std::string_view line, const TConn* conn, TDecodedPacket& out) {
    const size_t comma = line.find(',');
    size_t end; // characters before the first comma: the packet digits end there
    int64_t entryNumber = 255;
    out.EntryName = {};
    out.SensorName = {};
    if (comma != std::string_view::npos) {
        end = comma;
        tail_.SetText(line.substr(comma + 1));
        const std::string_view field1 = tail_.Token(1);
        if (!field1.empty() && !ParseEntryNumber(field1, entryNumber))
            return false;
        const std::string_view field2 = tail_.Token(2);
        if (!field2.empty()) {
            out.EntryName = field2;
        } else if (entryNumber != 255) {
            const int n = std::snprintf(entryName_, sizeof entryName_, "Entry %lld",
                                        static_cast<long long>(entryNumber));
            out.EntryName = std::string_view(entryName_, static_cast<size_t>(n));
        }
        out.SensorName = tail_.Token(3);
    } else {
        end = line.size();
        const int position =
            conn != nullptr && conn->CloseItem != nullptr ? conn->CloseItem->Position() : -1;
        if (position >= 0)
            entryNumber = 254 - position;
        description_ = conn != nullptr ? conn->GetDescription() : std::string();
        out.EntryName = description_;
    }
    out.EntryId = static_cast<uint8_t>(entryNumber & 0xFF);

    if (end < PacketDigits)
        return false;
    const std::string_view digits = line.substr(end - PacketDigits, PacketDigits);
    if (!IsHexText(digits))
        return false;
    HexToBytes(digits, out.Packet, sizeof out.Packet);
    const uint16_t crc = CalcCrc16(out.Packet, 11);
    const uint16_t check = static_cast<uint16_t>(out.Packet[11] + 256 * out.Packet[12]);
    if (static_cast<uint16_t>(crc + check) != 0xFFFF)
        return false;
    out.Crc = crc;

    out.RepeaterId = '\0';
    if (end >= PacketDigits + 2) {
        const char marker = line[end - PacketDigits - 2];
        if (IsRepeaterChar(marker) && line[end - PacketDigits - 1] == marker)
            out.RepeaterId = marker;
    }

    const std::optional<TPacketType> type = FindPacketType(digits.substr(0, 2));
    const TPacketType t = type.value_or(TPacketType{});
    out.Kind = t.Kind;
    out.Marked = t.Kind != 0 ? t.Marked : 0;
    const uint8_t* b = out.Packet;
    uint64_t serial = 0;
    if (t.SerialMode == 1) {
        for (int i = 8; i >= 1; --i)
            serial = (serial << 8) | b[i];
    } else {
        serial = b[1] | (uint64_t{b[2]} << 8) | (uint64_t{b[3]} << 16) |
                 (uint64_t{static_cast<uint8_t>(b[4] & 0xFC)} << 24);
    }
    out.SerNo = static_cast<int64_t>(serial);
    return true;
}

} // namespace corvane
