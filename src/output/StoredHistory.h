// The history window's spans of the history database: one sensor's reads over the last hour,
// day, week or all that is kept, read through the reads' index by sensor and instant, put on
// this run's time line, and the times within the span when no run was listening. Qt-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "history/HistoryTime.h"
#include "output/History.h"

namespace corvane {

class TSqlite;

// What the window shows: the reads the ring holds, or one of the database's spans.
enum class THistSpan { Held, LastHour, LastDay, LastWeek, Everything };
constexpr int kHistSpanCount = 5;

// The span's length in milliseconds back from now; 0 for the reads held and -1 for everything
// kept.
int64_t SpanLengthMs(THistSpan span);

struct TStoredQuery {
    int64_t SerNo = 0;
    THistSpan Span = THistSpan::LastHour;
    // This run's time line and the wall clock, now.
    TRunMapping Mapping;
    // Local date-time less the time line now, for the axis of a span without reads.
    TDateTime LocalOffset = 0;
};

// A run as the runs table has it: from its start to its last sign of life, or its stop.
struct TStoredRun {
    int64_t Id = 0;
    int64_t OriginMs = 0; // the wall instant of its time line's start (mono_ms 0)
    int64_t EndMs = 0;    // when it stopped, or was last alive when it ended uncleanly
};

// Replaces history's rows and span with the query's, from the file at path opened read-only
// (the run recording into it goes on meanwhile); false with error when the file cannot be read,
// the history then empty. The average gap is the sensor's usual gap as the file keeps it.
bool LoadStoredHistory(const std::string& path, const TStoredQuery& query, THistory& history,
                       std::string& error);

// The parts, on an open connection.
bool LoadStoredRuns(TSqlite& db, std::vector<TStoredRun>& runs, std::string& error);
// Appends the sensor's reads at or after fromWallMs, newest first by insertion (whatever the
// wall clock did), with their gaps measured from the mapping's now.
bool LoadStoredReads(TSqlite& db, const TStoredQuery& query, int64_t fromWallMs,
                     const std::vector<TStoredRun>& runs, THistory& history, std::string& error);
// The times within span, oldest first and apart, when neither a stored run nor this one was
// listening: before the first run, and from each run's end to the next one's start.
std::vector<TTimeSpan> NotListening(const std::vector<TStoredRun>& runs, const TRunMapping& mapping,
                                    TTimeSpan span);

} // namespace corvane
