#include "output/CsvExport.h"

#include <filesystem>
#include <string>

#include "OutputFixture.h"

namespace corvane::test {
namespace {

namespace fs = std::filesystem;

using TFields = std::array<bool, ExportFieldCount>;

constexpr TFields AllFields = {true, true, true, true, true, true, true, true, true};
const std::string FullHeader = "Serial Number,Name,Kind,Last Activity,Total Count,"
                               "Duplicate Count,Running Average,Maximum Gap,Minimum Gap\r\n";

TFields Only(std::initializer_list<int> chosen) {
    TFields fields{};
    for (int f : chosen)
        fields[f] = true;
    return fields;
}

using CsvExportTest = OutputTest;

TEST_F(CsvExportTest, EmptyTableGivesHeaderOnly) {
    EXPECT_EQ(BuildExport(*store_, AllFields), FullHeader);
    EXPECT_EQ(BuildExport(*store_, Only({1})), "Name\r\n");
}

TEST_F(CsvExportTest, EveryFieldInItsFixedForm) {
    TSensor& a = AddSensor(0x00AB12, "North Gate", 10);
    a.Stats.LastTime = EncodeDateTime(2026, 1, 2, 3, 4, 5);
    a.Stats.Count = 120;
    a.Stats.Dups = 4;
    a.Stats.RunAvg = 12.3f;
    a.Stats.MaxGap = 65535;
    a.Stats.MinGap = 65535; // no gap yet: exported as held
    TSensor& b = AddSensor(INT64_MIN, "Tank \"7\", east", 26);
    b.Stats.LastTime = EncodeDateTime(2025, 12, 31, 23, 59, 59);
    b.Stats.RunAvg = 30.0f;
    b.Stats.MinGap = 9;

    EXPECT_EQ(BuildExport(*store_, AllFields),
              FullHeader +
                  "\"000000000000AB12\",\"North Gate\",\"Temperature\",\"01/02/26 03:04:05\","
                  "120,4,12.3000001907349,65535,65535\r\n"
                  "\"8000000000000000\",\"Tank \"\"7\"\", east\",\"CountAnalog\","
                  "\"12/31/25 23:59:59\",0,0,30,0,9\r\n");
}

TEST_F(CsvExportTest, ChosenFieldsOnlyWithoutTrailingCommas) {
    AddSensor(1, "Alpha", 2).Stats.MinGap = 65535;
    AddSensor(2, "", 4).Stats.MinGap = 17;

    EXPECT_EQ(BuildExport(*store_, Only({1})), "Name\r\n\"Alpha\"\r\n\"\"\r\n");
    EXPECT_EQ(BuildExport(*store_, Only({2, 8})),
              "Kind,Minimum Gap\r\n\"DualCounter\",65535\r\n\"Discrete\",17\r\n");
    EXPECT_EQ(BuildExport(*store_, Only({0})),
              "Serial Number\r\n\"0000000000000001\"\r\n\"0000000000000002\"\r\n");
}

TEST(FormatGeneral15Test, UpToFifteenSignificantDigits) {
    EXPECT_EQ(FormatGeneral15(30.5f), "30.5");
    EXPECT_EQ(FormatGeneral15(30.0f), "30");
    EXPECT_EQ(FormatGeneral15(12.3f), "12.3000001907349");
    EXPECT_EQ(FormatGeneral15(0.0f), "0");
    EXPECT_EQ(FormatGeneral15(0.1), "0.1");
    EXPECT_EQ(FormatGeneral15(65535.0), "65535");
    FormatSettings.DecimalSeparator = ',';
    EXPECT_EQ(FormatGeneral15(30.5f), "30,5");
    FormatSettings = TFormatSettings{};
}

TEST_F(CsvExportTest, FileReplacedWithTheBuiltText) {
    TSensor& a = AddSensor(5, "A", 1);
    a.Stats.RunAvg = 30.5f;
    std::ofstream(Path("out.csv")) << std::string(5000, 'z');
    WriteExport(Path("out.csv"), *store_, AllFields);
    EXPECT_EQ(ReadAll(Path("out.csv")), BuildExport(*store_, AllFields));

    store_->SensorCount = 0;
    WriteExport(Path("out.csv"), *store_, Only({4}));
    EXPECT_EQ(ReadAll(Path("out.csv")), "Total Count\r\n");
}

TEST_F(CsvExportTest, UncreatableFileThrowsNamingIt) {
    Touch("plain");
    const std::string path = Dir() + "plain/out.csv";
    try {
        WriteExport(path, *store_, AllFields);
        FAIL() << "no error reported";
    } catch (const EExportError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(CsvExportTest, FailedWriteIsReportedNotTakenForSuccess) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    AddSensor(1, "A", 1);
    EXPECT_THROW(WriteExport("/dev/full", *store_, AllFields), EExportError);
}

} // namespace
} // namespace corvane::test
