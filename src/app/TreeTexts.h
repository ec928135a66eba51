// The route tree's texts: every node label and line, made from what the store reports. Qt-free,
// so the store's tests see the very texts the tree shows.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "store/Listener.h"
#include "store/Store.h"
#include "util/TextBuffer.h"

namespace corvane {

using TFourLines = std::array<std::string_view, 4>;

// The lines a node is made with, before its first figures.
constexpr TFourLines NoActivityLines = {"Last Activitiy: (none)", "Last 5 min. Count: 0",
                                        "Last 10 min. Count: 0", "Total Count: 0"};
constexpr TFourLines NoStatsLines = {"Count", "Duplicates", "Max Gap", "Min Gap"};

// An entry point's node and slots show its name as it was when its node was made; a repeater's
// show its character.
std::string_view OwnerLabel(const TStore& store, TOwnerKind kind, uint8_t index);

// An entry point's or repeater's node while late or silent sensors are behind it:
// "a (3 sensors behind it)"; the label alone while none are.
std::string OwnerNodeText(std::string_view label, int32_t sensorsBehind);

// Four lines made in buffers of their own; valid while the maker lives.
class TTreeLines {
public:
    const TFourLines& Activity(const TActivityFigures& f);
    const TFourLines& Stats(const TStats& stats);

private:
    std::array<TTextBuffer<40>, 4> buffers_;
    TFourLines lines_;
    const TFourLines& Lines();
};

} // namespace corvane
