#include "app/qt/ColourScheme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDir>
#include <QFileInfo>
#include <QStyle>
#include <QStyleFactory>
#include <cstring>

namespace corvane {

bool PrefersDark(const QString& gtkTheme) {
    return gtkTheme.endsWith(":dark", Qt::CaseInsensitive);
}

bool IsDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

QPalette DarkPalette() {
    QPalette p;
    const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230), grey(130, 130, 130);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, grey);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(255, 90, 90));
    p.setColor(QPalette::Light, QColor(70, 70, 74));
    p.setColor(QPalette::Midlight, QColor(58, 58, 62));
    p.setColor(QPalette::Mid, QColor(38, 38, 40));
    p.setColor(QPalette::Dark, QColor(25, 25, 26));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, QColor(42, 110, 180));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(110, 170, 255));
    p.setColor(QPalette::LinkVisited, QColor(180, 140, 255));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, grey);
    return p;
}

namespace {

constexpr char kPortal[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kSettings[] = "org.freedesktop.portal.Settings";
constexpr char kAppearance[] = "org.freedesktop.appearance";
constexpr char kColorScheme[] = "color-scheme";
constexpr int kPortalTimeoutMs = 2000;

// The portal's "Read" wraps the value in one variant more than "ReadOne" does.
uint SchemeOf(QVariant value) {
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value.toUInt();
}

void Ask(QApplication& app, TDesktopScheme* scheme, const char* method) {
    QDBusMessage call = QDBusMessage::createMethodCall(kPortal, kPortalPath, kSettings, method);
    call << QString(kAppearance) << QString(kColorScheme);
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(call, kPortalTimeoutMs), scheme);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, scheme,
                     [&app, scheme, method](QDBusPendingCallWatcher* w) {
                         const QDBusMessage reply = w->reply();
                         w->deleteLater();
                         if (reply.type() == QDBusMessage::ReplyMessage &&
                             !reply.arguments().isEmpty())
                             scheme->Apply(SchemeOf(reply.arguments().first()));
                         else if (std::strcmp(method, "ReadOne") == 0)
                             Ask(app, scheme, "Read"); // a portal older than ReadOne
                     });
}

} // namespace

// Without an address Qt would try to start a bus (dbus-launch), which is exactly the wait the
// start must not have.
bool SessionBusThere() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(QDir(runtime).filePath("bus"));
}

TDesktopScheme::TDesktopScheme(QApplication& app)
    : QObject(&app), app_(app), lightStyle_(app.style()->name()), lightPalette_(app.palette()) {}

void TDesktopScheme::Apply(uint scheme) {
    const bool dark = scheme == 1; // 1: prefer dark, 2: prefer light, 0: no preference
    if (dark == dark_)
        return;
    dark_ = dark;
    app_.setStyle(QStyleFactory::create(dark ? QString("Fusion") : lightStyle_));
    app_.setPalette(dark ? DarkPalette() : lightPalette_);
}

void TDesktopScheme::SettingChanged(QString ns, QString key, QDBusVariant value) {
    if (ns == kAppearance && key == kColorScheme)
        Apply(SchemeOf(value.variant()));
}

void FollowDesktopColourScheme(QApplication& app) {
    if (IsDark(app.palette()))
        return; // the platform theme has done it
    auto* scheme = new TDesktopScheme(app);
    if (PrefersDark(qEnvironmentVariable("GTK_THEME"))) {
        scheme->Apply(1);
        return;
    }
    if (!SessionBusThere() || !QDBusConnection::sessionBus().isConnected())
        return;
    // The binding looks the slot's variant up by its type's name, which is known only once
    // registered.
    qRegisterMetaType<QDBusVariant>();
    QDBusConnection::sessionBus().connect(kPortal, kPortalPath, kSettings, "SettingChanged", scheme,
                                          SLOT(SettingChanged(QString, QString, QDBusVariant)));
    Ask(app, scheme, "ReadOne");
}

} // namespace corvane
