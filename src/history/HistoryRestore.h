// The reads a run takes back from the history database at its start: the newest ones that the
// store would still hold, on this run's time line, oldest first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "history/HistoryRecord.h"
#include "history/HistoryTime.h"

namespace corvane {

class TSqlite;

struct TStoredRead {
    THistoryRead Read;
    TDateTime Time; // on this run's time line
    TDateTime Wall;
};

// At most maxReads of the newest reads, going back from the newest until one is older than
// maxAge seconds on the mapping's time line; false with error when the file cannot be read.
bool LoadRecentReads(TSqlite& db, const TRunMapping& mapping, int32_t maxAge, size_t maxReads,
                     std::vector<TStoredRead>& reads, std::string& error);

} // namespace corvane
