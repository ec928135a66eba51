// The window's alert changes on the desktop, through the freedesktop notification service on
// the session bus. What is said and how often is TNoticePace's; this side only sends, never
// waiting for the bus: every call is asynchronous and its answer comes on the event loop.
// Without a session bus or a notification service nothing is sent, and the log says so once;
// a service that appears later is used from then on.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string_view>

#include "app/AlertChange.h"
#include "app/AlertNotices.h"

class QDBusServiceWatcher;
class QDBusPendingCallWatcher;

namespace corvane {

class TClock;

class TDesktopNotify : public QObject, public TAlertOutlet {
    Q_OBJECT
public:
    using TLog = std::function<void(std::string_view)>;

    TDesktopNotify(const TClock& clock, TLog log, QObject* parent = nullptr);

    TNoticePace& Pace() { return pace_; }
    // Sends the notice that is due, if one is, and sets the timer for the next: the timer's
    // work, which tests on a clock of their own call themselves.
    void SendDue();
    // Calls that the service answered, and those it refused or that found no service.
    int Delivered() const { return delivered_; }
    int Refused() const { return refused_; }

    void AlertChanged(const TAlertChange& change) override;
    void AlertsCleared() override;

private:
    void Send(const TNotice& notice);
    void Answered(QDBusPendingCallWatcher* call);
    void AskCapabilities();
    void Unavailable(const QString& why);

    const TClock& clock_;
    TLog log_;
    TNoticePace pace_;
    QTimer due_;
    QDBusServiceWatcher* watcher_ = nullptr;
    bool bus_ = false;      // a session bus was there at the start
    bool available_ = true; // no call has found the service missing since it last appeared
    bool markup_ = true;    // the body is escaped until the service says it takes no markup
    bool logged_ = false;   // the one line about notifications not shown
    int delivered_ = 0;
    int refused_ = 0;
};

} // namespace corvane
