#include "output/LogCorv.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "store/ActivityStore.h"
#include "util/untConst.h"
#include "util/untUtils.h"

namespace corvane {

namespace fs = std::filesystem;

const char* const StatisticsLogHeader =
    "\"Time\",\"Serial No\",\"Name\",\"Kind\",\"Age\",\"Total Count\",\"Dup Count\","
    "\"Run Avg Age\",\"Max Gap\",\"Min Gap\"";
const char* const PacketLogHeader = "\"Time\",\"Name\",\"Packet\"";

namespace {
long SystemWrite(int fd, const iovec* parts, int count) {
    return static_cast<long>(::writev(fd, parts, count));
}
} // namespace

TLogWriteFn LogWriteFn = SystemWrite;

namespace {

constexpr std::string_view LineEnd = "\r\n";

// The run number of a matching log name: the digits between the last "_" and the extension.
// Anything else there (a letter, nothing, a number too large to continue from) is not a run.
bool ReadRunNumber(std::string_view middle, uint64_t& number) {
    size_t underscore = middle.rfind('_');
    std::string_view digits =
        middle.substr(underscore == std::string_view::npos ? 0 : underscore + 1);
    if (digits.empty())
        return false;
    for (char c : digits)
        if (c < '0' || c > '9')
            return false;
    uint32_t value = 0;
    if (!ParseDecimal(digits, value))
        return false;
    number = value;
    return true;
}

// The largest run number among the names in dir matching base + "_*" + ext; 0 when none.
uint64_t HighestRunNumber(const std::string& dir, std::string_view base, std::string_view ext) {
    std::error_code ec;
    fs::directory_iterator it(dir.empty() ? fs::path(".") : fs::path(dir), ec);
    uint64_t highest = 0;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() < base.size() + 1 + ext.size() || name.compare(0, base.size(), base) != 0 ||
            name[base.size()] != '_' || !name.ends_with(ext))
            continue;
        std::string_view view(name);
        std::string_view middle =
            view.substr(base.size() + 1, view.size() - base.size() - 1 - ext.size());
        uint64_t number = 0;
        if (ReadRunNumber(middle, number) && number > highest)
            highest = number;
    }
    return highest;
}

// "%3.1f" with the system's decimal separator; written without the C library's locale.
void AppendRunAvg(std::string& out, float value) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer,
                      HalfAwayFromZero(static_cast<double>(value), 1), std::chars_format::fixed, 1);
    size_t n = static_cast<size_t>(result.ptr - buffer);
    for (size_t i = 0; i < n; ++i)
        if (buffer[i] == '.')
            buffer[i] = FormatSettings.DecimalSeparator;
    if (n < 3)
        out.append(3 - n, ' ');
    out.append(buffer, n);
}

// Whole seconds from last to now, cut toward zero; held within 64 bits whatever the times.
int64_t AgeSeconds(TDateTime last, TDateTime now) {
    double seconds = std::trunc((now - last) * 86400.0);
    if (std::isnan(seconds))
        return 0;
    if (seconds >= 9.2e18)
        return INT64_MAX;
    if (seconds <= -9.2e18)
        return INT64_MIN;
    return static_cast<int64_t>(seconds);
}

void AppendStatisticsLine(std::string& out, std::string_view time, const TSensor& sensor,
                          TDateTime now) {
    char hex[16];
    SerialToHex(sensor.SerNo, hex);
    const TStats& stats = sensor.Stats;
    out.assign(time);
    out += ",\"";
    out.append(hex, sizeof hex);
    out += "\",";
    AppendQuoted(out, sensor.Name.View());
    out += ',';
    AppendQuoted(out, SensorKindName(sensor.Kind));
    out += ',';
    AppendDecimal(out, AgeSeconds(stats.LastTime, now));
    out += ',';
    AppendDecimal(out, stats.Count);
    out += ',';
    AppendDecimal(out, stats.Dups);
    out += ',';
    AppendRunAvg(out, stats.RunAvg);
    out += ',';
    AppendDecimal(out, stats.MaxGap);
    out += ',';
    // 65535 stands for "no gap yet"; the log shows that as 0.
    AppendDecimal(out, stats.MinGap == 65535 ? 0 : stats.MinGap);
}

} // namespace

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (size_t start = 0;;) {
        size_t quote = text.find('"', start);
        if (quote == std::string_view::npos) {
            out.append(text.substr(start));
            break;
        }
        out.append(text.substr(start, quote + 1 - start));
        out += '"';
        start = quote + 1;
    }
    out += '"';
}

void AppendDecimal(std::string& out, int64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, static_cast<size_t>(result.ptr - buffer));
}

std::string NextLogFileName(const std::string& path) {
    size_t slash = path.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string dir = path.substr(0, nameStart);
    std::string name = path.substr(nameStart);
    size_t dot = name.find('.');
    if (dot == std::string::npos) {
        dot = name.size();
        name += ".LOG";
    }
    std::string base = name.substr(0, dot);
    std::string ext = name.substr(dot);

    uint64_t next = HighestRunNumber(dir, base, ext) + 1;
    char number[24];
    int n = std::snprintf(number, sizeof number, "%2.2llu", static_cast<unsigned long long>(next));
    return dir + base + "_" + std::string(number, static_cast<size_t>(n)) + ext;
}

std::string LogBasePath(const std::string& numbered) {
    size_t slash = numbered.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = numbered.find('.', nameStart);
    size_t baseEnd = dot == std::string::npos ? numbered.size() : dot;
    size_t digits = baseEnd;
    while (digits > nameStart && numbered[digits - 1] >= '0' && numbered[digits - 1] <= '9')
        --digits;
    if (digits == baseEnd || digits <= nameStart + 1 || numbered[digits - 1] != '_')
        return numbered;
    return numbered.substr(0, digits - 1) + numbered.substr(baseEnd);
}

int TLogCorv::Open(const std::string& path, std::string_view header, TOpenMode mode) {
    Close();
    std::error_code ec;
    fs::path target(path);
    if (target.has_parent_path() && !fs::exists(target.parent_path(), ec))
        fs::create_directories(target.parent_path(), ec); // a failure shows in the open below
    if (mode == AppendOrCreate && fs::exists(target, ec)) {
        fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        return fd_ >= 0 ? 1 : 0;
    }
    // Made exclusively: a file another run created in the meantime is never taken over.
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd_ < 0)
        return errno == EEXIST && mode == CreateOnly ? -1 : 0;
    if (!WriteRecord(header)) {
        Close();
        ::unlink(path.c_str()); // no file without its header: the next write tries again
        return 0;
    }
    return 1;
}

bool TLogCorv::WriteRecord(std::string_view text) {
    struct stat before {};
    if (::fstat(fd_, &before) != 0)
        return false;
    iovec parts[2] = {{const_cast<char*>(text.data()), text.size()},
                      {const_cast<char*>(LineEnd.data()), LineEnd.size()}};
    const long wanted = static_cast<long>(text.size() + LineEnd.size());
    long done = 0;
    // Appends are retried while they progress; a write that stops short is undone, so the next
    // record never joins the remains of this one on a line.
    while (done < wanted) {
        long n;
        if (done == 0) {
            n = LogWriteFn(fd_, parts, 2);
        } else {
            // The rest of the record after a partial write.
            const size_t skip = static_cast<size_t>(done);
            iovec rest[2];
            int count = 0;
            if (skip < text.size())
                rest[count++] = {const_cast<char*>(text.data()) + skip, text.size() - skip};
            const size_t endSkip = skip > text.size() ? skip - text.size() : 0;
            rest[count++] = {const_cast<char*>(LineEnd.data()) + endSkip, LineEnd.size() - endSkip};
            n = LogWriteFn(fd_, rest, count);
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (done > 0 && ::ftruncate(fd_, before.st_size) != 0) {
                // Nothing more can be done: the record stays cut.
            }
            return false;
        }
        done += n;
    }
    return true;
}

bool TLogCorv::WriteLine(std::string_view text) {
    if (fd_ < 0)
        return false;
    // A lost line is accepted: the log must never stop the monitor.
    return WriteRecord(text);
}

int TLogCorv::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    return 1;
}

int WriteStatisticsLog(const std::string& path, const TStore& store, TDateTime now) {
    TLogCorv log;
    if (log.Open(path, StatisticsLogHeader) <= 0)
        return 0;
    WriteStatisticsLines(log, store, now, now);
    return log.Close();
}

void WriteStatisticsLines(TLogCorv& log, const TStore& store, TDateTime now, TDateTime shown) {
    char time[32];
    std::string_view timeText(time, FormatDateTimeFull(shown, time));
    std::string line;
    line.reserve(160);
    for (uint16_t row = 0; row < store.SensorCount && row < MaxSensors; ++row) {
        AppendStatisticsLine(line, timeText, store.Sensors[row], now);
        log.WriteLine(line);
    }
}

int WritePacketLog(const std::string& path, std::string_view line, TDateTime now) {
    TLogCorv log;
    if (log.Open(path, PacketLogHeader) <= 0)
        return 0;
    WritePacketLine(log, line, now);
    return log.Close();
}

void WritePacketLine(TLogCorv& log, std::string_view line, TDateTime shown) {
    char time[32];
    std::string text(time, FormatDateTimeFull(shown, time));
    text += ",,";
    // A CR LF receiver's line feed leads the next line; inside the record it would split the
    // record over two lines of the file, so line ends are left out and the rest kept as it came.
    for (char c : line)
        if (c != '\r' && c != '\n')
            text += c;
    log.WriteLine(text);
}

} // namespace corvane
