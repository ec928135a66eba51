// The statistics log and the packet log beside the program, numbered afresh for every run and
// opened for each write only, so other programs can read them while the monitor runs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "util/untTime.h"

namespace corvane {

class TStore;

// The next free numbered name for a log: base + "_NN" + extension in the same folder.
std::string NextLogFileName(const std::string& path);

class TLogCorv {
public:
    TLogCorv() = default;
    ~TLogCorv() { Close(); }
    TLogCorv(const TLogCorv&) = delete;
    TLogCorv& operator=(const TLogCorv&) = delete;

    // 1 when opened (created with the header line when new, else for appending), 0 when not.
    int Open(const std::string& path, std::string_view header);
    void WriteLine(std::string_view text); // text + CR LF; failures ignored
    int Close();                           // always 1
    bool IsOpen() const { return file_ != nullptr; }

private:
    std::FILE* file_ = nullptr;
};

extern const char* const StatisticsLogHeader;
extern const char* const PacketLogHeader;

// One line per sensor row, all with the same time; result of Close, or 0 when not opened.
int WriteStatisticsLog(const std::string& path, const TStore& store, TDateTime now);
// The time, ",," and the line as delivered.
int WritePacketLog(const std::string& path, std::string_view line, TDateTime now);

// Text between double quotes, a quote inside it doubled.
void AppendQuoted(std::string& out, std::string_view text);

// Pieces of the comma-separated lines shared by the logs and the export.
void AppendDecimal(std::string& out, int64_t value);

} // namespace corvane
