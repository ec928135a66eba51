// The log pane's lines: newest on top, the capacity kept through bursts larger than it, and the
// waiting lines put in by the event loop within a frame, or at once when something reads them.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPlainTextEdit>

#include "QtTestSupport.h"
#include "app/qt/LogPane.h"

namespace corvane {
namespace {

QStringList Shown(const QPlainTextEdit& edit) {
    return edit.toPlainText().split('\n');
}

TEST(LogPane, BurstsKeepTheNewestOnTopAndTheCapacityWhateverTheirSize) {
    QPlainTextEdit edit;
    TLogPane pane(edit, 5);
    pane.Prepend("first");
    pane.Prepend(""); // an empty line is a line
    pane.Flush();
    EXPECT_EQ(Shown(edit), (QStringList{"", "first"}));
    for (int i = 0; i < 3; ++i)
        pane.Prepend(QString("b%1").arg(i));
    EXPECT_EQ(pane.Lines(), 5);
    pane.Flush();
    EXPECT_EQ(Shown(edit), (QStringList{"b2", "b1", "b0", "", "first"}));
    // More than the pane holds in one burst: only the newest are ever shown.
    for (int i = 0; i < 12; ++i)
        pane.Prepend(QString("c%1").arg(i));
    EXPECT_EQ(pane.Lines(), 5);
    pane.Flush();
    EXPECT_EQ(Shown(edit), (QStringList{"c11", "c10", "c9", "c8", "c7"}));
    pane.Prepend("d");
    pane.Flush();
    EXPECT_EQ(Shown(edit), (QStringList{"d", "c11", "c10", "c9", "c8"}));
    EXPECT_EQ(edit.document()->blockCount(), 5);

    pane.Prepend("waiting");
    pane.Clear();
    pane.Flush();
    EXPECT_EQ(edit.toPlainText(), "");
    EXPECT_EQ(pane.Lines(), 0);
    pane.Prepend("after");
    pane.Flush();
    EXPECT_EQ(Shown(edit), (QStringList{"after"}));
}

TEST(LogPane, TheEventLoopPutsWaitingLinesInWithinAFrame) {
    QPlainTextEdit edit;
    TLogPane pane(edit, 100);
    QElapsedTimer clock;
    clock.start();
    pane.Prepend("one");
    ASSERT_TRUE(test::WaitFor([&] { return edit.toPlainText() == "one"; }));
    // The next line comes within a frame of the first, not sooner.
    pane.Prepend("two");
    ASSERT_TRUE(test::WaitFor([&] { return edit.toPlainText() == "two\none"; }));
    EXPECT_GE(clock.elapsed(), TLogPane::FrameMs - 1);
}

} // namespace
} // namespace corvane
