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

void FindReadsSpan(const THistory& history, TTimeline& t) {
    const auto& rows = history.Rows;
    t.From = t.To = rows.front().Time;
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
}

// The span the reads were chosen from, stretched to reads registered since.
void FindFixedSpan(const THistory& history, TTimeline& t) {
    t.From = history.SpanFrom;
    t.To = history.SpanTo;
    for (const THistRead& r : history.Rows)
        t.To = std::max(t.To, r.Time);
    t.FirstShown = t.From + t.LocalOffset;
    t.LastShown = t.To + t.LocalOffset;
}

void FindSpan(const THistory& history, TTimeline& t) {
    const auto& rows = history.Rows;
    t.LocalOffset = rows.empty() ? history.LocalOffset : rows.front().Shown - rows.front().Time;
    if (history.FixedSpan)
        FindFixedSpan(history, t);
    else
        FindReadsSpan(history, t);
    t.SpanMs = ToMs(t.To - t.From);
    if (t.SpanMs <= 0) {
        t.From -= 30 / 86400.0;
        t.To += 30 / 86400.0;
        t.SpanMs = 60000;
        t.Widened = true;
    }
}

void AddSpan(std::vector<TGapSpan>& spans, const TGapSpan& add) {
    if (!spans.empty() && add.From <= spans.back().To + 1) {
        spans.back().To = std::max(spans.back().To, add.To);
        return;
    }
    spans.push_back(add);
}

void FindNotListening(const THistory& history, TTimeline& t) {
    for (const TTimeSpan& quiet : history.NotListening) {
        TGapSpan columns;
        if (!t.ColumnsOf(quiet, columns))
            continue;
        t.NotListeningMs += ToMs(std::min(quiet.To, t.To) - std::max(quiet.From, t.From));
        AddSpan(t.NotListening, columns);
    }
}

// The silence from one read to the next less the times no run was listening: shaded where it
// was listened to, and long only when that part is.
void AddSilence(const THistory& history, TTimeline& t, TTimeSpan silence, double longMs) {
    const auto& quiet = history.NotListening;
    auto at = std::lower_bound(quiet.begin(), quiet.end(), silence.From,
                               [](const TTimeSpan& q, TDateTime from) { return q.To <= from; });
    std::vector<TTimeSpan> heard;
    TDateTime cursor = silence.From;
    int64_t heardMs = 0;
    for (; at != quiet.end() && at->From < silence.To; ++at) {
        if (at->From > cursor)
            heard.push_back({cursor, at->From});
        cursor = std::max(cursor, at->To);
    }
    if (cursor < silence.To)
        heard.push_back({cursor, silence.To});
    for (const TTimeSpan& h : heard)
        heardMs += ToMs(h.To - h.From);
    if (static_cast<double>(heardMs) <= longMs)
        return;
    ++t.LongGaps;
    for (const TTimeSpan& h : heard)
        AddSpan(t.Gaps, {t.ColumnOf(h.From), t.ColumnOf(h.To)});
}

// Rows are newest first: walking them backwards meets the silences from the oldest on.
void FindGaps(const THistory& history, TTimeline& t) {
    if (history.AvgGap <= 0 || history.Rows.size() < 2)
        return;
    const double longMs = LongGapFactor * history.AvgGap * 1000.0;
    const auto& rows = history.Rows;
    for (size_t k = rows.size() - 1; k > 0; --k) {
        const THistRead& older = rows[k];
        const THistRead& newer = rows[k - 1];
        if (static_cast<double>(ToMs(newer.Time - older.Time)) > longMs)
            AddSilence(history, t, {older.Time, newer.Time}, longMs);
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

bool TTimeline::ColumnsOf(const TTimeSpan& span, TGapSpan& columns) const {
    if (Width() <= 0 || span.To <= From || span.From >= To)
        return false;
    columns = {ColumnOf(span.From), ColumnOf(span.To)};
    return true;
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
    if ((history.Rows.empty() && !history.FixedSpan) || width <= 0)
        return;
    FindSpan(history, t);
    FindNotListening(history, t);
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
