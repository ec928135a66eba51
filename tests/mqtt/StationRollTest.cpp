// The stations offered for choosing: in name order however late they are heard, each with the
// state its newest status gave.
#include "mqtt/StationRoll.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using TKind = TStationEvent::TKind;
using TState = TStationRoll::TState;
using TChangeKind = TStationRoll::TChange::TKind;

TStationEvent Event(TKind kind, uint16_t station, const std::string& name = {}) {
    TStationEvent e;
    e.Kind = kind;
    e.Station = station;
    e.Message.Line = name;
    return e;
}

std::vector<std::string> Names(const TStationRoll& roll) {
    std::vector<std::string> names;
    for (const auto& e : roll.Entries())
        names.push_back(e.Name);
    return names;
}

TEST(StationRoll, StationsTakeTheirPlaceByNameAndKeepTheirStatesThroughLaterArrivals) {
    const std::string kueche = "K\xFC"
                               "che"; // Latin-1, as the reader hands it over
    TStationRoll roll;
    EXPECT_EQ(roll.Apply(Event(TKind::New, 0, "north")).Row, 0u);
    roll.Apply(Event(TKind::Offline, 0));
    const auto east = roll.Apply(Event(TKind::New, 1, "East"));
    EXPECT_EQ(east.Kind, TChangeKind::Added);
    EXPECT_EQ(east.Row, 0u);
    EXPECT_EQ(roll.Apply(Event(TKind::New, 2, kueche)).Row, 1u);
    EXPECT_EQ(roll.Apply(Event(TKind::New, 3, "east")).Row, 1u); // after "East", before kueche
    // Station 0's status still finds north, now three rows further down.
    const auto online = roll.Apply(Event(TKind::Online, 0));
    EXPECT_EQ(online.Kind, TChangeKind::Changed);
    EXPECT_EQ(online.Row, 3u);
    EXPECT_EQ(Names(roll), (std::vector<std::string>{"East", "east", kueche, "north"}));
    EXPECT_EQ(roll.Entries()[3].State, TState::Online);
    EXPECT_EQ(roll.Entries()[0].State, TState::Unknown);
    roll.Apply(Event(TKind::Offline, 1));
    EXPECT_EQ(roll.Count(TState::Online), 1u);
    EXPECT_EQ(roll.Count(TState::Offline), 1u);
    EXPECT_STREQ(StationStateName(roll.Entries()[1].State), "no status");
    EXPECT_STREQ(StationStateName(roll.Entries()[0].State), "offline");
}

TEST(StationRoll, WhatChangesNoRowIsNoChange) {
    TStationRoll roll;
    roll.Apply(Event(TKind::New, 0, "a"));
    roll.Apply(Event(TKind::Online, 0));
    const TStationEvent same[] = {
        Event(TKind::Online, 0),   // the state it has
        Event(TKind::Line, 0),     // lines are not the roll's
        Event(TKind::Fault, 0),    //
        Event(TKind::Offline, 7),  // a station not heard
        Event(TKind::New, 0, "a"), // heard twice
    };
    for (const TStationEvent& e : same)
        EXPECT_EQ(roll.Apply(e).Kind, TChangeKind::None);
    EXPECT_EQ(roll.Entries().size(), 1u);
    roll.Clear();
    EXPECT_TRUE(roll.Entries().empty());
    EXPECT_EQ(roll.Apply(Event(TKind::Offline, 0)).Kind, TChangeKind::None);
    EXPECT_EQ(roll.Apply(Event(TKind::New, 0, "b")).Kind, TChangeKind::Added);
}

} // namespace
} // namespace corvane
