// The store's tables with the operations that change them: reads in and out of the ring and
// their chains, statistics, and the expiry and ageing tick.
#pragma once

#include <memory>

#include "store/Alerts.h"
#include "store/KeptStats.h"
#include "store/Listener.h"
#include "store/SoleRoute.h"
#include "store/Store.h"
#include "util/RateLimitedMessage.h"

namespace corvane {

// The duplicate rule and the ageing weights, read once at start-up.
struct TStoreSettings {
    int32_t DuplicateTimeSec = 9;
    bool DuplicateCRCCheck = false;
    int32_t Points2Average = 10;
    int32_t MaxAge = 10800;
};

// Whole seconds from earlier to later, rounded half up; 2147483647 when out of range.
int32_t SecondsDiff(TDateTime earlier, TDateTime later);
void ResetStats(TStats& stats);
float MeanGap(const uint16_t* buffer, int n);

// A sensor's reception health over its held reads, always what a walk of its chain gives.
struct THealth {
    // Estimated share of packets that never arrived, in tenths of a percent, rounded half up;
    // -1 with fewer than three counted reads (or no gap to measure by).
    int32_t LossTenths = -1;
    // Distinct (entry point, repeater) pairs its reads came through.
    int32_t Routes = 0;
};

class TStore {
public:
    TStore(const TClock& clock, const TViews& views);
    TStore(const TStore&) = delete;
    TStore& operator=(const TStore&) = delete;

    // Made on the heap once: the tables are several megabytes.
    static std::unique_ptr<TStore> Create(const TClock& clock, const TViews& views);
    // Its memory comes straight from the system, zeroed and not yet touched (see Reads).
    static void* operator new(size_t size);
    static void operator delete(void* p, size_t size);

    TStoreSettings Settings;

    std::array<TEntry, MaxEntries> Entries{};
    uint8_t EntryCount = 0;
    std::array<TRepeat, MaxRepeats> Repeats{};
    uint8_t RepeatCount = 0;
    std::array<TSensor, MaxSensors> Sensors{};
    uint16_t SensorCount = 0;
    std::array<TTreeRec, MaxSensors> NdSerNo{};
    TTree SerNoTree;
    // The ring, like the other per-read tables below, starts as the zeroes the system hands
    // the store's memory over with, and is not cleared again when the store is made: its
    // megabytes are touched only as reads come, and a fresh program starts that much sooner
    // (first touching them cost 50 to 70 ms on a virtual machine).
    std::array<TRead, MaxReads> Reads;
    int32_t ReadCount = 0;
    int32_t ReadHead = 0;
    int32_t ReadTail = 0;

    const TClock& Clock() const { return clock_; }
    const TViews& Views() const { return views_; }

    // Records taken into use by registration.
    uint8_t FindEntry(uint8_t id) const;             // index or 255
    uint8_t AddEntry(uint8_t id);                    // new index or 255 when refused
    uint8_t FindRepeat(char id) const;               // index or 255
    uint8_t AddRepeat(char id);                      // new index or 255 when refused
    uint16_t FindSensor(int64_t serNo) const;        // row or 0xFFFF
    uint16_t AddSensor(uint8_t kind, int64_t serNo); // new row or 0xFFFF when refused
    // Takes back the record made last (registration refusing a packet after making it).
    void TakeBackEntry() { --EntryCount; }
    void TakeBackRepeat() { --RepeatCount; }

    void InsertRead(uint8_t entry, uint8_t repeat, uint16_t crc, uint16_t row);
    void UnlinkRead(int32_t index);
    void ClearStore();

    bool IsDuplicate(int32_t older, int32_t newer) const;
    // Fills the sensor's own statistics and the two restricted to one repeater and one entry point.
    void ComputeStats(uint16_t row, uint8_t repeat, uint8_t entry, TStats& viaRepeat,
                      TStats& viaEntry);
    // The same figures from what is kept read by read, at a cost independent of the chain's
    // length; through a repeater or entry point only where the sensor has a slot for it (else
    // empty), as only those are shown.
    void KeptStats(uint16_t row, uint8_t repeat, uint8_t entry, TStats& viaRepeat,
                   TStats& viaEntry);
    // Refreshes walk the chains instead of using the kept figures: the reference they are
    // checked against.
    bool RecomputeFromChains = false;
    void RefreshSensor(uint16_t row, uint8_t repeat, uint8_t entry);

    // One tick of the expiry timer: expires reads older than MaxAge and ages the sensor list.
    void ExpireTick();

    // Reads of an entry point's or repeater's chain met, from its newest, before the first read
    // older than the given number of minutes: the "Last 5/10 min. Count" figures.
    int32_t RecentCount(TOwnerKind kind, uint8_t index, int minutes, TDateTime now);
    // Lifetime reads through an entry point or repeater, summed over the sensors' slots.
    int64_t TotalCount(TOwnerKind kind, uint8_t index) const;

    // Loss and routes of a sensor, computed from its chain when it changed since last asked.
    const THealth& Health(uint16_t row) const;
    // "Loss %" with one decimal (empty without a figure) and "Routes" texts.
    std::string_view LossText(uint16_t row, char (&buffer)[16]) const;
    std::string_view RoutesText(uint16_t row, char (&buffer)[16]) const;

    // What a sensor's or a repeater's held reads all came through (see TSoleRoute): the
    // repeater or entry point index, 255 when they came through more than one, or none.
    uint8_t SoleRepeat(uint16_t row) const { return soleRepeat_[row].Sole(); }
    uint8_t SoleEntry(uint16_t row) const { return soleEntry_[row].Sole(); }
    uint8_t RepeatSoleEntry(uint8_t repeat) const { return repeatSoleEntry_[repeat].Sole(); }

    // The sensor's label: its name, else its serial number in 16 hexadecimal digits.
    std::string_view SensorLabel(uint16_t row, char (&buffer)[NameMax + 1]) const;

private:
    friend struct TStoreProbe; // tests: sets counts that take days of reads to reach
    void LinkRead(int32_t n, uint8_t entry, uint8_t repeat, uint16_t row);
    void CountSlots(int32_t n, uint8_t entry, uint8_t repeat, uint16_t row);
    // Unlinks the ring's oldest read and counts it out of the disordered reads; the caller
    // refreshes its sensor and moves the tail.
    void UnlinkOldest();
    void LogOutOfSpace(TRateLimitedMessage& message, int64_t serNo, std::string_view what);
    void RefreshOwner(TOwnerKind kind, uint8_t index);
    void AgeRows(TDateTime now);

    void ComputeHealth(uint16_t row, THealth& health) const;

    void JoinSoleRoutes(const TRead& r);
    void LeaveSoleRoutes(const TRead& r); // after the read is unlinked
    void ResetSoleRoutes();

    static size_t SerNoSlot(int64_t serNo);

    void ResetKept(uint16_t row);
    void KeepRead(int32_t n);   // the new newest read joins its sequences
    void ForgetRead(int32_t i); // the ring's oldest read leaves them, before it is unlinked
    void RebuildKept();

    const TClock& clock_;
    TViews views_;

public:
    // Silence alerts over the records above; judged on each read and each expiry tick.
    TAlerts Alerts;

private:
    // Health figures are kept until the sensor's chain changes; the gap buffer is the scratch
    // space of their computation, so that none is allocated.
    mutable std::array<THealth, MaxSensors> health_{};
    mutable std::array<bool, MaxSensors> healthStale_{};
    mutable std::array<int32_t, MaxReads> gapScratch_; // zeroed as Reads is
    // Lifetime counts through each entry number and repeater character since the last clear.
    // 64 bits: a flooding receiver passes 2^31 reads through one entry point within a day.
    std::array<int64_t, 256> entryTotals_{};
    std::array<int64_t, 256> repeatTotals_{};
    // While the clock has gone back, reads are not in time order in their chains and recent
    // counts are taken by walking; this many removals make the ring ordered again.
    int32_t disorderedReads_ = 0;
    // Every read of a sensor through one more entry point or repeater than it has slots for is
    // refused a slot: said once, then at most once a minute for all sensors together.
    TRateLimitedMessage entrySpaceRefused_;
    TRateLimitedMessage repeatSpaceRefused_;

    std::array<TSoleRoute, MaxSensors> soleRepeat_{};
    std::array<TSoleRoute, MaxSensors> soleEntry_{};
    std::array<TSoleRoute, MaxRepeats> repeatSoleEntry_{};

    // Rows by serial number, open addressing over twice as many slots as rows; NoRow = empty.
    static constexpr int SerNoIndexBits = 12;
    std::array<uint16_t, size_t{1} << SerNoIndexBits> serNoIndex_{};

    // The kept figures: one sequence per sensor and per sensor slot, and per read what each of
    // its three sequences keeps about it (per read: zeroed as Reads is).
    std::array<TKeptRead, MaxReads> keptOwn_;
    std::array<TKeptRead, MaxReads> keptEntry_;
    std::array<TKeptRead, MaxReads> keptRepeat_;
    std::array<TKeptSeq, MaxSensors> ownSeq_{};
    std::array<std::array<TKeptSeq, EntrySlotMax>, MaxSensors> entrySeq_{};
    std::array<std::array<TKeptSeq, RepeatSlotMax>, MaxSensors> repeatSeq_{};
    // Made again from the chains at the next refresh: a read other than the ring's oldest was
    // unlinked, or the duplicate rule is no longer the one the marks were judged by.
    bool keptStale_ = false;
    int32_t keptTimeSec_ = 9;
    bool keptCrcCheck_ = false;
};

} // namespace corvane
