#include "store/ListSort.h"

#include <algorithm>

#include "store/ActivityStore.h"
#include "util/untConst.h"
#include "util/untUtils.h"

namespace corvane {

namespace {

template <typename T>
int Sign(T d) {
    return d > 0 ? 1 : (d < 0 ? -1 : 0);
}

int CompareNatural(const TStore& store, int column, uint16_t a, uint16_t b) {
    const TSensor& sa = store.Sensors[a];
    const TSensor& sb = store.Sensors[b];
    switch (column) {
    case 0: {
        char la[NameMax + 1];
        char lb[NameMax + 1];
        return CompareNoCase(store.SensorLabel(a, la), store.SensorLabel(b, lb));
    }
    case 1:
        return CompareNoCase(SensorKindName(sa.Kind), SensorKindName(sb.Kind));
    case 2:
        return Sign(static_cast<int64_t>(sb.Stats.Count) - sa.Stats.Count);
    case 3:
        return Sign(static_cast<int64_t>(sb.Stats.Dups) - sa.Stats.Dups);
    case 4:
        return Sign(static_cast<float>(sb.Stats.RunAvg - sa.Stats.RunAvg));
    case 5:
        return Sign(sb.Stats.LastTime - sa.Stats.LastTime);
    case LossColumn: // largest first; sensors without a figure (-1) last
        return Sign(static_cast<int64_t>(store.Health(b).LossTenths) - store.Health(a).LossTenths);
    default: // RoutesColumn: fewest first
        return Sign(static_cast<int64_t>(store.Health(a).Routes) - store.Health(b).Routes);
    }
}

} // namespace

void TSortState::ColumnClick(int column) {
    if (column == SortColumn) {
        SortReverse = !SortReverse;
        return;
    }
    TieColumn = SortColumn;
    TieReverse = SortReverse;
    SortColumn = column;
    SortReverse = DefaultReverse(column);
}

int CompareColumn(const TStore& store, int column, bool reverse, uint16_t a, uint16_t b) {
    const int natural = CompareNatural(store, column, a, b);
    return reverse ? -natural : natural;
}

int CompareRows(const TStore& store, const TSortState& state, uint16_t a, uint16_t b) {
    const int primary = CompareColumn(store, state.SortColumn, state.SortReverse, a, b);
    if (primary != 0)
        return primary;
    return CompareColumn(store, state.TieColumn, state.TieReverse, a, b);
}

void StableSortRows(const TStore& store, const TSortState& state, std::vector<uint16_t>& rows) {
    std::stable_sort(rows.begin(), rows.end(),
                     [&](uint16_t a, uint16_t b) { return CompareRows(store, state, a, b) < 0; });
}

void SortAfterChanges(const TStore& store, const TSortState& state,
                      const std::vector<uint16_t>& order, std::span<const uint16_t> changed,
                      std::vector<uint16_t>& sorted) {
    const auto fullSort = [&] {
        sorted = order;
        StableSortRows(store, state, sorted);
    };
    if (changed.size() > order.size() / 8) {
        fullSort();
        return;
    }
    // A stable sort orders by the columns, then by the place in `order`.
    uint16_t top = 0;
    for (const uint16_t row : order)
        top = std::max(top, row);
    std::vector<int> at(size_t(top) + 1, -1);
    for (size_t k = 0; k < order.size(); ++k)
        at[order[k]] = static_cast<int>(k);
    const auto before = [&](uint16_t a, uint16_t b) {
        const int c = CompareRows(store, state, a, b);
        return c < 0 || (c == 0 && at[a] < at[b]);
    };
    // Each row of the list once, however often it was named.
    std::vector<bool> isMoving(size_t(top) + 1, false);
    std::vector<uint16_t> moving;
    moving.reserve(changed.size());
    for (const uint16_t row : changed)
        if (row <= top && at[row] >= 0 && !isMoving[row]) {
            isMoving[row] = true;
            moving.push_back(row);
        }
    std::vector<uint16_t> staying;
    staying.reserve(order.size());
    for (const uint16_t row : order)
        if (!isMoving[row])
            staying.push_back(row);
    std::sort(moving.begin(), moving.end(), before);

    sorted.clear();
    sorted.reserve(order.size());
    auto from = staying.cbegin();
    for (const uint16_t row : moving) {
        const auto to = std::lower_bound(from, staying.cend(), row, before);
        sorted.insert(sorted.end(), from, to);
        sorted.push_back(row);
        from = to;
    }
    sorted.insert(sorted.end(), from, staying.cend());
    for (size_t k = 1; k < sorted.size(); ++k)
        if (!before(sorted[k - 1], sorted[k])) {
            fullSort();
            return;
        }
}

} // namespace corvane
