#include "history/KnownRecords.h"

#include <filesystem>
#include <sqlite3.h>

#include "history/HistorySchema.h"
#include "history/Sqlite.h"
#include "util/JsonText.h"

namespace corvane {

namespace {

// One pass over each known table; the entry point of a sensor's last read is found by its
// number, the entries table's own key, so a file of many thousands of sensors costs a scan and
// the sort of what is gone.
constexpr char kGoneRecords[] =
    "SELECT 0, s.label, s.last_ms, s.usual_gap_s, s.last_entry, e.name, s.last_repeater"
    " FROM sensors s LEFT JOIN entries e ON e.number = s.last_entry WHERE s.last_ms <= ?1"
    " UNION ALL"
    " SELECT 1, r.letter, r.last_ms, r.usual_gap_s, NULL, NULL, NULL"
    " FROM repeaters r WHERE r.last_ms <= ?1"
    " UNION ALL"
    " SELECT 2, n.name, n.last_ms, n.usual_gap_s, n.number, NULL, NULL"
    " FROM entries n WHERE n.last_ms <= ?1"
    " ORDER BY 3 DESC, 1, 2";

constexpr char kGoneSensors[] = "SELECT count(*) FROM sensors WHERE last_ms <= ?1";

// The newest last read that is gone: its age is maxAge seconds and a half or more, which the
// store's whole seconds round past maxAge.
int64_t NewestGoneMs(int64_t wallNowMs, int32_t maxAge) {
    return wallNowMs - int64_t{maxAge} * 1000 - 500;
}

// An entry point by its name, else by its number, as the decoder names one that sent none.
std::string EntryLabel(const TSqlStatement& s, int nameColumn, int numberColumn) {
    std::string name = Utf8AsLatin1(s.Text(nameColumn));
    if (name.empty())
        name = "Entry " + std::to_string(s.Int(numberColumn));
    return name;
}

TKnownRecord RecordOf(const TSqlStatement& s) {
    TKnownRecord r;
    r.Kind = static_cast<TKnownKind>(s.Int(0));
    r.LastMs = s.Int(2);
    r.UsualGap = s.IsNull(3) ? -1.0f : static_cast<float>(s.Double(3));
    switch (r.Kind) {
    case TKnownKind::Sensor:
        r.Label = Utf8AsLatin1(s.Text(1));
        if (!s.IsNull(4))
            r.Entry = EntryLabel(s, 5, 4);
        if (const std::string letter = Utf8AsLatin1(s.Text(6)); !letter.empty())
            r.Repeater = letter[0];
        break;
    case TKnownKind::Repeater:
        r.Label = Utf8AsLatin1(s.Text(1));
        break;
    case TKnownKind::Entry:
        r.Label = EntryLabel(s, 1, 4);
        break;
    }
    return r;
}

} // namespace

bool LoadGoneRecords(TSqlite& db, int64_t wallNowMs, int32_t maxAge,
                     std::vector<TKnownRecord>& records, std::string& error) {
    records.clear();
    TSqlStatement s(db, kGoneRecords);
    if (!s.Ok()) {
        error = db.Error();
        return false;
    }
    s.Bind(1, NewestGoneMs(wallNowMs, maxAge));
    int rc;
    while ((rc = s.Step()) == SQLITE_ROW)
        records.push_back(RecordOf(s));
    if (rc != SQLITE_DONE) {
        error = db.Error();
        records.clear();
        return false;
    }
    return true;
}

int64_t CountGoneSensors(TSqlite& db, int64_t wallNowMs, int32_t maxAge) {
    TSqlStatement s(db, kGoneSensors);
    if (!s.Ok())
        return -1;
    s.Bind(1, NewestGoneMs(wallNowMs, maxAge));
    return s.Step() == SQLITE_ROW ? s.Int(0) : -1;
}

std::string MissingSensorsLine(TSqlite& db, int64_t wallNowMs, int32_t maxAge) {
    const int64_t gone = CountGoneSensors(db, wallNowMs, maxAge);
    if (gone <= 0)
        return {};
    return std::to_string(gone) + " known sensors not heard for over " + std::to_string(maxAge) +
           " s";
}

bool OpenHistoryToRead(TSqlite& db, const std::string& path, std::string& error) {
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) {
        error = "no history database at " + path;
        return false;
    }
    if (!db.Open(path, false, true)) {
        error = path + ": " + db.Error();
        return false;
    }
    const int64_t version = db.QueryInt("PRAGMA user_version", -1);
    if (version < 0) {
        error = path + ": " + db.Error();
    } else if (version == 0) {
        error = "no history database at " + path;
    } else if (version > kHistorySchemaVersion) {
        error = path + " was made by a newer version of Corvane";
    } else {
        return true;
    }
    db.Close();
    return false;
}

} // namespace corvane
