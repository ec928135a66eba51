// The alert states as the views show them, driven through the store with a clock set by hand:
// the list's tones and marks, the route tree's nodes, the status label, the Loss % and Routes
// cells, and Clear All.
#include <QLabel>

#include <gtest/gtest.h>

#include <string>

#include "app/Monitor.h"
#include "app/qt/AlertLook.h"
#include "app/qt/AlertViews.h"
#include "app/qt/RouteTree.h"
#include "app/qt/SensorListModel.h"
#include "support/Packets.h"

using namespace corvane;
using corvane::testing::SensorLine;

namespace {

class AlertViews : public ::testing::Test {
protected:
    TManualClock clock{46000.0};
    // The views hear the store as in the window.
    TNullShellListener shell;
    TSensorListModel list;
    TRouteTree tree;
    TMonitor monitor{clock, {shell, list, tree}};
    QLabel status;
    TAlertViews alertViews{monitor.Store().Alerts, list, tree, status};

    void SetUp() override {
        monitor.Store().Settings.DuplicateTimeSec = 0;
        monitor.Store().Alerts.Settings.AlertMinSec = 0;
    }
    // A read of a sensor through repeater r (none: '\0') and an entry point after s seconds.
    void Read(uint32_t serial, double s, char r = 'b', const char* entry = ",1,North") {
        clock.AdvanceSeconds(s);
        ASSERT_TRUE(monitor.ParsePacketLine(nullptr, SensorLine(serial, entry, r)));
    }
    void Tick(double s) {
        clock.AdvanceSeconds(s);
        monitor.ExpireTick();
        list.Flush();
    }
    QVariant Cell(uint16_t row, int column, int role) {
        return list.data(list.index(list.ModelRowOf(row), column), role);
    }
    QImage Mark(const QModelIndex& i) {
        return i.data(Qt::DecorationRole).value<QPixmap>().toImage();
    }
    QImage Mark(TAlertState s) { return AlertMark(s).toImage(); }
};

TEST_F(AlertViews, StatesShowInTheListTheTreeAndTheStatusLabel) {
    // Sensor 1, repeater b and entry point 1 report every 10 s.
    for (int k = 0; k < 3; ++k)
        Read(1, k == 0 ? 0 : 10);
    // Sensor 2 and entry point 2 report every 2 s: silent past 10 x 2 s.
    for (int k = 0; k < 3; ++k)
        Read(2, k == 0 ? 0 : 2, '\0', ",2,South");
    list.Flush();
    EXPECT_TRUE(status.isHidden());
    EXPECT_FALSE(Cell(0, 0, Qt::BackgroundRole).isValid());
    EXPECT_FALSE(Cell(0, 5, Qt::DecorationRole).isValid());

    Tick(31); // 35 s: past 3 x 10 for sensor 1, repeater b and entry point 1
    EXPECT_EQ(list.AlertState(0), TAlertState::Late);
    EXPECT_EQ(Cell(0, 0, Qt::BackgroundRole).value<QColor>(), AlertTone(TAlertState::Late));
    EXPECT_EQ(Cell(0, 7, Qt::BackgroundRole).value<QColor>(), AlertTone(TAlertState::Late));
    // Sensor 1 is behind repeater b, late in the same tick: its mark is the hollow one.
    EXPECT_EQ(Cell(0, 5, Qt::DecorationRole).value<QPixmap>().toImage(),
              AlertMark(TAlertState::Late, true).toImage());
    EXPECT_NE(AlertMark(TAlertState::Late, true).toImage(), Mark(TAlertState::Late));
    EXPECT_EQ(Cell(0, 5, Qt::ToolTipRole).toString(), "Behind repeater b (late)");
    EXPECT_EQ(tree.OwnerIndex(TOwnerKind::Repeat, 0).data().toString(), "b (1 sensor behind it)");
    // Entry point 1 counts the sensor behind its repeater.
    EXPECT_EQ(tree.OwnerIndex(TOwnerKind::Entry, 0).data().toString(),
              "North (1 sensor behind it)");
    EXPECT_EQ(Mark(tree.SensorIndex(0)), Mark(TAlertState::Late)); // the tree's marks stay full
    EXPECT_EQ(Mark(tree.OwnerIndex(TOwnerKind::Repeat, 0)), Mark(TAlertState::Late));
    EXPECT_EQ(tree.OwnerIndex(TOwnerKind::Entry, 0).data(Qt::BackgroundRole).value<QColor>(),
              AlertTone(TAlertState::Late));
    // The tree's line nodes and roots stay plain.
    EXPECT_FALSE(tree.RootIndex(TRouteTree::SensorsNode).data(Qt::DecorationRole).isValid());
    EXPECT_FALSE(tree.SensorIndex(0)
                     .model()
                     ->index(0, 0, tree.SensorIndex(0))
                     .data(Qt::BackgroundRole)
                     .isValid());
    EXPECT_EQ(list.AlertState(1), TAlertState::Silent);
    EXPECT_EQ(Mark(tree.OwnerIndex(TOwnerKind::Entry, 1)), Mark(TAlertState::Silent));
    EXPECT_FALSE(status.isHidden());
    // Of their own: entry points 2 (silent) and 1 (late); behind them: both sensors and b.
    EXPECT_EQ(status.text(), "1 silent, 1 late, 3 behind them");
    EXPECT_EQ(status.textFormat(), Qt::PlainText);

    Tick(70); // 105 s: silent; the marks differ in shape, not only in tone
    EXPECT_EQ(Cell(0, 5, Qt::DecorationRole).value<QPixmap>().toImage(),
              AlertMark(TAlertState::Silent, true).toImage());
    EXPECT_NE(Mark(TAlertState::Silent), Mark(TAlertState::Late));
    EXPECT_NE(AlertTone(TAlertState::Silent), AlertTone(TAlertState::Late));
    EXPECT_EQ(status.text(), "2 silent, 0 late, 3 behind them");

    Read(1, 1); // back at once: the sensor, its repeater and entry point report again
    Read(2, 0, '\0', ",2,South");
    list.Flush();
    EXPECT_FALSE(Cell(0, 0, Qt::BackgroundRole).isValid());
    EXPECT_FALSE(Cell(0, 5, Qt::DecorationRole).isValid());
    EXPECT_FALSE(tree.OwnerIndex(TOwnerKind::Repeat, 0).data(Qt::DecorationRole).isValid());
    EXPECT_FALSE(tree.SensorIndex(1).data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(tree.OwnerIndex(TOwnerKind::Repeat, 0).data().toString(), "b");
    EXPECT_TRUE(status.isHidden());
}

TEST_F(AlertViews, ClearAllResetsStatesAndANewNodeTakesAKeptState) {
    for (int k = 0; k < 3; ++k)
        Read(1, 10);
    Tick(200);
    ASSERT_EQ(list.AlertState(0), TAlertState::Silent);
    ASSERT_FALSE(status.isHidden());
    monitor.ClearAll();
    list.Clear();
    tree.Clear();
    EXPECT_EQ(list.AlertState(0), TAlertState::Reporting);
    EXPECT_EQ(tree.AlertState(TAlertKind::Repeat, 0), TAlertState::Reporting);
    EXPECT_TRUE(status.isHidden());

    // A state that comes before its node (the tree of a window made late) is kept for it.
    tree.SetAlertState(TAlertKind::Sensor, 5, TAlertState::Late);
    tree.AddSensorNode(5, "x");
    EXPECT_EQ(Mark(tree.SensorIndex(5)), Mark(TAlertState::Late));
}

// Loss % and Routes are what the store figures from the chain, after reads and after expiry.
TEST_F(AlertViews, LossAndRoutesCellsFollowTheChainAndSort) {
    monitor.Store().Alerts.Settings.Alerts = false;
    // Sensor 1 reports every 10 s and loses every third packet; through two routes.
    int last = 0;
    for (int k = 0; k < 12; ++k)
        if (k % 3 != 2) {
            Read(1, 10.0 * (k - last), k % 2 ? 'b' : '\0');
            last = k;
        }
    Read(2, 1, 'b'); // sensor 2: two reads, no loss figure yet, one route
    Read(2, 10, 'b');
    list.Flush();
    char buffer[16];
    EXPECT_EQ(list.CellText(0, LossColumn).toStdString(),
              std::string(monitor.Store().LossText(0, buffer)));
    EXPECT_FALSE(list.CellText(0, LossColumn).isEmpty());
    EXPECT_EQ(list.CellText(0, RoutesColumn), "2");
    EXPECT_EQ(list.CellText(1, LossColumn), "");
    EXPECT_EQ(list.CellText(1, RoutesColumn), "1");
    EXPECT_EQ(list.headerData(LossColumn, Qt::Horizontal).toString(), "Loss %");
    EXPECT_EQ(list.headerData(RoutesColumn, Qt::Horizontal).toString(), "Routes");

    list.ColumnClick(RoutesColumn); // fewest routes first
    EXPECT_EQ(list.SensorRowAt(0), 1);
    list.ColumnClick(RoutesColumn);
    EXPECT_EQ(list.SensorRowAt(0), 0);
    list.ColumnClick(LossColumn); // largest loss first, an empty figure last
    EXPECT_EQ(list.SensorRowAt(0), 0);

    // Expiry takes the old reads off the chain; the cells move with it.
    monitor.Store().Settings.MaxAge = 15;
    Tick(10);
    EXPECT_EQ(list.CellText(0, LossColumn), "");
    EXPECT_EQ(list.CellText(0, RoutesColumn).toStdString(),
              std::string(monitor.Store().RoutesText(0, buffer)));
    EXPECT_EQ(list.CellText(1, RoutesColumn), "1");
}

} // namespace
