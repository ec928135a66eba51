#include "history/HistorySchema.h"

#include <array>

#include "history/Sqlite.h"

namespace corvane {

namespace {

// Version 1. Instants are Unix milliseconds (UTC); text is UTF-8. A run's origin_ms is the wall
// instant of its steady time line's start as its newest read has the wall clock (wall_ms less
// mono_ms), so that a wall clock set during the run moves none of its reads. A read names its
// sensor by the sensors table's id and its names through the names table, which keeps a read near
// 60 bytes; the view read_list joins them back for reading by hand.
constexpr char kVersion1[] = R"SQL(
CREATE TABLE runs (
    id INTEGER PRIMARY KEY,
    started_ms INTEGER NOT NULL,
    utc_offset_min INTEGER NOT NULL,
    alive_ms INTEGER NOT NULL,
    origin_ms INTEGER,
    stopped_ms INTEGER,
    clean INTEGER NOT NULL DEFAULT 0,
    version TEXT NOT NULL,
    station TEXT NOT NULL
);
CREATE TABLE names (
    id INTEGER PRIMARY KEY,
    text TEXT NOT NULL UNIQUE
);
CREATE TABLE sensors (
    id INTEGER PRIMARY KEY,
    serno INTEGER NOT NULL UNIQUE,
    kind INTEGER NOT NULL,
    label TEXT NOT NULL,
    first_ms INTEGER NOT NULL,
    last_ms INTEGER NOT NULL,
    usual_gap_s REAL,
    alert TEXT NOT NULL DEFAULT 'reporting',
    last_entry INTEGER,
    last_repeater TEXT
);
CREATE TABLE repeaters (
    letter TEXT PRIMARY KEY,
    first_ms INTEGER NOT NULL,
    last_ms INTEGER NOT NULL,
    usual_gap_s REAL,
    alert TEXT NOT NULL DEFAULT 'reporting'
);
CREATE TABLE entries (
    number INTEGER PRIMARY KEY,
    name TEXT NOT NULL,
    first_ms INTEGER NOT NULL,
    last_ms INTEGER NOT NULL,
    usual_gap_s REAL,
    alert TEXT NOT NULL DEFAULT 'reporting'
);
CREATE TABLE reads (
    id INTEGER PRIMARY KEY,
    run INTEGER NOT NULL,
    wall_ms INTEGER NOT NULL,
    utc_offset_min INTEGER NOT NULL,
    mono_ms INTEGER NOT NULL,
    sensor INTEGER NOT NULL,
    kind INTEGER NOT NULL,
    type_code INTEGER NOT NULL,
    repeater TEXT,
    entry INTEGER,
    entry_name INTEGER,
    sensor_name INTEGER,
    duplicate INTEGER NOT NULL,
    data BLOB NOT NULL,
    crc INTEGER NOT NULL
);
CREATE INDEX reads_by_sensor ON reads(sensor, wall_ms);
CREATE VIEW read_list AS
SELECT r.id, r.run,
       strftime('%Y-%m-%dT%H:%M:%fZ', r.wall_ms / 1000.0, 'unixepoch') AS time_utc,
       r.wall_ms, r.utc_offset_min, s.serno, printf('%016X', s.serno) AS serno_hex,
       r.kind, r.type_code, r.repeater, r.entry, en.text AS entry_name,
       coalesce(sn.text, printf('%016X', s.serno)) AS label, r.duplicate,
       hex(r.data) AS data_hex, r.crc
FROM reads r
JOIN sensors s ON s.id = r.sensor
LEFT JOIN names en ON en.id = r.entry_name
LEFT JOIN names sn ON sn.id = r.sensor_name;
)SQL";

// Each step takes a file from the version before it to its own; kMigrations[0] makes version 1.
constexpr std::array<const char*, kHistorySchemaVersion> kMigrations{{kVersion1}};

} // namespace

TSchemaResult PrepareSchema(TSqlite& db, std::string& error) {
    const int64_t version = db.QueryInt("PRAGMA user_version", -1);
    if (version < 0) {
        error = db.Error();
        return TSchemaResult::Failed;
    }
    if (version > kHistorySchemaVersion)
        return TSchemaResult::Newer;
    if (version == kHistorySchemaVersion)
        return TSchemaResult::Ready;
    if (!db.Exec("BEGIN IMMEDIATE")) {
        error = db.Error();
        return TSchemaResult::Failed;
    }
    for (int64_t v = version; v < kHistorySchemaVersion; ++v) {
        if (!db.Exec(kMigrations[static_cast<size_t>(v)])) {
            error = db.Error();
            db.Exec("ROLLBACK");
            return TSchemaResult::Failed;
        }
    }
    const std::string set = "PRAGMA user_version = " + std::to_string(kHistorySchemaVersion);
    if (!db.Exec(set.c_str()) || !db.Exec("COMMIT")) {
        error = db.Error();
        db.Exec("ROLLBACK");
        return TSchemaResult::Failed;
    }
    return TSchemaResult::Ready;
}

} // namespace corvane
