// The history timeline's geometry: a sensor's reads binned into pixel columns, the long silences
// between them, the times when no run was listening and the labelled ticks of the time axis. Worked
// out once per width, so that painting costs one pass over the columns however many reads there
// are.
#pragma once

#include <cstdint>
#include <vector>

#include "output/History.h"

namespace corvane {

struct TTimelineColumn {
    int32_t Counted = 0;  // reads that count
    int32_t Dups = 0;     // duplicates
    int32_t Nearest = -1; // history row of the read nearest the column's middle, -1 when empty
};

// Columns From to To, both taken in: a silence between the reads at its two ends.
struct TGapSpan {
    int From;
    int To;
};

struct TTimeline {
    // The span shown, on the run's time line: the reads' own or the history's fixed span; a
    // span without length is widened to a minute around it so that its reads sit in the middle.
    TDateTime From = 0;
    TDateTime To = 0;
    int64_t SpanMs = 0;
    bool Widened = false; // all reads at one moment: the minute is not theirs
    std::vector<TTimelineColumn> Columns;
    // Silences: what of them was listened to, in ascending order, touching spans merged.
    std::vector<TGapSpan> Gaps;
    // Where no run was listening, in ascending order, touching spans merged.
    std::vector<TGapSpan> NotListening;
    int64_t NotListeningMs = 0; // within the span
    int32_t Counted = 0;
    int32_t Dups = 0;
    // Silences longer than three average gaps while listening, before merging.
    int32_t LongGaps = 0;
    TDateTime FirstShown = 0; // local date-times of the oldest and the newest read
    TDateTime LastShown = 0;
    TDateTime LocalOffset = 0; // local date-time shown less the time line, for the axis

    int Width() const { return static_cast<int>(Columns.size()); }
    int ColumnOf(TDateTime time) const;
    // The columns a stretch of the time line takes, clipped to the span; false outside it.
    bool ColumnsOf(const TTimeSpan& span, TGapSpan& columns) const;
    // The history row of the read in column x or the nearest one within reach columns of it.
    int32_t ReadAt(int x, int reach) const;
};

// A silence counts as long when it lasts more than this many average gaps. Time when no run was
// listening is no silence: it neither makes one long nor is shaded as one.
constexpr double LongGapFactor = 3.0;

void BinTimeline(const THistory& history, int width, TTimeline& timeline);

struct TAxisTick {
    int X;
    char Text[12]; // "mm/dd hh:nn"
};

// "mm/dd hh:nn", as the history window shows date-times without their seconds.
size_t FormatMinutes(TDateTime t, char* out);

// Ticks at whole minutes, hours or days of local time, at least minSpacing columns apart.
std::vector<TAxisTick> AxisTicks(const TTimeline& timeline, int minSpacing);

} // namespace corvane
