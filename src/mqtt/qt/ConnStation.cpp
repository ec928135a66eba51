#include "mqtt/qt/ConnStation.h"

#include "mqtt/qt/StationReader.h"

namespace corvane {

TConnStation::TConnStation(TStationReader& reader, std::string name, QObject* parent)
    : QObject(parent), reader_(&reader), name_(std::move(name)) {
    // What came through a broker was published there by the station itself.
    Relayed = true;
}

TConnStation::~TConnStation() {
    if (reader_)
        reader_->Forget(*this);
}

std::string TConnStation::GetLinkName() const {
    return "station " + name_ + (reader_ ? " at " + reader_->BrokerName() : std::string());
}

std::string TConnStation::GetLinkState() const {
    if (!brokerUp_)
        return "broker lost";
    switch (status_) {
    case TStatus::Online:
        return "online";
    case TStatus::Offline:
        return "offline";
    default:
        return "unknown";
    }
}

bool TConnStation::Open() {
    if (open_)
        return true;
    open_ = true;
    brokerUp_ = reader_ && reader_->Connected();
    SetState(TConnState::Open);
    return true;
}

void TConnStation::Close() {
    if (!open_)
        return;
    open_ = false;
    SetState(TConnState::Close);
}

void TConnStation::Deliver(const TStationLine& message) {
    if (!open_)
        return;
    // Framed as a receiver's bytes are, so that a short line is counted as one.
    RxBuffer.assign(message.Line);
    RxBuffer += '\r';
    ExtractLines();
    if (message.HasTime && Clock != nullptr) {
        clock_.Note((message.Wall - Clock->WallNow()) * 86400.0);
        int seconds = 0;
        if (clock_.Changed(seconds))
            ReportMessage(StationClockText(name_, seconds));
    }
}

void TConnStation::Refuse(TMessageFault) {
    if (open_)
        CountLine(TLineFate::Invalid);
}

void TConnStation::SetStatus(TStatus status) {
    if (status == status_)
        return;
    status_ = status;
    if (!open_ || status == TStatus::Unknown)
        return;
    ReportMessage("Station " + name_ + (status == TStatus::Online ? " online" : " offline"));
}

void TConnStation::BrokerChanged(bool connected) {
    brokerUp_ = connected;
}

} // namespace corvane
