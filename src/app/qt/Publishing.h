// The Qt side of publishing to a broker, shared by the window and the service: makes the
// publisher from the settings, hands its log lines over on the event loop and sends every
// device's retained message on its period.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string_view>

#include "mqtt/MqttPublisher.h"

namespace corvane {

class TIniFile;
class TMonitor;

class TPublishing : public QObject {
    Q_OBJECT
public:
    using TLog = std::function<void(std::string_view)>;
    // Null when section [MQTT] names no host. Starts publishing at once.
    static std::unique_ptr<TPublishing> Create(const TIniFile& file, TMonitor& monitor, TLog log);
    ~TPublishing() override;

    TMqttPublisher& Publisher() { return *publisher_; }
    // Called after each delivery of log lines, so that a view of the state can follow.
    std::function<void()> OnPoll;

private:
    TPublishing(const TMqttSettings& settings, TMonitor& monitor, TLog log);

    TMonitor& monitor_;
    TLog log_;
    std::unique_ptr<TMqttPublisher> publisher_;
    QTimer pollTimer_;
    QTimer stateTimer_;
};

} // namespace corvane
