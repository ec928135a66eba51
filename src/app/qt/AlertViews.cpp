#include "app/qt/AlertViews.h"

#include <QLabel>

#include "app/ListTexts.h"
#include "app/qt/RouteTree.h"
#include "app/qt/SensorListModel.h"
#include "store/ActivityStore.h"
#include "util/qt/Latin1.h"

namespace corvane {

TAlertViews::TAlertViews(TAlerts& alerts, TSensorListModel& list, TRouteTree& tree, QLabel& status)
    : alerts_(alerts), store_(alerts.Store()), list_(list), tree_(tree), status_(status) {
    status_.setTextFormat(Qt::PlainText);
    alerts_.Subscribe(this);
    ShowCounts();
}

TAlertViews::~TAlertViews() {
    alerts_.Unsubscribe(this);
}

void TAlertViews::AlertStateChanged(TAlertKind kind, uint16_t index, TAlertState state) {
    if (kind == TAlertKind::Sensor) {
        list_.SetAlertState(index, state);
        list_.SetAlertBehind(index, alerts_.Cause(kind, index).Any());
    }
    tree_.SetAlertState(kind, index, state);
    ShowCounts();
    ShowBehind();
}

void TAlertViews::AlertCauseChanged(TAlertKind kind, uint16_t index, TAlertCause cause) {
    if (kind == TAlertKind::Sensor)
        list_.SetAlertBehind(index, cause.Any());
    ShowCounts();
    ShowBehind();
}

// Each count is asked of the alerts, which keep it; the tree repaints a node only when its
// count differs from the one shown.
void TAlertViews::ShowBehind() {
    for (uint8_t r = 0; r < store_.RepeatCount; ++r)
        tree_.SetSensorsBehind(TOwnerKind::Repeat, r, alerts_.SensorsBehind(TAlertKind::Repeat, r));
    for (uint8_t e = 0; e < store_.EntryCount; ++e)
        tree_.SetSensorsBehind(TOwnerKind::Entry, e, alerts_.SensorsBehind(TAlertKind::Entry, e));
}

void TAlertViews::AlertsCleared() {
    list_.ClearAlertStates();
    tree_.ClearAlertStates();
    ShowCounts();
}

void TAlertViews::ShowCounts() {
    const std::string text =
        AlertCountsText(alerts_.OwnSilentCount(), alerts_.OwnLateCount(), alerts_.BehindCount());
    if (text.empty()) {
        status_.clear();
        status_.hide();
        return;
    }
    status_.setText(Latin1(text));
    status_.show();
}

} // namespace corvane
