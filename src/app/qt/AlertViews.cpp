#include "app/qt/AlertViews.h"

#include <QLabel>

#include "app/qt/RouteTree.h"
#include "app/qt/SensorListModel.h"

namespace corvane {

TAlertViews::TAlertViews(TAlerts& alerts, TSensorListModel& list, TRouteTree& tree, QLabel& status)
    : alerts_(alerts), list_(list), tree_(tree), status_(status) {
    status_.setTextFormat(Qt::PlainText);
    alerts_.Subscribe(this);
    ShowCounts();
}

TAlertViews::~TAlertViews() {
    alerts_.Unsubscribe(this);
}

void TAlertViews::AlertStateChanged(TAlertKind kind, uint16_t index, TAlertState state) {
    if (kind == TAlertKind::Sensor)
        list_.SetAlertState(index, state);
    tree_.SetAlertState(kind, index, state);
    ShowCounts();
}

void TAlertViews::AlertsCleared() {
    list_.ClearAlertStates();
    tree_.ClearAlertStates();
    ShowCounts();
}

void TAlertViews::ShowCounts() {
    const int32_t late = alerts_.LateCount();
    const int32_t silent = alerts_.SilentCount();
    if (late == 0 && silent == 0) {
        status_.clear();
        status_.hide();
        return;
    }
    status_.setText(QString::number(late) + QStringLiteral(" late, ") + QString::number(silent) +
                    QStringLiteral(" silent"));
    status_.show();
}

} // namespace corvane
