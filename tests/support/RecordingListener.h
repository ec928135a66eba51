// A listener that keeps what the engine shows, as the views would, and logs every call.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "store/Listener.h"

namespace corvane::testing {

struct TShownRow {
    std::string Label, Kind, Count, Dups, RunAvg, Age;
    bool Marked = false;
};

class TRecordingListener : public TCorvListener {
public:
    std::vector<std::string> Log;
    std::map<uint16_t, TShownRow> Rows;
    std::map<int, std::string> Captions;
    std::map<std::pair<int, int>, std::string> OwnerNodes; // (kind, index) -> label
    std::map<std::pair<int, int>, std::vector<std::string>> Activity;
    std::map<uint16_t, std::string> SensorNodes;
    std::map<std::pair<uint16_t, int>, std::vector<std::string>> SlotNodes; // (row, kind)
    std::map<std::tuple<uint16_t, int, int>, std::vector<std::string>> StatsLines;
    int ExpireInterval = 1000;
    bool ByEntryEnabled = false;
    int AgeingBatches = 0;
    bool InAgeing = false;
    int Updates = 0;

    void AddLogLine(std::string_view m) override { Log.emplace_back(m); }
    void MakeListRow(uint16_t row, std::string_view label, std::string_view kind) override {
        Rows[row] = TShownRow{std::string(label), std::string(kind), "0", "0", "0", "", false};
    }
    void UpdateListRow(uint16_t row, const TRowTexts& t) override {
        TShownRow& r = Rows[row];
        r.Label = t.Label;
        r.Marked = t.Marked;
        r.Count = t.Count;
        r.Dups = t.Dups;
        r.RunAvg = t.RunAvg;
        r.Age = t.Age;
        ++Updates;
    }
    void SetColumnCaption(int column, std::string_view c) override { Captions[column] = c; }
    void BeginAgeing() override { InAgeing = true; }
    void AgeListRow(uint16_t row, std::string_view runAvg, std::string_view age) override {
        if (!runAvg.empty())
            Rows[row].RunAvg = runAvg;
        Rows[row].Age = age;
    }
    void EndAgeing() override {
        InAgeing = false;
        ++AgeingBatches;
    }
    void AddOwnerNode(TOwnerKind k, uint8_t i, std::string_view label) override {
        OwnerNodes[{int(k), i}] = label;
    }
    void AddSensorNode(uint16_t row, std::string_view label) override { SensorNodes[row] = label; }
    void AddSlotNode(uint16_t row, TOwnerKind k, std::string_view label) override {
        SlotNodes[{row, int(k)}].emplace_back(label);
    }
    void SetActivityLines(TOwnerKind k, uint8_t i, const TFourLines& l) override {
        Activity[{int(k), i}] = {std::string(l[0]), std::string(l[1]), std::string(l[2]),
                                 std::string(l[3])};
    }
    void SetStatsLines(uint16_t row, TStatsGroup g, uint8_t slot, const TFourLines& l) override {
        StatsLines[{row, int(g), g == TStatsGroup::Statistics ? 0 : slot}] = {
            std::string(l[0]), std::string(l[1]), std::string(l[2]), std::string(l[3])};
    }
    void SetExpireInterval(int ms) override { ExpireInterval = ms; }
    void EnableByEntry() override { ByEntryEnabled = true; }

    std::vector<std::string> Stats(uint16_t row, TStatsGroup g = TStatsGroup::Statistics,
                                   int slot = 0) const {
        auto it = StatsLines.find({row, int(g), slot});
        return it == StatsLines.end() ? std::vector<std::string>{} : it->second;
    }
};

} // namespace corvane::testing
