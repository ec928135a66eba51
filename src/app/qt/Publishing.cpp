#include "app/qt/Publishing.h"

#include "app/AppIni.h"
#include "app/Monitor.h"
#include "app/ServiceSettings.h"

namespace corvane {

namespace {
constexpr int PollMs = 200;
}

std::unique_ptr<TPublishing> TPublishing::Create(const TIniFile& file, TMonitor& monitor,
                                                 TLog log) {
    const TMqttSettings settings = ReadMqttSettings(file);
    if (settings.Host.empty())
        return nullptr;
    for (const std::string& line : settings.Warnings)
        log(line);
    return std::unique_ptr<TPublishing>(new TPublishing(settings, monitor, std::move(log)));
}

TPublishing::TPublishing(const TMqttSettings& settings, TMonitor& monitor, TLog log)
    : monitor_(monitor), log_(log), publisher_(std::make_unique<TMqttPublisher>(settings, log)) {
    connect(&pollTimer_, &QTimer::timeout, this, [this] {
        publisher_->Poll();
        if (OnPoll)
            OnPoll();
    });
    pollTimer_.start(PollMs);
    if (settings.StateEverySec > 0 && settings.StateEverySec <= INT32_MAX / 1000) {
        connect(&stateTimer_, &QTimer::timeout, this,
                [this] { publisher_->PublishStates(monitor_.Store()); });
        stateTimer_.start(settings.StateEverySec * 1000);
    }
    if (publisher_->Start()) {
        monitor_.AddReadObserver(publisher_.get());
        if (settings.Lines)
            monitor_.LineObserver = publisher_.get();
        publisher_->WatchAlerts(monitor_.Store());
    }
}

TPublishing::~TPublishing() {
    monitor_.RemoveReadObserver(publisher_.get());
    if (monitor_.LineObserver == publisher_.get())
        monitor_.LineObserver = nullptr;
    publisher_->Stop();
    // What an unattended run cost in messages shows in its log at the end.
    publisher_->Poll();
    if (log_)
        log_(publisher_->Summary());
}

} // namespace corvane
