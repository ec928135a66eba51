// The settings of running unattended: section [Connections] (reconnection) and section [MQTT]
// (publishing to a message broker), read from the settings file with its usual rules.
#pragma once

#include <string>
#include <vector>

namespace corvane {

class TIniFile;

struct TMqttSettings {
    std::string Host; // empty: no publishing
    int Port = 1883;
    std::string Topic = "corvane";
    std::string Station;  // default: the machine's host name
    std::string ClientId; // default: "corvane-" + Station
    std::string User;
    std::string Password;
    bool Tls = false;
    std::string CaFile;
    int StateEverySec = 60;
    // A Port or StateEverySec out of range (1..65535, 1..86400) is replaced by its default and
    // said here, for the log.
    std::vector<std::string> Warnings;
};

TMqttSettings ReadMqttSettings(const TIniFile& file);
// Key Reconnect of [Connections]; def when it is not set.
bool ReadReconnect(const TIniFile& file, bool def);

// The machine's host name ("localhost" when the system has none).
std::string HostName();

} // namespace corvane
