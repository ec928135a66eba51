// The settings file beside the program: six tuning values, read once at start-up, and the list of
// remembered TCP/IP targets. The file is read and written at every call; no copy is kept, and
// the order of its lines is kept as it stands (the list's order is the file's order).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "history/HistoryRecord.h"
#include "store/ActivityStore.h"
#include "store/Alerts.h"

namespace corvane {

// A write the system refused.
class EIniWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TIniFile {
public:
    explicit TIniFile(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }

    // Up to 2047 characters of the value; def when the file, section or key is missing.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;
    // Signed decimal, "0x"/"0X" or "$" hexadecimal; def when empty, missing, unreadable or out of
    // range. Hexadecimal takes up to 32 bits as the number's bit pattern ("$FFFFFFFF" is -1).
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;
    // Entries of a section as (key, value) pairs in file order, one per entry line (a key that
    // stands twice is listed twice); lines without "=" are not entries.
    std::vector<std::pair<std::string, std::string>> ReadSection(const std::string& section) const;
    // Replaces the key's value in place, or appends it to its section (made at the end when
    // missing). Throws EIniWriteError("Unable to write to <path>").
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    // Removes every line of the key in the section; nothing is written when there is none.
    void DeleteKey(const std::string& section, const std::string& key);
    // Removes the section with all its lines; nothing is written when it is absent.
    void EraseSection(const std::string& section);
    // Erases the section and writes it anew at the end of the file with the given entries, in
    // one write: a refused write leaves the file as it was.
    void ReplaceSection(const std::string& section,
                        const std::vector<std::pair<std::string, std::string>>& entries);

private:
    std::string path_;
};

// An integer as the settings file writes it: signed decimal, "0x"/"0X" or "$" hexadecimal (up to
// 32 bits as the number's bit pattern); nullopt when empty, unreadable or out of range.
std::optional<int32_t> ParseIniInteger(std::string_view text);

// The lines that say which settings read at start-up were out of range and replaced, in the
// order read, for the log.
using TSettingWarnings = std::vector<std::string>;

// The program's path with its extension replaced by ".INI" (an extensionless program gets the
// extension added).
std::string SettingsPathFor(const std::string& programPath);

// The run's tuning, read once at start-up by the window and the service alike.
struct TRunSettings {
    TStoreSettings Store;
    TAlertSettings Alerts;
    // Sections [Sensors], [Repeaters] and [Entries].
    TExpectations Expectations;
    THistorySettings History;
    bool LogPackets = false;
    // The statistics log's period; 0 when there is none. A period too long for a timer would
    // fire at once and forever, so it counts as none.
    int LogIntervalMs = 0;
    // The statistics log's period in seconds as written, for the about box.
    int32_t LogRateSec = 0;
    // Device paths by serial port number, from section "Serial Ports" ("1=/dev/ttyUSB0").
    std::map<int, std::string> SerialPorts;
    TSettingWarnings Warnings;
};

class TAppIni {
public:
    explicit TAppIni(const std::string& programPath) : file_(SettingsPathFor(programPath)) {}
    const TIniFile& File() const { return file_; }

    int32_t ReadDuplicateTimeSec() const; // default 9
    bool ReadDuplicateCRCCheck() const;   // default false
    bool ReadLogPackets() const;          // default false
    int32_t ReadLogRateSec() const;       // default 0
    int32_t ReadPoints2Average() const;   // default 10
    // Default 10800; at least 1 (the store would hold no read). Values out of range are
    // replaced by the default, with a line in warnings when given.
    int32_t ReadMaxAge(TSettingWarnings* warnings = nullptr) const;
    // Section "Alerts": LateFactor 3 (2..100), SilentFactor 10 (above LateFactor, up to 1000;
    // twice LateFactor by default when that is 10 or more), AlertMinSec 30 (at least 1), Alerts
    // 1 by default, ranges as ReadMaxAge.
    TAlertSettings ReadAlertSettings(TSettingWarnings* warnings = nullptr) const;
    // Section "History": Keep 1 (0 or 1), KeepDays 30 (1 to 36500), MaxMB 4096 (at least 1).
    THistorySettings ReadHistorySettings(TSettingWarnings* warnings = nullptr) const;
    TRunSettings ReadRunSettings() const;

    // Appends the remembered targets ("address|port") in file order.
    void ReadRecentAddresses(std::vector<std::string>& list) const;
    // Remembers a target: nothing when already there (letter case ignored); appended under key
    // count+1 while fewer than ten; else the oldest is dropped and the section rewritten 0..n-1.
    void AddRecentAddress(const std::string& text);

    // Device paths mapped to serial port numbers in section "Serial Ports" ("1=/dev/ttyUSB0").
    std::string ReadSerialDevice(int port) const;
    // All of them; a port named twice keeps its first device, an empty device maps nothing.
    std::map<int, std::string> ReadSerialPorts() const;

private:
    TIniFile file_;
};

} // namespace corvane
