// Pictures of the history window, the export dialog, the select-entry dialog and the about box
// filled with sample data, for looking at their layout. Run by hand under a display:
//   VIEWS_SHOTS=/tmp/shots QT_QPA_PLATFORM=xcb xvfb-run -a test_views
//       --gtest_also_run_disabled_tests --gtest_filter='*Screenshots*'
// With GTK_THEME=Adwaita:dark they show the dark colour scheme, with QT_SCALE_FACTOR=2 a
// high-density screen.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "app/qt/ColourScheme.h"
#include "output/qt/fmAbout.h"
#include "output/qt/fmExport.h"
#include "output/qt/fmHist.h"
#include "output/qt/fmSelectEntry.h"
#include "store/ActivityStore.h"

using namespace corvane;

namespace {

void Save(QWidget& w, const char* name) {
    w.show();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    w.grab().save(QDir(qEnvironmentVariable("VIEWS_SHOTS", ".")).filePath(name));
}

TEST(Views, DISABLED_Screenshots) {
    FollowDesktopColourScheme(*qApp);
    QApplication::setWindowIcon(ProgramIcon());
    TManualClock clock(EncodeDateTime(2025, 6, 1, 12, 0, 0));
    TNullListener listener;
    auto store = TStore::Create(clock, listener);
    store->Entries[0].Name.Assign("North Gate");
    store->Repeats[0].Id = 'c';
    TSensor& s = store->Sensors[0];
    s.Name.Assign("Tank 7 Level");
    s.Kind = 23;
    s.SerNo = 0x00000000001A2B3C;
    s.Data[4] = 0x01;
    s.Data[5] = 0x20;
    store->SensorCount = 1;
    int32_t older = NoRead;
    for (int n = 0; n < 12; ++n) {
        TRead& r = store->Reads[n];
        r.Time = clock.Now() - (600 - 47.5 * n) / 86400.0;
        r.Wall = r.Time;
        r.Entry = 0;
        r.Repeat = n % 3 ? 0 : NoIndex;
        r.SensorOlder = older;
        older = n;
    }
    s.Newest = older;

    TfrmHist hist;
    hist.LoadSensor(*store, 0);
    Save(hist, "history.png");
    hist.hide();

    // A sensor heard every half minute for five hours, with an echo now and then and two
    // silences: its timeline shows the duplicates' row and the shaded gaps.
    auto busy = TStore::Create(clock, listener);
    busy->AddEntry(1);
    busy->Entries[0].Name.Assign("North Gate");
    busy->AddRepeat('c');
    busy->AddRepeat('d');
    const uint16_t row = busy->AddSensor(10, 0x00000000004D5E6F);
    busy->Sensors[row].Name.Assign("Boiler Room");
    for (int k = 0; k < 600; ++k) {
        clock.AdvanceSeconds(k == 200 ? 1500 : k == 420 ? 2700 : 28 + k % 5);
        busy->InsertRead(0, static_cast<uint8_t>(k % 4 ? 0 : 1), 0x1111, row);
        busy->RefreshSensor(row, 0, 0);
        if (k % 37 == 5) {
            clock.AdvanceSeconds(2);
            busy->InsertRead(0, NoIndex, 0x1111, row);
            busy->RefreshSensor(row, NoIndex, 0);
        }
    }
    clock.AdvanceSeconds(12);
    hist.LoadSensor(*busy, row);
    hist.lvHist->setCurrentItem(hist.lvHist->topLevelItem(3));
    Save(hist, "history-timeline.png");
    hist.hide();
    hist.resize(760, 420);
    hist.LoadSensor(*busy, row);
    Save(hist, "history-wide.png");
    hist.hide();
    TfrmExport exportForm(*store);
    exportForm.lvInclude->topLevelItem(3)->setCheckState(0, Qt::Unchecked);
    Save(exportForm, "export.png");
    TAboutParams params;
    params.LogPackets = true;
    params.Places = "Settings: /home/ann/.config/corvane/corvane.INI\n"
                    "Logs: /home/ann/.local/share/corvane";
    TfrmAbout about(params);
    Save(about, "about.png");
    TSelectEntryFm select;
    select.EntryCB->addItems({"-- All --", "East", "North Gate"});
    select.EntryCB->setCurrentIndex(2);
    Save(select, "select.png");
}

} // namespace
