#include "output/StoredHistory.h"

#include <algorithm>
#include <sqlite3.h>
#include <unordered_map>

#include "history/HistorySchema.h"
#include "history/Sqlite.h"
#include "store/ActivityStore.h"
#include "util/JsonText.h"

namespace corvane {

namespace {

constexpr int64_t kHourMs = 3600000;

// Through the index by sensor and instant, whatever the file's size; newest first by insertion,
// since a wall clock set back would put later reads before earlier ones by instant.
constexpr char kSensorReads[] =
    "SELECT r.run, r.mono_ms, r.wall_ms, r.utc_offset_min, r.repeater, r.entry, r.entry_name,"
    " r.duplicate FROM reads r INDEXED BY reads_by_sensor"
    " WHERE r.sensor = (SELECT id FROM sensors WHERE serno = ?1) AND r.wall_ms >= ?2"
    " ORDER BY r.id DESC";

// The entry points' names of the rows, each looked up once: by the names table's id, or for a
// read that carried no name, as the entries table names its number.
class TEntryNames {
public:
    TEntryNames(TSqlite& db, THistory& history)
        : history_(history), byId_(db, "SELECT text FROM names WHERE id = ?1"),
          byNumber_(db, "SELECT name FROM entries WHERE number = ?1") {}

    uint16_t IndexOf(const TSqlStatement& read, int numberColumn, int nameColumn) {
        if (read.IsNull(numberColumn) && read.IsNull(nameColumn))
            return NoIndex;
        const bool named = !read.IsNull(nameColumn);
        // Names' ids count from 1; an entry's number goes below zero so that the two never meet.
        const int64_t key = named ? read.Int(nameColumn) : -1 - read.Int(numberColumn);
        if (key == lastKey_)
            return lastIndex_;
        auto [at, made] = known_.try_emplace(key, NoIndex);
        if (made)
            at->second = Look(named ? byId_ : byNumber_, named ? key : -1 - key);
        lastKey_ = key;
        lastIndex_ = at->second;
        return at->second;
    }

private:
    uint16_t Look(TSqlStatement& s, int64_t key) {
        latin1_.clear();
        s.Reset();
        s.Bind(1, key);
        if (s.Ok() && s.Step() == SQLITE_ROW)
            AppendUtf8AsLatin1(latin1_, s.Text(0));
        return history_.EntryIndex(latin1_);
    }

    THistory& history_;
    TSqlStatement byId_;
    TSqlStatement byNumber_;
    std::unordered_map<int64_t, uint16_t> known_;
    int64_t lastKey_ = 0; // no name has id 0, no number maps to it
    uint16_t lastIndex_ = NoIndex;
    std::string latin1_;
};

// The repeater's letter, stored as UTF-8 text of one character.
char RepeaterOf(std::string_view utf8, std::string& scratch) {
    if (utf8.size() == 1)
        return utf8[0];
    scratch.clear();
    AppendUtf8AsLatin1(scratch, utf8);
    return scratch.empty() ? '\0' : scratch[0];
}

// The run's time line's start as a wall instant: reads of consecutive rows mostly share a run.
class TOrigins {
public:
    explicit TOrigins(const std::vector<TStoredRun>& runs) : runs_(runs) {}
    // A read whose run the file no longer lists goes by its own instant.
    int64_t Of(int64_t run, int64_t wallMs, int64_t monoMs) {
        if (last_ == nullptr || last_->Id != run) {
            auto at = std::lower_bound(runs_.begin(), runs_.end(), run,
                                       [](const TStoredRun& r, int64_t id) { return r.Id < id; });
            last_ = at != runs_.end() && at->Id == run ? &*at : nullptr;
        }
        return last_ != nullptr ? last_->OriginMs : MsLess(wallMs, monoMs);
    }

private:
    const std::vector<TStoredRun>& runs_;
    const TStoredRun* last_ = nullptr;
};

bool Failed(TSqlite& db, std::string& error) {
    error = db.Error();
    return false;
}

double UsualGap(TSqlite& db, int64_t serNo) {
    TSqlStatement s(db, "SELECT usual_gap_s FROM sensors WHERE serno = ?1");
    if (!s.Ok())
        return 0;
    s.Bind(1, serNo);
    return s.Step() == SQLITE_ROW && !s.IsNull(0) ? s.Double(0) : 0;
}

// The reads' span on the time line: back from now, or for everything kept from the oldest read.
TTimeSpan SpanOf(const TStoredQuery& query, const THistory& history) {
    const TDateTime now = query.Mapping.Now;
    const int64_t length = SpanLengthMs(query.Span);
    if (length >= 0)
        return {now - MsToDays(length), now};
    TDateTime from = now;
    for (const THistRead& r : history.Rows)
        from = std::min(from, r.Time);
    return {from, now};
}

} // namespace

int64_t SpanLengthMs(THistSpan span) {
    switch (span) {
    case THistSpan::Held:
        return 0;
    case THistSpan::LastHour:
        return kHourMs;
    case THistSpan::LastDay:
        return 24 * kHourMs;
    case THistSpan::LastWeek:
        return 7 * 24 * kHourMs;
    case THistSpan::Everything:
        break;
    }
    return -1;
}

bool LoadStoredRuns(TSqlite& db, std::vector<TStoredRun>& runs, std::string& error) {
    runs.clear();
    TSqlStatement s(db, "SELECT id, coalesce(origin_ms, started_ms), coalesce(stopped_ms, alive_ms)"
                        " FROM runs ORDER BY id");
    if (!s.Ok())
        return Failed(db, error);
    int rc;
    while ((rc = s.Step()) == SQLITE_ROW)
        runs.push_back({s.Int(0), s.Int(1), s.Int(2)});
    return rc == SQLITE_DONE || Failed(db, error);
}

bool LoadStoredReads(TSqlite& db, const TStoredQuery& query, int64_t fromWallMs,
                     const std::vector<TStoredRun>& runs, THistory& history, std::string& error) {
    TSqlStatement s(db, kSensorReads);
    if (!s.Ok())
        return Failed(db, error);
    s.Bind(1, query.SerNo);
    s.Bind(2, fromWallMs);
    TEntryNames names(db, history);
    TOrigins origins(runs);
    std::string scratch;
    TDateTime previous = query.Mapping.Now;
    int rc;
    while ((rc = s.Step()) == SQLITE_ROW) {
        const int64_t run = s.Int(0), monoMs = s.Int(1), wallMs = s.Int(2);
        THistRead h;
        h.Time = query.Mapping.TimeOf(run, origins.Of(run, wallMs, monoMs), monoMs);
        h.Shown = UnixMsToWall(wallMs) + static_cast<double>(s.Int(3)) / 1440.0;
        h.Gap = SecondsDiff(h.Time, previous);
        h.Repeater = s.IsNull(4) ? '\0' : RepeaterOf(s.Text(4), scratch);
        h.Entry = names.IndexOf(s, 5, 6);
        h.Dup = s.Int(7) != 0;
        history.Rows.push_back(h);
        previous = h.Time;
    }
    return rc == SQLITE_DONE || Failed(db, error);
}

std::vector<TTimeSpan> NotListening(const std::vector<TStoredRun>& runs, const TRunMapping& mapping,
                                    TTimeSpan span) {
    std::vector<TTimeSpan> heard;
    heard.reserve(runs.size() + 1);
    for (const TStoredRun& r : runs) {
        if (r.Id == mapping.CurrentRun)
            continue; // this run listens until now
        const TDateTime start = mapping.TimeOf(r.Id, r.OriginMs, 0);
        heard.push_back({start, std::max(start, mapping.TimeOf(r.Id, r.OriginMs,
                                                               MsLess(r.EndMs, r.OriginMs)))});
    }
    heard.push_back({std::min(mapping.CurrentStart, mapping.Now), mapping.Now});
    std::sort(heard.begin(), heard.end(),
              [](const TTimeSpan& a, const TTimeSpan& b) { return a.From < b.From; });
    std::vector<TTimeSpan> quiet;
    TDateTime cursor = span.From;
    for (const TTimeSpan& h : heard) {
        if (h.From > cursor && cursor < span.To)
            quiet.push_back({cursor, std::min(h.From, span.To)});
        cursor = std::max(cursor, h.To);
    }
    if (cursor < span.To)
        quiet.push_back({cursor, span.To});
    return quiet;
}

bool LoadStoredHistory(const std::string& path, const TStoredQuery& query, THistory& history,
                       std::string& error) {
    history.Clear();
    TSqlite db;
    if (!db.Open(path, false, true))
        return Failed(db, error);
    sqlite3_busy_timeout(db.Handle(), 1000);
    if (db.QueryInt("PRAGMA user_version", 0) > kHistorySchemaVersion) {
        error = "made by a newer version of the program";
        return false;
    }
    std::vector<TStoredRun> runs;
    const int64_t length = SpanLengthMs(query.Span);
    const int64_t from = length >= 0 ? query.Mapping.WallNowMs - length : INT64_MIN;
    if (!LoadStoredRuns(db, runs, error) ||
        !LoadStoredReads(db, query, from, runs, history, error)) {
        history.Clear();
        return false;
    }
    history.AvgGap = static_cast<float>(UsualGap(db, query.SerNo));
    const TTimeSpan span = SpanOf(query, history);
    history.FixedSpan = true;
    history.SpanFrom = span.From;
    history.SpanTo = span.To;
    history.LocalOffset = query.LocalOffset;
    history.NotListening = NotListening(runs, query.Mapping, span);
    return true;
}

} // namespace corvane
