#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/qt/fmHist.h"
#include "store/ActivityStore.h"

using namespace corvane;

namespace {

using Rows = std::vector<std::vector<std::string>>;

class History : public ::testing::Test {
protected:
    TManualClock clock{EncodeDateTime(2025, 6, 1, 12, 0, 10)};
    TNullListener listener;
    std::unique_ptr<TStore> store = TStore::Create(clock, listener);
    TfrmHist form;

    void SetUp() override {
        store->Entries[0].Name.Assign("North Gate");
        store->Repeats[0].Id = 'c';
        store->EntryCount = 1;
        store->RepeatCount = 1;
        TSensor& s = store->Sensors[0];
        s.Name.Assign("Tank 7");
        s.Kind = 10;
        s.SerNo = 0x1234;
        s.Newest = NoRead;
        store->SensorCount = 2;
        store->Sensors[1] = s;
        store->Sensors[1].Name.Assign("Relay");
        store->Sensors[1].Kind = 23;
    }
    // Chains reads of sensor row into the ring, oldest first.
    void Reads(uint16_t row, const std::vector<double>& secondsPast, uint8_t entry = 0,
               uint8_t repeat = 0) {
        int32_t older = NoRead;
        for (double past : secondsPast) {
            const int32_t n = store->ReadCount++;
            TRead& r = store->Reads[n];
            r.Time = clock.Now() - past / 86400.0;
            r.Wall = clock.WallNow() - past / 86400.0;
            r.Sensor = row;
            r.Entry = (n % 2) ? NoIndex : entry;
            r.Repeat = (n % 3 == 1) ? NoIndex : repeat;
            r.SensorOlder = older;
            older = n;
        }
        store->Sensors[row].Newest = older;
    }
    Rows Shown() {
        Rows rows;
        for (int i = 0; i < form.lvHist->topLevelItemCount(); ++i) {
            std::vector<std::string> cells;
            for (int c = 0; c < 4; ++c)
                cells.push_back(form.lvHist->topLevelItem(i)->text(c).toStdString());
            rows.push_back(cells);
        }
        return rows;
    }
};

TEST_F(History, ListsReadsNewestFirstWithRoundedGaps) {
    // Gaps to the read above: 2.5 s (the age), 2.4 s, then two reads at the same moment.
    Reads(0, {4.9, 4.9, 2.5});
    form.LoadSensor(*store, 0);
    EXPECT_EQ(form.edtSen->text(), "Tank 7");
    EXPECT_EQ(form.edtKind->text(), "Temperature");
    EXPECT_EQ(form.edtSerNo->text(), "0000000000001234");
    EXPECT_TRUE(form.edtSerNo->isReadOnly());
    EXPECT_TRUE(form.lblLoc->isHidden());
    EXPECT_EQ(Shown(), (Rows{{"06/01 12:00:07", "3", "c", "North Gate"},
                             {"06/01 12:00:05", "2", "", ""},
                             {"06/01 12:00:05", "0", "c", "North Gate"}}));
    EXPECT_EQ(form.lvHist->headerItem()->text(1), "Gap (sec)");
}

// Loss % and Routes as the sensor list has them: from the chain the store keeps.
TEST_F(History, ShowsLossAndRoutesOfItsSensor) {
    store->Sensors[0].Newest = store->Sensors[0].Oldest = NoRead;
    store->Entries[0].Newest = store->Entries[0].Oldest = NoRead;
    store->Repeats[0].Newest = store->Repeats[0].Oldest = NoRead;
    for (int k = 0; k < 2; ++k) {
        form.LoadSensor(*store, 0);
        EXPECT_EQ(form.edtLoss->text(), "") << "fewer than three reads";
        EXPECT_EQ(form.edtRoutes->text(), k == 0 ? "0" : "1");
        store->InsertRead(0, 0, static_cast<uint16_t>(k), 0);
        clock.AdvanceSeconds(10);
    }
    // Reads at 0, 10, 30 s: one of every four packets lost, through two routes.
    clock.AdvanceSeconds(10);
    store->InsertRead(0, NoIndex, 7, 0);
    form.LoadSensor(*store, 0);
    char buffer[16];
    EXPECT_EQ(form.edtLoss->text().toStdString(), std::string(store->LossText(0, buffer)));
    EXPECT_EQ(form.edtLoss->text().left(2), "25");
    EXPECT_EQ(form.edtRoutes->text(), "2");
    EXPECT_TRUE(form.edtLoss->isReadOnly());
}

TEST_F(History, HidingEmptiesTheListForTheNextSensor) {
    Reads(0, {30, 20});
    Reads(1, {5});
    form.show();
    form.LoadSensor(*store, 0);
    EXPECT_EQ(Shown().size(), 2u);
    form.hide();
    EXPECT_EQ(Shown().size(), 0u);
    form.LoadSensor(*store, 1);
    EXPECT_EQ(Shown(), (Rows{{"06/01 12:00:05", "5", "c", "North Gate"}}));
    EXPECT_EQ(form.edtSen->text(), "Relay");

    // A row not in use leaves the window as it was.
    form.LoadSensor(*store, 2);
    EXPECT_EQ(form.edtSen->text(), "Relay");
    EXPECT_EQ(Shown().size(), 1u);
}

TEST_F(History, LongNameShowsItsStart) {
    Reads(0, {30});
    const std::string name = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456"; // 33 characters
    store->Sensors[0].Name.Assign(name);
    form.show();
    form.LoadSensor(*store, 0);
    EXPECT_EQ(form.edtSen->text().toStdString(), name);
    EXPECT_EQ(form.edtSen->cursorPosition(), 0);
}

TEST_F(History, RepeaterSensorsShowTheirLocator) {
    TSensor& s = store->Sensors[1];
    s.Data[4] = 0x01;
    s.Data[5] = 0x20; // locator (1 << 4) + 2 = 18: 's'
    form.LoadSensor(*store, 1);
    EXPECT_FALSE(form.lblLoc->isHidden());
    EXPECT_EQ(form.lblLoc->text(), "Locator: s");
    EXPECT_EQ(Shown().size(), 0u); // no reads left in the ring
    s.Data[4] = 0x02;              // index 32 and above has no letter
    form.LoadSensor(*store, 1);
    EXPECT_EQ(form.lblLoc->text(), "Locator:  ");
    form.LoadSensor(*store, 0);
    EXPECT_TRUE(form.lblLoc->isHidden());
}

TEST_F(History, WindowShape) {
    EXPECT_EQ(form.windowTitle(), "Sensor History");
    EXPECT_EQ(form.size(), QSize(384, 300));
    EXPECT_TRUE(form.isModal());
    EXPECT_EQ(form.lvHist->columnWidth(0), 110);
    EXPECT_EQ(form.lvHist->columnWidth(3), 75);
}

} // namespace
