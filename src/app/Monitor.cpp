#include "app/Monitor.h"

#include <algorithm>

#include "app/AppIni.h"
#include "conn/Conn.h"
#include "output/LogCorv.h"
#include "util/TextBuffer.h"
#include "util/untConst.h"
#include "util/untUtils.h"

namespace corvane {

TMonitor::TMonitor(const TClock& clock, const TViews& views)
    : replay_(clock), clock_(replay_), views_(views), store_(TStore::Create(replay_, views)) {}

void TMonitor::Replay(const TDecodedPacket& packet, TDateTime time, TDateTime wall) {
    replay_.Set(time, wall);
    RegisterPacket(packet);
    replay_.Release();
}

bool TMonitor::ParsePacketLine(TConn* conn, std::string_view line) {
    if (LineObserver && conn && !conn->Relayed)
        LineObserver->OnLine(conn->GetLinkName(), line, clock_.WallNow());
    if (!decoder_.Decode(line, conn, decoded_)) {
        if (conn != nullptr)
            conn->CountLine(decoder_.Rejection());
        return false;
    }
    if (conn != nullptr)
        conn->CountLine(TLineFate::Passed);
    if (LogPackets) {
        TLogCorv log;
        if (OpenRunLog(log, PacketLogPath, packetLogCreated_, PacketLogHeader, "Packet log") > 0)
            WritePacketLine(log, line, clock_.LocalNow());
    }
    RegisterPacket(decoded_);
    return true;
}

void TMonitor::AddEntryName(std::string_view name) {
    name = name.substr(0, NameMax);
    auto less = [](const std::string& a, std::string_view b) { return CompareNoCase(a, b) < 0; };
    auto at = std::lower_bound(EntryNames.begin(), EntryNames.end(), name, less);
    if (at != EntryNames.end() && CompareNoCase(*at, name) == 0)
        return;
    if (EntryNames.size() >= MaxEntryNames) {
        if (!entryNamesFullReported_)
            views_.Shell.AddLogLine("Entry name list is full (1024 names)");
        entryNamesFullReported_ = true;
        return;
    }
    EntryNames.insert(at, std::string(name));
    if (EntryNames.size() >= 2)
        views_.Shell.EnableByEntry();
}

void TMonitor::RegisterPacket(const TDecodedPacket& p) {
    // The filter was picked from the names as stored, so it is compared with the cut name.
    if (!EntryFilter.empty() && EntryFilter != p.EntryName.substr(0, NameMax))
        return;
    TStore& st = *store_;

    uint8_t entry = NoIndex;
    bool newEntry = false;
    if (p.EntryId != NoIndex) {
        entry = st.FindEntry(p.EntryId);
        if (entry == NoIndex) {
            entry = st.AddEntry(p.EntryId);
            if (entry == NoIndex) {
                Say(entryRefused_, "Unable to add entry");
                return;
            }
            newEntry = true;
        }
        if (!p.EntryName.empty()) {
            st.Entries[entry].Name.Assign(p.EntryName);
            AddEntryName(p.EntryName);
        }
    }

    uint8_t repeat = NoIndex;
    bool newRepeat = false;
    if (IsRepeaterChar(p.RepeaterId)) {
        repeat = st.FindRepeat(p.RepeaterId);
        if (repeat == NoIndex) {
            repeat = st.AddRepeat(p.RepeaterId);
            if (repeat == NoIndex) {
                Say(repeatRefused_, "Unable to add repeater");
                if (newEntry)
                    st.TakeBackEntry();
                return;
            }
            newRepeat = true;
        }
    }

    uint16_t row = st.FindSensor(p.SerNo);
    const bool newSensor = row == NoRow;
    if (newSensor) {
        row = st.AddSensor(p.Kind, p.SerNo);
        if (row == NoRow) {
            Say(sensorRefused_, "Unable to add sensor");
            if (newEntry)
                st.TakeBackEntry();
            if (newRepeat)
                st.TakeBackRepeat();
            return;
        }
        if (st.SensorCount > 100)
            views_.Shell.SetExpireInterval(3000);
    }

    TSensor& s = st.Sensors[row];
    s.Marked = p.Marked;
    std::copy(p.Packet, p.Packet + 11, s.Data);
    if (!p.SensorName.empty())
        s.Name.Assign(p.SensorName);

    if (newEntry)
        AddOwnerNode(TOwnerKind::Entry, entry);
    if (newRepeat)
        AddOwnerNode(TOwnerKind::Repeat, repeat);
    if (newSensor)
        MakeSensorRow(row);

    st.InsertRead(entry, repeat, p.Crc, row);
    st.RefreshSensor(row, repeat, entry);
    if (observerCount_ > 0 && !replay_.Replaying()) {
        const int32_t n = st.ReadHead;
        const TRead& r = st.Reads[n];
        const bool duplicate = st.IsDuplicate(r.SensorOlder, n);
        const TRegisteredRead read{p, r.Wall, r.Time, row, entry, repeat, duplicate};
        for (int i = 0; i < observerCount_; ++i)
            observers_[i]->OnRead(st, read);
    }
}

bool TMonitor::AddReadObserver(TReadObserver* observer) {
    if (observer == nullptr || observerCount_ >= MaxReadObservers)
        return false;
    observers_[observerCount_++] = observer;
    return true;
}

void TMonitor::RemoveReadObserver(TReadObserver* observer) {
    auto end = observers_.begin() + observerCount_;
    auto at = std::remove(observers_.begin(), end, observer);
    observerCount_ = static_cast<int>(at - observers_.begin());
    std::fill(at, observers_.end(), nullptr);
}

void TMonitor::ApplySettings(const TRunSettings& run) {
    store_->Settings = run.Store;
    store_->Alerts.Settings = run.Alerts;
    store_->Alerts.SetExpectations(run.Expectations);
    LogPackets = run.LogPackets;
}

void TMonitor::Say(TRateLimitedMessage& message, std::string_view text) {
    if (std::string_view line = message.Occur(clock_, text); !line.empty())
        views_.Shell.AddLogLine(line);
}

void TMonitor::AddOwnerNode(TOwnerKind kind, uint8_t index) {
    TTextBuffer<32> text;
    text.Append(kind == TOwnerKind::Entry ? "Adding Entry " : "Adding Repeater ").AppendInt(index);
    views_.Shell.AddLogLine(text.View());
    // Alert lines name an entry point as its node does, by the name it had when made.
    if (kind == TOwnerKind::Entry)
        store_->Alerts.SetEntryLabel(index, store_->Entries[index].Name.View());
    views_.Tree.OwnerAdded(*store_, kind, index);
}

void TMonitor::MakeSensorRow(uint16_t row) {
    views_.List.RowMade(*store_, row);
    views_.Tree.SensorAdded(*store_, row);
    views_.List.SensorCountChanged(store_->SensorCount);
}

void TMonitor::ClearAll() {
    store_->ClearStore();
    views_.Shell.SetExpireInterval(1000);
}

void TMonitor::LogTick() {
    if (StatsLogPath.empty())
        return;
    TLogCorv log;
    if (OpenRunLog(log, StatsLogPath, statsLogCreated_, StatisticsLogHeader, "Statistics log") > 0)
        WriteStatisticsLines(log, *store_, clock_.Now(), clock_.LocalNow());
}

// The run's first write creates its file exclusively, so two monitors started together in one
// folder never write into the same file: when another run has taken the name in the meantime,
// this run moves on to the next free number and says so. Later writes append (and make the file
// again, with its header, when it has been removed).
int TMonitor::OpenRunLog(TLogCorv& log, std::string& path, bool& created, const char* header,
                         std::string_view what) {
    if (created)
        return log.Open(path, header);
    bool moved = false;
    int result = log.Open(path, header, TLogCorv::CreateOnly);
    for (int tries = 0; result < 0 && tries < 100; ++tries) {
        path = NextLogFileName(LogBasePath(path));
        moved = true;
        result = log.Open(path, header, TLogCorv::CreateOnly);
    }
    if (moved) {
        std::string text(what);
        text += " is now ";
        text += path;
        views_.Shell.AddLogLine(text);
    }
    created = result > 0;
    return result;
}

} // namespace corvane
