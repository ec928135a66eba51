#include "store/ListSort.h"

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

} // namespace corvane
