// The main window reading the simulator through a pseudo-terminal that stands in for a serial
// receiver: lines reach the store, and a receiver that vanishes while open closes its
// connection, leaves the Close submenu and does not end the program.
#include <gtest/gtest.h>

#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include "app/AppIni.h"
#include "app/Monitor.h"
#include "app/qt/fmCorv.h"
#include "conn/qt/fmConnSer.h"
#include "tests/gui/QtTestSupport.h"

namespace corvane {
namespace {

using test::Pump;
using test::WaitFor;

class SerialSimulator : public ::testing::Test {
protected:
    QTemporaryDir folder;
    QProcess sim;
    QString device;
    std::unique_ptr<TfrmCorv> frm;

    void SetUp() override {
        sim.start(QStringLiteral(CORVANE_SIM),
                  {"--pty", "--sensors", "12", "--entries", "2", "--rate", "100", "--crlf"});
        ASSERT_TRUE(sim.waitForStarted(5000));
        QString out;
        ASSERT_TRUE(WaitFor(
            [&] {
                out += QString::fromLatin1(sim.readAllStandardOutput());
                const auto m = QRegularExpression("pty: (\\S+)").match(out);
                device = m.hasMatch() ? m.captured(1) : QString();
                return !device.isEmpty();
            },
            5000));
        TIniFile ini(folder.filePath("corvane.INI").toStdString());
        ini.WriteString("Serial Ports", "3", device.toStdString());
        frm = std::make_unique<TfrmCorv>(QStringList{}, folder.filePath("corvane"));
    }
    void TearDown() override {
        frm.reset();
        Pump(1);
        if (sim.state() != QProcess::NotRunning) {
            sim.kill();
            sim.waitForFinished(3000);
        }
    }
    void OpenSerial(int port) {
        TfrmConnSer* dialog = frm->ConnSerDialog();
        QTimer::singleShot(0, dialog, [dialog, port] {
            dialog->spePort->setValue(port);
            dialog->accept();
        });
        frm->mniSerialClick();
    }
};

TEST_F(SerialSimulator, LinesArriveAndAVanishedReceiverClosesItsConnection) {
    OpenSerial(3);
    ASSERT_EQ(frm->mniClose->actions().size(), 1);
    EXPECT_EQ(frm->mniClose->actions().first()->text(), "Serial: 3");
    EXPECT_EQ(frm->windowTitle(), "Corvane Serial: 3");
    const TStore& store = frm->Monitor().Store();
    ASSERT_TRUE(WaitFor([&] { return store.ReadCount >= 50; }, 10000)) << store.ReadCount;
    EXPECT_GT(store.SensorCount, 0);
    EXPECT_EQ(store.EntryCount, 2); // every line carried its entry point despite CR LF ends

    sim.terminate(); // the receiver goes away with the device
    ASSERT_TRUE(WaitFor([&] { return frm->mniClose->actions().isEmpty(); }, 10000));
    EXPECT_FALSE(frm->mniClose->isEnabled());
    EXPECT_EQ(frm->windowTitle(), "Corvane ");
    const int held = store.ReadCount;
    Pump(300);
    EXPECT_EQ(store.ReadCount, held);
    // The program goes on: a new connection can be made at once.
    EXPECT_TRUE(frm->isEnabled());
}

} // namespace
} // namespace corvane
