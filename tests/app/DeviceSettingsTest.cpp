#include "app/DeviceSettings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/StoreFixture.h"
#include "support/TempDir.h"

namespace corvane::testing {
namespace {

class DeviceSettingsTest : public StoreFixture {
protected:
    TTempDir dir;
    std::string path = dir.Path() + "/corvane.INI";
    TIniFile file{path};

    void WriteIni(const std::string& text) const { std::ofstream(path, std::ios::binary) << text; }
    std::string ReadIni() const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST(ExpectationTextTest, OptionsReadInAnyOrderAndAreWrittenInOne) {
    EXPECT_EQ(ParseExpectation(" mute , gap=3600 "), (TExpectation{3600, true}));
    EXPECT_EQ(ParseExpectation("GAP = 15"), (TExpectation{15, false}));
    EXPECT_EQ(ParseExpectation(""), TExpectation{});
    for (const char* bad : {"gap=0", "gap=-5", "gap=1.5", "gap=", "quiet", "gap=864001"})
        EXPECT_FALSE(ParseExpectation(bad)) << bad;
    EXPECT_EQ(ExpectationText({3600, true}), "gap=3600,mute");
    EXPECT_EQ(ExpectationText({0, true}), "mute");
    EXPECT_EQ(ExpectationText({}), "");
}

TEST_F(DeviceSettingsTest, TheThreeSectionsAreReadByTheirKeysAndWhatIsNotUnderstoodIsSaid) {
    WriteIni("[Sensors]\r\n00000000000000AB=gap=3600\r\n00000000000000ac=mute\r\n"
             "12=mute\r\n"
             "[Repeaters]\r\na=gap=20,mute\r\n\"#\"=mute\r\nab=mute\r\n"
             "[Entries]\r\n7=mute\r\n300=mute\r\n8=loud\r\n");
    TSettingWarnings warnings;
    const TExpectations x = ReadExpectations(file, &warnings);
    EXPECT_EQ(x.Sensor(0xAB), (TExpectation{3600, false}));
    EXPECT_EQ(x.Sensor(0xAC), (TExpectation{0, true}));
    EXPECT_EQ(x.Sensors().size(), 2u);
    EXPECT_EQ(x.Repeater('a'), (TExpectation{20, true}));
    EXPECT_EQ(x.Repeater('#'), (TExpectation{0, true}));
    EXPECT_EQ(x.Entry(7), (TExpectation{0, true}));
    EXPECT_EQ(x.Entry(8), TExpectation{});
    EXPECT_EQ(warnings, (TSettingWarnings{"[Sensors] 12=mute is not understood; ignored",
                                          "[Repeaters] ab=mute is not understood; ignored",
                                          "[Entries] 300=mute is not understood; ignored",
                                          "[Entries] 8=loud is not understood; ignored"}));
}

TEST_F(DeviceSettingsTest, AWriteChangesItsOwnLineOnlyAndAnEmptySettingRemovesIt) {
    const std::string before = "; hand-written\r\n[Settings]\r\nMaxAge=3600\r\n\r\n"
                               "[Sensors]\r\n; the tank\r\n00000000000000AB=mute\r\n"
                               "[MQTT]\r\nHost=broker\r\n";
    WriteIni(before);
    const uint16_t row = Sensor(0xAB);
    const TExpectationKey key = ExpectationKeyOf(*store, TAlertKind::Sensor, row);
    EXPECT_EQ(key.Section, "Sensors");
    EXPECT_EQ(key.Key, "00000000000000AB");
    WriteExpectation(file, key, {90, true});
    EXPECT_EQ(ReadIni(), "; hand-written\r\n[Settings]\r\nMaxAge=3600\r\n\r\n"
                         "[Sensors]\r\n; the tank\r\n00000000000000AB=gap=90,mute\r\n"
                         "[MQTT]\r\nHost=broker\r\n");
    WriteExpectation(file, key, {});
    EXPECT_EQ(ReadIni(), "; hand-written\r\n[Settings]\r\nMaxAge=3600\r\n\r\n"
                         "[Sensors]\r\n; the tank\r\n[MQTT]\r\nHost=broker\r\n");
    // A repeater whose character starts a comment is written so that it reads back.
    const uint8_t hash = Repeat('#');
    WriteExpectation(file, ExpectationKeyOf(*store, TAlertKind::Repeat, hash), {0, true});
    EXPECT_EQ(ReadExpectations(file).Repeater('#'), (TExpectation{0, true}));
    const uint8_t entry = Entry(12);
    WriteExpectation(file, ExpectationKeyOf(*store, TAlertKind::Entry, entry), {45, false});
    EXPECT_NE(ReadIni().find("[Entries]\r\n12=gap=45\r\n"), std::string::npos);
}

} // namespace
} // namespace corvane::testing
