#include "app/Display.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace corvane {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Whether something listens on a unix socket, at a path or (with a leading NUL) in the
// abstract name space, where X servers also listen.
bool Listens(const std::string& name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.data(), name.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return true; // cannot tell: let the toolkit try
    const auto size = socklen_t(offsetof(sockaddr_un, sun_path) + name.size());
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0;
    ::close(fd);
    return ok;
}

// A display on this machine (":0", ":1.0", "unix:2"): its number, or -1.
int LocalDisplayNumber(const std::string& display) {
    std::string rest = display;
    if (rest.rfind("unix:", 0) == 0)
        rest = rest.substr(4);
    if (rest.empty() || rest[0] != ':')
        return -1;
    char* end = nullptr;
    const long number = std::strtol(rest.c_str() + 1, &end, 10);
    if (end == rest.c_str() + 1 || (*end != '\0' && *end != '.') || number < 0)
        return -1;
    return int(number);
}

} // namespace

TDisplayEnv DisplayEnvOfThisProcess() {
    return {Env("QT_QPA_PLATFORM"), Env("DISPLAY"), Env("WAYLAND_DISPLAY"), Env("XDG_RUNTIME_DIR")};
}

bool DisplayAvailable(const TDisplayEnv& env) {
    if (!env.Platform.empty() || !env.Wayland.empty())
        return true;
    if (env.X11.empty())
        return false;
    const int number = LocalDisplayNumber(env.X11);
    if (number < 0)
        return true; // a display on another machine: only the toolkit can tell
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    return Listens(path) || Listens(std::string(1, '\0') + path);
}

} // namespace corvane
