// The main window's commands for what is expected of single devices: "Expected Gap..." and "Mute
// Alerts" in the right-click menus of the sensor list and the route tree. Each writes the
// record's line of [Sensors], [Repeaters] or [Entries] through the settings writer, which leaves
// every other line of the file as it is, and hands the new expectations to the alerts.
#include <QInputDialog>
#include <QMenu>
#include <QTreeView>

#include "app/DeviceSettings.h"
#include "app/Monitor.h"
#include "app/qt/RouteTree.h"
#include "app/qt/SensorListModel.h"
#include "app/qt/fmCorv.h"
#include "store/ActivityStore.h"

namespace corvane {

namespace {

// Ten days, as the settings file takes it.
constexpr int kMaxGapSec = 864000;

} // namespace

bool TfrmCorv::SelectedRecord(QTreeView* view, TAlertKind& kind, uint16_t& index) const {
    if (view == lvDev) {
        index = SelectedSensor(lvDev, model_.get());
        kind = TAlertKind::Sensor;
        return index != NoRow;
    }
    return view->selectionModel() != nullptr &&
           tree_->RecordAt(view->selectionModel()->currentIndex(), kind, index);
}

void TfrmCorv::SetExpectation(TAlertKind kind, uint16_t index, const TExpectation& e) {
    TStore& store = monitor_->Store();
    TIniFile file(settings_.File().Path());
    WriteExpectation(file, ExpectationKeyOf(store, kind, index), e);
    TExpectations all = store.Alerts.Expectations();
    switch (kind) {
    case TAlertKind::Sensor:
        all.SetSensor(store.Sensors[index].SerNo, e);
        break;
    case TAlertKind::Repeat:
        all.SetRepeater(store.Repeats[index].Id, e);
        break;
    case TAlertKind::Entry:
        all.SetEntry(store.Entries[index].Id, e);
        break;
    }
    store.Alerts.SetExpectations(std::move(all));
}

void TfrmCorv::pmiGapClick(QTreeView* view) {
    TAlertKind kind;
    uint16_t index;
    if (!SelectedRecord(view, kind, index))
        return;
    TExpectation e = monitor_->Store().Alerts.Expectation(kind, index);
    bool ok = false;
    const int gap = QInputDialog::getInt(this, tr("Expected Gap"),
                                         tr("Usual gap in seconds (0: the one its reads show):"),
                                         e.GapSec, 0, kMaxGapSec, 1, &ok);
    if (!ok)
        return;
    e.GapSec = gap;
    SetExpectation(kind, index, e);
}

void TfrmCorv::pmiMuteClick(QTreeView* view) {
    TAlertKind kind;
    uint16_t index;
    if (!SelectedRecord(view, kind, index))
        return;
    TExpectation e = monitor_->Store().Alerts.Expectation(kind, index);
    e.Mute = !e.Mute;
    SetExpectation(kind, index, e);
}

void TfrmCorv::AddExpectationCommands(QMenu* menu, QTreeView* view, const char* suffix) {
    QAction* gap = AddCommand(menu, "Expected Gap...", (std::string("pmiGap") + suffix).c_str(), 7);
    QAction* mute = AddCommand(menu, "Mute Alerts", (std::string("pmiMute") + suffix).c_str(), 7);
    mute->setCheckable(true);
    connect(gap, &QAction::triggered, this, [this, view] { Guard([&] { pmiGapClick(view); }); });
    connect(mute, &QAction::triggered, this, [this, view] { Guard([&] { pmiMuteClick(view); }); });
    // The commands follow the record the menu is for.
    connect(menu, &QMenu::aboutToShow, this, [this, view, gap, mute] {
        TAlertKind kind;
        uint16_t index;
        const bool any = SelectedRecord(view, kind, index);
        gap->setEnabled(any);
        mute->setEnabled(any);
        mute->setChecked(any && monitor_->Store().Alerts.Muted(kind, index));
    });
}

} // namespace corvane
