// Sections [MQTT] and [Connections] as the service and the window read them at start-up.
#include "app/ServiceSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/AppIni.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

class ServiceSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "corvane-mqtt-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    TMqttSettings Read(const std::string& section) const {
        const std::string path = (dir_ / "corvane.INI").string();
        std::ofstream(path, std::ios::binary) << "[MQTT]\r\nHost=127.0.0.1\r\n" << section;
        return ReadMqttSettings(TIniFile(path));
    }

    fs::path dir_;
};

TEST_F(ServiceSettingsTest, PortAndStatePeriodInRangeAreKept) {
    const TMqttSettings low = Read("Port=1\r\nStateEverySec=1\r\n");
    EXPECT_EQ(low.Port, 1);
    EXPECT_EQ(low.StateEverySec, 1);
    const TMqttSettings high = Read("Port=65535\r\nStateEverySec=86400\r\n");
    EXPECT_EQ(high.Port, 65535);
    EXPECT_EQ(high.StateEverySec, 86400);
    EXPECT_TRUE(high.Warnings.empty());
    const TMqttSettings unset = Read("");
    EXPECT_EQ(unset.Port, 1883);
    EXPECT_EQ(unset.StateEverySec, 60);
    EXPECT_TRUE(unset.Warnings.empty());
}

// A period of 0, below it or past a timer's reach stopped the periodic states without a word.
TEST_F(ServiceSettingsTest, OutOfRangeTakesTheDefaultAndSaysSo) {
    const struct {
        const char* text;
        int port, every;
        const char* warning;
    } cases[] = {
        {"Port=0", 1883, 60, "[MQTT] Port=0 is out of range; using 1883"},
        {"Port=65536", 1883, 60, "[MQTT] Port=65536 is out of range; using 1883"},
        {"Port=-1883", 1883, 60, "[MQTT] Port=-1883 is out of range; using 1883"},
        {"StateEverySec=0", 1883, 60, "[MQTT] StateEverySec=0 is out of range; using 60"},
        {"StateEverySec=-60", 1883, 60, "[MQTT] StateEverySec=-60 is out of range; using 60"},
        {"StateEverySec=86401", 1883, 60, "[MQTT] StateEverySec=86401 is out of range; using 60"},
        {"StateEverySec=$7FFFFFFF", 1883, 60,
         "[MQTT] StateEverySec=$7FFFFFFF is out of range; using 60"},
    };
    for (const auto& c : cases) {
        const TMqttSettings m = Read(std::string(c.text) + "\r\n");
        EXPECT_EQ(m.Port, c.port) << c.text;
        EXPECT_EQ(m.StateEverySec, c.every) << c.text;
        EXPECT_EQ(m.Warnings, std::vector<std::string>{c.warning}) << c.text;
    }
}

} // namespace
} // namespace corvane
