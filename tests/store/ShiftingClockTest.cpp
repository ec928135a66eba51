// The wall clock moves under the monitor (summer and winter time, a clock set by hand a day
// either way); gaps, ages, duplicates and expiry are measured on the run's own time line and stay
// true, while the times shown follow the wall clock and its zone.
#include <functional>

#include "support/StoreFixture.h"

namespace corvane::testing {
namespace {

class ShiftingClockTest : public StoreFixture {
protected:
    static constexpr double Hour = 1.0 / 24.0;

    std::string LastActivity() {
        return views.Activity[std::make_pair(int(TOwnerKind::Entry), int(entry))][0];
    }
    std::string Shown(TDateTime wall) const {
        return "Last Activitiy: " + FormatDateTimeShort(clock.ToLocal(wall));
    }

    // Two reads ten seconds apart on the time line, with shift done between them; then the
    // figures an hour or a day of wall time must not bend.
    void CheckFiguresAcross(const std::function<void()>& shift) {
        Read(row, entry);
        Wait(5);
        shift();
        Wait(5);
        Read(row, entry);
        EXPECT_EQ(StatsOf(row).Count, 2);
        EXPECT_EQ(StatsOf(row).Dups, 0); // ten seconds: not a duplicate
        EXPECT_EQ(StatsOf(row).MinGap, 10);
        EXPECT_EQ(StatsOf(row).MaxGap, 10);
        EXPECT_EQ(LastActivity(), Shown(clock.WallNow()));
        Wait(3);
        Read(row, entry); // three seconds: a duplicate
        EXPECT_EQ(StatsOf(row).Dups, 1);

        Wait(7);
        store->ExpireTick();
        EXPECT_EQ(views.Rows[row].Age, "7");
        Wait(10800 - 20); // the first read is now exactly MaxAge old
        store->ExpireTick();
        EXPECT_EQ(store->ReadCount, 3);
        Wait(1);
        store->ExpireTick();
        EXPECT_EQ(store->ReadCount, 2);
        EXPECT_EQ(CheckInvariants(*store), "");
    }

    uint16_t row = Sensor(1);
    uint8_t entry = Entry(1);
};

TEST_F(ShiftingClockTest, SummerToWinterTime) {
    clock.SetZone(clock.WallNow() + 5.0 / 86400, 2, 1);
    CheckFiguresAcross([] {});
}

TEST_F(ShiftingClockTest, WinterToSummerTime) {
    clock.SetZone(clock.WallNow() + 5.0 / 86400, 1, 2);
    CheckFiguresAcross([] {});
}

TEST_F(ShiftingClockTest, WallClockSetBackADay) {
    CheckFiguresAcross([this] { clock.StepWall(-86400); });
    EXPECT_EQ(LastActivity(), Shown(46000.0 - 1 + 13.0 / 86400));
}

TEST_F(ShiftingClockTest, WallClockSetForwardADay) {
    CheckFiguresAcross([this] { clock.StepWall(86400); });
    EXPECT_EQ(LastActivity(), Shown(46000.0 + 1 + 13.0 / 86400));
}

// The times shown are those of each read: the one before the change keeps its summer time.
TEST_F(ShiftingClockTest, EachReadShowsItsOwnLocalTime) {
    clock.SetZone(clock.WallNow() + 5.0 / 86400, 2, 1);
    Read(row, entry);
    const TDateTime first = store->Reads[0].Wall;
    Wait(10);
    Read(row, entry);
    EXPECT_EQ(FormatDateTimeShort(clock.ToLocal(first)), FormatDateTimeShort(46000.0 + 2 * Hour));
    EXPECT_EQ(LastActivity(),
              "Last Activitiy: " + FormatDateTimeShort(46000.0 + Hour + 10.0 / 86400));
    EXPECT_EQ(StatsOf(row).LastWall, store->Reads[1].Wall);
}

} // namespace
} // namespace corvane::testing
