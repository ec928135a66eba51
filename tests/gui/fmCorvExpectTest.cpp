// The window's "Expected Gap..." and "Mute Alerts" commands, from the sensor list's and the
// route tree's right-click menus, through the settings file the window reads at start-up.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QMenu>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <memory>

#include "app/AppIni.h"
#include "app/Monitor.h"
#include "app/qt/RouteTree.h"
#include "app/qt/SensorListModel.h"
#include "app/qt/fmCorv.h"
#include "gui/QtTestSupport.h"
#include "gui/WindowTest.h"
#include "store/ActivityStore.h"
#include "support/FakeConn.h"
#include "support/Packets.h"
#include "util/qt/ErrorReport.h"

using namespace corvane;
using corvane::test::Pump;

namespace {

struct ExpectFixture : test::TWindowTest {
    const std::string head = "; kept as written\r\n[Settings]\r\nMaxAge=7200\r\n\r\n"
                             "[Entries]\r\n1=mute\r\n";
    const std::string tail = "[MQTT]\r\n; no broker\r\nPort=1883\r\n";

    void SetUp() override {
        TWindowTest::SetUp();
        WriteIni(head + tail);
        frm = std::make_unique<TfrmCorv>(QStringList{}, folder.filePath("corvane"));
        conn = std::make_unique<corvane::testing::TFakeConn>("Serial: 1");
        frm->AttachHandlers(*conn);
        frm->ConnStateChanged(*conn, TConnState::Open);
        conn->Receive(corvane::testing::SensorLine(0x123456, ",1,North", 'b') + "\r");
        Pump(1);
    }
    std::unique_ptr<corvane::testing::TFakeConn> conn;

    std::string IniPath() const { return folder.filePath("corvane.INI").toStdString(); }
    void WriteIni(const std::string& text) const {
        QFile f(QString::fromStdString(IniPath()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.data(), qint64(text.size()));
    }
    std::string ReadIni() const {
        QFile f(QString::fromStdString(IniPath()));
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
    }
    QAction* Action(QMenu* menu, const char* name) {
        QAction* a = menu->findChild<QAction*>(name);
        if (!a)
            for (QAction* each : menu->actions())
                if (each->objectName() == name)
                    a = each;
        return a;
    }
    // Answers the gap dialog the next command opens with this many seconds.
    void AnswerGap(int seconds) {
        QTimer::singleShot(0, [seconds] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QInputDialog*>(w)) {
                    dialog->setIntValue(seconds);
                    dialog->accept();
                }
        });
    }
    const TAlerts& Alerts() { return frm->Monitor().Store().Alerts; }
};

TEST_F(ExpectFixture, TheListsMenuWritesTheSensorsLineAndKeepsEveryOther) {
    ASSERT_TRUE(Alerts().Muted(TAlertKind::Entry, 0)); // [Entries] 1=mute, read at start-up
    QMenu* menu = frm->pmLvDev;
    QAction* mute = Action(menu, "pmiMute");
    QAction* gap = Action(menu, "pmiGap");
    ASSERT_TRUE(mute && gap);
    emit menu->aboutToShow();
    EXPECT_FALSE(mute->isEnabled()); // nothing selected
    frm->lvDev->selectionModel()->setCurrentIndex(frm->ListModel()->index(0, 0),
                                                  QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
    emit menu->aboutToShow();
    ASSERT_TRUE(mute->isEnabled());
    EXPECT_FALSE(mute->isChecked());
    mute->trigger();
    EXPECT_TRUE(Alerts().Muted(TAlertKind::Sensor, 0));
    EXPECT_EQ(ReadIni(), head + tail + "[Sensors]\r\n0000000000123456=mute\r\n");
    AnswerGap(120);
    gap->trigger();
    EXPECT_EQ(Alerts().Expectation(TAlertKind::Sensor, 0), (TExpectation{120, true}));
    EXPECT_EQ(ReadIni(), head + tail + "[Sensors]\r\n0000000000123456=gap=120,mute\r\n");
    emit menu->aboutToShow();
    EXPECT_TRUE(mute->isChecked());
    mute->trigger();
    AnswerGap(0);
    gap->trigger(); // nothing left: the line goes
    EXPECT_EQ(ReadIni(), head + tail + "[Sensors]\r\n");
    EXPECT_TRUE(errors.empty());
}

TEST_F(ExpectFixture, TheTreesMenuIsForTheRepeaterOrEntryPointOfTheNodeChosen) {
    QTreeView* tree = frm->tvDev;
    const QModelIndex repeater = frm->Tree()->OwnerIndex(TOwnerKind::Repeat, 0);
    ASSERT_TRUE(repeater.isValid());
    // A line under the node stands for the node's record.
    tree->setCurrentIndex(frm->Tree()->Model()->index(2, 0, repeater));
    Action(frm->pmTvDev, "pmiMute2")->trigger();
    EXPECT_TRUE(Alerts().Muted(TAlertKind::Repeat, 0));
    tree->setCurrentIndex(frm->Tree()->OwnerIndex(TOwnerKind::Entry, 0));
    emit frm->pmTvDev->aboutToShow();
    EXPECT_TRUE(Action(frm->pmTvDev, "pmiMute2")->isChecked());
    Action(frm->pmTvDev, "pmiMute2")->trigger(); // unmuted: its line goes
    EXPECT_FALSE(Alerts().Muted(TAlertKind::Entry, 0));
    EXPECT_EQ(ReadIni(), "; kept as written\r\n[Settings]\r\nMaxAge=7200\r\n\r\n[Entries]\r\n" +
                             tail + "[Repeaters]\r\nb=mute\r\n");
    tree->setCurrentIndex(frm->Tree()->RootIndex(TRouteTree::SensorsNode));
    emit frm->pmTvDev->aboutToShow();
    EXPECT_FALSE(Action(frm->pmTvDev, "pmiMute2")->isEnabled());
}

} // namespace
