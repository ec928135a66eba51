// A test of the main window: a folder of its own for the window's settings, logs and history
// (so tests may run side by side), the error reports it raised instead of message boxes, and
// its log pane's text as the user sees it.
#pragma once

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "app/qt/LogPane.h"
#include "app/qt/fmCorv.h"
#include "gui/QtTestSupport.h"
#include "util/qt/ErrorReport.h"

namespace corvane::test {

struct TWindowTest : ::testing::Test {
    QTemporaryDir folder;
    std::unique_ptr<TfrmCorv> frm;
    std::vector<std::string> errors;

    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        SetErrorSink([this](const std::string& e) { errors.push_back(e); });
    }
    void TearDown() override {
        frm.reset();
        Pump(1);
        SetErrorSink(nullptr);
    }
    // The pane's lines go in at most once a frame; reading flushes them first, as printing does.
    QString LogText() const {
        frm->LogPane().Flush();
        return frm->reLog->toPlainText();
    }
};

} // namespace corvane::test
