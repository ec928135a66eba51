// Alert changes as the outlets hear them, made from a real store with a clock set by hand: the
// record's own terms and figures at the moment of each change, and the settings that turn the
// outlets on.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "app/AlertChange.h"
#include "app/AppIni.h"
#include "app/Monitor.h"
#include "support/Packets.h"
#include "support/TempDir.h"

using namespace corvane;
using corvane::testing::SensorLine;

namespace {

class TRecordingOutlet : public TAlertOutlet {
public:
    std::vector<TAlertChange> Changes;
    int Cleared = 0;
    void AlertChanged(const TAlertChange& change) override { Changes.push_back(change); }
    void AlertsCleared() override { ++Cleared; }
};

class AlertChangeFeed : public ::testing::Test {
protected:
    TManualClock clock{46000.0};
    TNullShellListener shell;
    TNullListListener list;
    TNullTreeListener tree;
    TMonitor monitor{clock, {shell, list, tree}};
    TAlertChangeFeed feed{monitor.Store()};
    TRecordingOutlet outlet;

    void SetUp() override {
        monitor.Store().Settings.DuplicateTimeSec = 0;
        monitor.Store().Alerts.Settings.AlertMinSec = 0;
        ASSERT_TRUE(feed.Subscribed());
        feed.AddOutlet(&outlet);
    }
    void Read(double s, const std::string& tail = ",1,North,Tank \xE9 $(x)") {
        clock.AdvanceSeconds(s);
        ASSERT_TRUE(monitor.ParsePacketLine(nullptr, SensorLine(0x123456, tail, 'b')));
    }
    void Tick(double s) {
        clock.AdvanceSeconds(s);
        monitor.ExpireTick();
    }
};

TEST_F(AlertChangeFeed, EachChangeCarriesTheRecordsTermsAndFigures) {
    Read(0);
    Read(10);
    Read(10);
    Tick(35); // past 3 x 10 s for the sensor, repeater b and entry point 1
    ASSERT_EQ(outlet.Changes.size(), 3u);
    const TAlertChange& sensor = outlet.Changes[0];
    EXPECT_EQ(sensor.Event, TAlertEvent::Late);
    EXPECT_EQ(sensor.Kind, TAlertKind::Sensor);
    EXPECT_EQ(sensor.Id, "0000000000123456");
    EXPECT_EQ(sensor.Label, "Tank \xE9 $(x)");
    EXPECT_EQ(sensor.SilenceS, 35);
    EXPECT_EQ(sensor.UsualGapS, 10);
    // All three went late in one tick: the nearest one explains the sensor, and the entry point
    // explains the repeater; the sensor counts as behind both.
    EXPECT_EQ(sensor.Behind, "repeater/b");
    EXPECT_EQ(sensor.BehindCount, 0);
    EXPECT_EQ(outlet.Changes[1].Kind, TAlertKind::Repeat);
    EXPECT_EQ(outlet.Changes[1].Id, "b");
    EXPECT_EQ(outlet.Changes[1].UsualGapS, 10);
    EXPECT_EQ(outlet.Changes[1].Behind, "entry/1");
    EXPECT_EQ(outlet.Changes[1].BehindCount, 1);
    EXPECT_EQ(outlet.Changes[2].Kind, TAlertKind::Entry);
    EXPECT_EQ(outlet.Changes[2].Id, "1");
    EXPECT_EQ(outlet.Changes[2].Label, "North");
    EXPECT_TRUE(outlet.Changes[2].OwnCause());
    EXPECT_EQ(outlet.Changes[2].BehindCount, 1);

    Tick(70); // 105 s: silent past 10 x 10 s
    ASSERT_EQ(outlet.Changes.size(), 6u);
    EXPECT_EQ(outlet.Changes[3].Event, TAlertEvent::Silent);
    EXPECT_EQ(outlet.Changes[3].SilenceS, 105);

    // The read that ends it: the silence it ended, not the 0 s since this read.
    Read(15);
    ASSERT_EQ(outlet.Changes.size(), 9u);
    EXPECT_EQ(outlet.Changes[6].Event, TAlertEvent::Back);
    EXPECT_EQ(outlet.Changes[6].SilenceS, 120);
    EXPECT_EQ(outlet.Changes[6].BehindCount, 0);

    monitor.Store().Alerts.Clear();
    EXPECT_EQ(outlet.Cleared, 1);
}

TEST_F(AlertChangeFeed, AFeedWithoutOutletsAndARemovedOutletHearNothing) {
    feed.RemoveOutlet(&outlet);
    Read(0);
    Read(10);
    Read(10);
    Tick(35);
    EXPECT_TRUE(outlet.Changes.empty());
}

TEST_F(AlertChangeFeed, AMutedRecordChangesForTheViewsOnly) {
    TExpectations expect;
    expect.SetRepeater('b', {0, true});
    monitor.Store().Alerts.SetExpectations(expect);
    Read(0);
    Read(10);
    Read(10);
    Tick(35);
    ASSERT_EQ(outlet.Changes.size(), 2u);
    EXPECT_EQ(outlet.Changes[0].Kind, TAlertKind::Sensor);
    EXPECT_EQ(outlet.Changes[1].Kind, TAlertKind::Entry);
    EXPECT_EQ(monitor.Store().Alerts.State(TAlertKind::Repeat, 0), TAlertState::Late);
}

TEST(AlertOutSettings, NotifyIsOnAndCommandEmptyUntilSet) {
    TTempDir dir;
    const std::string path = dir.Path() + "/corvane.INI";
    TIniFile file(path);
    TAlertOutSettings unset = ReadAlertOutSettings(file);
    EXPECT_TRUE(unset.Notify);
    EXPECT_TRUE(unset.Command.empty());
    std::ofstream(path) << "[Alerts]\r\nNotify=0\r\nCommand=/usr/local/bin/corvane-mail\r\n";
    const TAlertOutSettings set = ReadAlertOutSettings(file);
    EXPECT_FALSE(set.Notify);
    EXPECT_EQ(set.Command, "/usr/local/bin/corvane-mail");
}

} // namespace
