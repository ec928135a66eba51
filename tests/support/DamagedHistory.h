// A history database with a page in the middle written over, which only a quick check (or a
// read of that page) finds: the tables of the program, then 2000 rows of filler, one page of
// it overwritten.
#pragma once

#include <fstream>
#include <string>

#include "history/HistoryFile.h"

namespace corvane {

inline bool MakeDamagedWithin(const std::string& path) {
    {
        THistoryFile file;
        TManualClock clock;
        std::vector<std::string> log;
        if (file.Open(path, clock, log) != THistoryOpen::Recording)
            return false;
        if (!file.Db().Exec("CREATE TABLE filler(x BLOB);"
                            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n "
                            "WHERE i < 2000) INSERT INTO filler SELECT randomblob(500) FROM n;"
                            "PRAGMA wal_checkpoint(TRUNCATE);"))
            return false;
    }
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(100 * 4096);
    const std::string garbage(4096, 'x');
    f.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    return static_cast<bool>(f);
}

} // namespace corvane
