// An alert change as it goes out to the operator, beyond the log pane: to the desktop's
// notifications and to the program of [Alerts] Command. One change of one record's state, told
// in the record's own terms (its serial number, letter or entry number, its label) with the
// figures the log line gives, and the record whose silence explains it, when there is one.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/Alerts.h"

namespace corvane {

class TIniFile;
class TStore;

enum class TAlertEvent : uint8_t { Late, Silent, Back };

struct TAlertChange {
    TAlertEvent Event = TAlertEvent::Late;
    TAlertKind Kind = TAlertKind::Sensor;
    std::string Id;         // 16 hex digits, a repeater's letter or an entry point's number
    std::string Label;      // 8-bit, as the receiver sent it; a sensor without one has its serial
    int32_t SilenceS = -1;  // whole seconds without a read; -1 when no read was seen
    int32_t UsualGapS = -1; // the usual gap, rounded; -1 while it is not known
    // The repeater or entry point whose own silence explains this one ("repeater/a"); empty
    // when the record has a cause of its own.
    std::string Behind;
    // How many records are behind this one (the sensors behind a repeater, the repeaters and
    // sensors behind an entry point).
    int32_t BehindCount = 0;

    bool OwnCause() const { return Behind.empty(); }
};

std::string_view AlertEventName(TAlertEvent event); // "late", "silent", "back"
std::string_view AlertKindName(TAlertKind kind);    // "sensor", "repeater", "entry"

// The change of the record at index to state, as the store and its alerts stand at now, while
// the alerts tell their listeners (the record's previous read is still its newest seen).
TAlertChange MakeAlertChange(const TStore& store, TAlertKind kind, uint16_t index,
                             TAlertState state, TDateTime now);

// Keys Notify and Command of [Alerts], read once at start-up.
struct TAlertOutSettings {
    bool Notify = true;  // the window's desktop notifications
    std::string Command; // the program run for each change; empty: none
};
TAlertOutSettings ReadAlertOutSettings(const TIniFile& file);

// What an alert change goes out to: the desktop's notifications, the command.
class TAlertOutlet {
public:
    virtual ~TAlertOutlet() = default;
    virtual void AlertChanged(const TAlertChange& change) = 0;
    // Clear All: the records are gone; an outlet forgets what it told of them.
    virtual void AlertsCleared() {}
};

// The one listener of the alerts that the outlets hear through: each change is made once and
// handed to every outlet, in the order added.
class TAlertChangeFeed : public TAlertListener {
public:
    static constexpr int MaxOutlets = 2;

    // Subscribes to store's alerts; the store must outlive the feed, which unsubscribes.
    explicit TAlertChangeFeed(TStore& store);
    ~TAlertChangeFeed() override;
    TAlertChangeFeed(const TAlertChangeFeed&) = delete;
    TAlertChangeFeed& operator=(const TAlertChangeFeed&) = delete;

    // False when the alerts had no place left for the feed.
    bool Subscribed() const { return subscribed_; }
    // The outlet must outlive the feed, or be removed first.
    void AddOutlet(TAlertOutlet* outlet);
    void RemoveOutlet(TAlertOutlet* outlet);

    void AlertStateChanged(TAlertKind kind, uint16_t index, TAlertState state) override;
    void AlertsCleared() override;

private:
    TStore& store_;
    std::array<TAlertOutlet*, MaxOutlets> outlets_{};
    bool subscribed_ = false;
};

} // namespace corvane
