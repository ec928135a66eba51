#include "app/FilePlaces.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace corvane {

namespace fs = std::filesystem;

namespace {

const char* const kName = "corvane";
const char* const kHistoryFileName = "corvane_history.db";

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The program's name without anything from its first dot on, as the log names have it.
std::string BaseNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find('.', 1);
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string Join(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + '/' + name;
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// An installed tree: <prefix>/bin/corvane with <prefix>/share/corvane beside the bin folder.
std::string InstalledShare(const std::string& programFolder) {
    const std::string share = Join(FolderOf(programFolder), "share/corvane");
    return IsFolder(share) ? share : std::string();
}

std::string HomeFolder(const TEnvLookup& env) {
    std::string home = env("HOME");
    if (!home.empty())
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

// An XDG base folder: the variable when it holds an absolute path, the default under the home
// folder otherwise (a relative value is to be ignored).
std::string XdgFolder(const TEnvLookup& env, const char* variable, const char* underHome) {
    const std::string value = env(variable);
    if (!value.empty() && value.front() == '/')
        return value;
    return Join(HomeFolder(env), underHome);
}

std::string StateFileFor(const TEnvLookup& env) {
    return Join(Join(XdgFolder(env, "XDG_STATE_HOME", ".local/state"), kName), "window.ini");
}

TFilePlaces InOneFolder(TPlaceRule rule, const std::string& configFolder,
                        const std::string& dataFolder, const std::string& helpFile) {
    TFilePlaces p;
    p.Rule = rule;
    p.ConfigFolder = configFolder;
    p.DataFolder = dataFolder;
    p.SettingsFile = Join(configFolder, std::string(kName) + ".INI");
    p.LogBase = Join(dataFolder, kName);
    p.ErrorReport = Join(dataFolder, std::string(kName) + ".err");
    p.HistoryFile = Join(dataFolder, kHistoryFileName);
    p.HelpFile = helpFile;
    return p;
}

} // namespace

TFilePlaces BesideProgram(const std::string& programPath) {
    const std::string folder = FolderOf(programPath);
    const std::string base = Join(folder, BaseNameOf(programPath));
    TFilePlaces p;
    p.ConfigFolder = p.DataFolder = folder;
    // The settings file replaces only the last extension, the logs everything from the first
    // dot: both as the program has always named them.
    const size_t dot = programPath.rfind('.');
    const size_t slash = programPath.rfind('/');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    p.SettingsFile = (hasExt ? programPath.substr(0, dot) : programPath) + ".INI";
    p.LogBase = base;
    p.ErrorReport = base + ".err";
    p.HistoryFile = Join(folder, kHistoryFileName);
    p.HelpFile = Join(folder, "help/Corvane.html");
    return p;
}

TFilePlaces ChooseFilePlaces(const std::string& programPath, bool programFolderWritable,
                             const TEnvLookup& env) {
    const std::string share = InstalledShare(FolderOf(programPath));
    const std::string help =
        share.empty() ? BesideProgram(programPath).HelpFile : Join(share, "Corvane.html");
    TFilePlaces p;
    if (const std::string home = env("CORVANE_HOME"); !home.empty())
        p = InOneFolder(TPlaceRule::CorvaneHome, home, home, help);
    else if (!share.empty() || !programFolderWritable)
        p = InOneFolder(TPlaceRule::UserFolders,
                        Join(XdgFolder(env, "XDG_CONFIG_HOME", ".config"), kName),
                        Join(XdgFolder(env, "XDG_DATA_HOME", ".local/share"), kName), help);
    else
        p = BesideProgram(programPath);
    p.StateFile = StateFileFor(env);
    return p;
}

TFilePlaces FilePlacesForThisRun(const std::string& programPath) {
    const bool writable = access(FolderOf(programPath).c_str(), W_OK) == 0;
    return ChooseFilePlaces(programPath, writable, [](const char* name) {
        const char* value = std::getenv(name);
        return value ? std::string(value) : std::string();
    });
}

bool MakeFolder(const std::string& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    return IsFolder(folder);
}

std::string CannotWriteTo(const std::string& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!ec && !IsFolder(folder))
        ec = std::make_error_code(std::errc::not_a_directory);
    if (ec)
        return "cannot write to " + folder + ": " + std::strerror(ec.value());
    const std::string probe = Join(folder, ".corvane-probe-" + std::to_string(getpid()));
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return "cannot write to " + folder + ": " + std::strerror(errno);
    ::close(fd);
    ::unlink(probe.c_str());
    return {};
}

std::string DescribePlaces(const TFilePlaces& places) {
    return "Settings: " + places.SettingsFile + "\nLogs: " + places.DataFolder;
}

} // namespace corvane
