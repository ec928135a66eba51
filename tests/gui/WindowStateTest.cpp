// The window's state between runs: what one run leaves in its state file the next takes back,
// and a missing, corrupt or oversized state never puts the window off screen.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/stat.h>

#include "app/AppIni.h"
#include "app/FilePlaces.h"
#include "app/qt/SensorListModel.h"
#include "app/qt/WindowState.h"
#include "app/qt/fmCorv.h"
#include "gui/QtTestSupport.h"
#include "output/qt/fmExport.h"

using namespace corvane;

namespace {

struct WindowStateTest : ::testing::Test {
    QTemporaryDir folder;
    TFilePlaces places;

    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        places = BesideProgram(folder.filePath("corvane").toStdString());
        places.StateFile = folder.filePath("state/window.ini").toStdString();
    }
    std::unique_ptr<TfrmCorv> Start() {
        auto frm = std::make_unique<TfrmCorv>(QStringList{}, places);
        frm->show();
        test::Pump(20);
        return frm;
    }
    QRect Available() const { return QGuiApplication::primaryScreen()->availableGeometry(); }
};

} // namespace

TEST_F(WindowStateTest, ARunTakesBackWhatTheLastOneLeft) {
    QRect firstFrame;
    {
        auto frm = Start();
        firstFrame = frm->geometry();
        frm->setGeometry(QRect(Available().topLeft() + QPoint(30, 40), QSize(600, 420)));
        test::Pump(20);
        frm->lvDev->setColumnWidth(1, 77);
        frm->lvDev->setColumnWidth(RoutesColumn, 66);
        frm->Splitter2->setSizes({300, 294});
        frm->findChild<QAction*>("mniLog")->trigger();
        frm->ListModel()->ColumnClick(2);
        frm->ListModel()->ColumnClick(2); // Count, reversed; Sensor breaks ties
        TfrmExport::NoteChosenFile(folder.filePath("exports/sensors.csv"));
        frm->close();
    }
    TfrmExport::SetLastFolder({});
    // The settings file stays as it was: the state has a file of its own.
    EXPECT_FALSE(QFile::exists(QString::fromStdString(places.SettingsFile)));
    ASSERT_TRUE(QFile::exists(QString::fromStdString(places.StateFile)));

    auto frm = Start();
    EXPECT_EQ(frm->size(), QSize(600, 420));
    EXPECT_EQ(frm->lvDev->columnWidth(1), 77);
    EXPECT_EQ(frm->lvDev->columnWidth(RoutesColumn), 66);
    EXPECT_EQ(frm->Splitter2->sizes().first(), 300);
    EXPECT_TRUE(frm->findChild<QAction*>("mniLog")->isChecked());
    EXPECT_FALSE(frm->reLog->isHidden());
    const TSortState& sort = frm->ListModel()->SortState();
    EXPECT_EQ(sort.SortColumn, 2);
    EXPECT_TRUE(sort.SortReverse);
    EXPECT_EQ(sort.TieColumn, 0);
    // The header shows that order: Count, smallest first.
    EXPECT_TRUE(frm->lvDev->header()->isSortIndicatorShown());
    EXPECT_EQ(frm->lvDev->header()->sortIndicatorSection(), 2);
    EXPECT_EQ(frm->lvDev->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    // The folder the last export went to is where the next one starts.
    EXPECT_EQ(TfrmExport::LastFolder(), folder.filePath("exports"));
    frm.reset();

    // Without a state file the window starts as it always has.
    places.StateFile.clear();
    frm = Start();
    EXPECT_EQ(frm->geometry(), firstFrame);
    EXPECT_TRUE(frm->reLog->isHidden());
}

TEST_F(WindowStateTest, CorruptOrForeignStateKeepsTheWindowOnScreen) {
    const QString path = QString::fromStdString(places.StateFile);
    {
        QSettings state(path, QSettings::IniFormat);
        state.setValue("Window/Geometry", QByteArray("\x01\x02garbage", 9));
        state.setValue("Window/Splitter1", QByteArray("nonsense"));
        state.setValue("Window/Columns", QByteArray("\xff\xff", 2));
        state.setValue("Window/SortColumn", 99);
        state.setValue("Window/LogPane", "maybe");
    }
    {
        auto frm = Start();
        EXPECT_TRUE(Available().contains(frm->frameGeometry()));
        EXPECT_EQ(frm->ListModel()->SortState().SortColumn, 0);
        EXPECT_EQ(frm->size(), QSize(690, 500));
        // A window from a far larger screen, far to the right.
        frm->setGeometry(QRect(Available().right() + 3000, 50, 5000, 4000));
        frm->close();
    }
    auto frm = Start();
    EXPECT_TRUE(Available().contains(frm->geometry()))
        << frm->geometry().x() << "," << frm->geometry().y() << " " << frm->width() << "x"
        << frm->height() << " on " << Available().width() << "x" << Available().height();
}

// A FIFO where the state file belongs would block the start on its missing writer; it is left
// unread, and the save replaces it with a state the next run takes back.
TEST_F(WindowStateTest, AFifoAsStateFileIsSkippedAndReplacedAtSave) {
    std::filesystem::create_directories(folder.filePath("state").toStdString());
    ASSERT_EQ(::mkfifo(places.StateFile.c_str(), 0600), 0);
    {
        auto frm = Start();
        EXPECT_EQ(frm->size(), QSize(690, 500));
        frm->ListModel()->ColumnClick(3);
        frm->close();
    }
    ASSERT_TRUE(std::filesystem::is_regular_file(places.StateFile));
    auto frm = Start();
    EXPECT_EQ(frm->ListModel()->SortState().SortColumn, 3);
}

// A state file grown far past any saved state is not taken in, however sound its start.
TEST_F(WindowStateTest, AnOversizedStateFileIsSkippedAndReplacedAtSave) {
    {
        QSettings state(QString::fromStdString(places.StateFile), QSettings::IniFormat);
        state.setValue("Window/SortColumn", 2);
    }
    std::ofstream(places.StateFile, std::ios::app) << "\n;" << std::string(1024 * 1024, 'x');
    {
        auto frm = Start();
        EXPECT_EQ(frm->ListModel()->SortState().SortColumn, 0);
        frm->close();
    }
    EXPECT_LT(std::filesystem::file_size(places.StateFile), 64u * 1024);
    auto frm = Start();
    EXPECT_EQ(frm->ListModel()->SortState().SortColumn, 0);
}

TEST(WindowState, FitOnScreenMovesAndShrinks) {
    const QRect screen(0, 0, 1280, 1024);
    EXPECT_EQ(FitOnScreen(QRect(100, 100, 690, 500), screen), QRect(100, 100, 690, 500));
    EXPECT_EQ(FitOnScreen(QRect(2000, -50, 690, 500), screen), QRect(590, 0, 690, 500));
    EXPECT_EQ(FitOnScreen(QRect(-5000, 900, 3000, 3000), screen), screen);
    EXPECT_EQ(FitOnScreen(QRect(1500, 300, 100, 100), QRect(1280, 0, 1920, 1080)),
              QRect(1500, 300, 100, 100));
}

// A state saved while the list had six columns: the widths it knew come back, and the columns
// added since show at their own widths rather than hidden or squeezed to nothing.
TEST_F(WindowStateTest, HeaderSavedWithSixColumnsKeepsTheNewOnesShown) {
    QByteArray six;
    {
        QStandardItemModel old(0, 6);
        QTreeView view;
        view.setModel(&old);
        view.header()->setStretchLastSection(false);
        for (int c = 0; c < 6; ++c)
            view.setColumnWidth(c, 70 + c);
        six = view.header()->saveState();
    }
    {
        QSettings state(QString::fromStdString(places.StateFile), QSettings::IniFormat);
        state.setValue("Window/Columns", six);
    }
    auto frm = Start();
    QHeaderView* header = frm->lvDev->header();
    ASSERT_EQ(header->count(), ListColumnCount);
    EXPECT_EQ(frm->lvDev->columnWidth(1), 71);
    for (int c : {LossColumn, RoutesColumn}) {
        EXPECT_FALSE(header->isSectionHidden(c));
        EXPECT_EQ(frm->lvDev->columnWidth(c), TSensorListModel::ColumnWidth(c));
    }
}
