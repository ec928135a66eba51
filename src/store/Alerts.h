// Silence alerts: every sensor, repeater and entry point is reporting, late or silent, judged
// against its own usual gap between reads. A state only rises (reporting, late, silent) while
// no read comes; a read brings it back to reporting at once. Each change is one log pane line
// and one call to every subscribed alert listener.
#pragma once

#include <array>
#include <cstdint>

#include "store/Store.h"

namespace corvane {

class TShellListener;
class TStore;

enum class TAlertState : uint8_t { Reporting, Late, Silent };
enum class TAlertKind : uint8_t { Sensor, Repeat, Entry };

// Section [Alerts] of the settings file, read once at start-up.
struct TAlertSettings {
    int32_t LateFactor = 3;
    int32_t SilentFactor = 10;
    int32_t AlertMinSec = 30;
    bool Alerts = true; // false: no state ever leaves reporting, no line is written
};

// For views (and anything else) that show the states. index is a sensor row, a repeater index
// or an entry-point index, as kind says.
class TAlertListener {
public:
    virtual ~TAlertListener() = default;
    virtual void AlertStateChanged(TAlertKind kind, uint16_t index, TAlertState state) = 0;
    // Clear All: every state is reporting again and every record is gone.
    virtual void AlertsCleared() = 0;
};

class TAlerts {
public:
    static constexpr int MaxListeners = 4;

    TAlerts(const TStore& store, TShellListener& log) : store_(store), log_(log) {}

    TAlertSettings Settings;

    // Listeners are kept in fixed storage; false when all places are taken.
    bool Subscribe(TAlertListener* listener);
    void Unsubscribe(TAlertListener* listener);

    // The entry point's route-tree label, fixed when its node is made.
    void SetEntryLabel(uint8_t entry, std::string_view label);

    // A read of this sensor through this repeater and entry point (255: none) is being stored
    // now; the previous read of each is the one its alert state was judged on.
    void OnRead(uint16_t row, uint8_t repeat, uint8_t entry, TDateTime now);
    // The expiry tick: every record in use judged against now, rows first, then repeaters, then
    // entry points.
    void Judge(TDateTime now);
    void Clear();

    TAlertState State(TAlertKind kind, uint16_t index) const;
    // Whether a sensor's usual gap (its average gap) is known: two counted gaps at least.
    static bool UsualGapKnown(const TStats& stats) { return stats.Count - stats.Dups - 1 >= 2; }
    // Whole seconds since the record's newest read seen (also after it expired) at now; -1
    // when none was seen.
    int32_t Silence(TAlertKind kind, uint16_t index, TDateTime now) const;
    int32_t LateCount() const { return late_; }
    int32_t SilentCount() const { return silent_; }

    // The usual gap in seconds of a repeater or entry point: the mean of the gaps between the
    // last nine reads of its chain; false with fewer than two gaps.
    bool OwnerUsualGap(TAlertKind kind, uint8_t index, float& gap) const;

private:
    struct TTrack {
        TAlertState State = TAlertState::Reporting;
        TDateTime LastRead = NoTime; // the newest read seen, also after it expired
    };

    void Back(TAlertKind kind, uint16_t index, TTrack& track, TDateTime now);
    void JudgeOne(TAlertKind kind, uint16_t index, TTrack& track, TDateTime last, float gap,
                  TDateTime now);
    void SetState(TAlertKind kind, uint16_t index, TTrack& track, TAlertState state);
    void WriteLine(TAlertKind kind, uint16_t index, std::string_view what, int32_t silence,
                   const float* gap);
    TTrack& Track(TAlertKind kind, uint16_t index);

    const TStore& store_;
    TShellListener& log_;
    std::array<TTrack, MaxSensors> sensors_{};
    std::array<TTrack, MaxRepeats> repeats_{};
    std::array<TTrack, MaxEntries> entries_{};
    std::array<TName, MaxEntries> entryLabels_{};
    std::array<TAlertListener*, MaxListeners> listeners_{};
    int32_t late_ = 0;
    int32_t silent_ = 0;
};

} // namespace corvane
