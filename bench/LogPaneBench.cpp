// The log pane's cost per line: a pane the window's size, shown, that keeps its newest lines on
// top and drops its oldest once it holds as many as it may. Arguments: how many lines it holds,
// and how many lines come between two of the window's turns (a flush, layout and paint): 16 is
// 1,000 lines a second with a frame every 16 ms, 1 a line now and then. The figure should not grow
// with the lines held.
#include <QApplication>
#include <QPlainTextEdit>

#include <benchmark/benchmark.h>

#include "app/qt/LogPane.h"

namespace {

void BM_LogPaneLine(benchmark::State& state) {
    const int held = static_cast<int>(state.range(0));
    const int perTurn = static_cast<int>(state.range(1));
    QPlainTextEdit edit;
    edit.setReadOnly(true);
    edit.setUndoRedoEnabled(false);
    edit.setLineWrapMode(QPlainTextEdit::NoWrap);
    edit.resize(900, 200);
    edit.show();
    corvane::TLogPane pane(edit, held);
    const QString line = "12:34:56 Sensor 0000000000123456 refused: the sensor table is full";
    for (int i = 0; i < held; ++i)
        pane.Prepend(line);
    pane.Flush();
    QApplication::processEvents();
    int n = 0;
    for (auto _ : state) {
        pane.Prepend(line);
        if (++n % perTurn == 0) {
            pane.Flush();
            QApplication::processEvents();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogPaneLine)
    ->Args({10, 1})
    ->Args({5000, 1})
    ->Args({10, 16})
    ->Args({50, 16})
    ->Args({500, 16})
    ->Args({5000, 16})
    ->Unit(benchmark::kMicrosecond);

} // namespace
