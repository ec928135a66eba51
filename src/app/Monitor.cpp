#include "app/Monitor.h"

#include <algorithm>

#include "output/LogCorv.h"
#include "util/TextBuffer.h"
#include "util/untConst.h"
#include "util/untUtils.h"

namespace corvane {

TMonitor::TMonitor(const TClock& clock, TCorvListener& listener)
    : clock_(clock), listener_(listener), store_(TStore::Create(clock, listener)) {}

bool TMonitor::ParsePacketLine(TConn* conn, std::string_view line) {
    if (!decoder_.Decode(line, conn, decoded_))
        return false;
    if (LogPackets)
        WritePacketLog(PacketLogPath, line, clock_.Now());
    RegisterPacket(decoded_);
    return true;
}

void TMonitor::AddEntryName(std::string_view name) {
    auto less = [](const std::string& a, std::string_view b) { return CompareNoCase(a, b) < 0; };
    auto at = std::lower_bound(EntryNames.begin(), EntryNames.end(), name, less);
    if (at != EntryNames.end() && CompareNoCase(*at, name) == 0)
        return;
    EntryNames.insert(at, std::string(name));
    if (EntryNames.size() >= 2)
        listener_.EnableByEntry();
}

void TMonitor::RegisterPacket(const TDecodedPacket& p) {
    if (!EntryFilter.empty() && EntryFilter != p.EntryName)
        return;
    TStore& st = *store_;

    uint8_t entry = NoIndex;
    bool newEntry = false;
    if (p.EntryId != NoIndex) {
        entry = st.FindEntry(p.EntryId);
        if (entry == NoIndex) {
            entry = st.AddEntry(p.EntryId);
            if (entry == NoIndex) {
                listener_.AddLogLine("Unable to add entry");
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
                listener_.AddLogLine("Unable to add repeater");
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
            listener_.AddLogLine("Unable to add sensor");
            if (newEntry)
                st.TakeBackEntry();
            if (newRepeat)
                st.TakeBackRepeat();
            return;
        }
        if (st.SensorCount > 100)
            listener_.SetExpireInterval(3000);
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
    if (ReadObserver) {
        const int32_t n = st.ReadHead;
        const bool duplicate = st.IsDuplicate(st.Reads[n].SensorOlder, n);
        ReadObserver->OnRead(st, {p, st.Reads[n].Time, row, entry, repeat, duplicate});
    }
}

void TMonitor::AddOwnerNode(TOwnerKind kind, uint8_t index) {
    const TStore& st = *store_;
    TTextBuffer<32> text;
    text.Append(kind == TOwnerKind::Entry ? "Adding Entry " : "Adding Repeater ").AppendInt(index);
    listener_.AddLogLine(text.View());
    if (kind == TOwnerKind::Entry)
        listener_.AddOwnerNode(kind, index, st.Entries[index].Name.View());
    else
        listener_.AddOwnerNode(kind, index, std::string_view(&st.Repeats[index].Id, 1));
    listener_.SetActivityLines(kind, index,
                               {"Last Activitiy: (none)", "Last 5 min. Count: 0",
                                "Last 10 min. Count: 0", "Total Count: 0"});
}

void TMonitor::MakeSensorRow(uint16_t row) {
    const TStore& st = *store_;
    char buffer[NameMax + 1];
    const std::string_view label = st.SensorLabel(row, buffer);
    listener_.MakeListRow(row, label, SensorKindName(st.Sensors[row].Kind));
    listener_.AddSensorNode(row, label);
    listener_.SetStatsLines(row, TStatsGroup::Statistics, 0,
                            {"Count", "Duplicates", "Max Gap", "Min Gap"});
    TTextBuffer<32> caption;
    caption.Append("Sensor (").AppendInt(st.SensorCount).Append(")");
    listener_.SetColumnCaption(0, caption.View());
}

void TMonitor::ClearAll() {
    store_->ClearStore();
    listener_.SetExpireInterval(1000);
}

void TMonitor::LogTick() {
    if (!StatsLogPath.empty())
        WriteStatisticsLog(StatsLogPath, *store_, clock_.Now());
}

} // namespace corvane
