// What the desktop is told of the alert changes and when, on a time line set by hand.
#include <gtest/gtest.h>

#include "app/AlertNotices.h"

using namespace corvane;

namespace {

constexpr TDateTime kStart = 46000.0;

TAlertChange Change(TAlertEvent event, TAlertKind kind, std::string id, std::string label = {}) {
    TAlertChange c;
    c.Event = event;
    c.Kind = kind;
    c.Id = id;
    c.Label = label.empty() ? id : label;
    c.SilenceS = 2400;
    c.UsualGapS = 15;
    return c;
}

TDateTime At(double seconds) {
    return kStart + seconds / 86400.0;
}

TEST(NoticeTexts, NameTheRecordItsFiguresAndWhatIsBehindIt) {
    TAlertChange r = Change(TAlertEvent::Silent, TAlertKind::Repeat, "a");
    r.BehindCount = 8;
    EXPECT_EQ(NoticeTitle(r), "Repeater a silent; 8 sensors behind it");
    EXPECT_EQ(NoticeDetail(r), "No read for 2400 s, usual gap 15 s");
    TAlertChange e = Change(TAlertEvent::Late, TAlertKind::Entry, "3", "North");
    e.BehindCount = 1;
    e.UsualGapS = -1;
    EXPECT_EQ(NoticeTitle(e), "Entry North late; 1 sensor behind it");
    EXPECT_EQ(NoticeDetail(e), "No read for 2400 s");
    TAlertChange s = Change(TAlertEvent::Back, TAlertKind::Sensor, "0000000000123456", "Tank 7");
    s.SilenceS = 130;
    EXPECT_EQ(NoticeTitle(s), "Sensor Tank 7 back");
    EXPECT_EQ(NoticeDetail(s), "Back after 130 s");
}

TEST(NoticePace, TheFirstGoesAtOnceAndTheRestTogetherTenSecondsOn) {
    TNoticePace pace;
    EXPECT_EQ(pace.SecondsToNext(At(0)), -1);
    pace.Add(Change(TAlertEvent::Late, TAlertKind::Repeat, "a"));
    EXPECT_EQ(pace.SecondsToNext(At(0)), 0);
    const auto first = pace.Take(At(0));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Summary, "Repeater a late");
    EXPECT_FALSE(first->Urgent);

    pace.Add(Change(TAlertEvent::Silent, TAlertKind::Repeat, "a"));
    pace.Add(Change(TAlertEvent::Late, TAlertKind::Sensor, "1", "Tank 1"));
    pace.Add(Change(TAlertEvent::Late, TAlertKind::Sensor, "2", "Tank 2"));
    // The second sensor goes on to silent before anything is told: it is told once, silent.
    pace.Add(Change(TAlertEvent::Silent, TAlertKind::Sensor, "2", "Tank 2"));
    EXPECT_FALSE(pace.Take(At(3)));
    EXPECT_NEAR(pace.SecondsToNext(At(4)), 6, 1e-3);
    EXPECT_FALSE(pace.Take(At(9.999)));
    const auto together = pace.Take(At(10));
    ASSERT_TRUE(together);
    EXPECT_EQ(together->Summary, "2 silent, 1 late");
    EXPECT_EQ(together->Body, "Repeater a silent\nSensor Tank 1 late\nSensor Tank 2 silent");
    EXPECT_TRUE(together->Urgent);
    EXPECT_EQ(pace.SecondsToNext(At(10)), -1);
}

TEST(NoticePace, ManyAtOnceAreCountedBeyondTheBodysLines) {
    TNoticePace pace;
    pace.Add(Change(TAlertEvent::Late, TAlertKind::Repeat, "z"));
    ASSERT_TRUE(pace.Take(At(0)));
    for (int i = 0; i < 9; ++i)
        pace.Add(Change(TAlertEvent::Late, TAlertKind::Repeat, std::string(1, char('a' + i))));
    const auto notice = pace.Take(At(10));
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->Summary, "9 late");
    EXPECT_EQ(notice->Body.substr(notice->Body.rfind('\n') + 1), "and 3 more");
}

TEST(NoticePace, OnlyOwnCausesAreToldAndOnlyToldGoingsComeBack) {
    TNoticePace pace;
    TAlertChange behind = Change(TAlertEvent::Silent, TAlertKind::Sensor, "1");
    behind.Behind = "repeater/a";
    pace.Add(behind);
    EXPECT_FALSE(pace.Take(At(0)));
    behind.Event = TAlertEvent::Back;
    pace.Add(behind);
    EXPECT_FALSE(pace.Take(At(0)));

    // Gone and back again before it was told: nothing to tell.
    pace.Add(Change(TAlertEvent::Late, TAlertKind::Repeat, "a"));
    pace.Add(Change(TAlertEvent::Back, TAlertKind::Repeat, "a"));
    EXPECT_FALSE(pace.Take(At(0)));

    pace.Add(Change(TAlertEvent::Late, TAlertKind::Repeat, "b"));
    ASSERT_TRUE(pace.Take(At(0)));
    pace.Add(Change(TAlertEvent::Back, TAlertKind::Repeat, "b"));
    const auto back = pace.Take(At(10));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Summary, "Repeater b back");
    // Told back once: another back (after Clear All forgot it) is not told.
    pace.Add(Change(TAlertEvent::Back, TAlertKind::Repeat, "b"));
    EXPECT_FALSE(pace.Take(At(20)));

    pace.Add(Change(TAlertEvent::Late, TAlertKind::Repeat, "c"));
    ASSERT_TRUE(pace.Take(At(30)));
    pace.Clear();
    pace.Add(Change(TAlertEvent::Back, TAlertKind::Repeat, "c"));
    EXPECT_FALSE(pace.Take(At(40)));
}

} // namespace
