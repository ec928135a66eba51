// The connections window and the status bar's rejected share, fed by a crafted receiver over a
// real TCP connection.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <memory>

#include "app/qt/LogPane.h"
#include "app/qt/fmCorv.h"
#include "conn/qt/fmConnections.h"
#include "gui/QtTestSupport.h"
#include "gui/WindowTest.h"
#include "support/FakeConn.h"
#include "support/Packets.h"
#include "util/qt/ErrorReport.h"

using namespace corvane;
using corvane::test::Pump;
using corvane::test::WaitFor;

namespace {

using corvane::testing::TFakeConn;

struct ConnectionsFixture : test::TWindowTest {
    void Start(const QStringList& args) {
        frm = std::make_unique<TfrmCorv>(args, folder.filePath("corvane"));
    }
    QString Cell(const TConnectionsModel& model, int row, int column) const {
        return model.index(row, column).data().toString();
    }
};

std::string OneOfEachKind() {
    using corvane::testing::PacketDigits;
    using corvane::testing::SensorLine;
    std::string badCrc = SensorLine(0x42, ",1,North");
    badCrc[22] = badCrc[22] == '0' ? '1' : '0';
    return SensorLine(0x41, ",1,North") + "\r" + "too short\r" + std::string(35, 'x') + "\r" +
           badCrc + "\r" + PacketDigits(0x10, 0x43) + ",North\r" + std::string(1030, '7');
}

} // namespace

TEST_F(ConnectionsFixture, WindowListsTheOpenConnectionsWithWhatBecameOfTheirLines) {
    QTcpServer receiver;
    ASSERT_TRUE(receiver.listen(QHostAddress::LocalHost, 0));
    Start({QString("-I%1").arg(receiver.serverPort())});
    ASSERT_TRUE(WaitFor([&] { return receiver.hasPendingConnections(); }));
    QTcpSocket* link = receiver.nextPendingConnection();
    ASSERT_TRUE(WaitFor([&] { return frm->mniClose->actions().size() == 1; }));
    TFakeConn serial{"Serial: 3"};
    frm->AttachHandlers(serial);
    frm->ConnStateChanged(serial, TConnState::Open);

    QAction* entry = frm->findChild<QAction*>("mniConnections");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), "Connections...");
    EXPECT_TRUE(frm->findChild<QMenu*>("miConnect")->actions().contains(entry));
    entry->trigger();
    TfrmConnections* window = frm->LinkViews()->Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isWindow());
    EXPECT_FALSE(window->isModal());
    TConnectionsModel& model = *window->Model();
    EXPECT_EQ(window->lvConnections->model(), &model);
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(Cell(model, 0, TConnectionsModel::ColConnection), "Local");
    EXPECT_EQ(Cell(model, 1, TConnectionsModel::ColConnection), "Serial: 3");
    EXPECT_EQ(model.headerData(TConnectionsModel::ColBadCrc, Qt::Horizontal, Qt::DisplayRole),
              "Bad CRC");

    QLabel* share = frm->statusBar()->findChild<QLabel*>("lblLink");
    ASSERT_NE(share, nullptr);
    EXPECT_TRUE(share->isHidden());
    const QString logBefore = LogText();
    const std::string lines = OneOfEachKind();
    link->write(lines.data(), qint64(lines.size()));
    // The window follows by itself, once a second.
    ASSERT_TRUE(
        WaitFor([&] { return Cell(model, 0, TConnectionsModel::ColReceived) == "5"; }, 4000));
    // A TCP link has no message to turn away and no state beyond being open.
    const QStringList figures = {"5", "1", "1", "1", "1", "1", "0", "6", "5", ""};
    for (int column = TConnectionsModel::ColReceived; column < TConnectionsModel::ColumnCount;
         ++column)
        EXPECT_EQ(Cell(model, 0, column), figures[column - 1]) << column;
    EXPECT_EQ(Cell(model, 1, TConnectionsModel::ColReceived), "0");
    ASSERT_TRUE(WaitFor([&] { return !share->isHidden(); }, 3000));
    EXPECT_EQ(share->text(), "Rejected 80.0 % of lines (last minute)");
    EXPECT_EQ(share->textFormat(), Qt::PlainText);
    // No message for a rejected line: only the read that passed made its entry point.
    const QString logAfter = LogText();
    EXPECT_TRUE(logAfter.endsWith(logBefore));
    EXPECT_EQ(logAfter.count('\n'), logBefore.count('\n') + 1);
    EXPECT_EQ(logAfter.section('\n', 0, 0).mid(9), "Adding Entry 0");

    // The receiver goes away: its row goes, and the share goes with its counts.
    link->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return model.rowCount() == 1; }, 4000));
    EXPECT_EQ(Cell(model, 0, TConnectionsModel::ColConnection), "Serial: 3");
    ASSERT_TRUE(WaitFor([&] { return share->isHidden(); }, 3000));
    frm->ConnStateChanged(serial, TConnState::Close);
    EXPECT_TRUE(errors.empty());
}

// A picture of the connections window on simulated receivers with faults on. Run by hand under a
// display or headless, with the simulators serving on the ports in SHOT_PORTS:
//   corvane-sim --port 1070 --rate 20 --faults badcrc,lowercase,short,garbage,badentry,longline &
//   corvane-sim --port 1071 --rate 5 &
//   SHOT_PORTS=1071,1070 SHOT_FILE=/tmp/x.png xvfb-run -a test_connections
//       --gtest_also_run_disabled_tests --gtest_filter='*Shot*'
TEST_F(ConnectionsFixture, DISABLED_ConnectionsScreenshot) {
    QStringList args;
    for (const QString& port : qEnvironmentVariable("SHOT_PORTS", "1070").split(','))
        args << "-I" + port;
    Start(args);
    frm->setGeometry(10, 30, 1000, 640);
    frm->show();
    frm->findChild<QAction*>("mniConnections")->trigger();
    TfrmConnections* window = frm->LinkViews()->Window();
    window->move(10, 690);
    const int ms = qEnvironmentVariableIntValue("SHOT_MS");
    Pump(ms > 0 ? ms : 45000);
    // Both windows as they stand on the screen, one over the other.
    QPixmap shot(1280, 900);
    shot.fill(Qt::darkGray);
    QPainter painter(&shot);
    painter.drawPixmap(frm->pos(), frm->grab());
    painter.drawPixmap(window->pos(), window->grab());
    painter.end();
    shot.save(qEnvironmentVariable("SHOT_FILE", "connections.png"));
}
