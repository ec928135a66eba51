#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "output/qt/TimelineStrip.h"
#include "output/qt/fmExport.h"
#include "output/qt/fmHist.h"
#include "store/ActivityStore.h"

using namespace corvane;

namespace {

using Rows = std::vector<std::vector<std::string>>;

// A reader of comma-separated text as a spreadsheet reads it: fields in double quotes may hold
// commas, and a doubled quote inside them stands for one; lines end in CR LF.
Rows ReadCsv(const std::string& text) {
    Rows rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                rows.back().back() += text[++i];
            else if (c == '"')
                quoted = false;
            else
                rows.back().back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            if (i + 1 < text.size())
                rows.emplace_back(1);
        } else {
            rows.back().back() += c;
        }
    }
    return rows;
}

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

TEST_F(History, ClickingAReadOnTheTimelineSelectsItsRow) {
    Reads(0, {600, 590, 300, 10});
    form.show();
    form.LoadSensor(*store, 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    TTimelineStrip& strip = *form.tlHist;
    const TTimeline& bins = strip.Bins();
    EXPECT_EQ(bins.Counted, 4);
    // Row 2 is the read 590 s back; a click a pixel beside its mark still hits it.
    const int x = strip.BandLeft() + bins.ColumnOf(form.History().Rows[2].Time) + 1;
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(x, strip.height() / 2));
    ASSERT_NE(form.lvHist->currentItem(), nullptr);
    EXPECT_EQ(form.lvHist->indexOfTopLevelItem(form.lvHist->currentItem()), 2);
    EXPECT_EQ(form.lvHist->selectedItems().size(), 1);
    EXPECT_TRUE(form.lvHist->topLevelItem(2)->isSelected());
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(strip.width() - 8, 5));
    EXPECT_EQ(form.lvHist->indexOfTopLevelItem(form.lvHist->currentItem()), 0);
    // Far from every read, a click changes nothing.
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(strip.width() / 4, 5));
    EXPECT_EQ(form.lvHist->indexOfTopLevelItem(form.lvHist->currentItem()), 0);

    // Hovering names the read's time and route, as plain text.
    EXPECT_EQ(strip.ReadText(0), "06/01 12:00:00\nRepeater c, no entry point");
    EXPECT_EQ(strip.ReadText(1), "06/01 11:55:10\nRepeater c, entry North Gate");
    EXPECT_EQ(strip.ReadText(2), "06/01 11:50:20\nNo repeater, no entry point");
    // Hidden, the window forgets the reads; the strip with it.
    form.hide();
    EXPECT_EQ(strip.Bins().Counted, 0);
    EXPECT_EQ(strip.RowAt(QPoint(x, 5)), -1);
}

TEST_F(History, CopyPutsTheSelectedRowsOnTheClipboard) {
    Reads(0, {30, 20, 10});
    form.show();
    form.LoadSensor(*store, 0);
    QApplication::clipboard()->clear();
    form.CopyClick();
    EXPECT_EQ(QApplication::clipboard()->text(), "") << "nothing selected, nothing copied";
    form.lvHist->topLevelItem(2)->setSelected(true);
    form.lvHist->topLevelItem(0)->setSelected(true);
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.lvHist->setFocus();
    // Ctrl+C from the table; the rows in the table's order, whatever order they were picked.
    QTest::keyClick(form.lvHist, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "06/01 12:00:00\t10\tc\tNorth Gate\n"
                                                 "06/01 11:59:40\t10\tc\tNorth Gate\n");
}

TEST_F(History, ExportWritesTheRowsInTheExportsForm) {
    // A name with a quote, a comma and an 8-bit letter, as receivers send them.
    store->Entries[0].Name.Assign("N\xF6rd \"Gate\", 2");
    Reads(0, {65, 6});
    form.show();
    form.LoadSensor(*store, 0);
    EXPECT_EQ(form.lvHist->topLevelItem(1)->text(3), QString::fromUtf8("N\u00F6rd \"Gate\", 2"));

    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("history.csv");
    QString startedIn;
    form.ChooseFile = [&](QWidget*, const QString& folder) {
        startedIn = folder;
        return path;
    };
    TfrmExport::SetLastFolder({});
    const QString start = TfrmExport::StartFolder();
    form.ExportClick();
    EXPECT_EQ(startedIn, start);
    EXPECT_EQ(TfrmExport::StartFolder(), QDir(dir.path()).absolutePath() + QDir::separator())
        << "the next export starts where this one went";
    std::ifstream in(path.toStdString(), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(text.substr(0, 29), "At,Gap (sec),Repeater,Entry\r\n");
    EXPECT_EQ(ReadCsv(text), (Rows{{"At", "Gap (sec)", "Repeater", "Entry"},
                                   {"06/01/25 12:00:04", "6", "", ""},
                                   {"06/01/25 11:59:05", "59", "c", "N\xF6rd \"Gate\", 2"}}));

    // Cancelled: no file.
    form.ChooseFile = [](QWidget*, const QString&) { return QString(); };
    QFile::remove(path);
    form.ExportClick();
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(History, WindowShape) {
    EXPECT_EQ(form.windowTitle(), "Sensor History");
    EXPECT_EQ(form.size(), QSize(384, 300));
    EXPECT_TRUE(form.isModal());
    EXPECT_EQ(form.lvHist->columnWidth(0), 110);
    EXPECT_EQ(form.lvHist->columnWidth(3), 75);
}

} // namespace
