#include "app/ServiceSettings.h"

#include <unistd.h>

#include "app/AppIni.h"
#include "app/SettingKeys.h"
#include "app/SettingRange.h"

namespace corvane {

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name;
}

TMqttSettings ReadMqttSettings(const TIniFile& file) {
    const std::string s = kSectionMqtt;
    TMqttSettings m;
    m.Host = file.ReadString(s, "Host", "");
    m.Port = ReadIntegerInRange(file, s, "Port", 1883, 1, 65535, &m.Warnings);
    m.Topic = file.ReadString(s, "Topic", "corvane");
    m.Station = file.ReadString(s, "Station", "");
    if (m.Station.empty())
        m.Station = HostName();
    m.ClientId = file.ReadString(s, "ClientId", "");
    if (m.ClientId.empty())
        m.ClientId = "corvane-" + m.Station;
    m.User = file.ReadString(s, "User", "");
    m.Password = file.ReadString(s, "Password", "");
    m.Tls = file.ReadBool(s, "TLS", false);
    m.CaFile = file.ReadString(s, "CAFile", "");
    // A day at most: the states are what a subscriber that joins late sees first.
    m.StateEverySec = ReadIntegerInRange(file, s, "StateEverySec", 60, 1, 86400, &m.Warnings);
    m.KeepAliveSec = ReadIntegerInRange(file, s, "KeepAliveSec", 30, 5, 3600, &m.Warnings);
    m.Lines = file.ReadBool(s, "Lines", true);
    m.Discovery = file.ReadBool(s, "Discovery", false);
    m.DiscoveryPrefix = file.ReadString(s, "DiscoveryPrefix", "homeassistant");
    if (m.DiscoveryPrefix.empty())
        m.DiscoveryPrefix = "homeassistant";
    return m;
}

bool ReadReconnect(const TIniFile& file, bool def) {
    return file.ReadBool(kSectionConnections, "Reconnect", def);
}

} // namespace corvane
