// The export of every sensor's current statistics to a comma-separated file.
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

#include "util/untTime.h"

namespace corvane {

class TStore;
struct THistory;

constexpr int ExportFieldCount = 9;
extern const std::array<std::string_view, ExportFieldCount> ExportFieldCaptions;

class EExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The header and one line per sensor row of the chosen fields, in their fixed order.
std::string BuildExport(const TStore& store, const std::array<bool, ExportFieldCount>& fields);
// Replaces the file with BuildExport's text; throws EExportError when it cannot be written
// (whatever was written stays).
void WriteExport(const std::string& path, const TStore& store,
                 const std::array<bool, ExportFieldCount>& fields);

// The history window's rows, as its table lists them, in the export's formats: the read's
// date-time and the texts quoted, the gap a number.
extern const std::string_view HistoryExportHeader;
std::string BuildHistoryExport(const THistory& history);
void WriteHistoryExport(const std::string& path, const THistory& history);

// "Running Average": general form, up to 15 significant digits (30.5, 30, 12.3000001907349).
std::string FormatGeneral15(double value);

} // namespace corvane
