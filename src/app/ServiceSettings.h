// The settings of running unattended: section [Connections] (reconnection) and section [MQTT]
// (publishing to a message broker), read from the settings file with its usual rules.
#pragma once

#include <string>

#include "mqtt/MqttSettings.h"

namespace corvane {

class TIniFile;

TMqttSettings ReadMqttSettings(const TIniFile& file);
// Key Reconnect of [Connections]; def when it is not set.
bool ReadReconnect(const TIniFile& file, bool def);

// The machine's host name ("localhost" when the system has none).
std::string HostName();

} // namespace corvane
