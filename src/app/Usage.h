// The two options answered before the window system starts, so that they work without a
// display: --help prints the usage, --version the program's name and version, both on standard
// output. Every other argument is left to the connection options.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvane {

// The id the desktop knows the program by, the same everywhere: the menu entry's file name
// (<id>.desktop), the AppStream metainfo's id, the icon's name and the window's desktop file
// name, by which a Wayland shell matches the window to its menu entry.
constexpr char ApplicationId[] = "org.example.corvane";

// "corvane 1.5" and the like.
std::string VersionLine();

// One line per option of kOptions (app/Options.h), and where the rest is described.
std::string UsageText();

// The text to print when the arguments (after the program name) ask for help or the version;
// nullopt when the program is to start as usual. The first of the two found counts.
std::optional<std::string> EarlyAnswer(const std::vector<std::string>& args);

} // namespace corvane
