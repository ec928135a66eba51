// Whether a window can be shown at all, decided before the window system is started: the
// toolkit ends the program with a message of its own (and a core dump) when it finds no
// display, which tells a user nothing of the service mode.
#pragma once

#include <string>

namespace corvane {

struct TDisplayEnv {
    std::string Platform;      // QT_QPA_PLATFORM
    std::string X11;           // DISPLAY
    std::string Wayland;       // WAYLAND_DISPLAY
    std::string RuntimeFolder; // XDG_RUNTIME_DIR
};

TDisplayEnv DisplayEnvOfThisProcess();

// False when nothing can show a window: no platform named, no Wayland display, and no X display
// or a local one that nothing listens on. A platform named outright (offscreen, vnc, ...) and a
// remote X display are taken at their word.
bool DisplayAvailable(const TDisplayEnv& env);

// What the program says on standard error when there is none.
constexpr char NoDisplayMessage[] = "corvane: no display found; run it on a desktop, under "
                                    "xvfb-run, or as a service with --headless";

} // namespace corvane
