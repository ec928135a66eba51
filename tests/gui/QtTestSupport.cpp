#include "gui/QtTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include "util/qt/ErrorReport.h"

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
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
