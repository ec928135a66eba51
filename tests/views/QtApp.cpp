// One application object for the whole test program, on the offscreen platform unless told
// otherwise (screenshots under a real display).
#include <QApplication>

#include <gtest/gtest.h>

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
    }
    void TearDown() override { delete app_; }

private:
    QApplication* app_ = nullptr;
};

const auto* const env = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

} // namespace
