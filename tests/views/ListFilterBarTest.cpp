// The filter bar over a real list view: which rows it hides, and what the hidden rows leave of
// the order and the selection.
#include <QComboBox>
#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/qt/ListFilterBar.h"
#include "app/qt/SensorListModel.h"
#include "store/ActivityStore.h"
#include "util/untConst.h"

using namespace corvane;

namespace {

class FilterBar : public ::testing::Test {
protected:
    TManualClock clock{46000.0};
    TNullListener listener;
    std::unique_ptr<TStore> store = TStore::Create(clock, listener);
    TSensorListModel model{*store};
    QTreeView view;
    std::unique_ptr<TListFilterBar> bar;

    void SetUp() override {
        AttachSensorList(&view, &model);
        bar = std::make_unique<TListFilterBar>(*store, &view, &model);
    }
    // A sensor as the engine leaves it: its record, its row and its texts.
    void Sensor(uint16_t row, const std::string& name, int count, uint8_t kind = 2) {
        TSensor& s = store->Sensors[row];
        s.SerNo = 0x100 + row;
        s.Name.Assign(name);
        s.Kind = kind;
        s.Stats.Count = count;
        s.Stats.LastTime = clock.Now();
        store->SensorCount = std::max<uint16_t>(store->SensorCount, row + 1);
        if (model.ModelRowOf(row) < 0)
            model.MakeRow(row, Label(row), SensorKindName(kind));
        Update(row);
    }
    void Update(uint16_t row) {
        const std::string count = std::to_string(store->Sensors[row].Stats.Count);
        model.UpdateRow(row, TRowTexts{Label(row), false, count, "0", "1.00", "0"});
    }
    std::string Label(uint16_t row) {
        char buffer[NameMax + 1];
        return std::string(store->SensorLabel(row, buffer));
    }
    // The labels of the rows shown, top to bottom, once the model's work of this turn is done.
    std::vector<std::string> Shown() {
        model.Flush();
        std::vector<std::string> names;
        for (int r = 0; r < model.rowCount(); ++r)
            if (!view.isRowHidden(r, {}))
                names.push_back(model.index(r, 0).data().toString().toStdString());
        return names;
    }
    void Select(uint16_t sensor) {
        view.selectionModel()->setCurrentIndex(model.index(model.ModelRowOf(sensor), 0),
                                               QItemSelectionModel::ClearAndSelect |
                                                   QItemSelectionModel::Rows);
    }
    using Names = std::vector<std::string>;
};

TEST_F(FilterBar, HiddenRowsKeepTheOrderOfTheWholeList) {
    Sensor(0, "Tank 3", 5);
    Sensor(1, "Pump", 9);
    Sensor(2, "tank 1", 7);
    Sensor(3, "", 1, 10); // 0000000000000103, Temperature
    Sensor(4, "Tank 2", 8);
    bar->edtFilter->setText("TANK");
    EXPECT_EQ(Shown(), (Names{"tank 1", "Tank 2", "Tank 3"}));
    EXPECT_EQ(model.rowCount(), 5); // hidden, not removed
    EXPECT_EQ(bar->ShownCount(), 3);

    // Sorting by count moves the hidden rows along with the shown ones.
    model.ColumnClick(2);
    EXPECT_EQ(Shown(), (Names{"Tank 2", "tank 1", "Tank 3"}));
    store->Sensors[2].Stats.Count = 1;
    Update(2);
    EXPECT_EQ(Shown(), (Names{"Tank 2", "Tank 3", "tank 1"}));

    bar->edtFilter->setText("no such sensor");
    EXPECT_EQ(Shown(), Names{});
    bar->edtFilter->setText(QString::fromUtf8("Tank \u20AC")); // beyond 8-bit: nothing
    EXPECT_EQ(Shown(), Names{});
    bar->edtFilter->clear();
    EXPECT_EQ(Shown(), (Names{"Pump", "Tank 2", "Tank 3", "0000000000000103", "tank 1"}));
}

TEST_F(FilterBar, SelectionStaysWhileItMatchesAndGoesWhenItStops) {
    for (uint16_t r = 0; r < 4; ++r)
        Sensor(r, "Gate " + std::to_string(r), r);
    model.Flush();
    Select(2);
    bar->edtFilter->setText("gate");
    EXPECT_EQ(SelectedSensor(&view, &model), 2);
    bar->edtFilter->setText("gate 2");
    EXPECT_EQ(SelectedSensor(&view, &model), 2);
    bar->edtFilter->setText("gate 3");
    EXPECT_EQ(SelectedSensor(&view, &model), NoRow);
    EXPECT_FALSE(view.selectionModel()->currentIndex().isValid());
    // Clearing the filter shows it again but does not select it again.
    bar->edtFilter->clear();
    EXPECT_EQ(SelectedSensor(&view, &model), NoRow);

    // A renamed sensor that stops matching loses its selection when its row is repainted.
    bar->edtFilter->setText("gate");
    Select(1);
    store->Sensors[1].Name.Assign("Door 1");
    Update(1);
    EXPECT_EQ(Shown(), (Names{"Gate 0", "Gate 2", "Gate 3"}));
    EXPECT_EQ(SelectedSensor(&view, &model), NoRow);
}

TEST_F(FilterBar, NewRowsAndChangedStatesAreJudgedAsTheyCome) {
    Sensor(0, "Tank", 1);
    bar->edtFilter->setText("tank");
    Sensor(1, "Pump", 1);
    // Hidden as soon as it is made, before the model's turn ends.
    EXPECT_TRUE(view.isRowHidden(model.ModelRowOf(1), {}));
    Sensor(2, "Tank 2", 1);
    EXPECT_EQ(Shown(), (Names{"Tank", "Tank 2"}));

    // The state choice follows the states the alert views hand to the model.
    bar->edtFilter->clear();
    bar->cbxState->setCurrentIndex(1); // Late
    EXPECT_EQ(Shown(), Names{});
    const uint16_t row = 1;
    store->Alerts.Settings.AlertMinSec = 0;
    TStats& stats = store->Sensors[row].Stats;
    stats.Count = 3; // two gaps of 10 s
    stats.AvgGap = 10;
    stats.LastTime = clock.Now();
    clock.AdvanceSeconds(40);
    store->Alerts.Judge(clock.Now());
    ASSERT_EQ(store->Alerts.State(TAlertKind::Sensor, row), TAlertState::Late);
    model.SetAlertState(row, TAlertState::Late);
    EXPECT_EQ(Shown(), Names{"Pump"});
    // Late or silent shows the late one too; Silent alone does not.
    bar->cbxState->setCurrentIndex(3);
    EXPECT_EQ(bar->cbxState->currentText(), "Late or silent");
    EXPECT_EQ(Shown(), Names{"Pump"});
    bar->cbxState->setCurrentIndex(2);
    EXPECT_EQ(Shown(), Names{});

    // Clear All empties the list; what comes after it is judged by the filter still set.
    model.Clear();
    store->ClearStore();
    bar->cbxState->setCurrentIndex(0);
    bar->edtFilter->setText("pump");
    Sensor(0, "Tank", 1);
    Sensor(1, "Pump", 1);
    EXPECT_EQ(Shown(), Names{"Pump"});
}

// While a filter is on, how many rows it leaves stands beside the field, and a filter that
// leaves none says so where the rows would be.
TEST_F(FilterBar, SaysHowManyRowsItShowsAndWhenNoneMatches) {
    view.resize(400, 300);
    view.show();
    Sensor(0, "Tank 1", 5);
    Sensor(1, "Pump", 9);
    Sensor(2, "Tank 2", 7);
    Shown();
    EXPECT_FALSE(bar->lblShown->isVisibleTo(bar.get()));
    EXPECT_FALSE(bar->lblNoMatch->isVisibleTo(&view));
    bar->edtFilter->setText("tank");
    Shown();
    EXPECT_TRUE(bar->lblShown->isVisibleTo(bar.get()));
    EXPECT_EQ(bar->lblShown->text(), "2 of 3 sensors shown");
    EXPECT_FALSE(bar->lblNoMatch->isVisibleTo(&view));
    bar->edtFilter->setText("valve");
    Shown();
    EXPECT_EQ(bar->lblShown->text(), "0 of 3 sensors shown");
    EXPECT_TRUE(bar->lblNoMatch->isVisibleTo(&view));
    EXPECT_EQ(bar->lblNoMatch->text(), "No sensor matches");
    EXPECT_EQ(bar->lblNoMatch->geometry(), view.viewport()->rect());
    // A new sensor that matches takes the word's place at once.
    Sensor(3, "Valve", 1);
    EXPECT_FALSE(bar->lblNoMatch->isVisibleTo(&view));
    EXPECT_EQ(Shown(), Names{"Valve"});
    EXPECT_EQ(bar->lblShown->text(), "1 of 4 sensors shown");
    bar->edtFilter->clear();
    Shown();
    EXPECT_FALSE(bar->lblShown->isVisibleTo(bar.get()));
    EXPECT_FALSE(bar->lblNoMatch->isVisibleTo(&view));
}

} // namespace
