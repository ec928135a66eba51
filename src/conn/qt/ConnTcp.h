// The connection to a receiver over TCP/IP: the program is the client, reads the receiver's
// lines and sends it a short poll message on connecting and every minute after that.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

#include "conn/Conn.h"

class QTcpSocket;

namespace corvane {

class TfrmConnTcp;

// The port that the command line asked for last (1070 without one); a connection to 127.0.0.1 at
// this port is described as "Local".
extern int LocalPort;

class TConnTcp : public QObject, public TConn {
    Q_OBJECT
public:
    // STX "U" "S" CR.
    static constexpr char PollMessage[4] = {0x02, 0x55, 0x53, 0x0D};
    static constexpr int PollIntervalMs = 60000;

    // dialog asks for the target when none was set; it belongs to the caller and may be null
    // when every connection gets its target through SetTarget.
    explicit TConnTcp(TfrmConnTcp* dialog, QObject* parent = nullptr);
    ~TConnTcp() override;

    bool WasConnected = false;
    bool HasTarget = false;

    std::string GetDescription() const override;
    std::string GetLinkName() const override;
    // Throws when there is no address to connect to.
    bool Open() override;
    void Close() override;

    void SetTarget(const QString& address, int port);
    QString GetAddress() const { return address_; }
    int GetPort() const { return port_; }

    // Only for tests, which cannot wait a minute for the next poll.
    void SetPollInterval(int milliseconds);
    // Runs while connected; the polls after the first one come from it.
    const QTimer& PollTimer() const { return pollTimer_; }

private:
    void Connect();
    void SocketConnected();
    void SocketReadyRead();
    // Hands one slice of what has arrived to the line cutting; false when nothing was waiting.
    bool ReadSlice();
    void SocketDisconnected();
    void SocketError();
    void SendPoll();
    // With Reconnect on: true when a new attempt is scheduled (or already is).
    bool ScheduleRetry();

    TfrmConnTcp* dialog_;
    QString address_;
    int port_ = 0;
    bool reportedOpen_ = false;
    bool readPending_ = false;
    int pollInterval_ = PollIntervalMs;
    std::unique_ptr<QTcpSocket> socket_;
    QTimer pollTimer_;
    QTimer retryTimer_;
    bool closing_ = false;
    bool attemptConnected_ = false; // the current attempt has reached the receiver
    // Retries are under way: a failed attempt is announced by its wait alone.
    bool retrying_ = false;
};

} // namespace corvane
