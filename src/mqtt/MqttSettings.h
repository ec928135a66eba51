// What publishing to a broker is told to do: section [MQTT] of the settings file, read by the
// program's settings code and handed in.
#pragma once

#include <string>
#include <vector>

namespace corvane {

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
    // The keep-alive asked of the broker: a run that goes without a word is given up (and its
    // last will sent) after one and a half times this.
    int KeepAliveSec = 30;
    // Every line the connections deliver goes out too, to <Topic>/<Station>/line.
    bool Lines = true;
    // Each device announced to home-automation systems by retained discovery messages under
    // <DiscoveryPrefix>/.
    bool Discovery = false;
    std::string DiscoveryPrefix = "homeassistant";
    // A Port, StateEverySec or KeepAliveSec out of range (1..65535, 1..86400, 5..3600) is replaced
    // by its default and said here, for the log.
    std::vector<std::string> Warnings;
};

} // namespace corvane
