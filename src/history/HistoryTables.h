// The writer thread's side of the database: prepared statements, the known sensors, repeaters,
// entry points and names as the file has them, and a batch of reads written in one transaction.
// Only the writer's thread touches it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "history/HistoryRecord.h"
#include "history/Sqlite.h"

namespace corvane {

class THistoryTables {
public:
    explicit THistoryTables(TSqlite& db) : db_(db) {}

    // Prepares the statements and reads the known records and names; false with Error().
    bool Load();
    // This run's row; earlier runs without a stop are marked as ended uncleanly when last alive.
    bool BeginRun(const THistoryRun& run, int64_t& runId);
    // The reads and alert changes in one transaction, with the known records they changed and
    // the run's alive instant. On failure nothing of it is in the file and Load must run again.
    bool WriteBatch(int64_t runId, const std::vector<THistoryRead>& reads,
                    const std::vector<THistoryAlert>& alerts, int64_t aliveMs);
    bool EndRun(int64_t runId, int64_t stoppedMs);
    // Deletes up to step of the oldest reads when one is older than keepBefore (Unix ms) or the
    // reads take more than maxBytes; false on failure. Sets more when a limit is still passed.
    bool PruneStep(int64_t keepBeforeMs, int64_t maxBytes, int32_t step, bool& more,
                   int32_t& deleted);
    // Pages in use times the page size: the file's size less its free pages.
    int64_t UsedBytes();

    const std::string& Error() const { return db_.Error(); }

private:
    struct TKnownSensor {
        int64_t Id = 0;
        int64_t SerNo = 0;
        uint8_t Kind = 0;
        std::string Label; // UTF-8
        int64_t FirstMs = 0;
        int64_t LastMs = 0;
        float UsualGap = -1;
        TAlertState Alert = TAlertState::Reporting;
        int16_t LastEntry = -1;
        char LastRepeater = '\0';
        bool Dirty = false;
    };
    struct TKnownOwner {
        bool Known = false;
        std::string Name; // entry points only, UTF-8
        int64_t FirstMs = 0;
        int64_t LastMs = 0;
        float UsualGap = -1;
        TAlertState Alert = TAlertState::Reporting;
        bool Dirty = false;
    };

    bool Prepare();
    void LoadKnown();
    int64_t NameId(const TName& name); // 0: no name; -1: failed
    TKnownSensor& Sensor(const THistoryRead& read);
    void Note(const THistoryRead& read, TKnownSensor& sensor);
    void Apply(const THistoryAlert& alert);
    bool InsertRead(int64_t runId, const THistoryRead& read, const TKnownSensor& sensor);
    bool WriteKnown();
    bool WriteOwner(char letter, uint8_t number, bool repeater, TKnownOwner& owner);

    TSqlite& db_;
    TSqlStatement insertRead_;
    TSqlStatement insertName_;
    TSqlStatement upsertSensor_;
    TSqlStatement upsertRepeater_;
    TSqlStatement upsertEntry_;
    TSqlStatement alive_;
    std::unordered_map<int64_t, TKnownSensor> sensors_;
    std::vector<TKnownSensor*> dirtySensors_;
    std::array<TKnownOwner, 256> repeaters_{};
    std::array<TKnownOwner, 256> entries_{};
    std::unordered_map<std::string, int64_t> names_;
    int64_t nextSensorId_ = 1;
    std::string text_; // scratch
};

} // namespace corvane
