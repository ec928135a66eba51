// The connection to a receiver on a serial port: 19200 baud, 8 data bits, no parity, 1 stop bit,
// no flow control, DTR and RTS asserted; the program only receives.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <map>
#include <memory>
#include <string>

#include "conn/Conn.h"

namespace corvane {

class TfrmConnSer;

// Device paths by port number, as the settings map them; handed in by whoever read the settings.
using TSerialPorts = std::map<int, std::string>;

// The device that a port number 1..32 opens: the mapped device when there is one, else the
// number-th serial device of the system in name order; empty when there is neither.
QString SerialDeviceFor(const TSerialPorts& ports, int port);

class TConnSer : public QObject, public TConn {
    Q_OBJECT
public:
    TConnSer(TfrmConnSer* dialog, TSerialPorts ports, QObject* parent = nullptr);
    ~TConnSer() override;

    bool WasOpened = false;

    std::string GetDescription() const override;
    std::string GetLinkName() const override;
    // Throws when the port cannot be opened; false when the dialog was cancelled.
    bool Open() override;
    void Close() override;

    int Port() const { return port_; }
    // Without the dialog, for the command line and tests.
    void SetPort(int port) { port_ = port; }
    bool OpenPort();
    // OpenPort, except that with Reconnect on a port that does not open is announced and tried
    // again later instead of throwing.
    void OpenOrRetry();
    // With Reconnect on: waits, then tries the port again, announcing each wait.
    void ScheduleRetry();

private:
    // "port <n> (<device>)": the device last opened, else the one the port would open.
    std::string PortName() const;
    void PortOpened();
    void PortClosed();
    void DataAvailable();
    void PortError(QSerialPort::SerialPortError error);

    TfrmConnSer* dialog_;
    const TSerialPorts ports_;
    int port_ = 0;
    std::string device_; // as last tried
    bool reportedOpen_ = false;
    std::unique_ptr<QSerialPort> ComPort;
    QTimer retryTimer_;
};

} // namespace corvane
