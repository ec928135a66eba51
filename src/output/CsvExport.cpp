#include "output/CsvExport.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "output/History.h"
#include "output/LogCorv.h"
#include "store/ActivityStore.h"
#include "util/untConst.h"

namespace corvane {

const std::array<std::string_view, ExportFieldCount> ExportFieldCaptions = {
    "Serial Number",   "Name",        "Kind",
    "Last Activity",   "Total Count", "Duplicate Count",
    "Running Average", "Maximum Gap", "Minimum Gap",
};

namespace {

using TFields = std::array<bool, ExportFieldCount>;

constexpr std::string_view LineEnd = "\r\n";

// General form with up to 15 significant digits and the system's decimal separator, made
// without the C library's locale so the separator is always the one the settings name.
void AppendGeneral15(std::string& out, double value) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    for (char* p = buffer; p != result.ptr; ++p)
        if (*p == '.')
            *p = FormatSettings.DecimalSeparator;
    out.append(buffer, static_cast<size_t>(result.ptr - buffer));
}

void AppendField(std::string& out, int field, const TSensor& sensor, const TClock& clock) {
    const TStats& stats = sensor.Stats;
    switch (field) {
    case 0: {
        char hex[16];
        SerialToHex(sensor.SerNo, hex);
        out += '"';
        out.append(hex, sizeof hex);
        out += '"';
        break;
    }
    case 1:
        AppendQuoted(out, sensor.Name.View());
        break;
    case 2:
        AppendQuoted(out, SensorKindName(sensor.Kind));
        break;
    case 3: {
        char time[32];
        out += '"';
        // No read yet: the empty time, as it is held.
        const TDateTime shown =
            stats.LastWall == NoTime ? stats.LastTime : clock.ToLocal(stats.LastWall);
        out.append(time, FormatDateTimeFull(shown, time));
        out += '"';
        break;
    }
    case 4:
        AppendDecimal(out, stats.Count);
        break;
    case 5:
        AppendDecimal(out, stats.Dups);
        break;
    case 6:
        AppendGeneral15(out, static_cast<double>(stats.RunAvg));
        break;
    case 7:
        AppendDecimal(out, stats.MaxGap);
        break;
    case 8:
        AppendDecimal(out, stats.MinGap); // 65535 = no gap yet, exported as it is held
        break;
    }
}

void BuildHeader(std::string& out, const TFields& fields) {
    out.clear();
    for (int f = 0; f < ExportFieldCount; ++f) {
        if (!fields[f])
            continue;
        if (!out.empty())
            out += ',';
        out.append(ExportFieldCaptions[f]);
    }
    out.append(LineEnd);
}

void BuildRow(std::string& out, const TFields& fields, const TSensor& sensor, const TClock& clock) {
    out.clear();
    bool first = true;
    for (int f = 0; f < ExportFieldCount; ++f) {
        if (!fields[f])
            continue;
        if (!first)
            out += ',';
        first = false;
        AppendField(out, f, sensor, clock);
    }
    out.append(LineEnd);
}

int RowsOf(const TStore& store) {
    return store.SensorCount < MaxSensors ? store.SensorCount : MaxSensors;
}

[[noreturn]] void Fail(const char* what, const std::string& path, int error) {
    const char* reason = error != 0 ? std::strerror(error) : "the data could not be written";
    throw EExportError(std::string(what) + " \"" + path + "\": " + reason);
}

} // namespace

std::string FormatGeneral15(double value) {
    std::string out;
    AppendGeneral15(out, value);
    return out;
}

std::string BuildExport(const TStore& store, const TFields& fields) {
    std::string text;
    std::string line;
    BuildHeader(line, fields);
    text += line;
    for (int row = 0; row < RowsOf(store); ++row) {
        BuildRow(line, fields, store.Sensors[row], store.Clock());
        text += line;
    }
    return text;
}

namespace {

// Writes the lines that next makes, one at a time, until it makes none; throws EExportError at
// the first that does not reach the file (whatever was written stays).
template <class TNext>
void WriteLines(const std::string& path, TNext next) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        Fail("Cannot create", path, errno);
    std::string line;
    line.reserve(200);
    while (next(line)) {
        if (std::fwrite(line.data(), 1, line.size(), file) != line.size()) {
            int error = errno;
            std::fclose(file); // keeps whatever reached the file
            Fail("Cannot write", path, error);
        }
    }
    // The last buffered lines reach the disk only here, so a full disk shows up at the close.
    if (std::fclose(file) != 0)
        Fail("Cannot write", path, errno);
}

// One row of the history window: the read's date-time as the export writes date-times, the gap
// as a number, the route as texts.
void BuildHistoryRow(std::string& out, const THistory& history, const THistRead& read) {
    out.clear();
    char time[32];
    out += '"';
    out.append(time, FormatDateTimeFull(read.Shown, time));
    out += "\",";
    AppendDecimal(out, read.Gap);
    out += ',';
    AppendQuoted(out,
                 read.Repeater != '\0' ? std::string_view(&read.Repeater, 1) : std::string_view());
    out += ',';
    AppendQuoted(out, history.EntryName(read));
    out.append(LineEnd);
}

void BuildHistoryHeader(std::string& out) {
    out.clear();
    out.append(HistoryExportHeader);
    out.append(LineEnd);
}

} // namespace

void WriteExport(const std::string& path, const TStore& store, const TFields& fields) {
    int row = -1;
    WriteLines(path, [&](std::string& line) {
        if (row >= RowsOf(store))
            return false;
        if (row < 0)
            BuildHeader(line, fields);
        else
            BuildRow(line, fields, store.Sensors[row], store.Clock());
        ++row;
        return true;
    });
}

const std::string_view HistoryExportHeader = "At,Gap (sec),Repeater,Entry";

std::string BuildHistoryExport(const THistory& history) {
    std::string text;
    std::string line;
    BuildHistoryHeader(line);
    text += line;
    for (const THistRead& read : history.Rows) {
        BuildHistoryRow(line, history, read);
        text += line;
    }
    return text;
}

void WriteHistoryExport(const std::string& path, const THistory& history) {
    size_t row = 0;
    bool header = true;
    WriteLines(path, [&](std::string& line) {
        if (header) {
            header = false;
            BuildHistoryHeader(line);
            return true;
        }
        if (row >= history.Rows.size())
            return false;
        BuildHistoryRow(line, history, history.Rows[row++]);
        return true;
    });
}

} // namespace corvane
