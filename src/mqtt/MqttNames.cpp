#include "mqtt/MqttNames.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "mqtt/MqttSettings.h"
#include "util/JsonText.h"

namespace corvane {

namespace {

// MQTT limits a topic or a client id to 65,535 bytes; the longest suffix added is a
// sensor's "/sensor/" and 16 digits, and the client id needs no room of its own.
constexpr size_t kMaxNameBytes = 65535 - 64;

// A byte that can stand for itself in a topic level.
bool Plain(unsigned char c) {
    return c > 0x20 && c < 0x7F && c != '#' && c != '+' && c != '/' && c != '%';
}

std::string Shown(std::string_view text) {
    std::string out;
    for (const unsigned char c : text) {
        if (c == '\0')
            out += "\\0";
        else
            out += char(c);
    }
    return out;
}

enum class TNameUse { Root, Level, ClientId };

// What keeps text from serving as it is used, or nothing. A client id is no topic: only what
// no broker takes is refused there.
std::string_view Flaw(std::string_view text, TNameUse use) {
    if (text.empty())
        return "is empty";
    for (const char c : text) {
        if (c == '\0')
            return "holds a NUL character";
        if (use == TNameUse::ClientId)
            continue;
        if (c == '+')
            return "holds '+', which no topic may hold";
        if (c == '#')
            return "holds '#', which no topic may hold";
        if (c == '/' && use == TNameUse::Level)
            return "holds '/', which would make it more than one topic level";
    }
    if (Latin1AsUtf8(text).size() > kMaxNameBytes)
        return "is longer than a topic may be";
    return {};
}

} // namespace

std::string TopicLevel(std::string_view latin1) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(latin1.size());
    for (const unsigned char c : latin1) {
        if (Plain(c)) {
            out += char(c);
            continue;
        }
        out += '%';
        out += Hex[c >> 4];
        out += Hex[c & 0xF];
    }
    return out;
}

std::string MqttSettingsProblem(const TMqttSettings& settings) {
    if (std::string problem = MqttNamesProblem(settings); !problem.empty())
        return problem;
    if (!settings.Tls || settings.CaFile.empty())
        return {};
    if (std::ifstream(settings.CaFile))
        return {};
    return "CAFile " + settings.CaFile + " cannot be read: " + std::strerror(errno);
}

std::string MqttNamesProblem(const TMqttSettings& settings) {
    const struct {
        const char* Key;
        const std::string& Value;
        TNameUse Use;
    } names[] = {{"Topic", settings.Topic, TNameUse::Root},
                 {"Station", settings.Station, TNameUse::Level},
                 {"ClientId", settings.ClientId, TNameUse::ClientId}};
    for (const auto& n : names) {
        const std::string_view flaw = Flaw(n.Value, n.Use);
        if (!flaw.empty())
            return "[MQTT] " + std::string(n.Key) + "=" + Shown(n.Value) + " " + std::string(flaw);
    }
    if (settings.Discovery) {
        const std::string_view flaw = Flaw(settings.DiscoveryPrefix, TNameUse::Root);
        if (!flaw.empty())
            return "[MQTT] DiscoveryPrefix=" + Shown(settings.DiscoveryPrefix) + " " +
                   std::string(flaw);
    }
    return {};
}

TMqttSettings MqttSettingsAsUtf8(const TMqttSettings& settings) {
    TMqttSettings out = settings;
    out.Topic = Latin1AsUtf8(settings.Topic);
    out.Station = Latin1AsUtf8(settings.Station);
    out.ClientId = Latin1AsUtf8(settings.ClientId);
    out.User = Latin1AsUtf8(settings.User);
    return out;
}

} // namespace corvane
