#include "app/qt/RouteTree.h"

#include <QHeaderView>
#include <QPointer>
#include <QScrollBar>
#include <QTreeView>

#include "app/qt/RouteTreeModel.h"
#include "store/ActivityStore.h"
#include "util/qt/FramePace.h"
#include "util/qt/UnshapedText.h"

namespace corvane {

TRouteTree::TRouteTree() : model_(std::make_unique<TRouteTreeModel>()) {
    entryNodes_.fill(NoNode);
    repeatNodes_.fill(NoNode);
    sensorNodes_.fill(NoNode);
}

TRouteTree::~TRouteTree() = default;

QAbstractItemModel* TRouteTree::Model() const {
    return model_.get();
}

void TRouteTree::Attach(QTreeView* view) {
    view->setModel(model_.get());
    model_->AddView(view);
    PreferUnshapedText(view);
    view->setHeaderHidden(true);
    view->setUniformRowHeights(true);
    view->setIndentation(19);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    // Long lines scroll sideways instead of being cut short. The width is measured over the lines
    // on screen only: measured over every open line, as by default, each change of a shown line
    // cost a thousand text measurements once the sensors were open. Scrolling measures again.
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header->setResizeContentsPrecision(0);
    QObject::connect(view->verticalScrollBar(), &QScrollBar::valueChanged, header,
                     [header] { header->resizeSections(QHeaderView::ResizeToContents); });
}

int32_t TRouteTree::OwnerNode(TOwnerKind kind, uint8_t index) const {
    if (kind == TOwnerKind::Entry)
        return index < MaxEntries ? entryNodes_[index] : NoNode;
    return index < MaxRepeats ? repeatNodes_[index] : NoNode;
}

void TRouteTree::OwnerAdded(const TStore& store, TOwnerKind kind, uint8_t index) {
    AddOwnerNode(kind, index, OwnerLabel(store, kind, index));
}

void TRouteTree::SensorAdded(const TStore& store, uint16_t row) {
    char label[NameMax + 1];
    AddSensorNode(row, store.SensorLabel(row, label));
}

void TRouteTree::SlotAdded(const TStore& store, uint16_t row, TOwnerKind kind, uint8_t owner) {
    AddSlotNode(row, kind, OwnerLabel(store, kind, owner));
}

void TRouteTree::ActivityChanged(TOwnerKind kind, uint8_t index, const TActivityFigures& f) {
    TTreeLines lines;
    SetActivityLines(kind, index, lines.Activity(f));
}

void TRouteTree::StatsChanged(uint16_t row, TStatsGroup group, uint8_t slot, const TStats& stats) {
    TTreeLines lines;
    SetStatsLines(row, group, slot, lines.Stats(stats));
}

void TRouteTree::AddOwnerNode(TOwnerKind kind, uint8_t index, std::string_view label) {
    label = label.substr(0, NameMax);
    if (kind == TOwnerKind::Entry && index < MaxEntries) {
        entryLabels_[index].Assign(label);
        entryNodes_[index] = model_->AddNode(EntryPointsNode, label, &NoActivityLines);
    } else if (kind == TOwnerKind::Repeat && index < MaxRepeats) {
        repeatLabels_[index].Assign(label);
        repeatNodes_[index] = model_->AddNode(RepeatersNode, label, &NoActivityLines);
    } else {
        return;
    }
    ShowOwnerText(kind, index);
    const TAlertKind alert = kind == TOwnerKind::Entry ? TAlertKind::Entry : TAlertKind::Repeat;
    model_->SetAlert(AlertNode(alert, index), AlertState(alert, index));
}

void TRouteTree::AddSensorNode(uint16_t row, std::string_view label) {
    if (row >= MaxSensors)
        return;
    sensorNodes_[row] = model_->AddNode(SensorsNode, label, nullptr, true);
    model_->SetAlert(sensorNodes_[row], sensorAlerts_[row]);
}

void TRouteTree::AddSlotNode(uint16_t row, TOwnerKind kind, std::string_view label) {
    const int32_t group =
        model_->Child(SensorNode(row), kind == TOwnerKind::Entry ? EntryChild : RepeatChild);
    if (group != NoNode)
        model_->AddNode(group, label.substr(0, NameMax), &NoStatsLines);
}

void TRouteTree::SetActivityLines(TOwnerKind kind, uint8_t index, const TFourLines& lines) {
    const int32_t node = OwnerNode(kind, index);
    if (node != NoNode)
        model_->SetLines(node, lines);
}

void TRouteTree::SetStatsLines(uint16_t row, TStatsGroup group, uint8_t slot,
                               const TFourLines& lines) {
    const int32_t sensor = SensorNode(row);
    int32_t node = NoNode;
    switch (group) {
    case TStatsGroup::Statistics:
        node = model_->Child(sensor, StatisticsChild);
        break;
    case TStatsGroup::Entry:
        node = model_->Child(model_->Child(sensor, EntryChild), slot);
        break;
    case TStatsGroup::Repeat:
        node = model_->Child(model_->Child(sensor, RepeatChild), slot);
        break;
    }
    if (node != NoNode)
        model_->SetLines(node, lines);
}

void TRouteTree::Clear() {
    model_->Clear();
    entryNodes_.fill(NoNode);
    repeatNodes_.fill(NoNode);
    sensorNodes_.fill(NoNode);
    entryAlerts_.fill(TAlertState::Reporting);
    repeatAlerts_.fill(TAlertState::Reporting);
    sensorAlerts_.fill(TAlertState::Reporting);
    entryBehind_.fill(0);
    repeatBehind_.fill(0);
}

void TRouteTree::SetSensorsBehind(TOwnerKind kind, uint8_t index, int32_t count) {
    const bool entry = kind == TOwnerKind::Entry;
    if (index >= (entry ? MaxEntries : MaxRepeats))
        return;
    int32_t& shown = entry ? entryBehind_[index] : repeatBehind_[index];
    if (shown == count)
        return;
    shown = count;
    ShowOwnerText(kind, index);
}

int32_t TRouteTree::SensorsBehind(TOwnerKind kind, uint8_t index) const {
    if (kind == TOwnerKind::Entry)
        return index < MaxEntries ? entryBehind_[index] : 0;
    return index < MaxRepeats ? repeatBehind_[index] : 0;
}

void TRouteTree::ShowOwnerText(TOwnerKind kind, uint8_t index) {
    const bool entry = kind == TOwnerKind::Entry;
    const TName& label = entry ? entryLabels_[index] : repeatLabels_[index];
    model_->SetText(
        OwnerNode(kind, index),
        OwnerNodeText(label.View(), entry ? entryBehind_[index] : repeatBehind_[index]));
}

TAlertState* TRouteTree::AlertSlot(TAlertKind kind, uint16_t index) {
    switch (kind) {
    case TAlertKind::Entry:
        return index < MaxEntries ? &entryAlerts_[index] : nullptr;
    case TAlertKind::Repeat:
        return index < MaxRepeats ? &repeatAlerts_[index] : nullptr;
    default:
        return index < MaxSensors ? &sensorAlerts_[index] : nullptr;
    }
}

void TRouteTree::SetAlertState(TAlertKind kind, uint16_t index, TAlertState state) {
    TAlertState* slot = AlertSlot(kind, index);
    if (!slot)
        return;
    *slot = state;
    model_->SetAlert(AlertNode(kind, index), state);
}

void TRouteTree::ClearAlertStates() {
    for (uint8_t i = 0; i < MaxEntries; ++i)
        SetSensorsBehind(TOwnerKind::Entry, i, 0);
    for (uint8_t i = 0; i < MaxRepeats; ++i)
        SetSensorsBehind(TOwnerKind::Repeat, i, 0);
    for (TAlertKind kind : {TAlertKind::Entry, TAlertKind::Repeat, TAlertKind::Sensor}) {
        const uint16_t n = kind == TAlertKind::Entry    ? MaxEntries
                           : kind == TAlertKind::Repeat ? MaxRepeats
                                                        : MaxSensors;
        for (uint16_t i = 0; i < n; ++i)
            SetAlertState(kind, i, TAlertState::Reporting);
    }
}

TAlertState TRouteTree::AlertState(TAlertKind kind, uint16_t index) const {
    switch (kind) {
    case TAlertKind::Entry:
        return index < MaxEntries ? entryAlerts_[index] : TAlertState::Reporting;
    case TAlertKind::Repeat:
        return index < MaxRepeats ? repeatAlerts_[index] : TAlertState::Reporting;
    default:
        return index < MaxSensors ? sensorAlerts_[index] : TAlertState::Reporting;
    }
}

int32_t TRouteTree::AlertNode(TAlertKind kind, uint16_t index) const {
    switch (kind) {
    case TAlertKind::Entry:
        return index < MaxEntries ? entryNodes_[index] : NoNode;
    case TAlertKind::Repeat:
        return index < MaxRepeats ? repeatNodes_[index] : NoNode;
    default:
        return SensorNode(index);
    }
}

void TRouteTree::SelectSensor(QTreeView* view, uint16_t row) const {
    const QModelIndex node = SensorIndex(row);
    if (!node.isValid() || !view->selectionModel())
        return;
    for (QModelIndex p = node.parent(); p.isValid(); p = p.parent())
        view->expand(p);
    view->expandRecursively(node);
    view->selectionModel()->setCurrentIndex(node, QItemSelectionModel::ClearAndSelect);
    view->scrollTo(node);
}

QModelIndex TRouteTree::RootIndex(TRoot root) const {
    return model_->IndexOf(root);
}

QModelIndex TRouteTree::OwnerIndex(TOwnerKind kind, uint8_t index) const {
    return model_->IndexOf(OwnerNode(kind, index));
}

QModelIndex TRouteTree::SensorIndex(uint16_t row) const {
    return model_->IndexOf(SensorNode(row));
}

bool TRouteTree::RecordAt(const QModelIndex& index, TAlertKind& kind, uint16_t& record) const {
    QModelIndex node = index;
    while (node.isValid() && node.parent().isValid() && node.parent().parent().isValid())
        node = node.parent();
    if (!node.isValid() || !node.parent().isValid())
        return false;
    const auto id = static_cast<int32_t>(node.internalId());
    auto find = [&](const auto& nodes, TAlertKind k) {
        for (size_t i = 0; i < nodes.size(); ++i)
            if (nodes[i] == id) {
                kind = k;
                record = static_cast<uint16_t>(i);
                return true;
            }
        return false;
    };
    return find(entryNodes_, TAlertKind::Entry) || find(repeatNodes_, TAlertKind::Repeat) ||
           find(sensorNodes_, TAlertKind::Sensor);
}

int32_t TRouteTree::SensorNode(uint16_t row) const {
    return row < MaxSensors ? sensorNodes_[row] : NoNode;
}

} // namespace corvane
