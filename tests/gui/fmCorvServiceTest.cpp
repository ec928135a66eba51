// The main window with the settings of running unattended: the publishing state in the Connect
// menu, and a connection that tries again until its Close entry is chosen.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTcpServer>
#include <QTemporaryDir>

#include "app/Monitor.h"
#include "app/qt/LogPane.h"
#include "app/qt/fmCorv.h"
#include "gui/QtTestSupport.h"
#include "gui/WindowTest.h"
#include "mqtt/Broker.h"
#include "util/qt/ErrorReport.h"

using namespace corvane;
using corvane::test::Pump;
using corvane::test::WaitFor;

namespace {

struct ServiceWindow : test::TWindowTest {
    void Start(const QByteArray& settings, const QStringList& args = {}) {
        QFile ini(folder.filePath("corvane.INI"));
        ini.open(QIODevice::WriteOnly);
        ini.write(settings);
        ini.close();
        frm = std::make_unique<TfrmCorv>(args, folder.filePath("corvane"));
    }
    int LogCount(const QString& text) const { return int(LogText().count(text)); }
};

// Settings out of range are replaced at start-up, and the log pane says which, after the size
// report that opens it.
TEST_F(ServiceWindow, OutOfRangeSettingsAreNamedInTheLogPane) {
    corvane::testing::TBroker broker;
    ASSERT_TRUE(broker.Start());
    Start(QString("[Alerts]\r\nLateFactor=0\r\n[MQTT]\r\nHost=127.0.0.1\r\nPort=%1\r\n"
                  "StateEverySec=-5\r\n")
              .arg(broker.Port())
              .toLatin1());
    EXPECT_EQ(LogCount("[Alerts] LateFactor=0 is out of range; using 3"), 1);
    EXPECT_EQ(LogCount("[MQTT] StateEverySec=-5 is out of range; using 60"), 1);
    EXPECT_EQ(frm->Monitor().Store().Alerts.Settings.LateFactor, 3);
}

TEST_F(ServiceWindow, ConnectMenuShowsThePublishingStateAndDrops) {
    corvane::testing::TBroker broker;
    ASSERT_TRUE(broker.Start());
    Start(QString("[MQTT]\r\nHost=127.0.0.1\r\nPort=%1\r\nStation=desk\r\nPassword=secret\r\n")
              .arg(broker.Port())
              .toLatin1());
    const QString name = QString("MQTT broker 127.0.0.1:%1").arg(broker.Port());
    ASSERT_TRUE(WaitFor([&] { return LogCount(name + " connected") == 1; }, 5000));
    auto* entry = frm->findChild<QAction*>("mniMqtt");
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(WaitFor([&] { return entry->text().startsWith(name + ": connected"); }));
    EXPECT_FALSE(entry->isEnabled());
    EXPECT_FALSE(LogText().contains("secret"));

    // A picture of the menu, for looking at it: VIEWS_SHOTS=/tmp/shots test_fmcorv_service
    if (qEnvironmentVariableIsSet("VIEWS_SHOTS")) {
        auto* menu = frm->findChild<QMenu*>("miConnect");
        frm->show();
        menu->popup(frm->mapToGlobal(QPoint(0, 0)));
        Pump(200);
        menu->grab().save(QDir(qEnvironmentVariable("VIEWS_SHOTS")).filePath("connect-mqtt.png"));
        menu->hide();
    }

    broker.Stop();
    ASSERT_TRUE(WaitFor([&] { return entry->text().contains("not connected"); }, 5000));
    EXPECT_EQ(LogText().count(name + " lost: "), 1);
}

TEST_F(ServiceWindow, RetriesKeepTheCloseEntryAndCloseStopsThem) {
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    Start("[Connections]\r\nReconnect=1\r\n", {QString("-I%1").arg(port)});
    ASSERT_TRUE(WaitFor([&] { return LogCount("Reconnecting to Local in 2 s") == 1; }, 5000));
    ASSERT_EQ(frm->mniClose->actions().size(), 1);
    EXPECT_EQ(frm->mniClose->actions()[0]->text(), "Local");
    frm->mniClose->actions()[0]->trigger();
    Pump(50);
    EXPECT_TRUE(frm->mniClose->actions().isEmpty());
    const int said = LogCount("Reconnecting to");
    Pump(2500);
    EXPECT_EQ(LogCount("Reconnecting to"), said);
    EXPECT_TRUE(errors.empty());
}

TEST_F(ServiceWindow, WithoutTheSettingAFailedConnectionIsNotRetried) {
    Start("", {"-I1"});
    Pump(1500);
    EXPECT_EQ(LogCount("Unable to connect with TCP/IP: NA"), 1);
    EXPECT_EQ(LogCount("Reconnecting"), 0);
    EXPECT_EQ(frm->findChild<QAction*>("mniMqtt"), nullptr);
}

} // namespace
