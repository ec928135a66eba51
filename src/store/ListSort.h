// The sensor list's order: one primary column with the previous primary column breaking ties.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace corvane {

class TStore;

// Sensor, Kind, Count, Duplicates, Run Avg, Age, then "Loss %" and "Routes".
constexpr int AgeColumn = 5;
constexpr int LossColumn = 6;
constexpr int RoutesColumn = 7;
constexpr int SortColumnCount = 8;
constexpr int ListColumnCount = SortColumnCount;

struct TSortState {
    int SortColumn = 0;
    bool SortReverse = false;
    int TieColumn = 4;
    bool TieReverse = true;

    // A click on a column header: the same column reverses, another one becomes primary with its
    // default flag and the old primary breaks its ties.
    void ColumnClick(int column);
    // Run Avg and Age start reversed; Loss % starts largest first and Routes fewest first, so a
    // first click on either shows the sensors most at risk on top.
    static bool DefaultReverse(int column) { return column == 4 || column == 5; }
    // Whether the shown values of the sort column rise down the list: labels, kinds, ages and
    // routes rise in their natural order, the counts, Run Avg and Loss % fall in theirs.
    bool Ascending() const {
        const bool naturalRise = SortColumn <= 1 || SortColumn == 5 || SortColumn == RoutesColumn;
        return naturalRise != SortReverse;
    }
};

// One column's comparison of rows a and b (negative: a first), natural or reversed.
int CompareColumn(const TStore& store, int column, bool reverse, uint16_t a, uint16_t b);
// The list's comparison: the primary column, then the tie column.
int CompareRows(const TStore& store, const TSortState& state, uint16_t a, uint16_t b);

// The rows in the list's order; rows that compare equal keep their order.
void StableSortRows(const TStore& store, const TSortState& state, std::vector<uint16_t>& rows);

// The order a stable sort of `order` gives, into `sorted`. `order` was in that order before the
// rows in `changed` changed; those few are taken out and put back where they belong, and one pass
// over the result checks that it is what the stable sort gives (ties keep their places in
// `order`). When it is not (a row not in `changed` changed too), or when many rows changed, the
// whole list is sorted. A frame of a busy network changes a few dozen of 2000 rows.
void SortAfterChanges(const TStore& store, const TSortState& state,
                      const std::vector<uint16_t>& order, std::span<const uint16_t> changed,
                      std::vector<uint16_t>& sorted);

} // namespace corvane
