#include <QCoreApplication>
#include <QSignalSpy>
#include <QTreeView>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/qt/RouteTree.h"

using namespace corvane;

namespace {

using Texts = std::vector<std::string>;

class RouteTree : public ::testing::Test {
protected:
    TRouteTree tree;
    QAbstractItemModel* model = tree.Model();

    std::string Text(const QModelIndex& i) { return i.data().toString().toStdString(); }
    Texts Children(const QModelIndex& parent) {
        Texts t;
        for (int r = 0; r < model->rowCount(parent); ++r)
            t.push_back(Text(model->index(r, 0, parent)));
        return t;
    }
    QModelIndex Child(const QModelIndex& parent, int row) { return model->index(row, 0, parent); }
};

TEST_F(RouteTree, OwnerNodesStartWithNoActivity) {
    EXPECT_EQ(Children({}), (Texts{"Entry Points", "Repeaters", "Sensors"}));
    tree.AddOwnerNode(TOwnerKind::Entry, 0, "North Gate");
    tree.AddOwnerNode(TOwnerKind::Entry, 1, std::string(40, 'x')); // names hold 33 characters
    tree.AddOwnerNode(TOwnerKind::Repeat, 0, "c");
    EXPECT_EQ(Children(tree.RootIndex(TRouteTree::EntryPointsNode)),
              (Texts{"North Gate", std::string(33, 'x')}));
    const QModelIndex gate = tree.OwnerIndex(TOwnerKind::Entry, 0);
    EXPECT_EQ(gate.parent(), tree.RootIndex(TRouteTree::EntryPointsNode));
    EXPECT_EQ(Children(gate), (Texts{"Last Activitiy: (none)", "Last 5 min. Count: 0",
                                     "Last 10 min. Count: 0", "Total Count: 0"}));
    EXPECT_EQ(Children(tree.OwnerIndex(TOwnerKind::Repeat, 0)), Children(gate));
    EXPECT_EQ(Text(tree.OwnerIndex(TOwnerKind::Repeat, 0)), "c");

    tree.SetActivityLines(TOwnerKind::Repeat, 0,
                          {"Last Activitiy: 06/01 12:00:05", "Last 5 min. Count: 2",
                           "Last 10 min. Count: 3", "Total Count: 9"});
    EXPECT_EQ(Children(tree.OwnerIndex(TOwnerKind::Repeat, 0)),
              (Texts{"Last Activitiy: 06/01 12:00:05", "Last 5 min. Count: 2",
                     "Last 10 min. Count: 3", "Total Count: 9"}));
    EXPECT_EQ(Text(Child(gate, 0)), "Last Activitiy: (none)");
}

TEST_F(RouteTree, SensorNodesHoldStatisticsAndSlotsInOrder) {
    tree.AddSensorNode(0, "00000000000000FF");
    tree.AddSensorNode(1, "Tank 7");
    const QModelIndex sensor = tree.SensorIndex(0);
    EXPECT_EQ(Children(tree.RootIndex(TRouteTree::SensorsNode)),
              (Texts{"00000000000000FF", "Tank 7"}));
    EXPECT_EQ(Children(sensor), (Texts{"Statistics", "Entry", "Repeat"}));
    EXPECT_EQ(Children(Child(sensor, 0)), (Texts{"Count", "Duplicates", "Max Gap", "Min Gap"}));
    EXPECT_EQ(model->rowCount(Child(sensor, 1)), 0);

    tree.AddSlotNode(0, TOwnerKind::Entry, "North Gate");
    tree.AddSlotNode(0, TOwnerKind::Entry, "South Gate");
    tree.AddSlotNode(0, TOwnerKind::Repeat, "c");
    EXPECT_EQ(Children(Child(sensor, 1)), (Texts{"North Gate", "South Gate"}));
    EXPECT_EQ(Children(Child(sensor, 2)), (Texts{"c"}));

    const Texts second = {"Count: 3", "Duplicates: 2", "Max Gap: (undefined)",
                          "Min Gap: (undefined)"};
    tree.SetStatsLines(0, TStatsGroup::Entry, 1, {second[0], second[1], second[2], second[3]});
    tree.SetStatsLines(0, TStatsGroup::Statistics, 0,
                       {"Count: 4", "Duplicates: 0", "Max Gap: 60", "Min Gap: 58"});
    EXPECT_EQ(Children(Child(Child(sensor, 1), 1)), second);
    EXPECT_EQ(Text(Child(Child(Child(sensor, 1), 0), 0)), "Count");
    EXPECT_EQ(Text(Child(Child(sensor, 0), 3)), "Min Gap: 58");
    // The other sensor is untouched; unknown rows and slots are ignored.
    EXPECT_EQ(Text(Child(Child(tree.SensorIndex(1), 0), 0)), "Count");
    tree.SetStatsLines(0, TStatsGroup::Repeat, 5, {"a", "b", "c", "d"});
    tree.SetStatsLines(7, TStatsGroup::Statistics, 0, {"a", "b", "c", "d"});
    tree.AddSlotNode(7, TOwnerKind::Entry, "x");
    EXPECT_FALSE(tree.SensorIndex(7).isValid());
}

TEST_F(RouteTree, OnlyChangedTextsAreRepainted) {
    tree.AddOwnerNode(TOwnerKind::Entry, 0, "North Gate");
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    const TFourLines lines = {"Last Activitiy: 06/01 12:00:05", "Last 5 min. Count: 1",
                              "Last 10 min. Count: 1", "Total Count: 1"};
    tree.SetActivityLines(TOwnerKind::Entry, 0, lines);
    tree.SetActivityLines(TOwnerKind::Entry, 0, lines);
    tree.SetActivityLines(TOwnerKind::Entry, 0, {"x", "Last 5 min. Count: 1", "y", "z"});
    EXPECT_EQ(changed.count(), 0); // told once the turn ends
    QCoreApplication::processEvents();
    ASSERT_EQ(changed.count(), 1);
    const QModelIndex gate = tree.OwnerIndex(TOwnerKind::Entry, 0);
    EXPECT_EQ(changed.at(0).at(0).value<QModelIndex>(), Child(gate, 0));
    EXPECT_EQ(changed.at(0).at(1).value<QModelIndex>(), Child(gate, 3));
    tree.SetActivityLines(TOwnerKind::Entry, 0, {"x", "Last 5 min. Count: 1", "y", "z"});
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.count(), 1);
}

// An attached view hears only of lines it shows; once opened, a node shows its newest lines.
TEST_F(RouteTree, CollapsedNodesAreNotRepainted) {
    QTreeView view;
    tree.Attach(&view);
    tree.AddOwnerNode(TOwnerKind::Entry, 0, "North Gate");
    tree.AddOwnerNode(TOwnerKind::Entry, 1, "South Gate");
    const QModelIndex north = tree.OwnerIndex(TOwnerKind::Entry, 0);
    const QModelIndex south = tree.OwnerIndex(TOwnerKind::Entry, 1);
    view.expand(tree.RootIndex(TRouteTree::EntryPointsNode));
    view.expand(north);
    view.expand(south);
    view.collapse(tree.RootIndex(TRouteTree::EntryPointsNode)); // south stays open below it
    view.expand(tree.RootIndex(TRouteTree::EntryPointsNode));
    view.collapse(north);
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    tree.SetActivityLines(TOwnerKind::Entry, 0, {"a", "b", "c", "d"});
    tree.SetActivityLines(TOwnerKind::Entry, 1, {"e", "f", "g", "h"});
    QCoreApplication::processEvents();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<QModelIndex>(), Child(south, 0));
    view.collapse(tree.RootIndex(TRouteTree::EntryPointsNode));
    tree.SetActivityLines(TOwnerKind::Entry, 1, {"i", "j", "k", "l"});
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.count(), 1);
    view.expand(north);
    EXPECT_EQ(Children(north), (Texts{"a", "b", "c", "d"}));
    EXPECT_EQ(Children(south), (Texts{"i", "j", "k", "l"}));
}

// The column fits the lines on screen, measured over those alone so that a change costs the same
// however many nodes are open; a long line scrolled into view widens it.
TEST_F(RouteTree, TheColumnFitsTheLinesInView) {
    QTreeView view;
    tree.Attach(&view);
    view.resize(300, 200);
    view.show();
    for (uint16_t s = 0; s < 200; ++s)
        tree.AddSensorNode(s, s == 199 ? std::string(60, 'W') : "Tank " + std::to_string(s));
    view.expand(tree.RootIndex(TRouteTree::SensorsNode));
    QCoreApplication::processEvents();
    const int shortWidth = view.columnWidth(0);
    const int longWidth = view.fontMetrics().horizontalAdvance(QString(60, 'W'));
    EXPECT_LT(shortWidth, longWidth);
    view.scrollToBottom();
    QCoreApplication::processEvents();
    EXPECT_GE(view.columnWidth(0), longWidth);

    // A shown line that grows, and a node opened on a long line, widen it too.
    view.collapse(tree.RootIndex(TRouteTree::SensorsNode));
    tree.AddOwnerNode(TOwnerKind::Entry, 0, "North Gate");
    view.expand(tree.RootIndex(TRouteTree::EntryPointsNode));
    view.expand(tree.OwnerIndex(TOwnerKind::Entry, 0));
    QCoreApplication::processEvents();
    EXPECT_LT(view.columnWidth(0), longWidth);
    tree.SetActivityLines(TOwnerKind::Entry, 0, {std::string(60, 'W'), "b", "c", "d"});
    QCoreApplication::processEvents();
    EXPECT_GE(view.columnWidth(0), longWidth);
    view.collapse(tree.OwnerIndex(TOwnerKind::Entry, 0));
    QCoreApplication::processEvents();
    EXPECT_LT(view.columnWidth(0), longWidth);
    view.expand(tree.OwnerIndex(TOwnerKind::Entry, 0));
    QCoreApplication::processEvents();
    EXPECT_GE(view.columnWidth(0), longWidth);
}

TEST_F(RouteTree, ClearKeepsTheRootsAndStartsOver) {
    QTreeView view;
    tree.Attach(&view);
    tree.AddOwnerNode(TOwnerKind::Entry, 0, "North Gate");
    tree.AddOwnerNode(TOwnerKind::Repeat, 0, "c");
    tree.AddSensorNode(0, "Tank 7");
    tree.AddSlotNode(0, TOwnerKind::Entry, "North Gate");
    view.expandAll();
    tree.Clear();
    EXPECT_EQ(Children({}), (Texts{"Entry Points", "Repeaters", "Sensors"}));
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(model->rowCount(Child({}, r)), 0);
    EXPECT_FALSE(tree.SensorIndex(0).isValid());
    EXPECT_FALSE(tree.OwnerIndex(TOwnerKind::Entry, 0).isValid());
    tree.SetStatsLines(0, TStatsGroup::Statistics, 0, {"a", "b", "c", "d"}); // no node: ignored

    tree.AddSensorNode(0, "Pump 2");
    tree.AddSlotNode(0, TOwnerKind::Repeat, "d");
    const QModelIndex sensor = tree.SensorIndex(0);
    EXPECT_EQ(Text(sensor), "Pump 2");
    EXPECT_EQ(sensor.parent(), tree.RootIndex(TRouteTree::SensorsNode));
    EXPECT_EQ(Children(Child(sensor, 2)), (Texts{"d"}));
    EXPECT_EQ(Child(Child(sensor, 2), 0).parent().parent(), sensor);
}

TEST_F(RouteTree, SelectingASensorExpandsAllItsNodes) {
    QTreeView view;
    tree.Attach(&view);
    tree.AddSensorNode(0, "Tank 7");
    tree.AddSensorNode(1, "Pump 2");
    tree.AddSlotNode(1, TOwnerKind::Entry, "North Gate");
    tree.AddSlotNode(1, TOwnerKind::Repeat, "c");
    tree.SelectSensor(&view, 1);
    const QModelIndex sensor = tree.SensorIndex(1);
    EXPECT_EQ(view.selectionModel()->selectedIndexes(), QModelIndexList{sensor});
    EXPECT_TRUE(view.isExpanded(tree.RootIndex(TRouteTree::SensorsNode)));
    EXPECT_TRUE(view.isExpanded(sensor));
    for (int g = 0; g < 3; ++g)
        EXPECT_TRUE(view.isExpanded(Child(sensor, g)));
    EXPECT_TRUE(view.isExpanded(Child(Child(sensor, 1), 0)));
    EXPECT_FALSE(view.isExpanded(tree.SensorIndex(0)));
}

} // namespace
