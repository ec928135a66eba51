// Home-automation discovery: each sensor, repeater and entry point announced as a device of its
// own through retained config messages, as Home Assistant's MQTT discovery reads them
// (<DiscoveryPrefix>/sensor/<node>/<object>/config). Every entity reads one field of the
// device's retained state message, so the figures need no second stream; the station's status
// message tells whether they are current.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane {

struct TMqttSettings;

// A discovery entity: the field of the state message it shows and how to show it.
struct TDiscoveryEntity {
    std::string_view Key;   // in the object id and unique id
    std::string_view Name;  // as the home-automation system lists it under the device
    std::string_view Field; // of the state message
    std::string_view DeviceClass;
    std::string_view StateClass;
    std::string_view Unit;
};

struct TDiscoveryDevice {
    std::string_view Kind; // "sensor", "repeater", "entry"
    std::string_view Id;   // serial number in hex, repeater letter or entry number (8-bit text)
    std::string_view Name; // the device's name as shown (8-bit text)
    std::string_view Model;
    // 8-bit text, as the settings give the topic root and station: in the message it is UTF-8,
    // as the publisher sends the topic.
    std::string StateTopic;
};

using TMqttMessages = std::vector<std::pair<std::string, std::string>>;

class TDiscovery {
public:
    // settings as written in the settings file (8-bit text).
    explicit TDiscovery(const TMqttSettings& settings);

    // The entities a device of the kind has.
    static const std::vector<TDiscoveryEntity>& Entities(std::string_view kind);
    // The retained config messages (topic, payload) that announce the device's entities.
    void Messages(const TDiscoveryDevice& device, TMqttMessages& out) const;

private:
    std::string prefix_;       // UTF-8
    std::string node_;         // "corvane_<station>", in the characters an object id may hold
    std::string station_;      // 8-bit text
    std::string availability_; // 8-bit text
};

// Text reduced to what a discovery object id may hold: letters, digits and '-' as they are,
// every other byte (and '_') as '_' and two hexadecimal digits, so distinct texts stay distinct.
std::string DiscoveryId(std::string_view text);

} // namespace corvane
