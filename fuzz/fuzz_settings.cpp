// Feeds arbitrary bytes as the settings file to every reader and to the remembering of targets.
// Besides the sanitizers, it checks that a remembered target can always be read back, that the
// list never grows by more than the one target, and that remembering targets leaves every other
// section (tuning, alerts, publishing, reconnection) reading as it did.
#include "app/AppIni.h"
#include "app/ServiceSettings.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace corvane;

namespace {

std::string folder;

// One folder per fuzzing process, on the memory file system when there is one: the writer
// syncs every file it replaces. It goes when the process ends.
const std::string& ProgramPath() {
    static const std::string path = [] {
        std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        folder = base + "/corvane-fuzz-XXXXXX";
        if (!mkdtemp(folder.data()))
            abort();
        atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
        return folder + "/corvane.exe";
    }();
    return path;
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::vector<std::string> Recent(const TAppIni& ini) {
    std::vector<std::string> list;
    ini.ReadRecentAddresses(list);
    return list;
}

void Remember(TAppIni& ini, const std::string& text) {
    size_t before = Recent(ini).size();
    try {
        ini.AddRecentAddress(text);
    } catch (const EIniWriteError&) {
        return;
    }
    auto after = Recent(ini);
    bool found = false;
    for (const auto& entry : after)
        found = found || SameText(entry, text);
    if (!found || after.size() > before + 1)
        abort();
}

// Everything read from outside the list of targets, to compare before and after the writer.
struct TOtherSections {
    int32_t DuplicateTimeSec, LogRateSec, Points2Average, MaxAge;
    bool DuplicateCRCCheck, LogPackets, Reconnect;
    TAlertSettings Alerts;
    TMqttSettings Mqtt;
    std::string SerialDevice;

    bool operator==(const TOtherSections& o) const {
        const auto& a = Alerts;
        const auto& m = Mqtt;
        return DuplicateTimeSec == o.DuplicateTimeSec && LogRateSec == o.LogRateSec &&
               Points2Average == o.Points2Average && MaxAge == o.MaxAge &&
               DuplicateCRCCheck == o.DuplicateCRCCheck && LogPackets == o.LogPackets &&
               Reconnect == o.Reconnect && a.LateFactor == o.Alerts.LateFactor &&
               a.SilentFactor == o.Alerts.SilentFactor && a.AlertMinSec == o.Alerts.AlertMinSec &&
               a.Alerts == o.Alerts.Alerts && m.Host == o.Mqtt.Host && m.Port == o.Mqtt.Port &&
               m.Topic == o.Mqtt.Topic && m.Station == o.Mqtt.Station &&
               m.ClientId == o.Mqtt.ClientId && m.User == o.Mqtt.User &&
               m.Password == o.Mqtt.Password && m.Tls == o.Mqtt.Tls && m.CaFile == o.Mqtt.CaFile &&
               m.StateEverySec == o.Mqtt.StateEverySec && SerialDevice == o.SerialDevice;
    }
};

TOtherSections ReadOthers(const TAppIni& ini) {
    TOtherSections o{ini.ReadDuplicateTimeSec(),       ini.ReadLogRateSec(),
                     ini.ReadPoints2Average(),         ini.ReadMaxAge(),
                     ini.ReadDuplicateCRCCheck(),      ini.ReadLogPackets(),
                     ReadReconnect(ini.File(), false), ini.ReadAlertSettings(),
                     ReadMqttSettings(ini.File()),     ini.ReadSerialDevice(1)};
    // Defaults that fill in for an empty value are never empty themselves.
    if (o.Mqtt.Topic.size() > 2047 || o.Mqtt.Station.empty() || o.Mqtt.ClientId.empty())
        abort();
    return o;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TAppIni ini(ProgramPath());
    {
        std::ofstream out(ini.File().Path(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    const TOtherSections before = ReadOthers(ini);
    (void)Recent(ini);
    Remember(ini, "10.0.0.1|1000");
    // Twelve more fill the list and make it roll over at least once.
    for (int i = 0; i < 12; ++i)
        Remember(ini, "Host" + std::to_string(i) + ".example|" + std::to_string(2000 + i));
    if (!(ReadOthers(ini) == before))
        abort();
    return 0;
}
