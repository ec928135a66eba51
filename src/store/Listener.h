// Everything the engine asks of the views goes through this interface, which the main window
// implements. The engine computes every text a view shows; the views only place it. Texts are
// handed over as views of the engine's own buffers and are valid only during the call.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace corvane {

enum class TOwnerKind : uint8_t { Entry, Repeat };
// The node groups under a sensor's route-tree node: its own "Statistics", and one child per
// entry slot under "Entry" and per repeater slot under "Repeat".
enum class TStatsGroup : uint8_t { Statistics, Entry, Repeat };

using TFourLines = std::array<std::string_view, 4>;

struct TRowTexts {
    std::string_view Label;
    bool Marked;
    std::string_view Count;
    std::string_view Dups;
    std::string_view RunAvg;
    std::string_view Age; // empty while the sensor has no read counted
};

class TCorvListener {
public:
    virtual ~TCorvListener() = default;

    // One line for the log pane; the pane adds the time of day. An empty message is an empty line.
    virtual void AddLogLine(std::string_view message) = 0;

    // Sensor list. A made row shows kind and zeros; every update is followed by a re-sort.
    virtual void MakeListRow(uint16_t row, std::string_view label, std::string_view kind) = 0;
    virtual void UpdateListRow(uint16_t row, const TRowTexts& texts) = 0;
    // Column captions "Sensor (n)" (column 0) and "Count (n)" (column 2).
    virtual void SetColumnCaption(int column, std::string_view caption) = 0;
    // Ageing, once per expiry tick: rows with reads get their Age cell and, when the running
    // average moved, their Run Avg cell (runAvg empty = unchanged), between Begin and End.
    virtual void BeginAgeing() = 0;
    virtual void AgeListRow(uint16_t row, std::string_view runAvg, std::string_view age) = 0;
    virtual void EndAgeing() = 0;

    // Route tree.
    virtual void AddOwnerNode(TOwnerKind kind, uint8_t index, std::string_view label) = 0;
    virtual void AddSensorNode(uint16_t row, std::string_view label) = 0;
    // A new child under the sensor's "Entry" (kind Entry) or "Repeat" (kind Repeat) node.
    virtual void AddSlotNode(uint16_t row, TOwnerKind kind, std::string_view label) = 0;
    virtual void SetActivityLines(TOwnerKind kind, uint8_t index, const TFourLines& lines) = 0;
    // slot: position under "Entry"/"Repeat"; ignored for the "Statistics" group.
    virtual void SetStatsLines(uint16_t row, TStatsGroup group, uint8_t slot,
                               const TFourLines& lines) = 0;

    // Main window state.
    virtual void SetExpireInterval(int milliseconds) = 0;
    virtual void EnableByEntry() = 0;
};

// A listener that ignores everything: for benchmarks and for tests that only read the store.
class TNullListener : public TCorvListener {
public:
    void AddLogLine(std::string_view) override {}
    void MakeListRow(uint16_t, std::string_view, std::string_view) override {}
    void UpdateListRow(uint16_t, const TRowTexts&) override {}
    void SetColumnCaption(int, std::string_view) override {}
    void BeginAgeing() override {}
    void AgeListRow(uint16_t, std::string_view, std::string_view) override {}
    void EndAgeing() override {}
    void AddOwnerNode(TOwnerKind, uint8_t, std::string_view) override {}
    void AddSensorNode(uint16_t, std::string_view) override {}
    void AddSlotNode(uint16_t, TOwnerKind, std::string_view) override {}
    void SetActivityLines(TOwnerKind, uint8_t, const TFourLines&) override {}
    void SetStatsLines(uint16_t, TStatsGroup, uint8_t, const TFourLines&) override {}
    void SetExpireInterval(int) override {}
    void EnableByEntry() override {}
};

} // namespace corvane
