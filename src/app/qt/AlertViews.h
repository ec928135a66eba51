// The window's side of the silence alerts: every change of state or cause goes to the sensor
// list, the route tree (with the count of sensors behind each entry point and repeater) and the
// status bar's "<s> silent, <l> late, <k> behind them" label, which hides while all are 0.
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
    void AlertCauseChanged(TAlertKind kind, uint16_t index, TAlertCause cause) override;

private:
    void ShowCounts();
    void ShowBehind();

    TAlerts& alerts_;
    const TStore& store_;
    TSensorListModel& list_;
    TRouteTree& tree_;
    QLabel& status_;
};

} // namespace corvane
