#include "app/qt/StationRollModel.h"

#include <QPalette>

#include "util/qt/Latin1.h"

namespace corvane {

void TStationRollModel::Apply(const std::vector<TStationEvent>& events, size_t n) {
    using TKind = TStationRoll::TChange::TKind;
    for (size_t i = 0; i < n; ++i) {
        const TStationEvent& e = events[i];
        if (e.Kind == TStationEvent::TKind::New) {
            if (roll_.Knows(e.Station))
                continue;
            const int row = int(roll_.PlaceOf(e.Message.Line));
            beginInsertRows({}, row, row);
            roll_.Apply(e);
            endInsertRows();
            continue;
        }
        const TStationRoll::TChange change = roll_.Apply(e);
        if (change.Kind == TKind::Changed)
            emit dataChanged(index(int(change.Row), ColState), index(int(change.Row), ColState));
    }
}

void TStationRollModel::Clear() {
    beginResetModel();
    roll_.Clear();
    endResetModel();
}

int TStationRollModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(roll_.Entries().size());
}

int TStationRollModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TStationRollModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const TStationRoll::TEntry& e = roll_.Entries()[size_t(index.row())];
    if (role == Qt::DisplayRole)
        return index.column() == ColStation ? Latin1(e.Name) : StateText(e);
    // A station that is not online is told apart at a glance, in the palette's own grey.
    if (role == Qt::ForegroundRole && e.State != TStationRoll::TState::Online)
        return QPalette().brush(QPalette::Disabled, QPalette::Text);
    return {};
}

QString TStationRollModel::StateText(const TStationRoll::TEntry& entry) const {
    QString text = QString::fromLatin1(StationStateName(entry.State));
    if (!own_.empty() && entry.Name == own_)
        text += QStringLiteral(" (this run)");
    return text;
}

QVariant TStationRollModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == ColStation ? QStringLiteral("Station") : QStringLiteral("State");
}

} // namespace corvane
