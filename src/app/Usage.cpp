#include "app/Usage.h"

#include "CorvaneVersion.h"
#include "app/Options.h"

namespace corvane {

namespace {

// The column where the descriptions begin.
constexpr size_t kDescriptionColumn = 24;

std::string OptionLine(const TOption& option) {
    std::string line = "  ";
    line += option.Name;
    line += option.Argument;
    line.append(line.size() < kDescriptionColumn ? kDescriptionColumn - line.size() : 1, ' ');
    line += option.Description;
    if (option.Use == TOptionUse::Window)
        line += " (the window only)";
    return line + "\n";
}

} // namespace

std::string VersionLine() {
    return std::string("corvane ") + CORVANE_VERSION;
}

std::string UsageText() {
    std::string text = "Usage: corvane [option...]\n"
                       "Monitors the packets of a wireless sensor network that a receiving "
                       "station forwards.\n"
                       "\n";
    for (const TOption& option : kOptions)
        text += OptionLine(option);
    return text + "\n"
                  "CORVANE_HOME=<folder> keeps the settings, logs and error reports in that "
                  "folder.\n"
                  "man corvane describes the settings file, where files go, signals and exit "
                  "codes.\n";
}

std::optional<std::string> EarlyAnswer(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        const TOption* option = FindOption(arg);
        if (option != nullptr && option->Kind == TOptionKind::Help)
            return UsageText();
        if (option != nullptr && option->Kind == TOptionKind::Version)
            return VersionLine() + "\n";
    }
    return std::nullopt;
}

} // namespace corvane
