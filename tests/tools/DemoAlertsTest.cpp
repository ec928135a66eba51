// The demo network that scripts/run.sh starts, read by a real monitor on a clock that follows the
// simulator's own time: after a minute repeater 'a' and four sensors stop, and three minutes in
// the alerts must name each failure once, with every sensor heard only through 'a' behind it.
#include <gtest/gtest.h>

#include <set>

#include "SimNetwork.h"
#include "app/ListTexts.h"
#include "app/Monitor.h"
#include "util/untConst.h"

namespace corvane::sim {
namespace {

constexpr double kStart = 46000.0;

// The monitor after seconds of the demo network, ticked once a second as the window ticks.
struct DemoRun {
    TManualClock clock{kStart};
    TNullShellListener shell;
    TNullListListener list;
    TNullTreeListener tree;
    TMonitor monitor{clock, {shell, list, tree}};
    SimNetwork net{NetworkParams{60, 6, 3, 1, 10, 20, 60, -1, 4}};
    // The last time each simulated sensor was heard by any route.
    std::vector<double> heard = std::vector<double>(net.Sensors().size(), -1);

    void Run(double seconds) {
        double tick = 1;
        for (;;) {
            SimRead r = net.Next();
            for (; tick <= r.At && tick <= seconds; ++tick) {
                clock.Set(kStart + tick / 86400.0);
                monitor.ExpireTick();
            }
            if (r.At > seconds)
                return;
            clock.Set(kStart + r.At / 86400.0);
            monitor.ParsePacketLine(nullptr, BuildLine(r.Data, net.PartsOf(r)));
            heard[static_cast<size_t>(r.Sensor)] = r.At;
        }
    }
    uint16_t Row(int sensor) const {
        return monitor.Store().FindSensor(static_cast<int64_t>(net.Sensors()[sensor].SerNo));
    }
};

TEST(DemoAlerts, AtThreeMinutesEachFailureHasOneRecordOfItsOwnAndTheRestAreBehindIt) {
    DemoRun demo;
    demo.Run(180);
    const TStore& store = demo.monitor.Store();
    const TAlerts& alerts = store.Alerts;
    const uint8_t a = store.FindRepeat('a');
    ASSERT_NE(a, NoIndex);
    EXPECT_NE(alerts.State(TAlertKind::Repeat, a), TAlertState::Reporting);
    EXPECT_FALSE(alerts.Cause(TAlertKind::Repeat, a).Any());

    int ownSensors = 0, behindA = 0;
    for (size_t s = 0; s < demo.net.Sensors().size(); ++s) {
        const uint16_t row = demo.Row(static_cast<int>(s));
        ASSERT_NE(row, 0xFFFF);
        const TAlertState state = alerts.State(TAlertKind::Sensor, row);
        const TAlertCause cause = alerts.Cause(TAlertKind::Sensor, row);
        const bool stopped = s < 4;
        const bool onlyA = store.SoleRepeat(row) == a;
        SCOPED_TRACE("sensor " + std::to_string(s));
        if (onlyA) {
            // Heard only through 'a': behind it, whether it stopped itself or not.
            EXPECT_NE(state, TAlertState::Reporting);
            EXPECT_EQ(cause, (TAlertCause{TAlertKind::Repeat, a}));
            ++behindA;
        } else if (stopped) {
            EXPECT_NE(state, TAlertState::Reporting);
            EXPECT_FALSE(cause.Any());
            ++ownSensors;
        } else if (state != TAlertState::Reporting) {
            // Only a flaky sensor in one of its long pauses may be late of its own.
            EXPECT_TRUE(demo.net.Sensors()[s].Flaky);
            EXPECT_GT(180 - demo.heard[s], 3 * demo.net.Sensors()[s].Period * 0.8);
            ++ownSensors;
        }
    }
    for (uint8_t e = 0; e < store.EntryCount; ++e)
        EXPECT_EQ(alerts.State(TAlertKind::Entry, e), TAlertState::Reporting);
    for (uint8_t r = 0; r < store.RepeatCount; ++r) {
        if (r == a)
            continue;
        EXPECT_EQ(alerts.State(TAlertKind::Repeat, r), TAlertState::Reporting);
    }
    EXPECT_EQ(alerts.OwnLateCount() + alerts.OwnSilentCount(), 1 + ownSensors);
    EXPECT_GT(behindA, 0);
    EXPECT_EQ(alerts.BehindCount(), behindA);
    EXPECT_EQ(alerts.SensorsBehind(TAlertKind::Repeat, a), behindA);
    // With the simulator's first seed: 'a' and the four it stopped, three flaky sensors in a
    // long pause, and three sensors heard only through 'a'.
    EXPECT_EQ(AlertCountsText(alerts.OwnSilentCount(), alerts.OwnLateCount(), alerts.BehindCount()),
              "2 silent, 6 late, 3 behind them");
}

} // namespace
} // namespace corvane::sim
