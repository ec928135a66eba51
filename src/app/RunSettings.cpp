// The run's tuning from sections [Settings] and [Alerts], read once at start-up.
#include "app/AppIni.h"

#include <climits>

#include "app/DeviceSettings.h"
#include "app/SettingKeys.h"
#include "app/SettingRange.h"

namespace corvane {

namespace {

const std::string kSettings = kSectionSettings;
const std::string kAlerts = kSectionAlerts;
const std::string kHistory = kSectionHistory;

// A factor of 1 calls a sensor late whenever a gap is a little longer than its usual one, which
// for a sensor sending at a steady pace is every other read.
constexpr int32_t kMinLateFactor = 2;
constexpr int32_t kMaxLateFactor = 100;
constexpr int32_t kMaxSilentFactor = 1000;

} // namespace

int32_t TAppIni::ReadDuplicateTimeSec() const {
    return file_.ReadInteger(kSettings, "DuplicateTimeSec", 9);
}
bool TAppIni::ReadDuplicateCRCCheck() const {
    return file_.ReadBool(kSettings, "DuplicateCRCCheck", false);
}
bool TAppIni::ReadLogPackets() const {
    return file_.ReadBool(kSettings, "LogPackets", false);
}
int32_t TAppIni::ReadLogRateSec() const {
    return file_.ReadInteger(kSettings, "LogRateSec", 0);
}
int32_t TAppIni::ReadPoints2Average() const {
    return file_.ReadInteger(kSettings, "Points2Average", 10);
}
int32_t TAppIni::ReadMaxAge(TSettingWarnings* warnings) const {
    return ReadIntegerInRange(file_, kSettings, "MaxAge", 10800, 1, INT32_MAX, warnings);
}

TRunSettings TAppIni::ReadRunSettings() const {
    TRunSettings run;
    run.Store.DuplicateTimeSec = ReadDuplicateTimeSec();
    run.Store.DuplicateCRCCheck = ReadDuplicateCRCCheck();
    run.LogPackets = ReadLogPackets();
    run.LogRateSec = ReadLogRateSec();
    const int64_t interval = int64_t(run.LogRateSec) * 1000;
    run.LogIntervalMs = interval > 0 && interval <= INT32_MAX ? int(interval) : 0;
    run.Store.Points2Average = ReadPoints2Average();
    run.Store.MaxAge = ReadMaxAge(&run.Warnings);
    run.Alerts = ReadAlertSettings(&run.Warnings);
    run.History = ReadHistorySettings(&run.Warnings);
    run.Expectations = ReadExpectations(file_, &run.Warnings);
    run.SerialPorts = ReadSerialPorts();
    return run;
}

// A silent sensor is late first: SilentFactor must be above LateFactor, and its default moves
// above a LateFactor of 10 or more.
TAlertSettings TAppIni::ReadAlertSettings(TSettingWarnings* warnings) const {
    const TAlertSettings defaults;
    TAlertSettings a;
    a.LateFactor = ReadIntegerInRange(file_, kAlerts, "LateFactor", defaults.LateFactor,
                                      kMinLateFactor, kMaxLateFactor, warnings);
    const int32_t silent =
        defaults.SilentFactor > a.LateFactor ? defaults.SilentFactor : 2 * a.LateFactor;
    a.SilentFactor = ReadIntegerInRange(file_, kAlerts, "SilentFactor", silent, a.LateFactor + 1,
                                        kMaxSilentFactor, warnings);
    a.AlertMinSec = ReadIntegerInRange(file_, kAlerts, "AlertMinSec", defaults.AlertMinSec, 1,
                                       INT32_MAX, warnings);
    a.Alerts = file_.ReadBool(kAlerts, "Alerts", defaults.Alerts);
    return a;
}

THistorySettings TAppIni::ReadHistorySettings(TSettingWarnings* warnings) const {
    const THistorySettings defaults;
    THistorySettings h;
    h.Keep = file_.ReadBool(kHistory, "Keep", defaults.Keep);
    h.KeepDays =
        ReadIntegerInRange(file_, kHistory, "KeepDays", defaults.KeepDays, 1, 36500, warnings);
    h.MaxMB = ReadIntegerInRange(file_, kHistory, "MaxMB", static_cast<int32_t>(defaults.MaxMB), 1,
                                 INT32_MAX, warnings);
    return h;
}

} // namespace corvane
