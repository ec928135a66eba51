// The colour scheme as the desktop's settings portal gives it, over a real session bus of the
// test's own with a portal of the test's own on it.
#include "app/qt/ColourScheme.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QStyle>

#include "support/SessionBus.h"

namespace corvane {
namespace {

// Answers as the portal does; counts the calls.
class TFakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint Scheme = 1;
    int Calls = 0;
    bool OnlyRead = false; // an older portal without ReadOne

public slots:
    QDBusVariant ReadOne(const QString& ns, const QString& key, const QDBusMessage& message) {
        ++Calls;
        if (OnlyRead) {
            message.setDelayedReply(true);
            bus().send(message.createErrorReply(QDBusError::UnknownMethod, "no ReadOne"));
            return {};
        }
        return Value(ns, key);
    }
    QDBusVariant Read(const QString& ns, const QString& key) {
        ++Calls;
        return QDBusVariant(QVariant::fromValue(Value(ns, key)));
    }

public:
    static QDBusConnection bus() { return QDBusConnection(QStringLiteral("portal")); }

private:
    QDBusVariant Value(const QString& ns, const QString& key) const {
        if (ns == "org.freedesktop.appearance" && key == "color-scheme")
            return QDBusVariant(Scheme);
        return QDBusVariant(QString());
    }
};

bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class ColourSchemeTest : public ::testing::Test {
protected:
    void SetUp() override {
        light_ = qApp->palette();
        style_ = qApp->style()->name();
        ASSERT_FALSE(IsDark(light_));
        portal_ = std::make_unique<TFakePortal>();
        QDBusConnection bus = QDBusConnection::connectToBus(
            qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("portal"));
        ASSERT_TRUE(bus.isConnected());
        ASSERT_TRUE(bus.registerService("org.freedesktop.portal.Desktop"));
        ASSERT_TRUE(bus.registerObject("/org/freedesktop/portal/desktop", portal_.get(),
                                       QDBusConnection::ExportAllSlots));
    }
    void TearDown() override {
        TFakePortal::bus().unregisterObject("/org/freedesktop/portal/desktop");
        TFakePortal::bus().unregisterService("org.freedesktop.portal.Desktop");
        for (auto* scheme : qApp->findChildren<TDesktopScheme*>())
            delete scheme;
        qApp->setStyle(style_);
        qApp->setPalette(light_);
    }
    void Change(uint scheme) {
        QDBusMessage signal = QDBusMessage::createSignal(
            "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings", "SettingChanged");
        signal << QString("org.freedesktop.appearance") << QString("color-scheme")
               << QVariant::fromValue(QDBusVariant(scheme));
        TFakePortal::bus().send(signal);
    }

    std::unique_ptr<TFakePortal> portal_;
    QPalette light_;
    QString style_;
};

TEST_F(ColourSchemeTest, TurnsDarkWhenThePortalAnswersAndFollowsItsChanges) {
    FollowDesktopColourScheme(*qApp);
    // Nothing waits for the answer: the palette is still the light one here.
    EXPECT_FALSE(IsDark(qApp->palette()));
    ASSERT_TRUE(WaitFor([] { return IsDark(qApp->palette()); }));
    EXPECT_EQ(portal_->Calls, 1);
    Change(2);
    ASSERT_TRUE(WaitFor([] { return !IsDark(qApp->palette()); }));
    EXPECT_EQ(qApp->style()->name(), style_);
    Change(1);
    ASSERT_TRUE(WaitFor([] { return IsDark(qApp->palette()); }));
}

TEST_F(ColourSchemeTest, AsksAnOlderPortalTheOlderWayAndStaysLightWithoutAPreference) {
    portal_->OnlyRead = true;
    FollowDesktopColourScheme(*qApp);
    ASSERT_TRUE(WaitFor([&] { return IsDark(qApp->palette()); }));
    EXPECT_EQ(portal_->Calls, 2);

    TearDown();
    SetUp();
    portal_->Scheme = 0;
    FollowDesktopColourScheme(*qApp);
    ASSERT_TRUE(WaitFor([&] { return portal_->Calls == 1; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(IsDark(qApp->palette()));
}

} // namespace
} // namespace corvane

// A session bus of the test's own, before the application makes its connection to one.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    corvane::TSessionBus bus;
    if (!bus.Start())
        return 1;
    qunsetenv("GTK_THEME");
    int status;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    return status;
}

#include "ColourSchemeTest.moc"
