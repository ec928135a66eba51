// A listener for all three views that keeps what they would show, made by the views' own text
// makers, and logs every line for the log pane.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "app/ListTexts.h"
#include "app/TreeTexts.h"
#include "store/ActivityStore.h"
#include "store/Listener.h"

namespace corvane::testing {

struct TShownRow {
    std::string Label, Kind, Count, Dups, RunAvg, Age;
    bool Marked = false;
};

class TRecordingListener : public TShellListener, public TListListener, public TTreeListener {
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

    // The shell.
    void AddLogLine(std::string_view m) override { Log.emplace_back(m); }
    void SetExpireInterval(int ms) override { ExpireInterval = ms; }
    void EnableByEntry() override { ByEntryEnabled = true; }

    // The sensor list.
    void RowMade(const TStore& store, uint16_t row) override {
        TListTexts t;
        t.New(store, row);
        Rows[row] = TShownRow{std::string(t.Label),
                              std::string(t.Kind),
                              std::string(NoCount),
                              std::string(NoCount),
                              std::string(NoCount),
                              "",
                              false};
    }
    void RowChanged(const TStore& store, uint16_t row, TDateTime now) override {
        TListTexts t;
        t.Changed(store, row, now);
        TShownRow& r = Rows[row];
        r.Label = t.Label;
        r.Marked = t.Marked;
        r.Count = t.Count;
        r.Dups = t.Dups;
        r.RunAvg = t.RunAvg;
        r.Age = t.Age;
        ++Updates;
    }
    void SensorCountChanged(uint16_t n) override { Captions[0] = TListTexts().SensorCaption(n); }
    void ReadCountChanged(int32_t n) override { Captions[2] = TListTexts().CountCaption(n); }
    void BeginAgeing() override { InAgeing = true; }
    void RowAged(const TStore& store, uint16_t row, bool moved, int32_t age) override {
        TListTexts t;
        t.Aged(store, row, moved, age);
        if (!t.RunAvg.empty())
            Rows[row].RunAvg = t.RunAvg;
        Rows[row].Age = t.Age;
    }
    void EndAgeing() override {
        InAgeing = false;
        ++AgeingBatches;
    }

    // The route tree.
    void OwnerAdded(const TStore& store, TOwnerKind k, uint8_t i) override {
        OwnerNodes[{int(k), i}] = OwnerLabel(store, k, i);
        Activity[{int(k), i}] = Strings(NoActivityLines);
    }
    void SensorAdded(const TStore& store, uint16_t row) override {
        char buffer[NameMax + 1];
        SensorNodes[row] = store.SensorLabel(row, buffer);
        StatsLines[{row, int(TStatsGroup::Statistics), 0}] = Strings(NoStatsLines);
    }
    void SlotAdded(const TStore& store, uint16_t row, TOwnerKind k, uint8_t owner) override {
        std::vector<std::string>& made = SlotNodes[{row, int(k)}];
        const TStatsGroup g = k == TOwnerKind::Entry ? TStatsGroup::Entry : TStatsGroup::Repeat;
        StatsLines[{row, int(g), int(made.size())}] = Strings(NoStatsLines);
        made.emplace_back(OwnerLabel(store, k, owner));
    }
    void ActivityChanged(TOwnerKind k, uint8_t i, const TActivityFigures& f) override {
        Activity[{int(k), i}] = Strings(TTreeLines().Activity(f));
    }
    void StatsChanged(uint16_t row, TStatsGroup g, uint8_t slot, const TStats& s) override {
        StatsLines[{row, int(g), g == TStatsGroup::Statistics ? 0 : slot}] =
            Strings(TTreeLines().Stats(s));
    }

    std::vector<std::string> Stats(uint16_t row, TStatsGroup g = TStatsGroup::Statistics,
                                   int slot = 0) const {
        auto it = StatsLines.find({row, int(g), slot});
        return it == StatsLines.end() ? std::vector<std::string>{} : it->second;
    }

private:
    static std::vector<std::string> Strings(const TFourLines& l) {
        return {std::string(l[0]), std::string(l[1]), std::string(l[2]), std::string(l[3])};
    }
};

} // namespace corvane::testing
