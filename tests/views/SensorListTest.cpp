#include <QCoreApplication>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/qt/SensorListModel.h"
#include "store/ActivityStore.h"

using namespace corvane;

namespace {

class SensorList : public ::testing::Test {
protected:
    TManualClock clock{46000.0};
    TNullListener listener;
    std::unique_ptr<TStore> store = TStore::Create(clock, listener);
    TSensorListModel model{*store};

    // A sensor as the engine leaves it: the record in the store, a made row and an update.
    void Sensor(uint16_t row, const std::string& name, int count, float runAvg, double silentSec,
                bool marked = false) {
        TSensor& s = store->Sensors[row];
        s.SerNo = 0x100 + row;
        s.Name.Assign(name);
        s.Kind = 2;
        s.Stats.Count = count;
        s.Stats.RunAvg = runAvg;
        s.Stats.LastTime = count > 0 ? clock.Now() - silentSec / 86400.0 : NoTime;
        store->SensorCount = std::max<uint16_t>(store->SensorCount, row + 1);
        if (model.ModelRowOf(row) < 0)
            model.MakeRow(row, Label(row), "DualCounter");
        Update(row, marked);
    }
    void Update(uint16_t row, bool marked = false) {
        const TSensor& s = store->Sensors[row];
        texts_ = {std::to_string(s.Stats.Count), std::to_string(s.Stats.Dups),
                  std::to_string(s.Stats.RunAvg)};
        model.UpdateRow(row, TRowTexts{Label(row), marked, texts_[0], texts_[1], texts_[2],
                                       s.Stats.Count > 0 ? "5" : ""});
    }
    std::string Label(uint16_t row) {
        char buffer[NameMax + 1];
        return std::string(store->SensorLabel(row, buffer));
    }
    std::vector<std::string> Order() {
        model.Flush();
        std::vector<std::string> names;
        for (int r = 0; r < model.rowCount(); ++r)
            names.push_back(model.index(r, 0).data().toString().toStdString());
        return names;
    }
    std::vector<std::string> texts_;
};

using Names = std::vector<std::string>;

TEST_F(SensorList, ColumnsCaptionsAndAlignment) {
    Sensor(0, "Tank 7", 3, 12.5f, 5, true);
    Sensor(1, "Gate", 0, 0, 0);
    model.Flush();
    const char* captions[] = {"Sensor", "Kind", "Count", "Duplicates", "Run Avg", "Age"};
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), captions[c]);
    EXPECT_EQ(model.headerData(4, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
                  Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_EQ(model.headerData(2, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
                  Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
    EXPECT_EQ(TSensorListModel::ColumnWidth(0), 125);
    EXPECT_EQ(TSensorListModel::ColumnWidth(4), 60);

    EXPECT_EQ(model.CellText(0, 1), "DualCounter");
    EXPECT_EQ(model.CellText(0, 2), "3");
    EXPECT_EQ(model.CellText(1, 5), "");
    EXPECT_TRUE(model.IsMarked(0));
    EXPECT_FALSE(model.IsMarked(1));
    const QModelIndex marked = model.index(model.ModelRowOf(0), 0);
    EXPECT_EQ(model.data(marked, Qt::DecorationRole).value<QPixmap>().toImage(),
              TSensorListModel::MarkerImage().toImage());
    EXPECT_EQ(model.data(marked, Qt::UserRole).toInt(), 0);

    model.SetCaption(0, "Sensor (2)");
    model.SetCaption(2, "Count (3)");
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Sensor (2)");
    // Clear All empties the rows; the counters keep their last texts until the next row or read.
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "Count (3)");
    EXPECT_EQ(model.ModelRowOf(0), -1);
    EXPECT_EQ(model.SensorRowAt(0), NoRow);
}

// A full ring changes the Count caption twice per packet: the header hears once per turn, and
// not at all when the caption is back to what it last heard.
TEST_F(SensorList, CaptionChangesAreToldOncePerTurn) {
    QSignalSpy told(&model, &QAbstractItemModel::headerDataChanged);
    model.ReadCountChanged(79999);
    model.ReadCountChanged(80000);
    model.SensorCountChanged(3);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Sensor (3)");
    EXPECT_EQ(told.count(), 0);
    // The frame's catch-up, then the header's notice in the turn after it.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_EQ(told.count(), 2);
    EXPECT_EQ(told[0][1].toInt(), 0);
    EXPECT_EQ(told[1][1].toInt(), 2);
    const QString count = model.headerData(2, Qt::Horizontal).toString();
    for (int packet = 0; packet < 5; ++packet) {
        model.ReadCountChanged(79999);
        model.ReadCountChanged(80000);
    }
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(told.count(), 2);
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), count);
}

// Labels: a to z count as A to Z, other characters by their code, a prefix first.
TEST_F(SensorList, LabelsSortAToZIgnoringCase) {
    Sensor(0, "beta", 1, 1, 1);
    Sensor(1, "_under", 1, 1, 1);
    Sensor(2, "Alpha", 1, 1, 1);
    Sensor(3, "zulu", 1, 1, 1);
    Sensor(4, "alp", 1, 1, 1);
    Sensor(5, "", 1, 1, 1); // shown by its serial number
    EXPECT_EQ(Order(), (Names{"0000000000000105", "alp", "Alpha", "beta", "zulu", "_under"}));
    model.ColumnClick(0);
    EXPECT_EQ(Order(), (Names{"_under", "zulu", "beta", "Alpha", "alp", "0000000000000105"}));
}

TEST_F(SensorList, CountThenAgeBreaksTiesByTheCountOrderInForce) {
    Sensor(0, "A", 5, 10, 100);
    Sensor(1, "B", 3, 10, 100);
    Sensor(2, "C", 7, 10, 10);
    Sensor(3, "D", 0, 0, 0);

    model.ColumnClick(2); // largest count first
    EXPECT_EQ(Order(), (Names{"C", "A", "B", "D"}));
    model.ColumnClick(2); // reversed
    EXPECT_EQ(Order(), (Names{"D", "B", "A", "C"}));
    model.ColumnClick(5); // longest silence first; no reads before all; A/B tie by reversed count
    EXPECT_EQ(model.SortState().TieColumn, 2);
    EXPECT_TRUE(model.SortState().TieReverse);
    EXPECT_EQ(Order(), (Names{"D", "B", "A", "C"}));
    model.ColumnClick(5); // most recent first, the tie still by reversed count
    EXPECT_EQ(Order(), (Names{"C", "B", "A", "D"}));
}

TEST_F(SensorList, RunAvgFirstClickSmallestFirstAndAgeingResorts) {
    Sensor(0, "A", 4, 30.5f, 1);
    Sensor(1, "B", 4, 12.25f, 1);
    Sensor(2, "C", 4, 60, 1);
    model.ColumnClick(4);
    EXPECT_EQ(Order(), (Names{"B", "A", "C"}));

    // An expiry tick lets B's average climb past the others: one batch, one repaint, re-sorted.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy moved(&model, &QAbstractItemModel::layoutChanged);
    model.BeginAgeing();
    store->Sensors[1].Stats.RunAvg = 75;
    model.AgeRow(1, "75.00", "150");
    model.AgeRow(0, "", "2"); // average unchanged: the cell keeps its text
    model.AgeRow(2, "", "2");
    model.EndAgeing();
    EXPECT_EQ(changed.count(), 0);
    QCoreApplication::processEvents(); // the batch is shown at the end of the event loop's turn
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(Order(), (Names{"A", "C", "B"}));
    EXPECT_EQ(model.CellText(1, 4), "75.00");
    EXPECT_EQ(model.CellText(0, 4), QString::fromStdString(std::to_string(30.5f)));
    EXPECT_EQ(model.CellText(0, 5), "2");
}

TEST_F(SensorList, UpdatesAreSortedOncePerTurnOfTheEventLoop) {
    model.ColumnClick(2);
    Sensor(0, "A", 1, 1, 1);
    Sensor(1, "B", 2, 1, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(Order(), (Names{"B", "A"}));

    QSignalSpy moved(&model, &QAbstractItemModel::layoutChanged);
    for (int i = 3; i < 8; ++i) {
        store->Sensors[0].Stats.Count = i;
        Update(0);
    }
    EXPECT_TRUE(model.HasPendingWork());
    QCoreApplication::processEvents();
    EXPECT_FALSE(model.HasPendingWork());
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(Order(), (Names{"A", "B"}));
    EXPECT_EQ(model.CellText(0, 2), "7");
}

TEST_F(SensorList, SelectionFollowsItsSensorAcrossResorts) {
    QTreeView view;
    AttachSensorList(&view, &model);
    QSignalSpy selected(&model, &TSensorListModel::SensorSelected);
    model.ColumnClick(2);
    for (uint16_t r = 0; r < 5; ++r)
        Sensor(r, "S" + std::to_string(r), 10 - r, 1, 1);
    model.Flush();
    view.setCurrentIndex(model.index(model.ModelRowOf(3), 0));
    ASSERT_EQ(SelectedSensor(&view, &model), 3);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.takeFirst().at(0).value<quint16>(), 3);

    store->Sensors[3].Stats.Count = 50; // moves to the top
    Update(3);
    model.Flush();
    EXPECT_EQ(model.ModelRowOf(3), 0);
    EXPECT_EQ(SelectedSensor(&view, &model), 3);
    EXPECT_EQ(view.currentIndex().row(), 0);
    model.ColumnClick(0);
    EXPECT_EQ(SelectedSensor(&view, &model), 3);
    // Moving is not selecting anew: the tree is not asked again.
    EXPECT_EQ(selected.count(), 0);

    view.setCurrentIndex(model.index(model.ModelRowOf(1), 0));
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.takeFirst().at(0).value<quint16>(), 1);

    // After Clear All the same sensor row is a new sensor: selecting it counts.
    model.Clear();
    Sensor(1, "new", 1, 1, 1);
    model.Flush();
    view.setCurrentIndex(model.index(0, 0));
    EXPECT_EQ(selected.count(), 1);
}

TEST_F(SensorList, HeaderClickThroughTheView) {
    QTreeView view;
    AttachSensorList(&view, &model);
    Sensor(0, "A", 1, 1, 1);
    Sensor(1, "B", 2, 1, 1);
    model.Flush();
    emit view.header()->sectionClicked(3);
    EXPECT_EQ(model.SortState().SortColumn, 3);
    EXPECT_EQ(model.SortState().TieColumn, 0);
    EXPECT_GE(view.columnWidth(5), 75);
}

// What the toolkit delivers for a double click: press, release, press, double click, release.
void DoubleClick(QWidget* viewport, QPoint at, const std::function<void()>& between = {}) {
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    if (between)
        between();
    QTest::mousePress(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
}

// Sorted by a column that moves (here Count), rows may trade places between the two clicks of a
// double click or while the button is held: what opens and stays selected is the sensor that was
// under the pointer when the click began, never the one that moved in under it.
TEST_F(SensorList, PointerKeepsTheSensorItPressedAcrossResorts) {
    QTreeView view;
    AttachSensorList(&view, &model);
    model.ColumnClick(2);
    for (uint16_t r = 0; r < 4; ++r)
        Sensor(r, "S" + std::to_string(r), 10 - r, 1, 1);
    model.Flush();
    view.resize(600, 300);
    view.show();
    QSignalSpy history(&model, &TSensorListModel::HistoryRequested);
    QWidget* viewport = view.viewport();
    const QPoint second = view.visualRect(model.index(1, 1)).center();
    ASSERT_EQ(model.SensorRowAt(1), 1);
    const auto moveToTop = [&](uint16_t row) {
        store->Sensors[row].Stats.Count += 100;
        Update(row);
        model.Flush();
    };

    DoubleClick(viewport, second, [&] { moveToTop(1); });
    ASSERT_EQ(model.SensorRowAt(1), 0); // sensor 0 now sits where sensor 1 was clicked
    ASSERT_EQ(history.count(), 1);
    EXPECT_EQ(history.takeFirst().at(0).value<quint16>(), 1);
    EXPECT_EQ(SelectedSensor(&view, &model), 1);

    // Without a re-sort it is the sensor under the pointer, as always.
    DoubleClick(viewport, second);
    ASSERT_EQ(history.count(), 1);
    EXPECT_EQ(history.takeFirst().at(0).value<quint16>(), 0);

    // Press, re-sort, move a little with the button held, release.
    QTest::mousePress(viewport, Qt::LeftButton, {}, second);
    ASSERT_EQ(SelectedSensor(&view, &model), 0);
    moveToTop(2);
    QTest::mouseMove(viewport, second + QPoint(3, 1));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, second + QPoint(3, 1));
    EXPECT_EQ(SelectedSensor(&view, &model), 0);
    EXPECT_EQ(history.count(), 0);

    // A double click below the last row opens nothing.
    DoubleClick(viewport, QPoint(10, 280));
    EXPECT_EQ(history.count(), 0);
}

} // namespace

TEST_F(SensorList, SeveralUpdatesInOneTurnAreToldOnceOverTheChangedRowsOnly) {
    model.ColumnClick(0);
    for (uint16_t r = 0; r < 40; ++r)
        Sensor(r, "S" + std::to_string(100 + r), 1, 1, 1);
    QCoreApplication::processEvents();

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    for (int i = 2; i < 5; ++i)
        for (uint16_t r : {1, 3, 4})
            store->Sensors[r].Stats.Count = i, Update(r);
    // The cells are current at once; only the notices wait for the end of the turn.
    EXPECT_EQ(model.CellText(1, 2), "4");
    EXPECT_EQ(changed.count(), 0);
    QCoreApplication::processEvents();
    // A few scattered rows: one notice per run of neighbours, so that rows between stay as drawn.
    const auto told = [&] {
        std::vector<std::pair<int, int>> spans;
        for (const QList<QVariant>& notice : changed)
            spans.emplace_back(notice[0].value<QModelIndex>().row(),
                               notice[1].value<QModelIndex>().row());
        changed.clear();
        return spans;
    };
    const int p1 = model.ModelRowOf(1), p3 = model.ModelRowOf(3), p4 = model.ModelRowOf(4);
    ASSERT_EQ(std::abs(p3 - p4), 1);
    std::vector<std::pair<int, int>> runs = {{p1, p1}, {std::min(p3, p4), std::max(p3, p4)}};
    std::sort(runs.begin(), runs.end());
    EXPECT_EQ(told(), runs);
    // Many scattered rows: one span over them all.
    for (uint16_t r = 0; r < 40; r += 2)
        store->Sensors[r].Stats.Count = 7, Update(r);
    QCoreApplication::processEvents();
    EXPECT_EQ(told(), (std::vector<std::pair<int, int>>{
                          {std::min(model.ModelRowOf(0), model.ModelRowOf(38)),
                           std::max(model.ModelRowOf(0), model.ModelRowOf(38))}}));

    // An expiry tick over every row: one notice, over the columns it touches.
    changed.clear();
    model.BeginAgeing();
    for (uint16_t r = 0; r < 40; ++r)
        model.AgeRow(r, "", "9");
    model.EndAgeing();
    QCoreApplication::processEvents();
    ASSERT_EQ(changed.count(), 1);
    const QModelIndex top = changed[0][0].value<QModelIndex>();
    const QModelIndex bottom = changed[0][1].value<QModelIndex>();
    EXPECT_EQ(top.row(), 0);
    EXPECT_EQ(bottom.row(), 39);
    EXPECT_EQ(top.column(), 4);
    EXPECT_EQ(model.CellText(5, 5), "9");
}

namespace {

// The marks explain themselves on hovering, and the header shows which column sorts which way.
TEST_F(SensorList, MarksHaveTooltipsAndTheSortedColumnItsIndicator) {
    Sensor(0, "Tank", 5, 10.0f, 0, true);
    Sensor(1, "Pump", 5, 10.0f, 0);
    model.Flush();
    const auto tip = [&](uint16_t sensor, int column) {
        return model.index(model.ModelRowOf(sensor), column).data(Qt::ToolTipRole).toString();
    };
    EXPECT_EQ(tip(0, 0), "Marked packet type");
    EXPECT_EQ(tip(1, 0), "");
    EXPECT_EQ(tip(1, 5), "") << "reporting";

    // Four counted gaps of 10 s, then 95 s of silence.
    store->Alerts.Settings.AlertMinSec = 0;
    for (uint16_t row : {0, 1}) {
        store->Alerts.OnRead(row, NoIndex, NoIndex, clock.Now());
        store->Sensors[row].Stats.AvgGap = 10.0f;
        store->Sensors[row].Stats.LastTime = clock.Now();
    }
    clock.AdvanceSeconds(40);
    store->Alerts.Judge(clock.Now());
    model.SetAlertState(0, store->Alerts.State(TAlertKind::Sensor, 0));
    EXPECT_EQ(tip(0, 5), "Late: no read for 40 s, usual gap 10 s");
    clock.AdvanceSeconds(61);
    store->Alerts.Judge(clock.Now());
    model.SetAlertState(1, store->Alerts.State(TAlertKind::Sensor, 1));
    EXPECT_EQ(tip(1, 5), "Silent: no read for 101 s, usual gap 10 s");

    QTreeView view;
    AttachSensorList(&view, &model);
    QHeaderView* header = view.header();
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder) << "labels A to Z";
    model.ColumnClick(2);
    EXPECT_EQ(header->sortIndicatorSection(), 2);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder) << "largest count first";
    model.ColumnClick(5);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder) << "longest silence first";
    model.ColumnClick(5);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    model.ColumnClick(6);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder) << "largest loss first";
    model.ColumnClick(7);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder) << "fewest routes first";
}

} // namespace
