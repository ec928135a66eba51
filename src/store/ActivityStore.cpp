#include "store/ActivityStore.h"

#include <sys/mman.h>

#include <cstdio>
#include <new>

#include "util/TextBuffer.h"
#include "util/untConst.h"

#if defined(__SANITIZE_ADDRESS__)
#define CORVANE_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define CORVANE_LEAK_CHECKED 1
#endif
#endif
#ifdef CORVANE_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>
#endif

namespace corvane {

namespace {

int32_t CompareSensorRecords(const void* a, const void* b) {
    return CompareSerNo(static_cast<const TSensor*>(a)->SerNo,
                        static_cast<const TSensor*>(b)->SerNo);
}

int32_t CompareSerNoKey(const void* key, const void* record) {
    return CompareSerNo(*static_cast<const int64_t*>(key),
                        static_cast<const TSensor*>(record)->SerNo);
}

void ResetCursor(TRecentCursor& cursor) {
    cursor = TRecentCursor{};
}

// Links read n as the newest of a chain given by its owner's ends and the reads' two links.
template <typename NewerOf, typename OlderOf>
void LinkNewest(std::array<TRead, MaxReads>& reads, int32_t& newest, int32_t& oldest, int32_t n,
                NewerOf newerOf, OlderOf olderOf) {
    if (newest != NoRead)
        newerOf(reads[newest]) = n;
    olderOf(reads[n]) = newest;
    newerOf(reads[n]) = NoRead;
    newest = n;
    if (oldest == NoRead)
        oldest = n;
}

template <typename NewerOf, typename OlderOf>
void Unlink(std::array<TRead, MaxReads>& reads, int32_t& newest, int32_t& oldest, int32_t i,
            NewerOf newerOf, OlderOf olderOf) {
    TRead& r = reads[i];
    if (oldest == i)
        oldest = newerOf(r);
    if (newest == i)
        newest = olderOf(r);
    if (olderOf(r) != NoRead)
        newerOf(reads[olderOf(r)]) = newerOf(r);
    if (newerOf(r) != NoRead)
        olderOf(reads[newerOf(r)]) = olderOf(r);
}

// A cursor counts the reads from First to the chain's newest: a new newest read joins a
// non-empty count, and the removal of its first read moves First one read newer.
void CursorUnlinked(TRecentCursor& cursor, int32_t i, int32_t newer) {
    if (cursor.First == i) {
        cursor.First = newer;
        --cursor.Count;
    }
}

void CursorLinked(TRecentCursor& cursor) {
    if (cursor.First != NoRead)
        ++cursor.Count;
}

auto EntryNewerOf = [](TRead& r) -> int32_t& { return r.EntryNewer; };
auto EntryOlderOf = [](TRead& r) -> int32_t& { return r.EntryOlder; };
auto RepeatNewerOf = [](TRead& r) -> int32_t& { return r.RepeatNewer; };
auto RepeatOlderOf = [](TRead& r) -> int32_t& { return r.RepeatOlder; };
auto SensorNewerOf = [](TRead& r) -> int32_t& { return r.SensorNewer; };
auto SensorOlderOf = [](TRead& r) -> int32_t& { return r.SensorOlder; };

} // namespace

TStore::TStore(const TClock& clock, const TViews& views)
    : clock_(clock), views_(views), Alerts(*this, views.Shell) {
    for (int i = 0; i + 1 < MaxSensors; ++i)
        NdSerNo[i].Right = &NdSerNo[i + 1];
    SerNoTree.SetPool(&NdSerNo[0]);
    SerNoTree.CompareDD = CompareSensorRecords;
    SerNoTree.CompareKD = CompareSerNoKey;
    serNoIndex_.fill(NoRow);
}

std::unique_ptr<TStore> TStore::Create(const TClock& clock, const TViews& views) {
    return std::make_unique<TStore>(clock, views);
}

// Mapped rather than taken from the heap, whose memory may hold what an earlier owner left: a
// fresh mapping is zero, and its pages cost nothing until they are touched. The leak checker
// of the sanitizer builds does not look into mappings of the program's own: the store is made
// one of the places it looks, or what the store's texts hold would count as lost.
void* TStore::operator new(size_t size) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
#ifdef CORVANE_LEAK_CHECKED
    __lsan_register_root_region(p, size);
#endif
    return p;
}

void TStore::operator delete(void* p, size_t size) {
#ifdef CORVANE_LEAK_CHECKED
    __lsan_unregister_root_region(p, size);
#endif
    ::munmap(p, size);
}

uint8_t TStore::FindEntry(uint8_t id) const {
    for (uint8_t i = 0; i < EntryCount; ++i)
        if (Entries[i].Id == id)
            return i;
    return NoIndex;
}

uint8_t TStore::AddEntry(uint8_t id) {
    if (EntryCount >= MaxEntries || FindEntry(id) != NoIndex)
        return NoIndex;
    const uint8_t i = EntryCount;
    TEntry& e = Entries[i];
    e.Id = id;
    char name[16];
    const int n = std::snprintf(name, sizeof name, "Name%d", i + 1);
    e.Name.Assign(std::string_view(name, static_cast<size_t>(n)));
    e.Newest = e.Oldest = NoRead;
    Alerts.SetEntryLabel(i, e.Name.View());
    ResetCursor(e.Recent5);
    ResetCursor(e.Recent10);
    ++EntryCount;
    return i;
}

uint8_t TStore::FindRepeat(char id) const {
    for (uint8_t i = 0; i < RepeatCount; ++i)
        if (Repeats[i].Id == id)
            return i;
    return NoIndex;
}

uint8_t TStore::AddRepeat(char id) {
    if (RepeatCount >= MaxRepeats || FindRepeat(id) != NoIndex)
        return NoIndex;
    const uint8_t i = RepeatCount;
    TRepeat& r = Repeats[i];
    r.Id = id;
    r.Newest = r.Oldest = NoRead;
    repeatSoleEntry_[i] = {};
    ResetCursor(r.Recent5);
    ResetCursor(r.Recent10);
    ++RepeatCount;
    return i;
}

// Serial numbers of a network often come in order, which leaves the unbalanced tree a list; the
// rows are looked up through a hash index instead, and the tree keeps them in order.
size_t TStore::SerNoSlot(int64_t serNo) {
    return static_cast<size_t>((static_cast<uint64_t>(serNo) * 0x9E3779B97F4A7C15ull) >>
                               (64 - SerNoIndexBits));
}

uint16_t TStore::FindSensor(int64_t serNo) const {
    for (size_t i = SerNoSlot(serNo);; i = (i + 1) & (serNoIndex_.size() - 1)) {
        const uint16_t row = serNoIndex_[i];
        if (row == NoRow || Sensors[row].SerNo == serNo)
            return row;
    }
}

uint16_t TStore::AddSensor(uint8_t kind, int64_t serNo) {
    if (SensorCount >= MaxSensors || FindSensor(serNo) != NoRow)
        return NoRow;
    const uint16_t row = SensorCount;
    TSensor& s = Sensors[row];
    s.SerNo = serNo;
    s.Name.Assign({});
    s.Kind = kind;
    s.Marked = 0;
    ResetStats(s.Stats);
    s.Newest = s.Oldest = NoRead;
    s.EntrySlotCount = 0;
    s.RepeatSlotCount = 0;
    soleRepeat_[row] = {};
    soleEntry_[row] = {};
    healthStale_[row] = true;
    ResetKept(row);
    if (!SerNoTree.Add(&s))
        return NoRow;
    size_t i = SerNoSlot(serNo);
    while (serNoIndex_[i] != NoRow)
        i = (i + 1) & (serNoIndex_.size() - 1);
    serNoIndex_[i] = row;
    ++SensorCount;
    return row;
}

void TStore::InsertRead(uint8_t entry, uint8_t repeat, uint16_t crc, uint16_t row) {
    const TDateTime now = clock_.Now();
    const bool clockWentBack = ReadCount > 0 && now < Reads[ReadHead].Time;
    if (ReadCount == 0) {
        ReadHead = 0;
    } else {
        ReadHead = (ReadHead + 1) % MaxReads;
        if (ReadHead == ReadTail) {
            const TRead& evicted = Reads[ReadTail];
            UnlinkOldest();
            RefreshSensor(evicted.Sensor, evicted.Repeat, evicted.Entry);
            ReadTail = (ReadTail + 1) % MaxReads;
        }
    }
    // Until the read before this one has left the ring, chains are not in time order.
    if (clockWentBack && disorderedReads_ < ReadCount)
        disorderedReads_ = ReadCount;

    const int32_t n = ReadHead;
    TRead& r = Reads[n];
    r.Time = now;
    r.Wall = clock_.WallNow();
    r.Crc = crc;
    r.Entry = entry;
    r.Repeat = repeat;
    r.Sensor = row;
    LinkRead(n, entry, repeat, row);
    CountSlots(n, entry, repeat, row);
    KeepRead(n);
    ++ReadCount;
    views_.List.ReadCountChanged(ReadCount);
    Alerts.OnRead(row, repeat, entry, now);
}

void TStore::LinkRead(int32_t n, uint8_t entry, uint8_t repeat, uint16_t row) {
    TRead& r = Reads[n];
    if (entry == NoIndex) {
        r.EntryNewer = r.EntryOlder = NoRead;
    } else {
        TEntry& e = Entries[entry];
        LinkNewest(Reads, e.Newest, e.Oldest, n, EntryNewerOf, EntryOlderOf);
        CursorLinked(e.Recent5);
        CursorLinked(e.Recent10);
    }
    if (repeat == NoIndex) {
        r.RepeatNewer = r.RepeatOlder = NoRead;
    } else {
        TRepeat& p = Repeats[repeat];
        LinkNewest(Reads, p.Newest, p.Oldest, n, RepeatNewerOf, RepeatOlderOf);
        CursorLinked(p.Recent5);
        CursorLinked(p.Recent10);
    }
    TSensor& s = Sensors[row];
    LinkNewest(Reads, s.Newest, s.Oldest, n, SensorNewerOf, SensorOlderOf);
    healthStale_[row] = true;
    JoinSoleRoutes(r);
}

void TStore::CountSlots(int32_t n, uint8_t entry, uint8_t repeat, uint16_t row) {
    TSensor& s = Sensors[row];
    const TRead& r = Reads[n];
    if (entry != NoIndex) {
        const TEntry& e = Entries[entry];
        uint8_t k = FindSlot(e.Id, s.EntrySlotIds, s.EntrySlotCount);
        if (k == NoIndex) {
            if (s.EntrySlotCount >= EntrySlotMax) {
                LogOutOfSpace(entrySpaceRefused_, s.SerNo, " out of Entry space");
            } else {
                k = s.EntrySlotCount++;
                s.EntrySlotIds[k] = e.Id;
                s.EntrySlots[k].Count = 0;
                views_.Tree.SlotAdded(*this, row, TOwnerKind::Entry, entry);
            }
        }
        if (k != NoIndex) {
            ++s.EntrySlots[k].Count;
            s.EntrySlots[k].LastTime = r.Time;
            ++entryTotals_[e.Id];
        }
    }
    if (repeat != NoIndex) {
        const TRepeat& p = Repeats[repeat];
        uint8_t k = FindSlot(p.Id, s.RepeatSlotIds, s.RepeatSlotCount);
        if (k == NoIndex) {
            if (s.RepeatSlotCount >= RepeatSlotMax) {
                LogOutOfSpace(repeatSpaceRefused_, s.SerNo, " out of Repeat space");
            } else {
                k = s.RepeatSlotCount++;
                s.RepeatSlotIds[k] = p.Id;
                s.RepeatSlots[k].Count = 0;
                views_.Tree.SlotAdded(*this, row, TOwnerKind::Repeat, repeat);
            }
        }
        if (k != NoIndex) {
            ++s.RepeatSlots[k].Count;
            s.RepeatSlots[k].LastTime = r.Time;
            ++repeatTotals_[static_cast<unsigned char>(p.Id)];
        }
    }
}

void TStore::LogOutOfSpace(TRateLimitedMessage& message, int64_t serNo, std::string_view what) {
    TTextBuffer<64> text;
    text.Append("Sensor: ").AppendInt(serNo).Append(what);
    if (std::string_view line = message.Occur(clock_, text.View()); !line.empty())
        views_.Shell.AddLogLine(line);
}

void TStore::UnlinkRead(int32_t i) {
    ForgetRead(i);
    TRead& r = Reads[i];
    TSensor& s = Sensors[r.Sensor];
    Unlink(Reads, s.Newest, s.Oldest, i, SensorNewerOf, SensorOlderOf);
    healthStale_[r.Sensor] = true;
    if (r.Repeat != NoIndex) {
        TRepeat& p = Repeats[r.Repeat];
        CursorUnlinked(p.Recent5, i, r.RepeatNewer);
        CursorUnlinked(p.Recent10, i, r.RepeatNewer);
        Unlink(Reads, p.Newest, p.Oldest, i, RepeatNewerOf, RepeatOlderOf);
    }
    if (r.Entry != NoIndex) {
        TEntry& e = Entries[r.Entry];
        CursorUnlinked(e.Recent5, i, r.EntryNewer);
        CursorUnlinked(e.Recent10, i, r.EntryNewer);
        Unlink(Reads, e.Newest, e.Oldest, i, EntryNewerOf, EntryOlderOf);
    }
    LeaveSoleRoutes(r);
    --ReadCount;
    views_.List.ReadCountChanged(ReadCount);
}

void TStore::UnlinkOldest() {
    UnlinkRead(ReadTail);
    if (disorderedReads_ > 0)
        --disorderedReads_;
}

void TStore::ClearStore() {
    ReadCount = ReadHead = ReadTail = 0;
    EntryCount = RepeatCount = 0;
    SensorCount = 0;
    SerNoTree.Clear();
    serNoIndex_.fill(NoRow);
    entryTotals_.fill(0);
    repeatTotals_.fill(0);
    disorderedReads_ = 0;
    ResetSoleRoutes();
    keptStale_ = true; // the rows are made again; the rule is read again with them
    Alerts.Clear();
}

std::string_view TStore::SensorLabel(uint16_t row, char (&buffer)[NameMax + 1]) const {
    const TSensor& s = Sensors[row];
    if (!s.Name.Empty())
        return s.Name.View();
    SerialToHex(s.SerNo, buffer);
    return std::string_view(buffer, 16);
}

} // namespace corvane
