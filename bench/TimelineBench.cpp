// The history window's timeline with a full ring's 80,000 reads of one sensor: binning alone,
// and painting the strip into an image (binning again each time, as on a resize, or with the
// bins already made, as on a repaint).
#include <QApplication>
#include <QImage>

#include <algorithm>

#include <benchmark/benchmark.h>

#include "output/qt/TimelineStrip.h"
#include "store/Store.h"

namespace {

using namespace corvane;

// A reading every 30 s or so, a duplicate now and then, and a silence of an hour every 2000.
const THistory& FullRing() {
    static const THistory history = [] {
        THistory h;
        h.AvgGap = 30;
        TDateTime t = EncodeDateTime(2025, 6, 1, 0, 0, 0);
        for (int k = 0; k < MaxReads; ++k) {
            const bool dup = k % 50 == 7;
            t += (dup ? 2 : k % 2000 == 0 ? 3600 : 25 + k % 11) / 86400.0;
            h.Rows.push_back({t, t, 30, static_cast<uint8_t>(k % 3), 'c', dup});
        }
        std::reverse(h.Rows.begin(), h.Rows.end()); // newest first, as the window holds them
        return h;
    }();
    return history;
}

void BM_TimelineBin(benchmark::State& state) {
    TTimeline t;
    for (auto _ : state) {
        BinTimeline(FullRing(), static_cast<int>(state.range(0)), t);
        benchmark::DoNotOptimize(t.Columns.data());
    }
}
BENCHMARK(BM_TimelineBin)->Arg(384)->Arg(1280)->Unit(benchmark::kMillisecond);

void Paint(benchmark::State& state, bool rebin) {
    TTimelineStrip strip;
    strip.resize(static_cast<int>(state.range(0)), strip.sizeHint().height());
    strip.SetHistory(&FullRing());
    QImage image(strip.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        if (rebin)
            strip.SetHistory(&FullRing());
        strip.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_TimelinePaint(benchmark::State& state) {
    Paint(state, true);
}
void BM_TimelineRepaint(benchmark::State& state) {
    Paint(state, false);
}
BENCHMARK(BM_TimelinePaint)->Arg(384)->Arg(1280)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimelineRepaint)->Arg(384)->Arg(1280)->Unit(benchmark::kMillisecond);

} // namespace
