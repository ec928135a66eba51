// A sensor's figures kept up to date read by read, so that a refresh costs the same whether the
// sensor holds one read or the whole ring. They are always exactly what a walk of the chain from
// its oldest read gives: reads join a sequence only as its newest and leave it only as its
// oldest, and each read's contribution (its duplicate mark and its gap) depends on nothing but
// the read before it, so both ends can be kept without looking at the reads in between.
#pragma once

#include <cstdint>

#include "store/Store.h"

namespace corvane {

// What one sequence keeps per read; one table of these per kind of sequence, indexed like the ring.
struct TKeptRead {
    int32_t Newer;    // next newer read of the same sequence
    int32_t MaxOlder; // neighbours in the sequence's queue of candidates for the largest gap
    int32_t MaxNewer;
    int32_t MinOlder; // and for the smallest
    int32_t MinNewer;
    uint16_t Gap;
    bool HasGap;  // counted with a gap: not a duplicate and not the sequence's first read
    bool Dup;     // counted as a duplicate
    uint8_t Slot; // sequences per slot: the slot whose sequence holds the read, 255 = none
};

// The reads of one sensor (or of one sensor through one entry point or repeater), oldest first.
class TKeptSeq {
public:
    void Reset() { *this = TKeptSeq{}; }
    void Append(TKeptRead* reads, int32_t i, TDateTime time, TDateTime wall, bool dup);
    // Takes out the oldest read; the read after it becomes the first and loses its gap.
    void RemoveOldest(TKeptRead* reads);
    // The read's duplicate mark is gone (the read it repeated has left the chain it was judged on).
    void ClearDup(TKeptRead* reads, int32_t i);
    int32_t Oldest() const { return oldest_; }
    // The figures the walk gives, with RunAvg equal to AvgGap.
    void Fill(TStats& stats, const TKeptRead* reads) const;

private:
    void PushGap(TKeptRead* reads, int32_t i, uint16_t gap);
    void DropOldestGap(TKeptRead* reads, int32_t i);

    TDateTime lastTime_ = NoTime;
    TDateTime lastWall_ = NoTime;
    int32_t count_ = 0;
    int32_t dups_ = 0;
    int32_t gaps_ = 0;      // gaps held: reads with HasGap
    uint32_t appended_ = 0; // gaps ever appended; the newest is at ring_[(appended_ - 1) % 8]
    uint16_t ring_[8] = {}; // the latest eight gaps
    int32_t oldest_ = NoRead;
    int32_t newest_ = NoRead;
    // Gaps held in chain order, each queue keeping only those that can still become the largest
    // (smallest) once the older ones have left: its front is the current largest (smallest).
    int32_t maxFront_ = NoRead;
    int32_t maxBack_ = NoRead;
    int32_t minFront_ = NoRead;
    int32_t minBack_ = NoRead;
};

} // namespace corvane
