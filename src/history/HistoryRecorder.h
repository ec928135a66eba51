// Hears of every registered read and every change of alert state, and hands them to the history
// writer as records of their own: the store's tables are read here, on the intake's thread.
#pragma once

#include <array>

#include "history/HistoryWriter.h"
#include "store/Alerts.h"
#include "store/ReadObserver.h"

namespace corvane {

class TStore;

class THistoryRecorder : public TReadObserver, public TAlertListener {
public:
    THistoryRecorder(THistoryWriter& writer, TStore& store);
    ~THistoryRecorder() override;
    THistoryRecorder(const THistoryRecorder&) = delete;
    THistoryRecorder& operator=(const THistoryRecorder&) = delete;

    void OnRead(const TStore& store, const TRegisteredRead& read) override;
    void AlertStateChanged(TAlertKind kind, uint16_t index, TAlertState state) override;
    void AlertsCleared() override {}

    // The record a read makes; public for the benchmarks.
    static void MakeRecord(const TStore& store, const TRegisteredRead& read, TDateTime runStart,
                           int16_t utcOffsetMin, THistoryRead& out);

private:
    int16_t OffsetAt(TDateTime wall);
    // A repeater's or entry point's usual gap walks its chain: it is taken at most once a second
    // per record, the known record keeping the last one taken.
    void OwnerGaps(const TStore& store, const TRegisteredRead& read, THistoryRead& r);

    THistoryWriter& writer_;
    TStore& store_;
    bool subscribed_ = false;
    // The offset from UTC changes twice a year; it is looked up once per minute of wall time.
    int64_t offsetMinute_ = INT64_MIN;
    int16_t offset_ = 0;
    THistoryRead record_;
    std::array<int64_t, MaxRepeats> repeatGapMs_{};
    std::array<int64_t, MaxEntries> entryGapMs_{};
};

} // namespace corvane
