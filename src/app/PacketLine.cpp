#include "app/PacketLine.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "conn/Conn.h"
#include "util/untConst.h"
#include "util/untUtils.h"

namespace corvane {

namespace {

constexpr size_t PacketDigits = 28;

// The places of the first commas of a line, npos for those it does not have. Lines are short:
// sixteen or eight characters a step beat the library's search, set up for long texts.
void FindCommas(std::string_view line, std::array<size_t, 4>& at) {
    at.fill(std::string_view::npos);
    size_t found = 0;
    const auto take = [&](size_t base, uint64_t marks, int width) {
        for (; marks != 0 && found < at.size(); marks &= marks - 1)
            at[found++] = base + static_cast<size_t>(std::countr_zero(marks) / width);
        return found == at.size();
    };
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= line.size(); i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + i));
        const auto marks =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(','))));
        if (take(i, marks, 1))
            return;
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        constexpr uint64_t Ones = 0x0101010101010101ull;
        for (; i + 8 <= line.size(); i += 8) {
            uint64_t word;
            std::memcpy(&word, line.data() + i, 8);
            const uint64_t x = word ^ (Ones * ',');
            // Exact marks: the usual zero-byte test can mark a byte above a true one falsely.
            const uint64_t low7 = Ones * 0x7F;
            const uint64_t marks = ~(((x & low7) + low7) | x | low7);
            if (take(i, marks, 8))
                return;
        }
    }
    for (; i < line.size(); ++i)
        if (line[i] == ',' && take(i, 1, 1))
            return;
}

} // namespace

// The type code is the packet's first byte in hexadecimal: looked up once per byte value.
TPacketType PacketTypeOfByte(uint8_t typeCode) {
    static const std::array<TPacketType, 256> typeOfByte = [] {
        std::array<TPacketType, 256> types{};
        static constexpr char Hex[] = "0123456789ABCDEF";
        for (unsigned b = 0; b < 256; ++b) {
            const char code[2] = {Hex[b >> 4], Hex[b & 0xF]};
            types[b] = FindPacketType(std::string_view(code, 2)).value_or(TPacketType{});
        }
        return types;
    }();
    return typeOfByte[typeCode];
}

bool ParseEntryNumber(std::string_view text, int64_t& value) {
    int32_t v = 0; // a receiver's entry numbers are small; anything past 32 bits is no number
    if (!ParseDecimal(text, v))
        return false;
    value = v;
    return true;
}

bool TPacketDecoder::Decode(std::string_view line, const TConn* conn, TDecodedPacket& out) {
    // The first comma ends the packet digits; the next three end the tail's fields.
    std::array<size_t, 4> commas;
    FindCommas(line, commas);
    const size_t comma = commas[0];
    size_t end; // characters before the first comma: the packet digits end there
    int64_t entryNumber = 255;
    out.EntryName = {};
    out.SensorName = {};
    if (comma != std::string_view::npos) {
        end = comma;
        // The fields are found in the line itself: searched in the copy just written, each
        // read would wait for the copy's stores to land.
        const auto field = [&](size_t k) {
            if (commas[k] == std::string_view::npos)
                return std::string_view();
            const size_t from = commas[k] + 1;
            const size_t to = k + 1 < commas.size() ? commas[k + 1] : std::string_view::npos;
            return line.substr(from, to == std::string_view::npos ? to : to - from);
        };
        const char* const tail = line.data() + comma + 1;
        const std::string_view field1 = field(0);
        if (!field1.empty() && !ParseEntryNumber(field1, entryNumber))
            return Reject(TLineFate::BadEntry);
        const std::string_view field2 = field(1);
        const std::string_view field3 = field(2);
        // The names are viewed in the decoder's own copy of the tail, so that they stay valid
        // until the next line whatever becomes of this one.
        tail_.assign(tail, line.data() + line.size() - tail);
        const auto inCopy = [this, tail](std::string_view field) {
            return std::string_view(tail_.data() + (field.data() - tail), field.size());
        };
        if (!field2.empty()) {
            out.EntryName = inCopy(field2);
        } else if (entryNumber != 255) {
            const int n = std::snprintf(entryName_, sizeof entryName_, "Entry %lld",
                                        static_cast<long long>(entryNumber));
            out.EntryName = std::string_view(entryName_, static_cast<size_t>(n));
        }
        out.SensorName = field3.empty() ? std::string_view() : inCopy(field3);
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
        return Reject(TLineFate::NoPacket);
    const std::string_view digits = line.substr(end - PacketDigits, PacketDigits);
    // Written in place: on a refused line the packet bytes mean nothing, like the other fields.
    if (!HexToBytesChecked(digits, out.Packet, sizeof out.Packet))
        return Reject(TLineFate::NoPacket);
    const uint16_t crc = CalcPacketCrc16(out.Packet);
    const uint16_t check = static_cast<uint16_t>(out.Packet[11] + 256 * out.Packet[12]);
    if (static_cast<uint16_t>(crc + check) != 0xFFFF)
        return Reject(TLineFate::BadCrc);
    out.Crc = crc;

    out.RepeaterId = '\0';
    if (end >= PacketDigits + 2) {
        const char marker = line[end - PacketDigits - 2];
        if (IsRepeaterChar(marker) && line[end - PacketDigits - 1] == marker)
            out.RepeaterId = marker;
    }

    const TPacketType t = PacketTypeOfByte(out.Packet[0]);
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
