// The user's guide and the help window: every help context has its topic, the keyword index
// finds it, and F1 opens the topic of the focused control.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeView>
#include <QtTest/QTest>
#include <algorithm>

#include "app/qt/fmCorv.h"
#include "gui/QtTestSupport.h"
#include "output/qt/fmAbout.h"
#include "output/qt/fmExport.h"
#include "output/qt/fmHist.h"
#include "util/qt/Help.h"

using namespace corvane;
using corvane::test::Pump;
using corvane::test::WaitFor;

namespace {
QString GuidePath() {
    return HelpFileFor(QCoreApplication::applicationDirPath());
}
} // namespace

TEST(Help, EveryContextOfTheProgramHasItsTopic) {
    QFile file(GuidePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << GuidePath().toStdString();
    const QString html = QString::fromUtf8(file.readAll());
    for (int context : {7, 8, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28})
        EXPECT_TRUE(html.contains(QString("<a name=\"ctx%1\"></a>").arg(context))) << context;
}

TEST(Help, KeywordIndexFindsTopicsByPartOfAWord) {
    TfrmHelp help;
    help.SetHelpFile(GuidePath());
    help.ShowTopicSearch();
    EXPECT_TRUE(help.isVisible());
    EXPECT_EQ(help.Keywords().value("clear all"), 17);
    EXPECT_EQ(help.Keywords().value("serial port"), 21);
    EXPECT_GT(help.KeywordList()->count(), 40);
    help.SearchBox()->setText("SERI");
    ASSERT_GE(help.KeywordList()->count(), 2);
    for (int i = 0; i < help.KeywordList()->count(); ++i)
        EXPECT_TRUE(help.KeywordList()->item(i)->text().contains("seri", Qt::CaseInsensitive));
    help.SearchBox()->setText("no such word anywhere");
    EXPECT_EQ(help.KeywordList()->count(), 0);
}

TEST(Help, MissingGuideSaysSoInsteadOfFailing) {
    TfrmHelp help;
    help.SetHelpFile("/nonexistent/Corvane.html");
    help.ShowContents();
    EXPECT_TRUE(help.Browser()->toPlainText().contains("was not found"));
    EXPECT_TRUE(help.Keywords().isEmpty());
}

TEST(Help, ContextsAreInheritedFromParents) {
    QWidget parent;
    QWidget* child = new QWidget(&parent);
    EXPECT_EQ(HelpContextOf(child), 0);
    SetHelpContext(&parent, 21);
    EXPECT_EQ(HelpContextOf(child), 21);
    SetHelpContext(child, 8);
    EXPECT_EQ(HelpContextOf(child), 8);
}

TEST(Help, F1OpensTheTopicOfTheFocusedControl) {
    TfrmCorv frm;
    frm.show();
    frm.activateWindow();
    frm.tvDev->setFocus();
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == frm.tvDev; }));
    EXPECT_EQ(TfrmHelp::ContextForF1(), 8);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(frm.tvDev, &press);
    EXPECT_TRUE(frm.HelpWindow()->isVisible());
    frm.HelpWindow()->close();
}

namespace {
// Where the browser stands when the named anchor's heading is at the top (or the page's end).
int AnchorTop(QTextBrowser* browser, const QString& anchor) {
    QTextDocument* doc = browser->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorNames().contains(anchor)) {
                const int top =
                    static_cast<int>(doc->documentLayout()->blockBoundingRect(block).top());
                return std::min(top, browser->verticalScrollBar()->maximum());
            }
    return -1;
}
} // namespace

// Topic Search shows the keyword index beside the page; the F1 that follows hides it again, so
// the page is laid out anew at its wider width, and the topic's heading must still be on top.
TEST(Help, F1AfterTopicSearchLandsOnTheTopicsHeading) {
    TfrmCorv frm;
    frm.show();
    TfrmHelp* help = frm.HelpWindow();
    help->resize(700, 500);
    help->ShowTopicSearch();
    Pump(50);
    frm.activateWindow();
    frm.tvDev->setFocus();
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == frm.tvDev; }));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(frm.tvDev, &press);
    Pump(50);
    QTextBrowser* browser = help->Browser();
    const int top = AnchorTop(browser, "ctx8");
    ASSERT_GT(top, 0);
    EXPECT_EQ(browser->verticalScrollBar()->value(), top);
    help->close();
}

// While the history window (or any of the program's dialogs) waits for an answer, the help
// window opened from it still takes keys and scrolls: the dialogs hold up the main window only.
TEST(Help, HelpStaysUsableBesideTheProgramsDialogs) {
    TfrmCorv frm;
    frm.show();
    TfrmHelp* help = frm.HelpWindow();
    QDialog* dialogs[] = {frm.findChild<TfrmHist*>(), frm.findChild<TfrmExport*>(),
                          frm.findChild<TfrmAbout*>()};
    for (QDialog* dialog : dialogs) {
        ASSERT_NE(dialog, nullptr);
        SCOPED_TRACE(dialog->metaObject()->className());
        int before = -1;
        int after = -1;
        QTimer::singleShot(0, dialog, [&] {
            help->ShowContents();
            Pump(50);
            help->Browser()->setFocus();
            help->Browser()->verticalScrollBar()->setValue(0);
            before = help->Browser()->verticalScrollBar()->value();
            // Through the window system, where a window held up by a modal one hears nothing.
            QTest::keyClick(help->windowHandle(), Qt::Key_PageDown);
            Pump(20);
            after = help->Browser()->verticalScrollBar()->value();
            dialog->reject();
        });
        dialog->exec();
        EXPECT_GT(after, before);
        help->close();
    }
}
