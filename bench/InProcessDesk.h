// A desk in the benchmark's own process: the reader and the intake that `corvane --headless -M`
// puts together (TStationReader, a TConnStation per station, TMonitor with the service's
// listener writing to standard error), and a read observer that counts what is registered and notes
// when. The statistics log cannot say how many reads a long run registered (its counts are of
// the reads the ring still holds); this can, and without a second flood through the broker.
#pragma once

#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

#include "app/Monitor.h"
#include "app/qt/Headless.h"
#include "mqtt/qt/ConnStation.h"
#include "mqtt/qt/StationReader.h"
#include "store/Listener.h"
#include "util/untTime.h"

namespace corvane::bench {

class TInProcessDesk : public TReadObserver {
public:
    explicit TInProcessDesk(int port);
    ~TInProcessDesk() override;
    bool Start();
    void OnRead(const TStore& store, const TRegisteredRead& read) override;
    uint64_t Registered() const { return registered_; }
    // Steady-clock seconds of the last registration.
    double LastAt() const { return lastAt_; }
    size_t Stations() const { return conns_.size(); }
    // Lines the stations' connections received, whatever became of them.
    uint64_t Received() const {
        uint64_t n = 0;
        for (const auto& c : conns_)
            n += c->Link.Totals().Received;
        return n;
    }
    const TMqttSubscriber& Subscriber() { return reader_->Subscriber(); }

private:
    int log_ = -1;
    TSystemClock clock_;
    std::unique_ptr<THeadlessListener> listener_;
    TNullListListener list_;
    TNullTreeListener tree_;
    std::unique_ptr<TMonitor> monitor_;
    QTimer expire_;
    std::vector<std::unique_ptr<TConnStation>> conns_;
    std::unique_ptr<TStationReader> reader_;
    uint64_t registered_ = 0;
    double lastAt_ = 0;
};

} // namespace corvane::bench
