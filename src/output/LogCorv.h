// The statistics log and the packet log beside the program, numbered afresh for every run and
// opened for each write only, so other programs can read them while the monitor runs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <sys/uio.h>

#include "util/untTime.h"

namespace corvane {

class TStore;

// The next free numbered name for a log: base + "_NN" + extension in the same folder.
std::string NextLogFileName(const std::string& path);

// The file layer's one write, replaceable so that tests can make the disk fill up. Defaults to
// writev(2).
using TLogWriteFn = long (*)(int fd, const iovec* parts, int count);
extern TLogWriteFn LogWriteFn;

class TLogCorv {
public:
    TLogCorv() = default;
    ~TLogCorv() { Close(); }
    TLogCorv(const TLogCorv&) = delete;
    TLogCorv& operator=(const TLogCorv&) = delete;

    enum TOpenMode { AppendOrCreate, CreateOnly };
    // 1 when opened, 0 when not, -1 (CreateOnly) when the file exists already. A file is made
    // with its header line or not at all: a failed header leaves no file behind.
    int Open(const std::string& path, std::string_view header, TOpenMode mode = AppendOrCreate);
    // text + CR LF, whole or not at all (a short write is undone); false when lost.
    bool WriteLine(std::string_view text);
    int Close(); // always 1
    bool IsOpen() const { return fd_ >= 0; }

private:
    bool WriteRecord(std::string_view text);

    int fd_ = -1;
};

// The unnumbered path a numbered log name was chosen from: "dir/base_07.LOG" -> "dir/base.LOG".
std::string LogBasePath(const std::string& numbered);

extern const char* const StatisticsLogHeader;
extern const char* const PacketLogHeader;

// One line per sensor row, all with the same time; result of Close, or 0 when not opened.
int WriteStatisticsLog(const std::string& path, const TStore& store, TDateTime now);
// now is on the run's time line (for the ages), shown the local date-time the lines carry.
void WriteStatisticsLines(TLogCorv& log, const TStore& store, TDateTime now, TDateTime shown);
// The time, ",," and the line as delivered.
int WritePacketLog(const std::string& path, std::string_view line, TDateTime now);
void WritePacketLine(TLogCorv& log, std::string_view line, TDateTime shown);

// Text between double quotes, a quote inside it doubled.
void AppendQuoted(std::string& out, std::string_view text);

// Pieces of the comma-separated lines shared by the logs and the export.
void AppendDecimal(std::string& out, int64_t value);

} // namespace corvane
