#include "mqtt/qt/StationReader.h"

#include <QSocketNotifier>

namespace corvane {

TStationReader::TStationReader(const TMqttSettings& broker, TLog log, TOpening opening,
                               QObject* parent)
    : QObject(parent), log_(std::move(log)), opening_(std::move(opening)),
      subscriber_(std::make_unique<TMqttSubscriber>(broker, log_)) {}

TStationReader::~TStationReader() {
    subscriber_->Stop();
    for (TStation& s : stations_)
        if (s.Conn)
            s.Conn->disconnect(this);
}

bool TStationReader::Start() {
    if (!subscriber_->Start())
        return false;
    notifier_ = new QSocketNotifier(subscriber_->ReadyFd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { Catch(); });
    return true;
}

void TStationReader::OpenAll() {
    all_ = true;
    for (TStation& s : stations_)
        if (!s.Conn)
            s.Conn = Make(s.Name);
}

void TStationReader::OpenStation(const std::string& name) {
    for (TStation& s : stations_)
        if (s.Name == name) {
            if (!s.Conn) {
                s.Conn = Make(name);
                s.Conn->SetStatus(s.Status);
            }
            return;
        }
    if (const auto it = waiting_.find(name); it != waiting_.end() && it->second)
        return;
    waiting_[name] = Make(name);
}

TConnStation* TStationReader::Make(const std::string& name) {
    auto* conn = new TConnStation(*this, name);
    if (opening_)
        opening_(*conn);
    conn->BrokerChanged(brokerUp_);
    conn->Open();
    return conn;
}

void TStationReader::Forget(TConnStation& conn) {
    for (TStation& s : stations_)
        if (s.Conn == &conn)
            s.Conn = nullptr;
    for (auto it = waiting_.begin(); it != waiting_.end();)
        it = it->second == &conn || !it->second ? waiting_.erase(it) : std::next(it);
}

void TStationReader::Catch() {
    subscriber_->DrainReady();
    subscriber_->Poll();
    FollowBroker();
    const size_t n = subscriber_->Take(events_);
    for (size_t i = 0; i < n; ++i)
        Handle(events_[i]);
}

void TStationReader::FollowBroker() {
    const bool up = subscriber_->Connected();
    if (up == brokerUp_)
        return;
    brokerUp_ = up;
    for (TStation& s : stations_)
        if (s.Conn)
            s.Conn->BrokerChanged(up);
    for (auto& [name, conn] : waiting_)
        if (conn)
            conn->BrokerChanged(up);
}

void TStationReader::Heard(uint16_t index, const std::string& name) {
    if (stations_.size() <= index)
        stations_.resize(size_t(index) + 1);
    TStation& s = stations_[index];
    s.Name = name;
    if (const auto it = waiting_.find(name); it != waiting_.end()) {
        s.Conn = it->second;
        waiting_.erase(it);
    } else if (all_) {
        s.Conn = Make(name);
    }
}

void TStationReader::Handle(const TStationEvent& e) {
    if (e.Kind == TStationEvent::TKind::New) {
        Heard(e.Station, e.Message.Line);
        return;
    }
    if (e.Station >= stations_.size())
        return;
    TStation& s = stations_[e.Station];
    switch (e.Kind) {
    case TStationEvent::TKind::Line:
        if (s.Conn)
            s.Conn->Deliver(e.Message);
        break;
    case TStationEvent::TKind::Fault:
        if (s.Conn)
            s.Conn->Refuse(e.Fault);
        break;
    case TStationEvent::TKind::Online:
    case TStationEvent::TKind::Offline:
        s.Status = e.Kind == TStationEvent::TKind::Online ? TConnStation::TStatus::Online
                                                          : TConnStation::TStatus::Offline;
        if (s.Conn)
            s.Conn->SetStatus(s.Status);
        break;
    case TStationEvent::TKind::New:
        break;
    }
}

} // namespace corvane
