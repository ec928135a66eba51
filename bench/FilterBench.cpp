// The sensor list's filter over a full table of 2000 sensors: one keystroke in the search
// field, as matching alone and as the window does it (match, hide the rows that change, lay the
// list out and paint it), and what a set filter adds to the list's repaint after an update.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QTreeView>

#include <array>
#include <memory>
#include <string>

#include "app/ListFilter.h"
#include "app/qt/ListFilterBar.h"
#include "app/qt/SensorListModel.h"
#include "store/ActivityStore.h"
#include "util/untConst.h"

namespace {

using namespace corvane;

// A keystroke at a time: typing "tank 17" and taking it back again.
constexpr std::array<const char*, 12> Keystrokes = {
    "t", "ta", "tan", "tank", "tank ", "tank 1", "tank 17", "tank 1", "tank ", "tank", "tan", "ta"};

struct TFullList {
    TManualClock clock{46000.0};
    TNullListener listener;
    std::unique_ptr<TStore> store = TStore::Create(clock, listener);
    TSensorListModel model{*store};
    QTreeView view;
    TListFilterBar bar{*store, &view, &model};

    TFullList() {
        AttachSensorList(&view, &model);
        const char* names[] = {"Tank ", "Pump ", "North Gate ", ""};
        for (int i = 0; i < MaxSensors; ++i) {
            const uint16_t row =
                store->AddSensor(static_cast<uint8_t>(i % SensorKindCount), 0x5A0000 + i * 7919);
            TSensor& s = store->Sensors[row];
            if (*names[i % 4])
                s.Name.Assign(names[i % 4] + std::to_string(i));
            s.Stats.Count = i % 50;
            char buffer[NameMax + 1];
            const std::string label(store->SensorLabel(row, buffer));
            model.MakeRow(row, label, SensorKindName(s.Kind));
            const std::string count = std::to_string(s.Stats.Count);
            model.UpdateRow(row, TRowTexts{label, false, count, "0", "10.00", "3"});
        }
        model.Flush();
        view.resize(530, 700);
        view.show();
        QCoreApplication::processEvents();
    }
};

void BM_FilterMatch2000(benchmark::State& state) {
    TFullList list;
    TListFilter filter;
    size_t k = 0;
    for (auto _ : state) {
        filter.SetText(Keystrokes[k++ % Keystrokes.size()]);
        int shown = 0;
        for (uint16_t r = 0; r < MaxSensors; ++r)
            shown += filter.Matches(*list.store, r) ? 1 : 0;
        benchmark::DoNotOptimize(shown);
    }
}
BENCHMARK(BM_FilterMatch2000)->Unit(benchmark::kMicrosecond);

// What one keystroke costs before the event loop turns: matching and hiding.
void BM_FilterKeystrokeMatchAndHide2000(benchmark::State& state) {
    TFullList list;
    size_t k = 0;
    for (auto _ : state) {
        list.bar.edtFilter->setText(Keystrokes[k++ % Keystrokes.size()]);
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    list.bar.edtFilter->clear();
}
BENCHMARK(BM_FilterKeystrokeMatchAndHide2000)->Unit(benchmark::kMicrosecond);

// The same with the list laid out and painted again, as the user sees it.
void BM_FilterKeystrokeShown2000(benchmark::State& state) {
    TFullList list;
    size_t k = 0;
    for (auto _ : state) {
        list.bar.edtFilter->setText(Keystrokes[k++ % Keystrokes.size()]);
        QCoreApplication::processEvents();
        list.view.viewport()->repaint();
    }
}
BENCHMARK(BM_FilterKeystrokeShown2000)->Unit(benchmark::kMicrosecond);

// One sensor updated and the list's turn done (re-sort, repaint), without a filter and with
// one set (every row judged again).
void BM_ListUpdate2000(benchmark::State& state) {
    TFullList list;
    if (state.range(0))
        list.bar.edtFilter->setText("tank");
    QCoreApplication::processEvents();
    int32_t n = 0;
    for (auto _ : state) {
        const uint16_t row = static_cast<uint16_t>(n++ % MaxSensors);
        list.store->Sensors[row].Stats.Count = n % 50;
        char buffer[NameMax + 1];
        const std::string label(list.store->SensorLabel(row, buffer));
        list.model.UpdateRow(row, TRowTexts{label, false, std::to_string(n % 50), "0", "1", "2"});
        list.model.Flush();
    }
}
BENCHMARK(BM_ListUpdate2000)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
