#include "app/qt/DesktopNotify.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <cmath>

#include "app/Usage.h"
#include "app/qt/ColourScheme.h"
#include "util/qt/Latin1.h"
#include "util/untTime.h"

namespace corvane {

namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr char kInterface[] = "org.freedesktop.Notifications";
constexpr int kCallTimeoutMs = 5000;
constexpr uchar kUrgencyNormal = 1;
constexpr uchar kUrgencyCritical = 2;

QDBusMessage Call(const char* method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

} // namespace

TDesktopNotify::TDesktopNotify(const TClock& clock, TLog log, QObject* parent)
    : QObject(parent), clock_(clock), log_(std::move(log)) {
    due_.setSingleShot(true);
    connect(&due_, &QTimer::timeout, this, &TDesktopNotify::SendDue);
    bus_ = SessionBusThere() && QDBusConnection::sessionBus().isConnected();
    if (!bus_)
        return;
    // A service that starts after the window (or again after a crash) is used once it is there.
    watcher_ = new QDBusServiceWatcher(kService, QDBusConnection::sessionBus(),
                                       QDBusServiceWatcher::WatchForRegistration, this);
    connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        available_ = true;
        AskCapabilities();
    });
    AskCapabilities();
}

void TDesktopNotify::AskCapabilities() {
    auto* call = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(Call("GetCapabilities"), kCallTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusMessage reply = w->reply();
        w->deleteLater();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            markup_ = reply.arguments().first().toStringList().contains("body-markup");
    });
}

void TDesktopNotify::AlertChanged(const TAlertChange& change) {
    pace_.Add(change);
    SendDue();
}

void TDesktopNotify::AlertsCleared() {
    pace_.Clear();
    due_.stop();
}

void TDesktopNotify::SendDue() {
    if (std::optional<TNotice> notice = pace_.Take(clock_.Now()))
        Send(*notice);
    const double next = pace_.SecondsToNext(clock_.Now());
    if (next >= 0)
        due_.start(static_cast<int>(std::ceil(next * 1000)));
    else
        due_.stop();
}

void TDesktopNotify::Send(const TNotice& notice) {
    if (!bus_) {
        Unavailable("no session bus");
        return;
    }
    if (!available_)
        return;
    QString body = Latin1(notice.Body);
    // A label is the radio's text, never markup.
    if (markup_)
        body = body.toHtmlEscaped();
    QVariantMap hints;
    hints["urgency"] = QVariant::fromValue(notice.Urgent ? kUrgencyCritical : kUrgencyNormal);
    hints["desktop-entry"] = QString(ApplicationId);
    hints["category"] = QStringLiteral("device");
    QDBusMessage call = Call("Notify");
    call << QStringLiteral("Corvane") << uint(0) << QString(ApplicationId) << Latin1(notice.Summary)
         << body << QStringList() << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &TDesktopNotify::Answered);
}

void TDesktopNotify::Answered(QDBusPendingCallWatcher* call) {
    const QDBusMessage reply = call->reply();
    call->deleteLater();
    if (reply.type() == QDBusMessage::ReplyMessage) {
        ++delivered_;
        return;
    }
    ++refused_;
    // No service, or one that does not answer: nothing more is sent until one registers.
    const QDBusError::ErrorType type = QDBusError(reply).type();
    if (type == QDBusError::ServiceUnknown || type == QDBusError::NoReply ||
        type == QDBusError::Timeout || type == QDBusError::TimedOut ||
        type == QDBusError::Disconnected)
        available_ = false;
    Unavailable(reply.errorName() + ": " + reply.errorMessage());
}

void TDesktopNotify::Unavailable(const QString& why) {
    if (logged_)
        return;
    logged_ = true;
    log_(("Desktop notifications not shown: " + why).toLatin1().toStdString());
}

} // namespace corvane
