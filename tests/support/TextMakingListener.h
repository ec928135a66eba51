// A listener for all three views that makes every text the list and the tree would show, and
// keeps none: what the views' text makers cost, without the views.
#pragma once

#include "app/ListTexts.h"
#include "app/TreeTexts.h"
#include "store/ActivityStore.h"
#include "store/Listener.h"

namespace corvane::testing {

class TTextMakingListener : public TNullShellListener, public TListListener, public TTreeListener {
public:
    // Characters made, so that the work cannot be left out.
    size_t Made = 0;

    void RowMade(const TStore& store, uint16_t row) override {
        list_.New(store, row);
        Made += list_.Label.size() + list_.Kind.size();
    }
    void RowChanged(const TStore& store, uint16_t row, TDateTime now) override {
        list_.Changed(store, row, now);
        Made += list_.Count.size() + list_.Age.size() + list_.Routes.size();
    }
    void SensorCountChanged(uint16_t n) override { Made += list_.SensorCaption(n).size(); }
    void ReadCountChanged(int32_t n) override { Made += list_.CountCaption(n).size(); }
    void BeginAgeing() override {}
    void RowAged(const TStore& store, uint16_t row, bool moved, int32_t age) override {
        list_.Aged(store, row, moved, age);
        Made += list_.Age.size();
    }
    void EndAgeing() override {}

    void OwnerAdded(const TStore& store, TOwnerKind k, uint8_t i) override {
        Made += OwnerLabel(store, k, i).size();
    }
    void SensorAdded(const TStore&, uint16_t) override {}
    void SlotAdded(const TStore& store, uint16_t, TOwnerKind k, uint8_t owner) override {
        Made += OwnerLabel(store, k, owner).size();
    }
    void ActivityChanged(TOwnerKind, uint8_t, const TActivityFigures& f) override {
        Made += tree_.Activity(f)[0].size();
    }
    void StatsChanged(uint16_t, TStatsGroup, uint8_t, const TStats& s) override {
        Made += tree_.Stats(s)[3].size();
    }

private:
    TListTexts list_;
    TTreeLines tree_;
};

} // namespace corvane::testing
