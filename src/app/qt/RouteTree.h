// The route tree tvDev: entry points and repeaters with their recent activity, sensors with their
// statistics by entry point and repeater. It hears the store directly and makes its lines with
// TreeTexts. The nodes live in one flat pool; a text is stored and repainted only when it differs
// from what the node shows.
#pragma once

#include <QAbstractItemModel>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/TreeTexts.h"
#include "store/Alerts.h"
#include "store/Listener.h"
#include "store/Store.h"

class QTreeView;

namespace corvane {

class TRouteTreeModel;

class TRouteTree : public TTreeListener {
public:
    enum TRoot { EntryPointsNode = 0, RepeatersNode = 1, SensorsNode = 2 };

    TRouteTree();
    ~TRouteTree() override;
    TRouteTree(const TRouteTree&) = delete;
    TRouteTree& operator=(const TRouteTree&) = delete;

    QAbstractItemModel* Model() const;
    // Sets a tree view up for this tree: uniform rows, 19-pixel indent, read-only, no header.
    void Attach(QTreeView* view);

    // What the store reports.
    void OwnerAdded(const TStore& store, TOwnerKind kind, uint8_t index) override;
    void SensorAdded(const TStore& store, uint16_t row) override;
    void SlotAdded(const TStore& store, uint16_t row, TOwnerKind kind, uint8_t owner) override;
    void ActivityChanged(TOwnerKind kind, uint8_t index, const TActivityFigures& f) override;
    void StatsChanged(uint16_t row, TStatsGroup group, uint8_t slot, const TStats& stats) override;

    // The nodes and lines as they are placed; a new node comes with its first lines.
    void AddOwnerNode(TOwnerKind kind, uint8_t index, std::string_view label);
    void AddSensorNode(uint16_t row, std::string_view label);
    void AddSlotNode(uint16_t row, TOwnerKind kind, std::string_view label);
    void SetActivityLines(TOwnerKind kind, uint8_t index, const TFourLines& lines);
    void SetStatsLines(uint16_t row, TStatsGroup group, uint8_t slot, const TFourLines& lines);
    // Removes everything under the three roots.
    void Clear();
    // The tone and mark of an entry point's, repeater's or sensor's node; a state that comes
    // before its node is kept for it.
    void SetAlertState(TAlertKind kind, uint16_t index, TAlertState state);
    void ClearAlertStates();
    TAlertState AlertState(TAlertKind kind, uint16_t index) const;
    // How many late or silent sensors are behind an entry point or repeater, shown on its node
    // while any are.
    void SetSensorsBehind(TOwnerKind kind, uint8_t index, int32_t count);
    int32_t SensorsBehind(TOwnerKind kind, uint8_t index) const;

    // Selects exactly the sensor's node and expands it with all its descendants.
    void SelectSensor(QTreeView* view, uint16_t row) const;

    // Where a record's node stands (invalid when it has none), for tests and the window.
    QModelIndex RootIndex(TRoot root) const;
    QModelIndex OwnerIndex(TOwnerKind kind, uint8_t index) const;
    QModelIndex SensorIndex(uint16_t row) const;
    // The entry point, repeater or sensor whose node holds index (the node itself or a line or
    // group under it); false for a root or an invalid index.
    bool RecordAt(const QModelIndex& index, TAlertKind& kind, uint16_t& record) const;

private:
    int32_t OwnerNode(TOwnerKind kind, uint8_t index) const;
    int32_t SensorNode(uint16_t row) const;
    int32_t AlertNode(TAlertKind kind, uint16_t index) const;
    TAlertState* AlertSlot(TAlertKind kind, uint16_t index);

    std::unique_ptr<TRouteTreeModel> model_;
    // Each record's node in the model's pool, -1 when it has none.
    std::array<int32_t, MaxEntries> entryNodes_;
    std::array<int32_t, MaxRepeats> repeatNodes_;
    std::array<int32_t, MaxSensors> sensorNodes_;
    std::array<TAlertState, MaxEntries> entryAlerts_{};
    std::array<TAlertState, MaxRepeats> repeatAlerts_{};
    std::array<TAlertState, MaxSensors> sensorAlerts_{};
    // The owners' labels as their nodes were made, and the counts shown beside them.
    std::array<TName, MaxEntries> entryLabels_{};
    std::array<TName, MaxRepeats> repeatLabels_{};
    std::array<int32_t, MaxEntries> entryBehind_{};
    std::array<int32_t, MaxRepeats> repeatBehind_{};
    void ShowOwnerText(TOwnerKind kind, uint8_t index);
};

} // namespace corvane
