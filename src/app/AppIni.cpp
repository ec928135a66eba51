#include "app/AppIni.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "app/SettingKeys.h"
#include "util/FileWrite.h"
#include "util/untUtils.h"

namespace corvane {

namespace {

using TEntries = std::vector<std::pair<std::string, std::string>>;
using TLines = std::vector<std::string>;

constexpr size_t kMaxValueLength = 2047;
constexpr size_t kMaxRecentAddresses = 10;
const std::string kIpAddresses = kSectionIpAddresses;
const std::string kSerialPorts = kSectionSerialPorts;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool SameText(std::string_view a, std::string_view b) {
    return CompareNoCase(a, b) == 0;
}

// A value is one line: anything from the first line break on would become lines of its own.
std::string OneLine(std::string_view value) {
    return std::string(value.substr(0, value.find_first_of("\r\n")));
}

// "[name]" (the closing bracket may be missing; text after it is ignored).
std::optional<std::string_view> SectionOf(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    return Trim(line.substr(0, line.find(']')));
}

struct TEntryLine {
    std::string_view key, value;
};

// "key=value"; comment lines (";" or "#") and lines without "=" are not entries.
std::optional<TEntryLine> EntryOf(std::string_view line) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '#')
        return std::nullopt;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return TEntryLine{Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

// Calls f(index, entry) for every entry of the section in file order. A section that stands
// more than once in the file counts as one, its parts taken in file order.
template <class F>
void ForEachEntry(const TLines& lines, std::string_view section, F f) {
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionOf(lines[i])) {
            inside = SameText(*name, section);
        } else if (inside) {
            if (auto entry = EntryOf(lines[i]))
                f(i, *entry);
        }
    }
}

// Index after the last non-blank line of the section's last part; nullopt when it is absent.
std::optional<size_t> EndOfSection(const TLines& lines, std::string_view section) {
    std::optional<size_t> end;
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionOf(lines[i]))
            inside = SameText(*name, section);
        if (inside && !Trim(lines[i]).empty())
            end = i + 1;
    }
    return end;
}

// Removes every part of the section; true when something was removed.
bool RemoveSection(TLines& lines, std::string_view section) {
    TLines kept;
    bool inside = false;
    for (auto& line : lines) {
        if (auto name = SectionOf(line))
            inside = SameText(*name, section);
        if (!inside)
            kept.push_back(std::move(line));
    }
    bool removed = kept.size() != lines.size();
    lines = std::move(kept);
    return removed;
}

TLines SplitLines(const std::string& text) {
    TLines lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        size_t stop = (end > start && text[end - 1] == '\r') ? end - 1 : end;
        lines.emplace_back(text, start, stop - start);
        start = end + 1;
    }
    return lines;
}

// The file's lines; nullopt when it cannot be read (missing, a folder, no permission).
std::optional<TLines> LoadLines(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return SplitLines(text.str());
}

class TFileWriter {
public:
    explicit TFileWriter(const std::string& path) : path_(path) {}

    // Lines as they are to stand in the file. The file is replaced only after the new content
    // is written in full, so a refused or failed write leaves the old file whole.
    void Save(const TLines& lines) const {
        std::string target = ResolveLink(path_);
        struct stat st;
        bool exists = stat(target.c_str(), &st) == 0;
        // A file without write permission counts as read-only even for a privileged user.
        if (exists && (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0))
            Fail();
        std::string temp = target + ".XXXXXX";
        int fd = mkstemp(temp.data());
        if (fd < 0)
            Fail();
        std::string text;
        for (const auto& line : lines)
            text.append(line).append("\r\n");
        mode_t mode = exists ? (st.st_mode & 07777) : 0644;
        bool ok = WriteAll(fd, text) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
        ok = (close(fd) == 0) && ok;
        if (!ok || rename(temp.c_str(), target.c_str()) != 0) {
            unlink(temp.c_str());
            Fail();
        }
    }

    // The whole file as it stands, for a change of part of it. A file that exists but cannot
    // be read is not replaced: writing it anew would lose what it holds.
    TLines LoadForChange() const {
        if (auto lines = LoadLines(path_))
            return *lines;
        struct stat st;
        if (lstat(path_.c_str(), &st) == 0 || errno != ENOENT)
            Fail();
        return {};
    }

private:
    [[noreturn]] void Fail() const { throw EIniWriteError("Unable to write to " + path_); }

    // A settings file that is a link is written where the link points, keeping the link.
    static std::string ResolveLink(const std::string& path) {
        char* real = realpath(path.c_str(), nullptr);
        if (!real)
            return path;
        std::string resolved(real);
        free(real);
        return resolved;
    }

    std::string path_;
};

} // namespace

std::optional<int32_t> ParseIniInteger(std::string_view s) {
    s = Trim(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s.front() == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty())
        return std::nullopt;
    uint64_t magnitude = 0;
    for (char c : s) {
        int digit = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : 99;
        if (digit >= base)
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > 0xFFFFFFFFull)
            return std::nullopt;
    }
    // Hexadecimal spells the 32-bit pattern; decimal must fit as it is written.
    int64_t value = base == 16 ? int64_t(int32_t(uint32_t(magnitude))) : int64_t(magnitude);
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return int32_t(value);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
    auto lines = LoadLines(path_);
    if (!lines)
        return def;
    std::optional<std::string> found;
    ForEachEntry(*lines, section, [&](size_t, const TEntryLine& entry) {
        if (!found && SameText(entry.key, key))
            found = std::string(entry.value.substr(0, kMaxValueLength));
    });
    return found ? *found : def;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                              int32_t def) const {
    return ParseIniInteger(ReadString(section, key, "")).value_or(def);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

TEntries TIniFile::ReadSection(const std::string& section) const {
    TEntries entries;
    if (auto lines = LoadLines(path_))
        ForEachEntry(*lines, section, [&](size_t, const TEntryLine& entry) {
            entries.emplace_back(entry.key, entry.value.substr(0, kMaxValueLength));
        });
    return entries;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    TFileWriter writer(path_);
    TLines lines = writer.LoadForChange();
    std::string line = key + "=" + OneLine(value);
    std::optional<size_t> at;
    ForEachEntry(lines, section, [&](size_t i, const TEntryLine& entry) {
        if (!at && SameText(entry.key, key))
            at = i;
    });
    if (at) {
        lines[*at] = line;
    } else if (auto end = EndOfSection(lines, section)) {
        lines.insert(lines.begin() + std::ptrdiff_t(*end), line);
    } else {
        lines.push_back("[" + section + "]");
        lines.push_back(line);
    }
    writer.Save(lines);
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
    TFileWriter writer(path_);
    auto lines = LoadLines(path_);
    if (!lines)
        return;
    std::vector<size_t> at;
    ForEachEntry(*lines, section, [&](size_t i, const TEntryLine& entry) {
        if (SameText(entry.key, key))
            at.push_back(i);
    });
    if (at.empty())
        return;
    for (auto i = at.rbegin(); i != at.rend(); ++i)
        lines->erase(lines->begin() + std::ptrdiff_t(*i));
    writer.Save(*lines);
}

void TIniFile::EraseSection(const std::string& section) {
    TFileWriter writer(path_);
    auto lines = LoadLines(path_);
    if (lines && RemoveSection(*lines, section))
        writer.Save(*lines);
}

void TIniFile::ReplaceSection(const std::string& section, const TEntries& entries) {
    TFileWriter writer(path_);
    TLines lines = writer.LoadForChange();
    RemoveSection(lines, section);
    lines.push_back("[" + section + "]");
    for (const auto& [key, value] : entries)
        lines.push_back(key + "=" + OneLine(value));
    writer.Save(lines);
}

std::string SettingsPathFor(const std::string& programPath) {
    size_t nameStart = programPath.rfind('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    size_t dot = programPath.rfind('.');
    // A dot in a folder's name or the leading dot of a hidden file is no extension.
    if (dot == std::string::npos || dot <= nameStart)
        return programPath + ".INI";
    return programPath.substr(0, dot) + ".INI";
}

void TAppIni::ReadRecentAddresses(std::vector<std::string>& list) const {
    for (auto& entry : file_.ReadSection(kIpAddresses))
        list.push_back(std::move(entry.second));
}

void TAppIni::AddRecentAddress(const std::string& text) {
    // Stored values lose their surrounding blanks, so the comparison must not see them either.
    const std::string target(Trim(OneLine(text)));
    TEntries entries = file_.ReadSection(kIpAddresses);
    for (const auto& entry : entries)
        if (SameText(entry.second, target))
            return;
    if (entries.size() < kMaxRecentAddresses) {
        // count + 1 is the key, unless a hand-edited file already uses it: then the next free
        // number, so that no remembered target is overwritten.
        size_t number = entries.size() + 1;
        auto used = [&](size_t n) {
            for (const auto& entry : entries)
                if (SameText(entry.first, std::to_string(n)))
                    return true;
            return false;
        };
        while (used(number))
            ++number;
        file_.WriteString(kIpAddresses, std::to_string(number), target);
        return;
    }
    entries.erase(entries.begin());
    entries.emplace_back("", target);
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i].first = std::to_string(i);
    file_.ReplaceSection(kIpAddresses, entries);
}

std::string TAppIni::ReadSerialDevice(int port) const {
    return file_.ReadString(kSerialPorts, std::to_string(port), "");
}

std::map<int, std::string> TAppIni::ReadSerialPorts() const {
    std::map<int, std::string> ports;
    for (auto& [key, device] : file_.ReadSection(kSerialPorts)) {
        // Only a key written as the plain number names a port, as a lookup by number finds it.
        const std::optional<int32_t> port = ParseIniInteger(key);
        if (port && std::to_string(*port) == key && !device.empty())
            ports.emplace(*port, device);
    }
    return ports;
}

} // namespace corvane
