#include "history/HistoryRestore.h"

#include <algorithm>
#include <sqlite3.h>

#include "history/Sqlite.h"
#include "store/ActivityStore.h"
#include "util/JsonText.h"

namespace corvane {

namespace {

constexpr char kNewestReads[] =
    "SELECT r.run, coalesce(ru.origin_ms, ru.started_ms), r.mono_ms, r.wall_ms, r.utc_offset_min, "
    "s.serno, r.kind,"
    " r.repeater, r.entry, en.text, sn.text, r.duplicate, r.data, r.crc"
    " FROM reads r JOIN runs ru ON ru.id = r.run JOIN sensors s ON s.id = r.sensor"
    " LEFT JOIN names en ON en.id = r.entry_name LEFT JOIN names sn ON sn.id = r.sensor_name"
    " ORDER BY r.id DESC LIMIT ?1";

void AssignLatin1(TName& name, std::string_view utf8, std::string& scratch) {
    scratch.clear();
    AppendUtf8AsLatin1(scratch, utf8);
    name.Assign(scratch);
}

void ReadRow(const TSqlStatement& s, THistoryRead& r, std::string& scratch) {
    r.MonoMs = s.Int(2);
    r.WallMs = s.Int(3);
    r.UtcOffsetMin = static_cast<int16_t>(s.Int(4));
    r.SerNo = s.Int(5);
    r.Kind = static_cast<uint8_t>(s.Int(6));
    scratch.clear();
    AppendUtf8AsLatin1(scratch, s.Text(7));
    r.Repeater = scratch.empty() ? '\0' : scratch[0];
    r.Entry = s.IsNull(8) ? NoIndex : static_cast<uint8_t>(s.Int(8));
    AssignLatin1(r.EntryName, s.Text(9), scratch);
    AssignLatin1(r.SensorName, s.Text(10), scratch);
    r.Duplicate = s.Int(11) != 0;
    const std::string_view data = s.Blob(12);
    std::fill(std::begin(r.Data), std::end(r.Data), uint8_t{0});
    std::copy_n(data.begin(), std::min(data.size(), sizeof r.Data), r.Data);
    r.Crc = static_cast<uint16_t>(s.Int(13));
}

} // namespace

bool LoadRecentReads(TSqlite& db, const TRunMapping& mapping, int32_t maxAge, size_t maxReads,
                     std::vector<TStoredRead>& reads, std::string& error) {
    reads.clear();
    TSqlStatement s(db, kNewestReads);
    if (!s.Ok()) {
        error = db.Error();
        return false;
    }
    s.Bind(1, static_cast<int64_t>(maxReads));
    std::string scratch;
    int rc;
    while ((rc = s.Step()) == SQLITE_ROW) {
        TStoredRead stored;
        stored.Time = mapping.TimeOf(s.Int(0), s.Int(1), s.Int(2));
        if (SecondsDiff(stored.Time, mapping.Now) > maxAge)
            break;
        ReadRow(s, stored.Read, scratch);
        stored.Wall = UnixMsToWall(stored.Read.WallMs);
        reads.push_back(stored);
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        error = db.Error();
        reads.clear();
        return false;
    }
    std::reverse(reads.begin(), reads.end());
    return true;
}

} // namespace corvane
