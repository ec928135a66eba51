#include "gui/QtTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include "util/qt/ErrorReport.h"
#include "util/qt/FramePace.h"

namespace corvane::test {

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
    }
    return true;
}

void Pump(int ms) {
    WaitFor([] { return false; }, ms);
}

} // namespace corvane::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    corvane::TCorvApplication app(argc, argv);
    // The tests look at the views after each turn of the event loop; the frame pace has its own.
    corvane::TFramePace::Instance().SetInterval(std::chrono::milliseconds(0));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
