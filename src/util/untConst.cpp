#include "util/untConst.h"

#include <algorithm>
#include <array>

namespace corvane {

const std::array<std::string_view, SensorKindCount> SensorKindNames = {
    "Unknown",     "2CntRange",  "DualCounter", "AngTemp",    "Discrete",    "AlarmTemp",
    "FireExt",     "Rotation",   "Analog",      "Analog16",   "Temperature", "Humidity",
    "PIR",         "Light",      "Marker",      "Thermistor", "TempStatus",  "CountTemp",
    "FastCntTemp", "DirCount",   "CorrAnalog",  "ProxIr",     "Tc900",       "RepeaterII",
    "Humidity2",   "DualAnalog", "CountAnalog",
};

// Code, then kind, serial mode and marker flag.
const std::array<TPacketTypeEntry, PacketTypeCount> PacketTypes = {{
    {"08", {1, 0, 1}},  {"09", {1, 0, 0}},  {"10", {2, 0, 1}},  {"11", {2, 0, 0}},
    {"19", {3, 0, 1}},  {"1A", {3, 0, 0}},  {"1F", {4, 1, 1}},  {"20", {4, 1, 0}},
    {"22", {5, 0, 1}},  {"23", {5, 0, 0}},  {"24", {6, 0, 1}},  {"25", {6, 0, 0}},
    {"26", {7, 0, 0}},  {"40", {8, 1, 1}},  {"41", {8, 1, 0}},  {"42", {9, 1, 1}},
    {"43", {9, 1, 0}},  {"47", {11, 1, 1}}, {"48", {11, 1, 0}}, {"49", {12, 1, 0}},
    {"4B", {13, 1, 1}}, {"4C", {13, 1, 0}}, {"4D", {14, 1, 0}}, {"51", {24, 0, 1}},
    {"52", {24, 0, 0}}, {"53", {10, 1, 1}}, {"54", {10, 1, 0}}, {"56", {15, 1, 1}},
    {"57", {15, 1, 0}}, {"58", {16, 0, 1}}, {"59", {16, 0, 0}}, {"60", {17, 0, 1}},
    {"61", {17, 0, 0}}, {"62", {18, 0, 1}}, {"63", {18, 0, 0}}, {"64", {19, 0, 1}},
    {"65", {19, 0, 0}}, {"66", {20, 0, 1}}, {"67", {20, 0, 0}}, {"73", {26, 0, 1}},
    {"74", {26, 0, 0}}, {"75", {25, 0, 1}}, {"76", {25, 0, 0}}, {"77", {21, 0, 0}},
    {"79", {22, 0, 0}}, {"7C", {23, 0, 1}}, {"7D", {23, 0, 0}},
}};

namespace {

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Orders a table code against a looked-up code, the latter's letters taken as upper case.
int CompareCode(const char* entry, std::string_view code) {
    for (int i = 0; i < 2; ++i) {
        unsigned char a = static_cast<unsigned char>(entry[i]);
        unsigned char b = static_cast<unsigned char>(UpperAscii(code[i]));
        if (a != b)
            return a < b ? -1 : 1;
    }
    return 0;
}

} // namespace

std::optional<TPacketType> FindPacketType(std::string_view code) {
    if (code.size() != 2)
        return std::nullopt;
    int lo = 0;
    int hi = PacketTypeCount - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = CompareCode(PacketTypes[mid].Code, code);
        if (c == 0)
            return PacketTypes[mid].Type;
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return std::nullopt;
}

void SerialToHex(int64_t serNo, char out[16]) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    uint64_t bits = static_cast<uint64_t>(serNo);
    for (int i = 15; i >= 0; --i) {
        out[i] = Digits[bits & 0xF];
        bits >>= 4;
    }
}

std::string SerialToHex(int64_t serNo) {
    char buf[16];
    SerialToHex(serNo, buf);
    return std::string(buf, sizeof buf);
}

bool IsRepeaterChar(char c) {
    // Asked for every line: one look-up instead of a search of the alphabet.
    static constexpr std::array<bool, 256> Repeater = [] {
        std::array<bool, 256> table{};
        for (const char r : RepeaterChars)
            table[static_cast<unsigned char>(r)] = true;
        return table;
    }();
    return Repeater[static_cast<unsigned char>(c)];
}

int LocatorIndex(const uint8_t* data) {
    return ((data[4] & 0x03) << 4) + (data[5] >> 4);
}

std::string LocatorChar(int n) {
    if (n < 0 || n >= static_cast<int>(RepeaterChars.size()))
        return " ";
    return std::string(1, RepeaterChars[static_cast<size_t>(n)]);
}

} // namespace corvane
