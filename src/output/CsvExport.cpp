#include "output/CsvExport.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

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

void WriteExport(const std::string& path, const TStore& store, const TFields& fields) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        Fail("Cannot create", path, errno);
    std::string line;
    line.reserve(200);
    BuildHeader(line, fields);
    for (int row = 0;; ++row) {
        if (std::fwrite(line.data(), 1, line.size(), file) != line.size()) {
            int error = errno;
            std::fclose(file); // keeps whatever reached the file
            Fail("Cannot write", path, error);
        }
        if (row >= RowsOf(store))
            break;
        BuildRow(line, fields, store.Sensors[row], store.Clock());
    }
    // The last buffered lines reach the disk only here, so a full disk shows up at the close.
    if (std::fclose(file) != 0)
        Fail("Cannot write", path, errno);
}

} // namespace corvane
