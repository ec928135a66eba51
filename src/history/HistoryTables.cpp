#include "history/HistoryTables.h"

#include <sqlite3.h>

#include "history/HistoryTime.h"
#include "util/JsonText.h"
#include "util/untConst.h"

namespace corvane {

namespace {

constexpr char kInsertRead[] =
    "INSERT INTO reads(run, wall_ms, utc_offset_min, mono_ms, sensor, kind, type_code, repeater,"
    " entry, entry_name, sensor_name, duplicate, data, crc)"
    " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)";
constexpr char kUpsertSensor[] =
    "INSERT INTO sensors(id, serno, kind, label, first_ms, last_ms, usual_gap_s, alert,"
    " last_entry, last_repeater) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"
    " ON CONFLICT(id) DO UPDATE SET kind = ?3, label = ?4, last_ms = ?6, usual_gap_s = ?7,"
    " alert = ?8, last_entry = ?9, last_repeater = ?10";
constexpr char kUpsertRepeater[] =
    "INSERT INTO repeaters(letter, first_ms, last_ms, usual_gap_s, alert) VALUES(?1, ?2, ?3, ?4,"
    " ?5) ON CONFLICT(letter) DO UPDATE SET last_ms = ?3, usual_gap_s = ?4, alert = ?5";
constexpr char kUpsertEntry[] =
    "INSERT INTO entries(number, name, first_ms, last_ms, usual_gap_s, alert) VALUES(?1, ?2, ?3,"
    " ?4, ?5, ?6) ON CONFLICT(number) DO UPDATE SET name = ?2, last_ms = ?4, usual_gap_s = ?5,"
    " alert = ?6";

TAlertState StateNamed(std::string_view name) {
    if (name == "late")
        return TAlertState::Late;
    if (name == "silent")
        return TAlertState::Silent;
    return TAlertState::Reporting;
}

void BindGap(TSqlStatement& s, int i, float gap) {
    if (gap < 0)
        s.BindNull(i);
    else
        s.BindDouble(i, gap);
}

} // namespace

std::string_view AlertStateName(TAlertState state) {
    switch (state) {
    case TAlertState::Late:
        return "late";
    case TAlertState::Silent:
        return "silent";
    case TAlertState::Reporting:
        break;
    }
    return "reporting";
}

bool THistoryTables::Prepare() {
    return insertRead_.Prepare(db_, kInsertRead) &&
           insertName_.Prepare(db_, "INSERT INTO names(text) VALUES(?1)") &&
           upsertSensor_.Prepare(db_, kUpsertSensor) &&
           upsertRepeater_.Prepare(db_, kUpsertRepeater) &&
           upsertEntry_.Prepare(db_, kUpsertEntry) &&
           alive_.Prepare(db_, "UPDATE runs SET alive_ms = ?2, origin_ms = coalesce(?3, origin_ms)"
                               " WHERE id = ?1");
}

bool THistoryTables::Load() {
    if (!Prepare())
        return false;
    LoadKnown();
    return true;
}

void THistoryTables::LoadKnown() {
    sensors_.clear();
    dirtySensors_.clear();
    repeaters_.fill({});
    entries_.fill({});
    names_.clear();
    nextSensorId_ = 1;
    TSqlStatement s(db_, "SELECT id, serno, kind, label, first_ms, last_ms, usual_gap_s, alert,"
                         " last_entry, last_repeater FROM sensors");
    while (s.Ok() && s.Step() == SQLITE_ROW) {
        TKnownSensor k;
        k.Id = s.Int(0);
        k.SerNo = s.Int(1);
        k.Kind = static_cast<uint8_t>(s.Int(2));
        k.Label = s.Text(3);
        k.FirstMs = s.Int(4);
        k.LastMs = s.Int(5);
        k.UsualGap = s.IsNull(6) ? -1.0f : static_cast<float>(s.Double(6));
        k.Alert = StateNamed(s.Text(7));
        k.LastEntry = s.IsNull(8) ? int16_t{-1} : static_cast<int16_t>(s.Int(8));
        std::string letter;
        AppendUtf8AsLatin1(letter, s.Text(9));
        k.LastRepeater = letter.empty() ? '\0' : letter[0];
        if (k.Id >= nextSensorId_)
            nextSensorId_ = k.Id + 1;
        sensors_[k.SerNo] = k;
    }
    auto loadOwners = [this](const char* sql, bool repeater) {
        TSqlStatement o(db_, sql);
        while (o.Ok() && o.Step() == SQLITE_ROW) {
            std::string key;
            AppendUtf8AsLatin1(key, o.Text(0));
            const auto slot = repeater ? static_cast<unsigned char>(key.empty() ? 0 : key[0])
                                       : static_cast<unsigned char>(o.Int(0) & 0xFF);
            TKnownOwner& k = repeater ? repeaters_[slot] : entries_[slot];
            k.Known = true;
            k.Name = o.Text(1);
            k.FirstMs = o.Int(2);
            k.LastMs = o.Int(3);
            k.UsualGap = o.IsNull(4) ? -1.0f : static_cast<float>(o.Double(4));
            k.Alert = StateNamed(o.Text(5));
        }
    };
    loadOwners("SELECT letter, '', first_ms, last_ms, usual_gap_s, alert FROM repeaters", true);
    loadOwners("SELECT number, name, first_ms, last_ms, usual_gap_s, alert FROM entries", false);
    TSqlStatement n(db_, "SELECT id, text FROM names");
    while (n.Ok() && n.Step() == SQLITE_ROW)
        names_.emplace(std::string(n.Text(1)), n.Int(0));
}

bool THistoryTables::BeginRun(const THistoryRun& run, int64_t& runId) {
    if (!db_.Exec("UPDATE runs SET stopped_ms = alive_ms, clean = 0 WHERE stopped_ms IS NULL"))
        return false;
    TSqlStatement s(db_, "INSERT INTO runs(started_ms, utc_offset_min, alive_ms, version, station)"
                         " VALUES(?1, ?2, ?1, ?3, ?4)");
    if (!s.Ok())
        return false;
    s.Bind(1, run.StartWallMs);
    s.Bind(2, run.UtcOffsetMin);
    s.BindText(3, run.Version);
    s.BindText(4, Latin1AsUtf8(run.Station));
    if (s.Step() != SQLITE_DONE)
        return false;
    runId = sqlite3_last_insert_rowid(db_.Handle());
    return true;
}

bool THistoryTables::EndRun(int64_t runId, int64_t stoppedMs) {
    TSqlStatement s(db_, "UPDATE runs SET stopped_ms = ?2, alive_ms = ?2, clean = 1 WHERE id = ?1");
    if (!s.Ok())
        return false;
    s.Bind(1, runId);
    s.Bind(2, stoppedMs);
    return s.Step() == SQLITE_DONE;
}

int64_t THistoryTables::NameId(const TName& name) {
    if (name.Empty())
        return 0;
    text_.clear();
    AppendLatin1AsUtf8(text_, name.View());
    if (auto at = names_.find(text_); at != names_.end())
        return at->second;
    insertName_.Reset();
    insertName_.BindText(1, text_);
    if (insertName_.Step() != SQLITE_DONE)
        return -1;
    const int64_t id = sqlite3_last_insert_rowid(db_.Handle());
    names_.emplace(text_, id);
    return id;
}

THistoryTables::TKnownSensor& THistoryTables::Sensor(const THistoryRead& read) {
    auto [at, made] = sensors_.try_emplace(read.SerNo);
    TKnownSensor& k = at->second;
    if (made) {
        k.Id = nextSensorId_++;
        k.SerNo = read.SerNo;
        k.FirstMs = read.WallMs;
        char hex[NameMax + 1];
        SerialToHex(read.SerNo, hex);
        k.Label.assign(hex, 16);
    }
    return k;
}

// The known record follows the newest read: its label as the store shows it (a name, once
// carried, stays), its usual gap, its route.
void THistoryTables::Note(const THistoryRead& read, TKnownSensor& k) {
    k.Kind = read.Kind;
    if (!read.SensorName.Empty())
        k.Label = Latin1AsUtf8(read.SensorName.View());
    k.LastMs = read.WallMs;
    if (read.UsualGap >= 0)
        k.UsualGap = read.UsualGap;
    k.LastEntry = read.Entry == NoIndex ? int16_t{-1} : read.Entry;
    k.LastRepeater = read.Repeater;
    if (!k.Dirty)
        dirtySensors_.push_back(&k);
    k.Dirty = true;
    auto owner = [&](TKnownOwner& o, float gap) {
        if (!o.Known)
            o.FirstMs = read.WallMs;
        o.Known = o.Dirty = true;
        o.LastMs = read.WallMs;
        if (gap >= 0)
            o.UsualGap = gap;
    };
    if (read.Repeater != '\0')
        owner(repeaters_[static_cast<unsigned char>(read.Repeater)], read.RepeatGap);
    if (read.Entry != NoIndex) {
        TKnownOwner& e = entries_[read.Entry];
        owner(e, read.EntryGap);
        if (!read.EntryName.Empty())
            e.Name = Latin1AsUtf8(read.EntryName.View());
    }
}

void THistoryTables::Apply(const THistoryAlert& alert) {
    if (alert.Kind == TAlertKind::Sensor) {
        auto at = sensors_.find(alert.Id);
        if (at == sensors_.end())
            return;
        at->second.Alert = alert.State;
        if (!at->second.Dirty)
            dirtySensors_.push_back(&at->second);
        at->second.Dirty = true;
        return;
    }
    TKnownOwner& o =
        alert.Kind == TAlertKind::Repeat ? repeaters_[alert.Id & 0xFF] : entries_[alert.Id & 0xFF];
    if (o.Known) {
        o.Alert = alert.State;
        o.Dirty = true;
    }
}

bool THistoryTables::InsertRead(int64_t runId, const THistoryRead& r, const TKnownSensor& k) {
    const int64_t entryName = NameId(r.EntryName);
    const int64_t sensorName = NameId(r.SensorName);
    if (entryName < 0 || sensorName < 0)
        return false;
    TSqlStatement& s = insertRead_;
    s.Reset();
    s.Bind(1, runId);
    s.Bind(2, r.WallMs);
    s.Bind(3, r.UtcOffsetMin);
    s.Bind(4, r.MonoMs);
    s.Bind(5, k.Id);
    s.Bind(6, r.Kind);
    s.Bind(7, r.Data[0]);
    if (r.Repeater == '\0')
        s.BindNull(8);
    else
        s.BindText(8, Latin1AsUtf8(std::string_view(&r.Repeater, 1)));
    if (r.Entry == NoIndex)
        s.BindNull(9);
    else
        s.Bind(9, r.Entry);
    if (entryName == 0)
        s.BindNull(10);
    else
        s.Bind(10, entryName);
    if (sensorName == 0)
        s.BindNull(11);
    else
        s.Bind(11, sensorName);
    s.Bind(12, r.Duplicate ? 1 : 0);
    s.BindBlob(13, r.Data, sizeof r.Data);
    s.Bind(14, r.Crc);
    return s.Step() == SQLITE_DONE;
}

bool THistoryTables::WriteBatch(int64_t runId, const std::vector<THistoryRead>& reads,
                                const std::vector<THistoryAlert>& alerts, int64_t aliveMs) {
    if (!db_.Exec("BEGIN IMMEDIATE"))
        return false;
    bool ok = true;
    for (const THistoryRead& r : reads) {
        TKnownSensor& k = Sensor(r);
        Note(r, k);
        if (!(ok = InsertRead(runId, r, k)))
            break;
    }
    for (const THistoryAlert& a : alerts)
        Apply(a);
    if (ok) {
        alive_.Reset();
        alive_.Bind(1, runId);
        alive_.Bind(2, aliveMs);
        if (reads.empty())
            alive_.BindNull(3);
        else
            alive_.Bind(3, MsLess(reads.back().WallMs, reads.back().MonoMs));
        ok = WriteKnown() && alive_.Step() == SQLITE_DONE && db_.Exec("COMMIT");
    }
    if (!ok) {
        const std::string error = db_.Error();
        const int code = db_.ErrorCode();
        db_.Exec("ROLLBACK");
        db_.SetErrorText(code, error);
    }
    return ok;
}

bool THistoryTables::WriteKnown() {
    for (TKnownSensor* k : dirtySensors_) {
        TSqlStatement& s = upsertSensor_;
        s.Reset();
        s.Bind(1, k->Id);
        s.Bind(2, k->SerNo);
        s.Bind(3, k->Kind);
        s.BindText(4, k->Label);
        s.Bind(5, k->FirstMs);
        s.Bind(6, k->LastMs);
        BindGap(s, 7, k->UsualGap);
        s.BindText(8, AlertStateName(k->Alert));
        if (k->LastEntry < 0)
            s.BindNull(9);
        else
            s.Bind(9, k->LastEntry);
        if (k->LastRepeater == '\0')
            s.BindNull(10);
        else
            s.BindText(10, Latin1AsUtf8(std::string_view(&k->LastRepeater, 1)));
        if (s.Step() != SQLITE_DONE)
            return false;
        k->Dirty = false;
    }
    dirtySensors_.clear();
    for (int i = 0; i < 256; ++i) {
        if (repeaters_[i].Dirty && !WriteOwner(static_cast<char>(i), 0, true, repeaters_[i]))
            return false;
        if (entries_[i].Dirty && !WriteOwner('\0', static_cast<uint8_t>(i), false, entries_[i]))
            return false;
    }
    return true;
}

bool THistoryTables::WriteOwner(char letter, uint8_t number, bool repeater, TKnownOwner& o) {
    TSqlStatement& s = repeater ? upsertRepeater_ : upsertEntry_;
    s.Reset();
    int i = 1;
    if (repeater) {
        s.BindText(i++, Latin1AsUtf8(std::string_view(&letter, 1)));
    } else {
        s.Bind(i++, number);
        s.BindText(i++, o.Name);
    }
    s.Bind(i++, o.FirstMs);
    s.Bind(i++, o.LastMs);
    BindGap(s, i++, o.UsualGap);
    s.BindText(i, AlertStateName(o.Alert));
    if (s.Step() != SQLITE_DONE)
        return false;
    o.Dirty = false;
    return true;
}

int64_t THistoryTables::UsedBytes() {
    const int64_t pages = db_.QueryInt("PRAGMA page_count", 0);
    const int64_t free = db_.QueryInt("PRAGMA freelist_count", 0);
    return (pages - free) * db_.QueryInt("PRAGMA page_size", 4096);
}

bool THistoryTables::PruneStep(int64_t keepBeforeMs, int64_t maxBytes, int32_t step, bool& more,
                               int32_t& deleted) {
    more = false;
    deleted = 0;
    TSqlStatement oldest(db_, "SELECT id, wall_ms FROM reads ORDER BY id LIMIT 1");
    if (!oldest.Ok())
        return false;
    if (oldest.Step() != SQLITE_ROW)
        return true;
    const int64_t first = oldest.Int(0);
    const bool tooOld = oldest.Int(1) < keepBeforeMs;
    if (!tooOld && UsedBytes() <= maxBytes)
        return true;
    // By insertion, not by instant: a clock set back must not keep old reads forever.
    TSqlStatement del(db_, tooOld ? "DELETE FROM reads WHERE id < ?1 AND wall_ms < ?2"
                                  : "DELETE FROM reads WHERE id < ?1");
    if (!del.Ok())
        return false;
    del.Bind(1, first + step);
    if (tooOld)
        del.Bind(2, keepBeforeMs);
    if (del.Step() != SQLITE_DONE)
        return false;
    deleted = sqlite3_changes(db_.Handle());
    more = true;
    return true;
}

} // namespace corvane
