#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gui/QtTestSupport.h"
#include "util/qt/FramePace.h"

using namespace corvane;
using namespace std::chrono_literals;

namespace {

// Runs the test with the pace a program has, and gives the tests' own back afterwards.
class FramePace : public ::testing::Test {
protected:
    TFramePace& pace = TFramePace::Instance();
    void SetUp() override {
        pace.SetInterval(40ms);
        test::Pump(50); // a quiet spell: the last catch-up is a frame ago
    }
    void TearDown() override { pace.SetInterval(0ms); }
};

TEST_F(FramePace, AsksOfOneFrameRunTogetherAndEachOnce) {
    QObject list, tree;
    std::vector<char> ran;
    pace.Ask(&list, [&] { ran.push_back('l'); });
    pace.Ask(&tree, [&] { ran.push_back('t'); });
    pace.Ask(&list, [&] { ran.push_back('x'); }); // asked already: the first flush stands
    // After a quiet spell the first catch-up comes in the next turn, not a frame later.
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, (std::vector<char>{'l', 't'}));
}

TEST_F(FramePace, ACatchUpWaitsForTheRestOfTheFrame) {
    QObject list;
    int ran = 0;
    QElapsedTimer clock;
    pace.Ask(&list, [&] { ++ran; });
    QCoreApplication::processEvents();
    ASSERT_EQ(ran, 1);
    clock.start();
    // A busy receiver: many changes right after a catch-up give one more, a frame later.
    for (int i = 0; i < 20; ++i) {
        pace.Ask(&list, [&] { ++ran; });
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(ran, 1);
    ASSERT_TRUE(test::WaitFor([&] { return ran == 2; }, 1000));
    EXPECT_GE(clock.elapsed(), 35); // the timer may round a millisecond or so
}

TEST_F(FramePace, AnOwnerThatHasGoneIsNotCalled) {
    auto list = std::make_unique<QObject>();
    QObject tree;
    bool listRan = false, treeRan = false;
    pace.Ask(list.get(), [&] { listRan = true; });
    pace.Ask(&tree, [&] { treeRan = true; });
    list.reset();
    QCoreApplication::processEvents();
    EXPECT_FALSE(listRan);
    EXPECT_TRUE(treeRan);
}

TEST_F(FramePace, AFlushThatAsksAgainRunsInTheNextFrame) {
    QObject list;
    int ran = 0;
    std::function<void()> flush = [&] {
        if (++ran == 1)
            pace.Ask(&list, flush);
    };
    pace.Ask(&list, flush);
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(test::WaitFor([&] { return ran == 2; }, 1000));
}

} // namespace
