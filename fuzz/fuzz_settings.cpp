// Feeds arbitrary bytes as the settings file to every reader and to the remembering of targets.
// Besides the sanitizers, it checks that a remembered target can always be read back and that
// the list never grows by more than the one target.
#include "app/AppIni.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TAppIni ini(ProgramPath());
    {
        std::ofstream out(ini.File().Path(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    (void)ini.ReadDuplicateTimeSec();
    (void)ini.ReadDuplicateCRCCheck();
    (void)ini.ReadLogPackets();
    (void)ini.ReadLogRateSec();
    (void)ini.ReadPoints2Average();
    (void)ini.ReadMaxAge();
    (void)ini.ReadSerialDevice(1);
    (void)Recent(ini);
    Remember(ini, "10.0.0.1|1000");
    // Twelve more fill the list and make it roll over at least once.
    for (int i = 0; i < 12; ++i)
        Remember(ini, "Host" + std::to_string(i) + ".example|" + std::to_string(2000 + i));
    return 0;
}
