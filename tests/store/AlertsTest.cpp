#include <utility>
#include <vector>

#include "support/StoreFixture.h"

namespace corvane::testing {
namespace {

class TRecordingAlerts : public TAlertListener {
public:
    std::vector<std::pair<TAlertKind, TAlertState>> Changes;
    int Clears = 0;
    void AlertStateChanged(TAlertKind kind, uint16_t, TAlertState state) override {
        Changes.emplace_back(kind, state);
    }
    void AlertsCleared() override { ++Clears; }
};

class AlertsTest : public StoreFixture {
protected:
    TRecordingAlerts alerts;
    uint16_t s = 0;
    uint8_t e = 0, r = 0;

    void SetUp() override {
        ASSERT_TRUE(store->Alerts.Subscribe(&alerts));
        s = Sensor(1);
        e = Entry(7);
        r = Repeat('b');
    }
    // Reads of sensor 1 through repeater b and entry 7, one per gap, ending with a read now.
    void Reads(std::initializer_list<double> gaps) {
        Read(s, e, r);
        for (double g : gaps) {
            Wait(g);
            Read(s, e, r);
        }
    }
    // Ticks at the listed times, counted from the call; returns the log lines they wrote.
    std::vector<std::string> TickAt(std::initializer_list<double> times) {
        const size_t before = views.Log.size();
        double at = 0;
        for (double time : times) {
            Wait(time - at);
            at = time;
            store->ExpireTick();
        }
        return {views.Log.begin() + static_cast<long>(before), views.Log.end()};
    }
    using Lines = std::vector<std::string>;
};

TEST_F(AlertsTest, ThresholdsAreCrossedJustPastTheirBoundariesOncePerChange) {
    store->Alerts.Settings.AlertMinSec = 0;
    Reads({10, 10, 10});
    EXPECT_EQ(TickAt({1, 30}), Lines{}); // 30 is not more than 3 x 10
    // The sensor is behind the repeater, which is behind the entry point: judged in one tick,
    // each names the nearest as its cause.
    EXPECT_EQ(TickAt({1}), (Lines{"Sensor 0000000000000001 late: no read for 31 s, usual gap 10 s"
                                  " (behind repeater b)",
                                  "Repeater b late: no read for 31 s, usual gap 10 s"
                                  " (behind entry Name1)",
                                  "Entry Name1 late: no read for 31 s, usual gap 10 s"}));
    EXPECT_EQ(store->Alerts.LateCount(), 3);
    EXPECT_EQ(TickAt({40, 69}), Lines{}); // at 100 s: not more than 10 x 10
    EXPECT_EQ(TickAt({1}),
              (Lines{"Sensor 0000000000000001 silent: no read for 101 s, usual gap 10 s"
                     " (behind repeater b)",
                     "Repeater b silent: no read for 101 s, usual gap 10 s (behind entry Name1)",
                     "Entry Name1 silent: no read for 101 s, usual gap 10 s"}));
    EXPECT_EQ(TickAt({1, 500}), Lines{});
    EXPECT_EQ(store->Alerts.LateCount(), 0);
    EXPECT_EQ(store->Alerts.SilentCount(), 3);
    ASSERT_EQ(alerts.Changes.size(), 6u);
    EXPECT_EQ(alerts.Changes[2], std::make_pair(TAlertKind::Entry, TAlertState::Late));
    EXPECT_EQ(alerts.Changes[3], std::make_pair(TAlertKind::Sensor, TAlertState::Silent));
}

TEST_F(AlertsTest, AlertMinSecHoldsAFastSensorBackUpToItsBoundary) {
    store->Settings.DuplicateTimeSec = 0;
    Read(s);
    Wait(2);
    Read(s);
    Wait(3);
    Read(s); // usual gap 2.5 s, shown rounded
    ASSERT_EQ(StatsOf(s).AvgGap, 2.5f);
    EXPECT_EQ(TickAt({29}), Lines{});
    EXPECT_EQ(TickAt({1}),
              Lines{"Sensor 0000000000000001 silent: no read for 30 s, usual gap 3 s"});
}

TEST_F(AlertsTest, AReadEndsLateOrSilentAtOnce) {
    store->Alerts.Settings.AlertMinSec = 0;
    Reads({10, 10});
    TickAt({35});
    views.Log.clear();
    Read(s, e, r);
    EXPECT_EQ(views.Log, (Lines{"Sensor 0000000000000001 back after 35 s",
                                "Repeater b back after 35 s", "Entry Name1 back after 35 s"}));
    EXPECT_EQ(store->Alerts.State(TAlertKind::Repeat, r), TAlertState::Reporting);
    EXPECT_EQ(store->Alerts.LateCount(), 0);

    TickAt({500});
    views.Log.clear();
    Read(s); // only the sensor read again
    EXPECT_EQ(views.Log, Lines{"Sensor 0000000000000001 back after 500 s"});
    EXPECT_EQ(store->Alerts.State(TAlertKind::Sensor, s), TAlertState::Reporting);
    EXPECT_EQ(store->Alerts.State(TAlertKind::Entry, e), TAlertState::Silent);
    EXPECT_EQ(store->Alerts.SilentCount(), 2);
    EXPECT_EQ(TickAt({1}), Lines{}); // a read a second ago: reporting stays
}

TEST_F(AlertsTest, NoStateWithoutTwoGaps) {
    Read(s);
    Wait(20);
    Read(s);
    Wait(5);
    Read(s); // a duplicate: still one gap
    EXPECT_EQ(TickAt({10000}), Lines{});
    EXPECT_EQ(store->Alerts.State(TAlertKind::Sensor, s), TAlertState::Reporting);
}

TEST_F(AlertsTest, ASensorWhoseReadsExpiredKeepsItsState) {
    store->Settings.MaxAge = 1000;
    Reads({60, 60});
    TickAt({200});
    ASSERT_EQ(store->Alerts.State(TAlertKind::Sensor, s), TAlertState::Late);
    TickAt({5000}); // every read expired, the gaps with them
    ASSERT_EQ(StatsOf(s).Count, 0);
    EXPECT_EQ(store->Alerts.State(TAlertKind::Sensor, s), TAlertState::Late);
    views.Log.clear();
    Read(s);
    EXPECT_EQ(views.Log.front(), "Sensor 0000000000000001 back after 5200 s");
}

TEST_F(AlertsTest, ClearAllForgetsEveryState) {
    Reads({10, 10});
    TickAt({200});
    ASSERT_EQ(store->Alerts.SilentCount(), 3);
    store->ClearStore();
    EXPECT_EQ(alerts.Clears, 1);
    EXPECT_EQ(store->Alerts.SilentCount(), 0);
    EXPECT_EQ(store->Alerts.State(TAlertKind::Sensor, 0), TAlertState::Reporting);
    views.Log.clear();
    Read(Sensor(9)); // takes row 0 again: nothing to come back from
    EXPECT_EQ(views.Log, Lines{});
}

TEST_F(AlertsTest, SwitchedOffWritesNothing) {
    store->Alerts.Settings.Alerts = false;
    Reads({10, 10});
    EXPECT_EQ(TickAt({40, 200}), Lines{});
    Read(s, e, r);
    EXPECT_EQ(views.Log, Lines{});
    EXPECT_TRUE(alerts.Changes.empty());
}

} // namespace
} // namespace corvane::testing
