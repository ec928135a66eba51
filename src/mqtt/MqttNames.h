// The names that go to a broker: topic levels, the topic root, the station and the client id.
// A broker refuses a topic that holds a wildcard or a NUL, and wants every name in UTF-8; the
// settings file and the radio give 8-bit Latin-1 text. Levels that come from the radio are
// percent-encoded so that every device keeps a valid topic of its own; names from the settings
// that cannot make valid topics are refused before anything is sent.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

struct TMqttSettings;

// One topic level from radio text: '#', '+', '/', '%', control characters and bytes above
// 0x7E as "%XX" (upper-case hex), every other byte as it is. Distinct texts stay distinct.
std::string TopicLevel(std::string_view latin1);

// Empty when Topic, Station and ClientId can form valid topics and a client id; otherwise the
// sentence that says which setting cannot, e.g. "[MQTT] Station=a+b holds '+', which no topic
// may hold".
std::string MqttNamesProblem(const TMqttSettings& settings);

// MqttNamesProblem, or with TLS a CAFile that cannot be read: what keeps publishing from
// starting at all, said plainly; empty when nothing does.
std::string MqttSettingsProblem(const TMqttSettings& settings);

// Topic, Station, ClientId and User as UTF-8, as the broker wants them; the password is passed
// on byte for byte.
TMqttSettings MqttSettingsAsUtf8(const TMqttSettings& settings);

} // namespace corvane
