#include "output/LogCorv.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

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
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size())
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

int TLogCorv::Open(const std::string& path, std::string_view header) {
    Close();
    std::error_code ec;
    fs::path target(path);
    if (target.has_parent_path() && !fs::exists(target.parent_path(), ec))
        fs::create_directories(target.parent_path(), ec); // a failure shows in the open below
    if (fs::exists(target, ec)) {
        file_ = std::fopen(path.c_str(), "ab");
        return file_ != nullptr ? 1 : 0;
    }
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr)
        return 0;
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size() ||
        std::fwrite(LineEnd.data(), 1, LineEnd.size(), file_) != LineEnd.size()) {
        Close();
        return 0;
    }
    return 1;
}

void TLogCorv::WriteLine(std::string_view text) {
    if (file_ == nullptr)
        return;
    // A lost line is accepted: the log must never stop the monitor.
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fwrite(LineEnd.data(), 1, LineEnd.size(), file_);
}

int TLogCorv::Close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    return 1;
}

int WriteStatisticsLog(const std::string& path, const TStore& store, TDateTime now) {
    TLogCorv log;
    if (log.Open(path, StatisticsLogHeader) <= 0)
        return 0;
    char time[32];
    std::string_view timeText(time, FormatDateTimeFull(now, time));
    std::string line;
    line.reserve(160);
    for (uint16_t row = 0; row < store.SensorCount && row < MaxSensors; ++row) {
        AppendStatisticsLine(line, timeText, store.Sensors[row], now);
        log.WriteLine(line);
    }
    return log.Close();
}

int WritePacketLog(const std::string& path, std::string_view line, TDateTime now) {
    TLogCorv log;
    if (log.Open(path, PacketLogHeader) <= 0)
        return 0;
    char time[32];
    std::string text(time, FormatDateTimeFull(now, time));
    text += ",,";
    // A CR LF receiver's line feed leads the next line; inside the record it would split the
    // record over two lines of the file, so line ends are left out and the rest kept as it came.
    for (char c : line)
        if (c != '\r' && c != '\n')
            text += c;
    log.WriteLine(text);
    return log.Close();
}

} // namespace corvane
