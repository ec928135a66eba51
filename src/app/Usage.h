// The two options answered before the window system starts, so that they work without a
// display: --help prints the usage, --version the program's name and version, both on standard
// output. Every other argument is left to the connection options.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvane {

// "corvane 1.5" and the like.
std::string VersionLine();

// One line per option of kOptions (app/Options.h), and where the rest is described.
std::string UsageText();

// The text to print when the arguments (after the program name) ask for help or the version;
// nullopt when the program is to start as usual. The first of the two found counts.
std::optional<std::string> EarlyAnswer(const std::vector<std::string>& args);

} // namespace corvane
