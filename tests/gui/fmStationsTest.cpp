// Connect > MQTT Stations... against a real broker: the stations it names are listed with
// their states as they are heard, the chosen ones become connections of the window, one reader
// per broker; a broker that is not there is one line in the dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <memory>

#include "app/Monitor.h"
#include "app/qt/StationRollModel.h"
#include "app/qt/fmCorv.h"
#include "app/qt/fmStations.h"
#include "conn/qt/fmConnections.h"
#include "gui/QtTestSupport.h"
#include "gui/WindowTest.h"
#include "mqtt/Broker.h"
#include "store/ActivityStore.h"
#include "support/Packets.h"
#include "util/qt/ErrorReport.h"

using namespace corvane;
using corvane::test::Pump;
using corvane::test::WaitFor;
using corvane::testing::TMessage;

namespace {

const QString kKueche = QString::fromLatin1("K\xFC"
                                            "che");

TMessage Status(const std::string& station, const char* word) {
    return {"corvane/" + station + "/status", word, true};
}

TMessage Line(const std::string& station, uint32_t sensor) {
    const std::string line = corvane::testing::SensorLine(sensor, ",1," + station);
    return {"corvane/" + station + "/line",
            QByteArray::fromStdString("{\"conn\":\"rx\",\"line\":\"" + line + "\"}"), false};
}

struct StationsWindow : test::TWindowTest {
    QString Ini() const { return folder.filePath("corvane.INI"); }
    QByteArray IniText() const {
        QFile file(Ini());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void Start(const QByteArray& settings) {
        QFile ini(Ini());
        ini.open(QIODevice::WriteOnly);
        ini.write(settings);
        ini.close();
        frm = std::make_unique<TfrmCorv>(QStringList(), folder.filePath("corvane"));
    }
    TfrmStations& Dialog() const { return *frm->StationsDialog(); }
    // Runs the menu entry; what the user does in the dialog is done while it is open.
    void Choose(const std::function<void()>& inDialog) {
        QTimer::singleShot(0, &Dialog(), [this, inDialog] {
            inDialog();
            // A check that failed half-way leaves the dialog open; the test goes on.
            if (Dialog().isVisible())
                Dialog().reject();
        });
        frm->findChild<QAction*>("mniMqttStations")->trigger();
    }
    QStringList Listed() const {
        QStringList rows;
        const TStationRollModel& m = *Dialog().Model();
        for (int r = 0; r < m.rowCount(); ++r)
            rows << m.index(r, 0).data().toString() + '=' + m.index(r, 1).data().toString();
        return rows;
    }
    void Select(const QString& name) const {
        const TStationRollModel& m = *Dialog().Model();
        for (int r = 0; r < m.rowCount(); ++r)
            if (m.index(r, 0).data().toString() == name)
                Dialog().lvStations->selectionModel()->select(
                    m.index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QStringList CloseCaptions() const {
        QStringList captions;
        for (QAction* a : frm->mniClose->actions())
            captions << a->text();
        return captions;
    }
    int LogCount(const QString& text) const { return int(LogText().count(text)); }
};

TEST_F(StationsWindow, ChosenStationsBecomeConnectionsOfOneReaderAndTheirLinesReachTheStore) {
    corvane::testing::TBroker broker;
    ASSERT_TRUE(broker.Start());
    ASSERT_TRUE(corvane::testing::Publish(broker.Port(),
                                          {Status("north", "online"), Status("south", "offline"),
                                           Status("K\xC3\xBC"
                                                  "che",
                                                  "online")}));
    // The window publishes to the same broker, as the station "desk".
    Start(QString("[Settings]\r\nDuplicateTimeSec=1\r\n[MQTT]\r\nHost=127.0.0.1\r\nPort=%1\r\n"
                  "Station=desk\r\n")
              .arg(broker.Port())
              .toLatin1());
    const QString name = QString("127.0.0.1:%1").arg(broker.Port());
    const QString connected = "MQTT broker " + name + " connected";
    ASSERT_TRUE(WaitFor([&] { return LogCount(connected) == 1; }, 5000));
    Choose([&] {
        TfrmStations& d = Dialog();
        EXPECT_EQ(d.spePort->value(), broker.Port());
        EXPECT_FALSE(d.buttons->button(QDialogButtonBox::Ok)->isEnabled());
        // Listing began as the dialog opened, [MQTT] naming the broker.
        ASSERT_TRUE(WaitFor([&] { return Listed().size() == 4; }, 5000))
            << d.lblState->text().toStdString();
        EXPECT_EQ(Listed(), QStringList({"desk=online (this run)", kKueche + "=online",
                                         "north=online", "south=offline"}));
        // A station heard while the dialog is open takes its place in the list.
        ASSERT_TRUE(corvane::testing::Publish(broker.Port(), {Status("east", "online")}));
        ASSERT_TRUE(WaitFor([&] { return Listed().size() == 5; }, 5000));
        EXPECT_EQ(Listed()[1], "east=online");
        EXPECT_EQ(d.lblState->text(),
                  "Connected to " + name + ": 5 stations under corvane, 4 online.");
        Select("north");
        EXPECT_TRUE(d.buttons->button(QDialogButtonBox::Ok)->isEnabled());
        d.buttons->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(CloseCaptions(), QStringList{"MQTT: north"});
    EXPECT_EQ(frm->windowTitle(), "Corvane MQTT: north");
    // The publisher's connection, and now the reader's.
    ASSERT_TRUE(WaitFor([&] { return LogCount(connected) == 2; }, 5000));

    // The lines of the station chosen reach the store; those of the one not chosen do not.
    ASSERT_TRUE(corvane::testing::Publish(
        broker.Port(), {Line("south", 0x500), Line("north", 0x100), Line("north", 0x101)}));
    ASSERT_TRUE(WaitFor([&] { return frm->Monitor().Store().SensorCount == 2; }, 5000));
    frm->LinkViews()->ShowWindow();
    TConnectionsModel& links = *frm->LinkViews()->Window()->Model();
    links.Refresh();
    ASSERT_EQ(links.Rows().size(), 1u);
    EXPECT_EQ(links.Rows()[0].Description, "MQTT: north");
    EXPECT_EQ(links.Rows()[0].Totals.Passed, 2u);
    EXPECT_EQ(links.Rows()[0].State, "online");

    // Again on the same broker: the window's reader of it opens the next one too.
    Choose([&] {
        ASSERT_TRUE(WaitFor([&] { return Listed().size() == 5; }, 5000));
        Select("north");
        Select("south");
        Dialog().accept();
    });
    EXPECT_EQ(CloseCaptions(), QStringList({"MQTT: north", "MQTT: south"}));
    ASSERT_TRUE(corvane::testing::Publish(broker.Port(), {Line("south", 0x501)}));
    ASSERT_TRUE(WaitFor([&] { return frm->Monitor().Store().SensorCount == 3; }, 5000));
    EXPECT_EQ(LogCount(connected), 2);
    EXPECT_TRUE(errors.empty());
}

TEST_F(StationsWindow, AnUnreachableBrokerIsOneLineInTheDialogAndCancelLeavesNothing) {
    quint16 closed = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closed = probe.serverPort();
    }
    // The window publishes to the same broker that is not there; it stays quiet about it here.
    const QByteArray settings = QString("[MQTT]\r\nHost=127.0.0.1\r\nPort=%1\r\nUser=ann\r\n"
                                        "Password=secret\r\nLines=0\r\n")
                                    .arg(closed)
                                    .toLatin1();
    Start(settings);
    Choose([&] {
        TfrmStations& d = Dialog();
        EXPECT_EQ(d.edtHost->text(), "127.0.0.1");
        EXPECT_EQ(d.spePort->value(), closed);
        EXPECT_EQ(d.edtUser->text(), "ann");
        EXPECT_EQ(d.edtPassword->text(), "secret");
        EXPECT_EQ(d.edtPassword->echoMode(), QLineEdit::Password);
        EXPECT_FALSE(d.chkTls->isChecked());
        EXPECT_FALSE(d.edtCaFile->isEnabled());
        // Listing began as the dialog opened, the host being known.
        const QString refused = QString("No connection to 127.0.0.1:%1: ").arg(closed);
        ASSERT_TRUE(WaitFor([&] { return d.lblState->text().startsWith(refused); }, 5000))
            << d.lblState->text().toStdString();
        EXPECT_TRUE(d.lblState->text().endsWith("Trying again."))
            << d.lblState->text().toStdString();
        EXPECT_EQ(QApplication::activeModalWidget(), &d);
        EXPECT_TRUE(Listed().isEmpty());
        d.edtHost->clear();
        d.btnList->click();
        EXPECT_EQ(d.lblState->text(), "Write the broker's host name or address, then List.");
        // Fields that differ from [MQTT] are this dialog's alone.
        d.edtHost->setText("127.0.0.2");
        d.edtPassword->setText("other");
        d.reject();
    });
    EXPECT_TRUE(CloseCaptions().isEmpty());
    EXPECT_EQ(IniText(), settings);
    EXPECT_EQ(Dialog().edtHost->text(), "127.0.0.2"); // kept for the next time in this run
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(LogCount("not read"), 0);
}

// The TLS fields reach the listing: the broker's own authority lists its stations, another one
// is a line that says the broker is not there.
TEST_F(StationsWindow, TheTlsFieldsAreTheListingsOwn) {
    corvane::testing::TBroker broker(true);
    ASSERT_EQ(broker.TlsError(), "");
    ASSERT_TRUE(broker.Start());
    ASSERT_TRUE(corvane::testing::Publish(broker.Port(), {Status("north", "online")}));
    Start("");
    Choose([&] {
        TfrmStations& d = Dialog();
        d.edtHost->setText("127.0.0.1");
        d.spePort->setValue(broker.TlsPort());
        d.chkTls->setChecked(true);
        EXPECT_TRUE(d.edtCaFile->isEnabled());
        d.edtCaFile->setText(QString::fromStdString(broker.OtherCaFile()));
        d.btnList->click();
        const QString refused = QString("No connection to 127.0.0.1:%1: ").arg(broker.TlsPort());
        ASSERT_TRUE(WaitFor([&] { return d.lblState->text().startsWith(refused); }, 5000))
            << d.lblState->text().toStdString();
        d.edtCaFile->setText(QString::fromStdString(broker.CaFile()));
        d.btnList->click();
        ASSERT_TRUE(WaitFor([&] { return Listed().size() == 1; }, 5000))
            << d.lblState->text().toStdString();
        EXPECT_EQ(Listed(), QStringList{"north=online"});
        d.reject();
    });
    EXPECT_TRUE(CloseCaptions().isEmpty());
    EXPECT_TRUE(errors.empty());
}

} // namespace
