#include "history/HistoryRecorder.h"

#include <algorithm>
#include <cmath>

#include "history/HistoryTime.h"
#include "store/ActivityStore.h"
#include "store/DecodedPacket.h"

namespace corvane {

THistoryRecorder::THistoryRecorder(THistoryWriter& writer, TStore& store)
    : writer_(writer), store_(store) {
    subscribed_ = store_.Alerts.Subscribe(this);
}

THistoryRecorder::~THistoryRecorder() {
    if (subscribed_)
        store_.Alerts.Unsubscribe(this);
}

int16_t THistoryRecorder::OffsetAt(TDateTime wall) {
    const int64_t minute = WallToUnixMs(wall) / 60000;
    if (minute != offsetMinute_) {
        offsetMinute_ = minute;
        const double hours = (store_.Clock().ToLocal(wall) - wall) * 24.0;
        offset_ = static_cast<int16_t>(std::lround(hours * 60.0));
    }
    return offset_;
}

void THistoryRecorder::MakeRecord(const TStore& store, const TRegisteredRead& read,
                                  TDateTime runStart, int16_t utcOffsetMin, THistoryRead& r) {
    const TDecodedPacket& p = read.Packet;
    r.WallMs = WallToUnixMs(read.Wall);
    r.MonoMs = DaysToMs(runStart, read.Time);
    r.SerNo = p.SerNo;
    r.UtcOffsetMin = utcOffsetMin;
    r.Kind = p.Kind;
    r.Repeater = read.Repeat != NoIndex ? store.Repeats[read.Repeat].Id : '\0';
    r.Entry = read.Entry != NoIndex ? store.Entries[read.Entry].Id : NoIndex;
    r.Duplicate = read.Duplicate;
    std::copy(p.Packet, p.Packet + sizeof r.Data, r.Data);
    r.Crc = p.Crc;
    r.EntryName.Assign(p.EntryName);
    r.SensorName.Assign(p.SensorName);
    const TStats& st = store.Sensors[read.Row].Stats;
    r.UsualGap = TAlerts::UsualGapKnown(st) ? st.AvgGap : -1.0f;
    r.RepeatGap = r.EntryGap = -1.0f;
}

void THistoryRecorder::OwnerGaps(const TStore& store, const TRegisteredRead& read,
                                 THistoryRead& r) {
    float gap = 0;
    if (read.Repeat < MaxRepeats && r.WallMs - repeatGapMs_[read.Repeat] >= 1000) {
        repeatGapMs_[read.Repeat] = r.WallMs;
        if (store.Alerts.OwnerUsualGap(TAlertKind::Repeat, read.Repeat, gap))
            r.RepeatGap = gap;
    }
    if (read.Entry < MaxEntries && r.WallMs - entryGapMs_[read.Entry] >= 1000) {
        entryGapMs_[read.Entry] = r.WallMs;
        if (store.Alerts.OwnerUsualGap(TAlertKind::Entry, read.Entry, gap))
            r.EntryGap = gap;
    }
}

void THistoryRecorder::OnRead(const TStore& store, const TRegisteredRead& read) {
    MakeRecord(store, read, writer_.Run().StartTime, OffsetAt(read.Wall), record_);
    OwnerGaps(store, read, record_);
    writer_.Push(record_);
}

void THistoryRecorder::AlertStateChanged(TAlertKind kind, uint16_t index, TAlertState state) {
    THistoryAlert a;
    a.Kind = kind;
    a.State = state;
    switch (kind) {
    case TAlertKind::Sensor:
        a.Id = store_.Sensors[index].SerNo;
        break;
    case TAlertKind::Repeat:
        a.Id = static_cast<unsigned char>(store_.Repeats[index].Id);
        break;
    case TAlertKind::Entry:
        a.Id = store_.Entries[index].Id;
        break;
    }
    writer_.PushAlert(a);
}

} // namespace corvane
