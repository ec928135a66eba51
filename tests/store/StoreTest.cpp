#include "support/StoreFixture.h"
#include "util/untConst.h"

namespace corvane {
// Sets the lifetime totals that only days of reads would reach.
struct TStoreProbe {
    static void SetTotals(TStore& s, uint8_t entryId, char repeatId, int64_t n) {
        s.entryTotals_[entryId] = n;
        s.repeatTotals_[static_cast<unsigned char>(repeatId)] = n;
    }
};
} // namespace corvane

namespace corvane::testing {
namespace {

using RingTest = StoreFixture;

TEST_F(RingTest, FullRingEvictsOldestAndRefreshesItsSensorFirst) {
    const uint16_t a = Sensor(1);
    const uint16_t b = Sensor(2);
    Read(a);
    for (int i = 1; i < MaxReads; ++i)
        store->InsertRead(NoIndex, NoIndex, 0, b);
    ASSERT_EQ(store->ReadCount, MaxReads);
    EXPECT_EQ(store->ReadHead, MaxReads - 1);
    EXPECT_EQ(StatsOf(a).Count, 1);

    const int updatesBefore = views.Updates;
    Read(b); // the 80001st read
    EXPECT_EQ(store->ReadCount, MaxReads);
    EXPECT_EQ(store->ReadTail, 1);
    EXPECT_EQ(store->ReadHead, 0); // wrapped from 79999
    EXPECT_EQ(StatsOf(a).Count, 0);
    EXPECT_EQ(store->Sensors[a].Newest, NoRead);
    EXPECT_EQ(views.Rows[a].Count, "0");
    EXPECT_GE(views.Updates - updatesBefore, 2); // evicted sensor refreshed, then the new one
    EXPECT_EQ(views.Captions[2], "Count (80000)");
    EXPECT_EQ(CheckInvariants(*store), "");
}

TEST_F(RingTest, ReadsWithoutEntryOrRepeaterTouchNoOwnerChain) {
    const uint8_t e = Entry(7);
    const uint8_t r = Repeat('q');
    const uint16_t s = Sensor(9);
    Read(s, e, r);
    Read(s);
    EXPECT_EQ(store->Entries[e].Newest, 0);
    EXPECT_EQ(store->Repeats[r].Newest, 0);
    EXPECT_EQ(store->Reads[1].EntryOlder, NoRead);
    EXPECT_EQ(store->Reads[1].RepeatNewer, NoRead);
    EXPECT_EQ(store->Reads[0].EntryNewer, NoRead);
    store->UnlinkRead(0);
    store->ReadTail = 1;
    EXPECT_EQ(store->Entries[e].Newest, NoRead);
    EXPECT_EQ(store->Entries[e].Oldest, NoRead);
    EXPECT_EQ(store->Sensors[s].Oldest, 1);
    EXPECT_EQ(store->Reads[1].SensorOlder, NoRead);
    EXPECT_EQ(CheckInvariants(*store), "");
}

TEST_F(RingTest, OnlyReadUnlinkedLeavesEmptyChain) {
    const uint16_t s = Sensor(3);
    Read(s);
    store->UnlinkRead(0);
    EXPECT_EQ(store->Sensors[s].Newest, NoRead);
    EXPECT_EQ(store->Sensors[s].Oldest, NoRead);
    EXPECT_EQ(store->ReadCount, 0);
    EXPECT_EQ(views.Captions[2], "Count (0)");
}

TEST_F(RingTest, SlotsAreMadeInOrderOfFirstHearingAndLimited) {
    const uint16_t s = Sensor(-5);
    for (uint8_t id = 1; id <= 5; ++id)
        Read(s, Entry(id));
    Read(s, Entry(5));
    const TSensor& t = store->Sensors[s];
    EXPECT_EQ(t.EntrySlotCount, 4);
    EXPECT_EQ(t.EntrySlotIds[0], 1);
    EXPECT_EQ(t.EntrySlotIds[3], 4);
    const auto& slotNodes = views.SlotNodes[std::make_pair(s, int(TOwnerKind::Entry))];
    ASSERT_EQ(slotNodes.size(), 4u);
    EXPECT_EQ(slotNodes[0], "Name1");
    // Said once; a second refusal within the minute is only counted.
    EXPECT_EQ(std::count(views.Log.begin(), views.Log.end(), "Sensor: -5 out of Entry space"), 1);
    EXPECT_EQ(store->ReadCount, 6); // the reads are still stored and chained

    for (int i = 0; i < 17; ++i)
        Read(s, NoIndex, Repeat(RepeaterChars[i]));
    EXPECT_EQ(t.RepeatSlotCount, 16);
    EXPECT_EQ(views.Log.back(), "Sensor: -5 out of Repeat space");
    EXPECT_EQ(CheckInvariants(*store), "");
}

// Every read through a route a sensor has no slot left for is refused one; the line says so once
// a minute for all sensors together.
TEST_F(RingTest, RefusedSlotsAreSaidOnceAMinute) {
    clock.Set(EncodeDateTime(2025, 7, 8, 6, 30, 45));
    for (int serNo = 1; serNo <= 50; ++serNo) {
        const uint16_t s = Sensor(serNo);
        for (int i = 0; i <= RepeatSlotMax; ++i)
            Read(s, NoIndex, Repeat(RepeaterChars[i]));
    }
    EXPECT_EQ(views.Log, std::vector<std::string>{"Sensor: 1 out of Repeat space"});
    clock.AdvanceSeconds(60);
    Read(Sensor(7), NoIndex, Repeat(RepeaterChars[20]));
    EXPECT_EQ(views.Log.back(), "Sensor: 7 out of Repeat space (49 more refused since 06:30:45)");
    EXPECT_EQ(store->Sensors[Sensor(7)].RepeatSlots[0].Count, 1); // the reads are kept
    EXPECT_EQ(store->ReadCount, 50 * (RepeatSlotMax + 1) + 1);
}

TEST_F(RingTest, ClearForgetsEverythingAndStartsAtIndexZero) {
    for (int i = 0; i < 10; ++i)
        Read(Sensor(i), Entry(1), Repeat('a'));
    store->ClearStore();
    EXPECT_EQ(store->SensorCount, 0);
    EXPECT_EQ(store->EntryCount, 0);
    EXPECT_EQ(store->RepeatCount, 0);
    EXPECT_EQ(store->SerNoTree.Count, 0);
    EXPECT_EQ(store->SerNoTree.FreeCount, MaxSensors);
    EXPECT_EQ(store->FindSensor(3), NoRow);
    const uint16_t s = Sensor(42);
    EXPECT_EQ(s, 0);
    Read(s, Entry(1));
    EXPECT_EQ(store->ReadHead, 0);
    EXPECT_EQ(store->TotalCount(TOwnerKind::Entry, 0), 1); // totals restart with the store
    EXPECT_EQ(CheckInvariants(*store), "");
}

TEST_F(RingTest, LifetimeTotalsPassTheSigned32BitLimit) {
    const uint8_t e = Entry(4);
    const uint8_t r = Repeat('k');
    const uint16_t s = Sensor(5);
    Read(s, e, r);
    TStoreProbe::SetTotals(*store, 4, 'k', INT32_MAX - 1);
    Read(s, e, r);
    EXPECT_EQ(store->TotalCount(TOwnerKind::Entry, e), INT32_MAX);
    Read(s, e, r);
    EXPECT_EQ(store->TotalCount(TOwnerKind::Entry, e), 2147483648LL);
    EXPECT_EQ(store->TotalCount(TOwnerKind::Repeat, r), 2147483648LL);
    const auto& lines = views.Activity[std::make_pair(int(TOwnerKind::Entry), int(e))];
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], "Total Count: 2147483648");
    const auto& repeater = views.Activity[std::make_pair(int(TOwnerKind::Repeat), int(r))];
    EXPECT_EQ(repeater[3], "Total Count: 2147483648");
}

TEST_F(RingTest, TablesRefuseBeyondTheirLimits) {
    for (int i = 0; i < MaxEntries; ++i)
        EXPECT_EQ(store->AddEntry(static_cast<uint8_t>(i)), i);
    EXPECT_EQ(store->AddEntry(200), NoIndex);
    EXPECT_EQ(store->AddEntry(3), NoIndex);
    for (int i = 0; i < MaxRepeats; ++i)
        EXPECT_NE(store->AddRepeat(static_cast<char>(i + 1)), NoIndex);
    EXPECT_EQ(store->AddRepeat('a'), NoIndex);
    for (int i = 0; i < MaxSensors; ++i)
        ASSERT_EQ(store->AddSensor(1, i * 977LL - 5000), i);
    EXPECT_EQ(store->AddSensor(1, 123456789), NoRow);
    EXPECT_EQ(store->FindSensor(977 * 1999LL - 5000), 1999);
    EXPECT_EQ(store->Entries[0].Name.View(), "Name1");
    EXPECT_EQ(store->Entries[31].Name.View(), "Name32");
}

} // namespace
} // namespace corvane::testing
