// The user's guide and the help window: every help context has its topic, the keyword index
// finds it, and F1 opens the topic of the focused control.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTextBrowser>
#include <QTreeView>

#include "app/Help.h"
#include "app/fmCorv.h"
#include "gui/QtTestSupport.h"

using namespace corvane;
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
    for (int context : {7, 8, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26})
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
