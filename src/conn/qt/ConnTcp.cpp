#include "conn/qt/ConnTcp.h"

#include <QTcpSocket>
#include <stdexcept>

#include "conn/qt/fmConnTcp.h"
#include "util/qt/ErrorReport.h"

namespace corvane {

int LocalPort = 1070;

namespace {
// A busy receiver is read a slice per turn of the event loop, so that the window repaints, the
// timers run and other connections are served between slices however much is waiting.
constexpr qint64 ReadSliceBytes = 8 * 1024;
// What the socket may hold that has not been read yet. Beyond it the receiver is held back by
// TCP's own flow control: nothing is lost, and memory stays bounded.
constexpr qint64 SocketBufferBytes = 32 * 1024;
} // namespace

TConnTcp::TConnTcp(TfrmConnTcp* dialog, QObject* parent)
    : QObject(parent), dialog_(dialog), socket_(std::make_unique<QTcpSocket>()) {
    connect(socket_.get(), &QTcpSocket::connected, this, &TConnTcp::SocketConnected);
    connect(socket_.get(), &QTcpSocket::readyRead, this, &TConnTcp::SocketReadyRead);
    connect(socket_.get(), &QTcpSocket::disconnected, this, &TConnTcp::SocketDisconnected);
    connect(socket_.get(), &QTcpSocket::errorOccurred, this, &TConnTcp::SocketError);
    pollTimer_.setTimerType(Qt::PreciseTimer); // every 60.000 s from the connect, never early
    connect(&pollTimer_, &QTimer::timeout, this, &TConnTcp::SendPoll);
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, [this] {
        socket_->abort();
        Connect();
    });
}

TConnTcp::~TConnTcp() {
    // Going away is no state change anybody should hear about any more.
    socket_->disconnect(this);
    pollTimer_.stop();
    retryTimer_.stop();
}

std::string TConnTcp::GetDescription() const {
    if (!WasConnected && !Reconnect)
        return "TCP/IP: NA";
    if (address_ == QLatin1String("127.0.0.1") && port_ == LocalPort)
        return "Local";
    return "TCP/IP: " + address_.toStdString() + '|' + std::to_string(port_);
}

std::string TConnTcp::GetLinkName() const {
    return address_.toStdString() + ':' + std::to_string(port_);
}

void TConnTcp::SetTarget(const QString& address, int port) {
    address_ = address;
    port_ = port;
    HasTarget = true;
}

void TConnTcp::SetPollInterval(int milliseconds) {
    pollInterval_ = milliseconds;
    if (pollTimer_.isActive())
        pollTimer_.start(pollInterval_);
}

bool TConnTcp::Open() {
    if (!WasConnected && !HasTarget) {
        if (!dialog_ || !dialog_->Execute())
            return false;
        address_ = dialog_->Address();
        port_ = dialog_->Port();
    }
    closing_ = false;
    Connect();
    return true;
}

void TConnTcp::Connect() {
    if (address_.isEmpty())
        throw std::runtime_error("No address specified");
    // A port no socket can have (from a mistyped dialog or option) would otherwise be cut to 16
    // bits and reach some other service.
    if (port_ < 1 || port_ > 65535) {
        ReportMessage("Unable to connect with " + GetDescription());
        ScheduleRetry();
        return;
    }
    attemptConnected_ = false;
    socket_->setReadBufferSize(SocketBufferBytes);
    socket_->connectToHost(address_, quint16(port_));
}

void TConnTcp::Close() {
    closing_ = true;
    retryTimer_.stop();
    socket_->abort();
    // A socket that failed after connecting may already be closed without having said so; its
    // Close entry must still go when the user chooses it.
    if (reportedOpen_) {
        pollTimer_.stop();
        reportedOpen_ = false;
        SetState(TConnState::Close);
    }
}

void TConnTcp::SocketConnected() {
    WasConnected = true;
    attemptConnected_ = true;
    retrying_ = false;
    NoteConnected();
    ReportLink("Connected to " + GetLinkName());
    RxBuffer.clear();
    if (!reportedOpen_) {
        reportedOpen_ = true;
        SetState(TConnState::Open);
    }
    pollTimer_.start(pollInterval_);
    SendPoll();
}

bool TConnTcp::ReadSlice() {
    if (!socket_->isOpen() || socket_->bytesAvailable() <= 0)
        return false; // aborted or drained: nothing is left to read
    const QByteArray data = socket_->read(ReadSliceBytes);
    Receive(std::string_view(data.constData(), size_t(data.size())));
    return true;
}

void TConnTcp::SocketReadyRead() {
    ReadSlice();
    if (readPending_ || !socket_->isOpen() || socket_->bytesAvailable() <= 0)
        return;
    readPending_ = true;
    // Through the timers rather than the posted events, so that the other timers still get
    // their turn while a slice follows a slice.
    QTimer::singleShot(1, Qt::PreciseTimer, this, [this] {
        readPending_ = false;
        SocketReadyRead();
    });
}

void TConnTcp::SocketDisconnected() {
    while (ReadSlice()) {
    }
    pollTimer_.stop();
    // What was framed has been delivered; an unterminated rest belongs to no line.
    RxBuffer.clear();
    if (ScheduleRetry())
        return;
    if (reportedOpen_) {
        reportedOpen_ = false;
        SetState(TConnState::Close);
    }
}

bool TConnTcp::ScheduleRetry() {
    if (!Reconnect || closing_)
        return false;
    if (retryTimer_.isActive())
        return true;
    retrying_ = true;
    // The connection keeps (or, having never answered, gets) its Close entry while it waits, so
    // that the user can stop the retries.
    if (!reportedOpen_) {
        reportedOpen_ = true;
        SetState(TConnState::Open);
    }
    retryTimer_.start(AnnounceRetry() * 1000);
    return true;
}

void TConnTcp::SocketError() {
    pollTimer_.stop();
    const auto error = socket_->error();
    // Retries under way are announced by their waits alone, in the service's log as well.
    if (!retrying_)
        ReportLink("Connection to " + GetLinkName() +
                   " lost: " + socket_->errorString().toStdString());
    if (!WasConnected || (Reconnect && !attemptConnected_)) {
        if (!retrying_ && !ReportsLink)
            ReportMessage("Unable to connect with " + GetDescription());
        ScheduleRetry();
        return;
    }
    // The receiver closing its end is an ordinary end of the connection, reported as Close by the
    // disconnected notification that follows.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    if (Reconnect) {
        // A message box for every attempt would bury an unattended screen.
        if (!ReportsLink)
            ReportMessage(GetDescription() + " lost: " + socket_->errorString().toStdString());
        ScheduleRetry();
        return;
    }
    PostError("Asynchronous socket error " + std::to_string(int(error)));
}

void TConnTcp::SendPoll() {
    if (socket_->state() == QAbstractSocket::ConnectedState)
        socket_->write(PollMessage, sizeof PollMessage);
}

} // namespace corvane
