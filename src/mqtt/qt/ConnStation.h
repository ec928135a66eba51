// One station read from a broker, as a connection like any other: a Close entry and a caption
// description "MQTT: <station>", its own figures, and its lines through the same intake as a
// receiver's. The lines come from its broker's StationReader, which one reader shares among all
// the stations on that broker; closing the connection stops its lines, not the reader.
#pragma once

#include <QObject>
#include <QPointer>
#include <string>

#include "conn/Conn.h"
#include "mqtt/StationClock.h"
#include "mqtt/StationLine.h"

namespace corvane {

class TStationReader;

class TConnStation : public QObject, public TConn {
    Q_OBJECT
public:
    enum class TStatus { Unknown, Online, Offline };

    // name: the station's name in Latin-1, as the topic holds it.
    TConnStation(TStationReader& reader, std::string name, QObject* parent = nullptr);
    ~TConnStation() override;

    std::string GetDescription() const override { return "MQTT: " + name_; }
    // "station <name> at <host>:<port>", for the service's log.
    std::string GetLinkName() const override;
    // "online", "offline" or "unknown", and "broker lost" while the broker is away.
    std::string GetLinkState() const override;
    bool Open() override;
    void Close() override;

    const std::string& Name() const { return name_; }
    bool IsOpen() const { return open_; }
    TStatus Status() const { return status_; }

    // From the reader: a line, a message turned away, the station's status, the broker's state.
    void Deliver(const TStationLine& message);
    void Refuse(TMessageFault fault);
    void SetStatus(TStatus status);
    void BrokerChanged(bool connected);

private:
    QPointer<TStationReader> reader_;
    std::string name_;
    bool open_ = false;
    bool brokerUp_ = false;
    TStatus status_ = TStatus::Unknown;
    TStationClock clock_;
};

} // namespace corvane
