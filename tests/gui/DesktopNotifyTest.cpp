// The alert changes on the desktop, over a real session bus of the test's own with a
// notification server of the test's own on it that records the calls; and the outlets as the
// window and the service make them from the settings file.
#include "app/qt/DesktopNotify.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QVariantMap>
#include <algorithm>
#include <fstream>
#include <memory>
#include <sys/stat.h>

#include "app/AlertCommand.h"
#include "app/AppIni.h"
#include "app/Monitor.h"
#include "app/qt/AlertOutlets.h"
#include "support/Packets.h"
#include "support/SessionBus.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

struct TCall {
    QString App, Summary, Body;
    QVariantMap Hints;
};

// Answers as a desktop's notification service does.
class TFakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    std::vector<TCall> Calls;
    QStringList Capabilities{"body", "body-markup"};

public slots:
    uint Notify(const QString& app, uint, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap& hints, int) {
        Calls.push_back({app, summary, body, hints});
        return uint(Calls.size());
    }
    QStringList GetCapabilities() { return Capabilities; }

public:
    static QDBusConnection Bus() { return QDBusConnection(QStringLiteral("notifications")); }
    bool Register() {
        QDBusConnection bus = QDBusConnection::connectToBus(
            qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("notifications"));
        return bus.isConnected() &&
               bus.registerObject("/org/freedesktop/Notifications", this,
                                  QDBusConnection::ExportAllSlots) &&
               bus.registerService("org.freedesktop.Notifications");
    }
    ~TFakeNotifications() override {
        Bus().unregisterService("org.freedesktop.Notifications");
        Bus().unregisterObject("/org/freedesktop/Notifications");
        QDBusConnection::disconnectFromBus(QStringLiteral("notifications"));
    }
};

bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

TAlertChange Change(TAlertEvent event, std::string id, std::string label) {
    TAlertChange c;
    c.Event = event;
    c.Kind = TAlertKind::Sensor;
    c.Id = std::move(id);
    c.Label = std::move(label);
    c.SilenceS = 2400;
    c.UsualGapS = 15;
    return c;
}

class DesktopNotify : public ::testing::Test {
protected:
    TManualClock clock{46000.0};
    std::vector<std::string> log;
    std::unique_ptr<TFakeNotifications> server = std::make_unique<TFakeNotifications>();

    std::unique_ptr<TDesktopNotify> Notify() {
        return std::make_unique<TDesktopNotify>(
            clock, [this](std::string_view l) { log.emplace_back(l); });
    }
};

TEST_F(DesktopNotify, AChangeIsToldAtOnceAndWhatFollowsTogetherTenSecondsOn) {
    ASSERT_TRUE(server->Register());
    auto notify = Notify();
    notify->AlertChanged(Change(TAlertEvent::Silent, "1", "Tank \xE9"));
    ASSERT_TRUE(WaitFor([&] { return notify->Delivered() == 1; }));
    ASSERT_EQ(server->Calls.size(), 1u);
    const TCall& first = server->Calls[0];
    EXPECT_EQ(first.App, "Corvane");
    EXPECT_EQ(first.Summary, QString::fromUtf8("Sensor Tank \xC3\xA9 silent"));
    EXPECT_EQ(first.Body, "No read for 2400 s, usual gap 15 s");
    EXPECT_EQ(first.Hints.value("urgency").toInt(), 2);
    EXPECT_EQ(first.Hints.value("desktop-entry").toString(), "org.example.corvane");

    notify->AlertChanged(Change(TAlertEvent::Late, "2", "Tank <b>2</b> & co"));
    notify->AlertChanged(Change(TAlertEvent::Back, "1", "Tank \xE9"));
    // Within the 10 s nothing more goes out: the next call seen is the one told together.
    clock.AdvanceSeconds(10);
    notify->SendDue();
    ASSERT_TRUE(WaitFor([&] { return notify->Delivered() == 2; }));
    ASSERT_EQ(server->Calls.size(), 2u);
    EXPECT_EQ(server->Calls[1].Summary, "1 late, 1 back");
    // The service lays out markup: the radio's text is escaped, never markup.
    EXPECT_EQ(server->Calls[1].Body, QString::fromUtf8("Sensor Tank &lt;b&gt;2&lt;/b&gt; &amp; co "
                                                       "late\nSensor Tank \xC3\xA9 back"));
    EXPECT_EQ(server->Calls[1].Hints.value("urgency").toInt(), 1);
    EXPECT_TRUE(log.empty());
}

TEST_F(DesktopNotify, AServiceWithoutMarkupGetsTheTextAsItIs) {
    server->Capabilities = {"body"};
    ASSERT_TRUE(server->Register());
    auto notify = Notify();
    notify->Pace().EverySec = 0;
    notify->AlertChanged(Change(TAlertEvent::Late, "1", "a"));
    ASSERT_TRUE(WaitFor([&] { return notify->Delivered() == 1; }));
    notify->AlertChanged(Change(TAlertEvent::Late, "2", "<b> & c"));
    notify->AlertChanged(Change(TAlertEvent::Late, "3", "d"));
    ASSERT_TRUE(WaitFor([&] { return notify->Delivered() == 3; }));
    EXPECT_EQ(server->Calls[1].Summary, "Sensor <b> & c late");
}

// No service: one line in the log, nothing more sent; a service that appears later is used.
TEST_F(DesktopNotify, WithoutAServiceNothingIsSentAndTheLogSaysSoOnce) {
    auto notify = Notify();
    notify->Pace().EverySec = 0;
    notify->AlertChanged(Change(TAlertEvent::Late, "1", "a"));
    ASSERT_TRUE(WaitFor([&] { return notify->Refused() == 1; }));
    notify->AlertChanged(Change(TAlertEvent::Late, "2", "b"));
    notify->AlertChanged(Change(TAlertEvent::Late, "3", "c"));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind("Desktop notifications not shown: "
                           "org.freedesktop.DBus.Error.ServiceUnknown",
                           0),
              0u)
        << log[0];

    ASSERT_TRUE(server->Register());
    notify->AlertChanged(Change(TAlertEvent::Late, "4", "d"));
    // The registration may be heard after that change; the next one goes out for certain.
    ASSERT_TRUE(WaitFor([&] {
        if (server->Calls.empty())
            notify->AlertChanged(Change(TAlertEvent::Silent, "4", "d"));
        return notify->Delivered() >= 1;
    }));
    // Had the changes without a service been sent, their refusals would have come first.
    EXPECT_EQ(notify->Refused(), 1);
    EXPECT_EQ(log.size(), 1u);
}

// The window's and the service's outlets from the settings file, driven by a real store.
TEST(AlertOutlets, TheSettingsChooseTheOutletsAndARealAlertReachesBoth) {
    TTempDir dir;
    const std::string out = dir.Path() + "/event.txt";
    const std::string script = dir.Path() + "/hook";
    std::ofstream(script) << "#!/bin/sh\necho \"$CORVANE_EVENT $CORVANE_LABEL\" >> '" << out
                          << "'\n";
    ::chmod(script.c_str(), 0755);
    const std::string ini = dir.Path() + "/corvane.INI";
    TManualClock clock{46000.0};
    TNullShellListener shell;
    TNullListListener list;
    TNullTreeListener tree;
    TMonitor monitor{clock, {shell, list, tree}};
    std::vector<std::string> log;
    auto logTo = [&log](std::string_view l) { log.emplace_back(l); };

    std::ofstream(ini) << "[Alerts]\r\nNotify=0\r\n";
    EXPECT_EQ(TAlertOutlets(TIniFile(ini), monitor.Store(), logTo, true).Desktop(), nullptr);
    std::ofstream(ini) << "[Alerts]\r\nCommand=" << dir.Path() << "/missing\r\n";
    {
        TAlertOutlets service(TIniFile(ini), monitor.Store(), logTo, false);
        EXPECT_EQ(service.Desktop(), nullptr);
        ASSERT_NE(service.Commands(), nullptr);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0], "[Alerts] Command=" + dir.Path() +
                              "/missing cannot be run: No such file or directory");
    }

    TFakeNotifications server;
    ASSERT_TRUE(server.Register());
    std::ofstream(ini) << "[Alerts]\r\nCommand=" << script << "\r\n";
    TAlertOutlets window(TIniFile(ini), monitor.Store(), logTo, true);
    ASSERT_NE(window.Desktop(), nullptr);
    monitor.Store().Settings.DuplicateTimeSec = 0;
    for (int k = 0; k < 3; ++k) {
        clock.AdvanceSeconds(10);
        ASSERT_TRUE(monitor.ParsePacketLine(
            nullptr, corvane::testing::SensorLine(0x123456, ",1,North,Tank 7")));
    }
    clock.AdvanceSeconds(200);
    monitor.ExpireTick();
    ASSERT_TRUE(WaitFor([&] { return window.Desktop()->Delivered() == 1; }));
    // The sensor is behind entry point 1, which the notice names for both.
    EXPECT_EQ(server.Calls[0].Summary, "Entry North silent; 1 sensor behind it");
    std::string text;
    ASSERT_TRUE(WaitFor([&] {
        std::ifstream in(out);
        std::getline(in, text, '\0');
        return !window.Commands()->Busy() && std::count(text.begin(), text.end(), '\n') == 2;
    }));
    // The sensor and entry point 1, each once, in whichever order the two runs ended.
    EXPECT_TRUE(text == "silent Tank 7\nsilent North\n" || text == "silent North\nsilent Tank 7\n")
        << text;
}

} // namespace
} // namespace corvane

// A session bus of the test's own, before the application makes its connection to one.
int main(int argc, char** argv) {
    corvane::TSessionBus bus;
    if (!bus.Start())
        return 1;
    int status;
    {
        QCoreApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    return status;
}

#include "DesktopNotifyTest.moc"
