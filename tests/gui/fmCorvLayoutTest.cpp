// How the main window shares its width out as it grows and shrinks: the sensor list first,
// until every column shows, the route tree the rest; shrinking takes from the tree first.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTreeView>

#include "app/FilePlaces.h"
#include "app/qt/ListFirstSplitter.h"
#include "app/qt/fmCorv.h"
#include "gui/QtTestSupport.h"

using namespace corvane;

namespace {

TEST(ListFirstSplitter, GrowthGoesToTheListUntilItIsWholeAndShrinkingToTheTreeFirst) {
    // list, tree, new total, list's need, tree's need
    EXPECT_EQ(TListFirstSplitter::ListWidthAfter(500, 180, 900, 640, 120), 640);
    EXPECT_EQ(TListFirstSplitter::ListWidthAfter(500, 180, 600, 640, 120), 480)
        << "the tree gives 60 down to its need, the list the other 20";
    EXPECT_EQ(TListFirstSplitter::ListWidthAfter(640, 260, 1000, 640, 120), 640)
        << "a whole list leaves the growth to the tree";
    EXPECT_EQ(TListFirstSplitter::ListWidthAfter(500, 180, 560, 640, 120), 440);
    EXPECT_EQ(TListFirstSplitter::ListWidthAfter(500, 100, 500, 640, 120), 400)
        << "a tree below its need keeps what it has";
}

TEST(WindowLayout, AnEnlargedWindowShowsEveryColumnAndTheTreeKeepsItsLines) {
    QTemporaryDir folder;
    TFilePlaces places = BesideProgram(folder.filePath("corvane").toStdString());
    places.StateFile.clear();
    TfrmCorv frm(QStringList{}, places);
    frm.show();
    test::Pump(20);
    const QList<int> first = frm.Splitter2->sizes();
    ASSERT_TRUE(frm.lvDev->horizontalScrollBar()->isVisible())
        << "at the first start's size Loss % and Routes are a sideways scroll away";

    frm.resize(1500, 950);
    test::Pump(20);
    EXPECT_FALSE(frm.lvDev->horizontalScrollBar()->isVisible());
    EXPECT_GE(frm.lvDev->width(), WidthShowingColumns(frm.lvDev));
    EXPECT_GE(frm.tvDev->width(), WidthShowingColumns(frm.tvDev));
    EXPECT_GT(frm.Splitter2->sizes()[0], first[0]);

    // Narrower again: the tree gives room first, down to what its lines need.
    const int tree = frm.tvDev->width();
    frm.resize(900, 700);
    test::Pump(20);
    EXPECT_GE(frm.tvDev->width(), std::min(tree, WidthShowingColumns(frm.tvDev)));
    EXPECT_FALSE(frm.lvDev->horizontalScrollBar()->isVisible()) << "room enough for both";
}

} // namespace
