// What the monitor is started with: the input, cut at NUL bytes, is the program's path, then
// the values of CORVANE_HOME, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_STATE_HOME and HOME, then the
// command-line arguments. Besides the sanitizers, it checks that every file lies in the folder
// it is reported in and that every connection asked for is either a serial port or a TCP/IP
// target, with its texts cut as the options say.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/CmdLine.h"
#include "app/FilePlaces.h"

using namespace corvane;

namespace {

// path is folder + "/" + a name without a slash (or folder + name when folder ends in "/"), or
// a bare name in the current folder ".".
bool InFolder(const std::string& path, const std::string& folder) {
    if (folder == "." && !path.empty() && path.find('/') == std::string::npos)
        return true;
    if (path.compare(0, folder.size(), folder) != 0)
        return false;
    std::string rest = path.substr(folder.size());
    if (folder.empty() || folder.back() != '/') {
        if (rest.empty() || rest[0] != '/')
            return false;
        rest.erase(0, 1);
    }
    return !rest.empty() && rest.find('/') == std::string::npos;
}

void CheckPlaces(const std::vector<std::string>& fields) {
    static const char* const Names[] = {"CORVANE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                        "XDG_STATE_HOME", "HOME"};
    auto env = [&](const char* name) {
        for (size_t k = 0; k < 5; ++k)
            if (std::strcmp(name, Names[k]) == 0)
                return k + 1 < fields.size() ? fields[k + 1] : std::string();
        abort(); // a variable the rule does not document
    };
    // The program's path is the running file's, as the system gives it: absolute and
    // canonical, never a folder.
    const std::string& program = fields[0];
    if (program.size() < 2 || program[0] != '/' || program.back() == '/' ||
        program.find("//") != std::string::npos || program.find("/./") != std::string::npos ||
        program.find("/../") != std::string::npos || program.ends_with("/.") ||
        program.ends_with("/.."))
        return;
    for (bool writable : {false, true}) {
        TFilePlaces p = ChooseFilePlaces(program, writable, env);
        if (!InFolder(p.SettingsFile, p.ConfigFolder) || !InFolder(p.LogBase, p.DataFolder) ||
            !InFolder(p.ErrorReport, p.DataFolder) || p.StateFile.empty() || p.HelpFile.empty())
            abort();
        if (!env("CORVANE_HOME").empty() && p.Rule != TPlaceRule::CorvaneHome)
            abort();
    }
}

void CheckCommandLine(const std::vector<std::string>& args) {
    auto targets = ParseCommandLine(args);
    if (targets.size() > args.size())
        abort();
    for (const auto& t : targets) {
        const bool serial = t.SerialPort != 0;
        if (serial && (t.SerialPort < 0 || !t.Address.empty() || t.Port != 0))
            abort();
        if (!serial && t.Address.size() > 100)
            abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            fields.emplace_back();
        else
            fields.back() += static_cast<char>(data[i]);
    }
    CheckPlaces(fields);
    if (fields.size() > 6)
        CheckCommandLine(std::vector<std::string>(fields.begin() + 6, fields.end()));
    return 0;
}
