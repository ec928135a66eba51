#include <string>
#include <utility>
#include <vector>

#include "support/StoreFixture.h"

namespace corvane::testing {
namespace {

using Lines = std::vector<std::string>;

class TCauseChanges : public TAlertListener {
public:
    std::vector<std::pair<TAlertKind, TAlertCause>> Causes;
    std::vector<std::pair<TAlertKind, TAlertState>> States;
    void AlertStateChanged(TAlertKind kind, uint16_t, TAlertState state) override {
        States.emplace_back(kind, state);
    }
    void AlertsCleared() override {}
    void AlertCauseChanged(TAlertKind kind, uint16_t, TAlertCause cause) override {
        Causes.emplace_back(kind, cause);
    }
};

class AlertCausesTest : public StoreFixture {
protected:
    TCauseChanges changes;
    TAlerts& alerts = store->Alerts;

    void SetUp() override {
        ASSERT_TRUE(alerts.Subscribe(&changes));
        alerts.Settings.AlertMinSec = 0;
        store->Settings.DuplicateTimeSec = 0;
    }
    // One read per route in turn, then `gap` seconds and a tick, `times` rounds.
    void Rounds(int times, double gap, const std::vector<std::pair<uint16_t, uint8_t>>& viaRepeat,
                uint8_t entry = NoIndex) {
        for (int k = 0; k < times; ++k) {
            for (auto [row, repeat] : viaRepeat)
                Read(row, entry, repeat);
            Wait(gap);
            store->ExpireTick();
        }
    }
    Lines Tick(double after) {
        const size_t before = views.Log.size();
        Wait(after);
        store->ExpireTick();
        return {views.Log.begin() + static_cast<long>(before), views.Log.end()};
    }
    TAlertCause CauseOf(uint16_t row) const { return alerts.Cause(TAlertKind::Sensor, row); }
    static TAlertCause Repeater(uint8_t r) { return {TAlertKind::Repeat, r}; }
};

TEST_F(AlertCausesTest, OneRouteNamesTheNearestAndCountsOnlyTheRecordsOfTheirOwn) {
    const uint16_t s1 = Sensor(1), s2 = Sensor(2);
    const uint8_t e = Entry(7), b = Repeat('b');
    Rounds(4, 10, {{s1, b}, {s2, b}}, e);
    Tick(21); // 31 s after the last reads: every record late in one tick
    EXPECT_EQ(CauseOf(s1), Repeater(b));
    EXPECT_EQ(alerts.Cause(TAlertKind::Repeat, b), (TAlertCause{TAlertKind::Entry, e}));
    EXPECT_FALSE(alerts.Cause(TAlertKind::Entry, e).Any());
    EXPECT_EQ(alerts.LateCount(), 4);
    EXPECT_EQ(alerts.OwnLateCount(), 1);
    EXPECT_EQ(alerts.BehindCount(), 3);
    EXPECT_EQ(alerts.SensorsBehind(TAlertKind::Repeat, b), 2);
    EXPECT_EQ(alerts.SensorsBehind(TAlertKind::Entry, e), 2); // through the repeater
    // Causes given before anyone is told: the notices see the tick's causes, not one at a time.
    EXPECT_TRUE(changes.Causes.empty());

    Read(s1, e, b); // everything back through the sensor's read
    EXPECT_EQ(alerts.LateCount(), 1);
    EXPECT_EQ(alerts.OwnLateCount(), 1); // s2, of its own now that its repeater is back
    EXPECT_EQ(alerts.BehindCount(), 0);
    EXPECT_EQ(alerts.SensorsBehind(TAlertKind::Repeat, b), 0);
    EXPECT_EQ(alerts.SensorsBehind(TAlertKind::Entry, e), 0);
}

TEST_F(AlertCausesTest, ASensorHeardOverTwoRoutesIsBehindNeitherUntilOneRouteExpires) {
    store->Settings.MaxAge = 150;
    const uint16_t both = Sensor(1), onlyA = Sensor(2);
    const uint8_t a = Repeat('a'), b = Repeat('b');
    Rounds(3, 10, {{both, a}, {both, b}, {onlyA, a}});
    EXPECT_EQ(store->SoleRepeat(both), NoIndex);
    EXPECT_EQ(store->SoleRepeat(onlyA), a);
    // Repeater a dies: the sensor heard through both stays heard, and once its reads through a
    // have expired, it is behind b alone.
    Rounds(15, 10, {{both, b}});
    EXPECT_EQ(alerts.State(TAlertKind::Sensor, both), TAlertState::Reporting);
    EXPECT_EQ(store->SoleRepeat(both), b);
    EXPECT_EQ(alerts.State(TAlertKind::Sensor, onlyA), TAlertState::Silent);
    EXPECT_EQ(CauseOf(onlyA), Repeater(a));
    EXPECT_EQ(alerts.OwnSilentCount(), 1); // the repeater
    // Every held read of the other one has expired: it stays behind what it was heard through.
    EXPECT_EQ(store->Sensors[onlyA].Newest, NoRead);
    EXPECT_EQ(store->SoleRepeat(onlyA), a);
}

TEST_F(AlertCausesTest, ACauseThatComesBackFirstLeavesTheRecordAnAlertOfItsOwn) {
    const uint16_t behind = Sensor(1), other = Sensor(2);
    const uint8_t a = Repeat('a');
    Rounds(4, 10, {{behind, a}, {other, a}});
    Tick(200);
    ASSERT_EQ(CauseOf(behind), Repeater(a));
    views.Log.clear();
    Read(other, NoIndex, a); // a is heard again, the sensor behind it is not
    EXPECT_EQ(views.Log,
              (Lines{"Sensor 0000000000000002 back after 210 s", "Repeater a back after 210 s",
                     "Sensor 0000000000000001 silent: no read for 210 s, usual gap 10 s"}));
    EXPECT_FALSE(CauseOf(behind).Any());
    ASSERT_EQ(changes.Causes.size(), 1u);
    EXPECT_EQ(changes.Causes[0].first, TAlertKind::Sensor);
    EXPECT_FALSE(changes.Causes[0].second.Any());
    EXPECT_EQ(alerts.OwnSilentCount(), 1);
    EXPECT_EQ(alerts.BehindCount(), 0);
}

TEST_F(AlertCausesTest, ACauseFallingLaterIsTakenWithoutASecondLine) {
    const uint16_t fast = Sensor(1), slow = Sensor(2);
    const uint8_t a = Repeat('a');
    alerts.Settings.SilentFactor = 100; // late is as far as this goes
    Read(fast, NoIndex, a);
    for (int k = 0; k < 3; ++k) { // fast every 10 s; slow every 30 s, which keeps a's gap long
        Wait(10);
        Read(fast, NoIndex, a);
        if (k == 0)
            Read(slow);
    }
    Wait(30);
    Read(slow, NoIndex, a);
    Wait(30);
    Read(slow, NoIndex, a);
    // fast: no read for 60 s, usual gap 10 s; a: gaps 10, 10, 10, 30, 30, usual gap 18 s.
    const Lines first = Tick(0);
    ASSERT_EQ(alerts.State(TAlertKind::Sensor, fast), TAlertState::Late);
    EXPECT_FALSE(CauseOf(fast).Any());
    EXPECT_EQ(first.front(), "Sensor 0000000000000001 late: no read for 60 s, usual gap 10 s");
    const Lines later = Tick(60); // a falls late now
    EXPECT_EQ(CauseOf(fast), Repeater(a));
    ASSERT_EQ(changes.Causes.size(), 1u);
    for (const std::string& line : later)
        EXPECT_EQ(line.find("Sensor 0000000000000001 late"), std::string::npos) << line;
}

TEST_F(AlertCausesTest, ARepeaterHeardThroughTwoEntryPointsIsBehindNeither) {
    const uint16_t s1 = Sensor(1), s2 = Sensor(2);
    const uint8_t e1 = Entry(1), e2 = Entry(2), r = Repeat('r');
    Read(s1, e1, r);
    Read(s2, e2, r);
    Rounds(3, 10, {{s1, r}}, e1);
    EXPECT_EQ(store->RepeatSoleEntry(r), NoIndex);
    EXPECT_EQ(store->SoleEntry(s1), e1);
    Tick(200);
    EXPECT_FALSE(alerts.Cause(TAlertKind::Repeat, r).Any());
    EXPECT_EQ(CauseOf(s1), Repeater(r)); // the nearest, though the entry point is silent too
    (void)e2;
}

} // namespace
} // namespace corvane::testing
