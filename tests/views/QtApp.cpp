// One application object for the whole test program, on the offscreen platform unless told
// otherwise (screenshots under a real display).
#include <QApplication>

#include <gtest/gtest.h>

#include "util/qt/FramePace.h"

namespace {

class TQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_views";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        // The tests look at the views after each turn of the event loop; the frame pace has its
        // own.
        corvane::TFramePace::Instance().SetInterval(std::chrono::milliseconds(0));
    }
    void TearDown() override { delete app_; }

private:
    QApplication* app_ = nullptr;
};

const auto* const env = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

} // namespace
