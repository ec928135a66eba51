// The window's side of the silence alerts: every change of state goes to the sensor list, the
// route tree and the status bar's "<n> late, <m> silent" label, which hides while both are 0.
#pragma once

#include "store/Alerts.h"

class QLabel;

namespace corvane {

class TSensorListModel;
class TRouteTree;

class TAlertViews : public TAlertListener {
public:
    // Subscribes to the alerts; the views must outlive this object, which unsubscribes.
    TAlertViews(TAlerts& alerts, TSensorListModel& list, TRouteTree& tree, QLabel& status);
    ~TAlertViews() override;
    TAlertViews(const TAlertViews&) = delete;
    TAlertViews& operator=(const TAlertViews&) = delete;

    void AlertStateChanged(TAlertKind kind, uint16_t index, TAlertState state) override;
    void AlertsCleared() override;

private:
    void ShowCounts();

    TAlerts& alerts_;
    TSensorListModel& list_;
    TRouteTree& tree_;
    QLabel& status_;
};

} // namespace corvane
