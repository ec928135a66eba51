// How the sensor list catches up with the store: changes are noted as they come and carried out
// once per frame of the screen, a re-sort of the rows that moved and a repaint of the cells that
// changed.
#include <algorithm>

#include "app/qt/SensorListModel.h"
#include "store/ActivityStore.h"
#include "util/qt/FramePace.h"

#include <QTimer>

namespace corvane {

void TSensorListModel::Post(bool resort, uint16_t row, int first, int last) {
    repaintPending_ = true;
    resortPending_ = resortPending_ || resort;
    if (row != NoRow)
        dirty_.push_back(row);
    dirtyFirst_ = std::min(dirtyFirst_, first);
    dirtyLast_ = std::max(dirtyLast_, last);
    if (flushPosted_)
        return;
    flushPosted_ = true;
    TFramePace::Instance().Ask(this, [this] { Flush(); });
}

void TSensorListModel::Flush() {
    flushPosted_ = false;
    if (resortPending_) {
        resortPending_ = false;
        Resort();
    }
    if (repaintPending_) {
        repaintPending_ = false;
        Repaint();
    }
    // The header hears of new captions a turn later, after the view has laid out a re-sort's
    // rows: told at once, it was painted alone before that layout and again with it, two
    // repaints of the window a frame wherever the Count caption changes every frame (a ring
    // still filling, a full sensor table refusing packets). headerData reads the new texts
    // already.
    if (captionsPending_)
        QTimer::singleShot(0, this, [this] { TellCaptions(); });
}

// The notices for the frame, over the rows and columns that changed since the last, at their
// positions after any re-sort (a re-sort repaints what it moved by itself).
void TSensorListModel::Repaint() {
    const int first = std::max(dirtyFirst_, 0), last = std::min(dirtyLast_, ListColumnCount - 1);
    const bool all = repaintAll_;
    std::vector<int>& rows = repaintRows_;
    rows.clear();
    if (!all)
        for (const uint16_t sensor : dirty_)
            if (Has(sensor))
                rows.push_back(pos_[sensor]);
    dirty_.clear();
    repaintAll_ = false;
    dirtyFirst_ = ListColumnCount;
    dirtyLast_ = -1;
    if (first > last || order_.empty())
        return;
    const QList<int> roles = {Qt::DisplayRole, Qt::DecorationRole, Qt::BackgroundRole,
                              Qt::ForegroundRole};
    const auto tell = [&](int top, int bottom) {
        emit dataChanged(index(top, first), index(bottom, last), roles);
    };
    if (all) {
        tell(0, static_cast<int>(order_.size()) - 1);
        return;
    }
    if (rows.empty())
        return;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // A few scattered rows (a quiet network's frame) are told run by run, so that the view
    // repaints just them; many are told as one span, since every notice costs the view a walk.
    std::vector<std::pair<int, int>>& runs = repaintRuns_;
    runs.clear();
    for (const int row : rows)
        if (!runs.empty() && runs.back().second + 1 == row)
            runs.back().second = row;
        else
            runs.emplace_back(row, row);
    if (runs.size() > kMaxRepaintRuns) {
        tell(rows.front(), rows.back());
        return;
    }
    for (const auto& [top, bottom] : runs)
        tell(top, bottom);
}

void TSensorListModel::Resort() {
    if (!store_) // no store has reported yet, so no row has come from one
        return;
    // The rows that changed since the last re-sort wait in dirty_; a new sort state moves them
    // all.
    std::vector<uint16_t>& sorted = sorted_;
    SortAfterChanges(*store_, sort_, order_,
                     repaintAll_ ? std::span<const uint16_t>(order_) : std::span(dirty_), sorted);
    if (sorted == order_)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Selection and current row follow their sensors to the new positions.
    const QModelIndexList from = persistentIndexList();
    std::vector<uint16_t> sensors;
    sensors.reserve(from.size());
    for (const QModelIndex& i : from)
        sensors.push_back(order_[i.row()]);
    order_.swap(sorted);
    for (size_t k = 0; k < order_.size(); ++k)
        pos_[order_[k]] = static_cast<int>(k);
    QModelIndexList to;
    to.reserve(from.size());
    for (qsizetype k = 0; k < from.size(); ++k)
        to.push_back(index(pos_[sensors[k]], from[k].column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace corvane
