#include "conn/qt/ConnSer.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <stdexcept>
#include <utility>

#include "conn/qt/fmConnSer.h"

namespace corvane {

QString SerialDeviceFor(const TSerialPorts& ports, int port) {
    if (auto mapped = ports.find(port); mapped != ports.end())
        return QString::fromStdString(mapped->second);
    QStringList devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        devices << info.systemLocation();
    std::sort(devices.begin(), devices.end());
    if (port >= 1 && port <= devices.size())
        return devices[port - 1];
    return QString();
}

TConnSer::TConnSer(TfrmConnSer* dialog, TSerialPorts ports, QObject* parent)
    : QObject(parent), dialog_(dialog), ports_(std::move(ports)),
      ComPort(std::make_unique<QSerialPort>()) {
    connect(ComPort.get(), &QSerialPort::readyRead, this, &TConnSer::DataAvailable);
    connect(ComPort.get(), &QSerialPort::errorOccurred, this, &TConnSer::PortError);
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, [this] { OpenOrRetry(); });
}

TConnSer::~TConnSer() {
    ComPort->disconnect(this);
    if (ComPort->isOpen())
        ComPort->close();
}

std::string TConnSer::GetDescription() const {
    if (!WasOpened)
        return "Serial: NA";
    return "Serial: " + std::to_string(port_);
}

std::string TConnSer::GetLinkName() const {
    return "serial " + PortName();
}

std::string TConnSer::PortName() const {
    const std::string device =
        device_.empty() ? SerialDeviceFor(ports_, port_).toStdString() : device_;
    const std::string name = "port " + std::to_string(port_);
    return device.empty() ? name : name + " (" + device + ')';
}

bool TConnSer::Open() {
    if (!WasOpened) {
        if (!dialog_ || !dialog_->Execute())
            return false;
        port_ = dialog_->Port();
    }
    return OpenPort();
}

bool TConnSer::OpenPort() {
    const QString device = SerialDeviceFor(ports_, port_);
    if (device.isEmpty())
        throw std::runtime_error("Serial port " + std::to_string(port_) + " does not exist");
    ComPort->setPortName(device);
    device_ = device.toStdString();
    ComPort->setBaudRate(QSerialPort::Baud19200);
    ComPort->setDataBits(QSerialPort::Data8);
    ComPort->setParity(QSerialPort::NoParity);
    ComPort->setStopBits(QSerialPort::OneStop);
    ComPort->setFlowControl(QSerialPort::NoFlowControl);
    ComPort->setReadBufferSize(0);
    if (!ComPort->open(QIODevice::ReadOnly))
        throw std::runtime_error("Unable to open serial port " + std::to_string(port_) + " (" +
                                 device.toStdString() +
                                 "): " + ComPort->errorString().toStdString());
    // A receiver may take its power from these lines; a device that cannot set them (a
    // pseudo-terminal) still delivers its data.
    ComPort->setDataTerminalReady(true);
    ComPort->setRequestToSend(true);
    ComPort->clearError();
    PortOpened();
    return true;
}

void TConnSer::Close() {
    // Closing is the user's word: it ends the retries too, and the Close entry goes.
    retryTimer_.stop();
    if (ComPort->isOpen())
        ComPort->close();
    RxBuffer.clear();
    PortClosed();
}

void TConnSer::PortOpened() {
    WasOpened = true;
    NoteConnected();
    ReportLink("Serial " + PortName() + " opened");
    if (reportedOpen_) {
        RxBuffer.clear(); // opened again after a retry: the Close entry is still there
        return;
    }
    reportedOpen_ = true;
    SetState(TConnState::Open);
}

void TConnSer::OpenOrRetry() {
    try {
        OpenPort();
    } catch (const std::exception& e) {
        if (!Reconnect)
            throw;
        ReportMessage(e.what());
        ScheduleRetry();
    }
}

void TConnSer::ScheduleRetry() {
    if (!Reconnect || retryTimer_.isActive())
        return;
    // The port is named from here on even if it never opened, and keeps (or gets) its Close
    // entry while it waits.
    WasOpened = true;
    if (!reportedOpen_) {
        reportedOpen_ = true;
        SetState(TConnState::Open);
    }
    retryTimer_.start(AnnounceRetry() * 1000);
}

void TConnSer::PortClosed() {
    if (!reportedOpen_)
        return;
    reportedOpen_ = false;
    SetState(TConnState::Close);
}

void TConnSer::DataAvailable() {
    const QByteArray data = ComPort->readAll();
    Receive(std::string_view(data.constData(), size_t(data.size())));
}

void TConnSer::PortError(QSerialPort::SerialPortError error) {
    // The device went away (a USB adapter pulled, the far end of a pseudo-terminal closed). It
    // shows as a resource error or as a read error that would come again for every notification
    // of the port, so either ends the connection here.
    if ((error != QSerialPort::ResourceError && error != QSerialPort::ReadError) ||
        !ComPort->isOpen())
        return;
    // What arrived before the loss still holds whole lines.
    DataAvailable();
    const std::string reason = ComPort->errorString().toStdString();
    if (ReportsLink)
        ReportMessage("Serial " + PortName() + " lost: " + reason);
    else
        ReportMessage(GetDescription() + " lost: " + reason);
    ComPort->close();
    RxBuffer.clear();
    if (Reconnect) {
        ScheduleRetry();
        return;
    }
    PortClosed();
}

} // namespace corvane
