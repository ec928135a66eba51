// The history window opened on a week of one sensor from a database of a million reads:
// loading the span, filling the table of 40,000 rows and the timeline, and drawing the window.
#include <QApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include "WeekOfReads.h"
#include "output/qt/fmHist.h"
#include "store/ActivityStore.h"

namespace {

using namespace corvane;
using corvane::bench::TWeekOfReads;

void BM_HistWindowWeek(benchmark::State& state) {
    const TWeekOfReads& week = TWeekOfReads::Instance();
    TManualClock clock(corvane::bench::kWeekNow);
    TNullListener listener;
    auto store = TStore::Create(clock, listener);
    const uint16_t row = store->AddSensor(10, corvane::bench::kWeekSerNo);
    TfrmHist form;
    form.SetHistoryFile(week.Path, [&week] { return week.Mapping(); });
    form.SetSpan(THistSpan::LastWeek);
    QImage image(form.size(), QImage::Format_ARGB32_Premultiplied);
    size_t reads = 0;
    for (auto _ : state) {
        form.LoadSensor(*store, row);
        form.show();
        form.render(&image);
        benchmark::DoNotOptimize(image.constBits());
        state.PauseTiming();
        reads = form.History().Rows.size();
        form.hide();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["reads"] = static_cast<double>(reads);
}
BENCHMARK(BM_HistWindowWeek)->Unit(benchmark::kMillisecond);

} // namespace
