// View > Missing... in the real main window, headless, over a history database prepared beside
// the program before the window starts: what it lists, its empty state, reading again when
// reopened, and a run that keeps no history.
#include "app/qt/fmMissing.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <memory>

#include "app/HistoryRecording.h"
#include "app/Monitor.h"
#include "app/qt/fmCorv.h"
#include "gui/QtTestSupport.h"
#include "history/HistoryTime.h"
#include "store/ActivityStore.h"
#include "support/FakeConn.h"
#include "support/KnownDatabase.h"
#include "support/Packets.h"

using namespace corvane;
using corvane::test::WaitFor;
using corvane::testing::SensorLine;
using corvane::testing::TFakeConn;
using corvane::testing::TKnownDatabase;

namespace {

constexpr int64_t kMinute = 60 * 1000;
constexpr int64_t kHour = 60 * kMinute;

struct MissingFixture : ::testing::Test {
    QTemporaryDir folder;
    TSystemClock clock;
    int64_t nowMs = WallToUnixMs(clock.WallNow());
    std::unique_ptr<TKnownDatabase> known;
    std::unique_ptr<TfrmCorv> frm;

    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        known =
            std::make_unique<TKnownDatabase>(folder.filePath("corvane_history.db").toStdString());
    }
    void TearDown() override {
        frm.reset();
        test::Pump(1);
    }
    // The window on the prepared file, which it holds for recording from then on.
    void Start(const char* settings = "") {
        QFile ini(folder.filePath("corvane.INI"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(settings);
        ini.close();
        known->Close();
        frm = std::make_unique<TfrmCorv>(QStringList{}, folder.filePath("corvane"));
    }
    QAction* MissingCommand() const {
        // The View menu settles the command's state as it opens.
        emit frm->findChild<QMenu*>("miView")->aboutToShow();
        return frm->findChild<QAction*>("mniMissing");
    }
    TfrmMissing* Open() {
        QAction* command = MissingCommand();
        EXPECT_TRUE(command->isEnabled());
        command->trigger();
        auto* dialog = frm->findChild<TfrmMissing*>();
        EXPECT_TRUE(dialog && dialog->isVisible());
        return dialog;
    }
    static QStringList Row(const TfrmMissing& dialog, int row) {
        QStringList cells;
        const QAbstractItemModel* model = dialog.lvMissing->model();
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(row, c).data().toString();
        return cells;
    }
    QString Shown(int64_t ms) const {
        return QString::fromStdString(FormatDateTimeFull(clock.ToLocal(UnixMsToWall(ms))));
    }
};

TEST_F(MissingFixture, ListsTheKnownThatTheStoreLetGoNewestFirst) {
    const int64_t tank = nowMs - 4 * kHour - 30 * kMinute;
    const int64_t south = nowMs - 2 * 24 * kHour - 3 * kHour - kMinute;
    const int64_t entry = nowMs - 4 * kHour;
    const int64_t repeater = nowMs - 5 * kHour;
    known->Entry(2, "North Gate", entry, 61.2);
    known->Repeater('R', repeater, -1);
    known->Sensor(0x123456, "Tank Pit", tank, 29.6, 2, 'R');
    known->Sensor(0x654321,
                  "Pumpe S\xFC"
                  "d",
                  south, -1, 2, '\0');
    known->Sensor(0x777777, "Heard lately", nowMs - 10 * kMinute, 30, 2, '\0');
    Start();
    ASSERT_TRUE(frm->History().Recording());
    EXPECT_EQ(frm->Monitor().Store().SensorCount, 0);

    TfrmMissing* dialog = Open();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowTitle(), "Missing");
    EXPECT_EQ(dialog->lblSummary->text(),
              "2 sensors, 1 repeater and 1 entry point not heard for over 10800 s");
    const QAbstractItemModel* model = dialog->lvMissing->model();
    QStringList captions;
    for (int c = 0; c < model->columnCount(); ++c)
        captions << model->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(captions, QStringList({"Kind", "Label", "Last read", "Ago", "Usual gap", "Route"}));
    ASSERT_EQ(model->rowCount(), 4);
    EXPECT_EQ(Row(*dialog, 0),
              QStringList({"Entry point", "North Gate", Shown(entry), "4 h 0 min", "61 s", ""}));
    EXPECT_EQ(Row(*dialog, 1), QStringList({"Sensor", "Tank Pit", Shown(tank), "4 h 30 min", "30 s",
                                            "North Gate via R"}));
    EXPECT_EQ(Row(*dialog, 2),
              QStringList({"Repeater", "R", Shown(repeater), "5 h 0 min", "", ""}));
    EXPECT_EQ(Row(*dialog, 3), QStringList({"Sensor", QString::fromUtf8("Pumpe Süd"), Shown(south),
                                            "2 d 3 h", "", "North Gate (direct)"}));
}

// Nothing gone at first; the list is read again each time it is opened, and a sensor heard
// again is in the store and off the list once the run has recorded its read.
TEST_F(MissingFixture, ReadsTheFileAgainWhenReopened) {
    known->Sensor(0x123456, "Tank Pit", nowMs - 3 * kMinute, 30, 1, '\0');
    Start();
    TfrmMissing* dialog = Open();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->lblSummary->text(), "No sensor, repeater or entry point is missing");
    EXPECT_EQ(dialog->lvMissing->model()->rowCount(), 0);
    dialog->reject();

    known->Sensor(0xABCDEF, "Gate", nowMs - 6 * kHour, 30, 1, '\0');
    known->Db().Exec("UPDATE sensors SET last_ms = last_ms - 86400000 WHERE label = 'Tank Pit'");
    ASSERT_EQ(Open(), dialog);
    EXPECT_EQ(dialog->lblSummary->text(), "2 sensors not heard for over 10800 s");
    ASSERT_EQ(dialog->lvMissing->model()->rowCount(), 2);
    EXPECT_EQ(Row(*dialog, 1)[1], "Tank Pit");

    TFakeConn conn("Serial: 1");
    frm->AttachHandlers(conn);
    frm->ConnStateChanged(conn, TConnState::Open);
    conn.Receive(SensorLine(0x123456, ",1,North,Tank Pit") + "\r");
    EXPECT_EQ(frm->Monitor().Store().SensorCount, 1);
    EXPECT_TRUE(WaitFor([&] {
        dialog->btnRefresh->click();
        return dialog->lvMissing->model()->rowCount() == 1;
    }));
    EXPECT_EQ(Row(*dialog, 0)[1], "Gate");
    frm->ConnStateChanged(conn, TConnState::Close);
}

TEST_F(MissingFixture, WithoutHistoryTheCommandIsOffAndTheListSaysSo) {
    known->Sensor(0x123456, "Tank Pit", nowMs - 6 * kHour, 30, 1, '\0');
    Start("[History]\nKeep=0\n");
    EXPECT_TRUE(frm->History().ReadablePath().empty());
    EXPECT_FALSE(MissingCommand()->isEnabled());
    TfrmMissing* dialog =
        ShowMissing(*frm, frm->History().ReadablePath(), 10800, frm->Monitor().Clock());
    EXPECT_EQ(dialog->lblSummary->text(),
              "No history is kept: recording is off ([History] Keep=0).");
    EXPECT_EQ(dialog->Model()->rowCount(), 0);

    // A file that cannot be read leaves nothing of what was listed before, and says why.
    ShowMissing(*frm, known->Path(), 10800, frm->Monitor().Clock());
    EXPECT_EQ(dialog->Model()->rowCount(), 1);
    const std::string gone = folder.filePath("elsewhere.db").toStdString();
    ShowMissing(*frm, gone, 10800, frm->Monitor().Clock());
    EXPECT_EQ(dialog->lblSummary->text(),
              QString::fromStdString("No history to read: no history database at " + gone));
    EXPECT_EQ(dialog->Model()->rowCount(), 0);
}

} // namespace
