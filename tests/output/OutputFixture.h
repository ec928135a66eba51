// A fresh folder per test, a store with a few sensors, and whole-file reads for byte checks.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "store/ActivityStore.h"
#include "util/untTime.h"

namespace corvane::test {

class OutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("corvane_output_") + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        store_ = TStore::Create(clock_, listener_);
    }
    void TearDown() override {
        FormatSettings = TFormatSettings{};
        std::filesystem::remove_all(dir_);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Dir() const { return dir_.string() + "/"; }

    void Touch(const std::string& name) const { std::ofstream(dir_ / name) << "x"; }

    static std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    TSensor& AddSensor(int64_t serNo, std::string_view name, uint8_t kind) {
        TSensor& s = store_->Sensors[store_->SensorCount++];
        s.SerNo = serNo;
        s.Name.Assign(name);
        s.Kind = kind;
        return s;
    }

    std::filesystem::path dir_;
    TManualClock clock_;
    TNullListener listener_;
    std::unique_ptr<TStore> store_;
};

} // namespace corvane::test
