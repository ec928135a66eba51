// The sensor list's columns as the model and the view both lay them out.
#pragma once

#include <Qt>

#include <array>

#include "store/ListSort.h"

namespace corvane::list_columns {

inline constexpr std::array<int, ListColumnCount> Widths = {125, 80, 80, 80, 60, 75, 60, 55};
inline constexpr std::array<Qt::Alignment::Int, ListColumnCount> Aligns = {
    Qt::AlignLeft,  Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignHCenter,
    Qt::AlignRight, Qt::AlignHCenter, Qt::AlignRight,   Qt::AlignHCenter};
inline constexpr std::array<const char*, ListColumnCount> Captions = {
    "Sensor", "Kind", "Count", "Duplicates", "Run Avg", "Age", "Loss %", "Routes"};
// The state mark goes beside the silence it is about.
inline constexpr int MarkColumn = 5;

} // namespace corvane::list_columns
