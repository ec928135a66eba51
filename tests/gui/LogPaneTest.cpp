// The log pane's lines: newest on top, the capacity kept through bursts larger than it, and the
// waiting lines put in by the event loop within a frame, or at once when something reads them.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <memory>

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

TEST(LogPane, TheFramesTurnPutsWaitingLinesIn) {
    QPlainTextEdit edit;
    TLogPane pane(edit, 100);
    pane.Prepend("one");
    pane.Prepend("two");
    EXPECT_EQ(edit.toPlainText(), "");
    ASSERT_TRUE(test::WaitFor([&] { return edit.toPlainText() == "two\none"; }));
    {
        // A pane gone before its turn is not flushed.
        QPlainTextEdit other;
        auto gone = std::make_unique<TLogPane>(other, 100);
        gone->Prepend("never");
        gone.reset();
        pane.Prepend("three");
        ASSERT_TRUE(test::WaitFor([&] { return edit.toPlainText() == "three\ntwo\none"; }));
        EXPECT_EQ(other.toPlainText(), "");
    }
}

} // namespace
} // namespace corvane
