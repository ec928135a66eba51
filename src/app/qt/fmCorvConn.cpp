// The main window's side of the connections: opening them from the menus and the command line,
// the Close submenu and the caption, and closing them all at shutdown.
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>

#include "app/AppIni.h"
#include "app/CmdLine.h"
#include "app/Monitor.h"
#include "app/ServiceSettings.h"
#include "app/qt/QuitSignals.h"
#include "app/qt/WindowState.h"
#include "app/qt/fmCorv.h"
#include "app/qt/fmStations.h"
#include "conn/qt/ConnSer.h"
#include "conn/qt/ConnTcp.h"
#include "mqtt/qt/StationReader.h"
#include "util/qt/ErrorReport.h"
#include "util/qt/Help.h"
#include "util/qt/Latin1.h"

namespace corvane {

namespace {
// A menu shows "&" as an accelerator mark; the submenu shows its captions as they are stored.
QString MenuText(const QString& caption) {
    QString text = caption;
    return text.replace('&', QLatin1String("&&"));
}
} // namespace

TCloseAction::TCloseAction(const QString& caption, QMenu* menu, TConn* conn)
    : QAction(MenuText(caption), menu), menu_(menu), conn_(conn) {}

int TCloseAction::Position() const {
    return int(menu_->actions().indexOf(this));
}

void TfrmCorv::AttachHandlers(TConn& conn) {
    conn.OnLine = [this](TConn& c, std::string_view line) {
        return monitor_->ParsePacketLine(&c, line);
    };
    conn.OnStateChange = [this](TConn& c, TConnState state) { ConnStateChanged(c, state); };
    conn.OnMessage = [this](std::string_view message) { AddLogLine(message); };
    conn.Reconnect = reconnect_;
    conn.Clock = &monitor_->Clock();
}

void TfrmCorv::ConnStateChanged(TConn& conn, TConnState state) {
    const QString description = Latin1(conn.GetDescription());
    auto dropEntry = [&] {
        auto* item = static_cast<TCloseAction*>(conn.CloseItem);
        mniClose->removeAction(item);
        // The entry may be the one whose click is being handled right now.
        item->deleteLater();
        conn.CloseItem = nullptr;
    };
    switch (state) {
    case TConnState::Open: {
        auto* item = new TCloseAction(description, mniClose, &conn);
        connect(item, &QAction::triggered, this, [this, item] { mniCloseClick(item); });
        conn.CloseItem = item;
        mniClose->addAction(item);
        setWindowTitle(windowTitle() + ' ' + description);
        break;
    }
    case TConnState::Close:
        if (conn.CloseItem) {
            // Only the description goes; the blank that was put before it stays.
            QString caption = windowTitle();
            const qsizetype at = caption.indexOf(description);
            if (at >= 0) {
                caption.remove(at, description.size());
                setWindowTitle(caption);
            }
            dropEntry();
            // Nothing refers to a closed connection any more.
            if (auto* object = dynamic_cast<QObject*>(&conn))
                object->deleteLater();
        }
        break;
    case TConnState::Error:
        if (conn.CloseItem)
            dropEntry();
        break;
    }
    mniClose->setEnabled(!mniClose->actions().isEmpty());
}

void TfrmCorv::mniCloseClick(QObject* sender) {
    auto* action = qobject_cast<QAction*>(sender);
    if (!action) {
        AddLogLine("Bad Sender passed to mniCloseClick");
        return;
    }
    auto* item = qobject_cast<TCloseAction*>(action);
    if (!item || !mniClose->actions().contains(action)) {
        AddLogLine("Bad MenuItem passed to mniCloseClick");
        return;
    }
    Guard([&] { item->Conn()->Close(); });
}

TConn* TfrmCorv::OpenTcp(const QString& address, int port) {
    auto* conn = new TConnTcp(frmConnTcp, this);
    conn->SetTarget(address, port);
    AttachHandlers(*conn);
    conn->Open();
    return conn;
}

void TfrmCorv::mniSerialClick() {
    auto* conn = new TConnSer(frmConnSer, run_.SerialPorts, this);
    AttachHandlers(*conn);
    conn->Open();
}

void TfrmCorv::mniTcpIpClick() {
    auto* conn = new TConnTcp(frmConnTcp, this);
    AttachHandlers(*conn);
    if (!conn->Open())
        return;
    // Remembered as soon as the user confirmed it, whether or not the receiver answers.
    settings_.AddRecentAddress(conn->GetAddress().toStdString() + '|' +
                               std::to_string(conn->GetPort()));
    RebuildRecentMenu();
}

void TfrmCorv::mnIPMenuClick(QAction* item) {
    const QString caption = item->data().toString();
    const qsizetype bar = caption.indexOf('|');
    if (bar < 0) {
        OpenTcp(caption, 1000);
        return;
    }
    OpenTcp(caption.left(bar), DecimalOrDefault(caption.mid(bar + 1).toStdString(), 1000));
}

void TfrmCorv::RebuildRecentMenu() {
    std::vector<std::string> recent;
    settings_.ReadRecentAddresses(recent);
    const QList<QAction*> entries = mniTcpIp->actions();
    for (qsizetype i = 2; i < entries.size(); ++i) {
        mniTcpIp->removeAction(entries[i]);
        entries[i]->deleteLater();
    }
    for (const std::string& address : recent) {
        const QString caption = Latin1(address);
        QAction* item = mniTcpIp->addAction(MenuText(caption));
        item->setData(caption);
        SetHelpContext(item, 21);
        connect(item, &QAction::triggered, this,
                [this, item] { Guard([&] { mnIPMenuClick(item); }); });
    }
}

void TfrmCorv::OpenCommandLine(const QStringList& args) {
    std::vector<std::string> list;
    for (const QString& arg : args)
        list.push_back(arg.toLocal8Bit().toStdString());
    for (const TCmdTarget& target : ParseCommandLine(list)) {
        try {
            if (target.SerialPort != 0) {
                auto* conn = new TConnSer(frmConnSer, run_.SerialPorts, this);
                conn->SetPort(target.SerialPort);
                AttachHandlers(*conn);
                conn->OpenOrRetry();
                continue;
            }
            if (target.Mqtt) {
                ReadStations(target.Address, target.Port);
                continue;
            }
            LocalPort = target.Port;
            OpenTcp(Latin1(target.Address), target.Port);
        } catch (const std::exception& e) {
            // The window is not shown yet; the report waits for the message loop.
            PostError(e.what());
        }
    }
}

// Every station under the topic root of a broker, those heard later too: the settings' broker
// unless host (and port) name another.
void TfrmCorv::ReadStations(const std::string& host, int port) {
    TMqttSettings broker = ReadMqttSettings(settings_.File());
    if (!host.empty())
        broker.Host = host;
    if (port != 0)
        broker.Port = port;
    if (broker.Host.empty()) {
        AddLogLine("-M: no broker (write -Mhost[:port] or set [MQTT] Host)");
        return;
    }
    if (TStationReader* reader = ReaderFor(broker))
        reader->OpenAll();
}

TStationReader* TfrmCorv::ReaderFor(const TMqttSettings& broker) {
    // One connection per broker: a second reader would only hear every station twice.
    for (const auto& reader : readers_)
        if (reader->Settings().Host == broker.Host && reader->Settings().Port == broker.Port)
            return reader.get();
    auto reader = std::make_unique<TStationReader>(
        broker, [this](std::string_view line) { AddLogLine(line); },
        [this](TConnStation& conn) {
            conn.setParent(this);
            AttachHandlers(conn);
        });
    if (!reader->Start())
        return nullptr;
    readers_.push_back(std::move(reader));
    return readers_.back().get();
}

void TfrmCorv::mniMqttStationsClick() {
    if (frmStations->Execute())
        OpenStations(frmStations->Broker(), frmStations->Chosen());
}

void TfrmCorv::OpenStations(const TMqttSettings& broker, const std::vector<std::string>& names) {
    TStationReader* reader = ReaderFor(broker);
    if (!reader)
        return;
    for (const std::string& name : names)
        reader->OpenStation(name);
}

void TfrmCorv::closeEvent(QCloseEvent* event) {
    // The connection opened last is closed first.
    const QList<QAction*> entries = mniClose->actions();
    for (qsizetype i = entries.size() - 1; i >= 0; --i)
        if (auto* item = qobject_cast<TCloseAction*>(entries[i]))
            Guard([&] { item->Conn()->Close(); });
    SaveWindowState(*this, places_.StateFile);
    event->accept();
    emit Closed();
}

void EndProgramWithWindow(TfrmCorv& window) {
    QObject::connect(&window, &TfrmCorv::Closed, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    CloseOnQuitSignals(&window);
}

} // namespace corvane
