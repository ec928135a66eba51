// The main window started where its settings or logs cannot go: it says so in a message box over
// the window and goes on, without the logs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <string>

#include "app/FilePlaces.h"
#include "app/Monitor.h"
#include "app/qt/fmCorv.h"
#include "gui/QtTestSupport.h"
#include "store/ActivityStore.h"
#include "support/Packets.h"

using namespace corvane;

namespace {

struct TShownBox {
    bool Shown = false;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons;
    std::string Text;
};

struct FoldersTest : ::testing::Test {
    QTemporaryDir folder;
    TFilePlaces places;
    TShownBox shown;
    // Answers the first message box with OK once it is up, keeping what it showed.
    QTimer boxWatch;

    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        places = BesideProgram(folder.filePath("corvane").toStdString());
        places.StateFile = folder.filePath("state/window.ini").toStdString();
        QFile ini(QString::fromStdString(places.SettingsFile));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Settings]\r\nLogPackets=1\r\n");
        QFile plain(folder.filePath("plain"));
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    }
    // The logs go under a plain file, where no one can make a folder.
    void PutLogsUnderAFile() {
        places.DataFolder = folder.filePath("plain/logs").toStdString();
        places.LogBase = places.DataFolder + "/corvane";
        places.ErrorReport = places.DataFolder + "/corvane.err";
        places.HistoryFile = places.DataFolder + "/corvane_history.db";
    }
    std::unique_ptr<TfrmCorv> Start() {
        boxWatch.setInterval(5);
        QObject::connect(&boxWatch, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            boxWatch.stop();
            shown = {true, box->icon(), box->standardButtons(), box->text().toStdString()};
            box->accept();
        });
        boxWatch.start();
        auto frm = std::make_unique<TfrmCorv>(QStringList{}, places);
        frm->show();
        return frm;
    }
};

} // namespace

TEST_F(FoldersTest, ALogsFolderThatCannotBeWrittenIsShownAndTheRunGoesOnWithoutLogs) {
    PutLogsUnderAFile();
    auto frm = Start();
    ASSERT_TRUE(test::WaitFor([&] { return shown.Shown; }));
    EXPECT_EQ(shown.Icon, QMessageBox::Warning);
    EXPECT_EQ(shown.Buttons, QMessageBox::Ok);
    EXPECT_EQ(shown.Text, "cannot write to " + places.DataFolder + ": Not a directory");

    EXPECT_TRUE(
        frm->Monitor().ParsePacketLine(nullptr, corvane::testing::SensorLine(0x123456, ",1,Gate")));
    EXPECT_EQ(frm->Monitor().Store().SensorCount, 1);
    const QStringList files = QDir(folder.path()).entryList(QDir::Files | QDir::NoDotAndDotDot);
    EXPECT_EQ(files, (QStringList{"corvane.INI", "plain"}));
}

TEST_F(FoldersTest, ASettingsFolderThatCannotBeWrittenIsShownToo) {
    places.ConfigFolder = folder.filePath("plain/settings").toStdString();
    auto frm = Start();
    ASSERT_TRUE(test::WaitFor([&] { return shown.Shown; }));
    EXPECT_EQ(shown.Icon, QMessageBox::Warning);
    EXPECT_EQ(shown.Text, "cannot write to " + places.ConfigFolder + ": Not a directory");
}

TEST_F(FoldersTest, FoldersThatCanBeWrittenShowNothingAndKeepTheLogs) {
    auto frm = Start();
    test::Pump(100);
    EXPECT_FALSE(shown.Shown);
    EXPECT_TRUE(
        frm->Monitor().ParsePacketLine(nullptr, corvane::testing::SensorLine(0x123456, ",1,Gate")));
    EXPECT_TRUE(QFile::exists(folder.filePath("corvane_01.txt")));
}
