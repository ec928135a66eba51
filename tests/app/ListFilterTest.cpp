// Which sensor list rows the search field and the state choice let through.
#include <string>
#include <vector>

#include "app/ListFilter.h"
#include "app/ListTexts.h"
#include "support/StoreFixture.h"

namespace corvane::testing {
namespace {

class ListFilterTest : public StoreFixture {
protected:
    TListFilter filter;

    uint16_t Named(int64_t serNo, uint8_t kind, const std::string& name) {
        const uint16_t row = store->AddSensor(kind, serNo);
        store->Sensors[row].Name.Assign(name);
        return row;
    }
    // The rows shown for a text, in row order.
    std::vector<uint16_t> Shown(const std::string& text) {
        filter.SetText(text);
        std::vector<uint16_t> rows;
        for (uint16_t r = 0; r < store->SensorCount; ++r)
            if (filter.Matches(*store, r))
                rows.push_back(r);
        return rows;
    }
    using Rows = std::vector<uint16_t>;
};

TEST_F(ListFilterTest, LabelSerialNumberAndKindNameMatchInAnyLetterCase) {
    const uint16_t tank = Named(0x1A2B3C, 10, "Tank North"); // Temperature
    const uint16_t bare = Named(-2, 11, "");                 // Humidity, FFFF...FFFE
    const uint16_t pump = Named(0xABC, 2, "pump \xD6l");     // DualCounter, "Öl"
    EXPECT_EQ(Shown(""), (Rows{tank, bare, pump}));
    EXPECT_EQ(Shown("tANK"), Rows{tank});
    EXPECT_EQ(Shown("north"), Rows{tank}); // the end of a label
    // The serial number counts for a named sensor too, as 16 digits with leading zeros.
    EXPECT_EQ(Shown("001a2b3c"), Rows{tank});
    EXPECT_EQ(Shown("fffffffffffffffe"), Rows{bare});
    EXPECT_EQ(Shown("abc"), Rows{pump}); // 00...1A2B3C holds no "abc"; 00...0ABC does
    EXPECT_EQ(Shown("HUMID"), Rows{bare});
    EXPECT_EQ(Shown("temperature"), Rows{tank});
    // Accented capitals fold onto their small letters; the multiplication sign is not a letter.
    EXPECT_EQ(Shown("\xF6L"), Rows{pump});
    EXPECT_EQ(Shown("\xF7"), Rows{});
    EXPECT_EQ(Shown("Tank North and more"), Rows{}); // longer than every text
    EXPECT_EQ(Shown("xyz"), Rows{});
    filter.SetText("tank", false); // holds a character no 8-bit label can carry
    EXPECT_FALSE(filter.Matches(*store, tank));
    EXPECT_TRUE(filter.IsActive());
    // Rows not in use never match, even with nothing typed.
    filter.SetText("");
    EXPECT_FALSE(filter.IsActive());
    EXPECT_FALSE(filter.Matches(*store, store->SensorCount));
}

TEST_F(ListFilterTest, StateChoiceShowsExactlyTheSensorsInThatState) {
    store->Alerts.Settings.AlertMinSec = 0;
    const uint16_t steady = Named(1, 2, "Tank A");
    const uint16_t quiet = Named(2, 2, "Tank B");
    const uint16_t gone = Named(3, 2, "Pump C");
    // Every 10 s until, one by one, two of them stop.
    for (int k = 0; k < 4; ++k) {
        for (uint16_t r : {steady, quiet, gone})
            Read(r);
        Wait(10);
    }
    for (int k = 0; k < 10; ++k) { // the last one stops first: silent past 100 s
        Read(steady);
        Read(quiet);
        Wait(10);
        store->ExpireTick();
    }
    for (int k = 0; k < 4; ++k) { // then the middle one: late at 30 s
        Read(steady);
        Wait(10);
        store->ExpireTick();
    }
    ASSERT_EQ(store->Alerts.State(TAlertKind::Sensor, quiet), TAlertState::Late);
    ASSERT_EQ(store->Alerts.State(TAlertKind::Sensor, gone), TAlertState::Silent);

    filter.SetState(TStateChoice::Late);
    EXPECT_TRUE(filter.IsActive());
    EXPECT_EQ(Shown(""), Rows{quiet});
    EXPECT_EQ(Shown("pump"), Rows{});
    filter.SetState(TStateChoice::Silent);
    EXPECT_EQ(Shown(""), Rows{gone});
    EXPECT_EQ(Shown("tank"), Rows{});
    filter.SetState(TStateChoice::LateOrSilent);
    EXPECT_EQ(Shown(""), (Rows{quiet, gone}));
    EXPECT_EQ(Shown("tank"), Rows{quiet});
    filter.SetState(TStateChoice::All);
    EXPECT_EQ(Shown("tank"), (Rows{steady, quiet}));

    // A read brings the late one back to reporting: the Late choice lets it go.
    filter.SetState(TStateChoice::Late);
    Read(quiet);
    EXPECT_EQ(Shown(""), Rows{});
}

TEST_F(ListFilterTest, BehindSomethingShowsTheSensorsWithACause) {
    store->Alerts.Settings.AlertMinSec = 0;
    const uint16_t own = Named(1, 2, "Tank A");
    const uint16_t behind = Named(2, 2, "Tank B");
    const uint8_t a = store->AddRepeat('a');
    for (int k = 0; k < 4; ++k) {
        Read(own);
        Read(behind, NoIndex, a);
        Wait(10);
    }
    Wait(30);
    store->ExpireTick(); // all three late in one tick: the repeater is Tank B's cause
    ASSERT_EQ(store->Alerts.State(TAlertKind::Sensor, own), TAlertState::Late);
    filter.SetState(TStateChoice::Behind);
    EXPECT_EQ(Shown(""), Rows{behind});
    EXPECT_EQ(Shown("tank a"), Rows{});
    filter.SetState(TStateChoice::Late);
    EXPECT_EQ(Shown(""), (Rows{own, behind}));
}

TEST(AlertCountsTextTest, OwnCountsFirstAndWhatIsBehindThemOnlyWhenAny) {
    EXPECT_EQ(AlertCountsText(1, 4, 8), "1 silent, 4 late, 8 behind them");
    EXPECT_EQ(AlertCountsText(0, 2, 0), "0 silent, 2 late");
    EXPECT_EQ(AlertCountsText(0, 0, 0), "");
}

} // namespace
} // namespace corvane::testing
