#include "Recorded.h"

#include "LineBuilder.h"

#include <charconv>

namespace corvane::sim {

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool TwoDigits(std::string_view text, size_t at, int& out) {
    char a = text[at], b = text[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9')
        return false;
    out = (a - '0') * 10 + (b - '0');
    return true;
}

std::string_view StripLineEnd(std::string_view s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::optional<double> ParseLogTime(std::string_view text) {
    if (text.size() != 17)
        return std::nullopt;
    for (size_t sep : {2u, 5u, 8u, 11u, 14u}) {
        if (text[sep] >= '0' && text[sep] <= '9')
            return std::nullopt;
    }
    int mo, d, y, h, mi, s;
    if (!TwoDigits(text, 0, mo) || !TwoDigits(text, 3, d) || !TwoDigits(text, 6, y) ||
        !TwoDigits(text, 9, h) || !TwoDigits(text, 12, mi) || !TwoDigits(text, 15, s))
        return std::nullopt;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59)
        return std::nullopt;
    int64_t days = DaysFromCivil(2000 + y, mo, d) - DaysFromCivil(2000, 1, 1);
    return static_cast<double>(days * 86400 + h * 3600 + mi * 60 + s);
}

std::optional<LogLine> ParseLogLine(std::string_view text) {
    text = StripLineEnd(text);
    if (text.size() < 19 || text.substr(17, 2) != ",,")
        return std::nullopt;
    std::optional<double> t = ParseLogTime(text.substr(0, 17));
    if (!t)
        return std::nullopt;
    return LogLine{*t, std::string(text.substr(19))};
}

ReplaySource::ReplaySource(const std::string& path, bool crLf)
    : FFile(path, std::ios::binary), FEnd(LineEnd(crLf)) {}

std::optional<Emission> ReplaySource::Next() {
    std::string raw;
    while (std::getline(FFile, raw)) {
        std::optional<LogLine> l = ParseLogLine(raw);
        if (!l) {
            // The header, blank lines and anything damaged in the file.
            if (StripLineEnd(raw) != "\"Time\",\"Name\",\"Packet\"" && !StripLineEnd(raw).empty())
                ++FSkipped;
            continue;
        }
        if (!FFirst)
            FFirst = l->Time;
        // A clock set back (or a new century) never makes the replay wait backwards.
        FLast = std::max(FLast, l->Time - *FFirst);
        Emission e;
        e.At = FLast;
        e.Kind = LinePasses(l->Line) ? LineKind::Valid : LineKind::Invalid;
        e.Pieces.push_back(Piece{l->Line + FEnd, 0});
        return e;
    }
    return std::nullopt;
}

std::optional<Emission> ScriptSource::Next() {
    if (FNext >= FSteps.size())
        return std::nullopt;
    return FSteps[FNext++];
}

std::optional<std::vector<Emission>> ParseScript(std::istream& in, bool crLf, std::string& error) {
    std::vector<Emission> steps;
    std::string raw;
    double at = 0;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        std::string_view line = raw;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        Emission e;
        if (line.rfind("sleep ", 0) == 0) {
            std::string_view ms = line.substr(6);
            int64_t v = -1;
            auto [p, ec] = std::from_chars(ms.data(), ms.data() + ms.size(), v);
            if (ec != std::errc() || p != ms.data() + ms.size() || v < 0) {
                error = "line " + std::to_string(number) + ": 'sleep' needs milliseconds";
                return std::nullopt;
            }
            at += static_cast<double>(v) / 1000;
            continue;
        }
        e.At = at;
        if (line == "close") {
            e.CloseAfter = true;
        } else if (line.rfind("raw ", 0) == 0) {
            e.Kind = LineKind::Raw;
            e.Pieces.push_back(Piece{std::string(line.substr(4)), 0});
        } else {
            e.Kind = LinePasses(line) ? LineKind::Valid : LineKind::Invalid;
            e.Pieces.push_back(Piece{std::string(line) + LineEnd(crLf), 0});
        }
        steps.push_back(std::move(e));
    }
    return steps;
}

} // namespace corvane::sim
