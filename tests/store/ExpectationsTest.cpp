#include <string>
#include <vector>

#include "support/StoreFixture.h"

namespace corvane::testing {
namespace {

using Lines = std::vector<std::string>;

class ExpectationsTest : public StoreFixture {
protected:
    TAlerts& alerts = store->Alerts;
    TExpectations expect;

    Lines Tick(double after) {
        const size_t before = views.Log.size();
        Wait(after);
        store->ExpireTick();
        Lines alertLines; // without the expiry's own lines
        for (size_t i = before; i < views.Log.size(); ++i)
            if (views.Log[i].rfind("Equal:", 0) != 0)
                alertLines.push_back(views.Log[i]);
        return alertLines;
    }
};

TEST(ExpectationsTableTest, SensorsAreKeptBySerialNumberAndDroppedWithoutASetting) {
    TExpectations t;
    t.SetSensor(30, {60, false});
    t.SetSensor(10, {0, true});
    t.SetSensor(20, {5, true});
    EXPECT_EQ(t.Sensor(20), (TExpectation{5, true}));
    EXPECT_EQ(t.Sensor(25), TExpectation{});
    t.SetSensor(20, {});
    ASSERT_EQ(t.Sensors().size(), 2u);
    EXPECT_EQ(t.Sensors()[0].first, 10);
    EXPECT_EQ(t.Sensors()[1].first, 30);
}

TEST_F(ExpectationsTest, AnExpectedGapJudgesASensorHeardOnce) {
    const uint16_t s = Sensor(1);
    expect.SetSensor(1, {20, false});
    alerts.SetExpectations(expect);
    Read(s);
    EXPECT_EQ(Tick(60), Lines{}); // AlertMinSec 30; 60 is not more than 3 x 20
    EXPECT_EQ(Tick(1), Lines{"Sensor 0000000000000001 late: no read for 61 s, usual gap 20 s"});
    float gap = 0;
    ASSERT_TRUE(alerts.UsualGap(TAlertKind::Sensor, s, gap));
    EXPECT_EQ(gap, 20.0f);
}

// With the store keeping half an hour, an hourly sensor's reads are gone before its next one is
// due: judged against what was seen, not what is still held.
TEST_F(ExpectationsTest, AnHourlySensorIsJudgedAfterItsReadsExpired) {
    store->Settings.MaxAge = 1800;
    const uint16_t s = Sensor(1);
    expect.SetSensor(1, {3600, false});
    alerts.SetExpectations(expect);
    Read(s);
    Wait(3600);
    Read(s);
    EXPECT_EQ(Tick(5000), Lines{});
    ASSERT_EQ(store->Sensors[s].Newest, NoRead);
    EXPECT_EQ(Tick(5801),
              Lines{"Sensor 0000000000000001 late: no read for 10801 s, usual gap 3600 s"});
    Read(s);
    EXPECT_EQ(views.Log.back(), "Sensor 0000000000000001 back after 10801 s");
}

TEST_F(ExpectationsTest, AMutedRecordChangesStateWithoutALine) {
    const uint16_t s = Sensor(1);
    const uint8_t a = Repeat('a'), e = Entry(4);
    expect.SetSensor(1, {0, true});
    expect.SetRepeater('a', {0, true});
    alerts.SetExpectations(expect);
    for (int k = 0; k < 4; ++k) {
        Read(s, e, a);
        Wait(10);
    }
    // Only the entry point, not muted, says so; the sensor's cause is still its repeater.
    EXPECT_EQ(Tick(200), Lines{"Entry Name1 silent: no read for 210 s, usual gap 10 s"});
    EXPECT_EQ(alerts.State(TAlertKind::Sensor, s), TAlertState::Silent);
    EXPECT_TRUE(alerts.Muted(TAlertKind::Repeat, a));
    EXPECT_EQ(alerts.Cause(TAlertKind::Sensor, s), (TAlertCause{TAlertKind::Repeat, a}));
    views.Log.clear();
    Read(s, e, a);
    EXPECT_EQ(views.Log, Lines{"Entry Name1 back after 210 s"});
}

TEST_F(ExpectationsTest, ASettingFollowsItsSensorIntoANewRowAfterClearAll) {
    expect.SetSensor(2, {0, true});
    alerts.SetExpectations(expect);
    const uint16_t first = Sensor(1);
    EXPECT_FALSE(alerts.Muted(TAlertKind::Sensor, first));
    store->ClearStore();
    const uint16_t again = Sensor(2); // row 0 again, another sensor
    ASSERT_EQ(again, first);
    EXPECT_TRUE(alerts.Muted(TAlertKind::Sensor, again));
}

} // namespace
} // namespace corvane::testing
