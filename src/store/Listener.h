// What the store reports to the views, one interface per view: the sensor list's, the route
// tree's and the main window's own. The store says what changed and hands over the figures; each
// view makes its texts from them, during the call, with the text maker beside it. A view is called
// directly, never through the window.
#pragma once

#include <cstdint>
#include <string_view>
#include <type_traits>

#include "util/untTime.h"

namespace corvane {

class TStore;
struct TStats;

enum class TOwnerKind : uint8_t { Entry, Repeat };
// The node groups under a sensor's route-tree node: its own "Statistics", and one child per
// entry slot under "Entry" and per repeater slot under "Repeat".
enum class TStatsGroup : uint8_t { Statistics, Entry, Repeat };

// An entry point's or repeater's recent activity as its node shows it.
struct TActivityFigures {
    TDateTime LastLocal; // local time of its newest read; NoTime without one
    int32_t Last5;
    int32_t Last10;
    int64_t Total;
};

// The sensor list: its rows, the counters in two captions, and the ageing of the rows.
class TListListener {
public:
    virtual ~TListListener() = default;
    // A new sensor row, showing its label and kind and zero figures.
    virtual void RowMade(const TStore& store, uint16_t row) = 0;
    // The sensor's figures were recomputed; its age counts to now. A re-sort follows.
    virtual void RowChanged(const TStore& store, uint16_t row, TDateTime now) = 0;
    // The counters of the "Sensor (n)" and "Count (n)" captions.
    virtual void SensorCountChanged(uint16_t sensors) = 0;
    virtual void ReadCountChanged(int32_t reads) = 0;
    // Ageing, once per expiry tick: each row with reads between Begin and End, with its age in
    // seconds and whether its running average moved.
    virtual void BeginAgeing() = 0;
    virtual void RowAged(const TStore& store, uint16_t row, bool runAvgMoved, int32_t age) = 0;
    virtual void EndAgeing() = 0;
};

// The route tree: entry points, repeaters and sensors, each node made with its first lines.
class TTreeListener {
public:
    virtual ~TTreeListener() = default;
    virtual void OwnerAdded(const TStore& store, TOwnerKind kind, uint8_t index) = 0;
    virtual void SensorAdded(const TStore& store, uint16_t row) = 0;
    // A new slot under the sensor's "Entry" or "Repeat" node, for that entry point or repeater.
    virtual void SlotAdded(const TStore& store, uint16_t row, TOwnerKind kind, uint8_t owner) = 0;
    virtual void ActivityChanged(TOwnerKind kind, uint8_t index, const TActivityFigures& f) = 0;
    // slot: position under "Entry"/"Repeat"; ignored for the "Statistics" group.
    virtual void StatsChanged(uint16_t row, TStatsGroup group, uint8_t slot,
                              const TStats& stats) = 0;
};

// The main window itself: the log pane, the expiry period and the "&By Entry..." command.
class TShellListener {
public:
    virtual ~TShellListener() = default;
    // One line for the log pane; the pane adds the time of day. An empty message is an empty line.
    virtual void AddLogLine(std::string_view message) = 0;
    virtual void SetExpireInterval(int milliseconds) = 0;
    virtual void EnableByEntry() = 0;
};

// Listeners that ignore everything: for the service, benchmarks and tests that read the store.
class TNullListListener : public TListListener {
public:
    void RowMade(const TStore&, uint16_t) override {}
    void RowChanged(const TStore&, uint16_t, TDateTime) override {}
    void SensorCountChanged(uint16_t) override {}
    void ReadCountChanged(int32_t) override {}
    void BeginAgeing() override {}
    void RowAged(const TStore&, uint16_t, bool, int32_t) override {}
    void EndAgeing() override {}
};

class TNullTreeListener : public TTreeListener {
public:
    void OwnerAdded(const TStore&, TOwnerKind, uint8_t) override {}
    void SensorAdded(const TStore&, uint16_t) override {}
    void SlotAdded(const TStore&, uint16_t, TOwnerKind, uint8_t) override {}
    void ActivityChanged(TOwnerKind, uint8_t, const TActivityFigures&) override {}
    void StatsChanged(uint16_t, TStatsGroup, uint8_t, const TStats&) override {}
};

class TNullShellListener : public TShellListener {
public:
    void AddLogLine(std::string_view) override {}
    void SetExpireInterval(int) override {}
    void EnableByEntry() override {}
};

class TNullListener : public TNullShellListener,
                      public TNullListListener,
                      public TNullTreeListener {};

// The three views the store reports to.
struct TViews {
    TShellListener& Shell;
    TListListener& List;
    TTreeListener& Tree;

    TViews(TShellListener& shell, TListListener& list, TTreeListener& tree)
        : Shell(shell), List(list), Tree(tree) {}
    // One object that listens for all three views, as the null and the tests' listeners do.
    template <typename TAll>
    requires(std::is_base_of_v<TShellListener, TAll>&& std::is_base_of_v<TListListener, TAll>&&
                 std::is_base_of_v<TTreeListener, TAll>) TViews(TAll& all)
        : Shell(all), List(all), Tree(all) {}
};

} // namespace corvane
