// Silence alerts: every sensor, repeater and entry point is reporting, late or silent, judged
// against its own usual gap between reads (or the one [Sensors], [Repeaters] and [Entries] set
// for it). A state only rises (reporting, late, silent) while no read comes; a read brings it
// back to reporting at once. Each change is one log pane line and one call to every subscribed
// alert listener; a muted record changes its state without a line.
//
// A late or silent record has a cause when it is behind a repeater or entry point (every one of
// its held reads came through it, see TSoleRoute) that is late or silent as well: the nearest one,
// a repeater before an entry point. The states of one expiry tick are judged together, so a
// sensor and its repeater going late in the same tick make the repeater the cause. A cause is
// what the records stand as: it comes when what a record is behind falls late or silent, and goes
// when that comes back before the record (the record is then late or silent of its own).
#pragma once

#include <array>
#include <cstdint>

#include "store/Expectations.h"
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

// What a late or silent record is behind that is late or silent too; none for a record late or
// silent of its own, and for every reporting one.
struct TAlertCause {
    TAlertKind Kind = TAlertKind::Repeat; // Repeat or Entry
    uint8_t Index = NoIndex;              // repeater or entry-point index; 255: none

    bool Any() const { return Index != NoIndex; }
    bool operator==(const TAlertCause&) const = default;
};

// For views (and anything else) that show the states. index is a sensor row, a repeater index
// or an entry-point index, as kind says. During a call, TAlerts::Cause and the counts already
// tell what the change made of the record and of every other one judged with it.
class TAlertListener {
public:
    virtual ~TAlertListener() = default;
    virtual void AlertStateChanged(TAlertKind kind, uint16_t index, TAlertState state) = 0;
    // Clear All: every state is reporting again and every record is gone.
    virtual void AlertsCleared() = 0;
    // A late or silent record's cause came or went while its state stayed.
    virtual void AlertCauseChanged(TAlertKind kind, uint16_t index, TAlertCause cause) {
        (void)kind, (void)index, (void)cause;
    }
};

class TAlerts {
public:
    // The window alone has four (its views, the outlets' feed, the history, publishing): room
    // for more without a place running out unnoticed.
    static constexpr int MaxListeners = 8;

    TAlerts(const TStore& store, TShellListener& log) : store_(store), log_(log) {}

    TAlertSettings Settings;
    const TStore& Store() const { return store_; }

    // Listeners are kept in fixed storage; false when all places are taken.
    bool Subscribe(TAlertListener* listener);
    void Unsubscribe(TAlertListener* listener);

    // The entry point's route-tree label, fixed when its node is made.
    void SetEntryLabel(uint8_t entry, std::string_view label);
    std::string_view EntryLabel(uint8_t entry) const { return entryLabels_[entry].View(); }
    // The expectations of single devices; in force from the next tick (states already risen
    // stay until a read comes).
    void SetExpectations(TExpectations expectations);
    const TExpectations& Expectations() const { return expect_; }
    TExpectation Expectation(TAlertKind kind, uint16_t index) const;
    bool Muted(TAlertKind kind, uint16_t index) const { return Expectation(kind, index).Mute; }

    // A read of this sensor through this repeater and entry point (255: none) is being stored
    // now; the previous read of each is the one its alert state was judged on.
    void OnRead(uint16_t row, uint8_t repeat, uint8_t entry, TDateTime now);
    // The expiry tick: every record in use judged against now, the causes given, and the
    // changes written and told, rows first, then repeaters, then entry points.
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
    // The same for the records without a cause, and the late or silent records with one.
    int32_t OwnLateCount() const { return ownLate_; }
    int32_t OwnSilentCount() const { return ownSilent_; }
    int32_t BehindCount() const { return behind_; }
    TAlertCause Cause(TAlertKind kind, uint16_t index) const;
    // Sensors whose cause is this repeater or entry point, or a repeater whose cause it is.
    int32_t SensorsBehind(TAlertKind kind, uint8_t index) const;
    // The usual gap in seconds a record is judged against: its expected gap when one is set,
    // else the one its held reads show; false without one.
    bool UsualGap(TAlertKind kind, uint16_t index, float& gap) const;

    // The usual gap in seconds of a repeater or entry point: the mean of the gaps between the
    // last nine reads of its chain; false with fewer than two gaps.
    bool OwnerUsualGap(TAlertKind kind, uint8_t index, float& gap) const;

private:
    struct TTrack {
        TAlertState State = TAlertState::Reporting;
        bool Risen = false;          // its state rose in the tick being judged
        TDateTime LastRead = NoTime; // the newest read seen, also after it expired
        TAlertCause Cause;
        int32_t Dependants = 0;    // records whose cause this one is
        int32_t SensorsBehind = 0; // see SensorsBehind()
    };
    // A state risen in the tick being judged, written and told once the causes are given.
    struct TRise {
        TAlertKind Kind;
        uint16_t Index;
        int32_t Silence;
        float Gap;
    };

    void Back(TAlertKind kind, uint16_t index, TTrack& track, TDateTime now);
    void JudgeRows(TDateTime now);
    void JudgeOne(TAlertKind kind, uint16_t index, TTrack& track, TDateTime last, float gap,
                  TDateTime now);
    void SetState(TAlertKind kind, TTrack& track, TAlertState state);
    void Notify(TAlertKind kind, uint16_t index, TAlertState state);
    // Every late or silent record's cause as the states now stand.
    void GiveCauses(TDateTime now);
    TAlertCause CauseFor(TAlertKind kind, uint16_t index) const;
    void SetCause(TAlertKind kind, uint16_t index, TTrack& track, TAlertCause cause, TDateTime now);
    void LinkCause(TAlertKind kind, const TTrack& track, int by);
    void Count(const TTrack& track, int by);
    void WriteLine(TAlertKind kind, uint16_t index, std::string_view what, int32_t silence,
                   const float* gap, TAlertCause cause = {});
    void WriteStateLine(TAlertKind kind, uint16_t index, TAlertState state, int32_t silence,
                        float gap, TAlertCause cause);
    TTrack& Track(TAlertKind kind, uint16_t index);
    const TTrack& Track(TAlertKind kind, uint16_t index) const;
    bool InUse(TAlertKind kind, uint16_t index) const;
    TExpectation SensorExpectation(uint16_t row) const;

    const TStore& store_;
    TShellListener& log_;
    std::array<TTrack, MaxSensors> sensors_{};
    std::array<TTrack, MaxRepeats> repeats_{};
    std::array<TTrack, MaxEntries> entries_{};
    std::array<TName, MaxEntries> entryLabels_{};
    std::array<TAlertListener*, MaxListeners> listeners_{};
    std::array<TRise, MaxSensors + MaxRepeats + MaxEntries> risen_{};
    int32_t risenCount_ = 0;
    int32_t late_ = 0;
    int32_t silent_ = 0;
    int32_t ownLate_ = 0;
    int32_t ownSilent_ = 0;
    int32_t behind_ = 0;
    TExpectations expect_;
    // Each row's expectation, looked up by serial number once per sensor made.
    mutable std::array<TExpectation, MaxSensors> rowExpect_{};
    mutable std::array<int64_t, MaxSensors> rowExpectSerNo_{};
    mutable std::array<bool, MaxSensors> rowExpectKnown_{};
};

} // namespace corvane
