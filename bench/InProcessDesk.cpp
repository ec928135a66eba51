#include "InProcessDesk.h"

#include <fcntl.h>
#include <unistd.h>

#include "DeskRun.h"
#include "app/AppIni.h"

namespace corvane::bench {

// The desk's log (the broker and the stations coming and going) goes to standard error.
TInProcessDesk::TInProcessDesk(int port) : log_(::dup(STDERR_FILENO)) {
    listener_ = std::make_unique<THeadlessListener>(clock_, log_);
    monitor_ = std::make_unique<TMonitor>(clock_, TViews{*listener_, list_, tree_});
    // The settings of a run without a settings file.
    monitor_->ApplySettings(TAppIni("/nonexistent/corvane").ReadRunSettings());
    monitor_->AddReadObserver(this);
    TMqttSettings broker;
    broker.Host = "127.0.0.1";
    broker.Port = port;
    broker.Topic = "bench";
    broker.Station = "desk";
    broker.ClientId = "bench-desk";
    auto log = [this](std::string_view line) { listener_->AddLogLine(line); };
    // As the service attaches each station's connection.
    reader_ = std::make_unique<TStationReader>(broker, log, [this](TConnStation& conn) {
        conn.OnLine = [this](TConn& c, std::string_view line) {
            return monitor_->ParsePacketLine(&c, line);
        };
        conn.OnMessage = [this](std::string_view message) { listener_->AddLogLine(message); };
        conn.ReportsLink = true;
        conn.Clock = &clock_;
        conns_.emplace_back(&conn);
    });
    QObject::connect(&expire_, &QTimer::timeout, [this] { monitor_->ExpireTick(); });
    expire_.start(1000);
}

TInProcessDesk::~TInProcessDesk() {
    reader_.reset();
    conns_.clear();
    monitor_.reset();
    listener_.reset();
    if (log_ >= 0)
        ::close(log_);
}

bool TInProcessDesk::Start() {
    if (!reader_->Start())
        return false;
    reader_->OpenAll();
    return true;
}

void TInProcessDesk::OnRead(const TStore&, const TRegisteredRead&) {
    ++registered_;
    lastAt_ = SteadySecondsNow();
}

} // namespace corvane::bench
