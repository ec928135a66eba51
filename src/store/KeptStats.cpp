#include "store/KeptStats.h"

#include "store/ActivityStore.h"

namespace corvane {

void TKeptSeq::Append(TKeptRead* reads, int32_t i, TDateTime time, TDateTime wall, bool dup) {
    TKeptRead& k = reads[i];
    k.Newer = NoRead;
    k.Dup = dup;
    k.HasGap = false;
    if (count_ != 0 && !dup) {
        int32_t diff = SecondsDiff(lastTime_, time);
        if (diff > 65535)
            diff = 65535;
        PushGap(reads, i, static_cast<uint16_t>(diff));
    }
    if (newest_ != NoRead)
        reads[newest_].Newer = i;
    newest_ = i;
    if (oldest_ == NoRead)
        oldest_ = i;
    lastTime_ = time;
    lastWall_ = wall;
    ++count_;
    if (dup)
        ++dups_;
}

void TKeptSeq::PushGap(TKeptRead* reads, int32_t i, uint16_t gap) {
    TKeptRead& k = reads[i];
    k.HasGap = true;
    k.Gap = gap;
    ring_[appended_ % 8] = gap;
    ++appended_;
    ++gaps_;
    // An older gap no larger than this one can never be the largest again while this one is held.
    while (maxBack_ != NoRead && reads[maxBack_].Gap <= gap)
        maxBack_ = reads[maxBack_].MaxOlder;
    k.MaxOlder = maxBack_;
    k.MaxNewer = NoRead;
    if (maxBack_ == NoRead)
        maxFront_ = i;
    else
        reads[maxBack_].MaxNewer = i;
    maxBack_ = i;
    while (minBack_ != NoRead && reads[minBack_].Gap >= gap)
        minBack_ = reads[minBack_].MinOlder;
    k.MinOlder = minBack_;
    k.MinNewer = NoRead;
    if (minBack_ == NoRead)
        minFront_ = i;
    else
        reads[minBack_].MinNewer = i;
    minBack_ = i;
}

void TKeptSeq::DropOldestGap(TKeptRead* reads, int32_t i) {
    TKeptRead& k = reads[i];
    k.HasGap = false;
    --gaps_;
    // The oldest gap is in a queue only as its front; the next one then has nothing before it.
    if (maxFront_ == i) {
        maxFront_ = k.MaxNewer;
        if (maxFront_ == NoRead)
            maxBack_ = NoRead;
        else
            reads[maxFront_].MaxOlder = NoRead;
    }
    if (minFront_ == i) {
        minFront_ = k.MinNewer;
        if (minFront_ == NoRead)
            minBack_ = NoRead;
        else
            reads[minFront_].MinOlder = NoRead;
    }
}

void TKeptSeq::RemoveOldest(TKeptRead* reads) {
    if (oldest_ == NoRead)
        return;
    const TKeptRead& k = reads[oldest_];
    const int32_t next = k.Newer;
    if (next == NoRead) {
        Reset();
        return;
    }
    --count_;
    if (k.Dup)
        --dups_;
    // The first read is never counted with a gap, so only the new first one can lose one.
    oldest_ = next;
    if (reads[next].HasGap)
        DropOldestGap(reads, next);
}

void TKeptSeq::ClearDup(TKeptRead* reads, int32_t i) {
    if (reads[i].Dup) {
        reads[i].Dup = false;
        --dups_;
    }
}

void TKeptSeq::Fill(TStats& stats, const TKeptRead* reads) const {
    stats.LastTime = lastTime_;
    stats.LastWall = lastWall_;
    stats.Count = count_;
    stats.Dups = dups_;
    stats.MaxGap = gaps_ > 0 ? reads[maxFront_].Gap : 0;
    stats.MinGap = gaps_ > 0 ? reads[minFront_].Gap : 65535;
    // The walk averages the first n positions of its eight-gap buffer, n = Count - Dups - 1 at
    // most 8; those always hold the latest n gaps (n never exceeds the gaps held).
    int32_t n = count_ - dups_ - 1;
    if (n > 8)
        n = 8;
    uint16_t latest[8];
    for (int32_t j = 0; j < n; ++j)
        latest[j] = ring_[(appended_ - 1 - static_cast<uint32_t>(j)) % 8];
    // Sums of at most eight 16-bit gaps are exact in a float, so the order of adding is free.
    stats.AvgGap = MeanGap(latest, n);
    stats.RunAvg = stats.AvgGap;
}

} // namespace corvane

namespace corvane {

void TStore::ResetKept(uint16_t row) {
    ownSeq_[row].Reset();
    for (TKeptSeq& seq : entrySeq_[row])
        seq.Reset();
    for (TKeptSeq& seq : repeatSeq_[row])
        seq.Reset();
}

void TStore::RebuildKept() {
    // Each sequence holds the reads of one sensor, so walking the sensors' chains one after
    // another appends every sequence's reads in its own order.
    for (uint16_t row = 0; row < SensorCount; ++row) {
        ResetKept(row);
        for (int32_t i = Sensors[row].Oldest; i != NoRead; i = Reads[i].SensorNewer)
            KeepRead(i);
    }
    keptStale_ = false;
    keptTimeSec_ = Settings.DuplicateTimeSec;
    keptCrcCheck_ = Settings.DuplicateCRCCheck;
}

void TStore::KeepRead(int32_t n) {
    const TRead& r = Reads[n];
    const TSensor& s = Sensors[r.Sensor];
    ownSeq_[r.Sensor].Append(keptOwn_.data(), n, r.Time, r.Wall,
                             r.SensorOlder != NoRead && IsDuplicate(r.SensorOlder, n));
    // Through an entry point or repeater only the reads with a slot are kept: the figures of the
    // others are never shown.
    uint8_t k = NoIndex;
    if (r.Entry != NoIndex)
        k = FindSlot(Entries[r.Entry].Id, s.EntrySlotIds, s.EntrySlotCount);
    keptEntry_[n].Slot = k;
    if (k != NoIndex)
        entrySeq_[r.Sensor][k].Append(keptEntry_.data(), n, r.Time, r.Wall,
                                      r.EntryOlder != NoRead && IsDuplicate(r.EntryOlder, n));
    k = NoIndex;
    if (r.Repeat != NoIndex)
        k = FindSlot(Repeats[r.Repeat].Id, s.RepeatSlotIds, s.RepeatSlotCount);
    keptRepeat_[n].Slot = k;
    if (k != NoIndex)
        repeatSeq_[r.Sensor][k].Append(keptRepeat_.data(), n, r.Time, r.Wall,
                                       r.RepeatOlder != NoRead && IsDuplicate(r.RepeatOlder, n));
}

void TStore::ForgetRead(int32_t i) {
    const TRead& r = Reads[i];
    if (keptStale_)
        return;
    // Only the ring's oldest read is the oldest of each of its chains; any other leaves the kept
    // figures behind, to be made again from the chains at the next refresh.
    if (i != ReadTail || ownSeq_[r.Sensor].Oldest() != i) {
        keptStale_ = true;
        return;
    }
    ownSeq_[r.Sensor].RemoveOldest(keptOwn_.data());
    // The read after it in its sensor's chain no longer has a read to repeat.
    if (r.SensorNewer != NoRead)
        ownSeq_[r.Sensor].ClearDup(keptOwn_.data(), r.SensorNewer);
    if (keptEntry_[i].Slot != NoIndex)
        entrySeq_[r.Sensor][keptEntry_[i].Slot].RemoveOldest(keptEntry_.data());
    if (keptRepeat_[i].Slot != NoIndex)
        repeatSeq_[r.Sensor][keptRepeat_[i].Slot].RemoveOldest(keptRepeat_.data());
    // Likewise the next read through the same entry point or repeater, whichever sensor it has.
    if (r.Entry != NoIndex && r.EntryNewer != NoRead) {
        const uint8_t k = keptEntry_[r.EntryNewer].Slot;
        if (k != NoIndex)
            entrySeq_[Reads[r.EntryNewer].Sensor][k].ClearDup(keptEntry_.data(), r.EntryNewer);
    }
    if (r.Repeat != NoIndex && r.RepeatNewer != NoRead) {
        const uint8_t k = keptRepeat_[r.RepeatNewer].Slot;
        if (k != NoIndex)
            repeatSeq_[Reads[r.RepeatNewer].Sensor][k].ClearDup(keptRepeat_.data(), r.RepeatNewer);
    }
}

void TStore::KeptStats(uint16_t row, uint8_t repeat, uint8_t entry, TStats& viaRepeat,
                       TStats& viaEntry) {
    if (RecomputeFromChains) {
        ComputeStats(row, repeat, entry, viaRepeat, viaEntry);
        return;
    }
    // The duplicate rule decides every mark kept: a changed rule means new figures throughout.
    if (keptStale_ || keptTimeSec_ != Settings.DuplicateTimeSec ||
        keptCrcCheck_ != Settings.DuplicateCRCCheck)
        RebuildKept();
    TSensor& s = Sensors[row];
    ownSeq_[row].Fill(s.Stats, keptOwn_.data());
    ResetStats(viaRepeat);
    ResetStats(viaEntry);
    if (entry != NoIndex) {
        const uint8_t k = FindSlot(Entries[entry].Id, s.EntrySlotIds, s.EntrySlotCount);
        if (k != NoIndex)
            entrySeq_[row][k].Fill(viaEntry, keptEntry_.data());
    }
    if (repeat != NoIndex) {
        const uint8_t k = FindSlot(Repeats[repeat].Id, s.RepeatSlotIds, s.RepeatSlotCount);
        if (k != NoIndex)
            repeatSeq_[row][k].Fill(viaRepeat, keptRepeat_.data());
    }
}

} // namespace corvane
