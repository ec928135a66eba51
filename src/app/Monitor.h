// The packet intake and the state that ties the store to the window: decoding, registration, the
// entry filter and names, the log files. Qt-free, so the whole road of a line can be tested.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/PacketLine.h"
#include "store/ActivityStore.h"
#include "store/ReadObserver.h"
#include "util/RateLimitedMessage.h"

namespace corvane {

class TConn;
struct TRunSettings;
class TLogCorv;

// The clock the monitor and its store go by: the given clock, except while a stored read is
// registered again, when it stands at that read's own moment.
class TReplayClock final : public TClock {
public:
    explicit TReplayClock(const TClock& base) : base_(base) {}
    TDateTime Now() const override { return replaying_ ? time_ : base_.Now(); }
    TDateTime WallNow() const override { return replaying_ ? wall_ : base_.WallNow(); }
    TDateTime ToLocal(TDateTime wall) const override { return base_.ToLocal(wall); }
    void Set(TDateTime time, TDateTime wall) {
        time_ = time;
        wall_ = wall;
        replaying_ = true;
    }
    void Release() { replaying_ = false; }
    bool Replaying() const { return replaying_; }

private:
    const TClock& base_;
    bool replaying_ = false;
    TDateTime time_ = 0;
    TDateTime wall_ = 0;
};

class TMonitor {
public:
    TMonitor(const TClock& clock, const TViews& views);

    TStore& Store() { return *store_; }
    const TStore& Store() const { return *store_; }
    const TClock& Clock() const { return clock_; }
    const TViews& Views() const { return views_; }

    bool LogPackets = false;
    std::string PacketLogPath;
    std::string StatsLogPath; // empty: no statistics log this run
    std::string EntryFilter;  // empty: every entry point
    // Sorted, letter case ignored for uniqueness; the first spelling stays. Names are cut as
    // stored names are, and the list is bounded: a receiver inventing names must not fill memory.
    static constexpr size_t MaxEntryNames = 1024;
    std::vector<std::string> EntryNames;
    // Who hears of every registered read (publishing, recording, an open history window), in
    // the order added; fixed room, so that the intake never allocates for them.
    static constexpr int MaxReadObservers = 4;
    bool AddReadObserver(TReadObserver* observer);
    // Hears of every line from a connection before it is checked; may be null.
    TLineObserver* LineObserver = nullptr;
    void RemoveReadObserver(TReadObserver* observer);

    // A line from a connection: true when it carried a packet that passed every check.
    bool ParsePacketLine(TConn* conn, std::string_view line);
    void RegisterPacket(const TDecodedPacket& packet);
    // Registers a read kept from an earlier run at its own moment (time on this run's time
    // line, wall the wall clock's instant), as the intake did then; no observer hears of it.
    void Replay(const TDecodedPacket& packet, TDateTime time, TDateTime wall);
    // Forgets every sensor, read, entry point and repeater; the views are emptied by the window.
    void ClearAll();
    // The tuning read at start-up: the store's rules, the alerts and the packet log switch.
    void ApplySettings(const TRunSettings& run);
    // One tick of the statistics log timer.
    void LogTick();
    void ExpireTick() { store_->ExpireTick(); }

private:
    void AddEntryName(std::string_view name);
    void AddOwnerNode(TOwnerKind kind, uint8_t index);
    void MakeSensorRow(uint16_t row);
    // Opens this run's log for one write (see the .cpp); result as TLogCorv::Open.
    int OpenRunLog(TLogCorv& log, std::string& path, bool& created, const char* header,
                   std::string_view what);
    // Writes the message's line, when it has one for this occurrence.
    void Say(TRateLimitedMessage& message, std::string_view text);

    TReplayClock replay_;
    const TClock& clock_; // replay_
    TViews views_;
    std::array<TReadObserver*, MaxReadObservers> observers_{};
    int observerCount_ = 0;
    std::unique_ptr<TStore> store_;
    TPacketDecoder decoder_;
    TDecodedPacket decoded_;
    bool entryNamesFullReported_ = false;
    // A receiver can send what the store refuses with every packet: each refusal is said once
    // and then at most once a minute.
    TRateLimitedMessage entryRefused_;
    TRateLimitedMessage repeatRefused_;
    TRateLimitedMessage sensorRefused_;
    bool packetLogCreated_ = false; // this run's first write has made its file
    bool statsLogCreated_ = false;
};

} // namespace corvane
