// Sources that send recorded text: a packet log written by the monitor, and a test script.
#pragma once

#include "LineSource.h"

#include <fstream>
#include <string_view>

namespace corvane::sim {

// Seconds since 2000-01-01 of a "mm/dd/yy hh:nn:ss" time (any single separators); nothing when
// the text is not such a time.
std::optional<double> ParseLogTime(std::string_view text);

// One line of a packet log: the time column, two commas, the received line. The header and
// anything else give nothing.
struct LogLine {
    double Time = 0;
    std::string Line;
};
std::optional<LogLine> ParseLogLine(std::string_view text);

// Replays a packet log, keeping the gaps of its time column.
class ReplaySource : public LineSource {
public:
    ReplaySource(const std::string& path, bool crLf);
    bool IsOpen() const { return FFile.is_open(); }
    std::optional<Emission> Next() override;
    int Skipped() const { return FSkipped; }

private:
    std::ifstream FFile;
    std::string FEnd;
    std::optional<double> FFirst;
    double FLast = 0;
    int FSkipped = 0;
};

// Sends the lines of a script. "sleep MS" waits, "raw TEXT" sends TEXT without a line end,
// "close" drops the connection; every other line is sent as it stands, with a line end.
class ScriptSource : public LineSource {
public:
    ScriptSource(std::vector<Emission> steps) : FSteps(std::move(steps)) {}
    std::optional<Emission> Next() override;

private:
    std::vector<Emission> FSteps;
    size_t FNext = 0;
};

// Reads a script; on a malformed "sleep" line, error names the line.
std::optional<std::vector<Emission>> ParseScript(std::istream& in, bool crLf, std::string& error);

} // namespace corvane::sim
