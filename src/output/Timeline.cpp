#include "output/Timeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace corvane {

namespace {

constexpr double MsPerDay = 86400000.0;

int64_t ToMs(TDateTime days) {
    return std::llround(days * MsPerDay);
}

// Distance of a read from the middle of column x, in units of 1/(2 width) of the span.
int64_t FromMiddle(int64_t offsetMs, int x, int width, int64_t spanMs) {
    const int64_t twice = offsetMs * 2 * width;
    const int64_t middle = (2 * static_cast<int64_t>(x) + 1) * spanMs;
    return twice > middle ? twice - middle : middle - twice;
}

void FindSpan(const THistory& history, TTimeline& t) {
    const auto& rows = history.Rows;
    t.From = t.To = rows.front().Time;
    t.LocalOffset = rows.front().Shown - rows.front().Time;
    t.FirstShown = t.LastShown = rows.front().Shown;
    for (const THistRead& r : rows) {
        if (r.Time < t.From) {
            t.From = r.Time;
            t.FirstShown = r.Shown;
        }
        if (r.Time > t.To) {
            t.To = r.Time;
            t.LastShown = r.Shown;
        }
    }
    t.SpanMs = ToMs(t.To - t.From);
    if (t.SpanMs <= 0) {
        t.From -= 30 / 86400.0;
        t.To += 30 / 86400.0;
        t.SpanMs = 60000;
        t.Widened = true;
    }
}

void AddGap(TTimeline& t, int from, int to) {
    ++t.LongGaps;
    if (!t.Gaps.empty() && from <= t.Gaps.back().To + 1) {
        t.Gaps.back().To = std::max(t.Gaps.back().To, to);
        return;
    }
    t.Gaps.push_back({from, to});
}

// Rows are newest first: walking them backwards meets the silences from the oldest on.
void FindGaps(const THistory& history, TTimeline& t) {
    if (history.AvgGap <= 0)
        return;
    const double longMs = LongGapFactor * history.AvgGap * 1000.0;
    const auto& rows = history.Rows;
    for (size_t k = rows.size() - 1; k > 0; --k) {
        const THistRead& older = rows[k];
        const THistRead& newer = rows[k - 1];
        if (static_cast<double>(ToMs(newer.Time - older.Time)) > longMs)
            AddGap(t, t.ColumnOf(older.Time), t.ColumnOf(newer.Time));
    }
}

} // namespace

int TTimeline::ColumnOf(TDateTime time) const {
    const int width = Width();
    if (width <= 0)
        return 0;
    const int64_t offset = std::clamp<int64_t>(ToMs(time - From), 0, SpanMs);
    // Integer arithmetic, so a read exactly on a column's left edge is that column's.
    const int64_t x = offset * width / SpanMs;
    return static_cast<int>(std::min<int64_t>(x, width - 1));
}

int32_t TTimeline::ReadAt(int x, int reach) const {
    const int width = Width();
    for (int d = 0; d <= reach; ++d) {
        for (int side : {x - d, x + d}) {
            if (side >= 0 && side < width && Columns[side].Nearest >= 0)
                return Columns[side].Nearest;
        }
    }
    return -1;
}

void BinTimeline(const THistory& history, int width, TTimeline& t) {
    t = TTimeline{};
    t.Columns.assign(static_cast<size_t>(std::max(width, 0)), TTimelineColumn{});
    if (history.Rows.empty() || width <= 0)
        return;
    FindSpan(history, t);
    std::vector<int64_t> best(t.Columns.size(), INT64_MAX);
    const int32_t n = static_cast<int32_t>(history.Rows.size());
    for (int32_t row = 0; row < n; ++row) {
        const THistRead& r = history.Rows[row];
        const int64_t offset = std::clamp<int64_t>(ToMs(r.Time - t.From), 0, t.SpanMs);
        const int x = static_cast<int>(std::min<int64_t>(offset * width / t.SpanMs, width - 1));
        TTimelineColumn& c = t.Columns[x];
        if (r.Dup) {
            ++c.Dups;
            ++t.Dups;
        } else {
            ++c.Counted;
            ++t.Counted;
        }
        const int64_t distance = FromMiddle(offset, x, width, t.SpanMs);
        if (distance < best[x]) {
            best[x] = distance;
            c.Nearest = row;
        }
    }
    FindGaps(history, t);
}

size_t FormatMinutes(TDateTime t, char* out) {
    char full[32];
    const size_t n = FormatDateTimeShort(t, full);
    const size_t cut = n >= 3 ? n - 3 : n; // without ":ss"
    std::memcpy(out, full, cut);
    out[cut] = '\0';
    return cut;
}

std::vector<TAxisTick> AxisTicks(const TTimeline& t, int minSpacing) {
    std::vector<TAxisTick> ticks;
    const int width = t.Width();
    if (width <= 0 || t.SpanMs <= 0)
        return ticks;
    static constexpr int64_t Steps[] = {60,     120,    300,     600,    900,   1800,
                                        3600,   7200,   10800,   21600,  43200, 86400,
                                        172800, 604800, 1209600, 2592000};
    int64_t step = Steps[std::size(Steps) - 1];
    for (int64_t s : Steps) {
        if (s * 1000 * width >= static_cast<int64_t>(minSpacing) * t.SpanMs) {
            step = s;
            break;
        }
    }
    // Whole seconds of local time; ticks fall on multiples of the step, so on whole minutes,
    // hours and (local) midnights.
    const int64_t from = std::llround((t.From + t.LocalOffset) * 86400.0);
    const int64_t to = from + (t.SpanMs + 999) / 1000;
    for (int64_t tick = (from + step - 1) / step * step; tick <= to; tick += step) {
        TAxisTick k;
        k.X =
            static_cast<int>(std::min<int64_t>((tick - from) * 1000 * width / t.SpanMs, width - 1));
        FormatMinutes(static_cast<double>(tick) / 86400.0, k.Text);
        ticks.push_back(k);
    }
    return ticks;
}

} // namespace corvane
