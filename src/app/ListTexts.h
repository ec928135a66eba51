// The sensor list's texts: every cell and counter caption, made from what the store reports.
// Qt-free, so the store's tests see the very texts the list shows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/Alerts.h"
#include "store/Listener.h"
#include "store/Store.h"
#include "util/TextBuffer.h"

namespace corvane {

// The cells a row is made with, before its first figures (Loss % stays empty).
constexpr std::string_view NoCount = "0"; // Count, Duplicates and Run Avg
constexpr std::string_view NoRoutes = "0";

struct TRowTexts {
    std::string_view Label;
    bool Marked;
    std::string_view Count;
    std::string_view Dups;
    std::string_view RunAvg;
    std::string_view Age; // empty while the sensor has no read counted
};

// One row's texts, made in buffers of their own; valid while the maker lives.
class TListTexts {
public:
    // The label and kind of a new row.
    void New(const TStore& store, uint16_t row);
    // Every figure cell after a recomputation, the age counted to now.
    void Changed(const TStore& store, uint16_t row, TDateTime now, bool health = true);
    // An expiry tick's cells: Run Avg only when it moved (else empty), Age, and the health.
    void Aged(const TStore& store, uint16_t row, bool runAvgMoved, int32_t age, bool health = true);
    // "Loss %" and "Routes" as the sensor's chain gives them now.
    void Health(const TStore& store, uint16_t row);

    TRowTexts Row() const { return {Label, Marked, Count, Dups, RunAvg, Age}; }

    std::string_view Label, Kind;
    bool Marked = false;
    std::string_view Count, Dups, RunAvg, Age, Loss, Routes;

    // "Sensor (n)" and "Count (n)"; valid while the maker lives.
    std::string_view SensorCaption(uint16_t sensors);
    std::string_view CountCaption(int32_t reads);

private:
    char label_[NameMax + 1];
    TTextBuffer<16> count_, dups_, age_;
    TTextBuffer<48> runAvg_;
    TTextBuffer<32> caption_;
    char loss_[16], routes_[16];
};

// What a row's alert mark means, for its tooltip: "Late: no read for 95 s, usual gap 30 s" (the
// gap left out when none is known, below 0); empty while the sensor reports.
std::string AlertTip(TAlertState state, int32_t silence, float usualGap);
// What a row behind something is behind, for its mark's tooltip: "Behind repeater a (silent)",
// "Behind entry North Gate (late)"; empty without a cause.
std::string BehindTip(const TStore& store, TAlertCause cause);
// The status bar's alert label: "1 silent, 4 late, 8 behind them", the records late or silent of
// their own and, when any are, those behind them; empty when all three are 0.
std::string AlertCountsText(int32_t silent, int32_t late, int32_t behind);

// The marker beside a sensor's label.
constexpr std::string_view MarkedTip = "Marked packet type";

} // namespace corvane
