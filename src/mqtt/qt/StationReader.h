// The Qt side of reading stations from one broker: the broker's single TMqttSubscriber, woken
// on the event loop through its ready descriptor, and a TConnStation for every station asked
// for (all of them, those heard later too, or some by name). Each batch the subscriber queued
// is handed to the stations' connections in one turn of the loop.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mqtt/MqttSubscriber.h"
#include "mqtt/qt/ConnStation.h"

class QSocketNotifier;

namespace corvane {

class TStationReader : public QObject {
    Q_OBJECT
public:
    using TLog = std::function<void(std::string_view)>;
    // Hears of each station's connection before it opens, to attach the intake and take it
    // over: the connection has no parent, and whoever takes it deletes it.
    using TOpening = std::function<void(TConnStation&)>;

    TStationReader(const TMqttSettings& broker, TLog log, TOpening opening,
                   QObject* parent = nullptr);
    ~TStationReader() override;

    // Starts the subscriber; false (logged) when its settings cannot work at all.
    bool Start();
    // Every station under the topic root, now and whenever a new one is heard.
    void OpenAll();
    // One station by its name (Latin-1); its connection opens at once, and its lines follow as
    // soon as the broker has any. Nothing when it is open already.
    void OpenStation(const std::string& name);

    std::string BrokerName() const { return subscriber_->BrokerName(); }
    bool Connected() const { return subscriber_->Connected(); }
    const TMqttSettings& Settings() const { return subscriber_->Settings(); }
    TMqttSubscriber& Subscriber() { return *subscriber_; }
    // A station's connection is going away.
    void Forget(TConnStation& conn);
    // Takes what the subscriber queued now rather than on the next turn (tests, the end).
    void Catch();

private:
    struct TStation {
        std::string Name;
        TConnStation::TStatus Status = TConnStation::TStatus::Unknown;
        QPointer<TConnStation> Conn;
    };

    void Handle(const TStationEvent& event);
    void Heard(uint16_t index, const std::string& name);
    TConnStation* Make(const std::string& name);
    void FollowBroker();

    TLog log_;
    TOpening opening_;
    std::unique_ptr<TMqttSubscriber> subscriber_;
    QSocketNotifier* notifier_ = nullptr;
    bool all_ = false;
    bool brokerUp_ = false;
    std::vector<TStation> stations_; // by the subscriber's index
    // Asked for by name before the broker named them.
    std::unordered_map<std::string, QPointer<TConnStation>> waiting_;
    std::vector<TStationEvent> events_;
};

} // namespace corvane
